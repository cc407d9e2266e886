#pragma once

#include "fetch/HttpsTransfer.h"

#include <QByteArray>
#include <QList>
#include <QString>
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

// What a run keeps beside a part file it could not finish, so that a later run can ask for
// the rest: the address as requested, the first response's validator and total, the bytes
// the part file holds, which file that is, and when it was written (UTC seconds). Seven lines:
//   "tallyaid continuation v1", the address, "etag VALUE" or "last-modified VALUE", the
//   total, the bytes held, the part file's "DEVICE NODE", the time written.
struct Record {
    QString url;
    bool byDate = false; // the validator is Last-Modified, not an ETag
    QByteArray validator;
    std::int64_t total = -1;
    std::int64_t held = -1;
    quint64 device = 0; // the part file's identity: a file put in its place is another
    quint64 node = 0;
    qint64 writtenAt = 0;
};
constexpr qint64 MaxRecordBytes = 16 * 1024;
constexpr qint64 RecordLifetimeSeconds = 7 * 24 * 3600;

// The record for a first response that could be continued, `held` bytes into it.
Record recordOf(const QString& url, const HttpsTransfer::Result& first, std::int64_t held, quint64 device,
                quint64 node, qint64 now);
QByteArray recordContent(const Record& record);
// nullopt for anything but a whole, well-formed record.
std::optional<Record> parseRecord(const QByteArray& content);
// Whether a run fetching `url` may go on from the record with a part file of `partSize`
// bytes at the time `now`: the same address, the part file as long as the record says and
// short of the total, the record written in the last 7 days and not after now.
bool recordHolds(const Record& record, const QString& url, std::int64_t partSize, qint64 now);
// The first response the record stands for, for judging the answer to the rest.
HttpsTransfer::Result firstResponseOf(const Record& record);

} // namespace Resume
