// The signature-file parsing and the message layout of signatures.
#include "FuzzInput.h"
#include "trust/Signature.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto split = in.take<std::uint16_t>();
    const QByteArray content = in.bytes(split % 6000);
    const QByteArray parsed = UpdateSignature::parseSignatureFile(content);
    FUZZ_CHECK(parsed.isEmpty() || (parsed.size() == 64 && content.size() <= UpdateSignature::MaxSignatureFileBytes));
    // A version file's signature: bounded, and written back it reads the same.
    const auto version = UpdateSignature::parseVersionSignatureFile(content);
    if (version.valid()) {
        const auto again = UpdateSignature::parseVersionSignatureFile(
            UpdateSignature::versionSignatureFileContent(version.signedAt, version.expiresAt, version.signature));
        FUZZ_CHECK(content.size() <= UpdateSignature::MaxSignatureFileBytes && version.signedAt >= 0 &&
                   again.signedAt == version.signedAt && again.expiresAt == version.expiresAt &&
                   again.signature == version.signature);
    }
    const QString name = QString::fromUtf8(in.bytes(300));
    const QByteArray m = UpdateSignature::message(name, QByteArray(32, 'd'));
    FUZZ_CHECK(m.startsWith(UpdateSignature::context()) && m.size() == 32 + 2 + name.toUtf8().size() + 32);
    // Arbitrary bytes as a key or signature never verify.
    FUZZ_CHECK(!UpdateSignature::verify(content, m, parsed.isEmpty() ? QByteArray(64, 's') : parsed));
    return 0;
}
