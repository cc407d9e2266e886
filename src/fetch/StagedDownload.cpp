#include "fetch/StagedDownload.h"

#include "trust/FileNames.h"
#include "fetch/Resume.h"
#include "trust/ReleaseCheck.h"
#include "trust/Signature.h"
#include "platform/FileOps.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

namespace {
// Feeds an open file's first `size` bytes (-1: all of them), read through that handle, to
// `hash`; false when they cannot all be read.
bool hashThrough(int fd, std::int64_t size, UpdateSignature::Sha256& hash) {
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (std::int64_t at = 0; size < 0 || at < size;) {
        const qint64 want = size < 0 ? block.size() : std::min<qint64>(block.size(), size - at);
        const qint64 got = readAt(fd, at, block.data(), want);
        if (got < 0 || (got == 0 && size >= 0))
            return false;
        if (got == 0)
            return true;
        hash.update(block.constData(), std::size_t(got));
        at += got;
    }
    return true;
}

// The SHA-256 of an open file's bytes, read through that handle; empty when it cannot be read.
QByteArray sha256Through(int fd) {
    UpdateSignature::Sha256 hash;
    return hashThrough(fd, -1, hash) ? hash.finish() : QByteArray();
}

// The part file: every block written, counted, hashed when asked, and handed to the disk
// behind the transfer.
class StagingSink : public HttpsTransfer::Sink {
public:
    StagingSink(int fd, bool hash, qint64 keep) : m_file(fd), m_writeBehind(fd), m_hash(hash), m_keep(keep) {}
    bool write(const char* data, std::size_t size) override {
        if (!m_file.write(data, size))
            return false;
        if (m_hash)
            m_digest.update(data, size);
        if (m_kept && m_kept->size() + qint64(size) > m_keep)
            m_kept.reset();
        if (m_kept)
            m_kept->append(data, qsizetype(size));
        m_writeBehind.wrote(static_cast<qint64>(size));
        m_held += static_cast<std::int64_t>(size);
        return true;
    }
    int error() const override { return m_file.error(); }
    // A continuation's answer is let in only when it is the rest of the first response's file.
    bool accept(const HttpsTransfer::Result& response) override {
        const bool accepted = !m_first || Resume::acceptsContinuation(*m_first, response, m_held);
        if (accepted && m_first && m_onTakenUp) {
            m_onTakenUp();
            m_onTakenUp = nullptr;
        }
        return accepted;
    }
    // Called once, on the transfer's thread, when the rest of an earlier run's bytes is let in.
    void whenTakenUp(std::function<void()> call) { m_onTakenUp = std::move(call); }
    void expectContinuationOf(const HttpsTransfer::Result* first) { m_first = first; }
    // Goes on after the `held` bytes an earlier run left in the file: they are hashed once,
    // through this run's handle, so that the digest still covers the whole file.
    bool takeUp(int fd, std::int64_t held) {
        m_held = held;
        return hashThrough(fd, held, m_digest) && seekTo(fd, held);
    }
    std::int64_t held() const { return m_held; }
    QByteArray digest() { return m_hash ? m_digest.finish() : QByteArray(); }
    // The bytes written and hashed, when they fitted what was to be kept.
    std::optional<QByteArray> kept() const { return m_kept; }

private:
    const HttpsTransfer::Result* m_first = nullptr;
    std::function<void()> m_onTakenUp;
    std::int64_t m_held = 0;
    HttpsTransfer::FileSink m_file;
    WriteBehind m_writeBehind;
    bool m_hash;
    UpdateSignature::Sha256 m_digest;
    qint64 m_keep;
    std::optional<QByteArray> m_kept = m_keep > 0 ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
};

// A small file kept in memory, never more than its cap.
class MemorySink : public HttpsTransfer::Sink {
public:
    explicit MemorySink(qint64 cap) : m_cap(cap) {}
    bool write(const char* data, std::size_t size) override {
        if (m_content.size() + qint64(size) > m_cap) {
            m_error = EFBIG;
            return false;
        }
        m_content.append(data, static_cast<qsizetype>(size));
        return true;
    }
    int error() const override { return m_error; }
    QByteArray content() const { return m_content; }

private:
    qint64 m_cap;
    QByteArray m_content;
    int m_error = 0;
};

// Asks once for the rest of the first response's file after what the sink holds.
HttpsTransfer::Result askForRest(const StagedDownload::Plan& plan, const StagedDownload::Transport& transport,
                                 StagingSink& sink, const HttpsTransfer::Result& first) {
    const std::int64_t held = sink.held();
    HttpsTransfer::Settings settings = plan.settings;
    settings.requestHeaders += Resume::requestHeaders(first, held);
    settings.progressOffset = held;
    // Exactly the rest and no more: a chunked answer that runs on is stopped at the first
    // file's end, not taken to its own.
    settings.maxBodyBytes = first.contentLength - held;
    sink.expectContinuationOf(&first);
    HttpsTransfer::Result result = transport(plan.url, settings, sink, true);
    sink.expectContinuationOf(nullptr);
    if (result.outcome == HttpsTransfer::Outcome::Completed && result.statusCode == 206 &&
        !Resume::endsWhole(first, sink.held())) {
        result.outcome = HttpsTransfer::Outcome::OtherFailure;
        result.errorMessage =
            QStringLiteral("The rest of the file ended after %1 of %2 bytes").arg(sink.held()).arg(first.contentLength);
    }
    return result;
}

// Whether a transfer's end is one a continuation can mend: the body broke off, or the
// connection for the rest did not come back.
bool brokeOff(const HttpsTransfer::Result& result, bool continued) {
    return result.dropped ||
           (continued && result.outcome == HttpsTransfer::Outcome::ClientFailure && !result.refusedBySink);
}

// Asks for the rest of a body that broke off, into the same sink, so that counting, capping,
// hashing and progress see the file once and in order. Returns the last try's result;
// *continued tells whether that was an answer to a request for the rest (it may already be
// on entry: the rest of an earlier run's file).
HttpsTransfer::Result continueDropped(const StagedDownload::Plan& plan, const StagedDownload::Transport& transport,
                                      const std::function<bool()>& cancelled, StagingSink& sink,
                                      const HttpsTransfer::Result& first, HttpsTransfer::Result result,
                                      bool* continued, int* tries) {
    if (plan.resumeTries <= 0 || !Resume::canContinue(first))
        return result;
    int pauseMs = plan.resumePauseMs;
    while (*tries < plan.resumeTries && sink.held() > 0) {
        // Another drop, or a connection that did not come back yet; anything else ends it.
        if (!brokeOff(result, *continued) || (cancelled && cancelled()))
            break;
        if (plan.pause)
            plan.pause(pauseMs);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        pauseMs *= 2;
        ++*tries;
        result = askForRest(plan, transport, sink, first);
        *continued = true;
    }
    return result;
}

void removeByPlatform(const QString& path) {
    try {
        Platform::current().deleteFile(path);
    } catch (...) {
    }
}
} // namespace

StagedDownload::StagedDownload(Plan plan, Transport transport, std::function<bool()> cancelled)
    : m_plan(std::move(plan)), m_transport(std::move(transport)), m_cancelled(std::move(cancelled)) {}

StagedDownload::~StagedDownload() {
    if (m_fd >= 0)
        closeFile(m_fd);
}

bool StagedDownload::mayTakeName(const QString& folder, const QString& name) {
    if (!isPlainFileName(name))
        return false;
    // Anything under the name, a link or a folder included, must be one of our own.
    return !identityAtPath(folder + name).valid || isOwnFamilyName(name);
}

void StagedDownload::fail(Outcome outcome, const QString& text) {
    m_outcome = outcome;
    m_failure = text;
}

void StagedDownload::discardPart() {
    if (m_fd < 0)
        return;
    discardOwnedFile(m_fd, m_plan.folder + partialFileName(m_plan.name), removeByPlatform);
    m_fd = -1;
}

void StagedDownload::removeEarlierCopy() {
    // As if the download had written over it: a failed download leaves no stale copy. Only
    // ever one of our own files, which mayTakeName made sure of.
    const QString path = m_plan.folder + m_plan.name;
    if (isOwnFamilyName(m_plan.name) && identityAtPath(path).valid)
        removeByPlatform(path);
}

QString StagedDownload::recordPath() const {
    return m_plan.folder + continuationRecordName(m_plan.name);
}

void StagedDownload::removeRecord() {
    const QString path = recordPath();
    if (identityAtPath(path).valid)
        removeByPlatform(path);
}

std::optional<HttpsTransfer::Result> StagedDownload::takeUpEarlier(const QString& partPath, bool* heldElsewhere) {
    *heldElsewhere = false;
    int fd = -1;
    qint64 modified = 0;
    if (openRegularFileNoFollow(recordPath(), Resume::MaxRecordBytes, &fd, &modified) != ReadOpen::Opened)
        return std::nullopt;
    QByteArray content(int(Resume::MaxRecordBytes) + 1, Qt::Uninitialized);
    const qint64 got = readAt(fd, 0, content.data(), content.size());
    closeFile(fd);
    const std::optional<Resume::Record> record =
        got > 0 ? Resume::parseRecord(content.left(int(got))) : std::nullopt;
    // Whoever may write the folder may write a record too: it is only ever taken for this
    // address, within this download's cap, and with a part file this account wrote.
    if (!record || !Resume::recordHolds(*record, m_plan.url, record->held, QDateTime::currentSecsSinceEpoch()) ||
        (m_plan.settings.maxBodyBytes >= 0 && record->total > m_plan.settings.maxBodyBytes))
        return std::nullopt;
    OwnedFileStatus status = OwnedFileStatus::Failed;
    m_fd = reopenOwnedFile(partPath, record->held, &status);
    if (m_fd < 0) {
        *heldElsewhere = status == OwnedFileStatus::HeldElsewhere;
        return std::nullopt;
    }
    const FileIdentity identity = identityOfOpenFile(m_fd);
    if (identity.device != record->device || identity.node != record->node) {
        discardPart();
        return std::nullopt;
    }
    m_continuedFrom = record->held;
    return Resume::firstResponseOf(*record);
}

bool StagedDownload::keepForLater(const HttpsTransfer::Result& first, std::int64_t held) {
    // The bytes on the disk before the record that promises them; the record whole, under
    // its own name only once written.
    if (!syncToDisk(m_fd))
        return false;
    const QString partRecord = m_plan.folder + continuationRecordPartName(m_plan.name);
    OwnedFileStatus status = OwnedFileStatus::Failed;
    QString error;
    const int fd = createOwnedFile(partRecord, removeByPlatform, &status, &error);
    if (fd < 0)
        return false;
    const FileIdentity part = identityOfOpenFile(m_fd);
    const QByteArray content = Resume::recordContent(
        Resume::recordOf(m_plan.url, first, held, part.device, part.node, QDateTime::currentSecsSinceEpoch()));
    if (!writeAll(fd, content) || !syncToDisk(fd) || !renameOwnedFile(fd, partRecord, recordPath(), &error)) {
        discardOwnedFile(fd, partRecord, removeByPlatform);
        return false;
    }
    closeFile(fd);
    closeFile(m_fd); // the part file stays, for the next run to take up
    m_fd = -1;
    m_keptForLater = true;
    return true;
}

StagedDownload::Outcome StagedDownload::run() {
    const QString& name = m_plan.name;
    const QString path = m_plan.folder + name;
    const QString partPath = m_plan.folder + partialFileName(name);

    // 1. The name.
    if (!mayTakeName(m_plan.folder, name)) {
        fail(Outcome::NameRefused, QStringLiteral("Error downloading %1: %2")
                                       .arg(name, QStringLiteral("the name belongs to another file")));
        return m_outcome;
    }

    // A folder can never be written over: the system's own kind of error, before any request.
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()) {
        fail(Outcome::NotCreated, QStringLiteral("Cannot create file \"%1\". It is a folder.").arg(path));
        return m_outcome;
    }

    // 2. The part file, this run's alone: the one an earlier run left, when this run can go
    // on from it; otherwise a new one (anything else under its name is a leftover).
    std::optional<HttpsTransfer::Result> earlier;
    if (m_plan.keepAcrossRuns) {
        bool heldElsewhere = false;
        earlier = takeUpEarlier(partPath, &heldElsewhere);
        if (heldElsewhere) {
            fail(Outcome::HeldByAnotherRun,
                 QStringLiteral("Cannot create file \"%1\". Another download is writing it.").arg(partPath));
            return m_outcome;
        }
    }
    std::unique_ptr<StagingSink> sink;
    if (earlier) {
        sink = std::make_unique<StagingSink>(m_fd, true, m_plan.keepBytes);
        if (!sink->takeUp(m_fd, m_continuedFrom)) {
            discardPart();
            earlier.reset();
        }
    }
    removeRecord();

    // 3. The body, counted and capped by the transfer, hashed and written behind here.
    // Always hashed: the bytes handed over to be started are compared against it.
    const bool checkSignature = !m_plan.key.isEmpty();
    bool continued = false;
    m_continuations = 0;
    HttpsTransfer::Result result;
    if (earlier) {
        if (m_plan.continuingEarlier)
            sink->whenTakenUp([this, total = earlier->contentLength] { m_plan.continuingEarlier(m_continuedFrom, total); });
        result = askForRest(m_plan, m_transport, *sink, *earlier);
        continued = true;
        if (result.refusedBySink) {
            // Another validator, a whole file, another range: the earlier bytes are not its.
            discardPart();
            earlier.reset();
            continued = false;
        }
    }
    if (!earlier) {
        m_continuedFrom = 0;
        OwnedFileStatus status = OwnedFileStatus::Failed;
        QString createError;
        m_fd = createOwnedFile(partPath, removeByPlatform, &status, &createError);
        if (m_fd < 0) {
            fail(status == OwnedFileStatus::HeldElsewhere ? Outcome::HeldByAnotherRun : Outcome::NotCreated,
                 createError);
            return m_outcome;
        }
        sink = std::make_unique<StagingSink>(m_fd, true, m_plan.keepBytes);
        result = m_transport(m_plan.url, m_plan.settings, *sink, true);
    }
    const HttpsTransfer::Result first = earlier ? *earlier : result;
    result = continueDropped(m_plan, m_transport, m_cancelled, *sink, first, result, &continued, &m_continuations);
    // The last piece of a continued file comes as the rest of it, 206.
    const int wholeStatus = continued ? 206 : 200;
    using T = HttpsTransfer::Outcome;
    const bool returned = result.outcome == T::Completed || result.outcome == T::Aborted;
    if ((returned && m_cancelled && m_cancelled()) || result.outcome == T::Aborted)
        fail(Outcome::Cancelled, QStringLiteral("Download cancelled by user."));
    else if (result.outcome == T::Completed && result.statusCode != wholeStatus)
        fail(Outcome::HttpStatus, QStringLiteral("HTTP error %1: %2").arg(result.statusCode).arg(result.statusText));
    else if (result.outcome == T::ClientFailure)
        fail(Outcome::NetworkFailure,
             QStringLiteral("Network error downloading %1: %2").arg(name, result.errorMessage));
    else if (result.outcome == T::OtherFailure)
        fail(Outcome::TransferFailure, QStringLiteral("Error downloading %1: %2").arg(name, result.errorMessage));
    else if (!syncToDisk(m_fd))
        fail(Outcome::TransferFailure,
             QStringLiteral("Error downloading %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
    else if ((m_sha256 = sink->digest()).isEmpty())
        fail(Outcome::TransferFailure, QStringLiteral("Error downloading %1: %2").arg(name, QStringLiteral("no digest")));
    else if (checkSignature && !signatureHolds(m_sha256))
        fail(Outcome::SignatureRefused,
             QStringLiteral("Error downloading %1: %2").arg(name, QStringLiteral("the maker's signature is not valid")));
    else if (m_plan.judgeHeldFile && !m_plan.judgeHeldFile(m_fd, partPath))
        fail(Outcome::SignatureRefused, QStringLiteral("Error downloading %1: %2")
                                            .arg(name, QStringLiteral("it is not signed by its publisher")));
    if (m_outcome != Outcome::NotRun) {
        // A break-off keeps what arrived for a later run; a refusal or a cancel keeps nothing.
        const bool keep = m_plan.keepAcrossRuns &&
                          (m_outcome == Outcome::NetworkFailure || m_outcome == Outcome::TransferFailure) &&
                          brokeOff(result, continued) && Resume::canContinue(first) && sink->held() > 0 &&
                          sink->held() < first.contentLength;
        if (!keep || !keepForLater(first, sink->held()))
            discardPart();
        removeEarlierCopy();
        return m_outcome;
    }

    // 5. The real name, for exactly the file that was checked.
    QString renameError;
    if (!renameOwnedFile(m_fd, partPath, path, &renameError)) {
        // An earlier copy in use stays where it is.
        fail(Outcome::NotNamed, QStringLiteral("Error downloading %1: %2").arg(name, renameError));
        discardPart();
        return m_outcome;
    }
    // Held from here on as for the start: others may read it (a written file that nobody can
    // open is of no use) but not change, rename or delete it while this run holds it.
    bool reopened = false;
    m_fd = holdForStart(m_fd, path, &reopened);
    if (m_fd < 0 || (reopened && sha256Through(m_fd) != m_sha256)) {
        if (m_fd >= 0)
            closeFile(m_fd);
        m_fd = -1;
        fail(Outcome::NotNamed, QStringLiteral("Error downloading %1: the file changed after it was checked").arg(name));
        return m_outcome;
    }
    m_fetchedBytes = sink->kept();
    m_outcome = Outcome::Named;
    return m_outcome;
}

bool StagedDownload::signatureHolds(const QByteArray& digest) {
    // 4. Fetched into memory while the part file is still the only copy of the program.
    if (digest.isEmpty())
        return false;
    MemorySink sigSink(UpdateSignature::MaxSignatureFileBytes);
    HttpsTransfer::Settings settings = m_plan.signatureSettings;
    settings.maxBodyBytes = UpdateSignature::MaxSignatureFileBytes;
    const HttpsTransfer::Result result = m_transport(m_plan.signatureUrl, settings, sigSink, false);
    const bool fetched = result.outcome == HttpsTransfer::Outcome::Completed && result.statusCode == 200;
    const std::optional<QByteArray> signatureFile =
        fetched ? std::optional<QByteArray>(sigSink.content()) : std::nullopt;
    if (m_plan.judgeSignature) {
        m_refusal = m_plan.judgeSignature(signatureFile, digest);
        return m_refusal.isEmpty();
    }
    return ReleaseCheck::judgeProgram(m_plan.key, m_plan.name, signatureFile, digest) ==
           ReleaseCheck::Verdict::Accepted;
}

std::optional<QByteArray> StagedDownload::fetchedBytes() const {
    return m_outcome == Outcome::Named ? m_fetchedBytes : std::nullopt;
}

bool StagedDownload::startNamed(const std::function<void(const QString& name, int fd)>& start) {
    if (m_outcome != Outcome::Named || m_fd < 0)
        return false;
    // 6. Only the very file that was fetched and checked, held so it cannot be swapped.
    bool reopened = false;
    m_fd = holdForStart(m_fd, m_plan.folder + m_plan.name, &reopened);
    if (m_fd < 0)
        return false;
    if (reopened && sha256Through(m_fd) != m_sha256) {
        closeFile(m_fd);
        m_fd = -1;
        return false;
    }
    start(m_plan.name, m_fd);
    closeFile(m_fd);
    m_fd = -1;
    return true;
}
