#pragma once
// The program's colour scheme: three colours, each with a solid brush made once and kept until
// exit. Every window paints its background and texts with these.
#include <QBrush>
#include <QColor>

class QWidget;

class CColorScheme {
public:
    CColorScheme();
    CColorScheme(const CColorScheme&) = delete;
    CColorScheme& operator=(const CColorScheme&) = delete;

    // White: the main window, the Serial Port Settings dialog, the update dialog and the progress
    // window; the text colour of the editor panels.
    const QColor white;
    // Light: the Communication panel, the update panel, the Parameter Option panel and the
    // Parameters Adjust container.
    const QColor light;
    // Green: the parameter pages.
    const QColor green;
    const QBrush whiteBrush;
    const QBrush lightBrush;
    const QBrush greenBrush;

    // Paints window's background with background and its texts (static texts, check boxes,
    // radio buttons, group box captions; its children inherit both) in text. Static texts stay
    // transparent, so they show the window's background. GUI thread only.
    static void Apply(QWidget* window, const QBrush& background, const QColor& text);
};

// The program's one colour scheme. Safe to call before the QApplication exists.
const CColorScheme& TheColorScheme();
