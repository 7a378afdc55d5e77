#pragma once
// Driving the desktop program's windows from a developer program (screenshots, the memory
// bench) as a person would: press a button, and wait with the event loop running.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace drive {

// Runs the event loop until done() holds or timeoutMs passes.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Presses control if it is a button.
inline void Click(QWidget* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->click();
}

} // namespace drive
