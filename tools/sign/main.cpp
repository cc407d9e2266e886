// The maker's signing command.
//   tallyaid-sign KEYFILE FILE...            writes FILE.sig beside each FILE
//   tallyaid-sign --verify PUBKEY FILE       checks FILE against FILE.sig; exit code 0 if valid
// KEYFILE is an Ed25519 private key in PEM (openssl genpkey -algorithm ed25519). The name
// signed is each FILE's own name, as the program will fetch it.
#include "update/Signature.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(1 << 20) : QByteArray();
}

int usage() {
    std::fprintf(stderr, "usage: tallyaid-sign KEYFILE FILE...\n       tallyaid-sign --verify PUBKEY FILE\n");
    return 2;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--verify")) {
        const QString path = args[2];
        const QByteArray signature = UpdateSignature::parseSignatureFile(readAll(path + QStringLiteral(".sig")));
        const QByteArray digest = UpdateSignature::sha256OfFile(path);
        const bool valid = !signature.isEmpty() && !digest.isEmpty() &&
                           UpdateSignature::verify(readAll(args[1]),
                                                   UpdateSignature::message(QFileInfo(path).fileName(), digest),
                                                   signature);
        std::printf("%s: %s\n", qPrintable(path), valid ? "signature valid" : "signature NOT valid");
        return valid ? 0 : 1;
    }
    if (args.size() < 2)
        return usage();
    const QByteArray key = readAll(args[0]);
    int failures = 0;
    for (const QString& path : args.mid(1)) {
        const QByteArray digest = UpdateSignature::sha256OfFile(path);
        const QByteArray signature =
            digest.isEmpty() ? QByteArray()
                             : UpdateSignature::sign(key, UpdateSignature::message(QFileInfo(path).fileName(), digest));
        QFile out(path + QStringLiteral(".sig"));
        if (signature.isEmpty() || !out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(UpdateSignature::signatureFileContent(signature)) < 0) {
            std::fprintf(stderr, "%s: cannot sign (is the key an Ed25519 private key?)\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s.sig written\n", qPrintable(path));
    }
    return failures ? 1 : 0;
}
