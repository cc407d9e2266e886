#pragma once

#include <QString>

// A name that can only ever mean a file directly inside the program folder, on any system:
// no separators, no drive or stream colon, not "." or "..", no control characters,
// none of <>"|?*, and no trailing dot or space.
bool isPlainFileName(const QString& name);

// The small text files that say which release is the latest; their size is capped.
bool isVersionFileName(const QString& name);
