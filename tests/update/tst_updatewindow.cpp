#include "RecordingPlatform.h"
#include "WhenShown.h"
#include "TestSite.h"
#include "platform/Fonts.h"
#include "update/ProgressFm.h"
#include "widgets/StyledButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QPushButton>
#include <QtTest>

namespace {
const QByteArray kVersionFile = "2.74\r\n-\r\ntwv2up.exe\r\n";

// Shows the window for a run mode, runs `inspect` once it is up, then closes it.
void runWindow(TUpdateForm& form, const QString& mode, const std::function<void()>& inspect) {
    whenShown(&form, [&] {
        inspect();
        form.FCancelled = true; // whatever the test left, let the window close
        form.close();
    });
    form.ShowModalUpdate(mode);
}

QColor infoColour(TUpdateForm& form) {
    return form.pnl_TopInfoContainer->grab().toImage().pixelColor(390, 178);
}

QStringList statusLines(const TUpdateForm& form) {
    return {form.StatusLabel1->text(), form.StatusLabel2->text(), form.StatusLabel3->text(),
            form.StatusLabel4->text(), form.StatusLabel5->text()};
}
} // namespace

class UpdateWindowTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;

private slots:
    void initTestCase() {
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
        for (const char* name : {"twv2.vn", "twvtest.vn", "twvtest2.vn"})
            site->publish(QLatin1String(name), kVersionFile);
    }
    void cleanupTestCase() { delete site; }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName() + " left visible"));
    }

    void designLayout() {
        PlatformScope scope;
        TUpdateForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Update Tallywick"));
        runWindow(form, QStringLiteral("BDE"), [&] {
            QCOMPARE(form.size(), QSize(402, 327));
            QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(form.windowFlags() & Qt::WindowMinMaxButtonsHint));
            QCOMPARE(form.pnl_TopInfoContainer->geometry(), QRect(0, 0, 402, 182));
            QCOMPARE(form.pnl_ButtonContainer->geometry(), QRect(0, 182, 402, 80));
            QCOMPARE(form.pnl_DetailsLabelContainer->geometry(), QRect(0, 262, 402, 62));
            QCOMPARE(form.Panel1->geometry(), QRect(0, 324, 402, 3));
            QCOMPARE(form.ProgressBar1->geometry(), QRect(12, 12, 378, 17));
            QCOMPARE(form.StatusLabel1->geometry(), QRect(12, 37, 378, 25));
            QCOMPARE(form.StatusLabel5->geometry(), QRect(12, 137, 378, 25));
            QVERIFY(form.StatusLabel1->font().bold() && form.StatusLabel5->font().bold());
            QVERIFY(!form.StatusLabel2->font().bold());
            QCOMPARE(form.DownloadOtherButton->geometry(), QRect(14, 8, 181, 30));
            QCOMPARE(form.CancelBtn->geometry(), QRect(254, 6, 135, 30));
            QCOMPARE(form.CancelBtn->toolTip(), QStringLiteral("click this to cancel"));
            QCOMPARE(form.DetailsLabel->geometry().topLeft(), QPoint(8, 8));
            QCOMPARE(form.DetailsLabel->textFormat(), Qt::PlainText);
            QCOMPARE(form.grab().toImage().pixelColor(200, 325), QColor(0x40, 0x00, 0x00));
            QCOMPARE(form.pnl_ButtonContainer->grab().toImage().pixelColor(240, 40), QColor(Qt::white));
        });
        QCOMPARE(form.DownloadBtn->geometry(), QRect(14, 6, 211, 65));
        QCOMPARE(form.OtherOptionsBtn->geometry(), QRect(254, 41, 135, 30));
        QCOMPARE(form.OtherOptionsBtn->toolTip(),
                 QStringLiteral("if Orrindale Software has advised to use \"Other Options\", please click this button"));
        QVERIFY(!(form.OtherOptionsBtn->focusPolicy() & Qt::TabFocus));
        QCOMPARE(form.DownloadBtn->nextInFocusChain(), static_cast<QWidget*>(form.CancelBtn));
    }

    void runModePlan_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QColor>("info");
        QTest::addColumn<bool>("downloadBtn");
        QTest::addColumn<bool>("otherButton");
        QTest::addColumn<bool>("otherOptions");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("line4");
        const QColor green(0xA0, 0xDC, 0xC2), window(0xC0, 0xD8, 0xEF);
        const QStringList v2Leftovers = {"twv2up.exe", "twv215up.exe", "TWV7.EXE", "upd19283/updw1.exe",
                                         "upd19283/diskinfo.tly", "upd19283/updatint.exe"};
        const QStringList alwaysKept = {".twv9.exe", "upd19283/other.txt", "twv2up.txt", "twvtest.vn"};
        QTest::newRow("TEST") << "TEST" << green << true << false << true << QStringList{"twtestup.exe"}
                              << (alwaysKept + v2Leftovers) << "";
        QTest::newRow("TEST2") << "TEST2" << green << true << false << true << QStringList{"twtestup.exe"}
                               << (alwaysKept + v2Leftovers) << "";
        QTest::newRow("2") << "2" << window << true << false << true << v2Leftovers
                           << (alwaysKept + QStringList{"twtestup.exe"}) << "";
        QTest::newRow("INIT") << "INIT" << green << true << false << true << v2Leftovers
                              << (alwaysKept + QStringList{"twtestup.exe"}) << "";
        QTest::newRow("BDE") << "BDE" << green << false << true << false << QStringList{}
                             << (alwaysKept + v2Leftovers + QStringList{"twtestup.exe"}) << "(BDE)";
        QTest::newRow("TV") << "TV" << green << false << true << false << QStringList{}
                            << (alwaysKept + v2Leftovers + QStringList{"twtestup.exe"}) << "(T)";
    }
    void runModePlan() {
        QFETCH(QString, mode);
        QFETCH(QColor, info);
        QFETCH(bool, downloadBtn);
        QFETCH(bool, otherButton);
        QFETCH(bool, otherOptions);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, kept);
        QFETCH(QString, line4);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        for (const QString& name : removed + kept)
            p.writeFile(name, "old");
        QDir(p.folder).mkdir(QStringLiteral("twvold.exe")); // a folder never matches
        p.writeFile(QStringLiteral("version.tly"), "2.70\r\n");

        TUpdateForm form;
        runWindow(form, mode, [&] {
            QVERIFY(!form.isProblemViewShown());
            QCOMPARE(infoColour(form), info);
            QCOMPARE(form.DownloadBtn->isVisible(), downloadBtn);
            QCOMPARE(form.DownloadBtn->isEnabled(), downloadBtn);
            QCOMPARE(form.DownloadOtherButton->isVisible(), otherButton);
            QCOMPARE(form.DownloadOtherButton->isEnabled(), otherButton);
            QCOMPARE(form.DownloadOtherButton->isDefault(), otherButton);
            QCOMPARE(form.DownloadBtn->isDefault(), downloadBtn);
            QCOMPARE(form.OtherOptionsBtn->isVisible(), otherOptions);
            QVERIFY(!form.CheckForUpdatesBtn->isVisible());
            QVERIFY(form.CancelBtn->isVisible() && form.CancelBtn->isEnabled());
            QVERIFY(form.ProgressBar1->isVisible());
            if (otherButton) {
                QCOMPARE(statusLines(form), QStringList({"", "", "", line4,
                                                         "Click \"Download Now\" to start downloading..."}));
                QCOMPARE(form.DetailsLabel->text(), QString());
            } else {
                QVERIFY2(!form.StatusLabel5->text().isEmpty(), "the version check filled the status lines");
                QVERIFY(form.DetailsLabel->text().endsWith(QStringLiteral("\n  twv2up.exe")));
            }
        });
        for (const QString& name : removed)
            QVERIFY2(!p.has(name), qPrintable(name + " should be removed"));
        for (const QString& name : kept)
            QVERIFY2(p.has(name), qPrintable(name + " should stay"));
        QVERIFY(QFileInfo(p.folder + "twvold.exe").isDir());
        QVERIFY(QFileInfo(p.folder + "upd19283").isDir());
        QVERIFY2(!p.has("twv2.vn"), "twv2.vn is deleted on closing");
        QVERIFY(p.opened.isEmpty());
    }

    void undeletableLeftoverEndsTheSearchOnceItSurvivesItsDelete() {
        // The designed 3001 passes would find the same first match every time: stopping at
        // the second pass gives the same outcome without walking a crowded folder 3001 times.
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        p.writeFile(QStringLiteral("twv3up.exe"), "locked");
        p.writeFile(QStringLiteral("twv4up.exe"), "behind it");
        p.writeFile(QStringLiteral("version.tly"), "2.70");
        for (int i = 0; i < 300; ++i)
            p.writeFile(QStringLiteral("other%1.dat").arg(i), "crowd");
        p.undeletable << QStringLiteral("twv3up.exe");
        TUpdateForm form;
        runWindow(form, QStringLiteral("2"), [&] {
            QCOMPARE(form.lastDeletePasses(), 2);
            QCOMPARE(p.findCalls, 2);
            QCOMPARE(form.StatusLabel1->text(), QStringLiteral("NEW UPDATE AVAILABLE!"));
        });
        QVERIFY(p.has("twv3up.exe"));
        QVERIFY2(p.has("twv4up.exe"), "later matches are never tried");
    }

    void errorWhileRemoving_data() {
        QTest::addColumn<QString>("raising");
        QTest::addColumn<QStringList>("kept");
        // An error ends the block; the wildcard search swallows its own errors and just stops.
        QTest::newRow("named file ends the block") << "twv2up.exe"
                                                   << QStringList{"twv2up.exe", "twv5.exe", "upd19283/updw1.exe",
                                                                  "upd19283/updatint.exe"};
        QTest::newRow("wildcard match stops only the search") << "twv5.exe" << QStringList{"twv5.exe"};
    }
    void errorWhileRemoving() {
        QFETCH(QString, raising);
        QFETCH(QStringList, kept);
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        const QStringList all = {"twv2up.exe", "twv5.exe", "upd19283/updw1.exe", "upd19283/updatint.exe"};
        for (const QString& name : all)
            p.writeFile(name, "x");
        p.deleteRaises << raising;
        TUpdateForm form;
        runWindow(form, QStringLiteral("INIT"), [&] {
            QCOMPARE(form.StatusLabel1->text(), QStringLiteral("AN UPDATE IS AVAILABLE!")); // the check still ran
        });
        for (const QString& name : all)
            QVERIFY2(p.has(name) == kept.contains(name), qPrintable(name));
    }

    void deleteMatchingFilesEndsWhenNothingMatches() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        for (const char* name : {"twv1.exe", "twv2.exe", "twvX.exe"})
            p.writeFile(QLatin1String(name), "x");
        TUpdateForm form;
        form.DeleteMatchingFiles(p.folder, QStringLiteral("twv*.exe"));
        QCOMPARE(form.lastDeletePasses(), 4);
        QVERIFY(!p.has("twv1.exe") && !p.has("twv2.exe") && !p.has("twvX.exe"));
    }

    void closingIgnoresAVersionFileThatCannotBeDeleted() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        p.deleteRaises << QStringLiteral("twv2.vn");
        TUpdateForm form;
        runWindow(form, QStringLiteral("2"), [&] { QVERIFY(p.has("twv2.vn")); });
        QVERIFY2(!form.isVisible(), "the window closed all the same");
        QVERIFY(p.has("twv2.vn"));
    }

    void windowFrameIsCentredOnTheWorkArea() {
        PlatformScope scope;
        TUpdateForm form;
        runWindow(form, QStringLiteral("BDE"), [&] {
            const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
            const QPoint off = form.frameGeometry().center() - centre;
            QVERIFY2(form.frameGeometry() != form.geometry(), "the platform gives the window a frame");
            QVERIFY2(qAbs(off.x()) <= 1 && qAbs(off.y()) <= 1, qPrintable(QStringLiteral("off by %1,%2").arg(off.x()).arg(off.y())));
        });
    }

    void cancelDisablesButtonsInformsAndCloses() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        p.writeFile(QStringLiteral("twv2.vn"), "stale");
        TUpdateForm form;
        bool checked = false;
        p.onInformation = [&] {
            QVERIFY(!form.DownloadBtn->isEnabled());
            QVERIFY(!form.CancelBtn->isEnabled());
            QVERIFY(!form.OtherOptionsBtn->isEnabled());
            QCOMPARE(form.DetailsLabel->text(), QStringLiteral("Cancelled."));
            QVERIFY(form.isVisible());
            checked = true;
        };
        whenShown(&form, [&] { QTest::mouseClick(form.CancelBtn, Qt::LeftButton); });
        form.ShowModalUpdate(QStringLiteral("BDE"));
        QVERIFY(checked);
        QCOMPARE(p.informations, QStringList{"You have chosen to cancel the update for now."});
        QVERIFY(!form.isVisible());
        QVERIFY(form.FCancelled);
        QVERIFY(!p.has("twv2.vn"));
    }

    void closeIsRefusedWhileADownloadRuns() {
        PlatformScope scope;
        RecordingPlatform& p = scope.platform;
        TUpdateForm form;
        bool refused = false;
        whenShown(&form, [&] {
            p.writeFile(QStringLiteral("twv2.vn"), "2.74");
            p.writeFile(QStringLiteral("twvtest.vn"), "2.74");
            p.writeFile(QStringLiteral("twvtest2.vn"), "2.74");
            form.FDownloadInProgress = true;
            form.close();
            refused = form.isVisible() && p.has("twv2.vn");
            form.FCancelled = true; // a cancelled download lets it close
            form.close();
        });
        form.ShowModalUpdate(QStringLiteral("BDE"));
        QVERIFY(refused);
        QVERIFY(!form.isVisible());
        QVERIFY(!p.has("twv2.vn"));
        QVERIFY(p.has("twvtest.vn") && p.has("twvtest2.vn"));
    }

    void heightNeverGoesBelowTheLimit() {
        PlatformScope scope;
        TUpdateForm form;
        runWindow(form, QStringLiteral("BDE"), [&] {
            form.resize(120, 100);
            QCOMPARE(form.frameGeometry().height(), 182 + 80 + 60);
            QCOMPARE(form.width(), 120);
            form.ShowProblemInfo(QString(), ProblemCode::DatabaseEngineFailed);
            form.resize(402, 200);
            QCOMPARE(form.frameGeometry().height(), 322);
            form.resize(402, 500);
            QCOMPARE(form.height(), 500);
        });
    }

    void problemViewShowsCodeAndOptions() {
        PlatformScope scope;
        TUpdateForm form;
        runWindow(form, QStringLiteral("TV"), [&] {
            form.ShowProblemInfo(QStringLiteral("ignored.exe"), ProblemCode::InstallerFailed);
            QVERIFY(form.isVisible());
            QCOMPARE(form.InfoStringLabel->text(),
                     QStringLiteral("There was a problem downloading the file. (Code: 300)\n\nPlease try the options "
                                    "below in order."));
            QVERIFY(!form.pnl_TopInfoContainer->isVisible());
            QVERIFY(!form.pnl_ButtonContainer->isVisible());
            QVERIFY(!form.pnl_DetailsLabelContainer->isVisible());
            QCOMPARE(form.ProblemInfoPanel->geometry(), QRect(0, 0, 402, 324));
            QCOMPARE(form.ProblemInfoBtnPanel->geometry(), QRect(0, 324 - 99, 402, 99));
            QCOMPARE(form.CloseBtn->geometry(), QRect(22, 6, 329, 25));
            QCOMPARE(form.AltDownloadBtn->geometry(), QRect(22, 37, 329, 25));
            QCOMPARE(form.ManualDownloadBtn->geometry(), QRect(22, 68, 329, 25));
            QCOMPARE(form.CloseBtn->text(), QStringLiteral("Option 1: Close this and try again"));
            QCOMPARE(form.Label2->text(), QStringLiteral("Please try the options below in order."));
            QVERIFY(form.Label4->text().endsWith(QStringLiteral("webpage. ")));
            QVERIFY(!form.PreClipBdBox->isVisible());
            QCOMPARE(form.grab().toImage().pixelColor(398, 150), QColor(0xE8, 0xD7, 0xD7));
            QCOMPARE(form.InfoStringLabel->geometry(), QRect(5, 5, 392, 20));
        });
    }

    void labelsShowTextLiterally() {
        PlatformScope scope;
        TUpdateForm form;
        form.SetStatusLines(QStringLiteral("<b>bold?</b>"), {}, {}, {}, {});
        QCOMPARE(form.StatusLabel1->textFormat(), Qt::PlainText);
        for (QLabel* label : form.findChildren<QLabel*>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "tst_updatewindow.moc"
