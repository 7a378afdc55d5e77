// The Parameters Adjust container and the page base, with real controls, against the simulated
// amplifier where a record is written.
#include "AmpSimulator.h"
#include "controls/ColorButton.h"
#include "controls/Slider.h"
#include "gui/GuiTestSupport.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/DlgOptionParam.h"
#include "params/DlgPA.h"
#include "params/MixerOps.h"
#include "params/DlgParamAdjust.h"
#include "params/ParamTransfer.h"
#include "protocol/NormalMessages.h"
#include "res/Resource.h"
#include "support/MessageRecorder.h"
#include "support/PostRecorder.h"
#include "support/Wait.h"
#include "qtplatform/DlgProgress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const Rgb STYLE_0_FACE{205, 210, 215};
const Rgb STYLE_1_FACE{143, 187, 99};

// The colour style a button is painted in: 1 or 0 by which of the two faces covers more of it
// (a long caption covers much of a small button, so no single pixel is sure to be face).
int PaintedStyle(QWidget* button)
{
    const QImage image = Grab(button);
    int style1 = 0, style0 = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            style1 += PixelAt(image, x, y) == STYLE_1_FACE;
            style0 += PixelAt(image, x, y) == STYLE_0_FACE;
        }
    return style1 > style0 ? 1 : 0;
}

class ParamAdjust : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(800, 600);
        window.show();
    }
    int VisiblePage() const
    {
        int shown = -1, count = 0;
        for (int n = 0; n < 8; ++n)
            if (panel.Page(n)->isVisible()) {
                shown = n;
                ++count;
            }
        return count == 1 ? shown : -2;
    }

    QWidget window;
    CDSPParamTable table;
    CParamTransfer transfer{TheNormalProtocol(), table};
    CDlgParamAdjust panel{&window, [] { return 0; }, transfer};
};

} // namespace

TEST_F(ParamAdjust, OnePageAtATimeOverTheFrameWithItsButtonHighlighted)
{
    // Pages in show order carry their templates; they were created in the specified order and
    // lie exactly over the frame.
    const QRect frame = panel.Control(IDC_PA_FRAME)->geometry();
    std::vector<int> created;
    for (QObject* child : panel.children())
        if (auto* page = qobject_cast<CDlgPA*>(child)) {
            created.push_back(page->Builder().Template().number);
            EXPECT_EQ(page->geometry(), frame);
        }
    EXPECT_EQ(created, std::vector<int>(CDlgParamAdjust::CREATION_ORDER.begin(), CDlgParamAdjust::CREATION_ORDER.end()));
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(panel.Page(n)->Builder().Template().number, 107 + n);
    EXPECT_FALSE(panel.Control(IDC_PA_FRAME)->isVisible());

    EXPECT_EQ(VisiblePage(), 0) << "the Input page first";
    const int buttons[8] = {IDC_PA_INPUT, IDC_PA_OUTPUT, IDC_PA_EQ, IDC_PA_PAGE_IN,
                            IDC_PA_DIRECT_IN, IDC_PA_LIMITER, IDC_PA_MISC, IDC_PA_SIGNAL_THR};
    for (int n : {6, 7, 3, 3, 0}) {  // Miscellaneous, Signal Thr, Page In twice, Input
        QTest::mouseClick(panel.Control(buttons[n]), Qt::LeftButton);
        EXPECT_EQ(VisiblePage(), n);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(PaintedStyle(panel.Button(i)), i == n ? 1 : 0) << "page " << n << ", button " << i;
    }
}

namespace {

// One page with real controls bound to records of a table of its own, the program's port host
// open on the simulated amplifier; the page's writes and their notifications are checked there.
class PageBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ThePortHost().SetPortDevice(sim.SlavePath());
        ASSERT_EQ(ThePortHost().OpenPort(), 1);
        TheMacLayer().SetPort(&ThePortHost());
        TheMacLayer().SetFrameMsgTarget(posts);
        bass = table.GetRecord(PAGE_INPUT, 0);        // Input 1 Bass, 0x3000
        partner = table.GetRecord(PAGE_INPUT, 2);     // Input 2 Bass, 0x3001
        check = table.GetRecord(PAGE_MISC, 0);
        for (int slot = 0; slot < table.GetCount(PAGE_PAGE_IN); ++slot)
            if (table.GetRecord(PAGE_PAGE_IN, slot)->kind == KIND_RADIO_PAIR)
                radio = table.GetRecord(PAGE_PAGE_IN, slot);
        ASSERT_NE(radio, nullptr);
        bass->slider = &bassSlider;
        bass->valueText = &bassText;
        partner->slider = &partnerSlider;
        partner->valueText = &partnerText;
        check->button = &checkBox;
        radio->button = &first;
        radio->button2 = &second;
        for (DSPParam* r : {bass, partner, check, radio})
            page.ResetOneParam(r);
        sim.ClearReceived();
    }
    void TearDown() override
    {
        TheMacLayer().SetFrameMsgTarget({});
        TheMacLayer().SetPort(nullptr);
        ThePortHost().ClosePort();
        ThePortHost().SetPortDevice("");
    }
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Writes()
    {
        std::vector<std::pair<std::uint16_t, std::uint16_t>> out;
        for (const auto& p : sim.Received())
            if (p[0] == normal::CMD_WRITE_PARAMS)
                out.emplace_back(normal::GetU16(&p[1]), normal::GetU16(&p[3]));
        return out;
    }

    CAmpSimulator sim;
    MessageRecorder messages;
    std::shared_ptr<PostRecorder> posts = PostRecorder::Create();
    CDSPParamTable table;
    CParamTransfer transfer{TheNormalProtocol(), table};
    int mode = MIXER_MODE_MIXER;
    QWidget window;
    CDlgPA page{IDD_PA_INPUT, &window, [this] { return mode; }, transfer};
    CSlider bassSlider{&page}, partnerSlider{&page};
    QLineEdit bassText{&page}, partnerText{&page};
    QCheckBox checkBox{&page};
    QRadioButton first{&page}, second{&page};
    DSPParam* bass = nullptr;
    DSPParam* partner = nullptr;
    DSPParam* check = nullptr;
    DSPParam* radio = nullptr;
};

} // namespace

TEST_F(PageBase, RecordsAndControlsShowTheSameValue)
{
    // Reset: the slider's range is the record's steps, the default shown with its label.
    EXPECT_EQ(bassSlider.GetMax(), 24);
    EXPECT_EQ(bassSlider.GetStep(), 12);
    EXPECT_EQ(bassText.text(), " 0.00");
    bassSlider.SetStep(14);
    page.SaveOneParam(bass);
    page.UpdateOneParam(bass);
    EXPECT_EQ(bass->index, 14);
    EXPECT_EQ(bassText.text(), "+1.00");

    // A radio pair shows exactly one radio set; index 0 is the second.
    radio->index = 0;
    page.UpdateOneParam(radio);
    EXPECT_TRUE(second.isChecked());
    EXPECT_FALSE(first.isChecked());
    page.SaveOneParam(radio);
    EXPECT_EQ(radio->index, 0);
    checkBox.setChecked(true);
    page.SaveOneParam(check);
    EXPECT_EQ(check->index, 1);

    // A record of no known kind is reported and changes nothing.
    DSPParam odd = *bass;
    odd.kind = 9;
    odd.index = 3;
    page.UpdateOneParam(&odd);
    page.SaveOneParam(&odd);
    EXPECT_EQ(odd.index, 3);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"CDlgPA::UpdateOneParam Error!", "CDlgPA::SaveOneParam Error!"}));

    // Mode enabling: the Input 2 tone follows Input 1 in Stereo mode, so it is disabled there; a
    // radio pair is never disabled; a mode outside 0..2 changes nothing.
    page.EnableParamsForMode(MIXER_MODE_STEREO);
    EXPECT_FALSE(partnerSlider.isEnabled());
    EXPECT_FALSE(partnerText.isEnabled());
    EXPECT_TRUE(bassSlider.isEnabled());
    EXPECT_TRUE(first.isEnabled() && second.isEnabled());
    page.EnableParamsForMode(3);
    EXPECT_FALSE(partnerSlider.isEnabled());
    page.EnableParamsForMode(MIXER_MODE_MIXER);
    EXPECT_TRUE(partnerSlider.isEnabled());
    EXPECT_TRUE(Writes().empty()) << "showing and reading controls sends nothing";
}

TEST_F(PageBase, WritesAndLinkedChangesReachTheAmplifierOnlyWhenTheyShould)
{
    using W = std::vector<std::pair<std::uint16_t, std::uint16_t>>;
    bassSlider.SetStep(14);
    page.SaveOneParam(bass);
    page.SendOneParam(bass);
    EXPECT_EQ(Writes(), (W{{0x3000, 14}}));
    ASSERT_EQ(posts->Posts().size(), 3u) << "the frame sent, its answer, then the write's result";
    EXPECT_EQ(posts->Posts().back().wParam, PARAM_WRITE_OK);

    // A linked change acts in Stereo mode only: the partner takes the source's control state
    // and is written after it.
    for (int m : {MIXER_MODE_MIXER, MIXER_MODE_DUAL_MONO}) {
        mode = m;
        page.ApplyLinkedChange(bass, partner, false);
    }
    EXPECT_EQ(Writes().size(), 1u);
    mode = MIXER_MODE_STEREO;
    page.ApplyLinkedChange(bass, partner, false);
    EXPECT_EQ(Writes(), (W{{0x3000, 14}, {0x3001, 14}}));
    EXPECT_EQ(partnerSlider.GetStep(), 14);
    EXPECT_EQ(partnerText.text(), "+1.00");

    // A write the amplifier does not acknowledge: code 5, and the record keeps its new index.
    sim.SetMuted(normal::CMD_WRITE_PARAMS, true);
    posts->Clear();
    bassSlider.SetStep(3);
    page.SaveOneParam(bass);
    page.SendOneParam(bass);
    EXPECT_EQ(posts->Posts().back().wParam, PARAM_WRITE_FAILED);
    EXPECT_EQ(bass->index, 3);

    // Port closed: the change is shown, nothing is sent or posted.
    sim.SetMuted(normal::CMD_WRITE_PARAMS, false);
    ThePortHost().ClosePort();
    sim.ClearReceived();
    posts->Clear();
    page.ApplyLinkedChange(bass, partner, false);
    EXPECT_EQ(partnerSlider.GetStep(), 3);
    QTest::qWait(50);
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_TRUE(posts->Posts().empty());
    EXPECT_TRUE(messages.Texts().empty());
}

namespace {

// The Parameter Option panel over the container's pages, with records of a table of its own,
// the program's port host on the simulated amplifier.
class OptionPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ThePortHost().SetPortDevice(sim.SlavePath());
        option.AttachPages(&adjust);
    }
    void TearDown() override
    {
        transfer.Shutdown();
        TheMacLayer().SetPort(nullptr);
        ThePortHost().ClosePort();
        ThePortHost().SetPortDevice("");
    }
    void Open()
    {
        ASSERT_EQ(ThePortHost().OpenPort(), 1);
        TheMacLayer().SetPort(&ThePortHost());
    }
    // The worker the panel started has ended and its last post was handled.
    bool WorkerDone()
    {
        return QTest::qWaitFor([&] { return !transfer.IsRunning() && option.Progress() == nullptr; }, 10000);
    }
    void ChooseMode(int mode)
    {
        auto* box = option.Builder().Control<QComboBox>(IDC_OP_MODE);
        box->setCurrentIndex(mode);
        emit box->activated(mode);
    }

    CAmpSimulator sim;
    MessageRecorder messages;
    CDSPParamTable table;
    CParamTransfer transfer{TheNormalProtocol(), table};
    bool connected = true;
    QWidget window;
    CDlgOptionParam option{&window, [this] { return connected; }, transfer};
    CDlgParamAdjust adjust{&window, [this] { return option.MixerMode(); }, transfer};
};

} // namespace

TEST_F(OptionPanel, ModesReadsAndTheConsoleAgainstTheAmplifier)
{
    // Offline: a work-mode change loads that mode's defaults and sends nothing.
    ChooseMode(MIXER_MODE_DUAL_MONO);
    EXPECT_EQ(option.MixerMode(), MIXER_MODE_DUAL_MONO);
    EXPECT_EQ(table.GetRecord(PAGE_OUTPUT, 0)->index, OutputModePresets[MIXER_MODE_DUAL_MONO][0]);
    EXPECT_TRUE(sim.Received().empty());

    // An invalid mode is stored, reported, and indexes nothing.
    option.SetMixerMode(4);
    EXPECT_EQ(option.MixerMode(), 4);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{MIXER_MODE_ERROR_TEXT});

    // Online: the mode is written (as mode + 1) and everything read back with the progress window.
    Open();
    messages.Clear();
    sim.SetParam(0x3000, 20);
    ChooseMode(MIXER_MODE_STEREO);
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(sim.GetParam(normal::ADDR_MIXER_MODE), 2);
    EXPECT_EQ(option.MixerMode(), MIXER_MODE_STEREO);
    EXPECT_EQ(table.GetRecord(PAGE_INPUT, 0)->index, 20);
    EXPECT_TRUE(messages.Texts().empty());

    // An amplifier mode value of 4 is reported and the read goes on; a preset count of 63 stops it.
    sim.SetOutOfRangeReply(normal::ADDR_MIXER_MODE, true);
    option.ReadMixerParams();
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(option.MixerMode(), 3);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{MIXER_MODE_ERROR_TEXT});
    sim.SetOutOfRangeReply(normal::ADDR_MIXER_MODE, false);
    sim.SetOutOfRangeReply(normal::ADDR_EQ_PRESET_COUNT, true);
    messages.Clear();
    option.ReadMixerParams();
    EXPECT_FALSE(transfer.IsRunning());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{READ_PRESET_COUNT_ERROR_TEXT});

    // The register console, on the same grammar as the command line's.
    QTest::mouseClick(option.Control(IDC_OP_ENTER), Qt::LeftButton);
    EXPECT_EQ(option.Builder().Text(IDC_OP_RESULT), "Write OK");
    EXPECT_EQ(sim.GetParam(0x3000), 0x0010);

    // An amplifier that does not answer: the mode read fails with its text; a work-mode change
    // whose write fails twice loads that mode's defaults offline and says so.
    sim.SetSilent(true);
    messages.Clear();
    option.ReadMixerParams();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{READ_MODE_ERROR_TEXT});
    messages.Clear();
    ChooseMode(MIXER_MODE_DUAL_MONO);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{CDlgOptionParam::MODE_CHANGE_ERROR_TEXT});
    EXPECT_EQ(option.MixerMode(), MIXER_MODE_DUAL_MONO);
    EXPECT_EQ(table.GetRecord(PAGE_OUTPUT, 6)->index, OutputModePresets[MIXER_MODE_DUAL_MONO][6]);
    EXPECT_FALSE(transfer.IsRunning());
    sim.SetSilent(false);

    // Not connected: read and reset refuse with the port text.
    connected = false;
    messages.Clear();
    QTest::mouseClick(option.Control(IDC_OP_READ), Qt::LeftButton);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{NOT_CONNECTED_TEXT});
}

TEST_F(OptionPanel, UnderAWorkerTheModeStaysAndEachWorkersPostsReachOnlyItsOwnWindow)
{
    Open();
    // A read-all is running: a work-mode change is refused with the line-busy text, the box goes
    // back to the amplifier's mode, and the amplifier is never told another mode.
    sim.SetReplyDelayMs(15);
    option.ReadMixerParams();
    ASSERT_TRUE(transfer.IsRunning());
    messages.Clear();
    sim.ClearReceived();
    ChooseMode(MIXER_MODE_STEREO);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: The line to the amplifier is in use (reading all "
                                                         "parameters).\nPlease wait until it has finished, then try again."});
    EXPECT_EQ(option.Builder().Control<QComboBox>(IDC_OP_MODE)->currentIndex(), MIXER_MODE_MIXER);
    EXPECT_EQ(option.MixerMode(), MIXER_MODE_MIXER);
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(sim.GetParam(normal::ADDR_MIXER_MODE), 1);
    for (const auto& p : sim.Received())
        EXPECT_FALSE(p[0] == normal::CMD_WRITE_PARAMS) << "nothing is written during a read-all";

    // The last posts of one worker, handled only once the next worker has started, close only
    // their own window.
    sim.SetReplyDelayMs(0);
    option.ReadMixerParams();
    const QPointer<CDlgProgress> first = option.Progress();
    ASSERT_FALSE(first.isNull());
    ASSERT_TRUE(WaitUntil([&] { return !transfer.IsRunning(); }, std::chrono::seconds(10)));  // its posts wait
    sim.SetReplyDelayMs(15);
    option.ReadMixerParams();
    const QPointer<CDlgProgress> second = option.Progress();
    ASSERT_NE(second, first);
    QTest::qWait(100);  // the first worker's posts are handled now
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible()) << "another worker's 100 closed this window";
    ASSERT_TRUE(WorkerDone());

    // A start that is refused leaves no window behind: an update holds the line.
    ASSERT_TRUE(TheMacLayer().ClaimLine(CProtocolMACLayer::LineUse::Update, "an update"));
    messages.Clear();
    option.ReadMixerParams();
    EXPECT_EQ(option.Progress(), nullptr);
    EXPECT_EQ(messages.Texts().size(), 1u);
    TheMacLayer().ReleaseLine(CProtocolMACLayer::LineUse::Update);
}
