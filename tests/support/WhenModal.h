#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>
#include <functional>

// Whether a step expects its window for certain, or only where the code under test might
// show one (then nothing up is no failure, and `act` does not run).
enum class Expect { Shown, Maybe };

// Runs `act` on the window of type T as soon as it is the active modal window: arm it just
// before the call that shows the window and waits. When no such window is up, the test
// fails and whatever modal dialog is up is ended, so the waiting call returns; so is the
// window when a check inside `act` fails.
template <typename T>
void whenModal(std::function<void(T*)> act, Expect expect = Expect::Shown) {
    QTimer::singleShot(0, [act, expect] {
        QWidget* up = QApplication::activeModalWidget();
        auto* window = qobject_cast<T*>(up);
        if (!window && expect == Expect::Maybe)
            return;
        if (!window) {
            if (auto* dialog = qobject_cast<QDialog*>(up))
                dialog->done(0);
            QFAIL(qPrintable(QStringLiteral("expected a modal %1, found %2")
                                 .arg(QLatin1String(T::staticMetaObject.className()),
                                      up ? QLatin1String(up->metaObject()->className()) : QStringLiteral("none"))));
        }
        act(window);
        // A check that failed inside `act` left the window waiting: end it.
        if (QTest::currentTestFailed() && window->isVisible())
            window->done(0);
    });
}

// A control of `window` found by its object name. A name that is not there ends the test
// run at once with the name, rather than failing later on a null pointer.
template <typename T = QWidget>
T* control(const QWidget* window, const QString& name) {
    T* found = window->findChild<T*>(name);
    if (!found)
        qFatal("no %s named %s in %s", T::staticMetaObject.className(), qPrintable(name),
               qPrintable(window->objectName()));
    return found;
}

// Press, move and release with one mouse button, delivered to the control under each point
// of `window` (in window coordinates); an event a control ignores goes on to its parents,
// as it does on screen.
inline void dragAt(QWidget* window, QPoint from, QPoint to, Qt::MouseButton mouseButton) {
    QWidget* target = window->childAt(from);
    QVERIFY2(target, "nothing under the press point");
    const QPoint a = target->mapFrom(window, from), b = target->mapFrom(window, to);
    QTest::mousePress(target, mouseButton, Qt::NoModifier, a);
    QTest::mouseMove(target, b);
    QTest::mouseRelease(target, mouseButton, Qt::NoModifier, b);
}
