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
