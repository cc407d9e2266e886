// Signed programs: the signature format on its own, then the update window with a key
// given for the run, against signatures good and bad on the local site.
#include "ProblemCode.h"
#include "WhenModal.h"
#include "RecordingPlatform.h"
#include "TestKeys.h"
#include "TestSite.h"
#include "WhenShown.h"
#include "platform/Fonts.h"
#include "update/ProgressFm.h"
#include "update/Signature.h"
#include "widgets/StyledButton.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
QByteArray digestOf(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class SignatureTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;
    QTemporaryDir keys;
    QByteArray makerKey, otherKey;
    QString makerPublic, otherPublic;
    const QByteArray installer = QByteArray(300000, 'i');

    QByteArray sigFor(const QByteArray& key, const QString& name, const QByteArray& bytes) {
        return signatureFor(key, name, bytes);
    }

    int sigRequests() { return fetchBody(site->url(QStringLiteral("/_/sigcount")), site->caFile()).toInt(); }

private slots:
    void initTestCase() {
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
        makerKey = makeKey(keys.path(), QStringLiteral("maker"), &makerPublic);
        otherKey = makeKey(keys.path(), QStringLiteral("other"), &otherPublic);
        QVERIFY(!makerKey.isEmpty() && !otherKey.isEmpty());
        site->publish(QStringLiteral("twv2.vn"), "2.74\n-\ntwv2up.exe\n");
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
            whenShown(&form, [&] {
                QTest::keyClick(&form, Qt::Key_Return);
                if (form.isVisible())
                    form.close();
            });
            form.ShowModalUpdate(mode);
            QCOMPARE(scope.platform.opened.size(), 1);
        }
        QCOMPARE(sigRequests(), before);
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
