#include "HostileFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef _WIN32
#include <QUuid>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
namespace {
LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}
} // namespace

NamedPipe::NamedPipe(const QString& wantedPath) {
    // Backslashes inside a pipe's name are just characters: the "folder" is part of its name.
    m_path = QStringLiteral("\\\\.\\pipe\\tallyaid-test-%1\\").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)) +
             QFileInfo(wantedPath).fileName();
    // Duplex, so that an open for reading and an open for writing both reach it.
    HANDLE server = CreateNamedPipeW(wide(m_path), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                     4096, 4096, 0, nullptr);
    m_valid = server != INVALID_HANDLE_VALUE;
    m_server = m_valid ? server : nullptr;
}

NamedPipe::~NamedPipe() {
    if (m_server)
        CloseHandle(m_server);
}

void NamedPipe::releaseWaiters() {
    // A read waiting on the other end fails once this end lets it go.
    if (m_server)
        DisconnectNamedPipe(m_server);
}

qint64 NamedPipe::bytesWaiting() const {
    if (!m_server)
        return 0;
    DWORD available = 0;
    if (PeekNamedPipe(m_server, nullptr, 0, nullptr, &available, nullptr))
        return available;
    // Not connected, or the writer has gone: a read then returns at once, with what is left.
    char left[4096];
    DWORD read = 0;
    return ReadFile(m_server, left, sizeof left, &read, nullptr) ? read : 0;
}

HeldFile::HeldFile(const QString& path) {
    HANDLE handle = CreateFileW(wide(QDir::toNativeSeparators(path)), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_held = handle != INVALID_HANDLE_VALUE;
    m_handle = m_held ? handle : nullptr;
}

void HeldFile::release() {
    if (m_handle)
        CloseHandle(m_handle);
    m_handle = nullptr;
    m_held = false;
}

bool makeHardLink(const QString& existing, const QString& newName) {
    return CreateHardLinkW(wide(QDir::toNativeSeparators(newName)), wide(QDir::toNativeSeparators(existing)), nullptr);
}

#else

NamedPipe::NamedPipe(const QString& wantedPath) : m_path(wantedPath) {
    m_valid = ::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0;
}

NamedPipe::~NamedPipe() = default;

void NamedPipe::releaseWaiters() {
    // An open for reading that waits for a writer returns once one comes.
    const int writer = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
}

qint64 NamedPipe::bytesWaiting() const {
    return 0;
}

HeldFile::HeldFile(const QString& path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

void HeldFile::release() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_held = false;
}

bool makeHardLink(const QString& existing, const QString& newName) {
    return ::link(QFile::encodeName(existing).constData(), QFile::encodeName(newName).constData()) == 0;
}

#endif

QString NamedPipe::folder() const {
    const int last = qMax(m_path.lastIndexOf(u'/'), m_path.lastIndexOf(u'\\'));
    return m_path.left(last + 1);
}

HeldFile::~HeldFile() {
    release();
}
