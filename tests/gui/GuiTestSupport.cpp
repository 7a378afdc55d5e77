#include "gui/GuiTestSupport.h"

#include "update/DlgMessage.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

QTimer* WhenMessageShown(std::function<void(CDlgMessage&)> act)
{
    constexpr int POLL_MS = 10;
    constexpr int MAX_POLLS = 1000;  // gives up after 10 s
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, polls = 0, act = std::move(act)]() mutable {
        auto* dialog = qobject_cast<CDlgMessage*>(QApplication::activeModalWidget());
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
