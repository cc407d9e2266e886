#pragma once

#include "ButtonAccessible.h"

#include <QColor>
#include <QWidget>

// A flat panel acting as a button: a filled rectangle with a 1-pixel border and a centred
// caption shown literally (an "&" is an "&"). Clicked by the primary mouse button or by
// Space while it has the focus; it reports the pointer entering it for hover highlighting.
class TPanelButton : public QWidget, public AccessibleButton {
    Q_OBJECT
public:
    explicit TPanelButton(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    void click(); // as the user's click does

    // "&" underlines the next character and is not drawn (the screen reader's name drops it).
    void setMnemonicCaption(bool on);
    // Drawn with or without its own 1-pixel border.
    void setBorderVisible(bool on);
    // What a screen reader is told: this button answers Enter.
    bool isDefaultButton() const { return m_default; }
    bool hasMnemonicCaption() const { return m_mnemonic; }

    QString spokenCaption() const override { return m_mnemonic ? captionWithoutMnemonic(m_caption) : m_caption; }
    bool spokenDefault() const override { return m_default; }
    void pressByAssistiveTool() override { click(); }
    void setDefaultButton(bool on);

signals:
    void clicked();
    void pointerEntered(); // the mouse moved over the button
    void pointerLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_caption;
    QColor m_colour;
    int m_tag = 0;
    bool m_pressed = false;
    bool m_mnemonic = false;
    bool m_border = true;
    bool m_default = false;
};
