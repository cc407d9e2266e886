#pragma once

#include <QString>

// The tests' helpers (the HTTPS test site, key generation) are the build machine's own
// programs. A Windows test run under Wine starts them by their full path, since a Windows
// search would look for "python3.exe", and hands them paths in the machine's own form.
inline QString hostProgram(const QString& name) {
#ifdef _WIN32
    return QStringLiteral("/usr/bin/") + name;
#else
    return name;
#endif
}

// A path as the build machine's programs name it: under Wine, drive Z: is the root.
inline QString hostPath(QString path) {
#ifdef _WIN32
    path.replace(u'\\', u'/');
    if (path.size() >= 2 && path.at(1) == u':' && path.at(0).toLower() == u'z')
        path.remove(0, 2);
#endif
    return path;
}
