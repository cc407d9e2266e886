#pragma once

#include "ButtonAccessible.h"
#include "StyledButtonAttributes.h"

#include <QWidget>

class QKeyEvent;
class QPainter;

enum class TStyledButtonState { Normal, Hot, Selected, Pressed, Disabled };

// Draws a flat rectangular button from one attribute set.
class TStyledButtonRender {
public:
    // background: what the parent shows behind the button; captionMargin: inset of the caption box.
    static void paint(QPainter& painter, const QRect& rect, const QColor& background,
                      const TStyledButtonAttributes& look, const QString& caption, const QFont& font,
                      int captionMargin, qreal scale = 1.0);
};

// A flat push button whose look follows its state: disabled, pressed, focused, hot or normal.
class TCustomStyledButton : public QWidget, public AccessibleButton {
    Q_OBJECT
public:
    explicit TCustomStyledButton(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    bool isDefault() const { return m_default; }
    void setDefault(bool value);
    bool isCancel() const { return m_cancel; }
    void setCancel(bool value) { m_cancel = value; }

    TStyledButtonAttributes& ButtonStyleNormal() { return m_normal; }
    TStyledButtonAttributes& ButtonStylePressed() { return m_pressed; }
    TStyledButtonAttributes& ButtonStyleSelected() { return m_selected; }
    TStyledButtonAttributes& ButtonStyleHot() { return m_hot; }
    TStyledButtonAttributes& ButtonStyleDisabled() { return m_disabled; }
    TButtonDrawType StyleDrawType() const { return btRect; }

    TStyledButtonState state() const;
    const TStyledButtonAttributes& attributesFor(TStyledButtonState state) const;
    bool isPressedFlag() const { return m_pressedFlag; }
    bool isPointerOver() const { return m_pointerOver; }

    // Raises the click as the user's actions do.
    void click();

    // Enter and Escape anywhere in a window: Enter clicks the focused styled button, else
    // the default one; Escape clicks a Cancel button. Returns whether the key was taken.
    static bool handleDialogKey(QWidget* window, QKeyEvent* event);

    QSize sizeHint() const override;

    QString spokenCaption() const override { return captionWithoutMnemonic(m_caption); }
    bool spokenPressed() const override { return m_pressedFlag; }
    bool spokenDefault() const override { return m_default; }
    void pressByAssistiveTool() override { click(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void resetDefaults();
    int largestBorderWidth() const;
    QColor parentBackground() const;
    void pointerLeft();
    void setPressedFlag(bool value);

    QString m_caption;
    bool m_default = false;
    bool m_cancel = false;
    bool m_pressedFlag = false;
    bool m_pointerOver = false;
    TStyledButtonAttributes m_normal, m_pressed, m_selected, m_hot, m_disabled;
};

class TStyledButton : public TCustomStyledButton {
    Q_OBJECT
public:
    using TCustomStyledButton::TCustomStyledButton;
};
