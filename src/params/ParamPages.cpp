#include "params/ParamPages.h"

#include "controls/Slider.h"
#include "params/ParamTransfer.h"
#include "platform/MessageBox.h"
#include "res/Resource.h"

#include <QAbstractButton>
#include <algorithm>
#include <mutex>

namespace {

PageDescription InputPage()
{
    return {IDD_PA_INPUT,
            PAGE_INPUT,
            {
                {0, 1109, 1110, "Input 1 Bass"},
                {1, 1106, 1111, "Input 1 Treble"},
                {2, 1114, 1112, "Input 2 Bass"},
                {3, 1107, 1113, "Input 2 Treble"},
                {4, 1117, 1115, "Input 3 Bass"},
                {5, 1108, 1116, "Input 3 Treble"},
                {6, 1120, 1118, "Input 4 Bass"},
                {7, 1121, 1119, "Input 4 Treble"},
                {8, 1028, 0, "Input 1 AGC Enable"},
                {9, 1035, 0, "Input 2 AGC Enable"},
                {10, 1042, 0, "Input 3 AGC Enable"},
                {11, 1061, 0, "Input 4 AGC Enable"},
                {12, 1068, 0, "Page Input AGC Enable"},
                {13, 1125, 1123, "Input 1 AGC Setpoint"},
                {14, 1126, 1124, "Input 1 AGC Attack"},
                {15, 1128, 1127, "Input 1 AGC Release"},
                {16, 1131, 1129, "Input 2 AGC Setpoint"},
                {17, 1132, 1130, "Input 2 AGC Attack"},
                {18, 1134, 1133, "Input 2 AGC Release"},
                {19, 1137, 1135, "Input 3 AGC Setpoint"},
                {20, 1138, 1136, "Input 3 AGC Attack"},
                {21, 1140, 1139, "Input 3 AGC Release"},
                {22, 1143, 1141, "Input 4 AGC Setpoint"},
                {23, 1144, 1142, "Input 4 AGC Attack"},
                {24, 1146, 1145, "Input 4 AGC Release"},
                {25, 1149, 1147, "Page Input AGC Setpoint"},
                {26, 1150, 1148, "Page Input AGC Attack"},
                {27, 1152, 1151, "Page Input AGC Release"},
            },
            {
                {1075, "Input 1", "Inputs 1/2"},
                {1074, "Input 2", ""},
                {1076, "Input 3", "Inputs 3/4"},
                {1104, "Input 4", ""},
                {1077, "Input1", "Inputs 1/2"},
                {1078, "Input2", ""},
                {1079, "Input3", "Inputs 3/4"},
                {1080, "Input4", ""},
            }};
}

PageDescription OutputPage()
{
    return {IDD_PA_OUTPUT,
            PAGE_OUTPUT,
            {
                {0, 1025, 0, "Output 1 from Input 1"},
                {1, 1026, 0, "Output 1 from Input 2"},
                {2, 1027, 0, "Output 1 from Input 3"},
                {3, 1028, 0, "Output 1 from Input 4"},
                {4, 1029, 0, "Output 2 from Input 1"},
                {5, 1030, 0, "Output 2 from Input 2"},
                {6, 1031, 0, "Output 2 from Input 3"},
                {7, 1032, 0, "Output 2 from Input 4"},
                {8, 1033, 0, "AuxOut from Input 1"},
                {9, 1034, 0, "AuxOut from Input 2"},
                {10, 1035, 0, "AuxOut from Input 3"},
                {11, 1036, 0, "AuxOut from Input 4"},
                {12, 1113, 1074, "AuxOut Output Gain"},
                {13, 1114, 1116, "AuxOut Bass"},
                {14, 1115, 1117, "AuxOut Treble"},
            },
            {
                {1123, "Output 1 Input Mix", "Outputs 1/2 Input Mix"},
                {1066, "Output 2 Input Mix", ""},
                {1146, "Input1", "Input1/2"},
                {1147, "Input2", ""},
                {1148, "Input3", "Input3/4"},
                {1149, "Input4", ""},
                {1150, "Input1", "Input1+2"},
                {1151, "Input2", ""},
                {1152, "Input3", "Input3+4"},
                {1153, "Input4", ""},
            }};
}

PageDescription EqPage()
{
    PageDescription d{IDD_PA_EQ,
                      PAGE_EQ,
                      {
                          {0, 1105, 1103, "Output 1 Speak EQ ID"},
                          {1, 1106, 0, "Output 1 Dynamic EQ Enable"},
                          {2, 1109, 1107, "Output 2 Speak EQ ID"},
                          {3, 1108, 0, "Output 2 Dynamic EQ Enable"},
                          {4, 1113, 1111, "AuxOut Speak EQ ID"},
                          {5, 1112, 0, "AuxOut Dynamic EQ Enable"},
                      },
                      {{1123, "Output 1", "Outputs 1/2"}, {1066, "Output 2", ""}}};
    d.stereoLinks = {{0, 2}, {1, 3}};
    return d;
}

PageDescription PageInPage()
{
    PageDescription d{IDD_PA_PAGE_IN,
                      PAGE_PAGE_IN,
                      {
                          {0, 1127, 1045, "Output 1 Page Threshold"},
                          {1, 1138, 1075, "Output 1 Ducking Level"},
                          {2, 1119, 1029, "Output 1 Attack Time"},
                          {3, 1123, 1033, "Output 1 Release Time"},
                          {4, 1126, 1037, "Output 1 Delay Time"},
                          {5, 1131, 1056, "Output 2 Page Threshold"},
                          {6, 1140, 1081, "Output 2 Ducking Level"},
                          {7, 1128, 1032, "Output 2 Attack Time"},
                          {8, 1129, 1050, "Output 2 Release Time"},
                          {9, 1130, 1052, "Output 2 Delay Time"},
                          {10, 1135, 1068, "AuxOut Page Threshold"},
                          {11, 1142, 1088, "AuxOut Ducking Level"},
                          {12, 1132, 1059, "AuxOut Attack Time"},
                          {13, 1133, 1062, "AuxOut Release Time"},
                          {14, 1134, 1064, "AuxOut Delay Time"},
                          {15, 1079, 0, "Output 1 Page Enable"},
                          {16, 1139, 1077, "Output 1 Page Level Adjust"},
                          {17, 1086, 0, "Output 2 Page Enable"},
                          {18, 1141, 1084, "Output 2 Page Level Adjust"},
                          {19, 1094, 0, "AuxOut Page Enable"},
                          {20, 1143, 1092, "AuxOut Page Level Adjust"},
                          {21, 1136, 1071, "Page In Bass"},
                          {22, 1137, 1073, "Page In Treble"},
                          {23, 1090, 1091, "Trig Mode"},
                      },
                      {
                          {1124, "Output 1", "Outputs 1/2"},
                          {1144, "Output 1", "Outputs 1/2"},
                          {1125, "Output 2", ""},
                          {1145, "Output 2", ""},
                      },
                      PageDescription::Start::ResetAndUpdate};
    d.stereoLinks = {{0, 5}, {1, 6}, {2, 7}, {3, 8}, {4, 9}, {15, 17}, {16, 18}};
    return d;
}

PageDescription DirectInPage()
{
    PageDescription d{IDD_PA_DIRECT_IN,
                      PAGE_DIRECT_IN,
                      {
                          {0, 1101, 1108, "Direct In Volume Level"},
                          {1, 1105, 1064, "Direct In Tone Bass"},
                          {2, 1106, 1070, "Direct In Tone Treble"},
                          {3, 1102, 0, "Output 1 Direct In Detect Enable"},
                          {4, 1107, 0, "Output 2 Direct In Detect Enable"},
                          {5, 1023, 0, "AuxOut Direct In Detect Enable"},
                      },
                      {{1124, "Output 1", "Output 1/2"}, {1125, "Output 2", ""}},
                      PageDescription::Start::ResetAndUpdate};
    d.stereoLinks = {{3, 4}};
    return d;
}

PageDescription LimiterPage()
{
    PageDescription d{IDD_PA_LIMITER,
                      PAGE_LIMITER,
                      {
                          {0, 1112, 1041, "Output 1 Limiter Attack Time"},
                          {1, 1113, 1042, "Output 1 Limiter Release Time"},
                          {2, 1114, 1043, "Output 1 Limiter Set Point"},
                          {3, 1115, 1066, "Output 2 Limiter Attack Time"},
                          {4, 1116, 1067, "Output 2 Limiter Release Time"},
                          {5, 1117, 1068, "Output 2 Limiter Set Point"},
                          {6, 1118, 1077, "Aux Out Limiter Attack Time"},
                          {7, 1119, 1078, "Aux Out Limiter Release Time"},
                          {8, 1120, 1079, "Aux Out Limiter Set Point"},
                          {9, 1050, 0, "Output 1 Limiter Enable"},
                          {10, 1075, 0, "Output 2 Limiter Enable"},
                          {11, 1087, 0, "Aux Out Limiter Enable"},
                      },
                      {{1124, "Output 1", "Output 1/2"}, {1125, "Output 2", ""}},
                      PageDescription::Start::ResetAndUpdate};
    d.stereoLinks = {{0, 3}, {1, 4}, {2, 5}, {9, 10}};
    return d;
}

PageDescription MiscPage()
{
    return {IDD_PA_MISC, PAGE_MISC, {{0, 1022, 0, "Wallplate Linked"}}, {}, PageDescription::Start::Keep};
}

PageDescription SignalThrPage()
{
    // Slider 1118 + n is slot n; the value boxes are not in order.
    const int boxes[16] = {1036, 1039, 1042, 1045, 1072, 1075, 1078, 1081, 1037, 1038, 1046, 1047, 1048, 1049, 1050, 1051};
    const char* const names[16] = {
        "Input1 Present", "Input2 Present", "Input3 Present", "Input4 Present",
        "Page In Present", "Direct In Present", "Output1 Present", "Output2 Present",
        "Input1 Clip", "Input2 Clip", "Input3 Clip", "Input4 Clip",
        "Page In Clip", "Direct In Clip", "Output1 Clip", "Output2 Clip",
    };
    PageDescription d{IDD_PA_SIGNAL_THR, PAGE_SIGNAL_THR, {}, {}};
    for (int n = 0; n < 16; ++n)
        d.bindings.push_back({n, 1118 + n, boxes[n], names[n]});
    return d;
}

} // namespace

CDlgPAInput::CDlgPAInput(QWidget* parent, ModeSource mode, CParamTransfer& transfer)
    : CDlgParamPage(InputPage(), parent, std::move(mode), transfer)
{
    // Controls of the template that edit no parameter.
    if (auto* button = Builder().Control<QAbstractButton>(1009))
        connect(button, &QAbstractButton::clicked, this, [] { kmr::ShowMessage("Button"); });
    if (QWidget* slider = Control(1122))
        slider->setAccessibleName("Unused slider");
}

void CDlgPAInput::FollowUp(int slot)
{
    // Input 1 and 3 tone (slots 0, 1, 4, 5) drive Input 2 and 4 (slots 2, 3, 6, 7) in Stereo.
    if (CurrentMode() != MIXER_MODE_STEREO || !(slot == 0 || slot == 1 || slot == 4 || slot == 5))
        return;
    SetRecordIndex(Record(slot + 2), IndexOf(slot));
}

CDlgPAOutput::CDlgPAOutput(QWidget* parent, ModeSource mode, CParamTransfer& transfer)
    : CDlgParamPage(OutputPage(), parent, std::move(mode), transfer)
{
}

void CDlgPAOutput::SetSlots(int first, std::initializer_list<int> values)
{
    int slot = first;
    for (int v : values)
        SetRecordIndex(Record(slot++), v);
}

void CDlgPAOutput::FollowUp(int slot)
{
    const int mode = CurrentMode();
    if (mode == MIXER_MODE_STEREO) {
        // Slots 0 and 2 choose the input pair of Outputs 1 and 2 ("Input1/2" or "Input3/4"),
        // slots 8 and 10 the AuxOut's ("Input1+2" or "Input3+4"). Slot 2 tests slot 0, which
        // still holds the state from before the click.
        const auto pair12 = {1, 0, 0, 0, 0, 1, 0, 0};
        const auto pair34 = {0, 0, 1, 0, 0, 0, 0, 1};
        switch (slot) {
        case 0:
            SetSlots(0, IndexOf(0) == 1 ? pair12 : pair34);
            break;
        case 2:
            SetSlots(0, IndexOf(0) == 1 ? pair34 : pair12);
            break;
        case 8:
            SetSlots(8, IndexOf(8) == 1 ? std::initializer_list<int>{1, 1, 0, 0} : std::initializer_list<int>{0, 0, 1, 1});
            break;
        case 10:
            SetSlots(8, IndexOf(10) == 0 ? std::initializer_list<int>{1, 1, 0, 0} : std::initializer_list<int>{0, 0, 1, 1});
            break;
        default:
            break;
        }
    } else if (mode == MIXER_MODE_DUAL_MONO) {
        // Output 1 takes exactly one of Inputs 1 and 2, Output 2 one of Inputs 3 and 4.
        const int partner = slot == 0 ? 1 : slot == 1 ? 0 : slot == 6 ? 7 : slot == 7 ? 6 : -1;
        if (partner >= 0)
            SetRecordIndex(Record(partner), IndexOf(slot) == 0 ? 1 : 0);
    }
}

CDlgPAEQ::CDlgPAEQ(QWidget* parent, ModeSource mode, CParamTransfer& transfer)
    : CDlgParamPage(EqPage(), parent, std::move(mode), transfer)
{
}

void CDlgPAEQ::SetEqPresetCount(int count)
{
    const int presetSlots[3] = {0, 2, 4};
    for (int slot : presetSlots)
        Record(slot)->slider->SetStep(0);
    for (int slot : presetSlots) {
        CSlider* slider = Record(slot)->slider;
        slider->SetMax(std::max(count - 1, 0));  // never a range below 0 .. 0
        if (count <= 0)
            slider->setEnabled(false);
    }
}

CDlgPA* CreateParamPage(int templateNumber, QWidget* parent, CDlgPA::ModeSource mode, CParamTransfer& transfer)
{
    switch (templateNumber) {
    case IDD_PA_INPUT:
        return new CDlgPAInput(parent, std::move(mode), transfer);
    case IDD_PA_OUTPUT:
        return new CDlgPAOutput(parent, std::move(mode), transfer);
    case IDD_PA_EQ:
        return new CDlgPAEQ(parent, std::move(mode), transfer);
    case IDD_PA_PAGE_IN:
        return new CDlgParamPage(PageInPage(), parent, std::move(mode), transfer);
    case IDD_PA_DIRECT_IN:
        return new CDlgParamPage(DirectInPage(), parent, std::move(mode), transfer);
    case IDD_PA_LIMITER:
        return new CDlgParamPage(LimiterPage(), parent, std::move(mode), transfer);
    case IDD_PA_MISC:
        return new CDlgParamPage(MiscPage(), parent, std::move(mode), transfer);
    case IDD_PA_SIGNAL_THR:
        return new CDlgParamPage(SignalThrPage(), parent, std::move(mode), transfer);
    default:
        qFatal("there is no parameter page %d", templateNumber);
    }
}
