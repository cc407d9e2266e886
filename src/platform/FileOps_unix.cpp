// The file operations on Unix-like systems: descriptors, identities, renames and locks.
#include "FileOps.h"

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

bool syncToDisk(int fd) {
    return ::fdatasync(fd) == 0;
}

bool replaceFile(const QString& from, const QString& to, QString* error) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

void closeFile(int fd) {
    ::close(fd);
}

namespace {
QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

FileIdentity identityOf(const struct stat& st) {
    FileIdentity id;
    id.device = static_cast<quint64>(st.st_dev);
    id.node = static_cast<quint64>(st.st_ino);
    id.valid = true;
    return id;
}

QString systemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

FileIdentity identityOfOpenFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? identityOf(st) : FileIdentity{};
}

FileIdentity identityAtPath(const QString& path) {
    struct stat st {};
    return ::lstat(nativePath(path).constData(), &st) == 0 ? identityOf(st) : FileIdentity{};
}

int createOwnedFile(const QString& path, const std::function<void(const QString&)>& removeLeftover,
                    OwnedFileStatus* status, QString* error) {
    const QByteArray native = nativePath(path);
    const auto fail = [&](OwnedFileStatus why, const QString& text) {
        *status = why;
        *error = text;
        return -1;
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Never an existing file, never through a link: only a file made here and now.
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd);
                return fail(OwnedFileStatus::HeldElsewhere,
                            QStringLiteral("Cannot create file \"%1\". Another download is writing it.").arg(path));
            }
            // A run that took our new file for a leftover in the moment before the lock
            // has removed it: the name is no longer ours, so start again.
            if (identityOfOpenFile(fd) == identityAtPath(path)) {
                *status = OwnedFileStatus::Created;
                return fd;
            }
            ::close(fd);
            continue;
        }
        if (errno != EEXIST)
            return fail(OwnedFileStatus::Failed,
                        QStringLiteral("Cannot create file \"%1\". %2").arg(path, systemMessage(errno)));
        // Something is there. Opened without following a link and without waiting for a
        // pipe's writer, only to learn whether another run holds it.
        const int other = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (other < 0) {
            if (errno != ELOOP && errno != ENXIO) // not a link or a socket: nothing we may clear
                return fail(OwnedFileStatus::Failed,
                            QStringLiteral("Cannot create file \"%1\". %2").arg(path, systemMessage(errno)));
            removeLeftover(path);
        } else {
            if (::flock(other, LOCK_EX | LOCK_NB) != 0) {
                ::close(other);
                return fail(OwnedFileStatus::HeldElsewhere,
                            QStringLiteral("Cannot create file \"%1\". Another download is writing it.").arg(path));
            }
            // Cleared while locked, so no run can be starting to write it meanwhile.
            if (identityOfOpenFile(other) == identityAtPath(path))
                removeLeftover(path);
            ::close(other);
        }
        if (identityAtPath(path).valid)
            return fail(OwnedFileStatus::Failed,
                        QStringLiteral("Cannot create file \"%1\". A leftover of an earlier download cannot be removed.")
                            .arg(path));
    }
    return fail(OwnedFileStatus::HeldElsewhere,
                QStringLiteral("Cannot create file \"%1\". Another download is writing it.").arg(path));
}

int reopenOwnedFile(const QString& path, qint64 size, OwnedFileStatus* status) {
    *status = OwnedFileStatus::Failed;
    // Without following a link and without waiting for a pipe's reader.
    const int fd = ::open(nativePath(path).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        *status = OwnedFileStatus::HeldElsewhere;
        return -1;
    }
    // Judged once locked, so no run that follows the rule can change it meanwhile.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != ::geteuid() ||
        st.st_size != size || identityOfOpenFile(fd) != identityAtPath(path) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    *status = OwnedFileStatus::Created;
    return fd;
}

bool seekTo(int fd, qint64 offset) {
    return ::lseek(fd, off_t(offset), SEEK_SET) == off_t(offset);
}

bool renameOwnedFile(int fd, const QString& from, const QString& to, QString* error) {
    // A rename goes by name, and anyone allowed to write the folder can put another file
    // under either name: the names are checked against the open file before and after.
    const FileIdentity ours = identityOfOpenFile(fd);
    const auto notOurs = [error] {
        if (error)
            *error = QStringLiteral("the file was replaced while it was being written");
        return false;
    };
    if (!ours.valid || identityAtPath(from) != ours)
        return notOurs();
    if (!replaceFile(from, to, error)) // the lock stays with the open file under its new name
        return false;
    return identityAtPath(to) == ours || notOurs();
}

void discardOwnedFile(int fd, const QString& path, const std::function<void(const QString&)>& removeByName) {
    if (identityOfOpenFile(fd) == identityAtPath(path))
        removeByName(path); // while still locked
    ::close(fd);
}

HeldFolder::HeldFolder(const QString& path) : m_path(path) {
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        m_handle = fd;
}

HeldFolder::~HeldFolder() {
    if (m_handle != -1)
        ::close(int(m_handle));
}

QString HeldFolder::pathOf(const QString& name) const {
    // The open folder's own entry: a link put at the folder's name meanwhile is never followed.
    return m_handle == -1 ? QString() : QStringLiteral("/proc/self/fd/%1/").arg(m_handle) + name;
}

int holdForStart(int fd, const QString& path, bool* reopened) {
    *reopened = false;
    if (identityOfOpenFile(fd) != identityAtPath(path)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void WriteBehind::wrote(qint64 bytes) {
    constexpr qint64 kStretch = qint64(8) << 20;
    m_written += bytes;
    while (m_written - m_started >= kStretch) {
        ::sync_file_range(m_fd, m_started, kStretch, SYNC_FILE_RANGE_WRITE);
        // Wait for the stretch before this one: a disk slower than the network then slows
        // the transfer instead of piling up unwritten pages for the final flush.
        if (m_started >= kStretch)
            ::sync_file_range(m_fd, m_started - kStretch, kStretch,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        m_started += kStretch;
    }
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

int openForAppending(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0)
        return -1;
    struct stat info {};
    // A hard link would make the record grow inside somebody else's file.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        ::close(fd);
        return -1;
    }
    return fd;
}

qint64 sizeOfOpenFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? qint64(info.st_size) : -1;
}

qint64 readAt(int fd, qint64 offset, char* buffer, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer + done, std::size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

ReadOpen openRegularFileNoFollow(const QString& path, qint64 maxBytes, int* fd, qint64* modified) {
    *fd = -1;
    *modified = 0;
    // O_NONBLOCK: a named pipe is never waited on; O_NOFOLLOW: a link is not the file.
    const int opened =
        ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (opened < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadOpen::Missing
               : errno == ELOOP                    ? ReadOpen::NotAFile
                                                   : ReadOpen::Refused;
    struct stat info {};
    if (::fstat(opened, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(opened);
        return ReadOpen::NotAFile;
    }
    *modified = qint64(info.st_mtime);
    if (info.st_size > maxBytes) {
        ::close(opened);
        return ReadOpen::TooLarge;
    }
    const int flags = ::fcntl(opened, F_GETFL);
    if (flags != -1)
        ::fcntl(opened, F_SETFL, flags & ~O_NONBLOCK);
    *fd = opened;
    return ReadOpen::Opened;
}

int tryLockFile(const QString& path, LockStatus* status) {
    const int fd = ::open(nativePath(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        // ELOOP: a link; EISDIR: a folder; ENXIO: a socket.
        *status =
            errno == ELOOP || errno == EISDIR || errno == ENXIO ? LockStatus::NotAFile : LockStatus::Failed;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *status = LockStatus::NotAFile;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(fd);
        *status = code == EWOULDBLOCK ? LockStatus::HeldElsewhere : LockStatus::Failed;
        return -1;
    }
    *status = LockStatus::Locked;
    return fd;
}

void unlockFile(int fd) {
    ::close(fd); // the lock goes with the last descriptor of the open file
}

QString folderKeyText(const QString& folder) {
    return QFileInfo(folder).canonicalFilePath();
}
