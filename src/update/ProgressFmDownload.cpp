// The update window's one path for fetching files: an HTTPS transfer on a worker thread
// while the window keeps painting, with its progress coalesced onto the UI thread.
#include "ProgressFm.h"

#include "FileNames.h"
#include "HttpsTransfer.h"
#include "Sites.h"
#include "platform/Error.h"
#include "platform/Platform.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QUrl>

#include <thread>

namespace {
constexpr qint64 kMaxVersionFileBytes = 1024 * 1024;
constexpr auto kProgressInterval = std::chrono::milliseconds(50); // about 20 bar updates a second
const QString kDetailsHeader = QStringLiteral("Details:\n  Secure Connection Established.");
} // namespace

void TUpdateForm::DownloadFromSite(const QString& RemoteName, const QString& LocalName) {
    DownloadFile(Sites::downloadFolderUrl() + QString::fromLatin1(QUrl::toPercentEncoding(RemoteName)), LocalName);
}

void TUpdateForm::DownloadFile(const QString& Url, const QString& LocalName) {
    ShowDetails(LocalName);
    FCancelled = false;
    FDownloadInProgress = true;
    struct InProgressGuard {
        bool& flag;
        ~InProgressGuard() { flag = false; }
    } inProgress{FDownloadInProgress};

    // Whatever a version file names, nothing may be written outside the program folder.
    if (!isPlainFileName(LocalName))
        throw TallyError(QStringLiteral("Error downloading %1: %2")
                             .arg(LocalName, QStringLiteral("the name is not a plain file name")));

    const QString path = ProgramFolder + LocalName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw TallyError(file.errorString()); // the file system's own error; nothing is deleted

    HttpsTransfer::Settings settings;
    settings.connectTimeoutMs = connectTimeoutMs;
    settings.responseTimeoutMs = responseTimeoutMs;
    settings.maxBodyBytes = isVersionFileName(LocalName) ? kMaxVersionFileBytes : -1;
    settings.extraCaFile = Sites::extraCaFile();

    m_reportPosted = false;
    m_reportHeld = false;
    HttpsTransfer::Result result;
    {
        HttpsTransfer client(settings);
        QEventLoop loop;
        const int fd = file.handle();
        // The window repaints and takes queued progress while the transfer runs, but clicks
        // and keys wait until the download has returned.
        std::thread worker([&] {
            result = client.get(Url, fd, [this](std::int64_t length, std::int64_t read) {
                return NetHTTPClientReceiveData(length, read);
            });
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        worker.join();
    }
    if (m_reportHeld)
        applyProgress(m_heldLength, m_heldRead);

    QString failure;
    const bool returned =
        result.outcome == HttpsTransfer::Outcome::Completed || result.outcome == HttpsTransfer::Outcome::Aborted;
    if (returned && FCancelled)
        failure = QStringLiteral("Download cancelled by user.");
    else if (result.outcome == HttpsTransfer::Outcome::Completed && result.statusCode != 200)
        failure = QStringLiteral("HTTP error %1: %2").arg(result.statusCode).arg(result.statusText);
    else if (result.outcome == HttpsTransfer::Outcome::Aborted)
        failure = QStringLiteral("Download cancelled by user.");
    else if (result.outcome == HttpsTransfer::Outcome::ClientFailure)
        failure = QStringLiteral("Network error downloading %1: %2").arg(LocalName, result.errorMessage);
    else if (result.outcome == HttpsTransfer::Outcome::OtherFailure)
        failure = QStringLiteral("Error downloading %1: %2").arg(LocalName, result.errorMessage);

    file.close();
    FDownloadInProgress = false;
    if (!failure.isEmpty()) {
        QFile::remove(path);
        throw TallyError(failure);
    }
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
