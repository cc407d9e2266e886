// The problem view's options and "Other Options...", driven as a person would: the option
// buttons clicked, the message window answered with keys.
#include "ProblemCode.h"
#include "RecordingPlatform.h"
#include "TestSite.h"
#include "WhenModal.h"
#include "WhenShown.h"
#include "dialogs/MsgFm.h"
#include "platform/Fonts.h"
#include "update/ProgressFm.h"
#include "widgets/PanelButton.h"
#include "widgets/StyledButton.h"
#include "widgets/WrapLabel.h"

#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

namespace {
struct Shown {
    QString strip, heading, message;
};

Shown shownBy(const TMessageForm* m) {
    const auto text = [m](const char* name) { return control<QLabel>(m, QLatin1String(name))->text(); };
    return {text("TopPanelLineAndTitle"), text("heading1"), text("Label1")};
}

// Answers the next message window, if one comes up, with a key and records what it showed.
void answerMessage(Qt::Key key, QList<Shown>& shown) {
    whenModal<TMessageForm>(
        [key, &shown](TMessageForm* m) {
            shown << shownBy(m);
            QTest::keyClick(m, key);
        },
        Expect::Maybe);
}

QString expectedText(const QString& first, const QString& folder) {
    return QStringList{first,
                       "",
                       "You might then be able to run the file without saving it.",
                       "",
                       "But if you need to save it first, try saving it in your Tallywick folder which is:",
                       "  " + folder,
                       "then run it.",
                       "",
                       "In either case when you run the update file, it will look for the location of Tallywick.",
                       "In the rare event that it cannot find the location, you will be able to enter the location "
                       "of Tallywick which is:",
                       "  " + folder,
                       "",
                       "The location " + folder +
                           " will be copied to the Windows Clipboard so you can easily paste it, but please also "
                           "write this down."}
        .join(u'\n');
}
} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;

private slots:
    void initTestCase() {
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
        for (const char* name : {"twv2.vn", "twvtest.vn", "twvtest2.vn"})
            site->publish(QLatin1String(name), "2.74\n-\nmissing.exe\n");
    }
    void cleanupTestCase() { delete site; }

    void websiteOptionsByRunMode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("alternative");
        QTest::addColumn<QString>("address"); // empty: none for this mode
        QTest::newRow("2, option 2") << runModeText(RunModeCode::UpdateV2) << true << "/updates/twv2up.exe";
        QTest::newRow("2, option 3") << runModeText(RunModeCode::UpdateV2) << false << "/updatepayrollinstructionsv2b.html";
        QTest::newRow("BDE, option 2") << runModeText(RunModeCode::DatabaseEngine) << true << "/updates/setupbd.exe";
        QTest::newRow("BDE, option 3") << runModeText(RunModeCode::DatabaseEngine) << false << "/setupbddownloadinstructions.html";
        QTest::newRow("TEST2, option 2") << runModeText(RunModeCode::Test2) << true << "/updates/twv2up.exe";
        QTest::newRow("TEST2, option 3") << runModeText(RunModeCode::Test2) << false << "/updatepayrollinstructionsv2b.html";
        QTest::newRow("TEST, option 2") << runModeText(RunModeCode::Test) << true << "";
        QTest::newRow("TV, option 3") << runModeText(RunModeCode::RemoteSupport) << false << "";
        QTest::newRow("INIT, option 2") << runModeText(RunModeCode::FirstInstall) << true << "";
    }
    void websiteOptionsByRunMode() {
        QFETCH(QString, mode);
        QFETCH(bool, alternative);
        QFETCH(QString, address);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        TMessageForm message;
        TUpdateForm form;
        form.MessageForm = &message;
        QList<Shown> shown;
        bool closed = false;
        whenShown(&form, [&] {
            form.ShowProblemInfo(QString(), ProblemCode::InstallerFailed);
            answerMessage(Qt::Key_Return, shown);
            QTest::mouseClick(alternative ? control<QPushButton>(&form, QStringLiteral("AltDownloadBtn")) : control<QPushButton>(&form, QStringLiteral("ManualDownloadBtn")), Qt::LeftButton);
            closed = !form.isVisible();
            if (!closed)
                form.close();
        });
        form.ShowModalUpdate(mode);
        QVERIFY2(closed, "the option closes the window in every case");
        if (address.isEmpty()) {
            QVERIFY(shown.isEmpty());
            QVERIFY(p.opened.isEmpty());
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
            return;
        }
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].strip, alternative ? QStringLiteral("  ALTERNATIVE DOWNLOAD") : QStringLiteral("  MANUAL DOWNLOAD"));
        QCOMPARE(shown[0].heading, QStringLiteral("Instructions"));
        const QString first =
            alternative ? QStringLiteral("When you click OK below, Tallywick will try the alternative download method.")
                        : QStringLiteral("When you click OK below, Tallywick will take you to the download page on "
                                         "our website where you can click the download button on the webpage.");
        QCOMPARE(shown[0].message, expectedText(first, p.folder));
        QCOMPARE(p.opened.size(), 1);
        QCOMPARE(p.opened[0].target, site->base() + address);
        const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(clip->text(), p.folder);
        QVERIFY2(!clip->hasHtml(), "plain text only");
    }

    void optionOneCloses() {
        PlatformScope scope;
        site->unpublish(QStringLiteral("twv2.vn")); // the check fails: the problem view shows
        TUpdateForm form;
        int code = 0;
        bool buttonShown = false, closed = false;
        whenShown(&form, [&] {
            code = problemCodeShown(form);
            buttonShown = control<QPushButton>(&form, QStringLiteral("CloseBtn"))->isVisible();
            QTest::mouseClick(control<QPushButton>(&form, QStringLiteral("CloseBtn")), Qt::LeftButton);
            closed = !form.isVisible();
            if (!closed)
                form.close();
        });
        form.ShowModalUpdate(runModeText(RunModeCode::UpdateV2));
        site->publish(QStringLiteral("twv2.vn"), "2.74\n-\nmissing.exe\n");
        QCOMPARE(code, int(ProblemCode::VersionFileFailed));
        QVERIFY2(buttonShown, "Option 1 is on screen when it is clicked");
        QVERIFY2(closed, "Option 1 closes the window");
        QVERIFY(scope.platform.opened.isEmpty());
    }

    void otherOptions_data() {
        QTest::addColumn<QString>("answer");    // how the IMPORTANT! message is answered
        QTest::addColumn<QVariant>("entry");    // QString typed and OK, or invalid for Cancel
        QTest::addColumn<QString>("installer"); // fetched, or empty
        QTest::addColumn<QString>("warning");   // shown, or empty
        const QString none;
        QTest::newRow("15") << "Selected Alternative" << QVariant("15") << "twv215up.exe" << none;
        QTest::newRow("1 2") << "Selected Alternative" << QVariant("1 2") << "twv212up.exe" << none;
        QTest::newRow("-12") << "Selected Alternative" << QVariant("-12") << "twv212up.exe" << none;
        QTest::newRow("x1f is hexadecimal") << "Selected Alternative" << QVariant("x1f") << "twv231up.exe" << none;
        QTest::newRow("0") << "Selected Alternative" << QVariant("0") << none << "Sorry - 0 is not correct.";
        QTest::newRow("10000") << "Selected Alternative" << QVariant("10000") << none << "Sorry - 10000 is not correct.";
        QTest::newRow("ab") << "Selected Alternative" << QVariant("ab") << none << "Sorry - AB is not correct.";
        QTest::newRow("blank") << "Selected Alternative" << QVariant("  ") << none
                               << "Sorry -  the informaton you entered is not correct.";
        QTest::newRow("Cancel") << "Selected Alternative" << QVariant() << none << none;
        QTest::newRow("closing the message") << "Escape" << QVariant("15") << none << none;
        QTest::newRow("<< Go Back") << "<< Go Back" << QVariant("15") << none << none;
    }
    void otherOptions() {
        QFETCH(QString, answer);
        QFETCH(QVariant, entry);
        QFETCH(QString, installer);
        QFETCH(QString, warning);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        site->publish(QStringLiteral("twv2.vn"), "2.74\n-\ntwv2up.exe\n");
        if (!installer.isEmpty())
            site->publish(installer, "special");
        if (entry.isValid())
            p.inputAnswer = entry.toString();
        TMessageForm message;
        TUpdateForm form;
        form.MessageForm = &message;
        QList<Shown> shown;
        bool buttonShown = false;
        whenShown(&form, [&] {
            // "<< Go Back" is the first custom button, "Selected Alternative" the second.
            whenModal<TMessageForm>([&, answer](TMessageForm* m) {
                shown << shownBy(m);
                auto* goBack = control<TPanelButton>(m, QStringLiteral("CustPanelBtn1"));
                auto* alternative = control<TPanelButton>(m, QStringLiteral("CustPanelBtn2"));
                QCOMPARE(goBack->caption(), QStringLiteral("<< Go Back"));
                QCOMPARE(alternative->caption(), QStringLiteral("Selected Alternative"));
                if (answer == QLatin1String("Escape"))
                    QTest::keyClick(m, Qt::Key_Escape);
                else
                    QTest::mouseClick(answer == QLatin1String("<< Go Back") ? goBack : alternative, Qt::LeftButton);
            });
            QTest::mouseClick(control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn")), Qt::LeftButton);
            buttonShown = !control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->isHidden();
            if (form.isVisible())
                form.close();
        });
        form.ShowModalUpdate(runModeText(RunModeCode::UpdateV2));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].strip, QStringLiteral("  IMPORTANT!"));
        QCOMPARE(shown[0].heading, QStringLiteral("Important:"));
        QCOMPARE(shown[0].message,
                 QStringLiteral("If you have been advised by Orrindale Software Ltd to continue with a special "
                                "update, click the required option below.\n\nOtherwise click \"Go Back\" to return "
                                "to the previous window."));
        QCOMPARE(p.inputPrompts.size(), answer == QLatin1String("Selected Alternative") ? 1 : 0);
        if (!p.inputPrompts.isEmpty())
            QCOMPARE(p.inputPrompts[0], QStringLiteral("Enter File Details|Version Info (1 to 4 characters):|"));
        QCOMPARE(p.warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        QCOMPARE(buttonShown, installer.isEmpty());
        if (installer.isEmpty()) {
            QVERIFY(p.opened.isEmpty());
        } else {
            QCOMPARE(form.InstallerFileName, installer);
            QCOMPARE(p.opened.size(), 1);
            QCOMPARE(p.opened[0].target, installer);
            site->unpublish(installer);
        }
    }
};

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
