#include "PanelButton.h"

#include "StyledButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>

namespace {
// A screen reader sees a push button named by its caption, with a press action.
class PanelButtonAccessible : public QAccessibleWidget {
public:
    explicit PanelButtonAccessible(TPanelButton* button) : QAccessibleWidget(button, QAccessible::Button) {}
    TPanelButton* button() const { return static_cast<TPanelButton*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            if (!widget()->accessibleName().isEmpty())
                return widget()->accessibleName();
            return button()->hasMnemonicCaption() ? captionWithoutMnemonic(button()->caption()) : button()->caption();
        }
        if (t == QAccessible::Description)
            return widget()->accessibleDescription().isEmpty() ? widget()->toolTip() : widget()->accessibleDescription();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.defaultButton = button()->isDefaultButton();
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& actionName) override {
        if (actionName != pressAction())
            return QAccessibleWidget::doAction(actionName);
        if (button()->isEnabled() && button()->isVisible())
            button()->click();
    }
    QStringList keyBindingsForAction(const QString& actionName) const override {
        return actionName == pressAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
    }
};

QAccessibleInterface* panelButtonFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("TPanelButton"))
        return nullptr;
    auto* button = qobject_cast<TPanelButton*>(object);
    return button ? new PanelButtonAccessible(button) : nullptr;
}
} // namespace

TPanelButton::TPanelButton(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption) {
    static const bool installed = [] {
        QAccessible::installFactory(panelButtonFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void TPanelButton::setCaption(const QString& caption) {
    if (m_caption == caption)
        return;
    m_caption = caption;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
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
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.defaultButton = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
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
