// The message window's layout as a function: texts and screen in, geometry out. Text sizes
// come from a simple rule here (10 px a character, 16 px a line) so every figure is exact.
#include "dialogs/MsgLayout.h"

#include <QtTest>

namespace {
MessageMeasure fixedMeasure() {
    MessageMeasure m;
    m.heading = [](const QString& text) { return QSize(10 * int(text.size()), 19); };
    m.message = [](const QString& text, bool courier, int width) {
        int lines = 0, longest = 0;
        const int perChar = courier ? 8 : 10;
        for (const QString& line : text.split(u'\n')) {
            const int w = perChar * int(line.size());
            lines += std::max(1, (w + width - 1) / width);
            longest = std::max(longest, std::min(w, width));
        }
        return QSize(longest, 16 * lines);
    };
    return m;
}

MessageTexts texts(const QString& title, const QString& buttons, const QStringList& hml = {}) {
    MessageTexts t;
    t.Title = title;
    t.Buttons = buttons;
    for (int i = 0; i * 3 < hml.size() && i < 7; ++i) {
        t.H[i] = hml.value(i * 3);
        t.M[i] = hml.value(i * 3 + 1);
        t.L[i] = hml.value(i * 3 + 2);
    }
    return t;
}

const QSize kScreen(1024, 768); // MaxWindowHeight 713
} // namespace

class MessageLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void titles_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("h1");
        QTest::addColumn<QString>("strip");
        QTest::addColumn<QString>("heading1"); // "<none>" when not shown
        QTest::newRow("I") << "I" << "A small problem occurred." << "  INFORMATION" << "A small problem occurred.";
        QTest::newRow("lower-case w, empty H1") << "w" << "" << "  WARNING!" << "Warning!";
        QTest::newRow("not a letter") << "Warn" << "x" << "  WARN" << "x";
        QTest::newRow("H C E") << "h" << "" << "  HINT" << "Hint";
        QTest::newRow("confirm") << "C" << "" << "  CONFIRM" << "Confirm";
        QTest::newRow("empty title, H1 E") << "" << "E" << "  ERROR!" << "E";
        QTest::newRow("both empty") << "" << "" << "  " << "<none>";
        QTest::newRow("H1 dash") << "Note" << "-" << "  NOTE" << "<none>";
        QTest::newRow("non-ASCII kept") << QString::fromUtf8("Café") << "" << QString::fromUtf8("  CAFé")
                                        << QString::fromUtf8("Café");
    }
    void titles() {
        QFETCH(QString, title);
        QFETCH(QString, h1);
        QFETCH(QString, strip);
        QFETCH(QString, heading1);
        const MessageLayout l = layoutMessage(texts(title, "OK", {h1, "message", ""}), kScreen, false, fixedMeasure());
        QCOMPARE(l.stripCaption, strip);
        QCOMPARE(l.heading[0].shown ? l.heading[0].text : QStringLiteral("<none>"), heading1);
    }

    void sectionPlacement() {
        // H1 M1 "-" ; H2 "-" as text ; M3 two lines in Courier ; M4 "C" stays Arial.
        const MessageLayout l =
            layoutMessage(texts("T", "YN", {"Head", "one", "-", "-", "", "", "", "line\nline", "C", "", "x", "C"}),
                          kScreen, false, fixedMeasure());
        QCOMPARE(l.heading[0].rect, QRect(0, 10, 40, 19));
        QCOMPARE(l.message[0].rect, QRect(0, 39, 30, 16));
        QCOMPARE(l.separator[0].rect, QRect(0, 65, 608, 2));
        QCOMPARE(l.heading[1].rect, QRect(0, 87, 10, 19));
        QCOMPARE(l.heading[1].text, QStringLiteral("-"));
        QCOMPARE(l.message[2].rect, QRect(0, 116, 32, 32));
        QCOMPARE(l.message[3].rect, QRect(0, 158, 10, 16));
        QCOMPARE(QList<bool>({l.courier[0], l.courier[2], l.courier[3]}), QList<bool>({false, true, false}));
        QVERIFY(!l.separator[1].shown && !l.message[1].shown && !l.heading[2].shown);
        QCOMPARE(l.panel, MessagePanel::YesNo);
        QCOMPARE(l.panels[int(MessagePanel::YesNo)], QRect(0, 184, 608, 41));
        QCOMPARE(l.contentHeight, 225);
        QCOMPARE(l.contentWidth, 608);
        QCOMPARE(l.window, QRect((1024 - 656) / 2, (768 - 275) / 2, 656, 275));
        QVERIFY(!l.scrollNeeded);
    }

    void dashHeadingStartsTheMessageOnAnEmptyLine() {
        const MessageLayout l = layoutMessage(texts("T", "OK", {"-", "text", ""}), kScreen, false, fixedMeasure());
        QVERIFY(!l.heading[0].shown);
        QCOMPARE(l.message[0].text, QStringLiteral("\ntext"));
        QCOMPARE(l.message[0].rect.top(), 0);
    }

    void buttonSets_data() {
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<int>("panel");
        QTest::newRow("OK") << "OK" << int(MessagePanel::Ok);
        QTest::newRow("YN") << "YN" << int(MessagePanel::YesNo);
        QTest::newRow("CUST") << "CUST" << int(MessagePanel::Cust);
        QTest::newRow("lower-case ok is Yes/No") << "ok" << int(MessagePanel::YesNo);
        QTest::newRow("lower-case cust is Yes/No") << "cust" << int(MessagePanel::YesNo);
    }
    void buttonSets() {
        QFETCH(QString, buttons);
        QFETCH(int, panel);
        const MessageLayout l = layoutMessage(texts("T", buttons), kScreen, false, fixedMeasure());
        QCOMPARE(int(l.panel), panel);
        QCOMPARE(QList<int>({l.okLeft, l.yesLeft, l.noLeft, l.custLeft[0], l.custLeft[1], l.custLeft[2]}),
                 QList<int>({246, 168, 324, 66, 246, 426}));
        for (const QRect& r : l.panels)
            QCOMPARE(r.width(), 608);
    }

    void heights_data() {
        QTest::addColumn<int>("lines");     // lines of message 1, under an empty title and heading
        QTest::addColumn<int>("heading");   // height of a heading over them, 0 for none (adds it + 20)
        QTest::addColumn<QRect>("window");
        QTest::addColumn<bool>("cut");
        // Empty "OK" message: 41 + 50, centred.
        QTest::newRow("empty") << 0 << 0 << QRect(184, (768 - 91) / 2, 656, 91) << false;
        // 16 px lines: content 16n + 10 + 41, window +50.
        QTest::newRow("357 keeps the top at a fifth") << 16 << 0 << QRect(184, 153, 656, 357) << false;
        // 14 lines make 325; a heading of 5 (+ 20) makes 350, one of 6 makes 351.
        QTest::newRow("exactly 350 is centred") << 14 << 5 << QRect(184, (768 - 350) / 2, 656, 350) << false;
        QTest::newRow("351 keeps the top at a fifth") << 14 << 6 << QRect(184, 768 / 5, 656, 351) << false;
        QTest::newRow("bottom past the maximum moves up") << 34 << 0 << QRect(184, 713 - 645, 656, 645) << false;
        // 38 lines: 608 + 10 + 41 = 659 + 50 = 709; a heading of -16 (+ 20) makes exactly 713.
        QTest::newRow("exactly the maximum is not cut") << 38 << -16 << QRect(184, 0, 656, 713) << false;
        QTest::newRow("one more is cut and wider") << 39 << -16 << QRect(184, 0, 676, 713) << true;
    }
    void heights() {
        QFETCH(int, lines);
        QFETCH(int, heading);
        QFETCH(QRect, window);
        QFETCH(bool, cut);
        QStringList message;
        for (int i = 0; i < lines; ++i)
            message << QStringLiteral("x");
        MessageTexts t = texts("", "OK");
        t.M[0] = message.join(u'\n');
        MessageMeasure m = fixedMeasure();
        if (heading != 0) {
            t.H[0] = QStringLiteral("h");
            m.heading = [heading](const QString&) { return QSize(10, heading); };
        }
        const MessageLayout l = layoutMessage(t, kScreen, false, m);
        QCOMPARE(l.window, window);
        QCOMPARE(l.scrollNeeded, cut);
        QCOMPARE(l.maxWindowHeight, 713);
    }

    void sizedWindowWidths_data() {
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<int>("chars");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("okLeft");
        QTest::addColumn<int>("noLeft"); // the panel is the width - 48; No at its middle + 10
        QTest::newRow("OK minimum 250") << "OK" << 10 << 250 << 101 - 68 << 101 + 10;
        QTest::newRow("YN minimum 350") << "YN" << 10 << 350 << 151 - 68 << 151 + 10;
        QTest::newRow("lower-case yn has no minimum") << "yn" << 10 << 140 << 46 - 68 << 46 + 10;
        QTest::newRow("long text") << "OK" << 50 << 540 << 246 - 68 << 246 + 10;
    }
    void sizedWindowWidths() {
        QFETCH(QString, buttons);
        QFETCH(int, chars);
        QFETCH(int, width);
        QFETCH(int, okLeft);
        QFETCH(int, noLeft);
        MessageTexts t = texts("T", buttons, {" ", QString(chars, u'm'), ""});
        const MessageLayout l = layoutMessage(t, kScreen, true, fixedMeasure());
        QCOMPARE(l.window.width(), width);
        QVERIFY(!l.topButtons);
        QCOMPARE(l.message[0].rect.top(), l.heading[0].rect.top()); // over the blank heading
        QCOMPARE(l.panels[int(MessagePanel::Ok)].width(), width - 48);
        QCOMPARE(l.okLeft, okLeft);
        QCOMPARE(l.yesLeft, (width - 48) / 2 - 146);
        QCOMPARE(l.noLeft, noLeft);
        // The contents are no wider than the panel or the message: no sideways scroll bar in
        // a scrolling area of width - 28.
        QVERIFY2(l.contentWidth <= width - 28, qPrintable(QString::number(l.contentWidth)));
        QCOMPARE(l.contentWidth, std::max(width - 48, 10 * chars));
        QCOMPARE(l.custLeft[1], 246); // the custom buttons are not placed again
        QCOMPARE(l.contentHeight, 10 + 19 + 10 + 16 + 10 + 41); // the blank heading keeps its room
    }
};

QTEST_APPLESS_MAIN(MessageLayoutTest)
#include "tst_msglayout.moc"
