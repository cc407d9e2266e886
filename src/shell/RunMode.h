#pragma once

#include <QString>

// The run-mode code for the first command-line parameter: "TEST", "TEST2", "BDE", "2",
// "TV", "INIT" for an empty parameter, or "" when the parameter is not recognised.
QString RunModeForParameter(const QString& parameter);
