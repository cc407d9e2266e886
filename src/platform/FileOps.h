#pragma once

#include <QString>

// Writes what the system holds for an open file out to the disk.
bool syncToDisk(int fd);

// Gives `from` the name `to` in one step, replacing a file (or a link itself) of that name.
// On failure returns false and sets *error to the system's message.
bool replaceFile(const QString& from, const QString& to, QString* error);
