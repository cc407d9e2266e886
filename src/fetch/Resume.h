#pragma once

#include "fetch/HttpsTransfer.h"

#include <QByteArray>
#include <QList>
#include <optional>

// Whether a transfer that broke off can be continued, and whether a server's answer to the
// continuation is the rest of the very same file. Plain functions: the loop that uses them
// is in StagedDownload.
namespace Resume {

// The validator a continuation sends in If-Range: the first response's strong ETag, or
// failing that its Last-Modified. Empty when it carried neither.
QByteArray validatorFor(const HttpsTransfer::Result& first);

// A first response can be continued when it was a 200 of announced length that advertised
// byte ranges and carried a validator.
bool canContinue(const HttpsTransfer::Result& first);

// The request lines asking for the rest of the first response's file after `held` bytes.
QList<QByteArray> requestHeaders(const HttpsTransfer::Result& first, std::int64_t held);

struct ContentRange {
    std::int64_t first = -1;
    std::int64_t last = -1;
    std::int64_t total = -1;
};
// "bytes FIRST-LAST/TOTAL"; nothing for any other form ("*" totals included).
std::optional<ContentRange> parseContentRange(const QByteArray& value);

// Only a 206 whose range starts exactly at `held`, runs to the end and has the first
// response's total, from the same file: it repeats the validator the rest was asked for
// (the strong ETag, or Last-Modified when that was it).
bool acceptsContinuation(const HttpsTransfer::Result& first, const HttpsTransfer::Result& answer,
                         std::int64_t held);

// Whether the bytes held once an accepted continuation has ended are the whole file: its
// body has no length of its own to hold it to when it comes in chunks.
bool endsWhole(const HttpsTransfer::Result& first, std::int64_t held);

} // namespace Resume
