#include "TestSite.h"

#include "HostTools.h"

#include "update/HttpsTransfer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>

TestSite::TestSite() {
    QDir(m_root.path()).mkpath(QStringLiteral("twdownloads"));
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The site ends by itself when this process goes (its standard input closes).
    m_process.start(hostProgram(QStringLiteral("python3")),
                    {QStringLiteral(TALLYAID_SOURCE_DIR "/tools/testsite/testsite.py"), QStringLiteral("--root"),
                     hostPath(m_root.path()), QStringLiteral("--cert-dir"), hostPath(m_certs.path()),
                     QStringLiteral("--until-stdin-closes")});
    QDeadlineTimer deadline(20000);
    QByteArray line;
    while (!deadline.hasExpired() && !line.contains('\n')) {
        if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        line += m_process.readAll();
    }
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
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
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
