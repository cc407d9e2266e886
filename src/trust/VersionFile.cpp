#include "trust/VersionFile.h"

#include "platform/AnsiTextFile.h"

VersionFile VersionFile::read(AnsiTextFile& file) {
    VersionFile v;
    if (file.atEnd())
        return v;
    v.empty = false;
    v.latest = StrToCurrencyInRange(TrimControls(file.readLine()), 2, 0, 99 * CurrencyScale, 0);
    v.suffix = TrimControls(file.readLine());
    if (v.suffix == QLatin1String("-"))
        v.suffix.clear();
    v.installer = TrimControls(file.readLine());
    return v;
}
