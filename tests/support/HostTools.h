#pragma once

#include <QString>

// A path as the build machine's programs name it: under Wine, drive Z: is the root.
inline QString hostPath(QString path) {
#ifdef _WIN32
    path.replace(u'\\', u'/');
    if (path.size() >= 2 && path.at(1) == u':' && path.at(0).toLower() == u'z')
        path.remove(0, 2);
#endif
    return path;
}
