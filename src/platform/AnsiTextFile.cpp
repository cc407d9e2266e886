#include "AnsiTextFile.h"

#include "Error.h"

namespace {
// 0x80..0x9F differ from Latin-1; undefined positions map to the same C1 control, as Windows does.
const char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

QString AnsiTextFile::decode(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = (b >= 0x80 && b <= 0x9F) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

ReadOpen AnsiTextFile::openForReading(QFile& file, const QString& path, qint64 maxBytes, QString* error) {
    int fd = -1;
    const ReadOpen outcome = openRegularFileForReading(path, maxBytes, &fd, error);
    if (outcome != ReadOpen::Opened)
        return outcome;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        closeFile(fd);
        if (error)
            *error = QStringLiteral("Cannot read \"%1\". %2").arg(path, file.errorString());
        return ReadOpen::Refused;
    }
    return ReadOpen::Opened;
}

AnsiTextFile::AnsiTextFile(const QString& path) : m_path(path) {
    QString error;
    if (openForReading(m_file, path, MaxFileBytes, &error) != ReadOpen::Opened)
        throw TallyError(error);
}

AnsiTextFile::AnsiTextFile(const QString& path, const QByteArray& content) : m_path(path), m_device(&m_buffer) {
    if (content.size() > MaxFileBytes)
        throw TallyError(QStringLiteral("\"%1\" is larger than %2 bytes").arg(m_path).arg(MaxFileBytes));
    m_buffer.setData(content);
    m_buffer.open(QIODevice::ReadOnly);
}

bool AnsiTextFile::atEnd() const {
    return m_device->atEnd();
}

QString AnsiTextFile::readLine() {
    // Read at most one byte past the limit so that an over-long line is caught without
    // holding more than that in memory.
    QByteArray line = m_device->readLine(MaxLineBytes + 3);
    if (line.isEmpty() && m_device == &m_file && m_file.error() != QFileDevice::NoError)
        throw TallyError(m_file.errorString());
    // Nothing read, yet not at its end: a file that changes under the reader never ends a
    // loop that reads to its end.
    if (line.isEmpty() && !m_device->atEnd())
        throw TallyError(QStringLiteral("Cannot read \"%1\"").arg(m_path));
    // A pseudo-file reports no size and may never end.
    if (m_device->pos() > MaxFileBytes)
        throw TallyError(QStringLiteral("\"%1\" is larger than %2 bytes").arg(m_path).arg(MaxFileBytes));
    if (line.endsWith('\n'))
        line.chop(1);
    else if (line.size() > MaxLineBytes)
        throw TallyError(QStringLiteral("Line too long in \"%1\"").arg(m_path));
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > MaxLineBytes)
        throw TallyError(QStringLiteral("Line too long in \"%1\"").arg(m_path));
    return decode(line);
}
