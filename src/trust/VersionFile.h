#pragma once

#include "validate/Validate.h"

#include <QString>

class AnsiTextFile;

// What a version file says: the latest version, its suffix and the installer's name. An
// empty file says nothing, and every value keeps its starting value.
struct VersionFile {
    bool empty = true;
    Currency latest = 0;
    QString suffix;    // "" when the line is "-"
    QString installer;

    // Reads the three lines, each with its leading and trailing blanks removed.
    static VersionFile read(AnsiTextFile& file);
};
