#include "Fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
// Qt's windows platform hands a family it lacks to the system, which picks a face itself;
// elsewhere (and offscreen) Qt's own font database and substitutions decide.
bool systemPicksFaces() {
#ifdef _WIN32
    return QGuiApplication::platformName() == QLatin1String("windows");
#else
    return false;
#endif
}

bool hasFamily(const QString& family) {
#ifdef _WIN32
    if (!systemPicksFaces())
        return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
    // The system answers for a family it lacks with another face (its own substitutes), and
    // Qt then counts it as present: only a face of that very name counts here.
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW request{};
    request.lfHeight = -11;
    request.lfCharSet = DEFAULT_CHARSET;
    family.left(LF_FACESIZE - 1).toWCharArray(request.lfFaceName);
    HFONT font = CreateFontIndirectW(&request);
    HGDIOBJ before = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    const int length = GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, before);
    DeleteObject(font);
    DeleteDC(dc);
    return length > 0 && QString::fromWCharArray(face).compare(family, Qt::CaseInsensitive) == 0;
#else
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
#endif
}

// A family's stand-in by the name pixelFont() then asks for, where the system lacks it.
QHash<QString, QString>& standIns() {
    static QHash<QString, QString> chosen;
    return chosen;
}

void substitute(const QString& family, const QStringList& candidates) {
    if (hasFamily(family))
        return;
    QStringList present;
    for (const QString& candidate : candidates)
        if (hasFamily(candidate))
            present << candidate;
    if (present.isEmpty())
        return;
    QFont::insertSubstitutions(family, present);
    if (systemPicksFaces())
        standIns().insert(family, present.first());
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
#ifdef _WIN32
    // Qt's GDI engine draws no capital I in Liberation Sans at these sizes (seen under Wine).
    substitute(QStringLiteral("Arial"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
#else
    substitute(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
#endif
    substitute(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    substitute(QStringLiteral("Segoe UI"), {QStringLiteral("Open Sans"), QStringLiteral("Liberation Sans")});
    substitute(QStringLiteral("Segoe UI Semibold"),
               {QStringLiteral("Open Sans Semibold"), QStringLiteral("Open Sans"), QStringLiteral("Liberation Sans")});
    substitute(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

QFont pixelFont(const QString& family, int pixelSize, bool bold, bool underline) {
    QFont font(standIns().value(family, family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}
