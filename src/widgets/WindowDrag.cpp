#include "WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>

bool dragWindow(QWidget* window, QEvent* event, bool& dragging, int& startX, int& startY) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        dragging = true;
        startX = p.x();
        startY = p.y();
        return true;
    }
    case QEvent::MouseMove:
        if (dragging) {
            // The strip moves with the window, so the offset is the pointer's way since the press.
            const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
            window->move(window->x() + p.x() - startX, window->y() + p.y() - startY);
        }
        return true;
    case QEvent::MouseButtonRelease: dragging = false; return true;
    default: return false;
    }
}
