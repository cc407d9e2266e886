// Signed programs: the signature format on its own, then the update window with a key
// given for the run, against signatures good and bad on the local site.
#include "ProblemCode.h"
#include "WhenModal.h"
#include "RecordingPlatform.h"
#include "TestKeys.h"
#include "TestSite.h"
#include "WhenShown.h"
#include "platform/Fonts.h"
#include "WhenModal.h"
#include "dialogs/MsgFm.h"
#include "widgets/PanelButton.h"
#include "trust/FileNames.h"
#include "update/ProgressFm.h"
#include "trust/ReleaseCheck.h"
#include "trust/Signature.h"
#include "HostileFiles.h"
#include "platform/FileOps.h"
#include "widgets/StyledButton.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {
QByteArray digestOf(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// Presses Enter (the default "Download Now...") once the window is up, and closes it if it
// is still open afterwards.
void pressEnterOnceShown(TUpdateForm& form) {
    whenShown(&form, [&form] {
        QTest::keyClick(&form, Qt::Key_Return);
        if (form.isVisible())
            form.close();
    });
}

class SignatureTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;
    QTemporaryDir keys;
    QTemporaryDir userData; // this account's application data, for the run
    QByteArray makerKey, otherKey;
    QString makerPublic, otherPublic;
    const QByteArray installer = QByteArray(300000, 'i');

    const QByteArray release = "2.74\n-\ntwv2up.exe\n";

    // The installer's own signature: for the update, bound to the release it is served under.
    QByteArray sigFor(const QByteArray& key, const QString& name, const QByteArray& bytes) {
        return name == QLatin1String("setupbd.exe") ? signatureFor(key, name, bytes)
                                                    : releaseSignatureFor(key, name, bytes, release);
    }
    static qint64 now() { return QDateTime::currentSecsSinceEpoch(); }

    int sigRequests() { return fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt(); }

private slots:
    void initTestCase() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path()));
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
        makerKey = makeKey(keys.path(), QStringLiteral("maker"), &makerPublic);
        otherKey = makeKey(keys.path(), QStringLiteral("other"), &otherPublic);
        QVERIFY(!makerKey.isEmpty() && !otherKey.isEmpty());
        site->publish(QStringLiteral("twv2.vn"), release);
        site->publish(QStringLiteral("twv2.vn.sig"),
                      versionSignatureFor(makerKey, QStringLiteral("twv2.vn"), release, now() - 60, now() + 86400));
    }
    void cleanupTestCase() {
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        delete site;
    }

    void messageLayout() {
        const QByteArray digest(32, '\x5a');
        const QByteArray m = UpdateSignature::message(QStringLiteral("twv2up.exe"), digest);
        QCOMPARE(m, QByteArray("tallyaid installer signature v1\n") + QByteArray("\x00\x0a", 2) + "twv2up.exe" + digest);
        QCOMPARE(UpdateSignature::context().size(), 32);
        const QByteArray versionDigest(32, '\x3c');
        QCOMPARE(UpdateSignature::releaseInstallerMessage(QStringLiteral("twv2up.exe"), versionDigest, digest),
                 QByteArray("tallyaid installer signature v2\n") + QByteArray("\x00\x0a", 2) + "twv2up.exe" +
                     versionDigest + digest);
        QCOMPARE(UpdateSignature::versionFileMessage(QStringLiteral("twv2.vn"), 0x0102030405060708LL, 0x1122334455667788LL,
                                                     versionDigest),
                 QByteArray("tallyaid version file signature v1\n") + QByteArray("\x00\x07", 2) + "twv2.vn" +
                     QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x11\x22\x33\x44\x55\x66\x77\x88", 16) +
                     versionDigest);
    }

    void versionSignatureFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        const QByteArray sig = QByteArray(64, '\x22').toBase64();
        QTest::newRow("times and signature") << "1765000000 1767592000 " + sig << true;
        QTest::newRow("CR LF") << "1765000000 1767592000 " + sig + "\r\n" << true;
        QTest::newRow("expires when signed") << "1765000000 1765000000 " + sig << false;
        QTest::newRow("expires before signed") << "1765000000 1764000000 " + sig << false;
        QTest::newRow("leading zero") << "01765000000 1767592000 " + sig << false;
        QTest::newRow("sign") << "+1765000000 1767592000 " + sig << false;
        QTest::newRow("two spaces") << "1765000000  1767592000 " + sig << false;
        QTest::newRow("no expiry") << "1765000000 " + sig << false;
        QTest::newRow("a program's signature") << sig << false;
        QTest::newRow("two line ends") << "1765000000 1767592000 " + sig + "\n\n" << false;
        QTest::newRow("oversized") << "1765000000 1767592000 " + sig + QByteArray(5000, ' ') << false;
        QTest::newRow("the maker's, in force until its expiry second")
            << versionSignatureFor(makerKey, QStringLiteral("twv2.vn"), release, 1765000000, 1767592000) << true;
    }
    void versionSignatureFiles() {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        const UpdateSignature::VersionFileSignature parsed = UpdateSignature::parseVersionSignatureFile(content);
        QCOMPARE(parsed.valid(), accepted);
        const QByteArray key = readFile(makerPublic), digest = digestOf(release);
        const QString vn = QStringLiteral("twv2.vn");
        if (!accepted || !UpdateSignature::verify(key, UpdateSignature::versionFileMessage(vn, parsed.signedAt,
                                                                                          parsed.expiresAt, digest),
                                                  parsed.signature))
            return; // the format alone
        QTemporaryDir dir;
        const auto judgedAt = [&](qint64 now) {
            return ReleaseCheck::judgeVersionFile(dir.path() + u'/', key, vn, digest, content, now);
        };
        QCOMPARE(judgedAt(parsed.expiresAt), ReleaseCheck::Verdict::Expired);
        QCOMPARE(judgedAt(parsed.expiresAt - 1), ReleaseCheck::Verdict::Accepted);
    }

    void signatureFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        const QByteArray good = QByteArray(64, '\x11').toBase64();
        QTest::newRow("one line") << good << true;
        QTest::newRow("LF") << good + "\n" << true;
        QTest::newRow("CR LF") << good + "\r\n" << true;
        QTest::newRow("truncated") << good.left(80) << false;
        QTest::newRow("two lines") << good + "\n" + good << false;
        QTest::newRow("not base64") << QByteArray(88, '*') << false;
        QTest::newRow("63 bytes") << QByteArray(63, '\x11').toBase64() << false;
        QTest::newRow("oversized") << good + QByteArray(5000, '\n') << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void signatureFiles() {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        QCOMPARE(UpdateSignature::parseSignatureFile(content).size(), accepted ? 64 : 0);
    }

    void verifyChecksKeyNameAndBytes() {
        QString pub;
        const QByteArray m = UpdateSignature::message(QStringLiteral("a.exe"), digestOf("x"));
        const QByteArray sig = UpdateSignature::sign(makerKey, m);
        QVERIFY(UpdateSignature::verify(readFile(makerPublic), m, sig));
        QVERIFY(!UpdateSignature::verify(readFile(otherPublic), m, sig));
        QVERIFY(!UpdateSignature::verify(readFile(makerPublic), UpdateSignature::message("b.exe", digestOf("x")), sig));
        QVERIFY(!UpdateSignature::verify(readFile(makerPublic), UpdateSignature::message("a.exe", digestOf("y")), sig));
        QVERIFY(!UpdateSignature::verify("not a key", m, sig));
    }

    void installerIsStartedOnlyWithTheMakersSignature_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("code");
        QTest::newRow("good") << runModeText(RunModeCode::UpdateV2) << "good" << 0;
        QTest::newRow("wrong key") << runModeText(RunModeCode::UpdateV2) << "wrong key" << int(ProblemCode::InstallerFailed);
        QTest::newRow("flipped byte") << runModeText(RunModeCode::UpdateV2) << "flipped" << int(ProblemCode::InstallerFailed);
        QTest::newRow("signed for another name") << runModeText(RunModeCode::UpdateV2) << "other name" << int(ProblemCode::InstallerFailed);
        QTest::newRow("the two digests in the wrong order") << runModeText(RunModeCode::UpdateV2) << "digests swapped" << int(ProblemCode::InstallerFailed);
        QTest::newRow("truncated") << runModeText(RunModeCode::UpdateV2) << "truncated" << int(ProblemCode::InstallerFailed);
        QTest::newRow("oversized") << runModeText(RunModeCode::UpdateV2) << "oversized" << int(ProblemCode::InstallerFailed);
        QTest::newRow("not base64") << runModeText(RunModeCode::UpdateV2) << "garbage" << int(ProblemCode::InstallerFailed);
        QTest::newRow("missing") << runModeText(RunModeCode::UpdateV2) << "missing" << int(ProblemCode::InstallerFailed);
        QTest::newRow("redirect to http") << runModeText(RunModeCode::UpdateV2) << "tohttp" << int(ProblemCode::InstallerFailed);
        QTest::newRow("BDE good") << runModeText(RunModeCode::DatabaseEngine) << "good" << 0;
        QTest::newRow("BDE wrong key") << runModeText(RunModeCode::DatabaseEngine) << "wrong key" << int(ProblemCode::DatabaseEngineFailed);
        QTest::newRow("download fails, earlier copy neither replaced nor deleted") << runModeText(RunModeCode::UpdateV2) << "copy stays" << int(ProblemCode::InstallerFailed);
    }
    void installerIsStartedOnlyWithTheMakersSignature() {
        QFETCH(QString, mode);
        QFETCH(QString, kind);
        QFETCH(int, code);
        const QString name = mode == runModeText(RunModeCode::DatabaseEngine) ? QStringLiteral("setupbd.exe") : QStringLiteral("twv2up.exe");
        QByteArray served = installer;
        QByteArray sig = sigFor(makerKey, name, installer);
        if (kind == QLatin1String("wrong key"))
            sig = sigFor(otherKey, name, installer);
        else if (kind == QLatin1String("flipped"))
            served[1234] = 'j';
        else if (kind == QLatin1String("other name"))
            sig = sigFor(makerKey, QStringLiteral("twv215up.exe"), installer);
        else if (kind == QLatin1String("digests swapped")) // the installer's first, then the version file's
            sig = UpdateSignature::signatureFileContent(UpdateSignature::sign(
                makerKey, "tallyaid installer signature v2\n" + QByteArray("\x00\x0a", 2) + name.toUtf8() +
                              digestOf(installer) + digestOf(release)));
        else if (kind == QLatin1String("truncated"))
            sig = sig.left(40);
        else if (kind == QLatin1String("oversized"))
            sig = sig.trimmed() + QByteArray(5000, ' ');
        else if (kind == QLatin1String("garbage"))
            sig = QByteArray(88, '#');
        site->publish(name, served);
        if (kind == QLatin1String("copy stays"))
            site->unpublish(name);
        site->unpublish(name + ".sig");
        site->unpublish(name + ".sig.tohttp");
        if (kind == QLatin1String("tohttp"))
            site->publish(name + ".sig.tohttp", "");
        else if (kind != QLatin1String("missing"))
            site->publish(name + ".sig", sig);
        qputenv("TALLYAID_UPDATE_KEY_FILE", makerPublic.toUtf8());

        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        if (kind == QLatin1String("copy stays")) {
            p.writeFile(name, "an earlier copy");
            p.undeletable << name;
        }
        TUpdateForm form;
        int shown = -1;
        whenShown(&form, [&] {
            QTest::keyClick(&form, Qt::Key_Return);
            shown = problemCodeShown(form);
            if (form.isVisible())
                form.close();
        });
        form.ShowModalUpdate(mode);
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        QCOMPARE(shown, code);
        QCOMPARE(p.opened.size(), code == 0 ? 1 : 0);
        if (kind == QLatin1String("copy stays")) {
            QCOMPARE(p.read(name), QByteArray("an earlier copy")); // there, but never started unchecked
            site->publish(name, installer);
            return;
        }
        QCOMPARE(p.has(name), code == 0);
        QVERIFY2(!p.has(name + ".sig") && !p.has("." + name + ".sig.part"), "the signature leaves no file");
        if (code != 0)
            QVERIFY(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text().endsWith(QStringLiteral("\n  Signature not valid: ") + name));
        QCOMPARE(site->plainHttpRequests(), 0);
    }

    void withoutAKeyNoSignatureIsAskedFor() {
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        site->publish(QStringLiteral("twv2up.exe"), installer);
        site->publish(QStringLiteral("setupbd.exe"), installer);
        const int before = sigRequests();
        for (const QString& mode : {runModeText(RunModeCode::UpdateV2), runModeText(RunModeCode::DatabaseEngine)}) {
            PlatformScope scope;
            TUpdateForm form;
            pressEnterOnceShown(form);
            form.ShowModalUpdate(mode);
            QCOMPARE(scope.platform.opened.size(), 1);
        }
        QCOMPARE(sigRequests(), before);
    }

    // The version check with the maker's key: rollback, swap and freeze each refused.
    void releaseIsTakenOnlyWhenSignedAndInForce_data() {
        using ReleaseCheck::Verdict;
        QTest::addColumn<QString>("versionSig"); // good, missing, wrong key, expired, tampered
        QTest::addColumn<qint64>("signedAgo");   // seconds before now
        QTest::addColumn<QString>("state");      // what this account, the program folder or the lock hold before
        QTest::addColumn<QString>("named");      // the installer the version file names
        QTest::addColumn<QString>("installerSig"); // release, other release, own
        QTest::addColumn<int>("checkCode");
        QTest::addColumn<int>("reason");         // the refusal's verdict, when the check fails
        QTest::addColumn<int>("downloadCode");   // after Enter, when the check passed
        QTest::addColumn<QString>("recorded");   // afterwards: "signing time", "present" or "unchanged"
        const int ok = 0, refused = int(ProblemCode::VersionFileFailed), none = int(Verdict::Accepted);
        const int notStarted = int(ProblemCode::InstallerFailed);
        const QString update = QStringLiteral("twv2up.exe");
        QTest::newRow("a good release") << "good" << qint64(3600) << "absent" << update << "release" << ok << none << ok
                                        << "signing time";
        QTest::newRow("the same release again") << "good" << qint64(3600) << "same" << update << "release" << ok << none
                                                << ok << "signing time";
        QTest::newRow("a missing .sig") << "missing" << qint64(3600) << "absent" << update << "release" << refused
                                        << int(Verdict::Missing) << ok << "unchanged";
        QTest::newRow("the wrong key") << "wrong key" << qint64(3600) << "absent" << update << "release" << refused
                                       << int(Verdict::Wrong) << ok << "unchanged";
        QTest::newRow("a malformed .sig") << "malformed" << qint64(3600) << "absent" << update << "release" << refused
                                          << int(Verdict::Malformed) << ok << "unchanged";
        QTest::newRow("freeze: an expired signature") << "expired" << qint64(10 * 86400) << "absent" << update
                                                      << "release" << refused << int(Verdict::Expired) << ok << "unchanged";
        QTest::newRow("rollback: signed before the last accepted")
            << "good" << qint64(3600) << "newer" << update << "release" << refused << int(Verdict::Older) << ok << "unchanged";
        QTest::newRow("a tampered version file") << "tampered" << qint64(3600) << "absent" << update << "release"
                                                 << refused << int(Verdict::Wrong) << ok << "unchanged";
        QTest::newRow("a damaged state file") << "good" << qint64(3600) << "damaged" << update << "release" << refused
                                              << int(Verdict::Older) << ok << "unchanged";
        QTest::newRow("a damaged state file, release signed after the damage")
            << "good" << qint64(3600) << "damaged long ago" << update << "release" << ok << none << ok << "signing time";
        QTest::newRow("rollback: installer signed under another release's version file")
            << "good" << qint64(3600) << "absent" << update << "other release" << ok << none << notStarted << "signing time";
        QTest::newRow("swap: setupbd.exe offered as the update")
            << "good" << qint64(3600) << "absent" << QStringLiteral("setupbd.exe") << "own" << ok << none << notStarted
            << "signing time";
        QTest::newRow("a special version's own signature stands in for the update")
            << "good" << qint64(3600) << "absent" << QStringLiteral("twv215up.exe") << "own" << ok << none << notStarted
            << "signing time";
        // Chosen through "Other Options..." as 15: its own signature, never the update's.
        QTest::newRow("special version under its own signature")
            << "good" << qint64(3600) << "absent" << update << "special own" << ok << none << ok << "signing time";
        QTest::newRow("special version under a release's signature")
            << "good" << qint64(3600) << "absent" << update << "special release" << ok << none << notStarted << "signing time";
        // The bar lives in this account's own data; the program folder's old state only raises it.
        const auto row = [&](const char* title, const char* state, qint64 signedAgo, int code, int why,
                             const char* recorded) {
            QTest::newRow(title) << "good" << signedAgo << state << update << "release" << code << why << ok << recorded;
        };
        const int older = int(Verdict::Older), unrecorded = int(Verdict::StateNotWritten);
        row("the folder's old state, newer", "old newer", 3600, refused, older, "unchanged");
        row("the folder's old state, older", "old older", 3600, ok, none, "signing time");
        row("the folder's old state reset to 0 cannot lower this account's", "old reset, newer", 3600, refused, older,
            "unchanged");
        row("the folder's old state deleted, this account's still newer", "newer", 3600, refused, older, "unchanged");
        row("the folder's old state three years ahead", "old far ahead", 3600, ok, none, "signing time");
        row("a link at the state's name to a file elsewhere", "link to a file", 3600, ok, none, "signing time");
        row("a link at the state's name into a missing folder", "dangling link", 3600, ok, none, "signing time");
        row("a folder at the state's name", "folder", 3600, ok, none, "signing time");
        row("garbled, modified at 1970", "garbled at 0", 3600, ok, none, "signing time");
        row("garbled, modified in 2400", "garbled in 2400", 3600, ok, none, "signing time");
        row("a valid line far ahead, written before the release", "far ahead long ago", 3600, ok, none, "signing time");
        row("another version file's later release", "other channel newer", 3600, ok, none, "signing time");
        row("signed three years ahead: the present is recorded", "absent", -3 * 365 * 86400, ok, none, "present");
        row("the lock held by another run", "lock held", 3600, refused, unrecorded, "unchanged");
        row("a named pipe at the lock's name", "lock pipe", 3600, ok, none, "signing time");
        row("a folder at the lock's name", "lock folder", 3600, ok, none, "signing time");
        row("a named pipe at the folder's old lock name", "old lock pipe", 3600, ok, none, "signing time");
    }
    void releaseIsTakenOnlyWhenSignedAndInForce() {
        QFETCH(QString, versionSig);
        QFETCH(qint64, signedAgo);
        QFETCH(QString, state);
        QFETCH(QString, named);
        QFETCH(QString, installerSig);
        QFETCH(int, checkCode);
        QFETCH(int, reason);
        QFETCH(int, downloadCode);
        QFETCH(QString, recorded);
        const QString vn = QStringLiteral("twv2.vn");
        const QByteArray versionFile = "2.80\r\n-\r\n" + named.toUtf8() + "\r\n";
        const qint64 signedAt = now() - signedAgo;
        const qint64 expiresAt = versionSig == QLatin1String("expired") ? now() - 86400 : qMax(now(), signedAt) + 86400;
        site->publish(vn, versionSig == QLatin1String("tampered") ? QByteArray("2.80\r\n-\r\ntwv3up.exe\r\n") : versionFile);
        site->unpublish(vn + ".sig");
        if (versionSig == QLatin1String("malformed"))
            site->publish(vn + ".sig", signatureFor(makerKey, vn, versionFile)); // a program's kind of .sig
        else if (versionSig != QLatin1String("missing"))
            site->publish(vn + ".sig", versionSignatureFor(versionSig == QLatin1String("wrong key") ? otherKey : makerKey,
                                                           vn, versionFile, signedAt, expiresAt));
        const bool special = installerSig.startsWith(QLatin1String("special"));
        const QString fetched = special ? QStringLiteral("twv215up.exe") : named;
        site->publish(fetched, installer);
        if (installerSig.endsWith(QLatin1String("release")) && installerSig != QLatin1String("other release"))
            site->publish(fetched + ".sig", releaseSignatureFor(makerKey, fetched, installer, versionFile));
        else if (installerSig == QLatin1String("other release"))
            site->publish(fetched + ".sig", releaseSignatureFor(makerKey, fetched, installer, "2.60\r\n-\r\ntwv2up.exe\r\n"));
        else
            site->publish(fetched + ".sig", signatureFor(makerKey, fetched, installer));
        qputenv("TALLYAID_UPDATE_KEY_FILE", makerPublic.toUtf8());

#ifdef Q_OS_WIN
        if (state.contains(QLatin1String("link")) || state.contains(QLatin1String("pipe")))
            QSKIP("a link or a named pipe under a file's name needs Linux");
#endif
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QString own = ReleaseCheck::statePath(p.folder, vn);
        const QString lock = ReleaseCheck::lockPath(p.folder);
        QVERIFY(QDir().mkpath(QFileInfo(own).path()));
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath(QStringLiteral("someone's file"));
        const auto put = [](const QString& path, const QByteArray& bytes, const QDateTime& modified = {}) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
                   file.flush() && (!modified.isValid() || file.setFileTime(modified, QFileDevice::FileModificationTime));
        };
        const auto at = [](qint64 secs) { return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC); };
        const auto stateOf = [](qint64 time) { return ReleaseCheck::stateFileContent(time); };
        bool made = true;
        std::unique_ptr<NamedPipe> pipe;
        int heldLock = -1;
        if (state == QLatin1String("newer") || state == QLatin1String("old reset, newer"))
            made = put(own, stateOf(signedAt + 1));
        if (state == QLatin1String("same"))
            made = put(own, stateOf(signedAt));
        if (state == QLatin1String("damaged"))
            made = put(own, stateOf(signedAt + 1).left(7));
        if (state == QLatin1String("damaged long ago"))
            made = put(own, stateOf(signedAt + 1).left(7), at(signedAt - 86400));
        if (state == QLatin1String("old newer"))
            p.writeFile(FileName::ReleaseState, stateOf(signedAt + 1));
        if (state == QLatin1String("old older"))
            p.writeFile(FileName::ReleaseState, stateOf(signedAt - 100));
        if (state == QLatin1String("old reset, newer"))
            p.writeFile(FileName::ReleaseState, stateOf(0));
        if (state == QLatin1String("old far ahead"))
            p.writeFile(FileName::ReleaseState, stateOf(now() + 3 * 365 * 86400));
        if (state == QLatin1String("link to a file"))
            made = put(outside, "someone's own") && QFile::link(outside, own);
        if (state == QLatin1String("dangling link"))
            made = QFile::link(elsewhere.filePath(QStringLiteral("missing/state")), own);
        if (state == QLatin1String("folder"))
            made = QDir().mkpath(own + QStringLiteral("/inside"));
        if (state == QLatin1String("garbled at 0"))
            made = put(own, "garbled", at(0));
        if (state == QLatin1String("garbled in 2400"))
            made = put(own, "garbled", QDateTime(QDate(2400, 1, 1), QTime(0, 0), Qt::UTC));
        if (state == QLatin1String("far ahead long ago"))
            made = put(own, stateOf(999999999999999999LL), at(signedAt - 86400));
        if (state == QLatin1String("other channel newer"))
            made = put(ReleaseCheck::statePath(p.folder, QStringLiteral("twvtest.vn")), stateOf(signedAt + 100));
        if (state == QLatin1String("lock held")) {
            LockStatus status;
            heldLock = tryLockFile(lock, &status);
            made = status == LockStatus::Locked;
        }
        if (state == QLatin1String("lock pipe"))
            made = (pipe = std::make_unique<NamedPipe>(lock))->isValid();
        if (state == QLatin1String("old lock pipe"))
            made = (pipe = std::make_unique<NamedPipe>(p.folder + FileName::ReleaseState + ".lock"))->isValid();
        if (state == QLatin1String("lock folder"))
            made = QDir().mkpath(lock + QStringLiteral("/inside"));
        QVERIFY2(made, qPrintable(state));
        const QByteArray stateBefore = readFile(own);
        const QByteArray oldStateBefore = p.read(FileName::ReleaseState);
        const qint64 runStarted = now();
        QElapsedTimer took;
        took.start();

        TUpdateForm form;
        int checked = -1, downloaded = -1;
        QString details;
        bool unacceptedFileLeft = false;
        whenShown(&form, [&] {
            checked = problemCodeShown(form);
            details = control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text();
            unacceptedFileLeft = checked != 0 && p.has(vn);
            if (checked == 0 && special) {
                p.inputAnswer = QStringLiteral("15");
                whenModal<TMessageForm>([](TMessageForm* m) {
                    QTest::mouseClick(control<TPanelButton>(m, QStringLiteral("CustPanelBtn2")), Qt::LeftButton);
                });
                QTest::mouseClick(control(&form, QStringLiteral("OtherOptionsBtn")), Qt::LeftButton);
                downloaded = problemCodeShown(form);
            } else if (checked == 0) {
                QTest::keyClick(&form, Qt::Key_Return);
                downloaded = problemCodeShown(form);
            }
            if (form.isVisible())
                form.close();
        });
        form.ShowModalUpdate(QStringLiteral("2"));
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        site->unpublish(fetched + ".sig");
        if (heldLock >= 0)
            unlockFile(heldLock);

        QCOMPARE(checked, checkCode);
        QVERIFY2(!unacceptedFileLeft, "a refused version file never takes its name");
        if (checkCode != 0)
            QVERIFY2(details.endsWith(QStringLiteral("  Signature not valid: %1 (%2)")
                                          .arg(vn, ReleaseCheck::reasonText(ReleaseCheck::Verdict(reason)))),
                     qPrintable(details));
        else
            QCOMPARE(downloaded, downloadCode);
        QCOMPARE(p.opened.size(), checkCode == 0 && downloadCode == 0 ? 1 : 0);
        if (!p.opened.isEmpty())
            QCOMPARE(p.opened[0].target, fetched);
        if (recorded != QLatin1String("unchanged")) {
            const ReleaseCheck::State after = ReleaseCheck::readState(p.folder, vn, now());
            QCOMPARE(int(after.kind), int(ReleaseCheck::State::Kind::Valid));
            if (recorded == QLatin1String("signing time"))
                QCOMPARE(after.bar, signedAt);
            else
                QVERIFY2(after.bar >= runStarted && after.bar <= now(), "the bar never goes past the present");
        } else {
            QCOMPARE(readFile(own), stateBefore);
        }
        QCOMPARE(p.read(FileName::ReleaseState), oldStateBefore); // the folder's old state is only ever read
        if (state == QLatin1String("link to a file"))
            QCOMPARE(readFile(outside), QByteArray("someone's own"));
        QVERIFY2(!QFileInfo::exists(elsewhere.filePath(QStringLiteral("missing"))), "nothing made through a link");
        if (state == QLatin1String("lock held"))
            QVERIFY2(took.elapsed() < 5000, "another run's lock is waited for a moment, not for long");
        // The run record names the reason of every refusal, as the details area does.
        if (checkCode != 0) {
            const QByteArray log = readFile(p.folder + FileName::RunLog);
            const QString line = QStringLiteral("signature %1 not valid (%2)")
                                     .arg(vn, ReleaseCheck::reasonText(ReleaseCheck::Verdict(reason)));
            QVERIFY2(log.contains(line.toUtf8()), log.constData());
        }
    }

    void acceptedTimeNeverGoesBackWhenTwoRunsRace() {
        using ReleaseCheck::Verdict;
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        const QString vn = QStringLiteral("twv2.vn");
        const qint64 base = now() - 100000;
        std::atomic<int> lowered{0};
        // Each run takes ever newer releases, interleaved with the other's; whatever it
        // accepted must never be undercut by what the other writes afterwards.
        const auto run = [&](qint64 first) {
            for (qint64 t = first; t < first + 400; t += 2) {
                if (ReleaseCheck::admit(folder, vn, t, now()) != Verdict::Accepted)
                    continue;
                const ReleaseCheck::State state = ReleaseCheck::readState(folder, vn, now());
                if (state.kind != ReleaseCheck::State::Kind::Valid || state.bar < t)
                    ++lowered;
            }
        };
        std::thread a(run, base), b(run, base + 1);
        a.join();
        b.join();
        QCOMPARE(lowered.load(), 0);
        QCOMPARE(ReleaseCheck::readState(folder, vn, now()).bar, base + 399);
        // Beside the state only the lock stays (a lock file that went could be held twice).
        const QFileInfo state(ReleaseCheck::statePath(folder, vn)), lock(ReleaseCheck::lockPath(folder));
        QStringList left = QDir(state.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        left = left.filter(QRegularExpression(QStringLiteral("^") + lock.completeBaseName()));
        QCOMPARE(left, (QStringList{state.fileName(), lock.fileName()}));
        QVERIFY2(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 "nothing is written into the program folder");
    }

    void acceptedTimeNeverGoesBackWhenAWriteIsCutOff() {
        using ReleaseCheck::Verdict;
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        const QString vn = QStringLiteral("twv2.vn");
        const QString path = ReleaseCheck::statePath(folder, vn);
        const qint64 accepted = now() - 86400;
        QCOMPARE(ReleaseCheck::admit(folder, vn, accepted, now()), Verdict::Accepted);
        // A write cut off before its rename: a stray temporary file, the old state intact.
        QFile stray(path + QStringLiteral(".aB3xYz"));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.write(ReleaseCheck::stateFileContent(1).left(3));
        stray.close();
        QCOMPARE(ReleaseCheck::readState(folder, vn, now()).bar, accepted);
        QCOMPARE(ReleaseCheck::admit(folder, vn, accepted - 1, now()), Verdict::Older);
        // The file itself cut short anywhere, dated when the accepted time was written: never
        // read as absent, never as an older time.
        const QByteArray whole = ReleaseCheck::stateFileContent(accepted);
        for (int cut = 0; cut < whole.size(); ++cut) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(whole.left(cut));
            QVERIFY(file.flush());
            QVERIFY(file.setFileTime(QDateTime::fromSecsSinceEpoch(accepted), QFileDevice::FileModificationTime));
            file.close();
            QCOMPARE(int(ReleaseCheck::readState(folder, vn, now()).kind), int(ReleaseCheck::State::Kind::Damaged));
            QCOMPARE(ReleaseCheck::admit(folder, vn, accepted - 1, now()), Verdict::Older);
            QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), whole.left(cut));
        }
        // The next release repairs it.
        QCOMPARE(ReleaseCheck::admit(folder, vn, accepted + 1, now()), Verdict::Accepted);
        QCOMPARE(ReleaseCheck::readState(folder, vn, now()).bar, accepted + 1);
    }

    void releaseCommandSignsWhatTheProgramTakes() {
        const QString tool = QStringLiteral(TALLYAID_BINARY_DIR "/tools/tallyaid-sign");
        const QString key = keys.filePath(QStringLiteral("maker.pem"));
        QTemporaryDir folder;
        const QByteArray versionFile = "2.91\r\n-\r\ntwv2up.exe\r\n";
        const QString vn = folder.filePath(QStringLiteral("twv2.vn"));
        for (const auto& [path, bytes] : {std::pair{vn, versionFile}, std::pair{folder.filePath("twv2up.exe"), installer}}) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        QCOMPARE(QProcess::execute(tool, {"--release", key, "--expires", "0", vn}), 2);
        QCOMPARE(QProcess::execute(tool, {"--release", key, "--expires", "30", vn}), 0);
        QCOMPARE(QProcess::execute(tool, {"--verify", makerPublic, vn}), 0);
        QCOMPARE(QProcess::execute(tool, {"--verify", otherPublic, vn}), 1);
        const auto sig = UpdateSignature::parseVersionSignatureFile(readFile(vn + ".sig"));
        QVERIFY(sig.valid());
        QCOMPARE(sig.expiresAt - sig.signedAt, qint64(30) * 86400);

        // The program takes the release as the command signed it.
        for (const QString& name : {"twv2.vn", "twv2.vn.sig", "twv2up.exe", "twv2up.exe.sig"})
            site->publish(name, readFile(folder.filePath(name)));
        qputenv("TALLYAID_UPDATE_KEY_FILE", makerPublic.toUtf8());
        PlatformScope scope;
        TUpdateForm form;
        pressEnterOnceShown(form);
        form.ShowModalUpdate(QStringLiteral("2"));
        qunsetenv("TALLYAID_UPDATE_KEY_FILE");
        QCOMPARE(scope.platform.opened.size(), 1);
        QCOMPARE(ReleaseCheck::readState(scope.platform.folder, QStringLiteral("twv2.vn"), now()).bar, sig.signedAt);
        site->publish(QStringLiteral("twv2up.exe"), installer);
        site->publish(QStringLiteral("twv2.vn"), release);
        site->publish(QStringLiteral("twv2.vn.sig"),
                      versionSignatureFor(makerKey, QStringLiteral("twv2.vn"), release, now() - 60, now() + 86400));

        // Two version files with different contents cannot share one installer's signature.
        const QString test = folder.filePath(QStringLiteral("twvtest.vn"));
        QFile other(test);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("2.92\r\n-\r\ntwv2up.exe\r\n");
        other.close();
        QCOMPARE(QProcess::execute(tool, {"--release", key, "--expires", "30", vn, test}), 1);
    }

    void signingCommandWritesWhatTheProgramAccepts() {
        const QString tool = QStringLiteral(TALLYAID_BINARY_DIR "/tools/tallyaid-sign");
        const QString file = keys.filePath(QStringLiteral("twv2up.exe"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(installer);
        out.close();
        QCOMPARE(QProcess::execute(tool, {keys.filePath(QStringLiteral("maker.pem")), file}), 0);
        const QByteArray sig = UpdateSignature::parseSignatureFile(readFile(file + ".sig"));
        QVERIFY(UpdateSignature::verify(readFile(makerPublic),
                                        UpdateSignature::message(QStringLiteral("twv2up.exe"), digestOf(installer)), sig));
        QCOMPARE(QProcess::execute(tool, {"--verify", makerPublic, file}), 0);
        QCOMPARE(QProcess::execute(tool, {"--verify", otherPublic, file}), 1);
    }
};

QTEST_MAIN(SignatureTest)
#include "tst_signature.moc"
