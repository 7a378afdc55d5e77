// The Input and Output pages on the page framework, with the Parameter Option panel over them,
// against the simulated amplifier: what the pages show, what reaches the amplifier after a
// change in each mixer mode, how a change meets a worker, and the editor window of
// kmr6650-tool --editor end to end.
#include "AmpSimulator.h"
#include "app/DlgCommOption.h"
#include "app/UpdaterApp.h"
#include "app/UpdaterDlg.h"
#include "controls/ColorButton.h"
#include "controls/Slider.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/DlgOptionParam.h"
#include "params/DlgParamAdjust.h"
#include "params/ParamPages.h"
#include "params/ParamTransfer.h"
#include "protocol/NormalMessages.h"
#include "res/Resource.h"
#include "support/CliRunner.h"
#include "support/MessageRecorder.h"
#include "support/PostRecorder.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Writes = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

class EditorPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ThePortHost().SetPortDevice(sim.SlavePath());
        ASSERT_EQ(ThePortHost().OpenPort(), 1);
        TheMacLayer().SetPort(&ThePortHost());
        option.AttachPages(&adjust);
        window.resize(1000, 700);
        window.show();
    }
    void TearDown() override
    {
        transfer.Shutdown();
        TheMacLayer().SetPort(nullptr);
        ThePortHost().ClosePort();
        ThePortHost().SetPortDevice("");
    }
    CDlgParamPage* Page(int n) { return static_cast<CDlgParamPage*>(adjust.Page(n)); }
    CSlider* Slider(int page, int id) { return Page(page)->Builder().Control<CSlider>(id); }
    QAbstractButton* Button(int page, int id) { return Page(page)->Builder().Control<QAbstractButton>(id); }
    QString Text(int page, int id) { return Page(page)->Builder().Text(id); }
    // A user's move of a slider to step, reported as the slider reports a key press or the end
    // of a drag.
    void Move(int page, int id, int step)
    {
        Slider(page, id)->SetStep(step);
        emit Slider(page, id)->Changed();
    }
    // The writes the amplifier received since the last call.
    Writes TakeWrites()
    {
        Writes out;
        for (const auto& p : sim.Received())
            if (p[0] == normal::CMD_WRITE_PARAMS)
                out.emplace_back(normal::GetU16(&p[1]), normal::GetU16(&p[3]));
        sim.ClearReceived();
        return out;
    }

    CAmpSimulator sim;
    MessageRecorder messages;
    CDSPParamTable table;
    CParamTransfer transfer{TheNormalProtocol(), table};
    QWidget window;
    CDlgOptionParam option{&window, [] { return true; }, transfer};
    CDlgParamAdjust adjust{&window, [this] { return option.MixerMode(); }, transfer};
};

} // namespace

TEST_F(EditorPages, StartWithTheDefaultsLaidOutInsideTheFrameAndNamed)
{
    // The defaults, as the pages start.
    for (int box : {1110, 1111, 1112, 1113, 1115, 1116, 1118, 1119})
        EXPECT_EQ(Text(0, box), " 0.00");
    EXPECT_EQ((std::vector<QString>{Text(0, 1123), Text(0, 1124), Text(0, 1127)}), (std::vector<QString>{"+10", "2", "300"}));
    EXPECT_EQ((std::vector<QString>{Text(0, 1147), Text(0, 1148), Text(0, 1151)}), (std::vector<QString>{"-10", "5", "200"}));
    for (int check : {1028, 1035, 1042, 1061})
        EXPECT_FALSE(Button(0, check)->isChecked());
    EXPECT_TRUE(Button(0, 1068)->isChecked());
    EXPECT_EQ(Text(1, 1074), "0");
    EXPECT_TRUE(Button(1, 1025)->isChecked() && Button(1, 1029)->isChecked() && Button(1, 1033)->isChecked());
    EXPECT_TRUE(TakeWrites().empty()) << "starting sends nothing";

    // Every control lies inside the frame; each slider is 18 units wide and 46 to 59 high, with
    // its read-only value box under it. Each control a user works has a name, and a slider's
    // value, as assistive technology reads it, is the label its box shows.
    const QRect frame(QPoint(0, 0), adjust.Control(IDC_PA_FRAME)->size());
    int sliders = 0;
    for (int n : {0, 1}) {
        const CDialogBuilder& b = Page(n)->Builder();
        for (QWidget* w : Page(n)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(frame.contains(w->geometry())) << "page " << n << ": " << qPrintable(w->accessibleName());
        for (int slot = 0; slot < table.GetCount(n); ++slot) {
            const DSPParam* r = table.GetRecord(n, slot);
            if (r->kind != KIND_SLIDER) {
                EXPECT_FALSE(r->button->accessibleName().isEmpty());
                continue;
            }
            ++sliders;
            const QRect s = r->slider->geometry(), box = r->valueText->geometry();
            EXPECT_EQ(s.width(), b.ToPixels(0, 0, 18, 0).width());
            EXPECT_GE(s.height(), b.ToPixels(0, 0, 0, 46).height());
            EXPECT_LE(s.height(), b.ToPixels(0, 0, 0, 59).height());
            EXPECT_GE(box.top(), s.bottom());
            EXPECT_TRUE(box.left() <= s.center().x() && s.center().x() <= box.right());
            EXPECT_TRUE(r->valueText->isReadOnly());
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(r->slider);
            EXPECT_EQ(a->role(), QAccessible::Slider);
            EXPECT_EQ(r->valueText->accessibleName(), a->text(QAccessible::Name) + " value");
            ASSERT_NE(a->valueInterface(), nullptr);
            EXPECT_EQ(a->valueInterface()->currentValue().toString(), r->valueText->text());
        }
    }
    EXPECT_EQ(sliders, 26);
    EXPECT_EQ(Slider(0, 1109)->accessibleName(), "Input 1 Bass");

    // The captions follow the mixer mode; the Page Input's Enable stays disabled in every mode.
    option.SetMixerMode(MIXER_MODE_STEREO);
    EXPECT_EQ((std::vector<QString>{Text(0, 1075), Text(0, 1074), Text(0, 1077), Text(0, 1078), Text(0, 1079)}),
              (std::vector<QString>{"Inputs 1/2", "", "Inputs 1/2", "", "Inputs 3/4"}));
    EXPECT_EQ((std::vector<QString>{Text(1, 1123), Text(1, 1066), Text(1, 1146), Text(1, 1147), Text(1, 1150), Text(1, 1152)}),
              (std::vector<QString>{"Outputs 1/2 Input Mix", "", "Input1/2", "", "Input1+2", "Input3+4"}));
    EXPECT_FALSE(Slider(0, 1114)->isEnabled()) << "Input 2 Bass follows Input 1 in Stereo";
    for (int mode : {MIXER_MODE_DUAL_MONO, MIXER_MODE_MIXER}) {
        option.SetMixerMode(mode);
        EXPECT_EQ((std::vector<QString>{Text(0, 1075), Text(0, 1104), Text(0, 1077), Text(0, 1080)}),
                  (std::vector<QString>{"Input 1", "Input 4", "Input1", "Input4"}));
        EXPECT_EQ((std::vector<QString>{Text(1, 1123), Text(1, 1066), Text(1, 1149), Text(1, 1153)}),
                  (std::vector<QString>{"Output 1 Input Mix", "Output 2 Input Mix", "Input4", "Input4"}));
        EXPECT_FALSE(Button(0, 1068)->isEnabled());
    }
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(EditorPages, EachChangeAndItsFollowUpsReachTheAmplifierInEveryMode)
{
    // Input, Mixer mode: one write; the keyboard is a user's change like any other.
    QTest::keyClick(Slider(0, 1109), Qt::Key_Up);
    EXPECT_EQ(TakeWrites(), (Writes{{0x3000, 13}}));
    EXPECT_EQ(Text(0, 1110), "+0.50");
    Move(0, 1108, 17);
    EXPECT_EQ(TakeWrites(), (Writes{{0x3008, 17}}));

    // Input, Stereo: Input 3 Treble to "+2.50" sets Input 4 Treble too, written after it; an AGC
    // change of Input 1 writes only itself.
    option.SetMixerMode(MIXER_MODE_STEREO);
    Move(0, 1108, 16);
    Move(0, 1108, 17);
    EXPECT_EQ(TakeWrites(), (Writes{{0x3008, 16}, {0x3009, 16}, {0x3008, 17}, {0x3009, 17}}));
    EXPECT_EQ(Text(0, 1119), "+2.50");
    EXPECT_EQ(Slider(0, 1121)->GetStep(), 17);
    Move(0, 1125, 25);
    EXPECT_EQ(TakeWrites(), (Writes{{0xB005, 25}}));

    // Output, Stereo, pair 1/2 selected: "Input3/4" gives nine writes, the clicked box then
    // slots 0-7; unchecking "Input1+2" moves the AuxOut to Inputs 3 and 4 with five.
    adjust.ShowPage(1);
    Button(1, 1027)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0x4002, 1}, {0x4000, 0}, {0x4001, 0}, {0x4002, 1}, {0x4003, 0},
                                    {0x4004, 0}, {0x4005, 0}, {0x4006, 0}, {0x4007, 1}}));
    EXPECT_FALSE(Button(1, 1025)->isChecked());
    EXPECT_TRUE(Button(1, 1027)->isChecked() && Button(1, 1032)->isChecked());
    Button(1, 1033)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0x4008, 0}, {0x4008, 0}, {0x4009, 0}, {0x400A, 1}, {0x400B, 1}}));

    // Dual Mono: checking Output 1 "Input2" unchecks "Input1", two writes; the AuxOut mix has no
    // rule.
    option.SetMixerMode(MIXER_MODE_DUAL_MONO);
    Button(1, 1026)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0x4001, 1}, {0x4000, 0}}));
    EXPECT_FALSE(Button(1, 1025)->isChecked());
    Button(1, 1031)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0x4006, 1}, {0x4007, 0}}));
    Button(1, 1034)->click();
    EXPECT_EQ(TakeWrites().size(), 1u);

    // Mixer: any combination, one write each.
    option.SetMixerMode(MIXER_MODE_MIXER);
    Button(1, 1028)->click();
    Button(1, 1025)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0x4003, 1}, {0x4000, 1}}));

    // A slider given no range of its record (or a wider one) never yields a step the record
    // lacks.
    Slider(1, 1114)->SetMax(40);
    Move(1, 1114, 40);
    EXPECT_EQ(TakeWrites(), (Writes{{0x7002, 24}}));
    EXPECT_EQ(table.GetRecord(PAGE_OUTPUT, 13)->index, 24);

    // Controls without a parameter: "Button1" shows "Button"; "Check1" and the horizontal
    // slider do nothing.
    adjust.ShowPage(0);
    Button(0, 1009)->click();
    Button(0, 1022)->click();
    Page(0)->Builder().Control<QSlider>(1122)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Button"});

    // Port closed: the rules still run on screen, nothing is sent.
    ThePortHost().ClosePort();
    option.SetMixerMode(MIXER_MODE_STEREO);
    adjust.ShowPage(1);
    Button(1, 1025)->click();  // unchecks "Input1/2": Outputs 1 and 2 from Inputs 3 and 4
    EXPECT_FALSE(Button(1, 1025)->isChecked());
    EXPECT_TRUE(Button(1, 1027)->isChecked() && Button(1, 1032)->isChecked());
    Move(0, 1109, 2);
    EXPECT_EQ(Text(0, 1112), "-5.00");
    QTest::qWait(50);
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(EditorPages, ChangesDuringAWorkerAreNeitherLostNorHalfApplied)
{
    // A read-all is reading a record's group (the amplifier answers slowly) when the user moves
    // that record's slider: the read must not store the amplifier's old value over the change.
    // When the worker is done, the record, its slider and the amplifier hold the user's value.
    sim.SetReplyDelayMs(60);
    auto posts = PostRecorder::Create();
    auto reads = [&] {
        int n = 0;
        for (const auto& p : sim.Received())
            n += p[0] == normal::CMD_READ_PARAMS;
        return n;
    };
    const int groupSliders[] = {1109, 1107, 1120};  // slots 0, 3 and 6: one in each of the first groups
    ASSERT_EQ(transfer.StartReadAllParams(posts), 1);
    for (int g = 0; g < 3; ++g) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return reads() > g; }, 5000));
        Move(0, groupSliders[g], 20 - g);  // while the amplifier is answering that group's read
    }
    transfer.Join();
    Page(0)->UpdateAllParams();  // as the panel does at 100
    for (int g = 0; g < 3; ++g) {
        const DSPParam* r = table.GetRecord(PAGE_INPUT, 3 * g);
        EXPECT_EQ(r->index, 20 - g) << "slot " << 3 * g;
        EXPECT_EQ(r->slider->GetStep(), 20 - g);
        EXPECT_EQ(sim.GetParam(static_cast<std::uint16_t>(r->address)), 20 - g);
    }

    // The same for changes that fall anywhere in a write-all.
    sim.SetReplyDelayMs(15);
    ASSERT_EQ(transfer.StartWriteAllParams(posts), 1);
    const int sliders[] = {1109, 1106, 1114, 1107, 1117, 1108, 1120, 1121};
    for (int round = 0; round < 3; ++round)
        for (int k = 0; k < 8; ++k) {
            Move(0, sliders[k], 10 - round - k);
            QTest::qWait(3);
        }
    transfer.Join();
    Page(0)->UpdateAllParams();
    for (int slot = 0; slot < 8; ++slot) {
        const DSPParam* r = table.GetRecord(PAGE_INPUT, slot);
        EXPECT_EQ(r->index, 8 - slot) << "write-all, slot " << slot;
        EXPECT_EQ(r->slider->GetStep(), 8 - slot);
        EXPECT_EQ(sim.GetParam(static_cast<std::uint16_t>(r->address)), 8 - slot);
    }
}

TEST(EditorWindow, OpenPortReadsTheAmplifierIntoTheEditorWindow)
{
    CAmpSimulator sim;
    ASSERT_TRUE(sim.Start());
    for (const auto& [address, value] : {std::pair{0x3000, 20}, {0x3009, 3}, {0xB003, 1}, {0xB013, 40}, {0x4005, 1}, {0x8002, 30}})
        ASSERT_TRUE(sim.SetParam(address, value));
    ThePortHost().SetPortDevice(sim.SlavePath());
    CUpdaterApp app(EditorPlacement::Window);
    CUpdaterDlg& main = app.MainWindow();
    main.show();
    main.ShowEditor();
    QWidget* editor = main.EditorWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    EXPECT_EQ(editor->windowTitle(), "KMR 6650 Parameter Editor");
    CDlgOptionParam* option = main.OptionPanel();
    CDlgParamAdjust* adjust = main.AdjustPanel();
    EXPECT_EQ(option->parentWidget(), editor);
    EXPECT_LT(option->x(), adjust->x());
    EXPECT_TRUE(option->Control(IDC_OP_COMMAND)->isVisible() && option->Control(IDC_OP_RESULT)->isVisible());
    EXPECT_FALSE(option->Control(IDC_OP_INIT)->isVisible());

    // Open Port: "OK", then the progress window climbs to 100 and closes, and the pages show
    // the amplifier's values.
    QTest::mouseClick(main.CommPanel()->Control(IDC_COMM_OPEN_PORT), Qt::LeftButton);
    EXPECT_EQ(main.CommPanel()->Text(IDC_COMM_OPEN_PORT), "OK");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !TheParamTransfer().IsRunning() && option->Progress() == nullptr; }, 20000));
    const CDialogBuilder& input = adjust->Page(0)->Builder();
    const CDialogBuilder& output = adjust->Page(1)->Builder();
    EXPECT_EQ(input.Text(1110), "+4.00");
    EXPECT_EQ(input.Text(1119), "-4.50");
    EXPECT_TRUE(input.Control<QAbstractButton>(1061)->isChecked());
    EXPECT_EQ(input.Text(1151), "4100");
    EXPECT_TRUE(output.Control<QAbstractButton>(1030)->isChecked());
    EXPECT_EQ(output.Text(1074), "-32");

    // Closing the editor hides it; the main window goes on and shows it again.
    editor->close();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(main.isVisible());
    main.ShowEditor();
    EXPECT_TRUE(editor->isVisible());
    app.Shutdown();
    ThePortHost().SetPortDevice("");
}

TEST(EditorWindow, TheProgramSaysHowToStartAndRefusesAnythingElse)
{
    const CliRun help = RunProgram(KMR_TOOL_PATH, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("kmr6650-tool --editor"), std::string::npos) << help.out;
    const CliRun wrong = RunProgram(KMR_TOOL_PATH, "--edtor");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(SplitLines(wrong.err).size(), 1u) << wrong.err;
    EXPECT_NE(wrong.err.find("--edtor"), std::string::npos);
}
