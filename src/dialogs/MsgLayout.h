#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

// Everything one message says: a title (or title letter), a button-set code and seven
// sections of heading, message and line code. An empty text is an absent item.
struct MessageTexts {
    QString Title;
    QString Buttons;
    QString H[7], M[7], L[7];
};

enum class MessagePanel { Ok, YesNo, Cust };

// Where the message window puts everything, worked out from the texts, the screen and the
// sizes of the texts in their fonts. The window only applies it.
struct MessageLayout {
    struct Item {
        bool shown = false;
        QRect rect; // in the scrolling area
        QString text;
    };
    QString title;        // after the title-letter replacement
    QString stripCaption; // what the title strip reads
    QRect window;         // position and size on the screen
    int scrollWidth = 0;  // the scrolling area's width at layout
    int contentWidth = 0; // what the scrolling area holds: the shown items and button panel
    int contentHeight = 0;
    bool topButtons = true;
    bool scrollNeeded = false;
    int maxWindowHeight = 600;
    Item heading[7], message[7], separator[7];
    bool courier[7] = {};
    MessagePanel panel = MessagePanel::Ok;
    QRect panels[3];      // by MessagePanel: left 0, width; the shown one's top is set
    int okLeft = 0, yesLeft = 0, noLeft = 0, custLeft[3] = {};
};

struct MessageMeasure {
    // A heading: one line in the heading font.
    std::function<QSize(const QString& text)> heading;
    // A message wrapped at words to `width` (and at every line feed): the height of the
    // wrapped text and the width of its longest line.
    std::function<QSize(const QString& text, bool courier, int width)> message;
};

namespace MessageGeometry {
constexpr int WindowWidth = 656;
constexpr int LeftWidth = 20;
constexpr int RightWidth = 8;
constexpr int StripHeight = 27;
constexpr int BottomHeight = 3;
constexpr int PanelHeight = 41;
constexpr int ButtonTop = 8;
constexpr int ButtonHeight = 29;
constexpr int OkWidth = 136;
constexpr int CustWidth = 170;
constexpr int SeparatorHeight = 2;
} // namespace MessageGeometry

// Lays a message out as the window does. `sized` is the one-message window whose width
// follows its text.
MessageLayout layoutMessage(const MessageTexts& texts, QSize screen, bool sized, const MessageMeasure& measure);

// A title letter's word ("H" Hint, "I" Information, "W" Warning!, "C" Confirm, "E" Error!),
// or the title as it is.
QString messageTitle(const QString& title);
