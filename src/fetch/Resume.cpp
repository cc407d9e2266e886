#include "fetch/Resume.h"

namespace Resume {

namespace {
bool advertisesByteRanges(const QByteArray& acceptRanges) {
    for (const QByteArray& unit : acceptRanges.split(','))
        if (unit.trimmed().toLower() == "bytes")
            return true;
    return false;
}

bool parseCount(const QByteArray& text, std::int64_t* value) {
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    *value = text.toLongLong();
    return true;
}
} // namespace

QByteArray validatorFor(const HttpsTransfer::Result& first) {
    // A weak ETag cannot stand in If-Range: a server must then send the whole file.
    if (!first.etag.isEmpty() && !first.etag.startsWith("W/"))
        return first.etag;
    return first.lastModified;
}

bool canContinue(const HttpsTransfer::Result& first) {
    return first.statusCode == 200 && first.contentLength > 0 && advertisesByteRanges(first.acceptRanges) &&
           !validatorFor(first).isEmpty();
}

QList<QByteArray> requestHeaders(const HttpsTransfer::Result& first, std::int64_t held) {
    return {QByteArray("Range: bytes=") + QByteArray::number(static_cast<qlonglong>(held)) + '-',
            QByteArray("If-Range: ") + validatorFor(first)};
}

std::optional<ContentRange> parseContentRange(const QByteArray& value) {
    const QByteArray text = value.trimmed();
    if (!text.toLower().startsWith("bytes "))
        return std::nullopt;
    const QByteArray bounds = text.mid(6).trimmed();
    const int dash = bounds.indexOf('-');
    const int slash = bounds.indexOf('/');
    if (dash <= 0 || slash <= dash + 1)
        return std::nullopt;
    ContentRange range;
    if (!parseCount(bounds.left(dash), &range.first) || !parseCount(bounds.mid(dash + 1, slash - dash - 1), &range.last) ||
        !parseCount(bounds.mid(slash + 1), &range.total))
        return std::nullopt;
    if (range.first > range.last || range.last >= range.total)
        return std::nullopt;
    return range;
}

bool acceptsContinuation(const HttpsTransfer::Result& first, const HttpsTransfer::Result& answer,
                         std::int64_t held) {
    if (answer.statusCode != 206 || held <= 0)
        return false;
    const std::optional<ContentRange> range = parseContentRange(answer.contentRange);
    if (!range || range->first != held || range->total != first.contentLength || range->last != range->total - 1)
        return false;
    if (answer.contentLength >= 0 && answer.contentLength != range->last - range->first + 1)
        return false;
    // A server that ignores If-Range may send part of another file of the same length: only
    // the validator the rest was asked for, repeated exactly, shows it is the same file. An
    // answer that leaves it out proves nothing.
    const QByteArray validator = validatorFor(first);
    if (validator.isEmpty())
        return false;
    if (validator == first.etag ? answer.etag != first.etag : answer.lastModified != first.lastModified)
        return false;
    if (!first.etag.isEmpty() && !answer.etag.isEmpty() && answer.etag != first.etag)
        return false;
    return true;
}

bool endsWhole(const HttpsTransfer::Result& first, std::int64_t held) {
    return held == first.contentLength;
}

namespace {
const QByteArray kRecordHeading = QByteArrayLiteral("tallyaid continuation v1");

// A line of the record may hold no line break and nothing unprintable.
bool isRecordLine(const QByteArray& line) {
    for (const char c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    return true;
}
} // namespace

Record recordOf(const QString& url, const HttpsTransfer::Result& first, std::int64_t held, quint64 device,
                quint64 node, qint64 now) {
    Record record;
    record.url = url;
    record.validator = validatorFor(first);
    record.byDate = record.validator != first.etag;
    record.total = first.contentLength;
    record.held = held;
    record.device = device;
    record.node = node;
    record.writtenAt = now;
    return record;
}

QByteArray recordContent(const Record& record) {
    return kRecordHeading + '\n' + record.url.toUtf8() + '\n' +
           (record.byDate ? QByteArray("last-modified ") : QByteArray("etag ")) + record.validator + '\n' +
           QByteArray::number(qlonglong(record.total)) + '\n' + QByteArray::number(qlonglong(record.held)) + '\n' +
           QByteArray::number(record.device) + ' ' + QByteArray::number(record.node) + '\n' +
           QByteArray::number(record.writtenAt) + '\n';
}

std::optional<Record> parseRecord(const QByteArray& content) {
    if (content.size() > MaxRecordBytes || !content.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = content.chopped(1).split('\n');
    if (lines.size() != 7 || lines[0] != kRecordHeading)
        return std::nullopt;
    for (const QByteArray& line : lines)
        if (!isRecordLine(line))
            return std::nullopt;
    Record record;
    record.url = QString::fromUtf8(lines[1]);
    if (lines[2].startsWith("etag "))
        record.validator = lines[2].mid(5);
    else if (lines[2].startsWith("last-modified ")) {
        record.validator = lines[2].mid(14);
        record.byDate = true;
    }
    const QList<QByteArray> identity = lines[5].split(' ');
    bool deviceOk = false, nodeOk = false;
    if (identity.size() == 2) {
        record.device = identity[0].toULongLong(&deviceOk);
        record.node = identity[1].toULongLong(&nodeOk);
    }
    std::int64_t writtenAt = 0;
    if (record.url.isEmpty() || record.validator.isEmpty() || (!record.byDate && record.validator.startsWith("W/")) ||
        !parseCount(lines[3], &record.total) || !parseCount(lines[4], &record.held) || !deviceOk || !nodeOk ||
        !parseCount(lines[6], &writtenAt))
        return std::nullopt;
    record.writtenAt = writtenAt;
    return record;
}

bool recordHolds(const Record& record, const QString& url, std::int64_t partSize, qint64 now) {
    return record.url == url && record.held > 0 && record.held == partSize && record.held < record.total &&
           record.writtenAt <= now && now - record.writtenAt < RecordLifetimeSeconds;
}

HttpsTransfer::Result firstResponseOf(const Record& record) {
    HttpsTransfer::Result first;
    first.outcome = HttpsTransfer::Outcome::Completed;
    first.statusCode = 200;
    first.contentLength = record.total;
    first.acceptRanges = "bytes";
    (record.byDate ? first.lastModified : first.etag) = record.validator;
    return first;
}

} // namespace Resume
