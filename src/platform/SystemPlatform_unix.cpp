#include "CommandLine.h"
#include "FileOps.h"
#include "ProxyConfig.h"
#include "SystemPlatform.h"
#include "Error.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

// Anyone allowed to write the folder may rename another file over the name at any moment,
// and the opener opens by name: it gets a copy of the held file's bytes instead, in a folder
// of this run's own under the temporary folder (mode 0700, in a sticky folder, so that
// nobody else can rename, replace or add anything there). The working folder stays.
void SystemPlatform::shellOpenHeldFile(QWidget* owner, int fd, const QString& fileName, const QString& workingFolder) {
    // Earlier runs' copies go, once whatever started them has had a minute to open them.
    const QDir temp(QDir::tempPath());
    for (const QFileInfo& earlier : temp.entryInfoList({QStringLiteral("tallyaid-start-*")}, QDir::Dirs | QDir::Hidden)) {
        struct stat st {};
        if (::lstat(QFile::encodeName(earlier.filePath()).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::geteuid() && st.st_mtime < ::time(nullptr) - 60)
            QDir(earlier.filePath()).removeRecursively();
    }
    const QByteArray base = QFile::encodeName(QDir::tempPath()) + "/tallyaid-start-XXXXXX";
    QByteArray folder = base;
    if (!::mkdtemp(folder.data()))
        throw TallyError(QStringLiteral("Cannot make a folder to start %1 from").arg(fileName));
    const QByteArray copyPath = folder + '/' + QFile::encodeName(fileName);
    const int out = ::open(copyPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    bool copied = out >= 0;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 at = 0; copied;) {
        const qint64 got = readAt(fd, at, block.data(), block.size());
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        copied = writeAll(out, QByteArray::fromRawData(block.constData(), int(got)));
        at += got;
    }
    if (out >= 0)
        ::close(out);
    if (!copied) {
        ::unlink(copyPath.constData());
        ::rmdir(folder.constData());
        throw TallyError(QStringLiteral("Cannot copy %1 to start it").arg(fileName));
    }
    Q_UNUSED(owner);
    QProcess::startDetached(QStringLiteral("xdg-open"), {QFile::decodeName(copyPath)}, workingFolder);
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

Platform::PublisherCheck SystemPlatform::checkPublisherSignature(int, const QString&, const Publisher&) const {
    return PublisherCheck::NotApplicable; // programs here carry no signature the system checks
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

std::optional<QString> systemProxyFor(const QString&) {
    return std::nullopt; // libcurl reads https_proxy and no_proxy itself
}

QStringList configuredProxySettings() {
    // The ones libcurl consults for an https address.
    QStringList settings;
    for (const char* name : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty() && !settings.contains(value))
            settings << value;
    }
    return settings;
}

bool systemTrustsServer(void*, const QString&, QString*) {
    return true;
}
