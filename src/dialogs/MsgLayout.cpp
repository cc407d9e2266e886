#include "MsgLayout.h"

#include "platform/AsciiCase.h"

#include <algorithm>

QString messageTitle(const QString& title) {
    const QString upper = asciiUpper(title);
    if (upper == QLatin1String("H"))
        return QStringLiteral("Hint");
    if (upper == QLatin1String("I"))
        return QStringLiteral("Information");
    if (upper == QLatin1String("W"))
        return QStringLiteral("Warning!");
    if (upper == QLatin1String("C"))
        return QStringLiteral("Confirm");
    if (upper == QLatin1String("E"))
        return QStringLiteral("Error!");
    return title;
}

MessageLayout layoutMessage(const MessageTexts& texts, QSize screen, bool sized, const MessageMeasure& measure) {
    using namespace MessageGeometry;
    MessageLayout out;

    // Fonts: Courier New for the first three messages whose line code is "C".
    for (int i = 0; i < 3; ++i)
        out.courier[i] = texts.L[i] == QLatin1String("C");

    // Width, first top and left; the left edge stays where it is put here.
    out.topButtons = true;
    int width = WindowWidth;
    int top = screen.height() / 5;
    const int left = (screen.width() - width) / 2;
    out.scrollWidth = width - LeftWidth - RightWidth;

    // Title.
    out.title = messageTitle(texts.Title.isEmpty() ? texts.H[0] : texts.Title);
    out.stripCaption = QStringLiteral("  ") + asciiUpper(out.title);

    QString headings[7], messages[7];
    for (int i = 0; i < 7; ++i) {
        headings[i] = texts.H[i];
        messages[i] = texts.M[i];
    }
    if (texts.H[0] == QLatin1String("-")) {
        headings[0].clear();
        messages[0] = QStringLiteral("\n") + messages[0];
    } else if (texts.H[0].isEmpty()) {
        headings[0] = out.title;
    }

    // Buttons, placed while the panels are as wide as the scrolling area.
    const int full = out.scrollWidth;
    out.okLeft = full / 2 - OkWidth / 2;
    out.yesLeft = full / 2 - OkWidth - 10;
    out.noLeft = full / 2 + 10;
    out.custLeft[1] = full / 2 - OkWidth / 2;
    out.custLeft[0] = out.custLeft[1] - CustWidth - 10;
    out.custLeft[2] = out.custLeft[1] + CustWidth + 10;

    // Then the panels become 20 narrower; the buttons stay where they are.
    out.scrollNeeded = false;
    const int inner = out.scrollWidth - 20;
    for (QRect& panel : out.panels)
        panel = QRect(0, 0, inner, PanelHeight);

    // Sections.
    int layoutTop = 0;
    for (int i = 0; i < 7; ++i) {
        if (!headings[i].isEmpty()) {
            const QSize size = measure.heading(headings[i]);
            out.heading[i] = {true, QRect(0, layoutTop + 10, size.width(), size.height()), headings[i]};
            layoutTop = out.heading[i].rect.bottom() + 1 + 10;
        }
        if (!messages[i].isEmpty()) {
            const QSize size = measure.message(messages[i], out.courier[i], inner);
            out.message[i] = {true, QRect(0, layoutTop, size.width(), size.height()), messages[i]};
            layoutTop = out.message[i].rect.bottom() + 1 + 10;
        }
        if (texts.L[i] == QLatin1String("-")) {
            out.separator[i] = {true, QRect(0, layoutTop, inner, SeparatorHeight), QString()};
            layoutTop += SeparatorHeight + 10;
        }
    }

    // The window whose width follows its one message.
    if (sized) {
        out.message[0].rect.moveTop(out.heading[0].rect.top());
        out.topButtons = false;
        width = 2 * LeftWidth + out.message[0].rect.left() + out.message[0].rect.width();
        if (texts.Buttons == QLatin1String("YN") && width < 350)
            width = 350;
        if (texts.Buttons == QLatin1String("OK") && width < 250)
            width = 250;
        const int fitted = width - LeftWidth - RightWidth - 20;
        out.panels[int(MessagePanel::Ok)].setWidth(fitted);
        out.okLeft = fitted / 2 - OkWidth / 2;
        out.panels[int(MessagePanel::YesNo)].setWidth(fitted);
        out.yesLeft = fitted / 2 - OkWidth - 10;
        out.noLeft = fitted / 2 + 10;
    }

    // The button panel chosen by the code.
    if (texts.Buttons == QLatin1String("OK"))
        out.panel = MessagePanel::Ok;
    else if (texts.Buttons == QLatin1String("CUST"))
        out.panel = MessagePanel::Cust;
    else
        out.panel = MessagePanel::YesNo;
    out.panels[int(out.panel)].moveTop(layoutTop);
    layoutTop += PanelHeight;
    out.contentHeight = layoutTop;

    // Only what is shown counts: a scrolling area as wide as this needs no sideways bar,
    // unless a heading or a word is wider than the area itself.
    out.contentWidth = out.panels[int(out.panel)].right() + 1;
    for (const MessageLayout::Item* items : {out.heading, out.message, out.separator})
        for (int i = 0; i < 7; ++i)
            if (items[i].shown)
                out.contentWidth = std::max(out.contentWidth, items[i].rect.right() + 1);

    // Height, cut to the screen with room for a scroll bar when it does not fit.
    out.maxWindowHeight = screen.height() - 55;
    int height = layoutTop + 50;
    if (height > out.maxWindowHeight) {
        height = out.maxWindowHeight;
        width += 20;
        out.scrollNeeded = true;
    }

    // Vertical position.
    if (top + height > out.maxWindowHeight)
        top = out.maxWindowHeight - height;
    else if (height <= 350)
        top = (screen.height() - height) / 2;

    out.window = QRect(left, top, width, height);
    return out;
}
