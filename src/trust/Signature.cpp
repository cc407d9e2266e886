#include "trust/Signature.h"

#include <QFile>
#include <QtGlobal>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

#ifdef TALLYAID_HAS_UPDATE_KEY
#include "UpdateKey.h"
#endif

namespace {
struct Free {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
    void operator()(BIO* bio) const { BIO_free(bio); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

QByteArray sizedName(const QString& fileName) {
    const QByteArray name = fileName.toUtf8();
    QByteArray out;
    out += char((name.size() >> 8) & 0xFF);
    out += char(name.size() & 0xFF);
    return out + name;
}

QByteArray bigEndian64(qint64 value) {
    QByteArray out(8, Qt::Uninitialized);
    for (int i = 7; i >= 0; --i) {
        out[i] = char(quint64(value) & 0xFF);
        value = qint64(quint64(value) >> 8);
    }
    return out;
}

Owned<EVP_PKEY> readKey(const QByteArray& pem, bool isPrivate) {
    Owned<BIO> bio(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
    if (!bio)
        return nullptr;
    Owned<EVP_PKEY> key(isPrivate ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                                  : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (key && EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return nullptr;
    return key;
}
} // namespace

namespace UpdateSignature {

QByteArray context() {
    return QByteArrayLiteral("tallyaid installer signature v1\n");
}

QByteArray message(const QString& fileName, const QByteArray& sha256) {
    return context() + sizedName(fileName) + sha256;
}

QByteArray releaseInstallerContext() {
    return QByteArrayLiteral("tallyaid installer signature v2\n");
}

QByteArray releaseInstallerMessage(const QString& fileName, const QByteArray& versionFileSha256,
                                   const QByteArray& sha256) {
    return releaseInstallerContext() + sizedName(fileName) + versionFileSha256 + sha256;
}

QByteArray versionFileContext() {
    return QByteArrayLiteral("tallyaid version file signature v1\n");
}

QByteArray versionFileMessage(const QString& fileName, qint64 signedAt, qint64 expiresAt, const QByteArray& sha256) {
    return versionFileContext() + sizedName(fileName) + bigEndian64(signedAt) + bigEndian64(expiresAt) + sha256;
}

VersionFileSignature parseVersionSignatureFile(const QByteArray& content) {
    VersionFileSignature out;
    if (content.size() > MaxSignatureFileBytes)
        return out;
    QByteArray line = content;
    if (line.endsWith("\r\n"))
        line.chop(2);
    else if (line.endsWith('\n'))
        line.chop(1);
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() != 3)
        return out;
    // Plain decimal only: no sign, no leading zero, no blanks, at most 18 digits.
    const auto time = [](const QByteArray& field, qint64* value) {
        if (field.isEmpty() || field.size() > 18 || (field.size() > 1 && field.startsWith('0')))
            return false;
        for (char c : field)
            if (c < '0' || c > '9')
                return false;
        *value = field.toLongLong();
        return true;
    };
    qint64 signedAt = 0, expiresAt = 0;
    const QByteArray signature = fields[2].size() == 88 ? parseSignatureFile(fields[2]) : QByteArray();
    if (!time(fields[0], &signedAt) || !time(fields[1], &expiresAt) || signature.isEmpty())
        return out;
    out.signedAt = signedAt;
    out.expiresAt = expiresAt;
    out.signature = signature;
    return out;
}

QByteArray versionSignatureFileContent(qint64 signedAt, qint64 expiresAt, const QByteArray& signature) {
    return QByteArray::number(signedAt) + ' ' + QByteArray::number(expiresAt) + ' ' + signature.toBase64() + '\n';
}

QByteArray parseSignatureFile(const QByteArray& content) {
    if (content.size() > MaxSignatureFileBytes)
        return {};
    QByteArray line = content;
    if (line.endsWith("\r\n"))
        line.chop(2);
    else if (line.endsWith('\n'))
        line.chop(1);
    if (line.size() != 88)
        return {};
    const auto decoded = QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 64)
        return {};
    return decoded.decoded;
}

Sha256::Sha256() : m_ctx(EVP_MD_CTX_new()) {
    m_ok = m_ctx && EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(m_ctx), EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_ctx));
}

void Sha256::update(const char* data, std::size_t size) {
    if (m_ok)
        m_ok = EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_ctx), data, size) == 1;
}

QByteArray Sha256::finish() {
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int length = 0;
    if (!m_ok ||
        EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_ctx), reinterpret_cast<unsigned char*>(digest.data()), &length) != 1 ||
        length != 32)
        return {};
    m_ok = false;
    return digest;
}

QByteArray sha256OfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    Sha256 digest;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0)
            return {};
        if (got == 0)
            break;
        digest.update(block.constData(), static_cast<std::size_t>(got));
    }
    return digest.finish();
}

bool verify(const QByteArray& publicKeyPem, const QByteArray& message, const QByteArray& signature) {
    if (signature.size() != 64)
        return false;
    Owned<EVP_PKEY> key = readKey(publicKeyPem, false);
    Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            static_cast<size_t>(signature.size()),
                            reinterpret_cast<const unsigned char*>(message.constData()),
                            static_cast<size_t>(message.size())) == 1;
}

QByteArray sign(const QByteArray& privateKeyPem, const QByteArray& message) {
    Owned<EVP_PKEY> key = readKey(privateKeyPem, true);
    Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return {};
    QByteArray signature(64, Qt::Uninitialized);
    size_t length = static_cast<size_t>(signature.size());
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       static_cast<size_t>(message.size())) != 1 ||
        length != 64)
        return {};
    return signature;
}

QByteArray publicKeyOf(const QByteArray& privateKeyPem) {
    Owned<EVP_PKEY> key = readKey(privateKeyPem, true);
    Owned<BIO> bio(BIO_new(BIO_s_mem()));
    if (!key || !bio || PEM_write_bio_PUBKEY(bio.get(), key.get()) != 1)
        return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? QByteArray(data, int(size)) : QByteArray();
}

QByteArray signatureFileContent(const QByteArray& signature) {
    return signature.toBase64() + '\n';
}

QByteArray trustedKey() {
#ifdef TALLYAID_TEST_OVERRIDES
    const QString path = qEnvironmentVariable("TALLYAID_UPDATE_KEY_FILE");
    if (!path.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return file.read(64 * 1024);
        return QByteArrayLiteral("unreadable key file"); // fails every check rather than none
    }
#endif
#ifdef TALLYAID_HAS_UPDATE_KEY
    return QByteArrayLiteral(TALLYAID_UPDATE_KEY_PEM);
#else
    return {};
#endif
}

} // namespace UpdateSignature
