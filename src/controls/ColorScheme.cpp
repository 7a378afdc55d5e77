#include "controls/ColorScheme.h"

#include <QPalette>
#include <QWidget>

CColorScheme::CColorScheme()
    : white(255, 255, 255), light(240, 200, 195), green(85, 145, 100), whiteBrush(white), lightBrush(light),
      greenBrush(green)
{
}

void CColorScheme::Apply(QWidget* window, const QBrush& background, const QColor& text)
{
    QPalette palette = window->palette();
    palette.setBrush(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

const CColorScheme& TheColorScheme()
{
    static const CColorScheme scheme;
    return scheme;
}
