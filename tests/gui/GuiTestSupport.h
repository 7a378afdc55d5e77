#pragma once
// Helpers for the GUI tests: answering modal message dialogs from a timer, and reading pixels.
#include <QColor>
#include <QImage>
#include <functional>
#include <ostream>

class CDlgMessage;
class QTimer;
class QWidget;

// Runs act on the next CDlgMessage that becomes the active modal window, from inside its modal
// loop. act must close the dialog (click a button, press a key). The watch gives up after 10 s;
// a test that expects no message deletes the returned timer before it ends, so that the watch
// cannot act on a later test's dialog.
QTimer* WhenMessageShown(std::function<void(CDlgMessage&)> act);

// Clicks control id of dialog with the mouse.
void ClickControl(const CDlgMessage& dialog, int id);

// What widget paints, as an image of its own size.
QImage Grab(QWidget* widget);

// Colours compared by red, green and blue, printed so.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
Rgb PixelAt(const QImage& image, int x, int y);
std::ostream& operator<<(std::ostream& os, const Rgb& c);
