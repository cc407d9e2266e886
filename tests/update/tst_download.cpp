#include "HostileFiles.h"
#include "RecordingPlatform.h"
#include "WhenModal.h"
#include "TestSite.h"
#include "platform/Error.h"
#include "update/ProgressFm.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace {
const QString kHeader = QStringLiteral("Details:\n  Secure Connection Established.");

// Runs DownloadFile and returns the raised message, or an empty text on success.
QString download(TUpdateForm& form, const QString& url, const QString& name) {
    try {
        form.DownloadFile(url, name);
    } catch (const TallyError& error) {
        return error.message();
    }
    return {};
}
} // namespace

class DownloadTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;
    PlatformScope* scope = nullptr;
    TUpdateForm* form = nullptr;
    RecordingPlatform& p() { return scope->platform; }

private slots:
    void initTestCase() {
        site = new TestSite;
        QVERIFY(site->isReady());
        site->publish(QStringLiteral("file.bin"), QByteArray(200000, 'x'));
        site->publish(QStringLiteral("small.bin"), QByteArray(1000, 's'));
    }
    void cleanupTestCase() { delete site; }
    void init() {
        scope = new PlatformScope;
        form = new TUpdateForm;
        form->ProgramFolder = p().folder;
        control<QLabel>(form, QStringLiteral("DetailsLabel"))->clear(); // as showing the window does
        form->limits.responseTimeoutMs = 1000;
        form->limits.connectTimeoutMs = 3000;
    }
    void cleanup() {
        QVERIFY2(!form->FDownloadInProgress, "every way out clears the in-progress flag");
        delete form;
        delete scope;
    }

    void failuresRaiseTheirMessageAndLeaveNoFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected"); // exact, or a prefix ending in ": "
        QTest::newRow("404") << "/_/status/404/x" << "twv2up.exe" << "HTTP error 404: Not Found";
        QTest::newRow("500") << "/_/status/500/x" << "twv2up.exe" << "HTTP error 500: Internal Server Error";
        QTest::newRow("204 is no file") << "/_/status/204/x" << "twv2up.exe" << "HTTP error 204: No Content";
        QTest::newRow("206 is no file") << "/_/status/206/x" << "twv2up.exe" << "HTTP error 206: Partial Content";
        QTest::newRow("redirect to a 404") << "/_/redirect/302/2/twdownloads/none.bin" << "twv2up.exe"
                                           << "HTTP error 404: Not Found";
        QTest::newRow("connection refused") << "@https://127.0.0.1:1/x" << "twv2up.exe"
                                            << "Network error downloading twv2up.exe: ";
        QTest::newRow("no response headers in time") << "/_/stallheaders" << "twv2up.exe"
                                                     << "Network error downloading twv2up.exe: ";
        QTest::newRow("no response headers in time after a redirect")
            << "/_/redirect/302/1/_/stallheaders" << "twv2up.exe" << "Network error downloading twv2up.exe: ";
        QTest::newRow("stall after the headers") << "/_/stall" << "twv2up.exe" << "Error downloading twv2up.exe: ";
        QTest::newRow("trickle slower than the time-out") << "/_/trickle/2500/4" << "twv2up.exe"
                                                          << "Error downloading twv2up.exe: ";
        QTest::newRow("body cut short") << "/_/short/100000/10" << "twv2up.exe" << "Error downloading twv2up.exe: ";
        QTest::newRow("redirect loop") << "/_/loop" << "twv2up.exe" << "Error downloading twv2up.exe: ";
        QTest::newRow("redirect to plain http") << "/_/tohttp/x" << "twv2up.exe" << "Error downloading twv2up.exe: ";
        QTest::newRow("plain http address") << "@http://127.0.0.1:9/x" << "twv2up.exe"
                                            << "Error downloading twv2up.exe: ";
        QTest::newRow("version file over 1 MiB") << "/_/large/1100000" << "twv2.vn" << "Error downloading twv2.vn: ";
        QTest::newRow("test version file over 1 MiB") << "/_/large/1100000/nolength" << "twvtest.vn"
                                                      << "Error downloading twvtest.vn: ";
        QTest::newRow("version file one byte over 1 MiB") << "/_/large/1048577" << "twv2.vn"
                                                          << "Error downloading twv2.vn: ";
        QTest::newRow("gzip transfer coding") << "/_/gzipte/50000000" << "twv2up.exe"
                                              << "Error downloading twv2up.exe: Unsupported transfer coding \"gzip\"";
        QTest::newRow("gzip transfer coding, header in lower case")
            << "/_/gzipte/50000000/transfer-encoding" << "twv2up.exe"
            << "Error downloading twv2up.exe: Unsupported transfer coding \"gzip\"";
        QTest::newRow("gzip transfer coding, header in mixed case")
            << "/_/gzipte/50000000/TRANSFER-encoding/chunked,%20GZip" << "twv2up.exe"
            << "Error downloading twv2up.exe: Unsupported transfer coding \"gzip\"";
        QTest::newRow("endless interim responses") << "/_/interim/1000/20/twdownloads/small.bin" << "twv2up.exe"
                                                   << "Error downloading twv2up.exe: ";
        QTest::newRow("endless body past the cap") << "/_/endless" << "twv2up.exe"
                                                   << "Error downloading twv2up.exe: The file is larger than 3000000 bytes";
        QTest::newRow("announced length past the cap") << "/_/large/3000001" << "twv2up.exe" << "Error downloading twv2up.exe: ";
        QTest::newRow("slow drip") << "/_/trickle/200/40" << "twv2up.exe"
                                   << "Network error downloading twv2up.exe: Fewer than 100 bytes a second over 1500 ms";
        // A burst fills the first window; the windows after it must each bring their own bytes.
        QTest::newRow("burst, then a drip") << "/_/burst/5000/300/20" << "twv2up.exe"
                                            << "Network error downloading twv2up.exe: Fewer than 100 bytes a second over 1500 ms";
    }
    void failuresRaiseTheirMessageAndLeaveNoFile() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        p().writeFile(name, "an older copy");
        const QString url = path.startsWith(u'@') ? path.mid(1) : site->url(path);
        form->limits.maxDownloadBytes = 3000000;
        form->limits.lowSpeedWindowMs = 1500;
        QElapsedTimer timer;
        timer.start();
        const QString message = download(*form, url, name);
        // The low-speed rule can only fail a window that has ended: the second one at the latest.
        const bool lowSpeed = expected.contains(QLatin1String("Fewer than"));
        const qint64 allowed = (lowSpeed ? 2 * form->limits.lowSpeedWindowMs : form->limits.responseTimeoutMs) + 2000;
        QVERIFY2(timer.elapsed() < allowed, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        QVERIFY2(!p().has("." + name + ".part"), "no partial file is left");
        if (expected.endsWith(QLatin1String(": "))) {
            QVERIFY2(message.startsWith(expected) && message.size() > expected.size(), qPrintable(message));
            QVERIFY2(!message.contains(u'\n'), "one-line message");
        } else {
            QCOMPARE(message, expected);
        }
        QVERIFY2(!p().has(name), "the partial file and the older copy are gone");
        QCOMPARE(site->plainHttpRequests(), 0);
    }

    void limitsThatAnHonestTransferStaysWithin() {
        // A version file of exactly 1 MiB, and a slow but steady link (about 5 KB/s).
        site->publish(QStringLiteral("steady.bin"), QByteArray(16384, 'k'));
        form->limits.lowSpeedWindowMs = 1500;
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/large/1048576")), "twv2.vn"), QString());
        QCOMPARE(QFileInfo(p().folder + "twv2.vn").size(), qint64(1048576));
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/slow/800/twdownloads/steady.bin")), "steady.bin"), QString());
        QCOMPARE(p().read("steady.bin"), QByteArray(16384, 'k'));
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/interim/5/20/twdownloads/steady.bin")), "interim.bin"),
                 QString());
        QCOMPARE(p().read("interim.bin"), QByteArray(16384, 'k'));
    }

    void versionFileEndsWithinItsDeadlineWhateverTheServerDoes() {
        site->publish(QStringLiteral("drip.vn"), QByteArray(40960, 'v')); // ten blocks, 300 ms apart
        form->limits.versionFileDeadlineMs = 1500;
        QElapsedTimer timer;
        timer.start();
        const QString message = download(*form, site->url(QStringLiteral("/_/slow/300/twdownloads/drip.vn")), "twv2.vn");
        QVERIFY2(message.startsWith(QLatin1String("Network error downloading twv2.vn: ")), qPrintable(message));
        QVERIFY2(timer.elapsed() < 2800, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        QVERIFY(!p().has("twv2.vn"));
        // Other files have no deadline: the same drip completes.
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/slow/300/twdownloads/drip.vn")), "drip.bin"), QString());
        // But their bodies have a floor, which a window too short for this drip shows.
        form->limits.bodyFloorWindowMs = 1500;
        timer.restart();
        const QString belowFloor = download(*form, site->url(QStringLiteral("/_/slow/300/twdownloads/drip.vn")), "twv2up.exe");
        QVERIFY2(belowFloor.startsWith(QLatin1String("Error downloading twv2up.exe: ")), qPrintable(belowFloor));
        QVERIFY2(timer.elapsed() < 2800, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        QVERIFY(!p().has("twv2up.exe"));
    }

    void certificateForAnotherHostIsRejected() {
        const QString message = download(*form, site->wrongNameUrl(QStringLiteral("/twdownloads/small.bin")), "small.bin");
        QVERIFY2(message.startsWith(QLatin1String("Error downloading small.bin: ")), qPrintable(message));
        QVERIFY(!p().has("small.bin"));
    }

    void linkAtTheFinalNameIsReplacedNeverWrittenThrough() {
        QTemporaryDir outside;
        const QString precious = outside.filePath(QStringLiteral("precious.db"));
        for (const QString& path : {QStringLiteral("/_/status/404/x"), QStringLiteral("/twdownloads/small.bin")}) {
            QFile target(precious);
            QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
            target.write("payroll data");
            target.close();
            QFile::remove(p().folder + "setupbd.exe");
#ifdef _WIN32 // no symbolic links for a standard user: a second name of the file instead
            QVERIFY(makeHardLink(precious, p().folder + "setupbd.exe"));
#else
            QVERIFY(QFile::link(precious, p().folder + "setupbd.exe"));
#endif
            const bool ok = download(*form, site->url(path), "setupbd.exe").isEmpty();
            QFile check(precious);
            QVERIFY(check.open(QIODevice::ReadOnly));
            QCOMPARE(check.readAll(), QByteArray("payroll data"));
            QVERIFY(!QFileInfo(p().folder + "setupbd.exe").isSymLink());
            QCOMPARE(p().has("setupbd.exe"), ok);
        }
        QCOMPARE(p().read("setupbd.exe"), QByteArray(1000, 's'));
    }

    void partialFileNeverTakesTheRealName() {
        // A leftover of a killed run is cleared; a cut-short body whose partial file will not
        // go leaves nothing under the real name.
        p().writeFile(".twv2up.exe.part", "left by a killed run");
        QCOMPARE(download(*form, site->url(QStringLiteral("/twdownloads/file.bin")), "twv2up.exe"), QString());
        QVERIFY(!p().has(".twv2up.exe.part"));
        p().undeletable << QStringLiteral(".twv2up.exe.part");
        const QString message = download(*form, site->url(QStringLiteral("/_/short/100000/10")), "twv2up.exe");
        QVERIFY2(message.startsWith(QLatin1String("Error downloading twv2up.exe: ")), qPrintable(message));
        QVERIFY2(!p().has("twv2up.exe"), "neither the cut-short body nor the older copy");
#ifndef _WIN32 // Windows deletes it through the handle that wrote it, which nothing refuses
        QCOMPARE(p().read(".twv2up.exe.part"), QByteArray(10, 's'));
#endif
    }

    void slowTransferThatNeverFallsSilentSucceeds() {
        // Longer in total than the response time-out, but no gap between bytes reaches it.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/trickle/300/7")), "slow.bin"), QString());
        QVERIFY(timer.elapsed() > form->limits.responseTimeoutMs);
        QCOMPARE(p().read("slow.bin"), QByteArray(7, 't'));
    }

    void certificateFromAnUnknownAuthorityIsRejected() {
        qunsetenv("TALLYAID_CA_FILE");
        const QString message = download(*form, site->url(QStringLiteral("/twdownloads/small.bin")), "small.bin");
        qputenv("TALLYAID_CA_FILE", site->caFile().toUtf8());
        QVERIFY2(message.startsWith(QLatin1String("Error downloading small.bin: ")), qPrintable(message));
        QVERIFY(!p().has("small.bin"));
    }

    void failureWritingTheFileIsAnErrorAndTheFileIsRemoved() {
#ifdef _WIN32
        QSKIP("Windows has no file-size limit for a process to make a write fail");
#else
        // A file-size limit on this process makes the write past it fail (EFBIG).
        struct rlimit old {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = old;
        limit.rlim_cur = 50000;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const QString message = download(*form, site->url(QStringLiteral("/twdownloads/file.bin")), "full.bin");
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QVERIFY2(message.startsWith(QLatin1String("Error downloading full.bin: ")), qPrintable(message));
        QVERIFY(!p().has("full.bin") && !p().has(".full.bin.part"));
#endif
    }

    void fileThatCannotBeCreatedPassesTheSystemErrorAndStays() {
        QDir(p().folder).mkdir(QStringLiteral("setupbd.exe")); // cannot be opened for writing, even by root
        const QString message = download(*form, site->url(QStringLiteral("/twdownloads/file.bin")), "setupbd.exe");
        QVERIFY(!message.isEmpty());
        QVERIFY2(!message.startsWith(QLatin1String("Error downloading")) && !message.startsWith(QLatin1String("Network")),
                 qPrintable(message));
        QVERIFY(QFileInfo(p().folder + "setupbd.exe").isDir());
    }

    void nameThatIsNotAPlainFileNameWritesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folder") << "../escaped.bin";
        QTest::newRow("absolute") << "/tmp/escaped.bin";
        QTest::newRow("backslash") << "..\\escaped.bin";
        QTest::newRow("empty") << "";
    }
    void nameThatIsNotAPlainFileNameWritesNothing() {
        QFETCH(QString, name);
        const QDir parent = QDir(p().folder + "..");
        const QStringList before = parent.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QString message = download(*form, site->url(QStringLiteral("/twdownloads/small.bin")), name);
        QVERIFY2(message.startsWith(QStringLiteral("Error downloading %1: ").arg(name)), qPrintable(message));
        QCOMPARE(parent.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(QDir(p().folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void redirectChainsGiveTheCompleteFile_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("times"); // each transfer on a worker thread that then ends
        QTest::newRow("301") << 301 << 1;
        QTest::newRow("302") << 302 << 1;
        QTest::newRow("307") << 307 << 1;
        QTest::newRow("302, forty times in a row") << 302 << 40;
    }
    void redirectChainsGiveTheCompleteFile() {
        QFETCH(int, code);
        QFETCH(int, times);
        const QString url = site->url(QStringLiteral("/_/redirect/%1/3/twdownloads/file.bin").arg(code));
        QString name;
        for (int i = 0; i < times; ++i) // names of no program of ours are never replaced
            QCOMPARE(download(*form, url, name = QStringLiteral("file%1.bin").arg(i)), QString());
        QCOMPARE(p().read(name), QByteArray(200000, 'x'));
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->maximum(), 200000);
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->value(), 200000);
    }

    void noAnnouncedLengthLeavesTheBarAlone() {
        control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->setMaximum(77);
        control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->setValue(33);
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/nolength/twdownloads/file.bin")), "file.bin"), QString());
        QCOMPARE(p().read("file.bin").size(), 200000);
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->maximum(), 77);
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->value(), 33);
    }

    void progressRecordRules_data() {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<qint64>("read");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::newRow("announced") << qint64(1000) << qint64(250) << 1000 << 250;
        QTest::newRow("first report") << qint64(1000) << qint64(0) << 1000 << 0;
        QTest::newRow("none announced") << qint64(-1) << qint64(250) << 77 << 33;
        QTest::newRow("zero announced") << qint64(0) << qint64(250) << 77 << 33;
        QTest::newRow("2 GiB") << qint64(2147483648LL) << qint64(250) << 77 << 33;
        QTest::newRow("largest int") << qint64(2147483647LL) << qint64(250) << 2147483647 << 250;
    }
    void progressRecordRules() {
        QFETCH(qint64, length);
        QFETCH(qint64, read);
        QFETCH(int, maximum);
        QFETCH(int, value);
        control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->setMaximum(77);
        control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->setValue(33);
        form->FCancelled = true;
        QVERIFY2(form->NetHTTPClientReceiveData(length, read), "the abort answer is FCancelled");
        form->FCancelled = false;
        QVERIFY(!form->NetHTTPClientReceiveData(length, read));
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->maximum(), maximum);
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->value(), value);
    }

    void firstReportStartsTheBarFromZero() {
        QCOMPARE(download(*form, site->url(QStringLiteral("/twdownloads/small.bin")), "small.bin"), QString());
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->value(), 1000); // full
        QList<int> values;
        connect(control<QProgressBar>(form, QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged, form, [&](int v) { values << v; });
        QCOMPARE(download(*form, site->url(QStringLiteral("/twdownloads/file.bin")), "file.bin"), QString());
        QVERIFY(!values.isEmpty());
        values.removeAll(-1); // a reset when the maximum shrinks
        QCOMPARE(values.first(), 0);
        QCOMPARE(values.last(), 200000);
    }

    void windowStaysAliveDuringATransfer() {
        site->publish(QStringLiteral("slow.bin"), QByteArray(40960, 'w'));
        int valuesWhileRunning = 0;
        int timerTicks = 0;
        connect(control<QProgressBar>(form, QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged, form, [&](int v) {
            if (form->FDownloadInProgress && v > 0)
                ++valuesWhileRunning;
        });
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { timerTicks += form->FDownloadInProgress; });
        ticker.start(20);
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/slow/60/twdownloads/slow.bin")), "slow.bin"), QString());
        QVERIFY2(valuesWhileRunning >= 2, "the bar moves while the transfer runs");
        QVERIFY2(timerTicks >= 2, "the UI thread's event loop runs during the transfer");
    }

    void closeIsRefusedWhileTheTransferRuns() {
        site->publish(QStringLiteral("slow.bin"), QByteArray(40960, 'w'));
        form->show();
        int refusals = 0;
        connect(control<QProgressBar>(form, QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged, form, [&](int v) {
            if (v > 0 && form->FDownloadInProgress) {
                form->close();
                refusals += form->isVisible();
            }
        });
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/slow/40/twdownloads/slow.bin")), "slow.bin"), QString());
        QVERIFY(refusals > 0);
        QVERIFY(form->isVisible());
        QCOMPARE(p().read("slow.bin").size(), 40960);
        form->close();
        QVERIFY2(!form->isVisible(), "once the download has returned the window closes");
    }

    void progressUpdatesAreCoalesced() {
        int updates = 0;
        connect(control<QProgressBar>(form, QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged, form, [&] { ++updates; });
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/large/30000000")), "big.bin"), QString());
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(QFileInfo(p().folder + "big.bin").size(), qint64(30000000));
        QCOMPARE(control<QProgressBar>(form, QStringLiteral("ProgressBar1"))->value(), 30000000);
        QVERIFY2(updates <= elapsed / 50 + 4, qPrintable(QStringLiteral("%1 updates in %2 ms").arg(updates).arg(elapsed)));
    }

    void cancelDuringATransferStopsAndDeletes() {
        site->publish(QStringLiteral("slow.bin"), QByteArray(40960, 'w'));
        connect(control<QProgressBar>(form, QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged, form, [&](int v) {
            if (v > 0)
                form->FCancelled = true;
        });
        QElapsedTimer timer;
        timer.start();
        const QString message = download(*form, site->url(QStringLiteral("/_/slow/100/twdownloads/slow.bin")), "slow.bin");
        QCOMPARE(message, QStringLiteral("Download cancelled by user."));
        QVERIFY2(timer.elapsed() < 900, "stops after the block in progress, not at the end");
        QVERIFY(!p().has("slow.bin"));
    }

    void cancelBeforeTheCallHasNoEffect() {
        form->FCancelled = true;
        QCOMPARE(download(*form, site->url(QStringLiteral("/twdownloads/small.bin")), "small.bin"), QString());
        QVERIFY(!form->FCancelled);
        QCOMPARE(p().read("small.bin").size(), 1000);
    }

    void fromSiteUsesTheDownloadFolderAndEscapesTheName() {
        site->publish(QStringLiteral("a b#1.bin"), "escaped");
        form->DownloadFromSite(QStringLiteral("a b#1.bin"), QStringLiteral("local.bin"));
        QCOMPARE(p().read("local.bin"), QByteArray("escaped"));
    }

    void detailsListTheFilesInCallOrder() {
        QCOMPARE(download(*form, site->url(QStringLiteral("/twdownloads/small.bin")), "small.bin"), QString());
        QCOMPARE(download(*form, site->url(QStringLiteral("/_/status/404/x")), "missing.bin"),
                 QStringLiteral("HTTP error 404: Not Found"));
        QCOMPARE(control<QLabel>(form, QStringLiteral("DetailsLabel"))->text(), kHeader + "\n  small.bin\n  missing.bin");
    }

    void blankDetailsRestartWithTheHeader() {
        control<QLabel>(form, QStringLiteral("DetailsLabel"))->setText(QStringLiteral("  \n \t "));
        form->ShowDetails(QStringLiteral("twv2.vn"));
        QCOMPARE(control<QLabel>(form, QStringLiteral("DetailsLabel"))->text(), kHeader + "\n  twv2.vn");
        control<QLabel>(form, QStringLiteral("DetailsLabel"))->setText(QStringLiteral("\n\nCancelled.\n"));
        form->ShowDetails(QStringLiteral("x"));
        QCOMPARE(control<QLabel>(form, QStringLiteral("DetailsLabel"))->text(), QStringLiteral("Cancelled.\n  x"));
    }
};

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
