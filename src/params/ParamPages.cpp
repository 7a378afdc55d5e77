#include "params/ParamPages.h"

#include "params/ParamTransfer.h"
#include "platform/MessageBox.h"
#include "res/Resource.h"

#include <QAbstractButton>
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

} // namespace

CDlgPAInput::CDlgPAInput(QWidget* parent, ModeSource mode, CParamTransfer& transfer)
    : CDlgParamPage(InputPage(), parent, std::move(mode), transfer)
{
    // Controls of the template that edit no parameter.
    if (auto* button = Builder().Control<QAbstractButton>(1009))
        connect(button, &QAbstractButton::clicked, this, [] { kmr::ShowMessage("Button"); });
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

CDlgPA* CreateParamPage(int templateNumber, QWidget* parent, CDlgPA::ModeSource mode, CParamTransfer& transfer)
{
    switch (templateNumber) {
    case IDD_PA_INPUT:
        return new CDlgPAInput(parent, std::move(mode), transfer);
    case IDD_PA_OUTPUT:
        return new CDlgPAOutput(parent, std::move(mode), transfer);
    default:
        return new CDlgPA(templateNumber, parent, std::move(mode), transfer);
    }
}
