// The message window itself: the layout applied to real controls, and every way of closing
// it with its result, driven with keys and clicks while it is modal.
#include "RecordingPlatform.h"
#include "WhenModal.h"
#include "dialogs/ConfirmFrm.h"
#include "dialogs/MsgFm.h"
#include "platform/Fonts.h"
#include "widgets/PanelButton.h"
#include "widgets/WrapLabel.h"

#include <QAccessible>
#include <QClipboard>
#include <QFrame>
#include <QMimeData>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

namespace {
TPanelButton* button(const QWidget* window, const QString& name) {
    return control<TPanelButton>(window, name);
}

QLabel* label(const QWidget* window, const QString& name) {
    return control<QLabel>(window, name);
}

QScrollArea* scrollBox(const QWidget* window) {
    return control<QScrollArea>(window, QStringLiteral("ScrollBox1"));
}

const QColor kNormal(0x0F, 0x45, 0x71), kHighlight(0x4D, 0x9D, 0xEE);
} // namespace

class MessageWindowTest : public QObject {
    Q_OBJECT
    PlatformScope* scope = nullptr;
    TMessageForm* form = nullptr;

private slots:
    void initTestCase() { installFontSubstitutes(); }
    void init() {
        scope = new PlatformScope;
        form = new TMessageForm;
    }
    void cleanup() {
        QVERIFY2(!form->isVisible(), "the message window was left open");
        delete form;
        delete scope;
    }

    void closingGivesTheResultOfTheButtonSet_data() {
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("result");
        const QList<std::tuple<const char*, const char*, int>> rows = {
            {"OK", "OKPnlBtn", 1},      {"OK", "Enter", 1},         {"OK", "Escape", 1},
            {"OK", "RedXPanel", 1},     {"YN", "YesPnlBtn", 6},     {"YN", "NoPnlBtn", 7},
            {"YN", "Enter", 6},         {"YN", "Escape", 7},        {"YN", "RedXPanel", 7},
            {"yn", "Enter", 6},         {"ok", "Escape", 7},        {"CUST", "CustPanelBtn1", 6},
            {"CUST", "CustPanelBtn2", 7}, {"CUST", "CustPanelBtn3", 5}, {"CUST", "Enter", 6},
            {"CUST", "Escape", 2},      {"CUST", "RedXPanel", 2},   {"YN", "shift+Escape", 7},
            {"YN", "space on No", 7},   {"CUST", "system close", 2}, {"YN", "shift+Enter", 6},
            {"CUST", "shift+Enter", 6}, {"OK", "ctrl+Escape", 1},
        };
        for (const auto& [buttons, action, result] : rows)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(buttons, action))) << buttons << action << result;
    }
    void closingGivesTheResultOfTheButtonSet() {
        QFETCH(QString, buttons);
        QFETCH(QString, action);
        QFETCH(int, result);
        form->SetCustomButtons(QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"));
        whenModal<TMessageForm>([action](TMessageForm* f) {
            QWidget* focused = f->focusWidget() ? f->focusWidget() : f;
            if (action == QLatin1String("Enter"))
                QTest::keyClick(focused, Qt::Key_Return);
            else if (action == QLatin1String("shift+Enter"))
                QTest::keyClick(focused, Qt::Key_Return, Qt::ShiftModifier);
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(f, Qt::Key_Escape);
            else if (action == QLatin1String("shift+Escape"))
                QTest::keyClick(f, Qt::Key_Escape, Qt::ShiftModifier);
            else if (action == QLatin1String("ctrl+Escape"))
                QTest::keyClick(focused, Qt::Key_Escape, Qt::ControlModifier);
            else if (action == QLatin1String("space on No")) {
                button(f, "NoPnlBtn")->setFocus();
                QTest::keyClick(button(f, "NoPnlBtn"), Qt::Key_Space);
            } else if (action == QLatin1String("system close"))
                f->close();
            else
                QTest::mouseClick(button(f, action), Qt::LeftButton);
            QVERIFY2(!f->isVisible(), "the action closes the window");
        });
        QCOMPARE(form->ShowModalMessage1(QStringLiteral("T"), buttons, QStringLiteral("h"), QStringLiteral("m")),
                 result);
    }

    void layoutIsAppliedToTheControls() {
        MessageLayout seen;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            seen = f->lastLayout();
            QCOMPARE(label(f, "TopPanelLineAndTitle")->text(), QStringLiteral("  INFORMATION"));
            QCOMPARE(label(f, "heading1")->text(), QStringLiteral("A small & odd problem"));
            QCOMPARE(label(f, "heading1")->geometry(), seen.heading[0].rect);
            QCOMPARE(label(f, "Label1")->geometry(), seen.message[0].rect);
            QCOMPARE(label(f, "Label1")->font().family(), QStringLiteral("Courier New"));
            QCOMPARE(label(f, "Label2")->font().family(), QStringLiteral("Arial"));
            QVERIFY(control<QFrame>(f, "Bevel2")->isVisible() && !control<QFrame>(f, "Bevel1")->isVisible());
            QVERIFY(control(f, "MbOKpanel")->isVisible() && !control(f, "mbYESNOpanel")->isVisible() &&
                    !control(f, "MbCUSTpanel")->isVisible());
            QCOMPARE(button(f, "OKPnlBtn")->geometry(), QRect(246, 8, 136, 29));
            QCOMPARE(f->geometry(), seen.window);
            QCOMPARE(scrollBox(f)->width(), seen.window.width() - 28);
            QVERIFY(control(f, "TopButtonsPanel")->isVisible() && button(f, "RedXPanel")->isVisible());
            // Shown literally: the heading paints an "&", no mnemonic underline takes it away.
            QCOMPARE(QAccessible::queryAccessibleInterface(label(f, "heading1"))->text(QAccessible::Name),
                     QStringLiteral("A small & odd problem"));
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage(QStringLiteral("i"), QStringLiteral("OK"), QStringLiteral("A small & odd problem"),
                               QStringLiteral("fixed <b>width</b>"), QStringLiteral("C"), QStringLiteral("Two"),
                               QStringLiteral("second"), QStringLiteral("-"), {}, {}, {}, {}, {}, {}, {}, {}, {});
        QCOMPARE(seen.message[0].text, QStringLiteral("fixed <b>width</b>")); // never rich text
    }

    void backgroundColourLastsOneShowing_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("1 yellow") << 1 << QColor(0xFF, 0xFF, 0x9D);
        QTest::newRow("2 red") << 2 << QColor(0xFF, 0xA8, 0xA8);
        QTest::newRow("any other is the window colour") << 3 << QColor(0xB8, 0xD2, 0xE2);
    }
    void backgroundColourLastsOneShowing() {
        QFETCH(int, code);
        QFETCH(QColor, colour);
        QColor seen;
        form->ChangeColours(code);
        whenModal<TMessageForm>([&](TMessageForm* f) {
            seen = f->palette().color(QPalette::Window);
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("h"), QStringLiteral("m"));
        QCOMPARE(seen, colour);
        whenModal<TMessageForm>([&](TMessageForm* f) {
            seen = f->palette().color(QPalette::Window);
            QTest::keyClick(f, Qt::Key_Escape);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("h"), QStringLiteral("m"));
        QCOMPARE(seen, QColor(0xB8, 0xD2, 0xE2)); // the next showing without a call
    }

    void longMessageIsCutWithRoomForTheScrollBar() {
        const QSize screen = Platform::current().primaryScreenSize();
        QStringList lines;
        for (int i = 0; i < screen.height() / 10; ++i)
            lines << QStringLiteral("line %1").arg(i);
        bool scrollBar = false;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            scrollBar = scrollBox(f)->verticalScrollBar()->maximum() > 0;
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("YN"), QStringLiteral("h"), lines.join(u'\n'));
        QVERIFY(form->lastLayout().scrollNeeded);
        QCOMPARE(form->lastLayout().window, QRect((screen.width() - 656) / 2, 0, 676, screen.height() - 55));
        QVERIFY(scrollBar);
    }

    void customCaptionsStayAndAnEmptyThirdHidesItsButton() {
        form->SetCustomButtons(QStringLiteral("<< Go Back"), QStringLiteral("Selected Alternative"), QString());
        form->SetCustomButtons(QString(), QString(), QString()); // keeps the first two
        whenModal<TMessageForm>([&](TMessageForm* f) {
            QCOMPARE(button(f, "CustPanelBtn1")->caption(), QStringLiteral("<< Go Back"));
            QCOMPARE(button(f, "CustPanelBtn2")->caption(), QStringLiteral("Selected Alternative"));
            QVERIFY(!button(f, "CustPanelBtn3")->isVisible());
            QCOMPARE(button(f, "CustPanelBtn1")->pos(), QPoint(66, 8));
            QCOMPARE(button(f, "CustPanelBtn2")->pos(), QPoint(246, 8));
            QTest::keyClick(f, Qt::Key_Escape);
        });
        QCOMPARE(form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("CUST"), {}, QStringLiteral("m")), 2);
    }

    void pointerOverAButtonHighlightsItAlone_data() {
        QTest::addColumn<QStringList>("path"); // where the pointer goes, in order
        QTest::addColumn<QString>("lit");      // the one highlighted button at the end, or empty
        QTest::newRow("onto Yes") << QStringList{"YesPnlBtn"} << "YesPnlBtn";
        QTest::newRow("Yes, then No") << QStringList{"YesPnlBtn", "NoPnlBtn"} << "NoPnlBtn";
        QTest::newRow("Yes, then the area") << QStringList{"YesPnlBtn", "ScrollBox1Contents"} << "";
        QTest::newRow("Yes, then beside it on its panel") << QStringList{"YesPnlBtn", "mbYESNOpanel"} << "";
    }
    void pointerOverAButtonHighlightsItAlone() {
        QFETCH(QStringList, path);
        QFETCH(QString, lit);
        QStringList highlighted, odd;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            for (const QString& name : path) {
                QWidget* w = control(f, name);
                // Buttons at their middle; the area and the panel at a point no control covers.
                const QPoint at = qobject_cast<TPanelButton*>(w) ? w->rect().center()
                                  : name == QLatin1String("mbYESNOpanel") ? QPoint(5, 20)
                                                                          : QPoint(w->width() - 5, 3);
                QCOMPARE(w->childAt(at), nullptr);
                QTest::mouseMove(w, at);
            }
            for (TPanelButton* b : f->findChildren<TPanelButton*>()) {
                if (b->parentWidget()->objectName() == QLatin1String("TopButtonsPanel"))
                    continue;
                if (b->colour() == kHighlight)
                    highlighted << b->objectName();
                else if (b->colour() != kNormal)
                    odd << b->objectName();
            }
            QTest::mouseClick(button(f, "NoPnlBtn"), Qt::LeftButton);
        });
        QCOMPARE(form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("YN"), {}, QStringLiteral("m")), 7);
        QCOMPARE(highlighted, lit.isEmpty() ? QStringList() : QStringList{lit});
        QCOMPARE(odd, QStringList());
        QCOMPARE(button(form, "NoPnlBtn")->colour(), kNormal); // back to normal on closing
    }

    void stripButtonsAndTheirHints_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QRect>("place"); // in TopButtonsPanel
        QTest::newRow("copy") << "CopyToClipboardPanel" << "c" << "copy to clipboard" << QRect(10, 0, 25, 17);
        QTest::newRow("smaller") << "MakeSmallerPanel" << "-" << "make smaller" << QRect(38, 0, 25, 17);
        QTest::newRow("bigger") << "MakeBiggerPanel" << "+" << "make bigger" << QRect(66, 0, 25, 17);
        QTest::newRow("close") << "RedXPanel" << "x" << "close" << QRect(96, 0, 38, 17);
    }
    void stripButtonsAndTheirHints() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QRect, place);
        whenModal<TMessageForm>([&](TMessageForm* f) {
            TPanelButton* b = button(f, name);
            QCOMPARE(b->caption(), caption);
            QCOMPARE(b->toolTip(), hint);
            QCOMPARE(b->geometry(), place);
            QCOMPARE(b->parentWidget()->geometry(), QRect(f->width() - 140, 0, 140, 27));
            QTest::keyClick(f, Qt::Key_Escape);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), {}, QStringLiteral("m"));
    }

    void sizeSteps_data() {
        QTest::addColumn<QString>("clicks"); // "+" and "-" in order
        QTest::addColumn<int>("lines");
        QTest::newRow("four bigger, one more, back") << "+++++-" << 10;
        QTest::newRow("four smaller, one more, back") << "-----+" << 10;
        // Its fitted height is taller than the maximum: limited, with its top at 5.
        QTest::newRow("cut message, bigger, back") << "+-" << 200;
    }
    void sizeSteps() {
        QFETCH(QString, clicks);
        QFETCH(int, lines);
        const QSize screen = Platform::current().primaryScreenSize();
        const int max = screen.height() - 55;
        QList<QRect> seen;
        QRect fitted;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            fitted = f->geometry();
            for (const QChar c : clicks) {
                QTest::mouseClick(button(f, c == u'+' ? "MakeBiggerPanel" : "MakeSmallerPanel"), Qt::LeftButton);
                seen << f->geometry();
            }
            QTest::keyClick(f, Qt::Key_Escape);
        });
        QStringList text;
        for (int i = 0; i < lines; ++i)
            text << QStringLiteral("line %1").arg(i);
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("h"), text.join(u'\n'));
        const auto centred = [&](int w, int h) {
            int top = (screen.height() - h) / 2;
            return QRect((screen.width() - w) / 2, std::max(5, top), w, std::min(h, max));
        };
        const int w = fitted.width(), h = fitted.height();
        // Fitted: the button panel's bottom + 50, even where that is taller than the window was.
        const QRect back = centred(656, form->lastLayout().contentHeight + 50);
        QCOMPARE(form->lastLayout().scrollNeeded, lines > 100);
        if (lines > 100) {
            QCOMPARE(back, QRect((screen.width() - 656) / 2, 5, 656, max));
            QCOMPARE(seen, QList<QRect>({centred(w + 20, h + 100), back}));
        } else if (clicks.startsWith(u'+')) {
            const QRect one = centred(w + 20, h + 100);
            const QRect two(one.x(), 5, w + 20, max);
            const QRect three((screen.width() - (w + 120)) / 2, 5, w + 120, max);
            const QRect four((screen.width() - (w + 220)) / 2, 5, w + 220, max);
            QCOMPARE(seen, QList<QRect>({one, two, three, four, four, back}));
        } else {
            const QRect one = centred(w, std::max(220, h - 20));
            const QRect two = centred(w, 220);
            const QRect three((screen.width() - (w - 100)) / 2, two.y(), w - 100, 220);
            const QRect four((screen.width() - (w - 200)) / 2, two.y(), w - 200, 220);
            QCOMPARE(seen, QList<QRect>({one, two, three, four, four, back}));
        }
    }

    void smallerStepStopsAt220() {
        QList<int> heights;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            f->resize(656, 230);
            QTest::mouseClick(button(f, "MakeSmallerPanel"), Qt::LeftButton);
            heights << f->height();
            QTest::mouseClick(button(f, "MakeBiggerPanel"), Qt::LeftButton); // back to the fitted size
            f->resize(656, 600);
            QTest::mouseClick(button(f, "MakeSmallerPanel"), Qt::LeftButton);
            heights << f->height();
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), {}, QStringLiteral("m"));
        QCOMPARE(heights, QList<int>({220, 580}));
    }

    void scrollKeysOnlyForACutMessage_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("cut");
        QTest::newRow("cut to the screen") << 200 << true;
        QTest::newRow("fits, then made smaller") << 30 << false;
    }
    void scrollKeysOnlyForACutMessage() {
        QFETCH(int, lines);
        QFETCH(bool, cut);
        QStringList text;
        for (int i = 0; i < lines; ++i)
            text << QStringLiteral("line %1").arg(i);
        QList<int> positions;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            if (!cut)
                for (int i = 0; i < 4; ++i) // a scroll bar now, but the keys stay off
                    QTest::mouseClick(button(f, "MakeSmallerPanel"), Qt::LeftButton);
            QScrollBar* bar = scrollBox(f)->verticalScrollBar();
            QCoreApplication::processEvents();
            QVERIFY(bar->maximum() > 0);
            QTest::keyClick(f, Qt::Key_PageDown, Qt::ShiftModifier);
            positions << bar->value();
            QTest::keyClick(f, Qt::Key_Up);
            positions << bar->value();
            QTest::keyClick(f, Qt::Key_Down);
            positions << bar->value() - bar->maximum();
            bar->setValue(bar->maximum() / 2);
            QTest::keyClick(f, Qt::Key_PageUp);
            positions << bar->value();
            QTest::keyClick(f, Qt::Key_Escape);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("YN"), {}, text.join(u'\n'));
        QCOMPARE(form->lastLayout().scrollNeeded, cut);
        if (cut) {
            QVERIFY(positions[0] > 0);
            QCOMPARE(positions.mid(1), QList<int>({0, 0, 0}));
        } else {
            QCOMPARE(positions[0], 0);
            QVERIFY(positions[3] > 0); // Page Up did nothing either
        }
    }

    void noSidewaysScrollBarUnlessSomethingIsTooWide_data() {
        QTest::addColumn<bool>("sized");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("bar");
        const QString tall = QStringLiteral("a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\nm\nn\no\np");
        QTest::newRow("sized OK window") << true << "OK" << "Short." << "" << false;
        QTest::newRow("sized YN window") << true << "YN" << "Short." << "" << false;
        QTest::newRow("normal window") << false << "OK" << "Short." << "" << false;
        QTest::newRow("two smaller steps, beside a vertical bar") << false << "OK" << tall << "--" << false;
        QTest::newRow("a word wider than the area") << false << "OK" << QString(120, u'W') << "" << true;
    }
    void noSidewaysScrollBarUnlessSomethingIsTooWide() {
        QFETCH(bool, sized);
        QFETCH(QString, buttons);
        QFETCH(QString, message);
        QFETCH(QString, clicks);
        QFETCH(bool, bar);
        int range = -1, vertical = -1;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            for (const QChar c : clicks)
                QTest::mouseClick(button(f, c == u'+' ? "MakeBiggerPanel" : "MakeSmallerPanel"), Qt::LeftButton);
            QCoreApplication::processEvents();
            range = scrollBox(f)->horizontalScrollBar()->maximum();
            vertical = scrollBox(f)->verticalScrollBar()->maximum();
            QTest::keyClick(f, Qt::Key_Return);
        });
        if (sized)
            form->ShowModalMessageSized(QStringLiteral("T"), buttons, message);
        else
            form->ShowModalMessage1(QStringLiteral("T"), buttons, QStringLiteral("h"), message);
        QVERIFY2((range > 0) == bar, qPrintable(QStringLiteral("sideways range %1").arg(range)));
        if (!clicks.isEmpty())
            QVERIFY2(vertical > 0, "the smaller window shows a vertical bar");
    }

    void dragsOnlyFromTheTitleStrip_data() {
        QTest::addColumn<int>("pressX"); // from the window's right edge when negative
        QTest::addColumn<int>("mouseButton");
        QTest::addColumn<bool>("moves");
        QTest::newRow("title, left button") << 100 << int(Qt::LeftButton) << true;
        QTest::newRow("title, right button") << 100 << int(Qt::RightButton) << true;
        // Between the "c" (10 to 35) and the "-" (38 to 63) of the 140-wide buttons' panel.
        QTest::newRow("gap between the strip buttons") << -140 + 36 << int(Qt::LeftButton) << false;
        QTest::newRow("right of the close button") << -3 << int(Qt::RightButton) << false;
    }
    void dragsOnlyFromTheTitleStrip() {
        QFETCH(int, pressX);
        QFETCH(int, mouseButton);
        QFETCH(bool, moves);
        QPoint moved;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            const QPoint before = f->pos();
            const QPoint from(pressX < 0 ? f->width() + pressX : pressX, 10);
            dragAt(f, from, from + QPoint(-40, 30), Qt::MouseButton(mouseButton));
            moved = f->pos() - before;
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), {}, QStringLiteral("m"));
        QCOMPARE(moved, moves ? QPoint(-40, 30) : QPoint(0, 0));
    }

    void copyToTheClipboardAfterYes_data() {
        QTest::addColumn<char>("answer");
        QTest::newRow("Yes copies") << 'y';
        QTest::newRow("No leaves the clipboard") << 'n';
    }
    void copyToTheClipboardAfterYes() {
        QFETCH(char, answer);
        TConfirm confirm;
        form->Confirm = &confirm;
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QString question;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            whenModal<TConfirm>([&](TConfirm* c) {
                question = label(c, "MessageLabel")->text();
                QTest::keyClick(c, answer);
            });
            QTest::mouseClick(button(f, "CopyToClipboardPanel"), Qt::LeftButton);
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage(QStringLiteral("T"), QStringLiteral("YN"), QStringLiteral("Heading"),
                               QStringLiteral("line one\nline two"), QStringLiteral("-"), {},
                               QStringLiteral("second"), {}, {}, {}, {}, {}, {}, {}, {}, {}, {});
        QCOMPARE(question, QStringLiteral("This will copy all of the text in this message to the Windows Clipboard,\n"
                                          "which will allow you to paste it into other software such as an editor "
                                          "or word\nprocessor for printing etc.\n\nCopy to clipboard now?\n"));
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (answer == 'n') {
            QCOMPARE(data->text(), QStringLiteral("before"));
            return;
        }
        QCOMPARE(data->text(), QStringLiteral("\r\nHeading\r\nline one\r\nline two\r\n") + QString(120, u'-') +
                                   QStringLiteral("\r\nsecond"));
        QVERIFY(data->hasHtml());
        QVERIFY(data->html().contains(QLatin1String("font-size:12pt; font-weight:700")));
        QVERIFY(data->html().contains(QLatin1String("font-size:10pt")));
    }

    void sizedWindowHasNoStripButtons() {
        QRect window;
        whenModal<TMessageForm>([&](TMessageForm* f) {
            window = f->geometry();
            QVERIFY(!control(f, "TopButtonsPanel")->isVisible());
            QTest::keyClick(f, Qt::Key_Return);
        });
        QCOMPARE(form->ShowModalMessageSized(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("Short.")), 1);
        QCOMPARE(window.width(), 250);
        // The next message is a normal one again: full width, with the strip's buttons.
        whenModal<TMessageForm>([&](TMessageForm* f) {
            window = f->geometry();
            QVERIFY(control(f, "TopButtonsPanel")->isVisible());
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), {}, QStringLiteral("Short."));
        QCOMPARE(window.width(), 656);
    }
};

QTEST_MAIN(MessageWindowTest)
#include "tst_messagewindow.moc"
