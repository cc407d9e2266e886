#include "Fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace {
bool hasFamily(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

void substitute(const QString& family, const QStringList& candidates) {
    if (hasFamily(family))
        return;
    QStringList present;
    for (const QString& candidate : candidates)
        if (hasFamily(candidate))
            present << candidate;
    if (!present.isEmpty())
        QFont::insertSubstitutions(family, present);
}
} // namespace

void installFontSubstitutes() {
    // A Tahoma-metric face ships with some systems outside the font path.
    if (!hasFamily(QStringLiteral("Tahoma"))) {
        const QDir wineFonts(QStringLiteral("/usr/share/wine/fonts"));
        for (const QString& file : {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")})
            if (wineFonts.exists(file))
                QFontDatabase::addApplicationFont(wineFonts.filePath(file));
    }
    substitute(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    substitute(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    substitute(QStringLiteral("Segoe UI"), {QStringLiteral("Open Sans"), QStringLiteral("Liberation Sans")});
    substitute(QStringLiteral("Segoe UI Semibold"),
               {QStringLiteral("Open Sans Semibold"), QStringLiteral("Open Sans"), QStringLiteral("Liberation Sans")});
    substitute(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

QFont pixelFont(const QString& family, int pixelSize, bool bold, bool underline) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}
