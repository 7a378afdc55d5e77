#include "res/Pictures.h"

#include "controls/ColorScheme.h"

#include <QPainter>

namespace {
// A green tile with three white level bars.
void DrawIcon(QPainter& p, QSize size)
{
    const CColorScheme& scheme = TheColorScheme();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(scheme.greenBrush);
    const QRectF tile(0, 0, size.width(), size.height());
    p.drawRoundedRect(tile, size.width() / 6.0, size.height() / 6.0);
    p.setBrush(scheme.whiteBrush);
    const double barWidth = size.width() / 7.0;
    const double heights[3] = {0.35, 0.65, 0.5};
    for (int i = 0; i < 3; ++i) {
        const double h = heights[i] * size.height();
        p.drawRect(QRectF((1.0 + 2.0 * i) * barWidth + barWidth / 2, size.height() * 0.85 - h, barWidth, h));
    }
}

// The light colour with a green band along its lower half.
void DrawBanner(QPainter& p, QSize size)
{
    const CColorScheme& scheme = TheColorScheme();
    p.fillRect(QRect(QPoint(0, 0), size), scheme.lightBrush);
    p.fillRect(QRect(0, size.height() / 2, size.width(), size.height() - size.height() / 2), scheme.greenBrush);
    p.fillRect(QRect(0, size.height() / 2, size.width(), 1), scheme.whiteBrush);
}
} // namespace

QPixmap DrawPicture(const std::string& name, QSize size)
{
    QPixmap picture(size.expandedTo(QSize(1, 1)));
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    if (name == "icon")
        DrawIcon(p, picture.size());
    else if (name == "banner")
        DrawBanner(p, picture.size());
    return picture;
}
