// Proxies: the Windows settings turned into the HTTP library's form (plain functions, run
// here), and on Linux the https_proxy and no_proxy variables through a real CONNECT proxy.
#include "TestSite.h"
#include "platform/ProxyConfig.h"
#include "fetch/HttpsTransfer.h"

#include <QTemporaryFile>
#include <QtTest>

class ProxyTest : public QObject {
    Q_OBJECT
private slots:
    void choice_data() {
        QTest::addColumn<QString>("proxies");
        QTest::addColumn<QString>("bypass");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("expected"); // empty: direct
        QTest::newRow("none") << "" << "" << "dl.example" << "";
        QTest::newRow("one for all") << "proxy:8080" << "" << "dl.example" << "http://proxy:8080";
        QTest::newRow("https entry first") << "http=a:80;https=b:8443" << "" << "dl.example" << "http://b:8443";
        QTest::newRow("upper-case HTTPS entry") << "HTTP=a:80;HTTPS=b:8443" << "" << "dl.example" << "http://b:8443";
        QTest::newRow("http only: direct") << "http=a:80" << "" << "dl.example" << "";
        QTest::newRow("scheme kept") << "https=http://b:3128" << "" << "dl.example" << "http://b:3128";
        QTest::newRow("blank separated") << "ftp=f:21 proxy:81" << "" << "dl.example" << "http://proxy:81";
        QTest::newRow("PAC, several") << "PROXY a:80; PROXY b:8080; DIRECT" << "" << "dl.example" << "http://a:80";
        QTest::newRow("PAC, DIRECT first") << "DIRECT; PROXY a:80" << "" << "dl.example" << "";
        QTest::newRow("PAC, SOCKS") << "SOCKS s:1080" << "" << "dl.example" << "socks4://s:1080";
        QTest::newRow("bypass <local>") << "proxy:8080" << "<local>" << "intranet" << "";
        QTest::newRow("<local> takes the IPv4 loopback") << "proxy:8080" << "<local>" << "127.0.0.1" << "";
        QTest::newRow("<local> takes the IPv6 loopback") << "proxy:8080" << "*.corp.example;<local>" << "::1" << "";
        QTest::newRow("<local> keeps other addresses") << "proxy:8080" << "<local>" << "127.0.0.2" << "http://proxy:8080";
        QTest::newRow("<local> keeps dotted names") << "proxy:8080" << "<local>" << "dl.example" << "http://proxy:8080";
        QTest::newRow("bypass wildcard") << "proxy:8080" << "*.corp.example; 10.*" << "dl.corp.example" << "";
        QTest::newRow("bypass address") << "proxy:8080" << "*.corp.example;10.*" << "10.1.2.3" << "";
        QTest::newRow("bypass is whole-name") << "proxy:8080" << "corp.example" << "dl.corp.example" << "http://proxy:8080";
    }
    void choice() {
        QFETCH(QString, proxies);
        QFETCH(QString, bypass);
        QFETCH(QString, host);
        QFETCH(QString, expected);
        const ProxyChoice c = chooseProxy(proxies, bypass, host);
        QCOMPARE(c.direct, expected.isEmpty());
        QCOMPARE(c.proxy, expected);
    }

    void autoConfigurationSendsTheLoginOnlyWhenAskedFor_data() {
        QTest::addColumn<unsigned>("firstError"); // 0: answered
        QTest::addColumn<unsigned>("secondError");
        QTest::addColumn<QString>("asked");    // how each question was put, in order
        QTest::addColumn<QString>("proxy");    // what came of it; empty when nothing did
        // WinHTTP's codes: 12015 login failure, 12167 script not downloaded, 12180 nothing detected.
        QTest::newRow("answered without the login") << 0u << 0u << "without" << "PROXY a:80 #1";
        QTest::newRow("login wanted, then answered") << 12015u << 0u << "without,with" << "PROXY a:80 #2";
        QTest::newRow("login wanted, still refused") << 12015u << 12015u << "without,with" << "";
        QTest::newRow("script not reachable: no login sent") << 12167u << 0u << "without" << "";
        QTest::newRow("nothing detected: no login sent") << 12180u << 0u << "without" << "";
    }
    void autoConfigurationSendsTheLoginOnlyWhenAskedFor() {
        QFETCH(unsigned, firstError);
        QFETCH(unsigned, secondError);
        QFETCH(QString, asked);
        QFETCH(QString, proxy);
        QStringList questions;
        const AutoProxyAnswer answer = askAutoProxy([&](bool sendLogin) {
            questions << (sendLogin ? QStringLiteral("with") : QStringLiteral("without"));
            AutoProxyAnswer a;
            a.error = questions.size() == 1 ? firstError : secondError;
            a.ok = a.error == 0;
            if (a.ok)
                a.proxy = QStringLiteral("PROXY a:80 #%1").arg(questions.size());
            return a;
        });
        QCOMPARE(questions.join(u','), asked);
        QCOMPARE(answer.ok, !proxy.isEmpty());
        QCOMPARE(answer.proxy, proxy);
    }

    void linuxVariablesReachARealProxy_data() {
#ifdef _WIN32
        QSKIP("Windows takes its proxy from the system's settings, never from these variables");
#endif
        QTest::addColumn<QString>("noProxy");
        QTest::addColumn<bool>("throughProxy");
        QTest::newRow("https_proxy") << "" << true;
        QTest::newRow("no_proxy honoured") << "localhost" << false;
    }
    void linuxVariablesReachARealProxy() {
        QFETCH(QString, noProxy);
        QFETCH(bool, throughProxy);
        QVERIFY(!systemProxyFor(QStringLiteral("https://localhost/")).has_value());
        TestSite site;
        QVERIFY(site.isReady());
        site.publish(QStringLiteral("p.bin"), "through");
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("connects.log"));
        QProcess proxy;
        proxy.start(QStringLiteral("python3"), {QStringLiteral(TALLYAID_SOURCE_DIR "/tools/connectproxy.py"), log});
        QVERIFY(proxy.waitForReadyRead(10000));
        const int port = QString::fromUtf8(proxy.readLine()).section(u'=', 1).trimmed().toInt();
        QVERIFY(port > 0);
        qputenv("https_proxy", QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
        qputenv("no_proxy", noProxy.toUtf8());
        const QByteArray body = fetchBody(site.url(QStringLiteral("/twdownloads/p.bin")), site.caFile());
        qunsetenv("https_proxy");
        qunsetenv("no_proxy");
        proxy.kill();
        proxy.waitForFinished();
        QCOMPARE(body, QByteArray("through"));
        QFile connects(log);
        const bool used = connects.open(QIODevice::ReadOnly) && connects.readAll().contains("localhost:");
        QCOMPARE(used, throughProxy);
    }
};

QTEST_GUILESS_MAIN(ProxyTest)
#include "tst_proxy.moc"
