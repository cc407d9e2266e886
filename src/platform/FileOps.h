#pragma once

#include <QString>

// Writes what the system holds for an open file out to the disk.
bool syncToDisk(int fd);

// Gives `from` the name `to` in one step, replacing a file (or a link itself) of that name.
// On failure returns false and sets *error to the system's message.
bool replaceFile(const QString& from, const QString& to, QString* error);

// Creates `path`, which must not exist yet (not even as a link), for reading and writing,
// and returns its descriptor; on Windows no one else may open it meanwhile. -1 and *error
// set on failure.
int createNewFileExclusive(const QString& path, QString* error);
void closeFile(int fd);

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
