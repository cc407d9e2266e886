#pragma once

#include <QStringList>

// The parameters the user gave the program (not the program's own path), read straight
// from the process before any library can take options out of them.
QStringList commandLineParameters(int argc, char** argv);
