#pragma once

#include "FileOps.h"

#include <QBuffer>
#include <QFile>
#include <QString>

// The program's text files are 8-bit Windows-1252 with CR LF or LF line ends, whatever
// system reads them. Opening or reading failures raise TallyError. Only a regular file is
// opened, without waiting on it, and no more than MaxFileBytes are ever read from it.
class AnsiTextFile {
public:
    static constexpr qint64 MaxLineBytes = 64 * 1024;
    // Version files are at most 1 MiB when downloaded; version.tly is one short line.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    // Opens for reading; raises when the file is missing, is not a regular file (a named
    // pipe, a device), is larger than MaxFileBytes or cannot be opened.
    explicit AnsiTextFile(const QString& path);
    // The same reading over bytes already held (a file read through a handle this program
    // holds); `path` names it in messages. Raises when there are more than MaxFileBytes.
    AnsiTextFile(const QString& path, const QByteArray& content);
    bool atEnd() const;
    // Next line without its line end; empty past the end. A line over MaxLineBytes raises.
    QString readLine();

    static QString decode(const QByteArray& bytes);

    // Opens `file` on `path` through openRegularFileForReading: never waits, reads only a
    // regular file of at most maxBytes. On anything but Opened the file stays closed.
    static ReadOpen openForReading(QFile& file, const QString& path, qint64 maxBytes, QString* error = nullptr);

private:
    QString m_path;
    QFile m_file;
    QBuffer m_buffer;
    QIODevice* m_device = &m_file;
};
