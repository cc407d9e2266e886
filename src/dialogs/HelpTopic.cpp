#include "HelpTopic.h"

#include "platform/AnsiTextFile.h"
#include "platform/AsciiCase.h"
#include "platform/Error.h"

#include <QIODevice>

#include <algorithm>

namespace {
constexpr qint64 kBlock = 1 << 20;

bool isBlank(QChar c) {
    return c.unicode() < 33;
}

bool startsWithHH(const QString& line) {
    return line.size() >= 3 && (line[0] == u'H' || line[0] == u'h') && (line[1] == u'H' || line[1] == u'h') &&
           line[2] == u':';
}
} // namespace

bool HelpLineReader::next(QByteArray& line) {
    line.clear();
    for (;;) {
        const qsizetype newline = m_buffer.indexOf('\n', m_pos);
        if (newline >= 0) {
            line.append(m_buffer.constData() + m_pos, newline - m_pos);
            m_pos = newline + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        // The rest of the block belongs to a line that goes on in the next block.
        line.append(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
        m_buffer.clear();
        m_pos = 0;
        if (line.size() > MaxLineBytes)
            throw TallyError(QStringLiteral("A line of the help file is longer than %1 bytes").arg(MaxLineBytes));
        if (m_end)
            return !line.isEmpty();
        // Large blocks for a large file, small ones for a small file.
        const qint64 want = std::clamp<qint64>(m_device.bytesAvailable(), 4096, kBlock);
        m_buffer.resize(want);
        const qint64 got = m_device.read(m_buffer.data(), want);
        if (got < 0)
            throw TallyError(QStringLiteral("Cannot read the help file: %1").arg(m_device.errorString()));
        m_buffer.resize(got);
        m_total += got;
        if (m_total > MaxFileBytes)
            throw TallyError(QStringLiteral("The help file is larger than %1 bytes").arg(MaxFileBytes));
        if (got == 0)
            m_end = true;
    }
}

QByteArray HelpTopicReader::topicLine(const QString& topic) {
    // A name the file's code page cannot hold can never match: it gets a character no
    // decoded line compares equal to.
    const QString wanted = QStringLiteral("TP:") + asciiUpper(topic.trimmed());
    QByteArray bytes;
    bytes.reserve(wanted.size());
    for (const QChar c : wanted) {
        const char16_t u = c.unicode();
        char byte = 0;
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            byte = char(u);
        } else {
            for (int b = 0x80; b <= 0x9F; ++b)
                if (AnsiTextFile::decode(QByteArray(1, char(b))).at(0) == c)
                    byte = char(b);
            if (byte == 0)
                return QByteArray(); // never matches a line that starts with "TP:"
        }
        bytes += byte;
    }
    return bytes;
}

HelpTopicReader::Outcome HelpTopicReader::read(QIODevice& file, const QString& topic, const QString (&inserts)[4],
                                               HelpSections& out) {
    const QByteArray wanted = topicLine(topic);
    HelpLineReader lines(file);
    QByteArray line;
    bool found = false;
    while (!found && lines.next(line))
        found = !wanted.isEmpty() && line == wanted;
    if (!found)
        return Outcome::NotFound;
    while (lines.next(line))
        if (!takeLine(AnsiTextFile::decode(line), inserts, out))
            break;
    return Outcome::Found;
}

bool HelpTopicReader::takeLine(const QString& rawLine, const QString (&inserts)[4], HelpSections& s) {
    // Work on positions, not copies: a line may be megabytes long.
    qsizetype end = rawLine.size();
    while (end > 0 && isBlank(rawLine[end - 1]))
        --end;
    qsizetype first = 0;
    while (first < end && isBlank(rawLine[first]))
        ++first;
    const QStringView kept(rawLine.constData(), end);                    // trailing blanks removed
    const QStringView whole(rawLine.constData() + first, end - first);   // trimmed
    QChar marker;
    QStringView line = kept;
    if (!whole.isEmpty() && (whole[0] == u':' || whole[0] == u'\\' || whole[0] == u'/' || whole[0] == u'^')) {
        marker = whole[0];
        line = whole;
    } else if (kept == u"." || kept == u"=" || kept == u"-") {
        marker = kept[0];
    }
    // Only short lines can be one of the keywords.
    const QString upper = whole.size() <= 9 ? asciiUpper(whole.toString()) : QString();

    const bool heading = startsWithHH(line.toString().left(3));
    if (!heading && s.count == 0)
        s.count = 1; // text before the first heading is section 1's, without a heading
    QString& message = s.M[std::max(0, s.count - 1)];

    if (heading) {
        if (s.count < 7) {
            ++s.count;
            s.H[s.count - 1] = line.mid(3).toString();
        } else {
            s.H[6] = QStringLiteral("Oops! Sorry - some information is missing.");
            s.M[6] = QStringLiteral("But this will be fixed before the next update.\n\n");
        }
    } else if (marker == u'\\' || marker == u'/') {
        message += u'\n';
        message += line.mid(1);
        message += u' ';
    } else if (marker == u':') {
        message += line.mid(1);
        message += u' ';
    } else if (upper == QLatin1String("[INSERT1]")) {
        message += inserts[0] + u' ';
    } else if (upper == QLatin1String("[INSERT2]")) {
        message += inserts[1] + u' ';
    } else if (upper == QLatin1String("[INSERT3]")) {
        message += inserts[2] + u' ';
    } else if (upper == QLatin1String("[INSERT4]")) {
        message += inserts[3] + u' ';
    } else if (whole.isEmpty()) {
        message += QStringLiteral("\n\n");
    } else if (marker == u'.' || marker == u'=') {
        // ignored
    } else if (line.startsWith(u"~~")) {
        // a comment
    } else if (whole == u"-") {
        s.L[s.count - 1] = QStringLiteral("-");
    } else if (whole == u"^C") {
        s.L[s.count - 1] = QStringLiteral("C");
    } else if (upper == QLatin1String("END")) {
        return false;
    } else {
        message += line;
        message += u' ';
    }
    return true;
}
