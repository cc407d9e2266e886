#pragma once

#include <QString>

// Wildcard match as the system's file search does it: "*" any run, "?" one character,
// letters compared without regard to ASCII case.
bool matchesWildcard(const QString& name, const QString& mask);
