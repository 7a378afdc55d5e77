#pragma once
// Helpers for tests of the program's windows: answering a modal dialog of a given class from
// inside its modal loop (for dialogs opened through the program's own buttons), and texts
// printed readably in failure messages.
#include <QApplication>
#include <QString>
#include <QTimer>
#include <functional>
#include <ostream>

// GoogleTest prints a QString through this (found by argument-dependent lookup).
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Runs act on the next Dialog that becomes the active modal window. act must close the dialog.
// Gives up after 10 s without running act (the test then fails on what it expected). A test
// that expects no such dialog deletes the returned timer before it ends.
template <class Dialog>
QTimer* WhenModalShown(std::function<void(Dialog&)> act)
{
    constexpr int POLL_MS = 10;
    constexpr int MAX_POLLS = 1000;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, polls = 0, act = std::move(act)]() mutable {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog && ++polls < MAX_POLLS)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            act(*dialog);
    });
    timer->start(POLL_MS);
    return timer;
}
