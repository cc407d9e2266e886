#include "TestSite.h"
#include "trust/FileNames.h"
#include "fetch/HttpsTransfer.h"
#include "fetch/TlsTrust.h"

#include <QtTest>

Q_DECLARE_METATYPE(Tls::Selection)

class HttpsTransferTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // As on a system whose own TLS settings still allow TLS 1.0 and 1.1: what refuses an
        // old server below is the transfer's own floor. Set before the library starts.
        qputenv("OPENSSL_CONF", TALLYAID_SOURCE_DIR "/tools/testsite/legacy-tls.cnf");
    }

    void serverOfferingOnlyTls11IsRefused() {
        TestSite site;
        QVERIFY(site.isReady());
        site.publish(QStringLiteral("old.bin"), "served over TLS 1.1");
        QTemporaryFile out;
        QVERIFY(out.open());
        HttpsTransfer::Settings settings;
        settings.extraCaFile = site.caFile();
        HttpsTransfer transfer(settings);
        const auto result = transfer.get(site.tls11Url(QStringLiteral("/twdownloads/old.bin")), out.handle(), {});
        QCOMPARE(result.outcome, HttpsTransfer::Outcome::ClientFailure);
        QCOMPARE(result.statusCode, 0);
        QCOMPARE(out.size(), 0);
        // The same site over TLS 1.2 or later is fine.
        QCOMPARE(transfer.get(site.url(QStringLiteral("/twdownloads/old.bin")), out.handle(), {}).outcome,
                 HttpsTransfer::Outcome::Completed);
    }

    void trustFollowsTheActiveTlsLibrary_data() {
        QTest::addColumn<bool>("windows");
        QTest::addColumn<Tls::Selection>("selection");
        QTest::addColumn<QByteArray>("text");     // the library's TLS version text
        QTest::addColumn<unsigned>("version");    // the library's own version
        QTest::addColumn<QString>("active");      // the entry taken as active
        QTest::addColumn<QString>("expected");    // usable | native | clear | folder, or "refused"
        const auto chosen = Tls::Selection::Chosen;
        const unsigned v788 = 0x075801, v770 = 0x074600, v771 = 0x074700, v830 = 0x080300;
        QTest::newRow("Windows, Schannel alone") << true << chosen << QByteArray("Schannel") << v788 << "Schannel"
                                                 << "usable clear";
        QTest::newRow("Windows, OpenSSL alone") << true << chosen << QByteArray("OpenSSL/3.1.4") << v788
                                                << "OpenSSL/3.1.4" << "usable native clear";
        QTest::newRow("Windows, OpenSSL active, Schannel built in")
            << true << Tls::Selection::TooLate << QByteArray("OpenSSL/3.1.4 (Schannel)") << v788 << "OpenSSL/3.1.4"
            << "usable native clear";
        QTest::newRow("Windows, Schannel active, listed second")
            << true << chosen << QByteArray("(OpenSSL/3.1.4) Schannel") << v788 << "Schannel" << "usable clear";
        QTest::newRow("Windows, Schannel active, OpenSSL listed")
            << true << chosen << QByteArray("Schannel (OpenSSL/3.1.4)") << v788 << "Schannel" << "usable clear";
        QTest::newRow("Windows, three built in")
            << true << chosen << QByteArray("(Schannel) LibreSSL/3.8.2 (mbedTLS/3.4.0)") << v788 << "LibreSSL/3.8.2"
            << "usable native clear";
        QTest::newRow("Windows, OpenSSL before native CA") << true << chosen << QByteArray("OpenSSL/1.1.1g") << v770
                                                           << "OpenSSL/1.1.1g" << "refused";
        QTest::newRow("Windows, OpenSSL with native CA first")
            << true << chosen << QByteArray("OpenSSL/1.1.1g") << v771 << "OpenSSL/1.1.1g" << "usable native clear";
        QTest::newRow("Windows, mbedTLS") << true << Tls::Selection::NotAvailable << QByteArray("mbedTLS/3.4.0") << v788
                                          << "mbedTLS/3.4.0" << "refused";
        QTest::newRow("Windows, wolfSSL too old") << true << Tls::Selection::NotAvailable << QByteArray("wolfSSL/5.6.0")
                                                  << v788 << "wolfSSL/5.6.0" << "refused";
        QTest::newRow("Windows, wolfSSL") << true << Tls::Selection::NotAvailable << QByteArray("wolfSSL/5.6.0") << v830
                                          << "wolfSSL/5.6.0" << "usable native clear";
        QTest::newRow("Windows, no TLS") << true << Tls::Selection::NoTls << QByteArray() << v788 << "" << "refused";
        QTest::newRow("Windows, no TLS reported") << true << chosen << QByteArray("") << v788 << "" << "refused";
        QTest::newRow("Windows, nothing active") << true << chosen << QByteArray("(Schannel) (OpenSSL/3.1.4)") << v788
                                                 << "" << "refused";
        QTest::newRow("Linux, OpenSSL") << false << chosen << QByteArray("OpenSSL/3.0.19") << v788 << "OpenSSL/3.0.19"
                                        << "usable folder";
        QTest::newRow("Linux, OpenSSL active of two")
            << false << chosen << QByteArray("(GnuTLS/3.7.9) OpenSSL/3.0.19") << v788 << "OpenSSL/3.0.19" << "usable folder";
        QTest::newRow("Linux, GnuTLS") << false << Tls::Selection::NotAvailable << QByteArray("GnuTLS/3.7.9") << v788
                                       << "GnuTLS/3.7.9" << "usable";
        QTest::newRow("Linux, GnuTLS with the system store")
            << false << Tls::Selection::NotAvailable << QByteArray("GnuTLS/3.8.2") << 0x080500u << "GnuTLS/3.8.2"
            << "usable native";
        QTest::newRow("Linux, no TLS") << false << Tls::Selection::NoTls << QByteArray() << v788 << "" << "refused";
    }
    void trustFollowsTheActiveTlsLibrary() {
        QFETCH(bool, windows);
        QFETCH(Tls::Selection, selection);
        QFETCH(QByteArray, text);
        QFETCH(unsigned, version);
        QFETCH(QString, active);
        QFETCH(QString, expected);
        QCOMPARE(Tls::activeLibrary(text), active);
        const Tls::Trust t = Tls::decideTrust(windows, selection, text, version);
        QStringList got;
        if (t.usable)
            got << QStringLiteral("usable");
        if (t.nativeCa)
            got << QStringLiteral("native");
        if (t.noBuiltInCaPaths)
            got << QStringLiteral("clear");
        if (t.systemCaFolder)
            got << QStringLiteral("folder");
        if (!t.usable) {
            QVERIFY2(!t.problem.isEmpty(), "a refusal says why");
            got = QStringList{QStringLiteral("refused")};
        }
        QCOMPARE(got.join(u' '), expected);
    }

    void clientLevelMapping_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("beforeHeaders");
        QTest::addColumn<bool>("afterHeaders");
        QTest::newRow("2 cannot initialise") << 2 << true << true;
        QTest::newRow("5 proxy not resolved") << 5 << true << true;
        QTest::newRow("6 host not resolved") << 6 << true << true;
        QTest::newRow("7 cannot connect") << 7 << true << true;
        QTest::newRow("35 TLS handshake") << 35 << true << true;
        QTest::newRow("55 send") << 55 << true << true;
        QTest::newRow("28 time-out") << 28 << true << false;
        QTest::newRow("52 nothing received") << 52 << true << false;
        QTest::newRow("56 receive") << 56 << true << false;
        QTest::newRow("1 refused protocol") << 1 << false << false;
        QTest::newRow("18 body short") << 18 << false << false;
        QTest::newRow("23 write refused") << 23 << false << false;
        QTest::newRow("47 too many redirects") << 47 << false << false;
        QTest::newRow("60 certificate rejected") << 60 << false << false;
    }
    void clientLevelMapping() {
        QFETCH(int, code);
        QFETCH(bool, beforeHeaders);
        QFETCH(bool, afterHeaders);
        QCOMPARE(HttpsTransfer::isClientLevel(code, false), beforeHeaders);
        QCOMPARE(HttpsTransfer::isClientLevel(code, true), afterHeaders);
    }

    void plainFileNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("installer") << "twv2up.exe" << true;
        QTest::newRow("spaces inside") << "my setup.exe" << true;
        QTest::newRow("8-bit letter") << QString::fromUtf8("café.exe") << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "../evil.exe" << false;
        QTest::newRow("backslash") << "..\\evil.exe" << false;
        QTest::newRow("drive") << "C:evil.exe" << false;
        QTest::newRow("stream") << "a.exe:stream" << false;
        QTest::newRow("control") << "a\tb.exe" << false;
        QTest::newRow("DEL") << QStringLiteral("a\x7F.exe") << false;
        QTest::newRow("less than") << "a<b.exe" << false;
        QTest::newRow("quote") << "a\"b.exe" << false;
        QTest::newRow("pipe") << "a|b.exe" << false;
        QTest::newRow("question") << "a?.exe" << false;
        QTest::newRow("star") << "*.exe" << false;
        QTest::newRow("trailing dot") << "a.exe." << false;
        QTest::newRow("trailing space") << "a.exe " << false;
    }
    void plainFileNames() {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(isPlainFileName(name), plain);
    }

    void installerFileNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("installer") << "twv2up.exe" << true;
        QTest::newRow("upper case, msi") << "SETUP2.MSI" << true;
        QTest::newRow("blank inside") << "a b.exe" << true;
        QTest::newRow("255 characters") << QString(251, u'a') + ".exe" << true;
        QTest::newRow("256 characters") << QString(252, u'a') + ".exe" << false;
        QTest::newRow("a data file") << "EMPLOYEE.DB" << false;
        QTest::newRow("no extension") << "twv2up" << false;
        QTest::newRow("device") << "CON" << false;
        QTest::newRow("device with extension") << "nul.exe" << false;
        QTest::newRow("device, blank before the dot") << "aux .msi" << false;
        QTest::newRow("numbered device") << "COM1.exe" << false;
        QTest::newRow("superscript device") << QString::fromUtf8("lpt\u00B9.exe") << false;
        QTest::newRow("superscript three") << QString::fromUtf8("com\u00B3.exe") << false;
        QTest::newRow("superscript two") << QString::fromUtf8("lpt\u00B2.exe") << false;
        QTest::newRow("console") << "CONOUT$.exe" << false;
        QTest::newRow("not a device") << "console.exe" << true;
        QTest::newRow("option") << "-help.exe" << false;
        QTest::newRow("hidden") << ".twv.exe" << false;
        QTest::newRow("own executable") << "TallyAid.EXE" << false;
        QTest::newRow("installed-version file") << "version.tly" << false;
        QTest::newRow("version file") << "TWV2.VN" << false;
        QTest::newRow("control") << QStringLiteral("a.exe") << false;
        QTest::newRow("right-to-left override") << QString::fromUtf8("a\u202Eexe.msi") << false;
        QTest::newRow("zero-width space") << QString::fromUtf8("tw\u200Bv.exe") << false;
        QTest::newRow("division slash") << QString::fromUtf8("..\u2215x.exe") << false;
        QTest::newRow("fullwidth solidus") << QString::fromUtf8("a\uFF0Fb.exe") << false;
        QTest::newRow("outside the basic plane") << QString::fromUtf8("\U0001F600.exe") << false;
        QTest::newRow("broken surrogate") << QString(QChar(0xD800)) + ".exe" << false;
        QTest::newRow("separator") << "../x.exe" << false;
        QTest::newRow("trailing dot") << "x.exe." << false;
    }
    void installerFileNames() {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QCOMPARE(isInstallerFileName(name, QStringLiteral("tallyaid.exe")), accepted);
    }

    void redirectBodiesGiveNoProgressAndFirstReportIsZero() {
        TestSite site;
        QVERIFY(site.isReady());
        site.publish(QStringLiteral("f.bin"), QByteArray(100000, 'f'));
        QTemporaryFile out;
        QVERIFY(out.open());
        HttpsTransfer::Settings settings;
        settings.extraCaFile = site.caFile();
        HttpsTransfer transfer(settings);
        QList<QPair<qint64, qint64>> reports;
        const auto result =
            transfer.get(site.url(QStringLiteral("/_/redirect/302/2/twdownloads/f.bin")), out.handle(),
                         [&](std::int64_t length, std::int64_t read) {
                             reports.append({length, read});
                             return false;
                         });
        QCOMPARE(result.outcome, HttpsTransfer::Outcome::Completed);
        QCOMPARE(result.statusCode, 200);
        QCOMPARE(result.statusText, QStringLiteral("OK"));
        QVERIFY(reports.size() >= 2);
        QCOMPARE(reports.first(), qMakePair(qint64(100000), qint64(0)));
        QCOMPARE(reports.last(), qMakePair(qint64(100000), qint64(100000)));
        for (int i = 1; i < reports.size(); ++i)
            QVERIFY2(reports[i].second > reports[i - 1].second, "each block adds to the count");
        QCOMPARE(out.size(), 100000);
    }

    void errorStatusGivesNoProgress() {
        TestSite site;
        QVERIFY(site.isReady());
        QTemporaryFile out;
        QVERIFY(out.open());
        HttpsTransfer::Settings settings;
        settings.extraCaFile = site.caFile();
        HttpsTransfer transfer(settings);
        int reports = 0;
        const auto result = transfer.get(site.url(QStringLiteral("/_/status/500/x")), out.handle(),
                                         [&](std::int64_t, std::int64_t) { return ++reports, false; });
        QCOMPARE(result.outcome, HttpsTransfer::Outcome::Completed);
        QCOMPARE(result.statusCode, 500);
        QCOMPARE(result.statusText, QStringLiteral("Internal Server Error"));
        QCOMPARE(reports, 0);
        QVERIFY2(out.size() > 0, "the error page's body is still written");
    }
};

QTEST_GUILESS_MAIN(HttpsTransferTest)
#include "tst_httpstransfer.moc"
