#include "controls/ColorButton.h"
#include "gui/GuiTestSupport.h"
#include "support/MessageRecorder.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr int W = 100;
constexpr int H = 40;

class ColorButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(3 * W, 3 * H);
        other->setGeometry(W + 20, 10, W, H);
        button->setGeometry(10, 10, W, H);
        window.show();
    }
    void Focus()
    {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        button->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([this] { return button->hasFocus(); }, 5000));
    }
    void Enter(QWidget* w)
    {
        QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QCoreApplication::sendEvent(w, &enter);
    }

    // The five outlines from the outside in, on each side and at the corners; then the face.
    static void ExpectLook(const QImage& img, const Rgb (&lines)[5], Rgb face)
    {
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(PixelAt(img, k, H / 2), lines[k]) << "left, line " << k;
            EXPECT_EQ(PixelAt(img, 8, k), lines[k]) << "top, line " << k;
            EXPECT_EQ(PixelAt(img, W - 1 - k, H - 1 - k), lines[k]) << "bottom-right, line " << k;
        }
        EXPECT_EQ(PixelAt(img, 5, 5), face);
        EXPECT_EQ(PixelAt(img, W - 6, H - 6), face);
    }
    // Pixels where red clearly dominates: the red hover caption, blended or not.
    static int RedPixels(const QImage& img)
    {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const Rgb c = PixelAt(img, x, y);
                n += c.r - c.g > 100 && c.r - c.b > 100;
            }
        return n;
    }
    // The box around the dark caption pixels inside the border.
    static QRect CaptionBox(const QImage& img)
    {
        QRect box;
        for (int y = 5; y < H - 5; ++y)
            for (int x = 5; x < W - 5; ++x)
                if (qGray(img.pixel(x, y)) < 128)
                    box |= QRect(x, y, 1, 1);
        return box;
    }

    QWidget window;
    CColorButton* other = new CColorButton("Other", &window);
    CColorButton* button = new CColorButton("Go", &window);
};
} // namespace

TEST_F(ColorButtonTest, NormalLookOfANewButtonAndOfEachStyle)
{
    ExpectLook(Grab(button), {{143, 187, 99}, {133, 177, 89}, {123, 167, 79}, {113, 157, 69}, {103, 147, 59}},
               {192, 192, 192});
    button->SetColorStyle(0);
    const QImage img = Grab(button);
    ExpectLook(img, {{250, 200, 200}, {240, 190, 190}, {230, 180, 180}, {220, 170, 170}, {210, 160, 160}},
               {205, 210, 215});
    const QRect caption = CaptionBox(img);
    EXPECT_NEAR(caption.center().x(), W / 2, 2);
    EXPECT_NEAR(caption.center().y(), H / 2, 3);
    button->SetColorStyle(1);
    EXPECT_EQ(PixelAt(Grab(button), 5, 5), (Rgb{143, 187, 99}));
    button->SetColorStyle(2);
    ExpectLook(Grab(button), {{143, 187, 99}, {133, 177, 89}, {123, 167, 79}, {113, 157, 69}, {103, 147, 59}},
               {250, 200, 200});
}

TEST_F(ColorButtonTest, FocusedLookWrapsComponentsAndGoesWithTheFocus)
{
    button->SetColorStyle(0);
    Focus();
    ExpectLook(Grab(button), {{205, 210, 215}, {215, 220, 225}, {225, 230, 235}, {235, 240, 245}, {245, 250, 255}},
               {143, 187, 99});
    // 8-bit components: with style 2 the red of the border goes 250, 4, 14, 24, 34.
    button->SetColorStyle(2);
    ExpectLook(Grab(button), {{250, 200, 200}, {4, 210, 210}, {14, 220, 220}, {24, 230, 230}, {34, 240, 240}},
               {143, 187, 99});
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(button);
    EXPECT_EQ(a->role(), QAccessible::Button) << "painted by us, still a push button";
    EXPECT_EQ(a->text(QAccessible::Name), QString("Go"));

    other->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !button->hasFocus(); }, 5000));
    EXPECT_EQ(PixelAt(Grab(button), 5, 5), (Rgb{250, 200, 200})) << "the normal look is back";
}

TEST_F(ColorButtonTest, DisabledLookIsGreyWithBlackCaptionWhateverTheStyle)
{
    button->setEnabled(false);
    for (int style : {0, 1, 2}) {
        button->SetColorStyle(style);
        const QImage img = Grab(button);
        EXPECT_EQ(PixelAt(img, 0, 0), (Rgb{0, 0, 0})) << style;
        EXPECT_EQ(PixelAt(img, 4, 4), (Rgb{150, 150, 150})) << style;
        EXPECT_FALSE(CaptionBox(img).isEmpty());
    }
}

TEST_F(ColorButtonTest, UnknownStyleShowsTheErrorAndKeepsTheColours)
{
    MessageRecorder messages;
    button->SetColorStyle(1);
    button->SetColorStyle(3);
    button->SetColorStyle(-1);
    EXPECT_EQ(PixelAt(Grab(button), 5, 5), (Rgb{143, 187, 99}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, "CColorButton::SetColorStyle error: no this color style!"));
}

TEST_F(ColorButtonTest, RedCaptionOnceAfterEnteringNeverWhenFocusedOrDisabled)
{
    Enter(button);
    EXPECT_GT(RedPixels(Grab(button)), 5);
    EXPECT_EQ(RedPixels(Grab(button)), 0) << "drawn once";
    Enter(button);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(RedPixels(Grab(button)), 0);

    Focus();
    Enter(button);
    EXPECT_EQ(RedPixels(Grab(button)), 0);
    other->setEnabled(false);
    Enter(other);
    EXPECT_EQ(RedPixels(Grab(other)), 0);
}
