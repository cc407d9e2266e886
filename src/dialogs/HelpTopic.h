#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The seven sections a help topic fills: headings, messages and line codes, and how many
// sections have been started.
struct HelpSections {
    QString H[7], M[7], L[7];
    int count = 0;
};

// Lines of an 8-bit text file, read in large blocks: CR LF or a lone LF end a line. Time and
// memory stay linear in the file's size, and both are bounded: a real help file is a few
// hundred KB, so a file or a line beyond the bounds is something else (a pseudo-file that
// never ends, a runaway line) and reading it fails instead of taking all memory.
class HelpLineReader {
public:
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    static constexpr qint64 MaxLineBytes = 16 * 1024 * 1024;

    explicit HelpLineReader(QIODevice& device) : m_device(device) {}
    // The next line without its line end; false at the end of the file. Throws on a read
    // error, and past either bound.
    bool next(QByteArray& line);

private:
    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_total = 0;
    bool m_end = false;
};

// Reads one topic of the help-topic file into the section store.
class HelpTopicReader {
public:
    enum class Outcome { Found, NotFound };

    // The topic line: exactly "TP:" + the topic, trimmed and ASCII upper-cased.
    static QByteArray topicLine(const QString& topic);

    // Searches from the first line for the topic, then reads its body up to END or the end of
    // the file. Throws when reading fails.
    static Outcome read(QIODevice& file, const QString& topic, const QString (&inserts)[4], HelpSections& out);

    // One body line as read (its line end removed); returns false when it ends the topic.
    static bool takeLine(const QString& line, const QString (&inserts)[4], HelpSections& sections);
};
