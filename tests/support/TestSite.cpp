#include "TestSite.h"

#include "HostTools.h"

#include "fetch/HttpsTransfer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#ifdef _WIN32
#include <QThread>
#include <windows.h>

namespace {
// Under Wine a Windows program can neither wait for a Unix program it starts nor hand it a
// pipe: the site writes its READY line to a file, and ends when a file that this process
// holds open, deleted on close, goes with it.
bool startHostSite(QStringList arguments, const QString& aliveFile, void** alive) {
    const std::wstring alivePath = QDir::toNativeSeparators(aliveFile).toStdWString();
    HANDLE held = CreateFileW(alivePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return false;
    *alive = held;
    QString command = QStringLiteral("/usr/bin/python3");
    for (const QString& argument : arguments << QStringLiteral("--until-file-gone") << hostPath(aliveFile))
        command += QStringLiteral(" \"") + argument + u'"';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = command.toStdWString();
    if (!CreateProcessW(L"\\usr\\bin\\python3", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
} // namespace
#endif

TestSite::TestSite() {
    QDir(m_root.path()).mkpath(QStringLiteral("twdownloads"));
    QStringList arguments{QStringLiteral(TALLYAID_SOURCE_DIR "/tools/testsite/testsite.py"), QStringLiteral("--root"),
                          hostPath(m_root.path()), QStringLiteral("--cert-dir"), hostPath(m_certs.path())};
    QDeadlineTimer deadline(20000);
    QByteArray line;
#ifdef _WIN32
    const QString readyFile = m_certs.filePath(QStringLiteral("ready"));
    if (startHostSite(arguments << QStringLiteral("--ready-file") << hostPath(readyFile),
                      m_certs.filePath(QStringLiteral("alive")), &m_alive)) {
        QFile ready(readyFile);
        while (!deadline.hasExpired() && !ready.exists())
            QThread::msleep(20); // the file appears whole, by rename
        if (ready.open(QIODevice::ReadOnly))
            line = ready.readAll();
    }
#else
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The site ends by itself when this process goes (its standard input closes).
    m_process.start(QStringLiteral("python3"), arguments << QStringLiteral("--until-stdin-closes"));
    while (!deadline.hasExpired() && !line.contains('\n')) {
        if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        line += m_process.readAll();
    }
#endif
    const QRegularExpression ready(QStringLiteral("READY https=(\\d+) http=(\\d+) wrongname=(\\d+) tls11=(\\d+) ca=(\\S+)"));
    const auto match = ready.match(QString::fromUtf8(line));
    if (match.hasMatch()) {
        m_httpsPort = match.captured(1).toInt();
        m_wrongNamePort = match.captured(3).toInt();
        m_tls11Port = match.captured(4).toInt();
        m_caFile = match.captured(5);
        qputenv("TALLYAID_MAKER_SITE", base().toUtf8());
        qputenv("TALLYAID_CA_FILE", m_caFile.toUtf8());
    }
}

TestSite::~TestSite() {
    qunsetenv("TALLYAID_MAKER_SITE");
    qunsetenv("TALLYAID_CA_FILE");
#ifdef _WIN32
    if (m_alive)
        CloseHandle(m_alive);
#else
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
#endif
}

QString TestSite::base() const {
    return QStringLiteral("https://localhost:%1").arg(m_httpsPort);
}

QString TestSite::url(const QString& path) const {
    return base() + path;
}

QString TestSite::wrongNameUrl(const QString& path) const {
    return QStringLiteral("https://localhost:%1").arg(m_wrongNamePort) + path;
}

QString TestSite::tls11Url(const QString& path) const {
    return QStringLiteral("https://localhost:%1").arg(m_tls11Port) + path;
}

void TestSite::publish(const QString& name, const QByteArray& content) const {
    QFile file(m_root.filePath(QStringLiteral("twdownloads/") + name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

void TestSite::unpublish(const QString& name) const {
    QFile::remove(m_root.filePath(QStringLiteral("twdownloads/") + name));
}

int TestSite::plainHttpRequests() const {
    return fetchBody(url(QStringLiteral("/_/httpcount")), m_caFile).toInt();
}

QByteArray fetchBody(const QString& url, const QString& caFile) {
    QTemporaryFile file;
    if (!file.open())
        return {};
    HttpsTransfer::Settings settings;
    settings.extraCaFile = caFile;
    HttpsTransfer transfer(settings);
    transfer.get(url, file.handle(), {});
    file.seek(0);
    return file.readAll();
}
