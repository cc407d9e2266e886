#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// Detached signatures of the programs fetched from the maker's download folder.
//
// The maker signs, with an Ed25519 key that never sits on the web host, this message:
//   the 32 bytes of the context "tallyaid installer signature v1\n" (ASCII, line feed included),
//   the file's name as fetched, in UTF-8, preceded by its length in bytes as a 2-byte
//   big-endian number,
//   the 32-byte SHA-256 digest of the file's bytes.
// The signature file is NAME + ".sig" beside the file: one line holding the 64-byte signature
// in standard base64 (88 characters), optionally followed by CR LF or LF; nothing else.
namespace UpdateSignature {
constexpr qsizetype MaxSignatureFileBytes = 4096;

QByteArray context();
// The message that is signed, for a file name and its SHA-256 digest.
QByteArray message(const QString& fileName, const QByteArray& sha256);
// The 64 signature bytes of a ".sig" file's content, or an empty array when it is not one
// line of base64 of exactly 64 bytes.
QByteArray parseSignatureFile(const QByteArray& content);
// SHA-256 taken block by block as the bytes arrive, so a file need not be read again.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void update(const char* data, std::size_t size);
    QByteArray finish(); // the 32-byte digest; empty on failure
private:
    void* m_ctx; // the library's digest context
    bool m_ok;
};

// SHA-256 of a file, read in blocks (never the whole file in memory); empty on a read error.
QByteArray sha256OfFile(const QString& path);
// Whether `signature` is a valid Ed25519 signature of `message` by the public key (PEM).
bool verify(const QByteArray& publicKeyPem, const QByteArray& message, const QByteArray& signature);
// The signature of `message` by the private key (PEM); empty when the key is not Ed25519.
QByteArray sign(const QByteArray& privateKeyPem, const QByteArray& message);
// One line of a ".sig" file for a signature.
QByteArray signatureFileContent(const QByteArray& signature);

// The key this build checks against: the one compiled in, or (only in a build with the
// test-only overrides) the file named by TALLYAID_UPDATE_KEY_FILE. Empty: no checking.
QByteArray trustedKey();
} // namespace UpdateSignature
