// The update window's one path for fetching files: an HTTPS transfer on a worker thread
// while the window keeps painting, with its progress coalesced onto the UI thread.
#include "update/ProgressFm.h"

#include "trust/FileNames.h"
#include "fetch/HttpsTransfer.h"
#include "trust/Signature.h"
#include "fetch/StagedDownload.h"
#include "fetch/Sites.h"
#include "platform/Error.h"
#include "platform/FileOps.h"
#include "platform/Platform.h"

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

    DownloadPlan::Request request;
    request.folder = ProgramFolder;
    request.name = LocalName;
    request.url = Url;
    request.signatureUrl = SignatureUrl;
    request.key = UpdateSignature::trustedKey();
    if (m_fetchingUpdate)
        request.release = m_acceptedVersionFile;
    request.judgeHeld = judgeHeld;
    // Continuations and another run's hold on the release state wait with the window painting.
    request.pause = [](int ms) {
        QEventLoop wait;
        QTimer::singleShot(ms, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    };
    // Told on the transfer's thread; shown on the window's, which keeps running meanwhile.
    request.continuingEarlier = [this, LocalName](std::int64_t held, std::int64_t total) {
        QMetaObject::invokeMethod(
            this,
            [this, LocalName, held, total] {
                ShowDetails(QStringLiteral("Continuing from %1 %").arg(total > 0 ? held * 100 / total : 0));
                m_log.write(QStringLiteral("download"),
                            LocalName + QStringLiteral(" continued from byte %1 (earlier run)").arg(held));
            },
            Qt::QueuedConnection);
    };
    const StagedDownload::Plan plan = DownloadPlan::build(limits, request);
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
