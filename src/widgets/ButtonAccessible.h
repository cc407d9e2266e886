#pragma once

#include <QString>

class QWidget;

// What a button that paints itself tells a screen reader: a push button with a name, its
// hint as description, a press action (Space), and the pressed and default states. A
// button class implements this and calls installButtonAccessibility() when created.
class AccessibleButton {
public:
    virtual ~AccessibleButton() = default;
    virtual QString spokenCaption() const = 0;
    virtual bool spokenPressed() const { return false; }
    virtual bool spokenDefault() const = 0;
    virtual void pressByAssistiveTool() = 0; // as the user's click does
};

void installButtonAccessibility();
// Tell a screen reader that the name, or the pressed or default state, has changed.
void announceButtonName(QWidget* button);
void announceButtonState(QWidget* button, bool pressedChanged, bool defaultChanged);

// A caption as read aloud: "&" marks the next character and is dropped, "&&" is one "&".
QString captionWithoutMnemonic(const QString& caption);
