#pragma once

#include <QChar>
#include <QString>

// Upper-casing by the ASCII rule only: "a" to "z" become "A" to "Z", every other character
// (accented letters included) stays as it is, whatever the user's locale.
inline QChar asciiUpper(QChar c) {
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c;
}

inline QString asciiUpper(QString text) {
    for (QChar& c : text)
        c = asciiUpper(c);
    return text;
}
