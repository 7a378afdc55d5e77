// The Input and Output pages on the page framework, with the Parameter Option panel over them,
// against the simulated amplifier: what the pages show, what reaches the amplifier after a
// change in each mixer mode, how a change meets a worker, and the editor window of
// kmr6650-tool --editor end to end, its parameter files checked against the command line's.
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
#include "params/ParamText.h"
#include "params/ParamTransfer.h"
#include "params/ValueConvert.h"
#include "platform/FileChooser.h"
#include "protocol/NormalMessages.h"
#include "qtplatform/QtFileChooser.h"
#include "res/Resource.h"
#include "support/CliRunner.h"
#include "support/MessageRecorder.h"
#include "support/PostRecorder.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using Writes = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

// The parameter writes (address, device value) sim received since the last call.
Writes TakeWritesFrom(CAmpSimulator& sim)
{
    Writes out;
    for (const auto& p : sim.Received())
        if (p[0] == normal::CMD_WRITE_PARAMS)
            out.emplace_back(normal::GetU16(&p[1]), normal::GetU16(&p[3]));
    sim.ClearReceived();
    return out;
}

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
    Writes TakeWrites() { return TakeWritesFrom(sim); }

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
    for (int n = 0; n < 8; ++n) {
        const CDialogBuilder& b = Page(n)->Builder();
        for (QWidget* w : Page(n)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(frame.contains(w->geometry())) << "page " << n << ": " << qPrintable(w->accessibleName());
            if (qobject_cast<QAbstractSlider*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w))
                EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
                    << "page " << n << ", a " << w->metaObject()->className() << " without a name";
        }
        const int array = Page(n)->Description().page;
        for (int slot = 0; slot < table.GetCount(array); ++slot) {
            const DSPParam* r = table.GetRecord(array, slot);
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
    EXPECT_EQ(sliders, 77);
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

TEST_F(EditorPages, LinkedRecordsFollowTheirSourceInStereoOnly)
{
    // Each Stereo link of the EQ, Page In, Direct In and Limiter pages: in Stereo mode the
    // source's write and then its partner's with the same value, the partner's control following;
    // in Mixer and Dual Mono modes the source's write alone. Unlinked records write alone in
    // every mode, the sixteen Signal threshold sliders among them.
    const struct Link {
        int page, control, partnerControl;  // partnerControl 0: no partner
        std::uint16_t address, partnerAddress;
    } links[] = {
        {2, 1105, 1109, 0x6000, 0x6001}, {2, 1106, 1108, 0x8003, 0x8004}, {2, 1113, 0, 0x6002, 0},
        {3, 1127, 1131, 0x500F, 0x5010}, {3, 1126, 1130, 0x500C, 0x500D}, {3, 1079, 1086, 0x5012, 0x5013},
        {3, 1139, 1141, 0x5009, 0x500A}, {3, 1142, 0, 0x5008, 0},         {3, 1136, 0, 0x3004, 0},
        {4, 1102, 1107, 0x6003, 0x6004}, {4, 1105, 0, 0x3005, 0},         {5, 1113, 1116, 0xA003, 0xA004},
        {5, 1114, 1117, 0xA006, 0xA007}, {5, 1050, 1075, 0xA009, 0xA00A}, {5, 1118, 0, 0xA002, 0},
        {5, 1087, 0, 0xA00B, 0},
    };
    for (int mode : {MIXER_MODE_MIXER, MIXER_MODE_STEREO, MIXER_MODE_DUAL_MONO}) {
        option.SetMixerMode(mode);
        for (const Link& l : links) {
            adjust.ShowPage(l.page);
            std::uint16_t value = 0;
            bool partnerFollows = true;
            if (CSlider* slider = Slider(l.page, l.control)) {
                Move(l.page, l.control, 3 + mode);
                value = static_cast<std::uint16_t>(3 + mode);
                if (l.address == 0xA006)
                    value = static_cast<std::uint16_t>(40 - value);  // the set point goes out as 40 - step
                if (l.partnerControl != 0)
                    partnerFollows = Slider(l.page, l.partnerControl)->GetStep() == slider->GetStep();
            } else {
                Button(l.page, l.control)->click();
                value = Button(l.page, l.control)->isChecked() ? 1 : 0;
                if (l.partnerControl != 0)
                    partnerFollows = Button(l.page, l.partnerControl)->isChecked() == (value != 0);
            }
            Writes want{{l.address, value}};
            if (mode == MIXER_MODE_STEREO && l.partnerControl != 0) {
                want.emplace_back(l.partnerAddress, value);
                EXPECT_TRUE(partnerFollows) << "control " << l.control;
            }
            EXPECT_EQ(TakeWrites(), want) << "mode " << mode << ", control " << l.control;
        }
        for (int n = 0; n < 16; ++n)
            Move(7, 1118 + n, 1 + mode);
        EXPECT_EQ(TakeWrites().size(), 16u) << "mode " << mode;
    }
}

TEST_F(EditorPages, ConversionsTheTriggerRadiosThePresetCountAndTheWallplateBox)
{
    // Direct In volume: "-40" goes out as 20, "10" as 70. Limiter set point: "-40" as 40, "  0"
    // as 0. Signal threshold: the labels at the ends.
    Move(4, 1101, 0);
    Move(4, 1101, 50);
    Move(5, 1114, 0);
    Move(5, 1114, 40);
    Move(7, 1125, 9);
    Move(7, 1131, 0);
    EXPECT_EQ(TakeWrites(), (Writes{{0x1005, 20}, {0x1005, 70}, {0xA006, 40}, {0xA006, 0}, {0x9003, 9}, {0x2005, 0}}));
    EXPECT_EQ((std::vector<QString>{Text(4, 1108), Text(5, 1043), Text(7, 1081), Text(7, 1049)}),
              (std::vector<QString>{"10", "  0", "-36", "-5.0"}));

    // The trigger radios: "Auto" writes 0, "PTT" 1, and the radio already set writes again; the
    // radios stay enabled in every mode.
    adjust.ShowPage(3);
    EXPECT_TRUE(Button(3, 1090)->isChecked());
    Button(3, 1091)->click();
    EXPECT_TRUE(Button(3, 1091)->isChecked() && !Button(3, 1090)->isChecked());
    Button(3, 1090)->click();
    Button(3, 1090)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0x5016, 0}, {0x5016, 1}, {0x5016, 1}}));
    for (int mode : {MIXER_MODE_STEREO, MIXER_MODE_DUAL_MONO, MIXER_MODE_MIXER}) {
        option.SetMixerMode(mode);
        EXPECT_TRUE(Button(3, 1090)->isEnabled() && Button(3, 1091)->isEnabled());
    }

    // The preset count narrows the three preset sliders: step 0, at most count steps, the value
    // boxes unchanged until a slider moves; keys go no further than " 1" .. "10".
    Move(2, 1105, 20);
    TakeWrites();
    adjust.Page(2)->SetEqPresetCount(10);
    for (int id : {1105, 1109, 1113}) {
        EXPECT_EQ(Slider(2, id)->GetStep(), 0);
        EXPECT_EQ(Slider(2, id)->GetMax(), 9);
    }
    EXPECT_EQ(Text(2, 1103), "21");
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(Slider(2, 1105), Qt::Key_Up);
    EXPECT_EQ(Text(2, 1103), "10");
    EXPECT_EQ(TakeWrites().back(), (std::pair<std::uint16_t, std::uint16_t>{0x6000, 9}));
    // No presets at all: the sliders hold one position, disabled, and write nothing; a reset
    // and a mode give them back.
    adjust.Page(2)->SetEqPresetCount(0);
    for (int id : {1105, 1109, 1113}) {
        EXPECT_EQ(Slider(2, id)->GetMax(), 0);
        EXPECT_FALSE(Slider(2, id)->isEnabled());
    }
    QTest::keyClick(Slider(2, 1105), Qt::Key_Up);
    EXPECT_TRUE(TakeWrites().empty());
    adjust.Page(0)->ResetAllParams();
    option.SetMixerMode(MIXER_MODE_MIXER);
    EXPECT_EQ(Slider(2, 1105)->GetMax(), 61);
    EXPECT_TRUE(Slider(2, 1105)->isEnabled());

    // "Wallplate Linked": Mixer mode only; elsewhere disabled with its last state.
    adjust.ShowPage(6);
    Button(6, 1022)->click();
    EXPECT_EQ(TakeWrites(), (Writes{{0xF002, 1}}));
    option.SetMixerMode(MIXER_MODE_STEREO);
    EXPECT_FALSE(Button(6, 1022)->isEnabled());
    EXPECT_TRUE(Button(6, 1022)->isChecked());

    // The mode captions of these pages, Stereo and back.
    EXPECT_EQ((std::vector<QString>{Text(2, 1123), Text(2, 1066), Text(3, 1144), Text(3, 1145), Text(4, 1124), Text(5, 1125)}),
              (std::vector<QString>{"Outputs 1/2", "", "Outputs 1/2", "", "Output 1/2", ""}));
    option.SetMixerMode(MIXER_MODE_DUAL_MONO);
    EXPECT_EQ((std::vector<QString>{Text(2, 1066), Text(3, 1124), Text(4, 1124), Text(4, 1125), Text(5, 1124)}),
              (std::vector<QString>{"Output 2", "Output 1", "Output 1", "Output 2", "Output 1"}));
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

TEST_F(EditorPages, AssistiveTechnologyChangesWhatTheMouseCanAndNothingElse)
{
    auto actions = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->actionInterface(); };
    auto value = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->valueInterface(); };
    const QString toggle = QAccessibleActionInterface::toggleAction();
    const QString press = QAccessibleActionInterface::pressAction();

    // Stereo mode: Input 2 Bass follows Input 1 and is disabled. A value set on it, or on a
    // slider of a page not shown, changes nothing on screen and sends nothing.
    option.SetMixerMode(MIXER_MODE_STEREO);
    const int bass2 = Slider(0, 1114)->GetStep();
    const int limiterAttack = Slider(5, 1113)->GetStep();
    value(Slider(0, 1114))->setCurrentValue(23);
    value(Slider(5, 1113))->setCurrentValue(3);
    EXPECT_EQ(Slider(0, 1114)->GetStep(), bass2);
    EXPECT_EQ(Slider(5, 1113)->GetStep(), limiterAttack);
    EXPECT_TRUE(TakeWrites().empty());
    // Set on Input 1 Bass, shown and enabled, it is a user's change with its Stereo follow-up.
    value(Slider(0, 1109))->setCurrentValue(23);
    EXPECT_EQ(TakeWrites(), (Writes{{0x3000, 23}, {0x3001, 23}}));
    EXPECT_EQ(Slider(0, 1114)->GetStep(), 23);

    // Boxes and radios that are disabled (Input 2 AGC Enable in Stereo, the Page Input's Enable)
    // or on a page not shown (Limiter Enable, the trigger's "Auto") offer no toggle and refuse
    // one. Input 1 AGC Enable's toggle is a click: the box changes and is written, so the window
    // and the amplifier agree. Had a refused toggle been taken, its write would have come first.
    for (QAbstractButton* refused : {Button(0, 1035), Button(0, 1068), Button(5, 1050), Button(3, 1091)}) {
        const bool checked = refused->isChecked();
        EXPECT_FALSE(actions(refused)->actionNames().contains(toggle)) << qPrintable(refused->accessibleName());
        actions(refused)->doAction(toggle);
        actions(refused)->doAction(press);
        EXPECT_EQ(refused->isChecked(), checked) << qPrintable(refused->accessibleName());
    }
    QAbstractButton* agc = Button(0, 1028);
    ASSERT_TRUE(actions(agc)->actionNames().contains(toggle));
    actions(agc)->doAction(toggle);
    ASSERT_TRUE(QTest::qWaitFor([&] { return agc->isChecked(); }, 5000));
    EXPECT_EQ(TakeWrites(), (Writes{{0xB000, 1}}));
    EXPECT_EQ(table.GetRecord(PAGE_INPUT, 8)->index, 1);
    EXPECT_EQ(sim.GetParam(0xB000), 1);

    // Shown, the trigger's "Auto" is pressed as by the mouse; so is a plain button.
    adjust.ShowPage(3);
    actions(Button(3, 1091))->doAction(toggle);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Button(3, 1091)->isChecked(); }, 5000));
    EXPECT_EQ(TakeWrites(), (Writes{{0x5016, 0}}));
    adjust.ShowPage(0);
    actions(Button(0, 1009))->doAction(press);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.Texts().empty(); }, 5000));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Button"});

    // The work-mode list does not open while its panel is hidden, nor while it is disabled.
    auto* modes = option.Builder().Control<QComboBox>(IDC_OP_MODE);
    option.hide();
    actions(modes)->doAction(press);
    EXPECT_FALSE(modes->view()->isVisible());
    option.show();
    modes->setEnabled(false);
    actions(modes)->doAction(press);
    EXPECT_FALSE(modes->view()->isVisible());
    EXPECT_TRUE(TakeWrites().empty());
}

namespace {

// A step other than the record's default, within its steps (and within the simulator's twelve
// EQ presets).
int OtherIndex(const DSPParam& r)
{
    return (r.defaultIndex + 1 + r.slot % 3) % std::min(r.steps, 12);
}

// The device value of record r at index.
std::uint16_t DeviceValueAt(const DSPParam& r, int index)
{
    DSPParam copy = r;
    copy.index = index;
    return static_cast<std::uint16_t>(ToDeviceValue(copy));
}

// Every control of every page shows the index that want holds for its record.
void ExpectPagesShow(CDlgParamAdjust& adjust, CDSPParamTable& want, CDSPParamTable& shown)
{
    (void)adjust;
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < want.GetCount(page); ++slot) {
            const DSPParam& w = *want.GetRecord(page, slot);
            const DSPParam& r = *shown.GetRecord(page, slot);
            if (r.kind == KIND_SLIDER) {
                EXPECT_EQ(r.slider->GetStep(), w.index) << r.name;
                EXPECT_EQ(r.valueText->text(), QString(w.labels[w.index])) << r.name;
            } else {
                EXPECT_EQ(r.button->isChecked(), w.index != 0) << r.name;
                if (r.kind == KIND_RADIO_PAIR)
                    EXPECT_EQ(r.button2->isChecked(), w.index == 0) << r.name;
            }
        }
}

// Stores every record of table in sim, and mode.
void SetAmplifier(CAmpSimulator& sim, CDSPParamTable& table, int mode)
{
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < table.GetCount(page); ++slot) {
            const DSPParam& r = *table.GetRecord(page, slot);
            ASSERT_TRUE(sim.SetParam(static_cast<std::uint16_t>(r.address), static_cast<std::uint16_t>(r.deviceValue)));
        }
    ASSERT_TRUE(sim.SetParam(0xF001, static_cast<std::uint16_t>(mode + 1)));
}

// The desktop program with the editor window, its port on sim.
class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ThePortHost().SetPortDevice(sim.SlavePath());
        main.show();
        main.ShowEditor();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.EditorWindow()));
    }
    void TearDown() override
    {
        app.Shutdown();
        ThePortHost().SetPortDevice("");
    }
    // Open Port: "OK", then the progress window climbs to 100 and closes.
    void OpenPort()
    {
        QTest::mouseClick(main.CommPanel()->Control(IDC_COMM_OPEN_PORT), Qt::LeftButton);
        EXPECT_EQ(main.CommPanel()->Text(IDC_COMM_OPEN_PORT), "OK");
        ASSERT_TRUE(WorkerDone());
    }
    bool WorkerDone()
    {
        return QTest::qWaitFor([&] { return !TheParamTransfer().IsRunning() && main.OptionPanel()->Progress() == nullptr; }, 20000);
    }
    // Gives every record of table another step than its default.
    static void OtherValues(CDSPParamTable& table)
    {
        for (int page = 0; page < PAGE_COUNT; ++page)
            for (int slot = 0; slot < table.GetCount(page); ++slot) {
                DSPParam& r = *table.GetRecord(page, slot);
                r.index = OtherIndex(r);
                r.deviceValue = DeviceValueAt(r, r.index);
            }
    }
    DSPParam* Program(int page, int slot) { return TheParamTable().GetRecord(page, slot); }
    // The program's record's control changed by a user to index.
    void Change(int page, int slot, int index)
    {
        DSPParam* r = Program(page, slot);
        main.AdjustPanel()->ShowPage(page == PAGE_MISC ? 6 : page == PAGE_SIGNAL_THR ? 7 : page);
        if (r->kind == KIND_SLIDER) {
            r->slider->SetStep(index);
            emit r->slider->Changed();
        } else if (r->kind == KIND_RADIO_PAIR) {
            (index != 0 ? r->button : r->button2)->click();
        } else if (r->button->isChecked() != (index != 0)) {
            r->button->click();
        }
    }
    Writes TakeWrites() { return TakeWritesFrom(sim); }

    CAmpSimulator sim;
    CUpdaterApp app{EditorPlacement::Window};
    CUpdaterDlg& main = app.MainWindow();
};

} // namespace

TEST_F(EditorWindow, ReadsEveryPageFromTheAmplifierWritesEachChangeAndResetsAll)
{
    QWidget* editor = main.EditorWindow();
    EXPECT_EQ(editor->windowTitle(), "KMR 6650 Parameter Editor");
    CDlgOptionParam* option = main.OptionPanel();
    EXPECT_EQ(option->parentWidget(), editor);
    EXPECT_LT(option->x(), main.AdjustPanel()->x());
    EXPECT_TRUE(option->Control(IDC_OP_COMMAND)->isVisible() && option->Control(IDC_OP_RESULT)->isVisible());
    EXPECT_FALSE(option->Control(IDC_OP_INIT)->isVisible());

    // The amplifier holds another value than the default in every record of all eight pages;
    // Open Port reads them into every control.
    CDSPParamTable amp;
    OtherValues(amp);
    SetAmplifier(sim, amp, MIXER_MODE_MIXER);
    OpenPort();
    ExpectPagesShow(*main.AdjustPanel(), amp, TheParamTable());

    // One change on each page in Mixer mode: exactly its one write, with its device value
    // (Direct In volume + 20, Limiter set point 40 - step).
    sim.ClearReceived();
    const struct {
        int page, slot, index;
        std::uint16_t address, value;
    } changes[] = {
        {PAGE_INPUT, 13, 30, 0xB005, 30},     {PAGE_OUTPUT, 7, 1, 0x4007, 1},       {PAGE_EQ, 4, 11, 0x6002, 11},
        {PAGE_PAGE_IN, 23, 0, 0x5016, 0},     {PAGE_DIRECT_IN, 0, 0, 0x1005, 20},   {PAGE_LIMITER, 2, 0, 0xA006, 40},
        {PAGE_MISC, 0, 0, 0xF002, 0},         {PAGE_SIGNAL_THR, 7, 0, 0x9003, 0},
    };
    for (const auto& c : changes) {
        Change(c.page, c.slot, c.index);
        EXPECT_EQ(TakeWrites(), (Writes{{c.address, c.value}})) << Program(c.page, c.slot)->name;
    }

    // Reset Mixer Param: every page and the amplifier back to the defaults.
    QTest::mouseClick(option->Control(IDC_OP_RESET), Qt::LeftButton);
    ASSERT_TRUE(WorkerDone());
    CDSPParamTable defaults;
    ExpectPagesShow(*main.AdjustPanel(), defaults, TheParamTable());
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < defaults.GetCount(page); ++slot) {
            const DSPParam& r = *defaults.GetRecord(page, slot);
            EXPECT_EQ(sim.GetParam(static_cast<std::uint16_t>(r.address)), DeviceValueAt(r, r.defaultIndex)) << r.name;
        }

    // Closing the editor hides it; the main window goes on and shows it again.
    editor->close();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(main.isVisible());
    main.ShowEditor();
    EXPECT_TRUE(editor->isVisible());
}

TEST_F(EditorWindow, TheCommandLinesParameterFilesAndTheEditorAgree)
{
    // A file loaded by the command line is what the editor shows after Open Port.
    CDSPParamTable file;
    OtherValues(file);
    const std::string loaded = testing::TempDir() + "editor-load.params";
    const std::string saved = testing::TempDir() + "editor-save.params";
    {
        std::ofstream out(loaded);
        out << FormatParamFile(MIXER_MODE_MIXER, file);
    }
    const std::string port = "--port " + sim.SlavePath() + " ";
    ASSERT_EQ(RunProgram(KMR_CLI_PATH, port + "params load " + loaded).status, 0);
    OpenPort();
    ExpectPagesShow(*main.AdjustPanel(), file, TheParamTable());

    // The editor's changes, after the program has let the port go, are what the command line
    // saves: the same file with just those records changed.
    const std::pair<int, int> edits[] = {{PAGE_INPUT, 0}, {PAGE_OUTPUT, 9}, {PAGE_LIMITER, 2}, {PAGE_PAGE_IN, 23}};
    for (const auto& [page, slot] : edits) {
        DSPParam& r = *file.GetRecord(page, slot);
        r.index = r.index == 0 ? 1 : 0;
        r.deviceValue = DeviceValueAt(r, r.index);
        Change(page, slot, r.index);
    }
    app.Shutdown();
    ASSERT_EQ(RunProgram(KMR_CLI_PATH, port + "params save " + saved).status, 0);
    EXPECT_EQ(ReadTextFile(saved), FormatParamFile(MIXER_MODE_MIXER, file));
    std::remove(loaded.c_str());
    std::remove(saved.c_str());
}

TEST_F(EditorWindow, ReturnInTheRegisterConsoleRunsTheCommandAsEnterDoes)
{
    OpenPort();
    CDlgOptionParam* option = main.OptionPanel();
    auto* command = qobject_cast<QLineEdit*>(option->Control(IDC_OP_COMMAND));
    ASSERT_TRUE(command->isVisible());
    command->clear();
    QTest::keyClicks(command, "w16>0x3002,0x0011");
    QTest::keyClick(command, Qt::Key_Return);
    EXPECT_EQ(option->Builder().Text(IDC_OP_RESULT), "Write OK");
    EXPECT_EQ(sim.GetParam(0x3002), 0x0011);
    // The keypad's Enter does the same.
    sim.ClearReceived();
    command->clear();
    QTest::keyClicks(command, "w16>0x3002,0x0012");
    QTest::keyClick(command, Qt::Key_Enter);
    EXPECT_EQ(TakeWrites(), (Writes{{0x3002, 0x0012}}));
    EXPECT_TRUE(main.isVisible()) << "the main window's default button is not pressed";
}

namespace {

// Stands in for the user at the file chooser: answers each call with answer and keeps what the
// program asked with.
class ChooserStandIn {
public:
    struct Call {
        std::string filter, extension, initialName;
        bool mustExist;
    };
    ChooserStandIn()
    {
        m_previous = kmr::SetFileChooser([this](const std::string& filter, const std::string& extension,
                                                const std::string& initialName, bool mustExist) {
            calls.push_back({filter, extension, initialName, mustExist});
            return answer;
        });
    }
    ~ChooserStandIn() { kmr::SetFileChooser(m_previous); }
    ChooserStandIn(const ChooserStandIn&) = delete;
    ChooserStandIn& operator=(const ChooserStandIn&) = delete;

    std::string answer;
    std::vector<Call> calls;

private:
    kmr::FileChooser m_previous;
};

// Both amplifiers hold the same mode and the same value in every record.
void ExpectSameAmplifier(const CAmpSimulator& a, const CAmpSimulator& b)
{
    EXPECT_EQ(a.GetParam(0xF001), b.GetParam(0xF001)) << "the mixer mode";
    CDSPParamTable table;
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < table.GetCount(page); ++slot) {
            const auto address = static_cast<std::uint16_t>(table.GetRecord(page, slot)->address);
            EXPECT_EQ(a.GetParam(address), b.GetParam(address)) << table.GetRecord(page, slot)->name;
        }
}

void WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// The editor window with the chooser and the messages answered by the test.
class EditorFiles : public EditorWindow {
protected:
    QWidget* Editor() { return main.EditorWindow(); }
    // The user presses Ctrl+key in the editor window.
    void PressCtrl(Qt::Key key)
    {
        Editor()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Editor()));
        QTest::keyClick(Editor(), key, Qt::ControlModifier);
    }
    void Save() { PressCtrl(Qt::Key_S); }
    void Load() { PressCtrl(Qt::Key_O); }
    std::string In(const std::string& name) { return QDir(folder.path()).filePath(QString::fromStdString(name)).toStdString(); }
    std::string ModeBox() { return main.OptionPanel()->Builder().Control<QComboBox>(IDC_OP_MODE)->currentText().toStdString(); }
    std::string InputCaption() { return main.AdjustPanel()->Page(0)->Builder().Text(1075).toStdString(); }

    MessageRecorder messages;
    ChooserStandIn chooser;
    QTemporaryDir folder;
};

} // namespace

TEST_F(EditorFiles, SaveAndLoadAreInTheEditorsContextMenuAndAskNothingWhenTheyCannotRun)
{
    // The right mouse button over a page opens the window's menu with both entries and their keys.
    QStringList entries;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            entries << a->text() + " " + a->shortcut().toString();
        menu->close();
    });
    QWidget* page = main.AdjustPanel()->Page(0);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), page->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(page, &rightClick);
    EXPECT_EQ(entries, (QStringList{"&Save Parameters... Ctrl+S", "&Load Parameters... Ctrl+O"}));

    // The port closed, an update on the line, a worker running: each says why, and neither a
    // file is asked for nor anything sent.
    chooser.answer = In("never.txt");
    Save();
    Load();
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{NOT_CONNECTED_TEXT, NOT_CONNECTED_TEXT}));
    OpenPort();
    messages.Clear();
    sim.ClearReceived();
    ASSERT_TRUE(TheMacLayer().ClaimLine(CProtocolMACLayer::LineUse::Update, "an update"));
    const std::string lineBusy = TheMacLayer().LineBusyText();
    Save();
    Load();
    TheMacLayer().ReleaseLine(CProtocolMACLayer::LineUse::Update);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{lineBusy, lineBusy}));
    messages.Clear();
    sim.SetReplyDelayMs(30);
    main.OptionPanel()->ReadMixerParams();
    {
        // The worker waits before its next group until the test lets go (messages shown while
        // the lock is held come when it is released).
        const std::lock_guard hold(TheParamTransfer().RecordLock());
        ASSERT_TRUE(TheParamTransfer().IsRunning());
        Save();
        Load();
    }
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{TRANSFER_BUSY_TEXT, TRANSFER_BUSY_TEXT}));
    ASSERT_TRUE(WorkerDone());
    EXPECT_TRUE(chooser.calls.empty());
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(chooser.answer)));
}

TEST_F(EditorFiles, SaveReadsEverythingAndWritesAFileTheCommandLineLoadsIntoAnotherAmplifier)
{
    CDSPParamTable amp;
    OtherValues(amp);
    SetAmplifier(sim, amp, MIXER_MODE_STEREO);
    OpenPort();

    // A destination that cannot take the file is refused, named, before anything is read.
    chooser.answer = folder.path().toStdString();
    sim.ClearReceived();
    Save();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: Cannot save the parameters to '" + chooser.answer +
                                                         "': it is a folder."});
    EXPECT_TRUE(sim.Received().empty());

    // The amplifier changed since Open Port: the save reads it all again, with the progress
    // window, and writes what it read over the old file, keeping the file's mode.
    DSPParam& changed = *amp.GetRecord(PAGE_LIMITER, 2);
    changed.index = changed.index == 0 ? 1 : 0;
    changed.deviceValue = DeviceValueAt(changed, changed.index);
    ASSERT_TRUE(sim.SetParam(static_cast<std::uint16_t>(changed.address), static_cast<std::uint16_t>(changed.deviceValue)));
    const std::string path = In("amp 1.txt");
    WriteTextFile(path, "old\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    chooser.answer = path;
    messages.Clear();
    Save();
    EXPECT_NE(main.OptionPanel()->Progress(), nullptr) << "the read's progress window";
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Saved mode 1 (Stereo Select) and 108 parameters to '" + path + "'."});
    EXPECT_EQ(ReadTextFile(path), FormatParamFile(MIXER_MODE_STEREO, amp));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // The chooser offered parameter files and a new name, and then proposed the last file.
    ASSERT_EQ(chooser.calls.size(), 2u);
    EXPECT_EQ(chooser.calls[0].filter, "Parameter files|*.txt|All files|*|");
    EXPECT_EQ(chooser.calls[0].extension, "txt");
    EXPECT_EQ(chooser.calls[0].initialName, "KMR6650_Parameters");
    EXPECT_FALSE(chooser.calls[0].mustExist);
    EXPECT_EQ(chooser.calls[1].initialName, folder.path().toStdString());

    // The command line loads the file into a second amplifier, which then equals the first.
    CAmpSimulator second;
    ASSERT_TRUE(second.Start());
    const CliRun load = RunProgram(KMR_CLI_PATH, "--port " + second.SlavePath() + " params load '" + path + "'");
    ASSERT_EQ(load.status, 0) << load.err;
    ExpectSameAmplifier(second, sim);

    // A mode outside 0..2, or a read that fails, writes nothing and says so.
    const std::string saved = ReadTextFile(path);
    messages.Clear();
    ASSERT_TRUE(sim.SetParam(0xF001, 8));
    Save();
    ASSERT_TRUE(WorkerDone());
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(messages.Texts()[0], MIXER_MODE_ERROR_TEXT);
    EXPECT_EQ(messages.Texts()[1], "Error: The amplifier reports mixer mode 7, outside 0..2 (Mixer, Stereo Select, "
                                   "Dual Mono Select). Nothing was saved to '" + path +
                                       "': a file with this mode could not be loaded.");
    messages.Clear();
    sim.SetSilent(true);
    Save();
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(messages.Texts().back(), "Nothing was saved to '" + path + "'.");
    EXPECT_TRUE(messages.Saw(READ_MODE_ERROR_TEXT));
    EXPECT_EQ(ReadTextFile(path), saved);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"amp 1.txt"}) << "no temporary file left";
}

TEST_F(EditorFiles, LoadWritesAFileTheCommandLineSavedFromAnotherAmplifierAfterTheUsersOk)
{
    // The command line saves a second amplifier, in Stereo mode, every record away from its default.
    CAmpSimulator second;
    ASSERT_TRUE(second.Start());
    CDSPParamTable amp;
    OtherValues(amp);
    SetAmplifier(second, amp, MIXER_MODE_STEREO);
    const std::string path = In("bench.txt");
    const CliRun save = RunProgram(KMR_CLI_PATH, "--port " + second.SlavePath() + " params save " + path);
    ASSERT_EQ(save.status, 0) << save.err;
    OpenPort();

    // Cancel at the question: nothing sent, nothing shown.
    const std::string question = "Load '" + path +
                                 "' into the amplifier?\nThis writes mode 1 (Stereo Select) and all 108 parameters "
                                 "over the amplifier's own.";
    chooser.answer = path;
    messages.SetAnswer(kmr::MSG_CANCEL);
    sim.ClearReceived();
    Load();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{question});
    EXPECT_TRUE(sim.Received().empty());
    CDSPParamTable defaults;
    ExpectPagesShow(*main.AdjustPanel(), defaults, TheParamTable());
    EXPECT_EQ(ModeBox(), "Mixer");

    // OK: the mode and every record go to the amplifier with the progress window; the pages,
    // the work-mode box and the captions show the file.
    messages.Clear();
    messages.SetAnswer(kmr::MSG_OK);
    Load();
    EXPECT_NE(main.OptionPanel()->Progress(), nullptr) << "the write's progress window";
    ASSERT_TRUE(WorkerDone());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{question});
    ExpectSameAmplifier(sim, second);
    ExpectPagesShow(*main.AdjustPanel(), amp, TheParamTable());
    EXPECT_EQ(ModeBox(), "Stereo Select");
    EXPECT_EQ(InputCaption(), "Inputs 1/2");
    // An existing file was asked for, the second time proposing the last one (its folder).
    ASSERT_EQ(chooser.calls.size(), 2u);
    EXPECT_TRUE(chooser.calls[0].mustExist);
    EXPECT_EQ(chooser.calls[0].initialName, "");
    EXPECT_EQ(chooser.calls[1].initialName, path);
    EXPECT_EQ(main.OptionPanel()->LastParamFile(), path);
}

TEST_F(EditorFiles, AFaultyFileNamesItsLineAndNothingIsSentOrShown)
{
    OpenPort();
    CDSPParamTable table;
    std::string text = FormatParamFile(MIXER_MODE_DUAL_MONO, table);
    const std::size_t first = text.find("0x3000 ");
    ASSERT_NE(first, std::string::npos);
    text.replace(first, text.find('\n', first) - first, "0x3000 25");  // line 6: out of range
    chooser.answer = In("range.txt");
    WriteTextFile(chooser.answer, text);
    sim.ClearReceived();
    Load();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: " + chooser.answer +
                                                         ":6: value 25 of 0x3000 (Input 1 tone Bass) is outside its range 0..24"
                                                         "\nThe file was not loaded; nothing was sent to the amplifier."});
    // A file that cannot be read is named with the reason.
    chooser.answer = In("missing.txt");
    messages.Clear();
    Load();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: Cannot load the parameters from '" + chooser.answer +
                                                         "': No such file or directory.\nNothing was sent to the amplifier."});
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_EQ(main.OptionPanel()->Progress(), nullptr);
    ExpectPagesShow(*main.AdjustPanel(), table, TheParamTable());
    EXPECT_EQ(ModeBox(), "Mixer");
}

// The program's own chooser opens over the editor window when that is where the user works,
// though the main window runs modally beside it.
TEST_F(EditorWindow, TheFileDialogOpensOverTheEditorWindow)
{
    main.hide();
    main.setWindowModality(Qt::ApplicationModal);  // as the program runs it
    main.show();
    main.EditorWindow()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.EditorWindow()));
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 5000));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        owner = dialog->parentWidget();
        dialog->reject();
    });
    EXPECT_EQ(QtFileChooser()(CDlgOptionParam::PARAM_FILE_FILTER, "txt", "", true), "");
    EXPECT_EQ(owner, main.EditorWindow());
}

TEST(EditorProgram, SaysHowToStartAndRefusesAnythingElse)
{
    const CliRun help = RunProgram(KMR_TOOL_PATH, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("kmr6650-tool --editor"), std::string::npos) << help.out;
    const CliRun wrong = RunProgram(KMR_TOOL_PATH, "--edtor");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(SplitLines(wrong.err).size(), 1u) << wrong.err;
    EXPECT_NE(wrong.err.find("--edtor"), std::string::npos);
}
