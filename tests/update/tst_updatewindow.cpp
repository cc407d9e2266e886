#include "RecordingPlatform.h"
#include "WhenModal.h"
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
    return control<QWidget>(&form, QStringLiteral("pnl_TopInfoContainer"))->grab().toImage().pixelColor(390, 178);
}

QStringList statusLines(const TUpdateForm& form) {
    return {control<QLabel>(&form, QStringLiteral("StatusLabel1"))->text(), control<QLabel>(&form, QStringLiteral("StatusLabel2"))->text(), control<QLabel>(&form, QStringLiteral("StatusLabel3"))->text(),
            control<QLabel>(&form, QStringLiteral("StatusLabel4"))->text(), control<QLabel>(&form, QStringLiteral("StatusLabel5"))->text()};
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
        runWindow(form, runModeText(RunModeCode::DatabaseEngine), [&] {
            QCOMPARE(form.size(), QSize(402, 327));
            QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(form.windowFlags() & Qt::WindowMinMaxButtonsHint));
            QCOMPARE(control<QWidget>(&form, QStringLiteral("pnl_TopInfoContainer"))->geometry(), QRect(0, 0, 402, 182));
            QCOMPARE(control<QWidget>(&form, QStringLiteral("pnl_ButtonContainer"))->geometry(), QRect(0, 182, 402, 80));
            QCOMPARE(control<QWidget>(&form, QStringLiteral("pnl_DetailsLabelContainer"))->geometry(), QRect(0, 262, 402, 62));
            QCOMPARE(control<QWidget>(&form, QStringLiteral("Panel1"))->geometry(), QRect(0, 324, 402, 3));
            QCOMPARE(control<QProgressBar>(&form, QStringLiteral("ProgressBar1"))->geometry(), QRect(12, 12, 378, 17));
            QCOMPARE(control<QLabel>(&form, QStringLiteral("StatusLabel1"))->geometry(), QRect(12, 37, 378, 25));
            QCOMPARE(control<QLabel>(&form, QStringLiteral("StatusLabel5"))->geometry(), QRect(12, 137, 378, 25));
            QVERIFY(control<QLabel>(&form, QStringLiteral("StatusLabel1"))->font().bold() && control<QLabel>(&form, QStringLiteral("StatusLabel5"))->font().bold());
            QVERIFY(!control<QLabel>(&form, QStringLiteral("StatusLabel2"))->font().bold());
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("DownloadOtherButton"))->geometry(), QRect(14, 8, 181, 30));
            QCOMPARE(control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->geometry(), QRect(254, 6, 135, 30));
            QCOMPARE(control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->toolTip(), QStringLiteral("click this to cancel"));
            QCOMPARE(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->geometry().topLeft(), QPoint(8, 8));
            QCOMPARE(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->textFormat(), Qt::PlainText);
            QCOMPARE(form.grab().toImage().pixelColor(200, 325), QColor(0x40, 0x00, 0x00));
            QCOMPARE(control<QWidget>(&form, QStringLiteral("pnl_ButtonContainer"))->grab().toImage().pixelColor(240, 40), QColor(Qt::white));
        });
        QCOMPARE(control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->geometry(), QRect(14, 6, 211, 65));
        QCOMPARE(control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->geometry(), QRect(254, 41, 135, 30));
        QCOMPARE(control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->toolTip(),
                 QStringLiteral("if Orrindale Software has advised to use \"Other Options\", please click this button"));
        QVERIFY(!(control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->focusPolicy() & Qt::TabFocus));
        QCOMPARE(control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->nextInFocusChain(), static_cast<QWidget*>(control<TStyledButton>(&form, QStringLiteral("CancelBtn"))));
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
        QTest::newRow("TEST") << runModeText(RunModeCode::Test) << green << true << false << true << QStringList{"twtestup.exe"}
                              << (alwaysKept + v2Leftovers) << "";
        QTest::newRow("TEST2") << runModeText(RunModeCode::Test2) << green << true << false << true << QStringList{"twtestup.exe"}
                               << (alwaysKept + v2Leftovers) << "";
        QTest::newRow("2") << runModeText(RunModeCode::UpdateV2) << window << true << false << true << v2Leftovers
                           << (alwaysKept + QStringList{"twtestup.exe"}) << "";
        QTest::newRow("INIT") << runModeText(RunModeCode::FirstInstall) << green << true << false << true << v2Leftovers
                              << (alwaysKept + QStringList{"twtestup.exe"}) << "";
#ifndef _WIN32 // no symbolic links for a standard user on Windows
        // upd19283 a link to the folder "elsewhere": the files there are not the program's.
        QTest::newRow("2, upd19283 a link") << runModeText(RunModeCode::UpdateV2) << window << true << false << true
                                            << QStringList{"twv2up.exe"}
                                            << QStringList{"elsewhere/updw1.exe", "elsewhere/diskinfo.tly",
                                                           "elsewhere/updatint.exe"}
                                            << "";
#endif
        QTest::newRow("BDE") << runModeText(RunModeCode::DatabaseEngine) << green << false << true << false << QStringList{}
                             << (alwaysKept + v2Leftovers + QStringList{"twtestup.exe"}) << "(BDE)";
        QTest::newRow("TV") << runModeText(RunModeCode::RemoteSupport) << green << false << true << false << QStringList{}
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
        if (QFileInfo(p.folder + "elsewhere").isDir())
            QVERIFY(QFile::link(p.folder + "elsewhere", p.folder + "upd19283"));
        QDir(p.folder).mkdir(QStringLiteral("twvold.exe")); // a folder never matches
        p.writeFile(QStringLiteral("version.tly"), "2.70\r\n");

        TUpdateForm form;
        runWindow(form, mode, [&] {
            QVERIFY(!form.isProblemViewShown());
            QCOMPARE(infoColour(form), info);
            QCOMPARE(control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->isVisible(), downloadBtn);
            QCOMPARE(control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->isEnabled(), downloadBtn);
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("DownloadOtherButton"))->isVisible(), otherButton);
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("DownloadOtherButton"))->isEnabled(), otherButton);
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("DownloadOtherButton"))->isDefault(), otherButton);
            QCOMPARE(control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->isDefault(), downloadBtn);
            QCOMPARE(control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->isVisible(), otherOptions);
            QVERIFY(!control<QPushButton>(&form, QStringLiteral("CheckForUpdatesBtn"))->isVisible());
            QVERIFY(control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->isVisible() && control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->isEnabled());
            QVERIFY(control<QProgressBar>(&form, QStringLiteral("ProgressBar1"))->isVisible());
            if (otherButton) {
                QCOMPARE(statusLines(form), QStringList({"", "", "", line4,
                                                         "Click \"Download Now\" to start downloading..."}));
                QCOMPARE(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text(), QString());
            } else {
                QVERIFY2(!control<QLabel>(&form, QStringLiteral("StatusLabel5"))->text().isEmpty(), "the version check filled the status lines");
                QVERIFY(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text().endsWith(QStringLiteral("\n  twv2up.exe")));
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
        runWindow(form, runModeText(RunModeCode::UpdateV2), [&] {
            QCOMPARE(form.lastDeletePasses(), 2);
            QCOMPARE(p.findCalls, 2);
            QCOMPARE(control<QLabel>(&form, QStringLiteral("StatusLabel1"))->text(), QStringLiteral("NEW UPDATE AVAILABLE!"));
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
        runWindow(form, runModeText(RunModeCode::FirstInstall), [&] {
            QCOMPARE(control<QLabel>(&form, QStringLiteral("StatusLabel1"))->text(), QStringLiteral("AN UPDATE IS AVAILABLE!")); // the check still ran
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
        runWindow(form, runModeText(RunModeCode::UpdateV2), [&] { QVERIFY(p.has("twv2.vn")); });
        QVERIFY2(!form.isVisible(), "the window closed all the same");
        QVERIFY(p.has("twv2.vn"));
    }

    void windowFrameIsCentredOnTheWorkArea() {
        PlatformScope scope;
        TUpdateForm form;
        runWindow(form, runModeText(RunModeCode::DatabaseEngine), [&] {
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
            QVERIFY(!control<TStyledButton>(&form, QStringLiteral("DownloadBtn"))->isEnabled());
            QVERIFY(!control<TStyledButton>(&form, QStringLiteral("CancelBtn"))->isEnabled());
            QVERIFY(!control<TStyledButton>(&form, QStringLiteral("OtherOptionsBtn"))->isEnabled());
            QCOMPARE(control<QLabel>(&form, QStringLiteral("DetailsLabel"))->text(), QStringLiteral("Cancelled."));
            QVERIFY(form.isVisible());
            checked = true;
        };
        whenShown(&form, [&] { QTest::mouseClick(control<TStyledButton>(&form, QStringLiteral("CancelBtn")), Qt::LeftButton); });
        form.ShowModalUpdate(runModeText(RunModeCode::DatabaseEngine));
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
        form.ShowModalUpdate(runModeText(RunModeCode::DatabaseEngine));
        QVERIFY(refused);
        QVERIFY(!form.isVisible());
        QVERIFY(!p.has("twv2.vn"));
        QVERIFY(p.has("twvtest.vn") && p.has("twvtest2.vn"));
    }

    void heightNeverGoesBelowTheLimit() {
        PlatformScope scope;
        TUpdateForm form;
        runWindow(form, runModeText(RunModeCode::DatabaseEngine), [&] {
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
        runWindow(form, runModeText(RunModeCode::RemoteSupport), [&] {
            form.ShowProblemInfo(QStringLiteral("ignored.exe"), ProblemCode::InstallerFailed);
            QVERIFY(form.isVisible());
            QCOMPARE(control<QLabel>(&form, QStringLiteral("InfoStringLabel"))->text(),
                     QStringLiteral("There was a problem downloading the file. (Code: 300)\n\nPlease try the options "
                                    "below in order."));
            QVERIFY(!control<QWidget>(&form, QStringLiteral("pnl_TopInfoContainer"))->isVisible());
            QVERIFY(!control<QWidget>(&form, QStringLiteral("pnl_ButtonContainer"))->isVisible());
            QVERIFY(!control<QWidget>(&form, QStringLiteral("pnl_DetailsLabelContainer"))->isVisible());
            QCOMPARE(control<QWidget>(&form, QStringLiteral("ProblemInfoPanel"))->geometry(), QRect(0, 0, 402, 324));
            QCOMPARE(control<QWidget>(&form, QStringLiteral("ProblemInfoBtnPanel"))->geometry(), QRect(0, 324 - 99, 402, 99));
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("CloseBtn"))->geometry(), QRect(22, 6, 329, 25));
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("AltDownloadBtn"))->geometry(), QRect(22, 37, 329, 25));
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("ManualDownloadBtn"))->geometry(), QRect(22, 68, 329, 25));
            QCOMPARE(control<QPushButton>(&form, QStringLiteral("CloseBtn"))->text(), QStringLiteral("Option 1: Close this and try again"));
            QCOMPARE(control<QLabel>(&form, QStringLiteral("Label2"))->text(), QStringLiteral("Please try the options below in order."));
            QVERIFY(control<QLabel>(&form, QStringLiteral("Label4"))->text().endsWith(QStringLiteral("webpage. ")));
            QVERIFY(!control<QLineEdit>(&form, QStringLiteral("PreClipBdBox"))->isVisible());
            QCOMPARE(form.grab().toImage().pixelColor(398, 150), QColor(0xE8, 0xD7, 0xD7));
            QCOMPARE(control<QLabel>(&form, QStringLiteral("InfoStringLabel"))->geometry(), QRect(5, 5, 392, 20));
        });
    }

    void labelsShowTextLiterally() {
        PlatformScope scope;
        TUpdateForm form;
        form.SetStatusLines(QStringLiteral("<b>bold?</b>"), {}, {}, {}, {});
        QCOMPARE(control<QLabel>(&form, QStringLiteral("StatusLabel1"))->textFormat(), Qt::PlainText);
        for (QLabel* label : form.findChildren<QLabel*>())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    }
};

QTEST_MAIN(UpdateWindowTest)
#include "tst_updatewindow.moc"
