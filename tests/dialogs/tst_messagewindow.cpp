// The message window itself: the layout applied to real controls, and every way of closing
// it with its result, driven with keys and clicks while it is modal.
#include "RecordingPlatform.h"
#include "dialogs/ConfirmFrm.h"
#include "dialogs/MsgFm.h"
#include "platform/Fonts.h"
#include "widgets/PanelButton.h"
#include "widgets/WrapLabel.h"

#include <QAccessible>
#include <QClipboard>
#include <QMimeData>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

namespace {
// Runs `act` on the message window once it is the active modal window.
void whenModal(std::function<void(TMessageForm*)> act) {
    QTimer::singleShot(0, [act] {
        auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
        QVERIFY2(form, "the message window is not up");
        act(form);
    });
}
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
            {"YN", "space on No", 7},   {"CUST", "system close", 2},
        };
        for (const auto& [buttons, action, result] : rows)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(buttons, action))) << buttons << action << result;
    }
    void closingGivesTheResultOfTheButtonSet() {
        QFETCH(QString, buttons);
        QFETCH(QString, action);
        QFETCH(int, result);
        form->SetCustomButtons(QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three"));
        whenModal([action](TMessageForm* f) {
            if (action == QLatin1String("Enter"))
                QTest::keyClick(f->focusWidget() ? f->focusWidget() : f, Qt::Key_Return);
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(f, Qt::Key_Escape);
            else if (action == QLatin1String("shift+Escape"))
                QTest::keyClick(f, Qt::Key_Escape, Qt::ShiftModifier);
            else if (action == QLatin1String("space on No")) {
                f->NoPnlBtn->setFocus();
                QTest::keyClick(f->NoPnlBtn, Qt::Key_Space);
            } else if (action == QLatin1String("system close"))
                f->close();
            else
                QTest::mouseClick(f->findChild<TPanelButton*>(action), Qt::LeftButton);
        });
        QCOMPARE(form->ShowModalMessage1(QStringLiteral("T"), buttons, QStringLiteral("h"), QStringLiteral("m")),
                 result);
    }

    void layoutIsAppliedToTheControls() {
        form->ChangeColours(1);
        MessageLayout seen;
        QColor colour;
        whenModal([&](TMessageForm* f) {
            seen = f->lastLayout();
            colour = f->palette().color(QPalette::Window);
            QCOMPARE(f->TopPanelLineAndTitle->text(), QStringLiteral("  INFORMATION"));
            QCOMPARE(f->heading[0]->text(), QStringLiteral("A small & odd problem"));
            QCOMPARE(f->heading[0]->geometry(), seen.heading[0].rect);
            QCOMPARE(f->Label[0]->geometry(), seen.message[0].rect);
            QCOMPARE(f->Label[0]->font().family(), QStringLiteral("Courier New"));
            QCOMPARE(f->Label[1]->font().family(), QStringLiteral("Arial"));
            QVERIFY(f->Bevel[1]->isVisible() && !f->Bevel[0]->isVisible());
            QVERIFY(f->MbOKpanel->isVisible() && !f->mbYESNOpanel->isVisible() && !f->MbCUSTpanel->isVisible());
            QCOMPARE(f->OKPnlBtn->geometry(), QRect(246, 8, 136, 29));
            QCOMPARE(f->geometry(), seen.window);
            QCOMPARE(f->ScrollBox1->width(), seen.window.width() - 28);
            QVERIFY(f->TopButtonsPanel->isVisible() && f->RedXPanel->isVisible());
            // Shown literally: the heading paints an "&", no mnemonic underline takes it away.
            QCOMPARE(QAccessible::queryAccessibleInterface(f->heading[0])->text(QAccessible::Name),
                     QStringLiteral("A small & odd problem"));
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage(QStringLiteral("i"), QStringLiteral("OK"), QStringLiteral("A small & odd problem"),
                               QStringLiteral("fixed <b>width</b>"), QStringLiteral("C"), QStringLiteral("Two"),
                               QStringLiteral("second"), QStringLiteral("-"), {}, {}, {}, {}, {}, {}, {}, {}, {});
        QCOMPARE(colour, QColor(0xFF, 0xFF, 0x9D));
        QCOMPARE(seen.message[0].text, QStringLiteral("fixed <b>width</b>")); // never rich text
        whenModal([&](TMessageForm* f) {
            colour = f->palette().color(QPalette::Window);
            QTest::keyClick(f, Qt::Key_Escape);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("h"), QStringLiteral("m"));
        QCOMPARE(colour, QColor(0xB8, 0xD2, 0xE2)); // ChangeColours lasts one showing
    }

    void longMessageIsCutWithRoomForTheScrollBar() {
        const QSize screen = Platform::current().primaryScreenSize();
        QStringList lines;
        for (int i = 0; i < screen.height() / 10; ++i)
            lines << QStringLiteral("line %1").arg(i);
        bool scrollBar = false;
        whenModal([&](TMessageForm* f) {
            scrollBar = f->ScrollBox1->verticalScrollBar()->maximum() > 0;
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("YN"), QStringLiteral("h"), lines.join(u'\n'));
        QVERIFY(form->ScrollNeeded);
        QCOMPARE(form->lastLayout().window, QRect((screen.width() - 656) / 2, 0, 676, screen.height() - 55));
        QVERIFY(scrollBar);
    }

    void customCaptionsStayAndAnEmptyThirdHidesItsButton() {
        form->SetCustomButtons(QStringLiteral("<< Go Back"), QStringLiteral("Selected Alternative"), QString());
        form->SetCustomButtons(QString(), QString(), QString()); // keeps the first two
        whenModal([&](TMessageForm* f) {
            QCOMPARE(f->CustPanelBtn1->caption(), QStringLiteral("<< Go Back"));
            QCOMPARE(f->CustPanelBtn2->caption(), QStringLiteral("Selected Alternative"));
            QVERIFY(!f->CustPanelBtn3->isVisible());
            QCOMPARE(f->CustPanelBtn1->pos(), QPoint(66, 8));
            QCOMPARE(f->CustPanelBtn2->pos(), QPoint(246, 8));
            QTest::keyClick(f, Qt::Key_Escape);
        });
        QCOMPARE(form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("CUST"), {}, QStringLiteral("m")), 2);
    }

    void pointerOverAButtonHighlightsItAlone() {
        whenModal([&](TMessageForm* f) {
            QTest::mouseMove(f->NoPnlBtn, QPoint(5, 5));
            f->AllPnlBtnMouseOver(f->YesPnlBtn);
            QCOMPARE(f->YesPnlBtn->colour(), QColor(0x4D, 0x9D, 0xEE));
            QCOMPARE(f->NoPnlBtn->colour(), QColor(0x0F, 0x45, 0x71));
            f->NonPnlBtnMouseMove();
            QCOMPARE(f->YesPnlBtn->colour(), QColor(0x0F, 0x45, 0x71));
            f->AllPnlBtnMouseOver(f->NoPnlBtn);
            QTest::mouseClick(f->NoPnlBtn, Qt::LeftButton);
        });
        QCOMPARE(form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("YN"), {}, QStringLiteral("m")), 7);
        QCOMPARE(form->NoPnlBtn->colour(), QColor(0x0F, 0x45, 0x71)); // back to normal on closing
    }

    void sizeSteps_data() {
        QTest::addColumn<QString>("clicks"); // "+" and "-" in order
        QTest::newRow("four bigger, one more, back") << "+++++-";
        QTest::newRow("four smaller, one more, back") << "-----+";
    }
    void sizeSteps() {
        QFETCH(QString, clicks);
        const QSize screen = Platform::current().primaryScreenSize();
        const int max = screen.height() - 55;
        QList<QRect> seen;
        QList<int> steps;
        QRect fitted;
        whenModal([&](TMessageForm* f) {
            fitted = f->geometry();
            for (const QChar c : clicks) {
                QTest::mouseClick(c == u'+' ? f->MakeBiggerPanel : f->MakeSmallerPanel, Qt::LeftButton);
                seen << f->geometry();
                steps << f->ZoomStep;
            }
            QTest::keyClick(f, Qt::Key_Escape);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("h"),
                                QStringLiteral("one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nnine\nten"));
        const auto centred = [&](int w, int h) {
            int top = (screen.height() - h) / 2;
            return QRect((screen.width() - w) / 2, std::max(5, top), w, std::min(h, max));
        };
        const int w = fitted.width(), h = fitted.height();
        const QRect back = centred(656, h);
        if (clicks.startsWith(u'+')) {
            const QRect one = centred(w + 20, h + 100);
            const QRect two(one.x(), 5, w + 20, max);
            const QRect three((screen.width() - (w + 120)) / 2, 5, w + 120, max);
            const QRect four((screen.width() - (w + 220)) / 2, 5, w + 220, max);
            QCOMPARE(seen, QList<QRect>({one, two, three, four, four, back}));
            QCOMPARE(steps, QList<int>({1, 2, 3, 4, 4, 0}));
        } else {
            const QRect one = centred(w, std::max(220, h - 20));
            const QRect two = centred(w, 220);
            const QRect three((screen.width() - (w - 100)) / 2, two.y(), w - 100, 220);
            const QRect four((screen.width() - (w - 200)) / 2, two.y(), w - 200, 220);
            QCOMPARE(seen, QList<QRect>({one, two, three, four, four, back}));
            QCOMPARE(steps, QList<int>({-1, -2, -3, -4, -4, 0}));
        }
    }

    void smallerStepStopsAt220() {
        whenModal([&](TMessageForm* f) {
            f->resize(656, 230);
            f->ChangeSize(-1);
            QCOMPARE(f->height(), 220);
            f->resize(656, 600);
            f->ZoomStep = 0;
            f->ChangeSize(-1);
            QCOMPARE(f->height(), 580);
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), {}, QStringLiteral("m"));
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
        whenModal([&](TMessageForm* f) {
            if (!cut)
                for (int i = 0; i < 4; ++i)
                    f->ChangeSize(-1); // a scroll bar now, but ScrollNeeded stays false
            QScrollBar* bar = f->ScrollBox1->verticalScrollBar();
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
        QCOMPARE(form->ScrollNeeded, cut);
        if (cut) {
            QVERIFY(positions[0] > 0);
            QCOMPARE(positions.mid(1), QList<int>({0, 0, 0}));
        } else {
            QCOMPARE(positions[0], 0);
            QVERIFY(positions[3] > 0); // Page Up did nothing either
        }
    }

    void dragsWithAnyMouseButton() {
        QPoint moved;
        whenModal([&](TMessageForm* f) {
            const QPoint before = f->pos();
            QWidget* strip = f->TopPanelLineAndTitle;
            const auto send = [strip](QEvent::Type type, QPoint at, Qt::MouseButton b, Qt::MouseButtons bs) {
                QMouseEvent e(type, QPointF(at), strip->mapToGlobal(QPointF(at)), b, bs, Qt::NoModifier);
                QApplication::sendEvent(strip, &e);
            };
            send(QEvent::MouseButtonPress, {100, 10}, Qt::RightButton, Qt::RightButton);
            send(QEvent::MouseMove, {60, 40}, Qt::NoButton, Qt::RightButton);
            send(QEvent::MouseButtonRelease, {60, 40}, Qt::RightButton, Qt::NoButton);
            moved = f->pos() - before;
            QTest::keyClick(f, Qt::Key_Return);
        });
        form->ShowModalMessage1(QStringLiteral("T"), QStringLiteral("OK"), {}, QStringLiteral("m"));
        QCOMPARE(moved, QPoint(-40, 30));
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
        whenModal([&](TMessageForm* f) {
            QTimer::singleShot(0, [&] {
                auto* c = qobject_cast<TConfirm*>(QApplication::activeModalWidget());
                QVERIFY(c);
                question = c->MessageLabel->text();
                QTest::keyClick(c, answer);
            });
            QTest::mouseClick(f->CopyToClipboardPanel, Qt::LeftButton);
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
        whenModal([&](TMessageForm* f) {
            window = f->geometry();
            QVERIFY(!f->TopButtonsPanel->isVisible());
            QTest::keyClick(f, Qt::Key_Return);
        });
        QCOMPARE(form->ShowModalMessageSized(QStringLiteral("T"), QStringLiteral("OK"), QStringLiteral("Short.")), 1);
        QCOMPARE(window.width(), 250);
        QCOMPARE(form->SizedMode, 0);
    }
};

QTEST_MAIN(MessageWindowTest)
#include "tst_messagewindow.moc"
