// The maker's signing command.
//   tallyaid-sign --release KEYFILE --expires DAYS VERSIONFILE...
//       signs each version file (twv2.vn, twvtest.vn, twvtest2.vn) with the time now and an
//       expiry DAYS days later, and the installer it names (in the same folder) bound to it;
//       writes NAME.sig beside each, then verifies the lot as the program will
//   tallyaid-sign KEYFILE FILE...
//       a program no version file names (setupbd.exe, a special version): FILE.sig beside it
//   tallyaid-sign --verify PUBKEY FILE
//       checks FILE as the program will (a version file together with its installer);
//       exit code 0 if valid
// KEYFILE is an Ed25519 private key in PEM (openssl genpkey -algorithm ed25519). The name
// signed is each file's own name, as the program will fetch it.
#include "trust/FileNames.h"
#include "trust/ReleaseCheck.h"
#include "trust/Signature.h"
#include "trust/VersionFile.h"
#include "platform/AnsiTextFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cstdio>
#include <optional>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(1 << 20) : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& content) {
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(content) == content.size();
}

int usage() {
    std::fprintf(stderr, "usage: tallyaid-sign --release KEYFILE --expires DAYS VERSIONFILE...\n"
                         "       tallyaid-sign KEYFILE FILE...\n"
                         "       tallyaid-sign --verify PUBKEY FILE\n");
    return 2;
}

QString utc(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

// The installer a version file names, read as the program reads it; empty when it names none
// the program would fetch.
QString installerNamedBy(const QString& versionPath) {
    try {
        AnsiTextFile file(versionPath);
        const QString name = VersionFile::read(file).installer;
        return isInstallerFileName(name, QString()) ? name : QString();
    } catch (...) {
        return QString();
    }
}

// A ".sig" beside a file, as the program would fetch it; nullopt when there is none to read.
std::optional<QByteArray> signatureFileOf(const QString& path) {
    QFile file(path + QStringLiteral(".sig"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(UpdateSignature::MaxSignatureFileBytes + 1);
}

// A version file, its signature and expiry, and the installer bound to it, by the program's
// own decisions (the record of accepted releases aside, which lives in each program folder).
bool verifyRelease(const QByteArray& publicKey, const QString& path) {
    using ReleaseCheck::Verdict;
    const QString name = QFileInfo(path).fileName();
    const QByteArray digest = UpdateSignature::sha256OfFile(path);
    UpdateSignature::VersionFileSignature sig;
    const Verdict verdict = ReleaseCheck::judgeVersionSignature(publicKey, name, digest, signatureFileOf(path),
                                                                QDateTime::currentSecsSinceEpoch(), &sig);
    if (verdict == Verdict::Expired) {
        std::printf("%s: signature EXPIRED at %s\n", qPrintable(path), qPrintable(utc(sig.expiresAt)));
        return false;
    }
    if (verdict != Verdict::Accepted) {
        std::printf("%s: signature NOT valid\n", qPrintable(path));
        return false;
    }
    std::printf("%s: signature valid, signed %s, expires %s\n", qPrintable(path), qPrintable(utc(sig.signedAt)),
                qPrintable(utc(sig.expiresAt)));
    const QString installer = installerNamedBy(path);
    if (installer.isEmpty()) {
        std::printf("%s: names no installer the program would fetch\n", qPrintable(path));
        return false;
    }
    const QString installerPath = QFileInfo(path).dir().filePath(installer);
    const bool valid = ReleaseCheck::judgeReleaseInstaller(publicKey, installer, digest, signatureFileOf(installerPath),
                                                           UpdateSignature::sha256OfFile(installerPath)) ==
                       Verdict::Accepted;
    std::printf("%s: %s under %s\n", qPrintable(installerPath), valid ? "signature valid" : "signature NOT valid",
                qPrintable(name));
    return valid;
}

int signRelease(const QStringList& args) {
    // --release KEYFILE --expires DAYS VERSIONFILE...
    if (args.size() < 5 || args[2] != QLatin1String("--expires"))
        return usage();
    bool ok = false;
    const qint64 days = args[3].toLongLong(&ok);
    if (!ok || days < 1 || days > 3650) {
        std::fprintf(stderr, "--expires takes a number of days from 1 to 3650\n");
        return 2;
    }
    const QByteArray key = readAll(args[1]);
    const QByteArray publicKey = UpdateSignature::publicKeyOf(key);
    if (publicKey.isEmpty()) {
        std::fprintf(stderr, "%s: not an Ed25519 private key\n", qPrintable(args[1]));
        return 1;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 expires = now + days * 86400;
    const QStringList versionFiles = args.mid(4);
    // One installer can sit under several version files only when they are the same bytes:
    // its one signature binds one version file.
    QMap<QString, QByteArray> boundTo;
    for (const QString& path : versionFiles) {
        const QString name = QFileInfo(path).fileName();
        const QString installer = installerNamedBy(path);
        const QByteArray digest = UpdateSignature::sha256OfFile(path);
        if (!isVersionFileName(name) || installer.isEmpty() || digest.isEmpty()) {
            std::fprintf(stderr, "%s: not a version file naming an installer\n", qPrintable(path));
            return 1;
        }
        const QString installerPath = QFileInfo(path).dir().filePath(installer);
        if (boundTo.contains(installerPath) && boundTo[installerPath] != digest) {
            std::fprintf(stderr, "%s: named by version files with different contents\n", qPrintable(installerPath));
            return 1;
        }
        boundTo[installerPath] = digest;
    }
    for (const QString& path : versionFiles) {
        const QString name = QFileInfo(path).fileName();
        const QByteArray digest = UpdateSignature::sha256OfFile(path);
        const QByteArray signature =
            UpdateSignature::sign(key, UpdateSignature::versionFileMessage(name, now, expires, digest));
        if (signature.isEmpty() ||
            !writeAll(path + QStringLiteral(".sig"), UpdateSignature::versionSignatureFileContent(now, expires, signature))) {
            std::fprintf(stderr, "%s: cannot sign\n", qPrintable(path));
            return 1;
        }
    }
    for (auto it = boundTo.cbegin(); it != boundTo.cend(); ++it) {
        const QByteArray digest = UpdateSignature::sha256OfFile(it.key());
        const QByteArray signature =
            digest.isEmpty() ? QByteArray()
                             : UpdateSignature::sign(key, UpdateSignature::releaseInstallerMessage(
                                                              QFileInfo(it.key()).fileName(), it.value(), digest));
        if (signature.isEmpty() ||
            !writeAll(it.key() + QStringLiteral(".sig"), UpdateSignature::signatureFileContent(signature))) {
            std::fprintf(stderr, "%s: cannot sign (is it there?)\n", qPrintable(it.key()));
            return 1;
        }
    }
    bool valid = true;
    for (const QString& path : versionFiles)
        valid = verifyRelease(publicKey, path) && valid;
    if (valid)
        std::printf("release signed; sign it again before %s\n", qPrintable(utc(expires)));
    return valid ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args[0] == QLatin1String("--release"))
        return signRelease(args);
    if (args.size() == 3 && args[0] == QLatin1String("--verify")) {
        const QString path = args[2];
        if (isVersionFileName(QFileInfo(path).fileName()))
            return verifyRelease(readAll(args[1]), path) ? 0 : 1;
        const bool valid = ReleaseCheck::judgeProgram(readAll(args[1]), QFileInfo(path).fileName(),
                                                      signatureFileOf(path), UpdateSignature::sha256OfFile(path)) ==
                           ReleaseCheck::Verdict::Accepted;
        std::printf("%s: %s\n", qPrintable(path), valid ? "signature valid" : "signature NOT valid");
        return valid ? 0 : 1;
    }
    if (args.size() < 2)
        return usage();
    const QByteArray key = readAll(args[0]);
    int failures = 0;
    for (const QString& path : args.mid(1)) {
        if (isVersionFileName(QFileInfo(path).fileName())) {
            std::fprintf(stderr, "%s: a version file is signed with --release\n", qPrintable(path));
            ++failures;
            continue;
        }
        const QByteArray digest = UpdateSignature::sha256OfFile(path);
        const QByteArray signature =
            digest.isEmpty() ? QByteArray()
                             : UpdateSignature::sign(key, UpdateSignature::message(QFileInfo(path).fileName(), digest));
        if (signature.isEmpty() || !writeAll(path + QStringLiteral(".sig"), UpdateSignature::signatureFileContent(signature))) {
            std::fprintf(stderr, "%s: cannot sign (is the key an Ed25519 private key?)\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s.sig written\n", qPrintable(path));
    }
    return failures ? 1 : 0;
}
