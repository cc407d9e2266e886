// The update window's one path for fetching files: an HTTPS transfer on a worker thread
// while the window keeps painting, with its progress coalesced onto the UI thread.
#include "update/ProgressFm.h"

#include "trust/FileNames.h"
#include "fetch/HttpsTransfer.h"
#include "trust/ReleaseCheck.h"
#include "trust/Signature.h"
#include "fetch/StagedDownload.h"
#include "fetch/Sites.h"
#include "platform/Error.h"
#include "platform/FileOps.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {
QString escapedName(const QString& name) {
    return QString::fromLatin1(QUrl::toPercentEncoding(name));
}
constexpr auto kProgressInterval = std::chrono::milliseconds(50); // about 20 bar updates a second
const QString kDetailsHeader = QStringLiteral("Details:\n  Secure Connection Established.");
} // namespace

void TUpdateForm::DownloadFromSite(const QString& RemoteName, const QString& LocalName) {
    const QString folder = Sites::downloadFolderUrl();
    // A file from the maker's folder carries the maker's signature beside it, when this
    // build checks signatures at all.
    const bool signedProgram = !UpdateSignature::trustedKey().isEmpty();
    DownloadFile(folder + escapedName(RemoteName), LocalName,
                 signedProgram ? folder + escapedName(RemoteName + QStringLiteral(".sig")) : QString());
}

void TUpdateForm::DownloadFile(const QString& Url, const QString& LocalName, const QString& SignatureUrl,
                               const std::function<bool(int fd, const QString& path)>& judgeHeld) {
    ShowDetails(LocalName);
    FCancelled = false;
    FDownloadInProgress = true;
    struct InProgressGuard {
        bool& flag;
        ~InProgressGuard() { flag = false; }
    } inProgress{FDownloadInProgress};

    StagedDownload::Plan plan;
    plan.folder = ProgramFolder;
    plan.name = LocalName;
    plan.url = Url;
    plan.settings = transferSettings(maxDownloadBytes);
    if (isVersionFileName(LocalName)) {
        plan.settings.maxBodyBytes = TransferLimits::MaxVersionFileBytes;
        // Fetched before any window shows, so nothing could cancel it: a deadline instead.
        plan.settings.totalTimeoutMs = versionFileDeadlineMs;
        plan.keepBytes = TransferLimits::MaxVersionFileBytes; // read from what was hashed
    } else {
        // Nothing bounds a program's transfer in time, and the window cannot be left during
        // it: a body slower than the floor fails instead of running for ever.
        plan.settings.bodyFloorBytes = TransferLimits::ProgramFloorBytes;
        plan.settings.bodyFloorWindowMs = bodyFloorWindowMs;
        // A program that breaks off goes on from where it was; the window keeps painting
        // during the pauses.
        plan.resumeTries = TransferLimits::ResumeTries;
        plan.resumePauseMs = resumePauseMs;
        plan.pause = [](int ms) {
            QEventLoop wait;
            QTimer::singleShot(ms, &wait, &QEventLoop::quit);
            wait.exec(QEventLoop::ExcludeUserInputEvents);
        };
    }
    plan.judgeHeldFile = judgeHeld;
    if (!SignatureUrl.isEmpty()) {
        plan.key = UpdateSignature::trustedKey();
        plan.signatureUrl = SignatureUrl;
        plan.signatureSettings = transferSettings(UpdateSignature::MaxSignatureFileBytes);
        plan.signatureSettings.totalTimeoutMs = versionFileDeadlineMs;
        plan.judgeSignature = signatureJudge(LocalName);
    }
    m_fetched = std::make_unique<StagedDownload>(
        plan,
        [this](const QString& url, const HttpsTransfer::Settings& settings, HttpsTransfer::Sink& sink,
               bool reportProgress) { return runTransfer(url, settings, sink, reportProgress); },
        [this] { return bool(FCancelled); });
    const StagedDownload::Outcome outcome = m_fetched->run();
    const bool versionFile = isVersionFileName(LocalName);
    if (outcome == StagedDownload::Outcome::SignatureRefused)
        ShowDetails(QStringLiteral("Signature not valid: ") + LocalName +
                    (versionFile && !m_fetched->refusalReason().isEmpty()
                         ? QStringLiteral(" (") + m_fetched->refusalReason() + u')'
                         : QString()));
    if (!plan.key.isEmpty() && (outcome == StagedDownload::Outcome::Named ||
                                outcome == StagedDownload::Outcome::SignatureRefused))
        m_log.write(QStringLiteral("signature"),
                    LocalName + (outcome == StagedDownload::Outcome::Named ? QStringLiteral(" valid")
                                 : m_fetched->refusalReason().isEmpty()
                                     ? QStringLiteral(" not valid")
                                     : QStringLiteral(" not valid (%1)").arg(m_fetched->refusalReason())));
    if (outcome != StagedDownload::Outcome::Named)
        m_log.write(QStringLiteral("failed"), RunLog::safeText(m_fetched->failureText()));
    if (outcome != StagedDownload::Outcome::Named)
        throw TallyError(m_fetched->failureText());
    if (versionFile && !SignatureUrl.isEmpty())
        m_acceptedVersionFile = m_fetched->sha256();
}

std::function<QString(const std::optional<QByteArray>&, const QByteArray&)>
TUpdateForm::signatureJudge(const QString& localName) const {
    const QByteArray key = UpdateSignature::trustedKey();
    if (isVersionFileName(localName)) {
        // Signed with a time and an expiry, and never older than what this folder has taken.
        return [folder = ProgramFolder, key, localName](const std::optional<QByteArray>& sig,
                                                        const QByteArray& digest) {
            // Waiting for another run's hold on the state, the window keeps painting.
            const auto pause = [](int ms) {
                QEventLoop wait;
                QTimer::singleShot(ms, &wait, &QEventLoop::quit);
                wait.exec(QEventLoop::ExcludeUserInputEvents);
            };
            const ReleaseCheck::Verdict verdict = ReleaseCheck::judgeVersionFile(
                folder, key, localName, digest, sig, QDateTime::currentSecsSinceEpoch(), pause);
            return verdict == ReleaseCheck::Verdict::Accepted ? QString() : ReleaseCheck::reasonText(verdict);
        };
    }
    if (!m_fetchingUpdate)
        return {};
    // The update, whatever its name: only under the version file accepted in this run.
    return [key, localName, release = m_acceptedVersionFile](const std::optional<QByteArray>& sig,
                                                              const QByteArray& digest) {
        using ReleaseCheck::Verdict;
        if (!sig)
            return ReleaseCheck::reasonText(Verdict::Missing);
        const QByteArray signature = UpdateSignature::parseSignatureFile(*sig);
        if (signature.isEmpty())
            return ReleaseCheck::reasonText(Verdict::Malformed);
        const bool holds =
            release.size() == 32 &&
            UpdateSignature::verify(key, UpdateSignature::releaseInstallerMessage(localName, release, digest), signature);
        return holds ? QString() : ReleaseCheck::reasonText(Verdict::Wrong);
    };
}

HttpsTransfer::Settings TUpdateForm::transferSettings(qint64 maxBodyBytes) const {
    HttpsTransfer::Settings settings;
    settings.connectTimeoutMs = connectTimeoutMs;
    settings.responseTimeoutMs = responseTimeoutMs;
    settings.lowSpeedWindowMs = lowSpeedWindowMs;
    settings.maxBodyBytes = maxBodyBytes;
    settings.extraCaFile = Sites::extraCaFile();
    return settings;
}

HttpsTransfer::Result TUpdateForm::runTransfer(const QString& url, const HttpsTransfer::Settings& settings,
                                              HttpsTransfer::Sink& sink, bool showProgress) {
    m_reportPosted = false;
    m_reportHeld = false;
    HttpsTransfer::Result result;
    HttpsTransfer client(settings);
    QEventLoop loop;
    // The window repaints and takes queued progress while the transfer runs, but clicks
    // and keys wait until the download has returned. A thread of Qt's own: what Qt keeps
    // per thread is set up and freed by Qt (a foreign thread's exit crashed on Windows).
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        result = client.get(url, sink, [this, showProgress](std::int64_t length, std::int64_t read) {
            return showProgress ? NetHTTPClientReceiveData(length, read) : bool(FCancelled);
        });
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    const auto began = std::chrono::steady_clock::now();
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    logTransfer(url, settings, result, std::chrono::steady_clock::now() - began);
    if (m_reportHeld)
        applyProgress(m_heldLength, m_heldRead);
    return result;
}

void TUpdateForm::logTransfer(const QString& url, const HttpsTransfer::Settings& settings,
                              const HttpsTransfer::Result& result, std::chrono::steady_clock::duration took) {
    QString fact = RunLog::safeAddress(url);
    if (settings.progressOffset > 0)
        fact += QStringLiteral(" from byte %1").arg(settings.progressOffset);
    fact += QStringLiteral(" status %1, %2 bytes, %3 s")
                .arg(result.statusCode)
                .arg(result.bodyBytes)
                .arg(std::chrono::duration<double>(took).count(), 0, 'f', 2);
    if (result.outcome != HttpsTransfer::Outcome::Completed)
        fact += QStringLiteral(", failed: ") + RunLog::safeText(result.errorMessage);
    m_log.write(QStringLiteral("transfer"), fact);
}

bool TUpdateForm::NetHTTPClientReceiveData(qint64 AContentLength, qint64 AReadCount) {
    if (QThread::currentThread() == thread()) {
        applyProgress(AContentLength, AReadCount);
        return FCancelled;
    }
    // Coalesce: the first report always goes, then at most one per interval; the last
    // held-back report is applied when the transfer has ended.
    const auto now = std::chrono::steady_clock::now();
    if (!m_reportPosted || now - m_lastPost >= kProgressInterval) {
        m_reportPosted = true;
        m_reportHeld = false;
        m_lastPost = now;
        QMetaObject::invokeMethod(
            this, [this, AContentLength, AReadCount] { applyProgress(AContentLength, AReadCount); },
            Qt::QueuedConnection);
    } else {
        m_reportHeld = true;
        m_heldLength = AContentLength;
        m_heldRead = AReadCount;
    }
    return FCancelled;
}

void TUpdateForm::applyProgress(qint64 contentLength, qint64 readCount) {
    // No announced length, or 2 GiB and more: the bar stays as it was.
    if (contentLength > 0 && contentLength <= 2147483647) {
        ProgressBar1->setMaximum(static_cast<int>(contentLength));
        if (readCount <= 2147483647)
            ProgressBar1->setValue(static_cast<int>(readCount));
    }
}

void TUpdateForm::ShowDetails(const QString& Text) {
    QString details = TrimControls(DetailsLabel->text());
    if (details.isEmpty())
        details = kDetailsHeader;
    details += QStringLiteral("\n  ") + Text;
    DetailsLabel->setText(details);
    repaintNow(DetailsLabel);
}
