#pragma once

#include "HostTools.h"
#include "update/Signature.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QString>

// A fresh Ed25519 key pair made with the openssl command: returns the private PEM and writes
// the public one to `publicPath`.
inline QByteArray makeKey(const QString& folder, const QString& name, QString* publicPath) {
    const QString priv = folder + u'/' + name + QStringLiteral(".pem");
    *publicPath = folder + u'/' + name + QStringLiteral(".pub");
    const QString openssl = hostProgram(QStringLiteral("openssl"));
    QProcess::execute(openssl, {"genpkey", "-algorithm", "ed25519", "-out", hostPath(priv)});
    QProcess::execute(openssl, {"pkey", "-in", hostPath(priv), "-pubout", "-out", hostPath(*publicPath)});
    QFile file(priv);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The content of NAME.sig for `bytes` fetched as `name`, signed with a private key. The
// digest is the program's own, as the signing command takes it.
inline QByteArray signatureFor(const QByteArray& privateKey, const QString& name, const QByteArray& bytes) {
    UpdateSignature::Sha256 hash;
    hash.update(bytes.constData(), std::size_t(bytes.size()));
    const QByteArray digest = hash.finish();
    return UpdateSignature::signatureFileContent(
        UpdateSignature::sign(privateKey, UpdateSignature::message(name, digest)));
}

// A version file's NAME.sig, signed at `signedAt` to expire at `expiresAt` (UTC seconds).
inline QByteArray versionSignatureFor(const QByteArray& privateKey, const QString& name, const QByteArray& bytes,
                                      qint64 signedAt, qint64 expiresAt) {
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return UpdateSignature::versionSignatureFileContent(
        signedAt, expiresAt,
        UpdateSignature::sign(privateKey, UpdateSignature::versionFileMessage(name, signedAt, expiresAt, digest)));
}

// The NAME.sig of an installer released under the version file `versionFile`.
inline QByteArray releaseSignatureFor(const QByteArray& privateKey, const QString& name, const QByteArray& bytes,
                                      const QByteArray& versionFile) {
    const auto hash = [](const QByteArray& b) { return QCryptographicHash::hash(b, QCryptographicHash::Sha256); };
    return UpdateSignature::signatureFileContent(UpdateSignature::sign(
        privateKey, UpdateSignature::releaseInstallerMessage(name, hash(versionFile), hash(bytes))));
}
