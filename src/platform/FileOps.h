#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

// Writes what the system holds for an open file out to the disk.
bool syncToDisk(int fd);

// Gives `from` the name `to` in one step, replacing a file (or a link itself) of that name.
// On failure returns false and sets *error to the system's message.
bool replaceFile(const QString& from, const QString& to, QString* error);

void closeFile(int fd);

// Which file a name or an open file is: the same file has the same identity for as long as
// it exists, whatever it is called.
struct FileIdentity {
    quint64 device = 0;
    quint64 node = 0;
    bool valid = false;
    bool operator==(const FileIdentity& other) const {
        return valid && other.valid && device == other.device && node == other.node;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};
FileIdentity identityOfOpenFile(int fd);
// The entry under `path` itself: a link is not followed.
FileIdentity identityAtPath(const QString& path);

// A file that one run alone writes, from creation until it takes its real name. Other runs
// that follow the same rule can neither take it over nor clear it as a leftover meanwhile:
// on Linux an advisory lock is held on it, on Windows the handle shares neither writing nor
// deleting.
enum class OwnedFileStatus { Created, HeldElsewhere, Failed };
// Creates `path` afresh (never through a link, never an existing file) for reading and
// writing. Something already there that no run holds is a leftover of a killed run: it is
// handed to removeLeftover (which may fail without a word) and creation is tried again.
// Returns the descriptor, or -1 with *status and *error saying why.
int createOwnedFile(const QString& path, const std::function<void(const QString&)>& removeLeftover,
                    OwnedFileStatus* status, QString* error);
// Opens for going on writing the file an earlier run of this account left under `path`,
// held as createOwnedFile holds a new one: never through a link, only a regular file with one
// name, owned by this account and exactly `size` bytes long. Returns the descriptor, or -1
// (*status HeldElsewhere when another run holds it, else Failed).
int reopenOwnedFile(const QString& path, qint64 size, OwnedFileStatus* status);
// Where the next write to an open file goes.
bool seekTo(int fd, qint64 offset);
// Gives the held file `from` the name `to`, replacing what had that name.
bool renameOwnedFile(int fd, const QString& from, const QString& to, QString* error);
// Removes the held file and lets it go, with no moment in which another run could take the
// name and lose its file instead. removeByName does the removal where a name is needed.
void discardOwnedFile(int fd, const QString& path, const std::function<void(const QString&)>& removeByName);
// Lets go of the writable handle and returns one that only reads, under which nobody may
// write, rename or delete the file (Windows); on Linux the same descriptor. -1 when the file
// under `path` is no longer the one that was held, or is a link. *reopened tells whether the
// file was let go for a moment (Windows): then its bytes must be checked again.
int holdForStart(int fd, const QString& path, bool* reopened);

// A folder held open while files in it are removed by name. Only a folder itself is held,
// never a link to one (nor, on Windows, a junction or any other reparse point), and while it
// is held nothing else can take its place: on Windows it cannot be renamed or deleted, on
// Linux the names inside it are reached through the open folder.
class HeldFolder {
public:
    explicit HeldFolder(const QString& path);
    ~HeldFolder();
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    bool isHeld() const { return m_handle != -1; }
    // A path to `name` inside the held folder; empty when none is held.
    QString pathOf(const QString& name) const;

private:
    QString m_path;
    qintptr m_handle = -1;
};

// Starts writing each finished stretch of a file to the disk while the rest still arrives,
// and keeps the amount not yet on disk bounded, so that the closing flush has little left.
class WriteBehind {
public:
    explicit WriteBehind(int fd) : m_fd(fd) {}
    void wrote(qint64 bytes);

private:
    int m_fd;
    qint64 m_written = 0;
    qint64 m_started = 0; // everything before this has been handed to the disk
};

// How opening an existing file for reading ended.
enum class ReadOpen {
    Opened,   // a regular file no larger than the bound; *fd holds its descriptor
    Missing,  // nothing of that name
    NotAFile, // a named pipe, device, socket or folder: never read, never waited on
    TooLarge, // a regular file over the bound
    Refused   // there, but the system would not open it (rights, sharing, a bad name)
};

// Opens `path` for reading without ever waiting on it, and decides on the open handle itself
// (fstat; on Windows GetFileType) that it is a regular file of at most maxBytes. The checks
// and the reading use the one handle, so nothing can swap the file in between. A size of 0
// does not prove a short file (pseudo-files report 0): readers still bound what they read.
ReadOpen openRegularFileForReading(const QString& path, qint64 maxBytes, int* fd, QString* error);

// Opens `path` to add to its end, creating it when missing, for a record nobody depends on:
// never through a link (on Windows, never any reparse point), only a regular file that has
// no other name, and never waiting. Reading through it works too. -1 otherwise.
int openForAppending(const QString& path);
// The size of an open file, -1 when unknown.
qint64 sizeOfOpenFile(int fd);
// Up to `size` bytes from `offset` of an open file (fewer at its end); -1 on failure.
qint64 readAt(int fd, qint64 offset, char* buffer, qint64 size);
// Writes all of `bytes` (at the end, for a file opened by openForAppending).
bool writeAll(int fd, const QByteArray& bytes);

// As openRegularFileForReading, and never through a link (on Windows, never any reparse
// point): a link under the name is NotAFile. For a regular file (Opened or TooLarge),
// *modified gets its last modification in UTC seconds, 0 when the system gives none.
ReadOpen openRegularFileNoFollow(const QString& path, qint64 maxBytes, int* fd, qint64* modified);

// An exclusive lock between runs, on a file of its own that stays where it is.
enum class LockStatus {
    Locked,
    HeldElsewhere, // another run holds it now
    NotAFile,      // a link, a folder, a pipe or anything but a regular file has the name
    Failed
};
// Opens `path` (creating a missing one) and takes its lock without ever waiting: never through
// a link, only a regular file. The descriptor when Locked, else -1; unlockFile lets it go.
int tryLockFile(const QString& path, LockStatus* status);
void unlockFile(int fd);

// The text that names a folder the same whichever way it was reached: its canonical path
// (on Windows case-folded, as its names are). Empty when the folder cannot be resolved.
QString folderKeyText(const QString& folder);
