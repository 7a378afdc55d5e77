#include "controls/ColorButton.h"
#include "controls/Slider.h"
#include "res/DialogBuilder.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cmath>
#include <gtest/gtest.h>

namespace {
using K = ControlKind;

DialogTemplate Sample(int points)
{
    return {900, "Sample", 203, 117, "Verdana", points, DLG_CAPTION | DLG_SYSMENU,
            {
                {10, K::Label, "Port :", 7, 9, 53, 13, CTL_CENTER},
                {11, K::PushButton, "Apply", 13, 27, 51, 15, CTL_DEFAULT},
                {12, K::ColorButton, "Open Port", 71, 27, 50, 14, CTL_DISABLED},
                {13, K::Edit, "", 7, 50, 60, 12, CTL_READONLY},
                {14, K::DropDownList, "", 71, 50, 59, 44, CTL_NONE},
                {15, K::CheckBox, "Page Enable", 7, 70, 60, 10, CTL_HIDDEN},
                {18, K::Slider, "", 140, 5, 18, 50, CTL_NONE},
                {IDC_NONE, K::GroupBox, "Output 1", 3, 3, 130, 45, CTL_NONE},
            }};
}

// Dialog units to pixels worked out here on their own: the rounded alphabet average and the
// character height, then n * base / 4 across and n * base / 8 down, rounded.
QRect Expected(const QFont& font, int x, int y, int w, int h)
{
    const QFontMetrics m(font);
    const double bx = std::lround(m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0);
    const double by = m.height();
    auto across = [&](int n) { return int(std::lround(n * bx / 4)); };
    auto down = [&](int n) { return int(std::lround(n * by / 8)); };
    return QRect(across(x), down(y), across(w), down(h));
}
} // namespace

TEST(DialogBuilder, ConvertsDialogUnitsWithTheTemplateFontsMetrics)
{
    int okLeft[2] = {};
    for (int i : {0, 1}) {
        QDialog host;
        const CDialogBuilder builder(Sample(i ? 14 : 8), &host);
        const QFont& font = host.font();
        EXPECT_EQ(host.size(), Expected(font, 0, 0, 203, 117).size());
        EXPECT_EQ(host.minimumSize(), host.maximumSize()) << "the user cannot resize a dialog";
        EXPECT_EQ(builder.Control(10)->geometry(), Expected(font, 7, 9, 53, 13));
        EXPECT_EQ(builder.Control(11)->geometry(), Expected(font, 13, 27, 51, 15));
        const QRect combo = builder.Control(14)->geometry();
        EXPECT_EQ(combo.topLeft(), Expected(font, 71, 50, 59, 44).topLeft());
        EXPECT_LT(combo.height(), Expected(font, 71, 50, 59, 44).height() / 2) << "a closed list is one line";
        okLeft[i] = builder.Control(11)->x();
    }
    EXPECT_GT(okLeft[1], okLeft[0]) << "a larger font makes a larger dialog";
}

TEST(DialogBuilder, ControlsByIdWithTheirKindsStylesAndFrames)
{
    QDialog host;
    const CDialogBuilder builder(Sample(8), &host);
    host.show();
    ASSERT_NE(builder.Control<CColorButton>(12), nullptr);
    EXPECT_FALSE(builder.Control(12)->isEnabled());
    EXPECT_TRUE(builder.Control<QLineEdit>(13)->isReadOnly());
    EXPECT_FALSE(builder.Control(15)->isVisible()) << "hidden stays hidden when the window is shown";
    EXPECT_EQ(builder.Control<QSlider>(18)->orientation(), Qt::Vertical);
    EXPECT_NE(builder.Control<CSlider>(18), nullptr) << "a vertical slider is the editor's slider";
    EXPECT_EQ(builder.Control<QLabel>(11), nullptr) << "the wrong kind gives null";
    EXPECT_EQ(builder.Control(19), nullptr);
    EXPECT_EQ(builder.Control(IDC_NONE), nullptr);
    // The frame comes last in the template but lies under the controls it surrounds.
    for (int id : {10, 11, 12})
        EXPECT_EQ(host.childAt(builder.Control(id)->geometry().center()), builder.Control(id)) << id;
}

TEST(DialogBuilder, CaptionsAreAccessibleNamesAndFollowSetText)
{
    QDialog host;
    const CDialogBuilder builder(Sample(8), &host);
    EXPECT_EQ(builder.Control(10)->accessibleName(), QString("Port :"));
    EXPECT_EQ(builder.Control(12)->accessibleName(), QString("Open Port"));
    builder.SetText(12, "Close Port");
    EXPECT_EQ(builder.Text(12), QString("Close Port"));
    EXPECT_EQ(builder.Control(12)->accessibleName(), QString("Close Port"));
    builder.SetText(13, "update.bin");
    EXPECT_EQ(builder.Control<QLineEdit>(13)->text(), QString("update.bin"));
    EXPECT_EQ(builder.Control(13)->accessibleName(), QString()) << "an edit box's contents are not its name";
    builder.SetText(19, "nothing");  // no such control
    EXPECT_EQ(builder.Text(19), QString());
}
