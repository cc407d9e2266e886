// The life of a fetched file without any window: each failure point against what is left in
// the folder and what would be started.
#include "HostileFiles.h"
#include "platform/FileOps.h"
#include "RecordingPlatform.h"
#include "TestKeys.h"
#include "TestSite.h"
#include "trust/FileNames.h"
#include "fetch/Resume.h"
#include "trust/Signature.h"
#include "fetch/StagedDownload.h"

#include <QtTest>

#include <memory>
#include <optional>
#include <thread>

#ifndef _WIN32 // Windows flushes with FlushFileBuffers, which a test cannot stand in for
#include <sys/syscall.h>
#include <unistd.h>

// The program's flush, standing in for the system's: notes whether the file's real name was
// already taken when it ran, and fails when told to.
namespace flush {
QString realName;
bool fails = false, sawRealName = false;
} // namespace flush
extern "C" int fdatasync(int fd) {
    if (!flush::realName.isEmpty() && QFileInfo(flush::realName).exists())
        flush::sawRealName = true;
    if (flush::fails) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_fdatasync, fd));
}
#endif

namespace {
using Outcome = StagedDownload::Outcome;

// Transfers on the calling thread; `afterBody` runs once the program's body is in.
StagedDownload::Transport directTransport(std::function<void()> afterBody = {}) {
    return [afterBody](const QString& url, const HttpsTransfer::Settings& settings, HttpsTransfer::Sink& sink,
                       bool program) {
        HttpsTransfer client(settings);
        const HttpsTransfer::Result result = client.get(url, sink, {});
        if (program && afterBody)
            afterBody();
        return result;
    };
}
// Transfers on the calling thread, showing a program's progress to `onProgress`, whose
// answer stops the transfer as the window's cancel would.
StagedDownload::Transport progressTransport(std::function<bool(qint64 length, qint64 read)> onProgress) {
    return [onProgress](const QString& url, const HttpsTransfer::Settings& settings, HttpsTransfer::Sink& sink,
                        bool program) {
        HttpsTransfer client(settings);
        return client.get(url, sink, [&](std::int64_t length, std::int64_t read) {
            return program && onProgress(length, read);
        });
    };
}
} // namespace

class StagedDownloadTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;
    QTemporaryDir keys;
    QByteArray makerKey, makerPublic, otherKey;
    QByteArray program; // over 1 MiB, so a digest of the first MiB alone would not do

    StagedDownload::Plan planFor(const QString& folder, const QString& name, const QString& path) const {
        StagedDownload::Plan plan;
        plan.folder = folder;
        plan.name = name;
        plan.url = path.startsWith(u'@') ? path.mid(1) : site->url(path);
        plan.settings.extraCaFile = site->caFile();
        plan.settings.responseTimeoutMs = 2000;
        plan.settings.maxBodyBytes = 3000000;
        plan.signatureSettings = plan.settings;
        plan.signatureSettings.totalTimeoutMs = 800;
        return plan;
    }

private slots:
    void initTestCase() {
        site = new TestSite;
        QVERIFY(site->isReady());
        QString makerPath, otherPath;
        makerKey = makeKey(keys.path(), QStringLiteral("maker"), &makerPath);
        otherKey = makeKey(keys.path(), QStringLiteral("other"), &otherPath);
        QFile makerFile(makerPath);
        QVERIFY(makerFile.open(QIODevice::ReadOnly));
        makerPublic = makerFile.readAll();
        QVERIFY(!makerKey.isEmpty() && !otherKey.isEmpty());
        program.resize(1536 * 1024);
        for (quint32 i = 0; i < quint32(program.size()); ++i)
            program[i] = char((i * 7919u) >> 5);
        site->publish(QStringLiteral("prog.exe"), program);
        QByteArray flipped = program;
        flipped[1024 * 1024 + 4321] = char(flipped[1024 * 1024 + 4321] ^ 1);
        site->publish(QStringLiteral("flipped.exe"), flipped);
    }
    void cleanupTestCase() { delete site; }

    void eachFailurePointEndsAsItShould_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");      // served body; "@" for a full address
        QTest::addColumn<QString>("signature"); // "" no key; good, wrong key, missing, slow, lower-case name
        QTest::addColumn<QString>("before");    // what the folder holds before
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("left");      // under the real name afterwards: new, old, theirs, none, folder

        const QString prog = QStringLiteral("/twdownloads/prog.exe");
        const QString name = FileName::InstallerV2;
        QTest::newRow("whole, no key") << name << prog << "" << "" << int(Outcome::Named) << "new";
        QTest::newRow("plan at its defaults, cut once") << name << "/_/ranges/ok/defaults/200000/1/twdownloads/prog.exe"
                                                        << "" << "" << int(Outcome::TransferFailure) << "none";
#ifndef _WIN32 // the flush stands in for fdatasync; the named file is held unshared on Windows
        QTest::newRow("flush fails") << name << prog << "" << "failing flush" << int(Outcome::TransferFailure)
                                     << "none";
        QTest::newRow("another file swapped in under the real name once named")
            << name << prog << "" << "swapped once named" << int(Outcome::Named) << "theirs";
        QTest::newRow("another file renamed over the part file mid-body")
            << name << prog << "" << "part replaced" << int(Outcome::NotNamed) << "none";
#endif
        QTest::newRow("earlier copy replaced") << FileName::DatabaseEngineSetup << prog << "" << "old"
                                               << int(Outcome::Named) << "new";
        QTest::newRow("transfer fails, earlier copy removed")
            << name << "/_/short/100000/10" << "" << "old" << int(Outcome::TransferFailure) << "none";
        QTest::newRow("transfer fails, undeletable earlier copy stays")
            << name << "/_/short/100000/10" << "" << "old undeletable" << int(Outcome::TransferFailure) << "old";
        QTest::newRow("status 404") << name << "/_/status/404/x" << "" << "old" << int(Outcome::HttpStatus) << "none";
        QTest::newRow("no connection") << name << "@https://127.0.0.1:1/x" << "" << ""
                                       << int(Outcome::NetworkFailure) << "none";
        QTest::newRow("over the cap") << name << "/_/large/3000001" << "" << "" << int(Outcome::TransferFailure)
                                      << "none";
        QTest::newRow("good signature") << name << prog << "good" << "old" << int(Outcome::Named) << "new";
        QTest::newRow("signature missing") << name << prog << "missing" << "old" << int(Outcome::SignatureRefused)
                                           << "none";
        QTest::newRow("signature by another key") << name << prog << "wrong key" << "" << int(Outcome::SignatureRefused)
                                                  << "none";
        QTest::newRow("signature too slow") << name << prog << "slow" << "" << int(Outcome::SignatureRefused) << "none";
        QTest::newRow("byte flipped after the first MiB")
            << name << "/twdownloads/flipped.exe" << "good" << "" << int(Outcome::SignatureRefused) << "none";
        QTest::newRow("upper-case name, its own signature") << "TWV2UP.EXE" << prog << "good" << ""
                                                            << int(Outcome::Named) << "new";
        QTest::newRow("upper-case name, signed for lower case")
            << "TWV2UP.EXE" << prog << "lower-case name" << "" << int(Outcome::SignatureRefused) << "none";
        QTest::newRow("bad signature, undeletable earlier copy stays")
            << name << prog << "wrong key" << "old undeletable" << int(Outcome::SignatureRefused) << "old";
        QTest::newRow("rename fails") << name << prog << "good" << "folder appears" << int(Outcome::NotNamed)
                                      << "folder";
        QTest::newRow("another program under the name") << "Tallywick.exe" << prog << "" << "theirs"
                                                        << int(Outcome::NameRefused) << "theirs";
#ifndef _WIN32 // no symbolic links for a standard user on Windows
        QTest::newRow("a user's link under the name") << "Payroll.exe" << prog << "" << "their link"
                                                      << int(Outcome::NameRefused) << "theirs";
        QTest::newRow("a user's dangling link under the name") << "Payroll.exe" << prog << "" << "their dangling link"
                                                               << int(Outcome::NameRefused) << "theirs";
#endif
        QTest::newRow("another run holds the part file") << name << prog << "" << "part held"
                                                         << int(Outcome::HeldByAnotherRun) << "none";
        QTest::newRow("leftover part file cleared") << name << prog << "" << "part leftover" << int(Outcome::Named)
                                                    << "new";
#ifndef _WIN32 // no symbolic links for a standard user on Windows
        QTest::newRow("link at the part name cleared") << name << prog << "" << "part link" << int(Outcome::Named)
                                                       << "new";
        QTest::newRow("undeletable link at the part name")
            << name << prog << "" << "part link undeletable" << int(Outcome::NotCreated) << "none";
#endif
    }
    void eachFailurePointEndsAsItShould() {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(QString, signature);
        QFETCH(QString, before);
        QFETCH(int, outcome);
        QFETCH(QString, left);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QString part = partialFileName(name);
        QTemporaryDir outside;
        const QString precious = outside.filePath(QStringLiteral("precious.db"));
        QFile preciousFile(precious);
        QVERIFY(preciousFile.open(QIODevice::WriteOnly));
        preciousFile.write("payroll data");
        preciousFile.close();

        if (before.startsWith(QLatin1String("old")))
            p.writeFile(name, "old");
        if (before == QLatin1String("old undeletable"))
            p.undeletable << name;
        if (before == QLatin1String("theirs"))
            p.writeFile(name, "theirs");
        if (before == QLatin1String("their link"))
            QVERIFY(QFile::link(precious, p.folder + name));
        if (before == QLatin1String("their dangling link"))
            QVERIFY(QFile::link(outside.filePath(QStringLiteral("gone.db")), p.folder + name));
        std::optional<HeldFile> held;
        if (before == QLatin1String("part held")) {
            p.writeFile(part, "another run's bytes");
            held.emplace(p.folder + part);
            QVERIFY(held->isHeld());
        }
        if (before == QLatin1String("part leftover"))
            p.writeFile(part, "left by a killed run");
        if (before.startsWith(QLatin1String("part link")))
            QVERIFY(QFile::link(precious, p.folder + part));
        if (before == QLatin1String("part link undeletable"))
            p.undeletable << part;

        StagedDownload::Plan plan = planFor(p.folder, name, path);
        if (!signature.isEmpty()) {
            plan.key = makerPublic;
            const QString sigName = QStringLiteral("sig-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
            plan.signatureUrl = site->url(QStringLiteral("/twdownloads/") + sigName);
            if (signature == QLatin1String("good"))
                site->publish(sigName, signatureFor(makerKey, name, program));
            else if (signature == QLatin1String("wrong key"))
                site->publish(sigName, signatureFor(otherKey, name, program));
            else if (signature == QLatin1String("lower-case name"))
                site->publish(sigName, signatureFor(makerKey, name.toLower(), program));
            else if (signature == QLatin1String("slow"))
                plan.signatureUrl = site->url(QStringLiteral("/_/held/never.sig"));
        }
        const auto afterBody = [&] {
            if (before == QLatin1String("folder appears")) // too late for the name check, in time to block the rename
                QVERIFY(QDir(p.folder).mkpath(name + QStringLiteral("/inside")));
            QString error;
            if (before == QLatin1String("part replaced")) {
                p.writeFile(QStringLiteral("theirs.part"), "theirs");
                QVERIFY(replaceFile(p.folder + QStringLiteral("theirs.part"), p.folder + part, &error));
            }
        };
        plan.keepBytes = program.size();
        StagedDownload fetch(plan, directTransport(afterBody), [] { return false; });
#ifndef _WIN32
        // Where nothing had the name, it must still be free when the flush runs.
        flush::realName = before.isEmpty() || before == QLatin1String("failing flush") ? p.folder + name : QString();
        flush::fails = before == QLatin1String("failing flush");
        flush::sawRealName = false;
#endif
        QCOMPARE(int(fetch.run()), outcome);
#ifndef _WIN32
        flush::realName.clear();
        QVERIFY2(!flush::sawRealName, "the file is flushed before it takes its name");
#endif
        QCOMPARE(fetch.failureText().isEmpty(), outcome == int(Outcome::Named));
        QVERIFY2(outcome == int(Outcome::Named) ? fetch.fetchedBytes() == program : !fetch.fetchedBytes(),
                 "the bytes kept are the ones fetched, and only of a named file");
        if (before == QLatin1String("swapped once named")) {
            p.writeFile(QStringLiteral("theirs.exe"), "theirs");
            QString error;
            QVERIFY2(replaceFile(p.folder + QStringLiteral("theirs.exe"), p.folder + name, &error),
                     qPrintable(error));
        }

        QStringList started;
        QByteArray startedBytes;
        const bool handedOver = fetch.startNamed([&](const QString& startedName, int) {
            started << startedName;
            startedBytes = p.read(startedName);
        });
        QCOMPARE(handedOver, !started.isEmpty());
        const bool startable = outcome == int(Outcome::Named) && left == QLatin1String("new");
        QCOMPARE(started, startable ? QStringList{name} : QStringList{});
        if (!started.isEmpty())
            QVERIFY2(startedBytes == program, "only the whole, checked file is handed over");

        const QFileInfo real(p.folder + name);
        if (left == QLatin1String("new"))
            QVERIFY(p.read(name) == program);
        else if (left == QLatin1String("old"))
            QCOMPARE(p.read(name), QByteArray("old"));
        else if (left == QLatin1String("theirs"))
            QVERIFY(real.isSymLink() || p.read(name) == "theirs");
        else if (left == QLatin1String("folder"))
            QVERIFY(real.isDir());
        else
            QVERIFY2(!real.exists() && !real.isSymLink(), "nothing under the real name");
        QCOMPARE(preciousFile.open(QIODevice::ReadOnly) ? preciousFile.readAll() : QByteArray(), QByteArray("payroll data"));

        if (held) {
            held->release(); // on Windows nobody else may even read it while it is held
            QCOMPARE(p.read(part), QByteArray("another run's bytes"));
        } else if (before == QLatin1String("part link undeletable")) {
            QVERIFY(QFileInfo(p.folder + part).isSymLink());
        } else if (before == QLatin1String("part replaced")) {
            QCOMPARE(p.read(part), QByteArray("theirs")); // theirs, left alone
        } else {
            QVERIFY2(!QFileInfo(p.folder + part).exists(), "no part file is left");
        }
    }

    void signatureHeldBackLeavesNothingUnderTheRealName() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QString name = FileName::InstallerV2;
        site->publish(QStringLiteral("held.sig"), signatureFor(makerKey, name, program));
        StagedDownload::Plan plan = planFor(p.folder, name, QStringLiteral("/twdownloads/prog.exe"));
        plan.key = makerPublic;
        plan.signatureUrl = site->url(QStringLiteral("/_/held/twdownloads/held.sig"));
        plan.signatureSettings.totalTimeoutMs = 30000;
        const int before = fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt();
        StagedDownload fetch(plan, directTransport(), [] { return false; });
        Outcome outcome = Outcome::NotRun;
        std::thread worker([&] { outcome = fetch.run(); });
        QTRY_VERIFY_WITH_TIMEOUT(fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt() > before,
                                 20000);
        QVERIFY2(!QFileInfo::exists(p.folder + name), "unchecked bytes never sit under the real name");
        QVERIFY(QFileInfo::exists(p.folder + partialFileName(name)));
        site->publish(QStringLiteral("held.sig.release"), "");
        worker.join();
        QCOMPARE(int(outcome), int(Outcome::Named));
        QVERIFY(p.read(name) == program);
    }

    void dropsAreContinuedOrFailAsBefore_data() {
        QTest::addColumn<QString>("kind");     // the site's way with ranges
        QTest::addColumn<int>("cuts");         // program requests cut short
        QTest::addColumn<bool>("sigCut");      // the signature's own request cut short
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("requests");     // program requests the site saw
        QTest::addColumn<int>("sigFetches");
        QTest::newRow("no drop") << "ok" << 0 << false << int(Outcome::Named) << 1 << 1;
        QTest::newRow("cut once mid-body") << "ok" << 1 << false << int(Outcome::Named) << 2 << 1;
        QTest::newRow("cut three times") << "ok" << 3 << false << int(Outcome::Named) << 4 << 1;
        QTest::newRow("cut four times") << "ok" << 4 << false << int(Outcome::TransferFailure) << 4 << 0;
        QTest::newRow("Last-Modified as the only validator") << "lastmodified" << 2 << false << int(Outcome::Named)
                                                             << 3 << 1;
        QTest::newRow("server without ranges") << "noranges" << 1 << false << int(Outcome::TransferFailure) << 1 << 0;
        QTest::newRow("ETag changed between the tries") << "newetag" << 1 << false << int(Outcome::TransferFailure)
                                                        << 2 << 0;
        QTest::newRow("206 at the wrong offset") << "wrongoffset" << 1 << false << int(Outcome::TransferFailure) << 2
                                                 << 0;
        QTest::newRow("200 in answer to the range") << "fullanswer" << 1 << false << int(Outcome::TransferFailure)
                                                    << 2 << 0;
        QTest::newRow("206 without the ETag it was asked under") << "dropetag" << 1 << false
                                                                 << int(Outcome::TransferFailure) << 2 << 0;
        QTest::newRow("206 under another Last-Modified") << "newmodified" << 1 << false
                                                         << int(Outcome::TransferFailure) << 2 << 0;
        QTest::newRow("chunked 206 short of the total") << "shortchunked" << 1 << false
                                                        << int(Outcome::TransferFailure) << 2 << 0;
        QTest::newRow("chunked 206 past the total") << "longchunked" << 1 << false << int(Outcome::TransferFailure)
                                                    << 2 << 0;
        QTest::newRow("drop inside the signature fetch") << "ok" << 0 << true << int(Outcome::SignatureRefused) << 1
                                                         << 1;
    }
    void dropsAreContinuedOrFailAsBefore() {
        QFETCH(QString, kind);
        QFETCH(int, cuts);
        QFETCH(bool, sigCut);
        QFETCH(int, outcome);
        QFETCH(int, requests);
        QFETCH(int, sigFetches);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QString name = FileName::InstallerV2;
        const QString key = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        const QString sigName = QStringLiteral("drop-") + key + QStringLiteral(".sig");
        site->publish(sigName, signatureFor(makerKey, name, program));

        StagedDownload::Plan plan = planFor(
            p.folder, name,
            QStringLiteral("/_/ranges/%1/%2/200000/%3/twdownloads/prog.exe").arg(kind, key).arg(cuts));
        plan.key = makerPublic;
        plan.signatureUrl = site->url(sigCut ? QStringLiteral("/_/ranges/ok/%1-sig/10/1/twdownloads/%2").arg(key, sigName)
                                             : QStringLiteral("/twdownloads/") + sigName);
        plan.resumeTries = TransferLimits::ResumeTries;
        plan.resumePauseMs = 5;
        QList<int> pauses;
        plan.pause = [&](int ms) { pauses << ms; };
        // The progress the window would show, across every try.
        QList<QPair<qint64, qint64>> progress;
        const StagedDownload::Transport transport = progressTransport([&](qint64 length, qint64 read) {
            progress << qMakePair(length, read);
            return false;
        });
        const int sigBefore = fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt();
        StagedDownload fetch(plan, transport, [] { return false; });
        QCOMPARE(int(fetch.run()), outcome);

        QCOMPARE(fetchBody(site->url(QStringLiteral("/_/requests/") + key), site->caFile()).toInt(), requests);
        QCOMPARE(fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt() - sigBefore, sigFetches);
        QCOMPARE(fetch.continuations(), requests - 1);
        QCOMPARE(pauses.size(), requests - 1);
        for (int i = 1; i < pauses.size(); ++i)
            QVERIFY2(pauses[i] > pauses[i - 1], "each pause is longer than the one before");
        QVERIFY2(!QFileInfo::exists(p.folder + partialFileName(name)), "no part file is left");
        for (const auto& [length, read] : progress)
            QVERIFY2(read <= qint64(program.size()), "nothing is taken past the file's end");
        if (outcome == int(Outcome::Named)) {
            QVERIFY2(p.read(name) == program, "the continued file is byte-identical");
            QVERIFY(!progress.isEmpty());
            for (int i = 0; i < progress.size(); ++i) {
                QCOMPARE(progress[i].first, qint64(program.size()));
                if (i > 0)
                    QVERIFY2(progress[i].second >= progress[i - 1].second, "the bar never goes back");
            }
            QCOMPARE(progress.last().second, qint64(program.size()));
        } else {
            QVERIFY2(!QFileInfo::exists(p.folder + name), "nothing under the real name");
        }
    }

    void continuationIsJudged_data() {
        // The first response: 200 of 1000 bytes; 400 are held when the answer comes.
        QTest::addColumn<QByteArray>("acceptRanges");
        QTest::addColumn<QByteArray>("etag");
        QTest::addColumn<QByteArray>("lastModified");
        QTest::addColumn<int>("status");          // the answer's
        QTest::addColumn<QByteArray>("contentRange");
        QTest::addColumn<QByteArray>("answerEtag");
        QTest::addColumn<QByteArray>("validator"); // "" when the first cannot be continued
        QTest::addColumn<qint64>("answerLength");  // its Content-Length; -1 when it sent none
        QTest::addColumn<bool>("accepted");
        const QByteArray lm = "Tue, 01 Dec 2026 10:00:00 GMT";
        const QByteArray rest = "bytes 400-999/1000";
        const qint64 none = -1;
        QTest::newRow("ETag, the rest") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206 << rest
                                        << QByteArray("\"a\"") << QByteArray("\"a\"") << none << true;
        QTest::newRow("Last-Modified only") << QByteArray("bytes") << QByteArray() << lm << 206 << rest << QByteArray()
                                            << lm << none << true;
        QTest::newRow("weak ETag falls back to Last-Modified")
            << QByteArray("bytes") << QByteArray("W/\"a\"") << lm << 206 << rest << QByteArray() << lm << none << true;
        QTest::newRow("weak ETag alone") << QByteArray("bytes") << QByteArray("W/\"a\"") << QByteArray() << 206 << rest
                                         << QByteArray() << QByteArray() << none << false;
        QTest::newRow("no validator") << QByteArray("bytes") << QByteArray() << QByteArray() << 206 << rest
                                      << QByteArray() << QByteArray() << none << false;
        QTest::newRow("ranges not advertised") << QByteArray() << QByteArray("\"a\"") << lm << 206 << rest
                                               << QByteArray("\"a\"") << QByteArray() << none << true;
        QTest::newRow("Accept-Ranges: none") << QByteArray("none") << QByteArray("\"a\"") << lm << 206 << rest
                                             << QByteArray("\"a\"") << QByteArray() << none << true;
        QTest::newRow("ETag left out of the answer") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206 << rest
                                                     << QByteArray() << QByteArray("\"a\"") << none << false;
        QTest::newRow("weak form of the ETag in the answer") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206
                                                             << rest << QByteArray("W/\"a\"") << QByteArray("\"a\"")
                                                             << none << false;
        QTest::newRow("200 to the range") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 200 << QByteArray()
                                          << QByteArray("\"a\"") << QByteArray("\"a\"") << none << false;
        QTest::newRow("starts early") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206
                                      << QByteArray("bytes 399-999/1000") << QByteArray() << QByteArray("\"a\"")
                                      << none << false;
        QTest::newRow("starts late") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206
                                     << QByteArray("bytes 401-999/1000") << QByteArray() << QByteArray("\"a\"") << none
                                     << false;
        QTest::newRow("another total") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206
                                       << QByteArray("bytes 400-1099/1100") << QByteArray() << QByteArray("\"a\"")
                                       << none << false;
        QTest::newRow("stops short of the end") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206
                                                << QByteArray("bytes 400-899/1000") << QByteArray()
                                                << QByteArray("\"a\"") << none << false;
        QTest::newRow("unknown total") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206
                                       << QByteArray("bytes 400-999/*") << QByteArray() << QByteArray("\"a\"") << none
                                       << false;
        QTest::newRow("another ETag") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206 << rest
                                      << QByteArray("\"b\"") << QByteArray("\"a\"") << none << false;
        QTest::newRow("Content-Length other than the range's")
            << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206 << rest << QByteArray("\"a\"")
            << QByteArray("\"a\"") << qint64(500) << false;
        QTest::newRow("no Content-Range") << QByteArray("bytes") << QByteArray("\"a\"") << lm << 206 << QByteArray()
                                          << QByteArray() << QByteArray("\"a\"") << none << false;
    }
    void continuationIsJudged() {
        QFETCH(QByteArray, acceptRanges);
        QFETCH(QByteArray, etag);
        QFETCH(QByteArray, lastModified);
        QFETCH(int, status);
        QFETCH(QByteArray, contentRange);
        QFETCH(QByteArray, answerEtag);
        QFETCH(QByteArray, validator);
        QFETCH(qint64, answerLength);
        QFETCH(bool, accepted);
        HttpsTransfer::Result first;
        first.statusCode = 200;
        first.contentLength = 1000;
        first.acceptRanges = acceptRanges;
        first.etag = etag;
        first.lastModified = lastModified;
        QCOMPARE(Resume::canContinue(first), !validator.isEmpty());
        if (!validator.isEmpty()) {
            QCOMPARE(Resume::validatorFor(first), validator);
            QVERIFY(Resume::requestHeaders(first, 400).contains("If-Range: " + validator));
        }
        HttpsTransfer::Result answer;
        answer.statusCode = status;
        answer.contentRange = contentRange;
        answer.etag = answerEtag;
        answer.lastModified = lastModified; // as the first said; another date is the site's to show
        answer.contentLength = answerLength;
        QCOMPARE(Resume::acceptsContinuation(first, answer, 400), accepted);
    }

    void aLaterRunGoesOnFromWhereOneBrokeOff_data() {
        QTest::addColumn<QString>("kind");    // the site's way with ranges
        QTest::addColumn<QString>("between"); // what happens to what was kept, between the runs
        QTest::addColumn<bool>("signedFile");
        QTest::addColumn<bool>("continues"); // the second run goes on from the first's bytes
        QTest::addColumn<int>("requests");   // program requests of both runs
        QTest::newRow("cut at 60 %, run again") << "ok" << "" << false << true << 2;
        QTest::newRow("the same, signed") << "ok" << "" << true << true << 2;
        QTest::newRow("Last-Modified as the validator") << "lastmodified" << "" << false << true << 2;
        QTest::newRow("ETag changed between runs") << "newetag" << "" << false << false << 3;
        QTest::newRow("record damaged") << "ok" << "damage record" << false << false << 2;
        QTest::newRow("record truncated") << "ok" << "truncate record" << false << false << 2;
        QTest::newRow("record older than 7 days") << "ok" << "age record" << false << false << 2;
        QTest::newRow("record dated ahead") << "ok" << "date record ahead" << false << false << 2;
#ifndef _WIN32 // links to files are not for a test to make on Windows
        QTest::newRow("record a link") << "ok" << "link record" << false << false << 2;
#endif
        QTest::newRow("part file grown") << "ok" << "grow part" << true << false << 2;
        QTest::newRow("part file shrunk") << "ok" << "shrink part" << true << false << 2;
        QTest::newRow("part file replaced") << "ok" << "replace part" << true << false << 2;
        QTest::newRow("part file with a second name") << "ok" << "second name" << false << false << 2;
        QTest::newRow("another address for the name") << "ok" << "other address" << false << false << 2;
        QTest::newRow("a cancelled first run keeps nothing") << "ok" << "cancel" << false << false << 2;
    }
    void aLaterRunGoesOnFromWhereOneBrokeOff() {
        QFETCH(QString, kind);
        QFETCH(QString, between);
        QFETCH(bool, signedFile);
        QFETCH(bool, continues);
        QFETCH(int, requests);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QString name = FileName::InstallerV2;
        const QString key = QStringLiteral("across-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        const QString part = p.folder + partialFileName(name), record = p.folder + continuationRecordName(name);
        const QString sigName = key + QStringLiteral(".sig");
        site->publish(sigName, signatureFor(makerKey, name, program));
        const qint64 cutAt = program.size() * 6 / 10;
        const QString path =
            QStringLiteral("/_/ranges/%1/%2/%3/1/twdownloads/prog.exe").arg(kind, key).arg(cutAt);
        QList<qint64> reads; // the progress the window would show
        const auto runOnce = [&](const QString& url, bool cancel) {
            StagedDownload::Plan plan = planFor(p.folder, name, url);
            plan.keepAcrossRuns = true; // and no continuation within the run: each run breaks off for good
            if (signedFile) {
                plan.key = makerPublic;
                plan.signatureUrl = site->url(QStringLiteral("/twdownloads/") + sigName);
            }
            const StagedDownload::Transport transport = progressTransport([&](qint64, qint64 read) {
                reads << read;
                return cancel && read > 100000;
            });
            auto fetch = std::make_unique<StagedDownload>(plan, transport, [] { return false; });
            fetch->run();
            return fetch;
        };
        const auto first = runOnce(path, between == QLatin1String("cancel"));
        QCOMPARE(first->keptForLater(), between != QLatin1String("cancel"));
        QCOMPARE(QFileInfo::exists(part), first->keptForLater());
        QCOMPARE(QFileInfo::exists(record), first->keptForLater());

        QFile partFile(part), recordFile(record);
        const auto rewriteRecord = [&](const std::function<void(Resume::Record&)>& change) {
            QVERIFY(recordFile.open(QIODevice::ReadOnly));
            std::optional<Resume::Record> kept = Resume::parseRecord(recordFile.readAll());
            recordFile.close();
            QVERIFY(kept);
            change(*kept);
            QVERIFY(recordFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
            recordFile.write(Resume::recordContent(*kept));
            recordFile.close();
        };
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        if (between == QLatin1String("damage record"))
            rewriteRecord([](Resume::Record& r) { r.validator = "\"v1\"\x01"; });
        else if (between == QLatin1String("truncate record"))
            QVERIFY(recordFile.resize(recordFile.size() / 2));
        else if (between == QLatin1String("age record"))
            rewriteRecord([now](Resume::Record& r) { r.writtenAt = now - Resume::RecordLifetimeSeconds - 1; });
        else if (between == QLatin1String("date record ahead"))
            rewriteRecord([now](Resume::Record& r) { r.writtenAt = now + 3600; });
        else if (between == QLatin1String("link record"))
            QVERIFY(QFile::rename(record, record + QStringLiteral(".real")) &&
                    QFile::link(record + QStringLiteral(".real"), record));
        else if (between == QLatin1String("grow part"))
            QVERIFY(partFile.open(QIODevice::Append) && partFile.write("x") == 1);
        else if (between == QLatin1String("shrink part"))
            QVERIFY(partFile.resize(cutAt - 1));
        else if (between == QLatin1String("replace part"))
            QVERIFY(QFile::copy(part, part + QStringLiteral(".copy")) && QFile::remove(part) &&
                    QFile::rename(part + QStringLiteral(".copy"), part));
        else if (between == QLatin1String("second name"))
            QVERIFY(makeHardLink(part, p.folder + QStringLiteral("second")));
        partFile.close();

        reads.clear();
        const int sigBefore = fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt();
        const auto second = runOnce(between == QLatin1String("other address") ? path + QStringLiteral("?again") : path, false);
        QCOMPARE(int(second->outcome()), int(Outcome::Named));
        QVERIFY2(p.read(name) == program, "the file arrives whole and byte-identical");
        QCOMPARE(second->continuedFrom(), continues ? cutAt : 0);
        QCOMPARE(fetchBody(site->url(QStringLiteral("/_/requests/") + key), site->caFile()).toInt(), requests);
        if (signedFile)
            QCOMPARE(fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt() - sigBefore, 1);
        QVERIFY(!reads.isEmpty());
        QVERIFY2(reads.first() >= (continues ? cutAt : 0), "the bar starts where the part file ends");
        for (int i = 1; i < reads.size(); ++i)
            QVERIFY2(reads[i] >= reads[i - 1] || reads[i] == 0, "the bar never goes back but to start afresh");
        QVERIFY2(!QFileInfo::exists(part) && !QFileInfo::exists(record), "nothing is left to go on from");
    }

    void twoRunsOfOneNameHandOverOnlyWholeFiles() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QString name = FileName::InstallerV2;
        // Slow enough that the two transfers overlap.
        const StagedDownload::Plan plan = planFor(p.folder, name, QStringLiteral("/_/slow/2/twdownloads/prog.exe"));
        StagedDownload first(plan, directTransport(), [] { return false; });
        StagedDownload second(plan, directTransport(), [] { return false; });
        Outcome a = Outcome::NotRun, b = Outcome::NotRun;
        std::thread one([&] { a = first.run(); });
        std::thread two([&] { b = second.run(); });
        one.join();
        two.join();
        QVERIFY2(a == Outcome::Named || b == Outcome::Named, "one of the two gets the file");
        for (StagedDownload* fetch : {&first, &second}) {
            QVERIFY(fetch->succeeded() || fetch->outcome() == Outcome::HeldByAnotherRun);
            fetch->startNamed([&](const QString& startedName, int) {
                QVERIFY2(p.read(startedName) == program, "a partial file was handed over");
            });
        }
        QVERIFY(!QFileInfo::exists(p.folder + partialFileName(name)));
    }
};

QTEST_MAIN(StagedDownloadTest)
#include "tst_stageddownload.moc"
