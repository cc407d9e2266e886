#pragma once

#include <QLocale>
#include <QString>
#include <QtTest>
#include <cstdlib>

// The suite also runs under a comma-decimal locale (TALLYAID_TEST_LOCALE names it). A
// version number the program shows uses the user's separator: "2.74" reads as 2,74 there.
inline QString shownNumber(const QString& text) {
    QString shown = text;
    return shown.replace(u'.', QLocale().decimalPoint());
}

#ifdef _WIN32
// Wine keeps the user's locale in its prefix, shared by every program running in it at
// once: a comma-locale run asks Qt for its locale directly.
inline const bool requestedLocaleApplied = [] {
    const QByteArray name = qgetenv("TALLYAID_TEST_LOCALE");
    if (!name.isEmpty())
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
    return true;
}();
#endif

// Fails when the locale the run asked for is not really in force, in Qt and in the C
// library alike, so that a comma-locale run cannot silently fall back to the C locale.
inline void verifyRequestedLocale() {
    if (qEnvironmentVariableIsEmpty("TALLYAID_TEST_LOCALE"))
        QSKIP("runs in the default locale");
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
#ifndef _WIN32 // Qt hands the user's locale to the C library on Linux only; Windows' stays "C"
    QCOMPARE(std::strtod("2.5", nullptr), 2.0); // the C library stops at the "." too
#endif
}
