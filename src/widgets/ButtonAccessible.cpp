#include "ButtonAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {
class ButtonInterface : public QAccessibleWidget {
public:
    ButtonInterface(QWidget* widget, AccessibleButton* button)
        : QAccessibleWidget(widget, QAccessible::Button), m_button(button) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name: {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? m_button->spokenCaption() : name;
        }
        case QAccessible::Description: {
            const QString description = widget()->accessibleDescription();
            return description.isEmpty() ? widget()->toolTip() : description;
        }
        default: return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = m_button->spokenPressed();
        s.defaultButton = m_button->spokenDefault();
        return s;
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& actionName) override {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        if (widget()->isEnabled() && widget()->isVisible())
            m_button->pressByAssistiveTool();
    }

    QStringList keyBindingsForAction(const QString& actionName) const override {
        return actionName == pressAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
    }

private:
    AccessibleButton* m_button;
};

QAccessibleInterface* buttonFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    auto* button = dynamic_cast<AccessibleButton*>(object);
    return widget && button ? new ButtonInterface(widget, button) : nullptr;
}
} // namespace

void installButtonAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(buttonFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void announceButtonName(QWidget* button) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(button, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void announceButtonState(QWidget* button, bool pressedChanged, bool defaultChanged) {
    if (!QAccessible::isActive())
        return;
    QAccessible::State changed;
    changed.pressed = pressedChanged;
    changed.defaultButton = defaultChanged;
    QAccessibleStateChangeEvent event(button, changed);
    QAccessible::updateAccessibility(&event);
}

QString captionWithoutMnemonic(const QString& caption) {
    QString result;
    result.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (++i >= caption.size())
                break;
        }
        result += caption[i];
    }
    return result;
}
