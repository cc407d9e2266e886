// The confirmation dialog: its key map as a table, then real questions driven with keys,
// the pointer and close requests while the dialog is modal.
#include "RecordingPlatform.h"
#include "WhenModal.h"
#include "dialogs/ConfirmFrm.h"
#include "platform/Fonts.h"
#include "widgets/PanelButton.h"
#include "widgets/WrapLabel.h"

#include <QLabel>
#include <QScreen>
#include <QtTest>

namespace {
void type(TConfirm* d, const QString& keys) {
    for (const QChar c : keys) {
        if (c == u'\r')
            QTest::keyClick(d, Qt::Key_Return);
        else if (c == u'\x1b')
            QTest::keyClick(d, Qt::Key_Escape);
        else
            QTest::keyClick(d, c.toLatin1());
    }
}

QColor fill(QWidget* w) {
    return w->palette().color(QPalette::Window);
}

QWidget* part(const TConfirm* d, const char* name) {
    return control(d, QLatin1String(name));
}

QLabel* text(const TConfirm* d, const char* name) {
    return control<QLabel>(d, QLatin1String(name));
}

TPanelButton* face(const TConfirm* d, const char* name) {
    return control<TPanelButton>(d, QLatin1String(name));
}

bool highlighted(TPanelButton* face) {
    return face->geometry().topLeft() == QPoint(3, 3) && face->colour() == QColor(0xB0, 0xDC, 0xFF);
}

QStringList highlightedFaces(const TConfirm* d) {
    QStringList lit;
    for (TPanelButton* f : d->findChildren<TPanelButton*>())
        if (highlighted(f))
            lit << f->objectName();
    return lit;
}

// What is painted at the notice's left end, away from its text: the strip's own colour
// while the notice has no background of its own.
QColor noticeFill(const TConfirm* d) {
    const QLabel* notice = text(d, "UseMouseNotice");
    return part(d, "TopPanelLineAndTitleBack")->grab().toImage().pixelColor(notice->x() + 2, 2);
}

const QColor kStrip(0x64, 0x00, 0x32);
} // namespace

class ConfirmTest : public QObject {
    Q_OBJECT
    PlatformScope* scope = nullptr;
    TConfirm* dialog = nullptr;

private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init() {
        scope = new PlatformScope;
        dialog = new TConfirm;
    }
    void cleanup() {
        QVERIFY2(!dialog->isVisible(), "the dialog was left open");
        delete dialog;
        delete scope;
    }

    void keyMap_data() {
        QTest::addColumn<QString>("defaultCode");
        QTest::addColumn<bool>("yesNoRow");
        QTest::addColumn<bool>("cancelShown");
        QTest::addColumn<QString>("shortcuts");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("actions"); // per key: a result digit, "n" notice, "-" ignored
        QTest::newRow("standard Yes/No") << "" << true << true << "YN" << "yYnN\r \x1b" << "6677nnn";
        QTest::newRow("default No") << "N" << true << true << "YN" << "\r y" << "776";
        QTest::newRow("default Other") << "X" << true << true << "YN" << " " << "5";
        QTest::newRow("YES highlights nothing, Enter and Space do nothing") << "YES" << true << true << "YN"
                                                                         << "\r y" << "--6";
        QTest::newRow("OK only") << "" << false << false << "OC" << "\r \x1boOx" << "11111-";
        QTest::newRow("OK / Cancel") << "" << false << true << "OC" << "oc\x1b\r" << "12nn";
        QTest::newRow("default Cancel") << "C" << false << true << "OC" << "\ro" << "21";
        QTest::newRow("custom, not numbered") << "" << true << true << "" << "yn1" << "nnn";
        QTest::newRow("numbered, two buttons") << "" << true << true << "12-" << "123-" << "67nn";
        QTest::newRow("numbered, three") << "" << true << true << "123" << "321" << "576";
    }
    void keyMap() {
        QFETCH(QString, defaultCode);
        QFETCH(bool, yesNoRow);
        QFETCH(bool, cancelShown);
        QFETCH(QString, shortcuts);
        QFETCH(QString, keys);
        QFETCH(QString, actions);
        const ConfirmKeyState state{defaultCode, yesNoRow, cancelShown, shortcuts};
        QString got;
        for (const QChar key : keys) {
            const ConfirmKeyAction a = confirmKeyAction(state, key);
            got += a.kind == ConfirmKeyAction::Choose ? QString::number(a.result)
                   : a.kind == ConfirmKeyAction::Notice ? QStringLiteral("n")
                                                        : QStringLiteral("-");
        }
        QCOMPARE(got, actions);
    }

    void yesNoQuestionLooksAndSizes() {
        whenModal<TConfirm>([](TConfirm* d) {
            QCOMPARE(text(d, "TopPanelLineAndTitle")->text(), QStringLiteral("  Confirm..."));
            QVERIFY(text(d, "MessageIcon")->isVisible());
            QCOMPARE(text(d, "MessageIcon")->text(), QStringLiteral("?"));
            QCOMPARE(fill(text(d, "MessageIcon")), QColor(0x00, 0x80, 0xFF));
            QCOMPARE(fill(part(d, "MessagePanel")), QColor(0xDF, 0xEF, 0xFF));
            QVERIFY(part(d, "YesNoPanel")->isVisible() && !part(d, "OkCancelPanel")->isVisible() && !part(d, "OtherPanelBtnBACK")->isVisible());
            QCOMPARE(part(d, "NoPanelBtnBACK")->geometry().right() + 1, part(d, "YesNoPanel")->width() - 4);
            QCOMPARE(part(d, "YesPanelBtnBACK")->geometry().right() + 1, part(d, "NoPanelBtnBACK")->x());
            QVERIFY(!highlighted(face(d, "YesPanelBtn")) && !highlighted(face(d, "NoPanelBtn")));
            QCOMPARE(d->width(), 352);
            QCOMPARE(d->height(), text(d, "MessageLabel")->height() + 72);
            // One line of text and the empty line after it: as tall as two lines of text.
            QCOMPARE(text(d, "MessageLabel")->text(), QStringLiteral("Go on?\n"));
            const QFont font = text(d, "MessageLabel")->font();
            const int one = TWrapLabel::measure(font, QStringLiteral("Go on?"), true, 327).height();
            const int two = TWrapLabel::measure(font, QStringLiteral("Go on?\nGo on?"), true, 327).height();
            QVERIFY2(two > one, "two lines are taller than one");
            QCOMPARE(text(d, "MessageLabel")->height(), two);
            const QRect area = Platform::current().workArea();
            QCOMPARE(d->x(), area.left() + (area.width() - 352) / 2);
            QCOMPARE(d->y(), area.top() + (area.height() - d->height()) / 2);
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("Go on?"), 2), 6);
        QCOMPARE(fill(part(dialog, "MessagePanel")), QColor(Qt::white)); // after every question
    }

    void defaults_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("highlighted"); // face name, or empty
        QTest::addColumn<int>("enterResult");     // 0: Enter does not choose
        QTest::newRow("n in lower case") << "YesNo" << "n" << "NoPanelBtn" << 7;
        QTest::newRow("Y") << "YesNo" << "Y" << "YesPanelBtn" << 6;
        QTest::newRow("O on Yes/No is cleared") << "YesNo" << "O" << "" << 0;
        QTest::newRow("X without Other is cleared") << "YesNo" << "X" << "" << 0;
        QTest::newRow("Y on OK/Cancel is cleared") << "OkCancel" << "Y" << "" << 0;
        QTest::newRow("C") << "OkCancel" << "C" << "CancelPanelBtn" << 2;
    }
    void defaults() {
        QFETCH(QString, operation);
        QFETCH(QString, code);
        QFETCH(QString, highlighted);
        QFETCH(int, enterResult);
        bool noticeShown = false;
        QString lit;
        whenModal<TConfirm>([&](TConfirm* d) {
            lit = highlightedFaces(d).join(u',');
            type(d, QStringLiteral("\r"));
            noticeShown = text(d, "UseMouseNotice")->isVisible();
            if (d->isVisible())
                type(d, operation == QLatin1String("YesNo") ? QStringLiteral("y") : QStringLiteral("o"));
        });
        const int result = operation == QLatin1String("YesNo") ? dialog->YesNo(QStringLiteral("m"), code, 0)
                                                                : dialog->OkCancel(QStringLiteral("m"), code, 3);
        QCOMPARE(lit, highlighted);
        QCOMPARE(noticeShown, enterResult == 0);
        QCOMPARE(result, enterResult ? enterResult : (operation == QLatin1String("YesNo") ? 6 : 1));
    }

    void unknownDefaultMakesEnterDoNothing() {
        whenModal<TConfirm>([](TConfirm* d) {
            type(d, QStringLiteral("\r \r"));
            QVERIFY(d->isVisible() && !text(d, "UseMouseNotice")->isVisible());
            // The pointer on a button takes the default away: Enter then moves the notice on.
            QEnterEvent enter({1, 1}, {1, 1}, {1, 1});
            QApplication::sendEvent(face(d, "YesPanelBtn"), &enter);
            QCOMPARE(face(d, "YesPanelBtn")->colour(), QColor(0xA6, 0xD7, 0xFF));
            QCOMPARE(highlightedFaces(d), QStringList());
            type(d, QStringLiteral("\r"));
            QVERIFY(text(d, "UseMouseNotice")->isVisible());
            QTest::mouseClick(face(d, "NoPanelBtn"), Qt::LeftButton);
        });
        QCOMPARE(dialog->YesNo(QStringLiteral("m"), QStringLiteral("YES"), 0), 7);
        QCOMPARE(text(dialog, "TopPanelLineAndTitle")->text(), QStringLiteral("  Message"));
        QVERIFY(!text(dialog, "MessageIcon")->isVisibleTo(dialog));
    }

    void okOnlyTakesItsKeysAndIgnoresTheRest() {
        whenModal<TConfirm>([](TConfirm* d) {
            QVERIFY(!part(d, "CancelPanelBtnBACK")->isVisible());
            QVERIFY(part(d, "OkCancelPanel")->isVisible() && !part(d, "YesNoPanel")->isVisible());
            QVERIFY(text(d, "MessageIcon")->isVisible());
            QCOMPARE(text(d, "MessageIcon")->text(), QStringLiteral("i"));
            QCOMPARE(fill(text(d, "MessageIcon")), QColor(0x00, 0x80, 0xFF));
            QCOMPARE(fill(part(d, "MessagePanel")), QColor(0xDF, 0xEF, 0xFF));
            // OK alone at the right end of its row, where only the 8-px spacer stays beside it.
            QCOMPARE(part(d, "OKPanelBtnBACK")->geometry().right() + 1, part(d, "OkCancelPanel")->width() - 4 - 8);
            type(d, QStringLiteral("qzx"));
            QVERIFY(!text(d, "UseMouseNotice")->isVisible());
            type(d, QStringLiteral("\x1b"));
        });
        QCOMPARE(dialog->Ok(QStringLiteral("Done.")), 1);
        QCOMPARE(text(dialog, "TopPanelLineAndTitle")->text(), QStringLiteral("  Information"));
        whenModal<TConfirm>([](TConfirm* d) {
            QVERIFY(part(d, "CancelPanelBtnBACK")->isVisible());
            type(d, QStringLiteral("c"));
        });
        QCOMPARE(dialog->OkCancelX(QStringLiteral("m"), 1), 2);
    }

    void typeFourIsRedUntilTheNextQuestion() {
        QColor area, ink;
        bool bold = false;
        whenModal<TConfirm>([&](TConfirm* d) {
            area = fill(part(d, "MessagePanel"));
            ink = text(d, "MessageLabel")->palette().color(QPalette::WindowText);
            bold = text(d, "MessageLabel")->font().bold();
            QCOMPARE(fill(text(d, "MessageIcon")), QColor(0xFF, 0x00, 0x00));
            type(d, QStringLiteral("o"));
        });
        QCOMPARE(dialog->OkCancelX(QStringLiteral("m"), 4), 1);
        QCOMPARE(area, QColor(0xFF, 0x00, 0x00));
        QCOMPARE(ink, QColor(Qt::white));
        QVERIFY(bold);
        whenModal<TConfirm>([&](TConfirm* d) {
            area = fill(part(d, "MessagePanel"));
            ink = text(d, "MessageLabel")->palette().color(QPalette::WindowText);
            bold = text(d, "MessageLabel")->font().bold();
            type(d, QStringLiteral("n"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 2), 7);
        QCOMPARE(area, QColor(0xDF, 0xEF, 0xFF));
        QCOMPARE(ink, QColor(Qt::black));
        QVERIFY(!bold);
    }

    void noticeSteps_data() {
        QTest::addColumn<int>("keys"); // unrecognised keys typed
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QColor>("notice");
        QTest::addColumn<QColor>("rows");
        const QColor grey(0xE0, 0xE0, 0xE0), yellow(0xFF, 0xFF, 0x00);
        QTest::newRow("none: hidden") << 0 << false << kStrip << grey;
        QTest::newRow("first: white text on the strip") << 1 << true << kStrip << grey;
        QTest::newRow("second: blue") << 2 << true << QColor(0x00, 0x80, 0xFF) << grey;
        QTest::newRow("third: red, rows yellow") << 3 << true << QColor(0xFF, 0x00, 0x00) << yellow;
        QTest::newRow("fourth: black") << 4 << true << QColor(0x00, 0x00, 0x00) << yellow;
        QTest::newRow("fifth: red again") << 5 << true << QColor(0xFF, 0x00, 0x00) << yellow;
    }
    void noticeSteps() {
        QFETCH(int, keys);
        QFETCH(bool, shown);
        QFETCH(QColor, notice);
        QFETCH(QColor, rows);
        bool visible = false;
        QColor painted, row, ink;
        QRect place, title;
        int stripWidth = 0;
        whenModal<TConfirm>([&](TConfirm* d) {
            type(d, QString(keys, u'q'));
            visible = text(d, "UseMouseNotice")->isVisible();
            painted = noticeFill(d);
            row = part(d, "YesNoPanel")->grab().toImage().pixelColor(2, 2);
            ink = text(d, "UseMouseNotice")->palette().color(QPalette::WindowText);
            place = text(d, "UseMouseNotice")->geometry();
            title = text(d, "TopPanelLineAndTitle")->geometry();
            stripWidth = part(d, "TopPanelLineAndTitleBack")->width();
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 2), 6);
        QCOMPARE(visible, shown);
        QCOMPARE(painted, notice);
        QCOMPARE(row, rows);
        QCOMPARE(ink, QColor(Qt::white));
        // At the right end of the strip; the title takes what is left and never runs under it.
        QCOMPARE(place, QRect(stripWidth - 181, 0, 181, 18));
        QCOMPARE(title.right() + 1, shown ? place.left() : stripWidth);
    }

    void customButtonsAreNumberedAfterTheThirdKey() {
        QStringList captions, order;
        QRect title, notice;
        int otherEnd = 0, rowWidth = 0;
        whenModal<TConfirm>([&](TConfirm* d) {
            QCOMPARE(text(d, "TopPanelLineAndTitle")->text(),
                     QStringLiteral("  Choose how the report of this pay run is sent"));
            QVERIFY(!text(d, "MessageIcon")->isVisible());
            // Yes, No, Other from left to right, Other ending 4 px from the row's right edge.
            QList<QWidget*> holders = {part(d, "OtherPanelBtnBACK"), part(d, "YesPanelBtnBACK"),
                                       part(d, "NoPanelBtnBACK")};
            std::sort(holders.begin(), holders.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
            for (QWidget* h : holders)
                order << h->objectName();
            otherEnd = part(d, "OtherPanelBtnBACK")->geometry().right() + 1;
            rowWidth = part(d, "YesNoPanel")->width();
            type(d, QStringLiteral("1yn")); // custom captions: no key chooses yet
            captions = {face(d, "YesPanelBtn")->caption(), face(d, "NoPanelBtn")->caption(),
                        face(d, "OtherPanelBtn")->caption()};
            title = text(d, "TopPanelLineAndTitle")->geometry();
            notice = text(d, "UseMouseNotice")->geometry();
            type(d, QStringLiteral("-"));
            QVERIFY(d->isVisible()); // "-" only moves the notice on
            type(d, QStringLiteral("3"));
        });
        QCOMPARE(dialog->CustomYesNoButtons(QStringLiteral("Pick one."), QStringLiteral("Print"), QStringLiteral("Save"),
                                            QStringLiteral("Skip"),
                                            QStringLiteral("Choose how the report of this pay run is sent"), QString(),
                                            true, 9),
                 5);
        QCOMPARE(order, QStringList({"YesPanelBtnBACK", "NoPanelBtnBACK", "OtherPanelBtnBACK"}));
        QCOMPARE(otherEnd, rowWidth - 4);
        QCOMPARE(captions, QStringList({"&1. Print", "&2. Save", "&3. Skip"}));
        QVERIFY2(!title.intersects(notice), "a long heading and the notice share the strip without overlapping");
        // The next question is standard again: "&Yes", "&No", no Other button, the notice hidden.
        whenModal<TConfirm>([](TConfirm* d) {
            QCOMPARE(face(d, "YesPanelBtn")->caption(), QStringLiteral("&Yes"));
            QCOMPARE(face(d, "NoPanelBtn")->caption(), QStringLiteral("&No"));
            QVERIFY(!part(d, "OtherPanelBtnBACK")->isVisible() && !text(d, "UseMouseNotice")->isVisible());
            // The same height as before, and the title has the whole strip again.
            QCOMPARE(text(d, "TopPanelLineAndTitle")->geometry().right() + 1,
                     part(d, "TopPanelLineAndTitleBack")->width());
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("Pick one."), 1), 6);
    }

    void customHeadingsAndTypes_data() {
        QTest::addColumn<QString>("heading");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("yes");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("result");
        QTest::newRow("empty heading, type 9") << "" << 9 << "Go" << "  Message" << "---2" << 7;
        QTest::newRow("type 2 replaces the heading") << "Mine" << 2 << "Go" << "  Confirm..." << "---1" << 6;
        QTest::newRow("Yes in other case keeps Y and N") << "H" << 9 << "&yes" << "  H" << "n" << 7;
    }
    void customHeadingsAndTypes() {
        QFETCH(QString, heading);
        QFETCH(int, type);
        QFETCH(QString, yes);
        QFETCH(QString, title);
        QFETCH(QString, keys);
        QFETCH(int, result);
        QString seen;
        whenModal<TConfirm>([&](TConfirm* d) {
            seen = text(d, "TopPanelLineAndTitle")->text();
            ::type(d, keys);
        });
        QCOMPARE(dialog->CustomYesNoButtonsX(QStringLiteral("m"), yes, QStringLiteral("Stop"), QString(), heading,
                                             false, std::int8_t(type)),
                 result);
        QCOMPARE(seen, title);
    }

    void closesOnlyThroughAButton() {
        bool refused = false;
        whenModal<TConfirm>([&](TConfirm* d) {
            d->close();
            refused = d->isVisible();
            QTest::mouseClick(face(d, "YesPanelBtn"), Qt::LeftButton);
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 2), 6);
        QVERIFY2(refused, "a close request is refused");
    }

    void dragsOnlyFromTheStripTitleAndBand_data() {
        QTest::addColumn<QPoint>("press"); // in the window, with the notice shown
        QTest::addColumn<int>("mouseButton");
        QTest::addColumn<bool>("moves");
        // The frame is 5 wide; the strip 18 high with the 19-wide icon at its left and the
        // 181-wide notice at its right end; the 4-px band under it.
        QTest::newRow("title, right button") << QPoint(60, 10) << int(Qt::RightButton) << true;
        QTest::newRow("title, left button") << QPoint(60, 10) << int(Qt::LeftButton) << true;
        QTest::newRow("band under the strip") << QPoint(100, 25) << int(Qt::LeftButton) << true;
        QTest::newRow("icon") << QPoint(12, 12) << int(Qt::LeftButton) << false;
        QTest::newRow("notice") << QPoint(352 - 5 - 90, 12) << int(Qt::LeftButton) << false;
    }
    void dragsOnlyFromTheStripTitleAndBand() {
        QFETCH(QPoint, press);
        QFETCH(int, mouseButton);
        QFETCH(bool, moves);
        QPoint moved;
        whenModal<TConfirm>([&](TConfirm* d) {
            type(d, QStringLiteral("q")); // the notice shows
            const QPoint before = d->pos();
            dragAt(d, press, press + QPoint(30, 20), Qt::MouseButton(mouseButton));
            moved = d->pos() - before;
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 2), 6);
        QCOMPARE(moved, moves ? QPoint(30, 20) : QPoint(0, 0));
    }

    void opensCentredOnTheMonitorItWasLeftOn_data() {
        QTest::addColumn<int>("screen"); // where the first question is dragged to
        QTest::newRow("moved to the second monitor") << 1;
        QTest::newRow("left on the first") << 0;
    }
    void opensCentredOnTheMonitorItWasLeftOn() {
        QFETCH(int, screen);
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(screens.size() == 2, "the test runs with two monitors");
        const QRect target = screens[screen]->availableGeometry();
        whenModal<TConfirm>([&](TConfirm* d) {
            // Dragged by its title until its middle lies on the chosen monitor.
            const QPoint from(60, 10);
            dragAt(d, from, from + target.center() - d->geometry().center(), Qt::LeftButton);
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("first"), 2), 6);
        QRect second;
        whenModal<TConfirm>([&](TConfirm* d) {
            second = d->geometry();
            type(d, QStringLiteral("n"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("second"), 2), 7);
        QCOMPARE(second.topLeft(), QPoint(target.left() + (target.width() - 352) / 2,
                                          target.top() + (target.height() - second.height()) / 2));
    }
};

// Two monitors side by side, of different sizes, so that "its monitor" is not the primary.
int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [
        {"name": "first", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "second", "x": 1024, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
    ]})");
    file.close();
    // Qt splits the platform's options at every ':', a Windows drive's colon too: the file is
    // named from the folder it is in, made current while the platform reads it.
    const QString started = QDir::currentPath();
    if (!QDir::setCurrent(dir.path()))
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=screens.json");
    QApplication app(argc, argv);
    QDir::setCurrent(started);
    ConfirmTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_confirm.moc"
