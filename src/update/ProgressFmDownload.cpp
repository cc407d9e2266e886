// The update window's one path for fetching files: an HTTPS transfer on a worker thread
// while the window keeps painting, with its progress coalesced onto the UI thread.
#include "ProgressFm.h"

#include "FileNames.h"
#include "HttpsTransfer.h"
#include "Sites.h"
#include "platform/Error.h"
#include "platform/FileOps.h"
#include "platform/Platform.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <cstring>
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

    // The body goes into a file of its own and takes the real name only once it is whole:
    // a cut-short or killed transfer never leaves a partial program under the name that is
    // started, and a link at the real name is replaced, never written through.
    Platform& platform = Platform::current();
    const QString path = ProgramFolder + LocalName;
    const QString partPath = ProgramFolder + partialFileName(LocalName);
    if (QFileInfo(path).isDir())
        throw TallyError(QStringLiteral("Cannot create file \"%1\". It is a folder.").arg(path));
    const QFileInfo leftover(partPath);
    if (leftover.exists() || leftover.isSymLink())
        platform.deleteFile(partPath); // left by a run that was killed
    QString createError;
    const int fd = createNewFileExclusive(partPath, &createError);
    if (fd < 0)
        throw TallyError(createError);
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0)
                closeFile(fd);
        }
        void close() {
            closeFile(fd);
            fd = -1;
        }
    } file{fd};

    HttpsTransfer::Settings settings = transferSettings(maxDownloadBytes);
    if (isVersionFileName(LocalName)) {
        settings.maxBodyBytes = kMaxVersionFileBytes;
        // Fetched before any window shows, so nothing could cancel it: a deadline instead.
        settings.totalTimeoutMs = versionFileDeadlineMs;
    }

    const HttpsTransfer::Result result = runTransfer(Url, fd, settings, true);

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

    if (failure.isEmpty() && !syncToDisk(fd))
        failure = QStringLiteral("Error downloading %1: %2").arg(LocalName, std::strerror(errno));
    file.close();
    const bool transferFailed = !failure.isEmpty();
    if (!transferFailed) {
        QString error;
        if (!replaceFile(partPath, path, &error)) // a copy in use stays, and is started all the same
            failure = QStringLiteral("Error downloading %1: %2").arg(LocalName, error);
    }
    FDownloadInProgress = false;
    if (!failure.isEmpty()) {
        platform.deleteFile(partPath);
        // A failed transfer leaves no copy under the name, as if it had written over it.
        const QFileInfo old(path);
        if (transferFailed && (old.exists() || old.isSymLink()))
            platform.deleteFile(path);
        throw TallyError(failure);
    }
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

HttpsTransfer::Result TUpdateForm::runTransfer(const QString& url, int fd, const HttpsTransfer::Settings& settings,
                                              bool showProgress) {
    m_reportPosted = false;
    m_reportHeld = false;
    HttpsTransfer::Result result;
    HttpsTransfer client(settings);
    QEventLoop loop;
    // The window repaints and takes queued progress while the transfer runs, but clicks
    // and keys wait until the download has returned.
    std::thread worker([&] {
        result = client.get(url, fd, [this, showProgress](std::int64_t length, std::int64_t read) {
            return showProgress ? NetHTTPClientReceiveData(length, read) : bool(FCancelled);
        });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (m_reportHeld)
        applyProgress(m_heldLength, m_heldRead);
    return result;
}

QByteArray TUpdateForm::fetchSmallFile(const QString& url, const QString& name, qint64 cap) {
    // Staged in the program folder like any download, read back, and removed.
    Platform& platform = Platform::current();
    const QString partPath = ProgramFolder + partialFileName(name);
    const QFileInfo leftover(partPath);
    if (leftover.exists() || leftover.isSymLink())
        platform.deleteFile(partPath);
    QFile file(partPath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::NewOnly))
        return {};
    HttpsTransfer::Settings settings = transferSettings(cap);
    settings.totalTimeoutMs = versionFileDeadlineMs;
    FDownloadInProgress = true;
    const HttpsTransfer::Result result = runTransfer(url, file.handle(), settings, false);
    FDownloadInProgress = false;
    QByteArray content;
    if (result.outcome == HttpsTransfer::Outcome::Completed && result.statusCode == 200 && file.seek(0))
        content = file.read(cap + 1);
    file.close();
    platform.deleteFile(partPath);
    return content;
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
