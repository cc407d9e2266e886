#pragma once

#include "HostTools.h"
#include "trust/Signature.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <openssl/evp.h>
#include <openssl/pem.h>

// A fresh Ed25519 key pair: returns the private PEM and writes the public one to
// `publicPath`. Made in-process, so that a Windows test needs no host program for it.
inline QByteArray makeKey(const QString& folder, const QString& name, QString* publicPath) {
    *publicPath = folder + u'/' + name + QStringLiteral(".pub");
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    const auto pem = [key](bool privatePart) {
        BIO* out = BIO_new(BIO_s_mem());
        if (privatePart)
            PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
        else
            PEM_write_bio_PUBKEY(out, key);
        char* data = nullptr;
        const long size = BIO_get_mem_data(out, &data);
        QByteArray text(data, int(size));
        BIO_free(out);
        return text;
    };
    const QByteArray privatePem = key ? pem(true) : QByteArray();
    QFile publicFile(*publicPath);
    if (key && publicFile.open(QIODevice::WriteOnly))
        publicFile.write(pem(false));
    QFile privateFile(folder + u'/' + name + QStringLiteral(".pem"));
    if (privateFile.open(QIODevice::WriteOnly))
        privateFile.write(privatePem);
    EVP_PKEY_free(key);
    return privatePem;
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
