#include "CommandLine.h"
#include "FileOps.h"
#include "ProxyConfig.h"
#include "SystemPlatform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>

// On Unix-like systems "open" is the desktop's xdg-open, started detached so that
// this program never waits for what it starts.

void SystemPlatform::shellOpenFile(QWidget*, const QString& fileName, const QString& workingFolder) {
    // A name starting with "-" would be read as an option.
    const QString target = fileName.startsWith(u'-') ? QStringLiteral("./") + fileName : fileName;
    QProcess::startDetached(QStringLiteral("xdg-open"), {target}, workingFolder);
}

void SystemPlatform::shellOpenUrl(QWidget*, const QString& url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {url});
}

namespace {
// Calls take(name) for every ordinary, visible file of folder whose name matches mask. Names
// are matched before anything is asked of the file system, so a crowded folder costs one
// directory read and no more. Without file marks, a leading dot is what makes a file hidden.
template <typename Take>
void forEachMatch(const QString& folder, const QString& mask, Take take) {
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.startsWith(u'.') || !matchesWildcard(name, mask))
            continue;
        if (it.fileInfo().isFile())
            take(name);
    }
}
} // namespace

QStringList SystemPlatform::findFiles(const QString& folder, const QString& mask) const {
    QStringList result;
    forEachMatch(folder, mask, [&](const QString& name) { result << name; });
    std::sort(result.begin(), result.end(), precedesInSearch);
    return result;
}

QString SystemPlatform::findFirstFile(const QString& folder, const QString& mask) const {
    QString first;
    forEachMatch(folder, mask, [&](const QString& name) {
        if (first.isEmpty() || precedesInSearch(name, first))
            first = name;
    });
    return first;
}

Platform* createSystemPlatform() {
    return new SystemPlatform;
}

QStringList commandLineParameters(int argc, char** argv) {
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters << QString::fromLocal8Bit(argv[i]);
    return parameters;
}

bool syncToDisk(int fd) {
    return ::fsync(fd) == 0;
}

bool replaceFile(const QString& from, const QString& to, QString* error) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

std::optional<QString> systemProxyFor(const QString&) {
    return std::nullopt; // libcurl reads https_proxy and no_proxy itself
}

int createNewFileExclusive(const QString& path, QString* error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && error)
        *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return fd;
}

void closeFile(int fd) {
    ::close(fd);
}

ReadOpen openRegularFileForReading(const QString& path, qint64 maxBytes, int* fd, QString* error) {
    *fd = -1;
    const auto fail = [&](ReadOpen outcome, const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot read \"%1\". %2").arg(path, why);
        return outcome;
    };
    // O_NONBLOCK: opening a named pipe that has no writer would otherwise wait for one.
    const int opened = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (opened < 0) {
        const int code = errno;
        return fail(code == ENOENT || code == ENOTDIR ? ReadOpen::Missing : ReadOpen::Refused,
                    QString::fromLocal8Bit(std::strerror(code)));
    }
    struct stat info {};
    if (::fstat(opened, &info) != 0) {
        const int code = errno;
        ::close(opened);
        return fail(ReadOpen::Refused, QString::fromLocal8Bit(std::strerror(code)));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(opened);
        return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
    }
    if (info.st_size > maxBytes) {
        ::close(opened);
        return fail(ReadOpen::TooLarge, QStringLiteral("It is larger than %1 bytes.").arg(maxBytes));
    }
    // A regular file's reads never wait; blocking mode again so reads behave as usual.
    const int flags = ::fcntl(opened, F_GETFL);
    if (flags != -1)
        ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
    *fd = opened;
    return ReadOpen::Opened;
}
