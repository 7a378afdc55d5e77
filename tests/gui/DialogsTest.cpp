#include "app/UpdaterDlg.h"
#include "gui/GuiTestSupport.h"
#include "link/SerialError.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/DlgProgress.h"
#include "res/Resource.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <QTextLayout>
#include <algorithm>
#include <cerrno>
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
// The lines label paints: its own lines when it does not wrap, else Qt's word wrap at its width.
QStringList ShownLines(const QLabel& label)
{
    QString text = label.text();
    if (!label.wordWrap())
        return text.split('\n');
    text.replace('\n', QChar::LineSeparator);
    QTextLayout layout(text, label.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label.width());
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
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

// A message that fits keeps the template's layout; a long one (an open failure naming a device
// by its long by-id path, a busy port) grows the dialog, shows every line, and no line ever ends
// inside a path.
TEST(DlgMessage, LongMessagesGrowTheDialogShortOnesKeepTheTemplateNoPathIsSplit)
{
    CDlgMessage fresh;  // as built from the template
    const QSize templateSize = fresh.size();
    const QRect templateText = TextOf(fresh)->geometry();

    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    struct Case {
        std::string text;
        int showCancel;
        bool grows;
        std::vector<std::string> paths;  // each shown whole on one line
    };
    const Case cases[] = {
        {"Port is not open! Please open the port!", 0, false, {}},
        {"WARNING: This will erase the KMR 6650's old system software!\nAre you sure you want to upgrade? ", 1,
         false, {}},
        {"Error: Can not open /dev/ttyUSB0: no such device.", 0, false, {"/dev/ttyUSB0:"}},
        {kmr::SerialErrorFrom(kmr::SerialError::Open, "COM1 (" + byId + ")", ENOENT, "KMR6650_COM1").Text(), 0, true,
         {"(" + byId + "):", "/dev/ttyUSB0", "KMR6650_COM1=/dev/ttyUSB0)."}},
        {kmr::SerialErrorFrom(kmr::SerialError::Open, "COM1 (" + byId + ")", EBUSY, "KMR6650_COM1").Text(), 1, true,
         {"(" + byId + "):"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool checked = false;
        Ask(c.text, c.showCancel, [&](CDlgMessage& d) {
            QLabel* label = TextOf(d);
            const QRect text = label->geometry();
            const QRect ok = d.Control(IDOK)->geometry();
            const QRect cancel = d.Control(IDCANCEL)->geometry();
            EXPECT_EQ(label->accessibleName().toStdString(), c.text);
            if (c.grows) {
                EXPECT_GT(d.width(), templateSize.width());
                EXPECT_LE(d.frameGeometry().width(), d.screen()->availableGeometry().width()) << "on the screen";
                EXPECT_FALSE(label->wordWrap()) << "the lines shown are the label's own";
                EXPECT_LE(label->sizeHint().width(), text.width()) << "no line cut off";
                EXPECT_LE(label->sizeHint().height(), text.height()) << "no line cut off";
                EXPECT_TRUE(d.rect().contains(text));
                EXPECT_GT(ok.top(), text.bottom()) << "the buttons under the text";
                EXPECT_LE(ok.top() - text.bottom(), fresh.Control(IDOK)->y() - templateText.bottom())
                    << "no empty band between the text and the buttons";
                EXPECT_LT(ok.bottom(), d.height());
                const QRect row = c.showCancel ? ok.united(cancel) : ok;
                EXPECT_NEAR(row.center().x(), d.width() / 2, 2) << "centred";
                // The last line is painted: dark text pixels in its band.
                const QImage shot = Grab(&d);
                const QFontMetrics metrics = label->fontMetrics();
                const int lastTop = text.top() + int(ShownLines(*label).size() - 1) * metrics.lineSpacing();
                int dark = 0;
                for (int y = lastTop; y < lastTop + metrics.height(); ++y)
                    for (int x = text.left(); x <= text.right(); ++x)
                        dark += qGray(shot.pixel(x, y)) < 128;
                EXPECT_GT(dark, 10) << "the last line shows";
            } else {
                EXPECT_EQ(d.size(), templateSize);
                EXPECT_EQ(text, templateText);
                if (label->wordWrap())
                    EXPECT_EQ(label->text().toStdString(), c.text) << "kept as it is when Qt keeps the words whole";
                EXPECT_LE(ShownLines(*label).size() * label->fontMetrics().lineSpacing(), text.height());
            }
            if (c.showCancel) {
                EXPECT_TRUE(d.Control(IDCANCEL)->isVisible());
                EXPECT_EQ(ok.top(), cancel.top());
                EXPECT_LT(ok.right(), cancel.left());
                EXPECT_LT(cancel.right(), d.width());
            }
            const QStringList lines = ShownLines(*label);
            for (const QString& line : lines)
                EXPECT_FALSE(line.endsWith('/') || line.endsWith('-')) << "split at: " << line.toStdString();
            for (const std::string& path : c.paths) {
                const bool whole = std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
                    return line.contains(QString::fromStdString(path));
                });
                EXPECT_TRUE(whole) << path << " in:\n" << lines.join('\n').toStdString();
            }
            checked = true;
            ClickControl(d, IDOK);
        });
        EXPECT_TRUE(checked);
    }
}

// The About box's line of name, version and date shows whole on one line, OK clear of it.
TEST(AboutBox, NameVersionAndDateShowWholeOnOneLine)
{
    const QString name = "KMR 6650 Frimware/EQ Preset Update Tool ver. 1.0  9-9-2007";
    CAboutDlg about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QLabel* line = nullptr;
    for (QLabel* label : about.findChildren<QLabel*>())
        if (label->text() == name)
            line = label;
    ASSERT_NE(line, nullptr) << "the text as it is";
    const QFontMetrics metrics = line->fontMetrics();
    const QRect place = line->geometry();
    EXPECT_EQ(ShownLines(*line).size(), 1);
    EXPECT_LT(place.height(), 2 * metrics.height()) << "one line high";
    EXPECT_GE(place.height(), metrics.height());
    EXPECT_LE(metrics.horizontalAdvance(name), place.width());
    EXPECT_TRUE(about.rect().contains(place));
    EXPECT_FALSE(about.Builder().Control(IDOK)->geometry().intersects(place));
    // The date is painted at the end of the line.
    const QImage shot = Grab(&about);
    const int dateLeft = place.left() + metrics.horizontalAdvance(name.left(name.indexOf("9-9-2007")));
    int dark = 0;
    for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = dateLeft; x < place.left() + metrics.horizontalAdvance(name); ++x)
            dark += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20) << "the date shows";
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
