#include "fetch/DownloadPlan.h"

#include "fetch/Sites.h"
#include "trust/FileNames.h"
#include "trust/ReleaseCheck.h"
#include "trust/Signature.h"

#include <QDateTime>

namespace DownloadPlan {
HttpsTransfer::Settings settings(const Limits& limits, qint64 maxBodyBytes) {
    HttpsTransfer::Settings settings;
    settings.connectTimeoutMs = limits.connectTimeoutMs;
    settings.responseTimeoutMs = limits.responseTimeoutMs;
    settings.lowSpeedWindowMs = limits.lowSpeedWindowMs;
    settings.maxBodyBytes = maxBodyBytes;
    settings.extraCaFile = Sites::extraCaFile();
    return settings;
}

namespace {
using Judge = std::function<QString(const std::optional<QByteArray>&, const QByteArray&)>;

QString refusal(ReleaseCheck::Verdict verdict) {
    return verdict == ReleaseCheck::Verdict::Accepted ? QString() : ReleaseCheck::reasonText(verdict);
}

Judge signatureJudge(const Request& request) {
    const QByteArray key = request.key;
    const QString name = request.name;
    if (isVersionFileName(name)) {
        // Signed with a time and an expiry, and never older than what this folder has taken.
        return [folder = request.folder, key, name, pause = request.pause](const std::optional<QByteArray>& sig,
                                                                         const QByteArray& digest) {
            return refusal(ReleaseCheck::judgeVersionFile(folder, key, name, digest, sig,
                                                          QDateTime::currentSecsSinceEpoch(), pause));
        };
    }
    if (!request.release)
        return {}; // a program's own signature under its name
    // The update, whatever its name: only under the version file accepted in this run.
    return [key, name, release = *request.release](const std::optional<QByteArray>& sig, const QByteArray& digest) {
        return refusal(ReleaseCheck::judgeReleaseInstaller(key, name, release, sig, digest));
    };
}
} // namespace

StagedDownload::Plan build(const Limits& limits, const Request& request) {
    StagedDownload::Plan plan;
    plan.folder = request.folder;
    plan.name = request.name;
    plan.url = request.url;
    plan.settings = settings(limits, limits.maxDownloadBytes);
    if (isVersionFileName(request.name)) {
        plan.settings.maxBodyBytes = TransferLimits::MaxVersionFileBytes;
        // Fetched before any window shows, so nothing could cancel it: a deadline instead.
        plan.settings.totalTimeoutMs = limits.versionFileDeadlineMs;
        plan.keepBytes = TransferLimits::MaxVersionFileBytes; // read from what was hashed
    } else {
        // Nothing bounds a program's transfer in time, and the window cannot be left during
        // it: a body slower than the floor fails instead of running for ever.
        plan.settings.bodyFloorBytes = TransferLimits::ProgramFloorBytes;
        plan.settings.bodyFloorWindowMs = limits.bodyFloorWindowMs;
        // A program that breaks off goes on from where it was.
        plan.resumeTries = TransferLimits::ResumeTries;
        plan.resumePauseMs = limits.resumePauseMs;
        plan.pause = request.pause;
        // And one that breaks off for good goes on in the next run.
        plan.keepAcrossRuns = true;
        plan.continuingEarlier = request.continuingEarlier;
    }
    plan.judgeHeldFile = request.judgeHeld;
    if (!request.signatureUrl.isEmpty()) {
        plan.key = request.key;
        plan.signatureUrl = request.signatureUrl;
        plan.signatureSettings = settings(limits, UpdateSignature::MaxSignatureFileBytes);
        plan.signatureSettings.totalTimeoutMs = limits.versionFileDeadlineMs;
        plan.judgeSignature = signatureJudge(request);
    }
    return plan;
}
} // namespace DownloadPlan
