#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"

#include "qtplatform/DlgMessage.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

QTimer* WhenMessageShown(std::function<void(CDlgMessage&)> act)
{
    return WhenModalShown<CDlgMessage>(std::move(act));
}

void ClickControl(const CDlgMessage& dialog, int id)
{
    QWidget* control = dialog.Control(id);
    ASSERT_NE(control, nullptr);
    QTest::mouseClick(control, Qt::LeftButton);
}

QImage Grab(QWidget* widget)
{
    return widget->grab().toImage();
}

Rgb PixelAt(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return {c.red(), c.green(), c.blue()};
}

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << '(' << c.r << ", " << c.g << ", " << c.b << ')';
}
