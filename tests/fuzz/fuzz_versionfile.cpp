// The Windows-1252 text reader and the version-file parsing: bytes in, three values out.
#include "FuzzInput.h"
#include "platform/AnsiTextFile.h"
#include "platform/Error.h"
#include "trust/VersionFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("twv2.vn"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    try {
        AnsiTextFile file(path);
        const VersionFile v = VersionFile::read(file);
        FUZZ_CHECK(v.latest >= 0 && v.latest <= 99 * CurrencyScale && v.latest % 100 == 0);
        FUZZ_CHECK(v.suffix != QLatin1String("-"));
        for (const QString& text : {v.suffix, v.installer}) {
            FUZZ_CHECK(text.isEmpty() || (text.front().unicode() > 32 && text.back().unicode() > 32));
            FUZZ_CHECK(text.size() <= AnsiTextFile::MaxLineBytes);
        }
    } catch (const TallyError&) {
        // An over-long line is an error of the step that reads it.
    }
    // Decoding is one character per byte, whatever the bytes.
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FUZZ_CHECK(AnsiTextFile::decode(bytes).size() == bytes.size());
    return 0;
}
