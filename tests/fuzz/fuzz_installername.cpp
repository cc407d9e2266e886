// The installer-name rule with arbitrary UTF-16 names: nothing accepted leaves the folder
// or is anything but a program.
#include "FuzzInput.h"
#include "trust/FileNames.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const QString name = in.utf16(600);
    if (!isInstallerFileName(name, QStringLiteral("tallyaid.exe")))
        return 0;
    FUZZ_CHECK(isPlainFileName(name));
    FUZZ_CHECK(name.size() <= 255);
    FUZZ_CHECK(!name.contains(u'/') && !name.contains(u'\\') && !name.contains(u':') && !name.contains(u'\0'));
    FUZZ_CHECK(name != QLatin1String(".") && name != QLatin1String(".."));
    FUZZ_CHECK(!name.startsWith(u'-') && !name.startsWith(u'.'));
    const QString lower = name.toLower();
    FUZZ_CHECK(lower.endsWith(QLatin1String(".exe")) || lower.endsWith(QLatin1String(".msi")));
    for (const QChar c : name)
        FUZZ_CHECK(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format &&
                   !c.isSurrogate());
    FUZZ_CHECK(lower != QLatin1String("tallyaid.exe") && lower != QLatin1String("version.tly"));
    FUZZ_CHECK(!partialFileName(name).contains(u'/'));
    return 0;
}
