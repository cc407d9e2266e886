#include "SystemPlatform.h"

#include <QDir>
#include <QProcess>

// On Unix-like systems "open" is the desktop's xdg-open, started detached so that
// this program never waits for what it starts.

void SystemPlatform::shellOpenFile(QWidget*, const QString& fileName, const QString& workingFolder) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {fileName}, workingFolder);
}

void SystemPlatform::shellOpenUrl(QWidget*, const QString& url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {url});
}

QStringList SystemPlatform::findFiles(const QString& folder, const QString& mask) const {
    // Without file marks, a leading dot is what makes a file hidden; QDir leaves those out
    // unless asked. Only regular files count.
    const QDir dir(folder);
    QStringList result;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : entries) {
        if (info.fileName().startsWith(u'.'))
            continue;
        if (matchesWildcard(info.fileName(), mask))
            result << info.fileName();
    }
    return result;
}

Platform* createSystemPlatform() {
    return new SystemPlatform;
}
