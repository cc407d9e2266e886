#pragma once

#include <QFile>
#include <QString>

// The program's text files are 8-bit Windows-1252 with CR LF or LF line ends, whatever
// system reads them. Opening or reading failures raise TallyError.
class AnsiTextFile {
public:
    static constexpr qint64 MaxLineBytes = 64 * 1024;

    explicit AnsiTextFile(const QString& path); // opens for reading; raises on failure
    bool atEnd() const;
    // Next line without its line end; empty past the end. A line over MaxLineBytes raises.
    QString readLine();

    static QString decode(const QByteArray& bytes);

private:
    QFile m_file;
};
