#include "ProblemCode.h"
#include "WhenModal.h"
#include "RecordingPlatform.h"
#include "WhenShown.h"
#include "TestLocale.h"
#include "TestSite.h"
#include "platform/Fonts.h"
#include "update/ProgressFm.h"
#include "widgets/StyledButton.h"

#include <QLabel>
#include <QtTest>

namespace {
struct Outcome {
    QStringList lines;
    int code = 0; // problem code shown, 0 for none
    QString details;
    bool downloadEnabled = false;
    Currency latest = 0;
    QString suffix, installer;
};

// Opens the window in a run mode and records what it first shows.
Outcome openWindow(const QString& mode) {
    TUpdateForm form;
    Outcome o;
    whenShown(&form, [&] {
        o.lines = QStringList{control<QLabel>(&form, QStringLiteral("StatusLabel1"))->text(), control<QLabel>(&form, QStringLiteral("StatusLabel2"))->text(), control<QLabel>(&form, QStringLiteral("StatusLabel3"))->text(),
                              control<QLabel>(&form, QStringLiteral("StatusLabel4"))->text(), control<QLabel>(&form, QStringLiteral("StatusLabel5"))->text()};
        o.code = problemCodeShown(form);
        o.details = control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text();
        o.downloadEnabled = control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->isVisible() && control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->isEnabled();
        o.latest = form.LatestVersion;
        o.suffix = form.LatestVersionSuffix;
        o.installer = form.InstallerFileName;
        form.close();
    });
    form.ShowModalUpdate(mode);
    return o;
}

const QString kLatest = QStringLiteral("The latest update available is: Version: ");
const QString kInstalled = QStringLiteral("Your currently installed version is: Version ");
const QString kLine5 = QStringLiteral("To download the latest update, click \"Download Now...\".");
} // namespace

class VersionCheckTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;

private slots:
    void initTestCase() {
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
    }
    void cleanupTestCase() { delete site; }

    void commaLocaleIsInForce() { verifyRequestedLocale(); }

    void statusLinesFromTheVersionFiles_data() {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<QByteArray>("installed"); // "<none>" for a missing file
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<QString>("line3");
        QTest::newRow("newer, CR LF") << QByteArray("2.74\r\n-\r\ntwv2up.exe\r\n") << QByteArray("2.70\r\n")
                                      << "NEW UPDATE AVAILABLE!" << kLatest + shownNumber("2.74") << kInstalled + "2.70";
        QTest::newRow("same, LF") << QByteArray("2.74\n-\ntwv2up.exe\n") << QByteArray("2.74\n") << ""
                                  << kLatest + shownNumber("2.74") << kInstalled + "2.74";
        QTest::newRow("installed newer") << QByteArray("2.74\n-\ntwv2up.exe") << QByteArray("2.80") << ""
                                         << kLatest + shownNumber("2.74") << kInstalled + "2.80";
        QTest::newRow("suffix b is not newer") << QByteArray("2.74\nb\ntwv2up.exe") << QByteArray("2.74") << ""
                                               << kLatest + shownNumber("2.74") + "b" << kInstalled + "2.74";
        QTest::newRow("version.tly missing") << QByteArray("2.74\n-\ntwv2up.exe") << QByteArray("<none>")
                                             << "NEW UPDATE AVAILABLE!" << kLatest + shownNumber("2.74") << kInstalled + "?";
        QTest::newRow("version.tly empty") << QByteArray("2.74\n-\ntwv2up.exe") << QByteArray("")
                                           << "NEW UPDATE AVAILABLE!" << kLatest + shownNumber("2.74") << kInstalled + "?";
        QTest::newRow("installed with trailing space reads as 0")
            << QByteArray("2.74\n-\ntwv2up.exe") << QByteArray("2.74 \r\n") << "NEW UPDATE AVAILABLE!"
            << kLatest + shownNumber("2.74") << kInstalled + "2.74 ";
        QTest::newRow("latest padded with spaces") << QByteArray("  2.74  \n - \n twv2up.exe \n") << QByteArray("2.74")
                                                   << "" << kLatest + shownNumber("2.74") << kInstalled + "2.74";
        QTest::newRow("2.745 rounds to 2.75") << QByteArray("2.745\n-\ntwv2up.exe") << QByteArray("2.74")
                                              << "NEW UPDATE AVAILABLE!" << kLatest + shownNumber("2.75") << kInstalled + "2.74";
        QTest::newRow("100 reads as 0") << QByteArray("100\n-\ntwv2up.exe") << QByteArray("2.74") << ""
                                        << kLatest + shownNumber("0.00") << kInstalled + "2.74";
        QTest::newRow("one line only") << QByteArray("2.74") << QByteArray("2.70") << "NEW UPDATE AVAILABLE!"
                                       << kLatest + shownNumber("2.74") << kInstalled + "2.70";
        QTest::newRow("empty version file") << QByteArray() << QByteArray("2.70") << "" << kLatest + shownNumber("0.00")
                                            << kInstalled + "2.70";
        QTest::newRow("installed line over 64 KiB reads as unknown")
            << QByteArray("2.74\n-\ntwv2up.exe") << (QByteArray(70000, '2') + "\r\n") << "NEW UPDATE AVAILABLE!"
            << kLatest + shownNumber("2.74") << kInstalled + "?";
        QTest::newRow("8-bit installed text") << QByteArray("2.74\n-\ntwv2up.exe") << QByteArray("2.7\xE9")
                                              << "NEW UPDATE AVAILABLE!" << kLatest + shownNumber("2.74")
                                              << kInstalled + QString::fromUtf8("2.7é");
        QTest::newRow("file name that looks like markup") << QByteArray("2.74\n<b>x</b>\nt.exe") << QByteArray("2.74")
                                                          << "" << kLatest + shownNumber("2.74") + "<b>x</b>" << kInstalled + "2.74";
    }
    void statusLinesFromTheVersionFiles() {
        QFETCH(QByteArray, versionFile);
        QFETCH(QByteArray, installed);
        QFETCH(QString, line1);
        QFETCH(QString, line2);
        QFETCH(QString, line3);
        PlatformScope scope;
        site->publish(QStringLiteral("twv2.vn"), versionFile);
        if (installed != "<none>")
            scope.platform.writeFile(QStringLiteral("version.tly"), installed);
        const Outcome o = openWindow(runModeText(RunModeCode::UpdateV2));
        QCOMPARE(o.code, 0);
        QCOMPARE(o.lines, QStringList({line1, line2, line3, "", kLine5}));
        QVERIFY2(o.downloadEnabled, "Download Now... is always offered after a check");
        QVERIFY(o.details.startsWith(QStringLiteral("Details:\n  Secure Connection Established.\n  twv2.vn")));
    }

    void filledValuesAndDetails() {
        PlatformScope scope;
        site->publish(QStringLiteral("twvtest2.vn"), "2.74\r\n-\r\ntwv2up.exe\r\nignored\r\n");
        const Outcome o = openWindow(runModeText(RunModeCode::Test2));
        QCOMPARE(o.latest, Currency(27400));
        QCOMPARE(o.suffix, QString());
        QCOMPARE(o.installer, QStringLiteral("twv2up.exe"));
        QCOMPARE(o.details, QStringLiteral("Details:\n  Secure Connection Established.\n  twvtest2.vn\n  twv2up.exe"));
        QVERIFY2(scope.platform.has("twvtest2.vn"), "test-channel version files stay");
    }

    void emptyVersionFileSetsNothing() {
        PlatformScope scope;
        site->publish(QStringLiteral("twvtest.vn"), "");
        const Outcome o = openWindow(runModeText(RunModeCode::Test));
        QCOMPARE(o.code, 0);
        QCOMPARE(o.latest, Currency(0));
        QCOMPARE(o.installer, QString());
        QCOMPARE(o.details, QStringLiteral("Details:\n  Secure Connection Established.\n  twvtest.vn"));
        QVERIFY(o.downloadEnabled);
    }

    void initModeSaysAnUpdateIsAvailable() {
        PlatformScope scope;
        site->publish(QStringLiteral("twv2.vn"), "2.70\n-\ntwv2up.exe\n");
        scope.platform.writeFile(QStringLiteral("version.tly"), "2.74");
        const Outcome o = openWindow(runModeText(RunModeCode::FirstInstall));
        QCOMPARE(o.lines, QStringList({"AN UPDATE IS AVAILABLE!",
                                       "It looks like you have just installed Tallywick - thank you!", "", "",
                                       "To update to the latest version, click \"Download Now...\"."}));
    }

    void failures_data() {
        QTest::addColumn<QByteArray>("versionFile"); // "<none>": not on the site
        QTest::addColumn<bool>("siteUp");
        QTest::addColumn<bool>("olderCopy");
        QTest::addColumn<int>("code");
        QTest::newRow("not on the site") << QByteArray("<none>") << true << false << int(ProblemCode::VersionFileFailed);
        QTest::newRow("not on the site, older copy") << QByteArray("<none>") << true << true << int(ProblemCode::VersionFileFailed);
        QTest::newRow("site unreachable") << QByteArray("2.74") << false << false << int(ProblemCode::VersionFileFailed);
        QTest::newRow("line over 64 KiB") << QByteArray(70000, '9') << true << false << int(ProblemCode::VersionCheckFailed);
        QTest::newRow("version file over 1 MiB") << QByteArray(1100000, '1') << true << false << int(ProblemCode::VersionFileFailed);
    }
    void failures() {
        QFETCH(QByteArray, versionFile);
        QFETCH(bool, siteUp);
        QFETCH(bool, olderCopy);
        QFETCH(int, code);
        PlatformScope scope;
        if (versionFile == "<none>")
            site->unpublish(QStringLiteral("twv2.vn"));
        else
            site->publish(QStringLiteral("twv2.vn"), versionFile);
        if (olderCopy)
            scope.platform.writeFile(QStringLiteral("twv2.vn"), "2.50\n-\nold.exe\n");
        if (!siteUp)
            qputenv("TALLYAID_MAKER_SITE", "https://127.0.0.1:1");
        const Outcome o = openWindow(runModeText(RunModeCode::UpdateV2));
        qputenv("TALLYAID_MAKER_SITE", site->base().toUtf8());
        QCOMPARE(o.code, code);
        QVERIFY(!scope.platform.has("twv2.vn"));
    }

    void otherModesFetchNoVersionFile() {
        PlatformScope scope;
        qputenv("TALLYAID_MAKER_SITE", "https://127.0.0.1:1"); // any fetch would fail and show a problem
        const Outcome bde = openWindow(runModeText(RunModeCode::DatabaseEngine));
        const Outcome tv = openWindow(runModeText(RunModeCode::RemoteSupport));
        qputenv("TALLYAID_MAKER_SITE", site->base().toUtf8());
        QCOMPARE(bde.code, 0);
        QCOMPARE(tv.code, 0);
        QCOMPARE(bde.details, QString());
        QCOMPARE(tv.details, QString());
    }
};

QTEST_MAIN(VersionCheckTest)
#include "tst_versioncheck.moc"
