#include "PanelButton.h"

#include <QKeyEvent>
#include <QPainter>

TPanelButton::TPanelButton(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption) {
    installButtonAccessibility();
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void TPanelButton::setCaption(const QString& caption) {
    if (m_caption == caption)
        return;
    m_caption = caption;
    update();
    announceButtonName(this);
}

void TPanelButton::setColour(const QColor& colour) {
    if (m_colour == colour)
        return;
    m_colour = colour;
    update();
}

void TPanelButton::setMnemonicCaption(bool on) {
    m_mnemonic = on;
    update();
}

void TPanelButton::setBorderVisible(bool on) {
    m_border = on;
    update();
}

void TPanelButton::setDefaultButton(bool on) {
    if (m_default == on)
        return;
    m_default = on;
    announceButtonState(this, false, true);
}

void TPanelButton::click() {
    emit clicked();
}

void TPanelButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
    if (m_border) {
        // Flat 1-pixel border, a shade darker than the fill.
        painter.setPen(m_colour.darker(150));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine | (m_mnemonic ? Qt::TextShowMnemonic : 0),
                     m_caption);
    if (hasFocus()) {
        // Where the keyboard is: a dotted line inside the border.
        QPen pen(palette().color(QPalette::ButtonText), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void TPanelButton::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void TPanelButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool pressed = m_pressed;
    m_pressed = false;
    if (pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}

void TPanelButton::mouseMoveEvent(QMouseEvent*) {
    emit pointerEntered();
}

void TPanelButton::enterEvent(QEnterEvent*) {
    emit pointerEntered();
}

void TPanelButton::leaveEvent(QEvent*) {
    emit pointerLeft();
}

void TPanelButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TPanelButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TPanelButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TPanelButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
