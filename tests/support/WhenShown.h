#pragma once

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <functional>

// Runs `action` once, just after `window` has been shown. A plain zero timer is not enough
// for the update window: its show preparation runs transfers whose event loops fire timers.
inline void whenShown(QWidget* window, std::function<void()> action) {
    class Filter : public QObject {
    public:
        Filter(QWidget* w, std::function<void()> a) : QObject(w), m_action(std::move(a)) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show && m_action) {
                QTimer::singleShot(0, parent(), std::move(m_action));
                m_action = nullptr;
                deleteLater();
            }
            return false;
        }

    private:
        std::function<void()> m_action;
    };
    window->installEventFilter(new Filter(window, std::move(action)));
}
