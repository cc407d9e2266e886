#include "FileNames.h"

bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 32 || c.unicode() == 127)
            return false;
        if (QStringLiteral("/\\:<>\"|?*").contains(c))
            return false;
    }
    return !name.endsWith(u'.') && !name.endsWith(u' ');
}

bool isVersionFileName(const QString& name) {
    return name == QLatin1String("twv2.vn") || name == QLatin1String("twvtest.vn") ||
           name == QLatin1String("twvtest2.vn");
}
