// The message window's layout with arbitrary texts and line codes, measured with the real
// fonts (offscreen): no crash, and the window, panels and buttons where they belong.
#include "FuzzInput.h"
#include "dialogs/MsgLayout.h"
#include "platform/Fonts.h"
#include "widgets/WrapLabel.h"

#include <QApplication>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: libFuzzer leaves through exit(), after Qt's thread storage is gone.
    new QApplication(*argc, *argv);
    installFontSubstitutes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto flags = in.take<std::uint8_t>();
    const int width = 320 + in.take<std::uint16_t>() % 4000;
    const int height = 200 + in.take<std::uint16_t>() % 3000;
    MessageTexts t;
    static const char* codes[] = {"OK", "YN", "CUST", "ok", "", "x"};
    t.Buttons = QLatin1String(codes[flags % 6]);
    t.Title = in.utf16(8);
    for (int i = 0; i < 7; ++i) {
        t.H[i] = in.utf16(12);
        t.M[i] = in.utf16(200);
        t.L[i] = in.utf16(1);
    }
    static const QFont& heading = *new QFont(pixelFont(QStringLiteral("Arial"), 16, true));
    static const QFont& message = *new QFont(pixelFont(QStringLiteral("Arial"), 13));
    static const QFont& fixed = *new QFont(pixelFont(QStringLiteral("Courier New"), 13));
    MessageMeasure measure;
    measure.heading = [](const QString& text) { return TWrapLabel::measure(heading, text, false, 0); };
    measure.message = [](const QString& text, bool courier, int w) {
        return TWrapLabel::measure(courier ? fixed : message, text, true, w);
    };
    const bool sized = flags & 0x80;
    const MessageLayout l = layoutMessage(t, QSize(width, height), sized, measure);
    // On the screen: cut to the maximal height when too tall, never above the top or below the bottom.
    FUZZ_CHECK(l.window.height() <= std::max(l.maxWindowHeight, 91));
    FUZZ_CHECK(l.window.top() >= 0 && l.window.top() + l.window.height() <= height);
    FUZZ_CHECK(l.contentHeight >= 41);
    const QRect& shown = l.panels[int(l.panel)];
    FUZZ_CHECK(shown.top() + shown.height() == l.contentHeight);
    for (int i = 0; i < 7; ++i)
        for (const MessageLayout::Item* item : {&l.heading[i], &l.message[i], &l.separator[i]})
            if (item->shown)
                FUZZ_CHECK(item->rect.left() == 0 && item->rect.top() >= 0 && item->rect.bottom() < l.contentHeight);
    if (!sized) {
        // Every button lies inside the window's width.
        for (int left : {l.okLeft, l.yesLeft, l.noLeft, l.custLeft[0], l.custLeft[1], l.custLeft[2]})
            FUZZ_CHECK(left >= 0 && left + 170 <= l.window.width());
        FUZZ_CHECK(l.window.width() == 656 || (l.scrollNeeded && l.window.width() == 676));
    }
    return 0;
}
