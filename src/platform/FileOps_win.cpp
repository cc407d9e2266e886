// The file operations on Windows: handles, identities, renames and locks.
#include "FileOps.h"
#include "WinText.h"

#include <windows.h>
#include <aclapi.h>
#include <io.h>
#include <fcntl.h>

#include <QFileInfo>

#include <vector>

namespace {
// A C descriptor for an open handle; the handle is closed when none can be had.
int descriptorOf(HANDLE handle, int flags) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}
} // namespace

bool syncToDisk(int fd) {
    return _commit(fd) == 0;
}

bool replaceFile(const QString& from, const QString& to, QString* error) {
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (error) {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, GetLastError(), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
        *error = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("the file could not be replaced");
        LocalFree(text);
    }
    return false;
}

void closeFile(int fd) {
    _close(fd);
}

namespace {
FileIdentity identityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    FileIdentity id;
    if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info)) {
        id.device = info.dwVolumeSerialNumber;
        id.node = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.valid = true;
    }
    return id;
}
} // namespace

FileIdentity identityOfOpenFile(int fd) {
    return identityOfHandle(handleOf(fd));
}

FileIdentity identityAtPath(const QString& path) {
    HANDLE handle = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const FileIdentity id = identityOfHandle(handle);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return id;
}

HeldFolder::HeldFolder(const QString& path) : m_path(path) {
    // The entry itself, a junction or link not followed; shared for anything but deleting, so
    // that nobody can rename it or put something else at its name while it is held.
    HANDLE handle = CreateFileW(wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        return;
    }
    m_handle = reinterpret_cast<qintptr>(handle);
}

HeldFolder::~HeldFolder() {
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

QString HeldFolder::pathOf(const QString& name) const {
    if (m_handle == -1)
        return QString();
    const bool separated = m_path.endsWith(u'\\') || m_path.endsWith(u'/');
    return m_path + (separated ? QString() : QStringLiteral("\\")) + name;
}

int createOwnedFile(const QString& path, const std::function<void(const QString&)>& removeLeftover,
                    OwnedFileStatus* status, QString* error) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Created afresh and opened without sharing: nobody else can open, write or delete it
        // while this run holds it. DELETE access lets the handle itself rename or remove it.
        // A link or junction under the name is that name itself, never followed: a dangling
        // link would otherwise create its target, wherever it points.
        HANDLE handle = CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            const int fd = descriptorOf(handle, _O_BINARY);
            if (fd < 0)
                break;
            *status = OwnedFileStatus::Created;
            return fd;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            *status = OwnedFileStatus::Failed;
            *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, windowsMessage(code));
            return -1;
        }
        // A leftover can be removed only when no run holds it open.
        removeLeftover(path);
        if (identityAtPath(path).valid) {
            *status = OwnedFileStatus::HeldElsewhere;
            *error = QStringLiteral("Cannot create file \"%1\". Another download is writing it.").arg(path);
            return -1;
        }
    }
    *status = OwnedFileStatus::Failed;
    *error = QStringLiteral("Cannot create file \"%1\".").arg(path);
    return -1;
}

namespace {
// Whether the file's owner is this account: its user, or the owner it gives what it makes
// (an elevated administrator's files belong to the Administrators group).
bool ownedByThisAccount(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    bool same = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
            DWORD needed = 0;
            GetTokenInformation(token, kind, nullptr, 0, &needed);
            std::vector<char> buffer(needed);
            if (needed == 0 || !GetTokenInformation(token, kind, buffer.data(), needed, &needed))
                continue;
            const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                               : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
            same = same || EqualSid(owner, sid);
        }
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return same;
}
} // namespace

int reopenOwnedFile(const QString& path, qint64 size, OwnedFileStatus* status) {
    *status = OwnedFileStatus::Failed;
    // Shared with nobody, as a new part file is; a link or junction is opened itself.
    HANDLE handle = CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            *status = OwnedFileStatus::HeldElsewhere;
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER length{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1 || !GetFileSizeEx(handle, &length) || length.QuadPart != size ||
        !ownedByThisAccount(handle)) {
        CloseHandle(handle);
        return -1;
    }
    const int fd = descriptorOf(handle, _O_BINARY);
    if (fd < 0)
        return -1;
    *status = OwnedFileStatus::Created;
    return fd;
}

bool seekTo(int fd, qint64 offset) {
    return _lseeki64(fd, offset, SEEK_SET) == offset;
}

bool renameOwnedFile(int fd, const QString& from, const QString& to, QString* error) {
    Q_UNUSED(from);
    // Renamed through the handle that wrote it, so no other file can take its place.
    const std::size_t nameBytes = std::size_t(to.size()) * sizeof(wchar_t);
    QByteArray buffer(int(sizeof(FILE_RENAME_INFO) + nameBytes), '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    memcpy(info->FileName, to.utf16(), nameBytes);
    if (SetFileInformationByHandle(handleOf(fd), FileRenameInfo, info, DWORD(buffer.size())))
        return true;
    if (error)
        *error = windowsMessage(GetLastError());
    return false;
}

void discardOwnedFile(int fd, const QString& path, const std::function<void(const QString&)>&) {
    Q_UNUSED(path);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(handleOf(fd), FileDispositionInfo, &disposition, sizeof disposition);
    _close(fd);
}

int holdForStart(int fd, const QString& path, bool* reopened) {
    const FileIdentity checked = identityOfOpenFile(fd);
    const auto readShared = [&path] {
        // Readable by the shell, but neither writable, renamable nor deletable while we hold it.
        return CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    // A handle that already shares reading is joined by the new one before it is let go.
    *reopened = false;
    HANDLE handle = readShared();
    _close(fd);
    if (handle == INVALID_HANDLE_VALUE) {
        // One that shares nothing cannot be narrowed: it is closed and the file opened anew,
        // and in between anyone allowed to write the folder could change it. The caller
        // hashes the bytes again through the new handle.
        *reopened = true;
        handle = readShared();
    }
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info{};
    if (identityOfHandle(handle) != checked || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1) {
        CloseHandle(handle);
        return -1;
    }
    return descriptorOf(handle, _O_BINARY | _O_RDONLY);
}

void WriteBehind::wrote(qint64 bytes) {
    m_written += bytes; // the closing FlushFileBuffers does the work here
    m_started = m_written;
    Q_UNUSED(m_fd);
}

ReadOpen openRegularFileForReading(const QString& path, qint64 maxBytes, int* fd, QString* error) {
    *fd = -1;
    const auto fail = [&](ReadOpen outcome, const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot read \"%1\". %2").arg(path, why);
        return outcome;
    };
    // Others may go on reading, writing or deleting it meanwhile, as with an ordinary open.
    HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        // A folder is refused by the open itself, as access denied.
        const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
        if (!missing && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
        return fail(missing ? ReadOpen::Missing : ReadOpen::Refused, QStringLiteral("(error %1)").arg(code));
    }
    // A pipe, a console or another device is not read: only a file on a disk is.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        return fail(ReadOpen::NotAFile, QStringLiteral("It is not a regular file."));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size) || size.QuadPart > maxBytes) {
        CloseHandle(handle);
        return fail(ReadOpen::TooLarge, QStringLiteral("It is larger than %1 bytes.").arg(maxBytes));
    }
    const int opened = descriptorOf(handle, _O_RDONLY | _O_BINARY);
    if (opened < 0)
        return fail(ReadOpen::Refused, QStringLiteral("No descriptor for the open file."));
    *fd = opened;
    return ReadOpen::Opened;
}

int openForAppending(const QString& path) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link or junction itself, which is then refused.
    HANDLE handle = CreateFileW(wide(path), FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        CloseHandle(handle);
        return -1;
    }
    return descriptorOf(handle, _O_APPEND | _O_BINARY);
}

qint64 sizeOfOpenFile(int fd) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(fd), &size) ? qint64(size.QuadPart) : -1;
}

qint64 readAt(int fd, qint64 offset, char* buffer, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        OVERLAPPED at{};
        at.Offset = DWORD(quint64(offset + done) & 0xffffffffu);
        at.OffsetHigh = DWORD(quint64(offset + done) >> 32);
        DWORD n = 0;
        const DWORD want = DWORD(qMin<qint64>(size - done, 1 << 20));
        if (!ReadFile(handleOf(fd), buffer + done, want, &n, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? done : -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool writeAll(int fd, const QByteArray& bytes) {
    DWORD written = 0;
    // A handle with append rights alone writes at the end, whatever the position.
    return WriteFile(handleOf(fd), bytes.constData(), DWORD(bytes.size()), &written, nullptr) &&
           written == DWORD(bytes.size());
}

namespace {
// What the name itself is, a link or junction not followed; INVALID_FILE_ATTRIBUTES when none.
DWORD attributesAt(const QString& path) {
    return GetFileAttributesW(wide(path));
}

qint64 unixSeconds(const FILETIME& time) {
    const quint64 ticks = (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime; // 100 ns since 1601
    return ticks == 0 ? 0 : qint64(ticks / 10000000u) - qint64(11644473600LL);
}
} // namespace

ReadOpen openRegularFileNoFollow(const QString& path, qint64 maxBytes, int* fd, qint64* modified) {
    *fd = -1;
    *modified = 0;
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link or junction itself, which is then refused.
    HANDLE handle =
        CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return ReadOpen::Missing;
        const DWORD attributes = attributesAt(path);
        return attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0
                   ? ReadOpen::NotAFile
                   : ReadOpen::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(handle);
        return ReadOpen::NotAFile;
    }
    *modified = unixSeconds(info.ftLastWriteTime);
    const qint64 size = qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    if (size > maxBytes) {
        CloseHandle(handle);
        return ReadOpen::TooLarge;
    }
    const int opened = descriptorOf(handle, _O_RDONLY | _O_BINARY);
    if (opened < 0)
        return ReadOpen::Refused;
    *fd = opened;
    return ReadOpen::Opened;
}

int tryLockFile(const QString& path, LockStatus* status) {
    // The link or junction itself when there is one, never what it points to. Other runs may
    // open it too, but while anyone has it open nobody can delete or rename it, which would
    // let a run lock a file of the same name that another run no longer has.
    HANDLE handle =
        CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const DWORD attributes = attributesAt(path);
        *status = code == ERROR_SHARING_VIOLATION
                      ? LockStatus::HeldElsewhere // opened by someone for a moment
                  : attributes != INVALID_FILE_ATTRIBUTES &&
                          (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0
                      ? LockStatus::NotAFile
                      : LockStatus::Failed;
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(handle);
        *status = LockStatus::NotAFile;
        return -1;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                    &whole)) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        *status = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING ? LockStatus::HeldElsewhere
                                                                           : LockStatus::Failed;
        return -1;
    }
    const int fd = descriptorOf(handle, _O_BINARY);
    if (fd < 0) {
        *status = LockStatus::Failed;
        return -1;
    }
    *status = LockStatus::Locked;
    return fd;
}

void unlockFile(int fd) {
    // Unlocked first: a lock left to the closing handle may be let go only some time later.
    OVERLAPPED whole{};
    UnlockFileEx(handleOf(fd), 0, MAXDWORD, MAXDWORD, &whole);
    _close(fd);
}

QString folderKeyText(const QString& folder) {
    return QFileInfo(folder).canonicalFilePath().toCaseFolded();
}
