#include "HostileFiles.h"
#include "ProblemCode.h"
#include "WhenModal.h"
#include "RecordingPlatform.h"
#include "TestLocale.h"
#include "WhenModal.h"
#include "WhenShown.h"
#include "TestKeys.h"
#include "TestSite.h"
#include "platform/Fonts.h"
#include "trust/FileNames.h"
#include "update/ProgressFm.h"
#include "widgets/StyledButton.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QtTest>

namespace {
struct Run {
    int code = 0;
    bool closed = false;
    QString downloadingLine;
    bool buttonsDisabled = false;
    bool cancelEnabled = true;
};
} // namespace

class LaunchTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;
    QTemporaryDir userData; // this account's application data, for the run

    // Opens the window in a mode, presses the key or button, and reports what happened.
    // `meanwhile` runs once the window shows, after the start's clean-up, before the press.
    Run press(TUpdateForm& form, const QString& mode, bool useEnter, const std::function<void()>& meanwhile = {}) {
        Run run;
        whenShown(&form, [&] {
            if (meanwhile)
                meanwhile();
            auto recordLine = [&] {
                if (run.downloadingLine.isEmpty() && form.FDownloadInProgress)
                    run.downloadingLine = control<QLabel>(&form, QStringLiteral("StatusLabel1"))->text();
            };
            QTimer probe;
            QObject::connect(&probe, &QTimer::timeout, recordLine);
            probe.start(1);
            if (useEnter)
                QTest::keyClick(&form, Qt::Key_Return);
            else if (control<QPushButton>(&form, QStringLiteral("DownloadOtherButton"))->isVisible())
                control<QPushButton>(&form, QStringLiteral("DownloadOtherButton"))->click();
            else
                control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->click();
            probe.stop();
            run.buttonsDisabled = !control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->isEnabled() && !control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->isEnabled();
            run.code = problemCodeShown(form);
            run.closed = !form.isVisible();
            run.cancelEnabled = control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->isEnabled();
            if (!run.closed)
                form.close();
        });
        form.ShowModalUpdate(mode);
        return run;
    }

    // Publishes a release signed by a fresh maker's key, with the program signed by that key
    // (or by another when makersOwn is false), and makes this run trust the maker's key.
    void publishSignedRelease(const QTemporaryDir& keys, const QString& versionName, const QByteArray& versionFile,
                              const QString& program, const QByteArray& body, bool makersOwn) {
        QString makerPublic, otherPublic;
        const QByteArray maker = makeKey(keys.path(), QStringLiteral("maker"), &makerPublic);
        const QByteArray other = makeKey(keys.path(), QStringLiteral("other"), &otherPublic);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        site->publish(versionName + ".sig", versionSignatureFor(maker, versionName, versionFile, now - 60, now + 3600));
        site->publish(program + ".sig", releaseSignatureFor(makersOwn ? maker : other, program, body, versionFile));
        qputenv("TALLYAID_UPDATE_KEY_FILE", makerPublic.toUtf8());
    }

private slots:
    void initTestCase() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path())); // the accepted releases, with a key
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
        site->publish(QStringLiteral("setupbd.exe"), "database engine setup");
    }
    void cleanupTestCase() { delete site; }

    void installerIsFetchedStartedAndTheWindowCloses_data() {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::addColumn<QString>("downloading");
        QTest::newRow("no suffix") << QByteArray("2.74\n-\ntwv2up.exe\n") << "Downloading Update to Version " + shownNumber("2.74") + "...";
        QTest::newRow("suffix b") << QByteArray("2.74\nb\ntwv2up.exe\n") << "Downloading Update to Version " + shownNumber("2.74") + "b...";
        QTest::newRow("blanks around the name") << QByteArray("2.74\n-\n \t twv2up.exe  \r\n")
                                                << "Downloading Update to Version " + shownNumber("2.74") + "...";
    }
    void installerIsFetchedStartedAndTheWindowCloses() {
        QFETCH(QByteArray, versionFile);
        QFETCH(QString, downloading);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        site->publish(QStringLiteral("twv2.vn"), versionFile);
        site->publish(QStringLiteral("twv2up.exe"), QByteArray(300000, 'i'));
        TUpdateForm form;
        const Run run = press(form, runModeText(RunModeCode::UpdateV2), true);
        QCOMPARE(run.code, 0);
        QVERIFY(run.closed);
        QCOMPARE(run.downloadingLine, downloading);
        QCOMPARE(p.read("twv2up.exe").size(), 300000);
        QCOMPARE(p.opened.size(), 1);
        QCOMPARE(p.opened[0].target, QStringLiteral("twv2up.exe"));
        QCOMPARE(p.opened[0].workingFolder, p.folder);
        QVERIFY2(!p.has("twv2.vn"), "closing removes the version file");
        QCOMPARE(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text(),
                 QStringLiteral("Details:\n  Secure Connection Established.\n  twv2.vn\n  twv2up.exe\n  twv2up.exe"));
    }

    void installerFailures_data() {
        QTest::addColumn<QByteArray>("versionFile");
        QTest::newRow("404") << QByteArray("2.74\n-\nmissing.exe\n");
        QTest::newRow("no installer name") << QByteArray("2.74\n");
        QTest::newRow("name escaping the folder") << QByteArray("2.74\n-\n../twv2up.exe\n");
        QTest::newRow("older copy that cannot be replaced") << QByteArray("2.74\n-\ninuse.exe\n");
        QTest::newRow("earlier copy while another run writes the name") << QByteArray("2.74\n-\ntwvheld.exe\n");
    }
    void installerFailures() {
        QFETCH(QByteArray, versionFile);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        site->publish(QStringLiteral("twvtest.vn"), versionFile); // the test channel's
        site->publish(QStringLiteral("twv2up.exe"), "installer");
        site->publish(QStringLiteral("inuse.exe"), "new");
        QDir(p.folder).mkdir(QStringLiteral("inuse.exe")); // cannot be opened for writing, even by root
        site->publish(QStringLiteral("twvheld.exe"), "new");
        p.writeFile(QStringLiteral(".twvheld.exe.part"), ""); // another run writes it
        const HeldFile held(p.folder + QStringLiteral(".twvheld.exe.part"));
        TUpdateForm form;
        const Run run = press(form, runModeText(RunModeCode::Test), false,
                              [&] { p.writeFile(QStringLiteral("twvheld.exe"), "put there by anyone"); });
        QCOMPARE(run.code, int(ProblemCode::InstallerFailed));
        QVERIFY(!run.closed);
        QVERIFY2(!run.cancelEnabled, "no cancelling after a failed download");
        QVERIFY(p.opened.isEmpty());
        QVERIFY(!QFileInfo::exists(p.folder + "../twv2up.exe"));
        QVERIFY(QFileInfo(p.folder + "inuse.exe").isDir());
    }

    void installerNameThatIsNotAProgramOfOurOwnTouchesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("present");   // the user's own file lies under the name
        QTest::addColumn<bool>("served");    // the site has a body for it; otherwise 404
        QTest::addColumn<bool>("badSignature"); // with the maker's key, and a signature by another
        QTest::newRow("a user's data file") << "EMPLOYEE.DB" << true << true << false;
#ifndef _WIN32 // on Windows the name is the console itself, which no file can have
        QTest::newRow("device") << "CON.exe" << true << true << false;
#endif
        QTest::newRow("option") << "-help.exe" << true << true << false;
        QTest::newRow("installed-version file") << "version.tly" << true << true << false;
        QTest::newRow("format character") << QString::fromUtf8("twv\u202Eexe.msi") << true << true << false;
        QTest::newRow("the payroll program, 404") << "Tallywick.exe" << true << false << false;
        QTest::newRow("the payroll program, served") << "Tallywick.exe" << true << true << false;
        QTest::newRow("the payroll program, bad signature") << "Tallywick.exe" << true << true << true;
        // Not in the folder: only the rule about this program's own name can refuse it.
        QTest::newRow("this program, by its bare name") << "TallyAid.EXE" << false << true << false;
    }
    void installerNameThatIsNotAProgramOfOurOwnTouchesNothing() {
        QFETCH(QString, name);
        QFETCH(bool, present);
        QFETCH(bool, served);
        QFETCH(bool, badSignature);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        p.ownName = QStringLiteral("tallyaid.exe");
        const QByteArray versionFile = "2.74\n-\n" + name.toUtf8() + "\n";
        site->publish(QStringLiteral("twvtest.vn"), versionFile);
        if (served)
            site->publish(name, "served");
        QTemporaryDir keys;
        if (badSignature) // the release itself is the maker's; only the program's signature is not
            publishSignedRelease(keys, QStringLiteral("twvtest.vn"), versionFile, name, "served", false);
        if (present)
            p.writeFile(name, "the user's own");
        TUpdateForm form;
        const Run run = press(form, runModeText(RunModeCode::Test), true);
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        site->unpublish(name);
        site->unpublish(name + ".sig");
        site->unpublish(QStringLiteral("twvtest.vn.sig"));
        QCOMPARE(run.code, int(ProblemCode::InstallerFailed));
        QVERIFY(p.opened.isEmpty());
        if (present)
            QCOMPARE(p.read(name), QByteArray("the user's own"));
        QStringList left = QDir(p.folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        left.removeAll(FileName::RunLog);       // the run's own record, for support
        QCOMPARE(left.size(), present ? 2 : 1);
    }

    void cutShortInstallerWhosePartialFileWillNotGoIsNeverStarted() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        site->publish(QStringLiteral("twv2.vn"), "2.74\n-\nslowfail-1-3.exe\n");
        p.undeletable << QStringLiteral(".slowfail-1-3.exe.part");
        TUpdateForm form;
        const Run run = press(form, runModeText(RunModeCode::UpdateV2), true);
        QCOMPARE(run.code, int(ProblemCode::InstallerFailed));
        QVERIFY(p.opened.isEmpty());
        QVERIFY(!p.has("slowfail-1-3.exe"));
#ifndef _WIN32 // Windows deletes it through the handle that wrote it, which nothing refuses
        QVERIFY(p.has(".slowfail-1-3.exe.part"));
#endif
    }

    void eachRunLeavesARecord_data() {
        QTest::addColumn<QString>("installer");  // named by the version file
        QTest::addColumn<QString>("served");     // "whole", "none", "signed", "badly signed"
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("kinds");   // of the run's lines, in order
        QTest::addColumn<QStringList>("facts");   // each in some line
        QTest::addColumn<int>("runs");            // all but the last end with Option 1, "Close"
        const QStringList head{"run", "transfer", "versions", "transfer"};
        // With the maker's key the version file's own signature is fetched and judged first.
        const QStringList signedHead{"run", "transfer", "transfer", "signature", "versions", "transfer"};
        const auto code = [](ProblemCode c) { return int(c); };
        QTest::newRow("successful run") << "logwhole.exe" << "whole" << 0 << head + QStringList{"started"}
                                        << QStringList{"mode \"2\"", "installer logwhole.exe", "status 200, 300000 bytes",
                                                       "started logwhole.exe"} << 1;
        QTest::newRow("failed run") << "logmissing.exe" << "none" << code(ProblemCode::InstallerFailed)
                                    << head + QStringList{"failed", "problem"}
                                    << QStringList{"/twdownloads/logmissing.exe status 404", "HTTP error 404",
                                                   "code 300"} << 1;
        QTest::newRow("cut once, continued") << "cut-100000-1-log.exe" << "whole" << 0
                                             << head + QStringList{"transfer", "started"}
                                             << QStringList{"status 200, 100000 bytes", "failed:",
                                                            "from byte 100000 status 206, 200000 bytes"} << 1;
        QTest::newRow("signed") << "logsigned.exe" << "signed" << 0
                                << signedHead + QStringList{"transfer", "signature", "started"}
                                << QStringList{"/twdownloads/logsigned.exe.sig status 200", "twv2.vn valid",
                                               "logsigned.exe valid"} << 1;
        QTest::newRow("badly signed") << "logbadsig.exe" << "badly signed" << code(ProblemCode::InstallerFailed)
                                      << signedHead + QStringList{"transfer", "signature", "failed", "problem"}
                                      << QStringList{"logbadsig.exe not valid (signature wrong)", "code 300"} << 1;
        QTest::newRow("broken off for good, then a later run")
            << "cut-50000-4-again.exe" << "whole" << 0
            << head + QStringList{"transfer", "transfer", "transfer", "failed", "problem"} + head.mid(0, 3) +
                   QStringList{"download", "transfer", "started"}
            << QStringList{"code 300", "cut-50000-4-again.exe continued from byte 200000 (earlier run)",
                           "from byte 200000 status 206, 100000 bytes"}
            << 2;
    }

    void eachRunLeavesARecord() {
        QFETCH(QString, installer);
        QFETCH(QString, served);
        QFETCH(int, code);
        QFETCH(QStringList, kinds);
        QFETCH(QStringList, facts);
        QFETCH(int, runs);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QByteArray body(300000, 'L');
        const QByteArray versionFile = "2.74\n-\n" + installer.toUtf8() + "\n";
        site->publish(QStringLiteral("twv2.vn"), versionFile);
        if (served != QLatin1String("none"))
            site->publish(installer, body);
        QTemporaryDir keys;
        if (served.endsWith(QLatin1String("signed")))
            publishSignedRelease(keys, QStringLiteral("twv2.vn"), versionFile, installer, body,
                                 served == QLatin1String("signed"));
        int shown = -1;
        QString details;
        QPair<int, int> barEnds; // the last run's maximum and value
        for (int run = 1; run <= runs; ++run) {
            TUpdateForm form;
            form.limits.resumePauseMs = 10;
            whenShown(&form, [&] {
                QTest::keyClick(&form, Qt::Key_Return);
                const QString text = control<QLabel>(&form, QStringLiteral("InfoStringLabel"))->text();
                const QRegularExpressionMatch number = QRegularExpression(QStringLiteral("\\(Code: (\\d+)\\)")).match(text);
                shown = control<QWidget>(&form, QStringLiteral("ProblemInfoPanel"))->isHidden() ? 0
                                                                                                : number.captured(1).toInt();
                details = control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text();
                if (run < runs && shown != 0)
                    QTest::mouseClick(control<QPushButton>(&form, QStringLiteral("CloseBtn")), Qt::LeftButton);
                if (form.isVisible())
                    form.close();
            });
            form.ShowModalUpdate(QStringLiteral("2"));
            const QProgressBar* bar = control<QProgressBar>(&form, QStringLiteral("ProgressBar1"));
            barEnds = {bar->maximum(), bar->value()};
        }
        QCOMPARE(details.contains(QStringLiteral("Continuing from 66 %")), runs > 1);
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        QCOMPARE(shown, code);
        if (code == 0) {
            QVERIFY2(p.read(installer) == body, "the file arrived whole");
            QCOMPARE(barEnds, qMakePair(int(body.size()), int(body.size())));
        }

        // date, time, offset, [process], kind, fact
        static const QRegularExpression shape(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d{4} \\[(\\d+)\\] (\\w+) (.*)$"));
        static const QRegularExpression transfer(
            QStringLiteral("^https://localhost:\\d+/\\S+( from byte \\d+)? status \\d+, \\d+ bytes, \\d+\\.\\d\\d s"));
        const QString log = QString::fromUtf8(p.read(FileName::RunLog));
        QStringList seen;
        for (const QString& line : log.split(u'\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = shape.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line));
            QCOMPARE(m.captured(1).toLongLong(), QCoreApplication::applicationPid());
            seen << m.captured(2);
            if (m.captured(2) == QLatin1String("transfer"))
                QVERIFY2(transfer.match(m.captured(3)).hasMatch(), qPrintable(line));
        }
        QCOMPARE(seen, kinds);
        for (const QString& fact : facts)
            QVERIFY2(log.contains(fact), qPrintable(fact + QStringLiteral(" not in:\n") + log));
        site->unpublish(installer);
        site->unpublish(installer + ".sig");
        site->unpublish(QStringLiteral("twv2.vn.sig"));
    }

    void otherProgramsByMode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("siteUp");
        QTest::addColumn<bool>("publisherSigned"); // the system finds the vendor's code signature valid
        QTest::addColumn<int>("code");
        QTest::newRow("BDE") << runModeText(RunModeCode::DatabaseEngine) << "setupbd.exe" << true << true << 0;
        QTest::newRow("BDE site unreachable") << runModeText(RunModeCode::DatabaseEngine) << "setupbd.exe" << false << true << int(ProblemCode::DatabaseEngineFailed);
        QTest::newRow("TV from the vendor") << runModeText(RunModeCode::RemoteSupport) << "TeamViewerQS_x64.exe" << true << true << 0;
        QTest::newRow("TV vendor fails") << runModeText(RunModeCode::RemoteSupport) << "TeamViewerQS_x64.exe" << false << true << int(ProblemCode::RemoteSupportFailed);
        QTest::newRow("TV not signed by its publisher") << runModeText(RunModeCode::RemoteSupport) << "TeamViewerQS_x64.exe" << true << false << int(ProblemCode::RemoteSupportFailed);
    }
    void otherProgramsByMode() {
        QFETCH(QString, mode);
        QFETCH(QString, file);
        QFETCH(bool, siteUp);
        QFETCH(bool, publisherSigned);
        QFETCH(int, code);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        // The system's own check is the end-to-end test's: here its answer is scripted.
        p.publisherCheckAnswer = publisherSigned ? Platform::PublisherCheck::Valid : Platform::PublisherCheck::Invalid;
        p.writeFile(file, "an earlier copy");
        site->publish(QStringLiteral("vendor-tool.exe"), "remote support tool");
        qputenv("TALLYAID_VENDOR_URL", site->url(QStringLiteral("/twdownloads/vendor-tool.exe")).toUtf8());
        if (!siteUp) {
            qputenv("TALLYAID_MAKER_SITE", "https://127.0.0.1:1");
            qputenv("TALLYAID_VENDOR_URL", "https://127.0.0.1:1/download/TeamViewerQS_x64.exe");
        }
        TUpdateForm form;
        const Run run = press(form, mode, true); // Enter presses the standard "Download Now..." here
        qputenv("TALLYAID_MAKER_SITE", site->base().toUtf8());
        qunsetenv("TALLYAID_VENDOR_URL");
        QCOMPARE(run.code, code);
        QCOMPARE(run.closed, code == 0);
        QVERIFY(run.buttonsDisabled);
        QCOMPARE(p.publisherChecks.size(), mode == runModeText(RunModeCode::RemoteSupport) && siteUp ? 1 : 0);
        if (code == 0) {
            QCOMPARE(p.opened.size(), 1);
            QCOMPARE(p.opened[0].target, file);
            QCOMPARE(p.opened[0].workingFolder, p.folder);
            QVERIFY(p.read(file) != "an earlier copy");
            // Removed before the download: a successful download deletes nothing itself.
            QCOMPARE(p.deletions, QStringList{file});
        } else {
            QVERIFY(p.opened.isEmpty());
            QVERIFY2(!p.has(file), "the earlier copy is removed before the download");
        }
    }

    void missingFileAfterASuccessfulDownload_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("code");
        QTest::newRow("installer") << runModeText(RunModeCode::UpdateV2) << "twv2up.exe" << int(ProblemCode::InstallerMissing);
        QTest::newRow("BDE") << runModeText(RunModeCode::DatabaseEngine) << "setupbd.exe" << int(ProblemCode::DatabaseEngineMissing);
        QTest::newRow("TV") << runModeText(RunModeCode::RemoteSupport) << "TeamViewerQS_x64.exe" << int(ProblemCode::RemoteSupportMissing);
    }
    void missingFileAfterASuccessfulDownload() {
        QFETCH(QString, mode);
        QFETCH(QString, file);
        QFETCH(int, code);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        site->publish(QStringLiteral("twv2.vn"), "2.74\n-\ntwv2up.exe\n");
        site->publish(QStringLiteral("twv2up.exe"), "installer");
        qputenv("TALLYAID_VENDOR_URL", site->url(QStringLiteral("/twdownloads/setupbd.exe")).toUtf8());
        p.vanished << file; // removed by something else once the transfer has ended
        p.publisherCheckAnswer = Platform::PublisherCheck::Valid;
        TUpdateForm form;
        const Run run = press(form, mode, true);
        qunsetenv("TALLYAID_VENDOR_URL");
        QCOMPARE(run.code, code);
        QVERIFY(!run.closed);
        QVERIFY(p.opened.isEmpty());
    }

    void failureAfterTheDownloadShowsTheOperationsOwnCode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("code");
        QTest::newRow("installer") << runModeText(RunModeCode::UpdateV2) << int(ProblemCode::InstallerOtherError);
        QTest::newRow("BDE") << runModeText(RunModeCode::DatabaseEngine) << int(ProblemCode::DatabaseEngineFailed);
        QTest::newRow("TV") << runModeText(RunModeCode::RemoteSupport) << int(ProblemCode::RemoteSupportFailed);
    }
    void failureAfterTheDownloadShowsTheOperationsOwnCode() {
        QFETCH(QString, mode);
        QFETCH(int, code);
        PlatformScope scope;
        site->publish(QStringLiteral("twv2.vn"), "2.74\n-\ntwv2up.exe\n");
        site->publish(QStringLiteral("twv2up.exe"), "installer");
        qputenv("TALLYAID_VENDOR_URL", site->url(QStringLiteral("/twdownloads/setupbd.exe")).toUtf8());
        scope.platform.openFails = true;
        TUpdateForm form;
        const Run run = press(form, mode, true);
        qunsetenv("TALLYAID_VENDOR_URL");
        QCOMPARE(run.code, code);
        QVERIFY(!run.closed);
    }
};

QTEST_MAIN(LaunchTest)
#include "tst_launch.moc"
