#pragma once

#include <QString>
#include <QtGlobal>

// Things under a file's name that a careful program refuses or leaves alone, made the way
// each system allows, so that a test says what it wants and not how to make it.

// A named pipe that nobody writes to or reads from. On Linux a FIFO at the path asked for.
// On Windows a pipe can only live in the system's pipe namespace: it gets a folder of its
// own there (\\.\pipe\<unique>\) under the file name asked for; path() and folder() say where.
class NamedPipe {
public:
    explicit NamedPipe(const QString& wantedPath);
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    QString folder() const; // path() up to its last separator, included
    // Lets an open or a read that waits on the pipe return (it then fails).
    void releaseWaiters();
    // What was written into the pipe and is still unread. Always 0 on Linux, where nothing
    // can be written into a pipe that nobody reads.
    qint64 bytesWaiting() const;

private:
    QString m_path;
    bool m_valid = false;
    void* m_server = nullptr; // Windows: the pipe's own end
};

// An existing file that another run of the program holds, as it holds a file it writes: on
// Linux an exclusive flock, on Windows a handle that shares nothing, so that nobody else
// may open or delete it meanwhile.
class HeldFile {
public:
    explicit HeldFile(const QString& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool isHeld() const { return m_held; }
    void release();

private:
    bool m_held = false;
    int m_fd = -1;            // Linux
    void* m_handle = nullptr; // Windows
};

// Gives the existing file a second name (a hard link) on the same volume.
bool makeHardLink(const QString& existing, const QString& newName);
