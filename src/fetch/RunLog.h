#pragma once

#include <QString>
#include <QtGlobal>

// A short plain-text record of each run, appended to "tallyaid.log" in the program folder so
// that support can see what happened behind a problem code. One line per fact:
//   2026-12-09 17:40:01 +0100 [4711] transfer https://host/twdownloads/twv2up.exe status 200, ...
// local time and offset, the process id (it tells runs apart), a word for the kind of fact,
// then the fact. Writing it never changes what the program does: any failure is skipped
// without a word, a link in its place is never followed, and it never waits.
class RunLog {
public:
    static constexpr qint64 MaxBytes = 256 * 1024; // passing this, only the newest part is kept
    static constexpr qint64 KeptBytes = 64 * 1024;

    // Where the record lives; until set (and when empty) nothing is written.
    void setFolder(const QString& folder);
    void write(const QString& kind, const QString& fact);

    // An address as it may be written down: no user name or password, no query, no fragment.
    static QString safeAddress(const QString& url);
    // A message with the same done to every address in it.
    static QString safeText(const QString& text);

private:
    void startAgainWithTail(int fd, qint64 size, const QByteArray& line);
    QString m_folder;
};
