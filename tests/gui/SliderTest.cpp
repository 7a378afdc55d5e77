// The editor's slider as a user moves it: where a step shows, and one notification per change.
#include "controls/Slider.h"

#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

struct StyledSlider : CSlider {
    using CSlider::initStyleOption;
};

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        slider.resize(30, 200);
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
        slider.SetMax(24);
        slider.SetStep(10);
    }
    // The thumb's centre, where the style draws it.
    QPoint Thumb()
    {
        QStyleOptionSlider opt;
        slider.initStyleOption(&opt);
        return slider.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &slider).center();
    }

    StyledSlider slider;
    QSignalSpy changed{&slider, &CSlider::Changed};
    QSignalSpy tracking{&slider, &CSlider::Tracking};
};

} // namespace

TEST_F(SliderTest, StepsMirrorThePositionAroundTheMaximumAndStayInRange)
{
    EXPECT_EQ(slider.orientation(), Qt::Vertical);
    EXPECT_EQ(slider.minimum(), 0);
    slider.SetStep(0);
    EXPECT_EQ(slider.value(), 24);
    EXPECT_EQ(slider.GetStep(), 0);
    const int bottom = Thumb().y();
    slider.SetStep(24);
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(slider.GetStep(), 24);
    EXPECT_LT(Thumb().y(), bottom) << "the highest step is at the top";

    // Never a step outside 0 .. maximum: a value beyond the range shows the nearest end, and a
    // maximum narrowed below the thumb keeps the step within the new range.
    slider.SetStep(40);
    EXPECT_EQ(slider.GetStep(), 24);
    slider.SetStep(-3);
    EXPECT_EQ(slider.GetStep(), 0);
    slider.SetStep(20);
    slider.SetMax(9);
    EXPECT_GE(slider.GetStep(), 0);
    EXPECT_LE(slider.GetStep(), 9);
    slider.SetMax(1);  // a two-step record
    slider.SetStep(1);
    EXPECT_EQ(slider.GetStep(), 1);
    EXPECT_TRUE(changed.isEmpty()) << "changes the program makes are not the user's";
}

TEST_F(SliderTest, OneNotificationPerKeyWheelOrDrag)
{
    slider.setFocus();
    QTest::keyClick(&slider, Qt::Key_Up);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(slider.GetStep(), 11) << "Up moves the thumb up, to a higher step";
    QTest::keyClick(&slider, Qt::Key_PageDown);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(slider.GetStep(), 10);

    QWheelEvent wheel(QPointF(15, 100), slider.mapToGlobal(QPointF(15, 100)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &wheel);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(slider.GetStep(), 11);

    // A drag over many positions: the value box may follow, one change at the end.
    const QPoint from = Thumb();
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, from);
    for (int dy = 5; dy <= 60; dy += 5)
        QTest::mouseMove(&slider, from - QPoint(0, dy));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, from - QPoint(0, 60));
    EXPECT_GT(tracking.count(), 1);
    EXPECT_EQ(changed.count(), 4);
    EXPECT_GT(slider.GetStep(), 11);
    EXPECT_EQ(tracking.last().at(0).toInt(), slider.GetStep());

    // A press and release without a move changes nothing.
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, Thumb());
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, Thumb());
    EXPECT_EQ(changed.count(), 4);
}
