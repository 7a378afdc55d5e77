#include "gui/GuiTestSupport.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/DlgProgress.h"
#include "res/Resource.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QLabel* TextOf(const CDlgMessage& d)
{
    return static_cast<QLabel*>(d.Control(IDC_MESSAGE_TEXT));
}

// Shows a message, lets act close it, and returns the answer.
kmr::MessageResult Ask(const std::string& text, int showCancel, std::function<void(CDlgMessage&)> act)
{
    CDlgMessage dialog;
    dialog.SetText(text);
    dialog.SetShowCancel(showCancel);
    WhenMessageShown(std::move(act));
    return dialog.DoModal();
}
} // namespace

TEST(DlgMessage, PlainMessageHasOkAloneUnderTheTextAndReturnsZero)
{
    bool checked = false;
    EXPECT_EQ(Ask("Port is not open! Please open the port!", 0,
                  [&](CDlgMessage& d) {
                      EXPECT_EQ(d.windowTitle(), QString("Wideplane KMR 6650"));
                      EXPECT_EQ(TextOf(d)->text(), QString("Port is not open! Please open the port!"));
                      EXPECT_FALSE(d.Control(IDCANCEL)->isVisible());
                      const QRect ok = d.Control(IDOK)->geometry();
                      EXPECT_EQ(ok.topLeft(), QPoint(CDlgMessage::LONE_OK_X, CDlgMessage::LONE_OK_Y));
                      EXPECT_NEAR(ok.center().x(), d.width() / 2, 2) << "in the middle";
                      EXPECT_GT(ok.top(), TextOf(d)->geometry().bottom()) << "under the text";
                      checked = true;
                      ClickControl(d, IDOK);
                  }),
              kmr::MSG_OK);
    EXPECT_TRUE(checked);
}

TEST(DlgMessage, QuestionShowsCancelBesideOkAndCancelReturnsOne)
{
    const std::string warning = "WARNING: This will erase the KMR 6650's old EQ Presets!\nAre you sure you want to upgrade?";
    EXPECT_EQ(Ask(warning, 1,
                  [](CDlgMessage& d) {
                      const QRect ok = d.Control(IDOK)->geometry();
                      const QRect cancel = d.Control(IDCANCEL)->geometry();
                      EXPECT_TRUE(d.Control(IDCANCEL)->isVisible());
                      EXPECT_EQ(ok.top(), cancel.top());
                      EXPECT_LT(ok.right(), cancel.left()) << "side by side";
                      ClickControl(d, IDCANCEL);
                  }),
              kmr::MSG_CANCEL);
    EXPECT_EQ(Ask(warning, 1, [](CDlgMessage& d) { ClickControl(d, IDOK); }), kmr::MSG_OK);
}

TEST(DlgMessage, EscapeAndTheCloseBoxCancelEnterConfirms)
{
    for (int showCancel : {0, 1}) {
        EXPECT_EQ(Ask("", showCancel, [](CDlgMessage& d) { QTest::keyClick(&d, Qt::Key_Escape); }), kmr::MSG_CANCEL);
        EXPECT_EQ(Ask("", showCancel, [](CDlgMessage& d) { d.close(); }), kmr::MSG_CANCEL);
        EXPECT_EQ(Ask("", showCancel, [](CDlgMessage& d) { QTest::keyClick(&d, Qt::Key_Return); }), kmr::MSG_OK);
    }
}

TEST(DlgMessage, LineBreaksMakeLinesAndMarkupIsShownAsText)
{
    auto heightOf = [](const std::string& text) {
        int height = 0;
        Ask(text, 0, [&](CDlgMessage& d) {
            EXPECT_EQ(TextOf(d)->text(), QString::fromStdString(text));
            height = TextOf(d)->heightForWidth(TextOf(d)->width());
            ClickControl(d, IDOK);
        });
        return height;
    };
    const int one = heightOf("DSP Update Successfull!");
    EXPECT_GE(heightOf("DSP Update Successfull!\nPlease power cycle the amplifier to complete the update."),
              2 * one - 2);
    EXPECT_EQ(heightOf("<h1>Big</h1>"), one) << "plain text, never markup";
}

TEST(DlgProgress, StartsEmptyOnWhiteAndPlacesItselfOverTheMainWindow)
{
    CDlgProgress progress;
    progress.PlaceOver(QRect(100, 50, 723, 491));
    progress.show();
    EXPECT_EQ(progress.windowTitle(), QString("Connection Progress"));
    EXPECT_EQ(progress.pos(), QPoint(100 + 180, 50 + 122)) << "the frame's top-left corner";
    EXPECT_EQ(progress.size(), QSize(361, 163));
    EXPECT_EQ(static_cast<QProgressBar*>(progress.Control(IDC_PROGRESS_BAR))->value(), 0);
    EXPECT_FALSE(progress.Control(IDOK)->isVisible());
    EXPECT_FALSE(progress.Control(IDCANCEL)->isVisible());
    EXPECT_EQ(progress.findChild<QLabel*>()->text(), QString("Connecting to KMR 6650.  Please wait!"));
    EXPECT_EQ(PixelAt(Grab(&progress), 2, 2), (Rgb{255, 255, 255}));

    // The user has no way to close it.
    QTest::keyClick(&progress, Qt::Key_Escape);
    progress.close();
    EXPECT_TRUE(progress.isVisible());
}

TEST(DlgProgress, SetProgressTakesTheLowEightBitsAndDestroysItselfAt100)
{
    QPointer<CDlgProgress> progress = new CDlgProgress;
    progress->show();
    const auto* bar = static_cast<QProgressBar*>(progress->Control(IDC_PROGRESS_BAR));
    progress->SetProgress(256 + 40);
    EXPECT_EQ(bar->value(), 40);
    progress->SetProgress(200);
    EXPECT_EQ(bar->value(), 100) << "beyond the range the bar is full";
    progress->SetProgress(99);
    EXPECT_EQ(bar->value(), 99);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(progress.isNull());
    EXPECT_TRUE(progress->isVisible());

    progress->SetProgress(100);
    ASSERT_FALSE(progress.isNull()) << "deleted later, so a caller on the stack stays safe";
    EXPECT_FALSE(progress->isVisible());
    progress->SetProgress(100);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(progress.isNull());
}
