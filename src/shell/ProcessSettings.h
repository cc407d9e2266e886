#pragma once

#include <QString>
#include <QStringList>

// Process-wide settings made once at start: date formats and hint timing.
struct ProcessSettings {
    QString shortDateFormat;
    QChar dateSeparator;
    QStringList shortDayNames; // Sunday first
    int hintPauseMs = 0;
    int hintHidePauseMs = 0;

    static ProcessSettings& instance();
    // Applies the hint timing to every tooltip of the application.
    static void apply(const QString& dateFormat, QChar separator, const QStringList& dayNames, int hintPause,
                      int hintHidePause);
};
