#include "trust/FileNames.h"

#include "platform/Wildcard.h"

#include <QCryptographicHash>
#include <QStringList>

namespace {
bool isAsciiCaseEqual(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Characters that look like a path separator in a file name.
bool isSlashLookAlike(char16_t c) {
    switch (c) {
    case 0x2044: // fraction slash
    case 0x2215: // division slash
    case 0x2216: // set minus
    case 0x29F8: // big solidus
    case 0x29F9: // big reverse solidus
    case 0xFE68: // small reverse solidus
    case 0xFF0F: // fullwidth solidus
    case 0xFF3C: // fullwidth reverse solidus
        return true;
    default: return false;
    }
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (superscript digits too) and the console names open a
// device on Windows whatever extension follows.
bool isDeviceName(const QString& name) {
    QString stem = name.section(u'.', 0, 0);
    while (stem.endsWith(u' '))
        stem.chop(1);
    const QString upper = stem.toUpper();
    if (upper == QLatin1String("CON") || upper == QLatin1String("PRN") || upper == QLatin1String("AUX") ||
        upper == QLatin1String("NUL") || upper == QLatin1String("CONIN$") || upper == QLatin1String("CONOUT$"))
        return true;
    if (upper.size() == 4 && (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT")))) {
        const char16_t digit = upper[3].unicode();
        return (digit >= u'0' && digit <= u'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
    }
    return false;
}
} // namespace

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
    return name == FileName::VersionFileV2 || name == FileName::VersionFileTest || name == FileName::VersionFileTest2;
}

bool isOwnFamilyName(const QString& name) {
    if (isVersionFileName(name))
        return true;
    for (const QString& own : {FileName::InstallerV2, FileName::TestInstaller, FileName::DatabaseEngineSetup,
                               FileName::RemoteSupportTool})
        if (isAsciiCaseEqual(name, own))
            return true;
    return matchesWildcard(name, FileName::InstallerMask);
}

bool isInstallerFileName(const QString& name, const QString& ownFileName) {
    if (!isPlainFileName(name) || name.size() > 255)
        return false;
    if (name.startsWith(u'-') || name.startsWith(u'.'))
        return false;
    const QString lower = name.toLower();
    if (!lower.endsWith(QLatin1String(".exe")) && !lower.endsWith(QLatin1String(".msi")))
        return false;
    for (const QChar c : name) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format || isSlashLookAlike(c.unicode()))
            return false;
        // Characters beyond the basic plane (and broken halves of them) are never needed in
        // an installer's name, and some of them are format characters: none is accepted.
        if (category == QChar::Other_Surrogate)
            return false;
    }
    if (isDeviceName(name))
        return false;
    for (const QString& own : {ownFileName, FileName::InstalledVersion, FileName::VersionFileV2,
                               FileName::VersionFileTest, FileName::VersionFileTest2})
        if (!own.isEmpty() && isAsciiCaseEqual(name, own))
            return false;
    return true;
}

QString partialFileName(const QString& name) {
    if (name.size() <= 200)
        return QStringLiteral(".") + name + QStringLiteral(".part");
    // Long names keep a readable start and a digest of the whole, within the system's limit.
    const QByteArray digest = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral(".") + name.left(200) + u'~' + QString::fromLatin1(digest) + QStringLiteral(".part");
}

QString continuationRecordName(const QString& name) {
    return partialFileName(name) + QStringLiteral("-record");
}

QString continuationRecordPartName(const QString& name) {
    return continuationRecordName(name) + QStringLiteral(".part");
}
