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

} // namespace Resume
