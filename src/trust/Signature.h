#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

// Detached signatures of the files fetched from the maker's download folder, made with an
// Ed25519 key that never sits on the web host. Every signed message begins with a context
// of its own, so a signature made for one kind of file never holds for another; a name is
// always UTF-8 preceded by its length in bytes as a 2-byte big-endian number; times are
// UTC seconds since 1970 as 8-byte big-endian signed numbers.
//
// A program no version file names (setupbd.exe, a special version):
//   "tallyaid installer signature v1\n" (32 bytes), name, SHA-256 of the file (32 bytes).
// The installer a version file names, bound to that release:
//   "tallyaid installer signature v2\n" (32 bytes), name, SHA-256 of the version file
//   (32 bytes), SHA-256 of the installer (32 bytes).
// A version file:
//   "tallyaid version file signature v1\n" (35 bytes), name, signing time, expiry time,
//   SHA-256 of the version file (32 bytes).
// The signature file is NAME + ".sig" beside the file, at most 4 KiB, one line optionally
// ended by CR LF or LF. For a program: the 64-byte signature in standard base64 (88
// characters). For a version file: the signing time and the expiry time in decimal, then the
// signature in base64, separated by single spaces.
namespace UpdateSignature {
constexpr qsizetype MaxSignatureFileBytes = 4096;

QByteArray context();
// The message that is signed, for a file name and its SHA-256 digest.
QByteArray message(const QString& fileName, const QByteArray& sha256);

QByteArray releaseInstallerContext();
// The message of the installer `fileName` released under the version file whose SHA-256 is
// `versionFileSha256`.
QByteArray releaseInstallerMessage(const QString& fileName, const QByteArray& versionFileSha256,
                                   const QByteArray& sha256);

QByteArray versionFileContext();
QByteArray versionFileMessage(const QString& fileName, qint64 signedAt, qint64 expiresAt, const QByteArray& sha256);
// A version file's ".sig": valid() only when it is well formed and expires after it was signed.
struct VersionFileSignature {
    qint64 signedAt = 0;
    qint64 expiresAt = 0;
    QByteArray signature; // 64 bytes, or empty
    bool valid() const { return signature.size() == 64 && expiresAt > signedAt; }
};
VersionFileSignature parseVersionSignatureFile(const QByteArray& content);
QByteArray versionSignatureFileContent(qint64 signedAt, qint64 expiresAt, const QByteArray& signature);
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
// The public key (PEM) of an Ed25519 private key (PEM); empty when it is not one.
QByteArray publicKeyOf(const QByteArray& privateKeyPem);
// One line of a ".sig" file for a signature.
QByteArray signatureFileContent(const QByteArray& signature);

// The key this build checks against: the one compiled in, or (only in a build with the
// test-only overrides) the file named by TALLYAID_UPDATE_KEY_FILE. Empty: no checking.
QByteArray trustedKey();
} // namespace UpdateSignature
