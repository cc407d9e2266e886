#include "RecordingPlatform.h"
#include "WhenShown.h"
#include "TestSite.h"
#include "platform/Fonts.h"
#include "shell/MainFm.h"
#include "shell/ProcessSettings.h"
#include "update/ProgressFm.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>
#include <QtTest>

namespace {
QColor pixel(QWidget* widget, int x, int y) {
    return widget->grab().toImage().pixelColor(x, y);
}

// Counts show events of one widget.
class ShowCounter : public QObject {
public:
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};
} // namespace

class InstructionsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutes(); }

    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName() + " left visible"));
    }

    void showsUsageTextWithTheDesignedLook() {
        PlatformScope scope;
        TForm1 form({QStringLiteral("tallyaid"), QStringLiteral("HELP")});
        QCOMPARE(form.runMode(), QString());
        form.start();
        QVERIFY(form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("Payroll Update"));
        QCOMPARE(form.size(), QSize(469, 306));
        QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowSystemMenuHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowMinMaxButtonsHint));

        const QStringList lines = form.Memo1->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[0], QStringLiteral("This utility should be called from options in Tallywick itself."));
        QCOMPARE(lines[2], QString());
        QCOMPARE(lines[4], QString());
        QCOMPARE(lines[5], QStringLiteral("Usage:  tallyaid PARAMETER"));
        QCOMPARE(lines[7], QString());
        QCOMPARE(lines[8], QStringLiteral("UPDATEV2  (to download the latest update for Tallywick V2 from our "));
        QCOMPARE(lines[10], QStringLiteral("SETUPBDE  (to download and reinstall the Borland Database Engine.)"));
        QVERIFY(form.Memo1->isReadOnly());
        QVERIFY(!(form.Memo1->focusPolicy() & Qt::TabFocus));

        QVERIFY(form.Label1->isHidden());
        QCOMPARE(form.Label2->text(), QStringLiteral("Instructions"));
        QVERIFY(form.Label2->font().bold() && form.Label2->font().underline());
        QCOMPARE(form.Label2->geometry(), QRect(8, 3, 469 - 11, 29));
        QCOMPARE(form.Memo1->geometry(), QRect(8, 38, 469 - 11, 203));
        QCOMPARE(form.pnl_ButtonContainer->geometry(), QRect(0, 306 - 4 - 39, 469, 39));
        QCOMPARE(form.Panel1->geometry(), QRect(0, 302, 469, 4));
        QCOMPARE(form.CloseBtn->geometry(), QRect(469 - 8 - 107, 4, 107, 31));
        QCOMPARE(form.CloseBtn->text(), QStringLiteral("Close"));
        QCOMPARE(form.font().pixelSize(), 13);

        QCOMPARE(pixel(&form, 4, 150), QColor(0x00, 0x3D, 0x59));
        QCOMPARE(pixel(&form, 200, 304), QColor(0x40, 0x00, 0x00));
        QCOMPARE(pixel(&form, 20, 280), QColor(0xC0, 0xC0, 0xC0));

        QSignalSpy closed(&form, &TForm1::closed);
        QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form.isVisible());
    }

    void processSettingsAreMade() {
        TForm1 form({QStringLiteral("tallyaid"), QStringLiteral("x")});
        const ProcessSettings& s = ProcessSettings::instance();
        QCOMPARE(s.shortDateFormat, QStringLiteral("d/M/yyyy"));
        QCOMPARE(s.dateSeparator, QChar(u'/'));
        QCOMPARE(s.shortDayNames, QStringList({"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}));
        // Tooltips really use the timings: the style's wake-up delay is what the app uses.
        QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 200);
        QCOMPARE(s.hintHidePauseMs, 10000);
    }

    void hintsShowThroughTheProcessWideSettings() {
        PlatformScope scope;
        TForm1 form({QStringLiteral("tallyaid"), QStringLiteral("x")});
        TUpdateForm update;
        update.show();
        QWidget* cancel = update.findChild<QWidget*>(QStringLiteral("CancelBtn"));
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), cancel->mapToGlobal(QPoint(5, 5)));
        QVERIFY2(QApplication::sendEvent(cancel, &help), "the hint is taken by the process-wide handler");
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("click this to cancel"));
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible()); // Windows fades it out first
        update.hide();
    }

    void runModeNeverShowsTheInstructionsWindow() {
        PlatformScope scope;
        TestSite site; // checking modes fetch from it; "BDE" does not
        QVERIFY(site.isReady());
        TForm1 form({QStringLiteral("tallyaid"), QStringLiteral("setupbde"), QStringLiteral("TV")});
        TUpdateForm update;
        form.setUpdateForm(&update);
        ShowCounter counter;
        form.installEventFilter(&counter);
        QSignalSpy closed(&form, &TForm1::closed);
        bool sawUpdate = false;
        whenShown(&update, [&] {
            sawUpdate = update.isVisible() && !form.isVisible();
            QCOMPARE(update.RunMode, runModeText(RunModeCode::DatabaseEngine));
            update.close();
        });
        form.start();
        QVERIFY(sawUpdate);
        QCOMPARE(counter.shows, 0);
        QVERIFY(closed.count() >= 1);
    }
};

QTEST_MAIN(InstructionsWindowTest)
#include "tst_instructionswindow.moc"
