#include "WindowPlacement.h"

#include "Platform.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {
void placeFrame(QWidget* window) {
    const QRect area = Platform::current().workArea();
    if (!area.isValid())
        return;
    const QSize frame = window->frameGeometry().size();
    // move() places the outer frame of a top-level window.
    window->move(area.left() + (area.width() - frame.width()) / 2, area.top() + (area.height() - frame.height()) / 2);
}

class Recentre : public QObject {
public:
    explicit Recentre(QWidget* window) : QObject(window), m_window(window) { window->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize: {
            const QSize frame = m_window->frameGeometry().size();
            if (frame != m_lastFrame) {
                m_lastFrame = frame;
                placeFrame(m_window);
            }
            if (frame != m_window->size())
                finish(); // the real frame is known and the window sits centred on it
            break;
        }
        case QEvent::Hide: finish(); break;
        default: break;
        }
        return false;
    }

private:
    void finish() {
        m_window->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_window;
    QSize m_lastFrame;
};
} // namespace

void centreOnWorkArea(QWidget* window) {
    placeFrame(window);
    new Recentre(window);
}
