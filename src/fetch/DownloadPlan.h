#pragma once

#include "fetch/StagedDownload.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// How each kind of file the program folder receives is fetched: the limits, continuation and
// signature judge of its download. The update window only says which file, from where, and
// how its waits pass. No widgets here.
namespace DownloadPlan {
// The limits one window sets for its transfers; tests shorten them.
struct Limits {
    int connectTimeoutMs = TransferLimits::ConnectTimeoutMs;
    int responseTimeoutMs = TransferLimits::ResponseTimeoutMs;
    int lowSpeedWindowMs = TransferLimits::LowSpeedWindowMs;
    int bodyFloorWindowMs = TransferLimits::ProgramFloorWindowMs; // a program's body floor
    int versionFileDeadlineMs = TransferLimits::SmallFileDeadlineMs; // also a signature's
    qint64 maxDownloadBytes = TransferLimits::MaxProgramBytes;
    int resumePauseMs = TransferLimits::ResumeFirstPauseMs; // before a dropped program's first continuation
};

struct Request {
    QString folder; // the program folder, ending with a separator
    QString name;   // the real name there
    QString url;
    QString signatureUrl; // where NAME.sig lies; empty: no signature asked for
    QByteArray key;       // the maker's public key, with a signature URL
    // Set for the update a version file named: the SHA-256 of the version file accepted in
    // this run, the only release it may be bound to.
    std::optional<QByteArray> release;
    std::function<bool(int fd, const QString& path)> judgeHeld; // the vendor's code signature
    std::function<void(int ms)> pause; // how waits pass: continuations, another run's lock
    // Told, on the transfer's thread, when a program's download goes on from the bytes an earlier run kept.
    std::function<void(std::int64_t held, std::int64_t total)> continuingEarlier;
};

// One transfer's settings under the limits, for a body of at most maxBodyBytes.
HttpsTransfer::Settings settings(const Limits& limits, qint64 maxBodyBytes);

// A version file arrives within a deadline and is kept in memory to be read; a program has a
// body floor instead and is continued when it breaks off. A version file is judged by its
// signature and this folder's state, the update by the release it is bound to, any other
// program by its own signature.
StagedDownload::Plan build(const Limits& limits, const Request& request);
} // namespace DownloadPlan
