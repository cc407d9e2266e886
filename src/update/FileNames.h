#pragma once

#include <QString>

// A name that can only ever mean a file directly inside the program folder, on any system:
// no separators, no drive or stream colon, not "." or "..", no control characters,
// none of <>"|?*, and no trailing dot or space.
bool isPlainFileName(const QString& name);

// The small text files that say which release is the latest; their size is capped.
bool isVersionFileName(const QString& name);

// A name a version file (or the special-version entry) may give as the program to fetch and
// start: a plain file name ending in ".exe" or ".msi" (any case), at most 255 characters,
// not starting with "-" or ".", without control or format characters, slash look-alikes or
// characters beyond the basic plane,
// not a device name such as CON or COM1 (with or without an extension), and none of the
// program's own files: ownFileName (the executable), "version.tly" or a version file.
bool isInstallerFileName(const QString& name, const QString& ownFileName);

// Where a download of `name` is written until it is complete: hidden, in the same folder,
// the same for every download of that name (so a leftover of a killed run is found again).
QString partialFileName(const QString& name);
