// The confirmation dialog: its key map as a table, then real questions driven with keys,
// the pointer and close requests while the dialog is modal.
#include "RecordingPlatform.h"
#include "dialogs/ConfirmFrm.h"
#include "platform/Fonts.h"
#include "widgets/PanelButton.h"
#include "widgets/WrapLabel.h"

#include <QLabel>
#include <QtTest>

namespace {
void whenAsked(std::function<void(TConfirm*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<TConfirm*>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "the dialog is not up");
        act(dialog);
    });
}

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

// Press, move and release with the right button, as the events reach the strip.
void dragWithRightButton(QWidget* strip, QPoint from, QPoint to) {
    const auto send = [strip](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), strip->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(strip, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
    send(QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
}

QColor fill(QWidget* w) {
    return w->palette().color(QPalette::Window);
}

bool highlighted(TPanelButton* face) {
    return face->geometry().topLeft() == QPoint(3, 3) && face->colour() == QColor(0xB0, 0xDC, 0xFF);
}
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
        whenAsked([](TConfirm* d) {
            QCOMPARE(d->TopPanelLineAndTitle->text(), QStringLiteral("  Confirm..."));
            QVERIFY(d->MessageIcon->isVisible());
            QCOMPARE(d->MessageIcon->text(), QStringLiteral("?"));
            QCOMPARE(fill(d->MessageIcon), QColor(0x00, 0x80, 0xFF));
            QCOMPARE(fill(d->MessagePanel), QColor(0xDF, 0xEF, 0xFF));
            QVERIFY(d->YesNoPanel->isVisible() && !d->OkCancelPanel->isVisible() && !d->OtherPanelBtnBACK->isVisible());
            QCOMPARE(d->NoPanelBtnBACK->geometry().right() + 1, d->YesNoPanel->width() - 4);
            QCOMPARE(d->YesPanelBtnBACK->geometry().right() + 1, d->NoPanelBtnBACK->x());
            QVERIFY(!highlighted(d->YesPanelBtn) && !highlighted(d->NoPanelBtn));
            QCOMPARE(d->width(), 352);
            QCOMPARE(d->height(), d->MessageLabel->height() + 72);
            // One line of text and the empty line after it.
            QCOMPARE(d->MessageLabel->height(),
                     TWrapLabel::measure(d->MessageLabel->font(), QStringLiteral("Go on?\n"), true, 327).height());
            const QRect area = Platform::current().workArea();
            QCOMPARE(d->x(), area.left() + (area.width() - 352) / 2);
            QCOMPARE(d->y(), area.top() + (area.height() - d->height()) / 2);
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("Go on?"), 2), 6);
        QCOMPARE(fill(dialog->MessagePanel), QColor(Qt::white)); // after every question
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
        whenAsked([&](TConfirm* d) {
            for (TPanelButton* face : d->findChildren<TPanelButton*>())
                if (::highlighted(face))
                    lit = face->objectName();
            type(d, QStringLiteral("\r"));
            noticeShown = d->UseMouseNotice->isVisible();
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
        whenAsked([](TConfirm* d) {
            type(d, QStringLiteral("\r \r"));
            QVERIFY(d->isVisible() && !d->UseMouseNotice->isVisible());
            // The pointer on a button takes the default away: Enter then moves the notice on.
            QEnterEvent enter({1, 1}, {1, 1}, {1, 1});
            QApplication::sendEvent(d->YesPanelBtn, &enter);
            QCOMPARE(d->YesPanelBtn->colour(), QColor(0xA6, 0xD7, 0xFF));
            QVERIFY(d->DefaultButtonCode.isEmpty());
            type(d, QStringLiteral("\r"));
            QVERIFY(d->UseMouseNotice->isVisible());
            QTest::mouseClick(d->NoPanelBtn, Qt::LeftButton);
        });
        QCOMPARE(dialog->YesNo(QStringLiteral("m"), QStringLiteral("YES"), 0), 7);
        QCOMPARE(dialog->TopPanelLineAndTitle->text(), QStringLiteral("  Message"));
        QVERIFY(!dialog->MessageIcon->isVisibleTo(dialog));
    }

    void okOnlyTakesItsKeysAndIgnoresTheRest() {
        whenAsked([](TConfirm* d) {
            QVERIFY(!d->CancelPanelBtnBACK->isVisible());
            type(d, QStringLiteral("qzx"));
            QVERIFY(!d->UseMouseNotice->isVisible());
            type(d, QStringLiteral("\x1b"));
        });
        QCOMPARE(dialog->Ok(QStringLiteral("Done.")), 1);
        QCOMPARE(dialog->TopPanelLineAndTitle->text(), QStringLiteral("  Information"));
        whenAsked([](TConfirm* d) {
            QVERIFY(d->CancelPanelBtnBACK->isVisible());
            type(d, QStringLiteral("c"));
        });
        QCOMPARE(dialog->OkCancelX(QStringLiteral("m"), 1), 2);
    }

    void typeFourIsRedUntilTheNextQuestion() {
        QColor area, text;
        bool bold = false;
        whenAsked([&](TConfirm* d) {
            area = fill(d->MessagePanel);
            text = d->MessageLabel->palette().color(QPalette::WindowText);
            bold = d->MessageLabel->font().bold();
            QCOMPARE(fill(d->MessageIcon), QColor(0xFF, 0x00, 0x00));
            type(d, QStringLiteral("o"));
        });
        QCOMPARE(dialog->OkCancelX(QStringLiteral("m"), 4), 1);
        QCOMPARE(area, QColor(0xFF, 0x00, 0x00));
        QCOMPARE(text, QColor(Qt::white));
        QVERIFY(bold);
        whenAsked([&](TConfirm* d) {
            area = fill(d->MessagePanel);
            text = d->MessageLabel->palette().color(QPalette::WindowText);
            bold = d->MessageLabel->font().bold();
            type(d, QStringLiteral("n"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 2), 7);
        QCOMPARE(area, QColor(0xDF, 0xEF, 0xFF));
        QCOMPARE(text, QColor(Qt::black));
        QVERIFY(!bold);
    }

    void noticeGrowsMoreInsistentAndNumbersCustomButtons() {
        QList<TConfirm::NoticeLook> looks;
        QColor rows;
        QStringList captions;
        whenAsked([&](TConfirm* d) {
            QCOMPARE(d->TopPanelLineAndTitle->text(), QStringLiteral("  Choose"));
            QVERIFY(!d->MessageIcon->isVisible());
            type(d, QStringLiteral("1yn")); // custom captions: no key chooses yet
            looks << d->noticeLook();
            rows = fill(d->YesNoPanel);
            captions = {d->YesPanelBtn->caption(), d->NoPanelBtn->caption(), d->OtherPanelBtn->caption()};
            type(d, QStringLiteral("-"));
            looks << d->noticeLook();
            type(d, QStringLiteral("-"));
            looks << d->noticeLook();
            type(d, QStringLiteral("3"));
        });
        QCOMPARE(dialog->CustomYesNoButtons(QStringLiteral("Pick one."), QStringLiteral("Print"), QStringLiteral("Save"),
                                            QStringLiteral("Skip"), QStringLiteral("Choose"), QString(), true, 9),
                 5);
        QCOMPARE(looks, QList<TConfirm::NoticeLook>({TConfirm::NoticeLook::Red, TConfirm::NoticeLook::Black,
                                                     TConfirm::NoticeLook::Red}));
        QCOMPARE(rows, QColor(0xFF, 0xFF, 0x00));
        QCOMPARE(captions, QStringList({"&1. Print", "&2. Save", "&3. Skip"}));
        // The next question is standard again, with the notice hidden and grey rows.
        whenAsked([](TConfirm* d) {
            QCOMPARE(d->YesPanelBtn->caption(), QStringLiteral("&Yes"));
            QVERIFY(!d->OtherPanelBtnBACK->isVisible() && !d->UseMouseNotice->isVisible());
            QCOMPARE(fill(d->YesNoPanel), QColor(0xE0, 0xE0, 0xE0));
            type(d, QStringLiteral("q"));
            QCOMPARE(d->noticeLook(), TConfirm::NoticeLook::Shown);
            type(d, QStringLiteral("q"));
            QCOMPARE(d->noticeLook(), TConfirm::NoticeLook::Blue);
            type(d, QStringLiteral("y"));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 1), 6);
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
        whenAsked([&](TConfirm* d) {
            seen = d->TopPanelLineAndTitle->text();
            ::type(d, keys);
        });
        QCOMPARE(dialog->CustomYesNoButtonsX(QStringLiteral("m"), yes, QStringLiteral("Stop"), QString(), heading,
                                             false, std::int8_t(type)),
                 result);
        QCOMPARE(seen, title);
    }

    void closesOnlyThroughAButtonAndIsDraggedByItsStrip() {
        whenAsked([](TConfirm* d) {
            d->close();
            QVERIFY2(d->isVisible(), "a close request is refused");
            const QPoint before = d->pos();
            dragWithRightButton(d->TopPanelLineAndTitle, QPoint(50, 5), QPoint(80, 25));
            const QPoint after = d->pos();
            QTest::mouseClick(d->YesPanelBtn, Qt::LeftButton);
            QCOMPARE(after, before + QPoint(30, 20));
        });
        QCOMPARE(dialog->YesNoX(QStringLiteral("m"), 2), 6);
    }
};

QTEST_MAIN(ConfirmTest)
#include "tst_confirm.moc"
