#include "StyledButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

namespace {
const QColor kBaseButton(0xFD, 0xFD, 0xFD);
const QColor kBaseBorder(0xD0, 0xD0, 0xD0);
const QColor kHotButton(0xE0, 0xEE, 0xF9);
const QColor kHotBorder(0x00, 0x78, 0xD4);
const QColor kText(0x00, 0x00, 0x00);

bool noModifiers(const QKeyEvent* event) {
    return (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
}

} // namespace


void TStyledButtonRender::paint(QPainter& painter, const QRect& rect, const QColor& background,
                                const TStyledButtonAttributes& look, const QString& caption, const QFont& font,
                                int captionMargin, qreal scale) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect, background);
    if (look.ButtonDrawStyle() == btnSolid)
        painter.fillRect(rect, look.ButtonColor());
    const int width = qRound(look.BorderWidth() * scale);
    if (look.BorderDrawStyle() == brdSolid && width > 0) {
        // The stroke lies wholly inside: the outermost `width` pixels on every side.
        const QColor border = look.BorderColor();
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), width), border);
        painter.fillRect(QRect(rect.left(), rect.bottom() - width + 1, rect.width(), width), border);
        painter.fillRect(QRect(rect.left(), rect.top(), width, rect.height()), border);
        painter.fillRect(QRect(rect.right() - width + 1, rect.top(), width, rect.height()), border);
    }
    const int margin = qRound(captionMargin * scale);
    painter.setFont(font);
    painter.setPen(look.FontColor());
    painter.drawText(rect.adjusted(margin, margin, -margin, -margin),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);
    painter.restore();
}

TCustomStyledButton::TCustomStyledButton(QWidget* parent)
    : QWidget(parent)
    , m_normal([this] { update(); })
    , m_pressed([this] { update(); })
    , m_selected([this] { update(); })
    , m_hot([this] { update(); })
    , m_disabled([this] { update(); }) {
    installButtonAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, false);
    setMouseTracking(false);
    resetDefaults();
}

void TCustomStyledButton::resetDefaults() {
    using A = TStyledButtonAttributes;
    A::Values normal{btRect, 2, kBaseBorder, kBaseButton, kText};
    A::Values hot{btRect, 2, kHotBorder, kHotButton, kText};
    A::Values selected = hot;
    selected.ButtonColor = A::darken(kHotButton, 10);
    A::Values pressed = hot;
    pressed.ButtonColor = A::darken(kHotButton, 20);
    pressed.BorderColor = A::lighten(kHotButton, 20);
    A::Values disabled = normal;
    disabled.BorderColor = A::lighten(kBaseBorder, 50);
    disabled.ButtonColor = A::lighten(kBaseButton, 50);
    disabled.FontColor = A::lighten(kText, 50);
    m_normal.setDefaults(normal);
    m_hot.setDefaults(hot);
    m_selected.setDefaults(selected);
    m_pressed.setDefaults(pressed);
    m_disabled.setDefaults(disabled);
}

void TCustomStyledButton::setCaption(const QString& caption) {
    m_caption = caption;
    update();
    announceButtonName(this);
}

void TCustomStyledButton::setDefault(bool value) {
    if (m_default == value)
        return;
    m_default = value;
    announceButtonState(this, false, true);
}

void TCustomStyledButton::setPressedFlag(bool value) {
    if (m_pressedFlag == value)
        return;
    m_pressedFlag = value;
    announceButtonState(this, true, false);
}

TStyledButtonState TCustomStyledButton::state() const {
    if (!isEnabled())
        return TStyledButtonState::Disabled;
    if (m_pressedFlag)
        return TStyledButtonState::Pressed;
    if (hasFocus())
        return TStyledButtonState::Selected;
    if (m_pointerOver)
        return TStyledButtonState::Hot;
    return TStyledButtonState::Normal;
}

const TStyledButtonAttributes& TCustomStyledButton::attributesFor(TStyledButtonState state) const {
    switch (state) {
    case TStyledButtonState::Disabled: return m_disabled;
    case TStyledButtonState::Pressed: return m_pressed;
    case TStyledButtonState::Selected: return m_selected;
    case TStyledButtonState::Hot: return m_hot;
    case TStyledButtonState::Normal: break;
    }
    return m_normal;
}

int TCustomStyledButton::largestBorderWidth() const {
    return std::max({m_normal.BorderWidth(), m_pressed.BorderWidth(), m_selected.BorderWidth(),
                     m_hot.BorderWidth(), m_disabled.BorderWidth()});
}

QColor TCustomStyledButton::parentBackground() const {
    const QWidget* parent = parentWidget();
    return parent ? parent->palette().color(parent->backgroundRole()) : palette().color(QPalette::Window);
}

QSize TCustomStyledButton::sizeHint() const {
    return {75, 25};
}

void TCustomStyledButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TStyledButtonRender::paint(painter, rect(), parentBackground(), attributesFor(state()), m_caption, font(),
                               largestBorderWidth());
}

void TCustomStyledButton::click() {
    emit clicked();
    m_pointerOver = true;
    update();
}

void TCustomStyledButton::enterEvent(QEnterEvent*) {
    if (!isEnabled())
        return;
    m_pointerOver = true;
    update();
}

void TCustomStyledButton::pointerLeft() {
    setPressedFlag(false);
    m_pointerOver = false;
    update();
}

void TCustomStyledButton::leaveEvent(QEvent*) {
    if (isEnabled())
        pointerLeft();
}

void TCustomStyledButton::mousePressEvent(QMouseEvent*) {
    if (!isEnabled())
        return;
    setPressedFlag(true);
    setFocus(Qt::MouseFocusReason);
    update();
}

void TCustomStyledButton::mouseMoveEvent(QMouseEvent* event) {
    // While a button is held the pointer is grabbed; leaving the rectangle counts as leaving.
    if (isEnabled() && m_pressedFlag && !rect().contains(event->position().toPoint()))
        pointerLeft();
}

void TCustomStyledButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!isEnabled())
        return;
    setPressedFlag(false);
    update();
    // Leaving and coming back while held still clicks: only where the primary button goes up counts.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}

void TCustomStyledButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && noModifiers(event) && !event->isAutoRepeat()) {
        setPressedFlag(true);
        m_pointerOver = true;
        update();
        return;
    }
    QWidget::keyPressEvent(event); // Enter and Escape go on to the window
}

void TCustomStyledButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_pressedFlag) {
        setPressedFlag(false);
        m_pointerOver = underMouse();
        update();
        click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TCustomStyledButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TCustomStyledButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TCustomStyledButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        setPressedFlag(false);
        m_pointerOver = false;
    }
    QWidget::changeEvent(event);
    update();
}

bool TCustomStyledButton::handleDialogKey(QWidget* window, QKeyEvent* event) {
    if (!noModifiers(event))
        return false;
    const QList<TCustomStyledButton*> buttons = window->findChildren<TCustomStyledButton*>();
    TCustomStyledButton* target = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<TCustomStyledButton*>(QApplication::focusWidget());
        if (focused && buttons.contains(focused)) {
            target = focused;
        } else {
            for (TCustomStyledButton* button : buttons)
                if (button->isDefault())
                    target = button;
        }
    } else if (event->key() == Qt::Key_Escape) {
        for (TCustomStyledButton* button : buttons)
            if (button->isCancel())
                target = button;
    }
    if (!target)
        return false;
    if (target->isEnabled() && target->isVisible())
        target->click();
    return true;
}
