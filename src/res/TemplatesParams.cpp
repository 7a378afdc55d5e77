// Templates of the parameter editor: the Parameters Adjust container and its eight pages.
#include "res/TemplateParts.h"

#include "res/Resource.h"

namespace {
using K = ControlKind;

// The container: the eight page buttons in one row, in the order the user sees them, and the
// invisible frame that marks where the pages lie.
DialogTemplate ParamAdjustTemplate()
{
    return {IDD_PARAM_ADJUST,
            "",
            447,
            306,
            "Times New Roman",
            8,
            DLG_CHILD,
            {
                {IDC_NONE, K::Label, "Parameters Adjust", 358, 1, 77, 8, CTL_NONE},
                {IDC_PA_INPUT, K::ColorButton, "Input", 3, 1, 42, 11, CTL_NONE},
                {IDC_PA_OUTPUT, K::ColorButton, "Output", 45, 1, 42, 11, CTL_NONE},
                {IDC_PA_EQ, K::ColorButton, "EQ", 87, 1, 42, 11, CTL_NONE},
                {IDC_PA_PAGE_IN, K::ColorButton, "Page In", 129, 1, 42, 11, CTL_NONE},
                {IDC_PA_DIRECT_IN, K::ColorButton, "Direct In", 171, 1, 42, 11, CTL_NONE},
                {IDC_PA_LIMITER, K::ColorButton, "Limiter", 213, 1, 42, 11, CTL_NONE},
                {IDC_PA_SIGNAL_THR, K::ColorButton, "Signal Thr", 255, 1, 42, 11, CTL_NONE},
                {IDC_PA_MISC, K::ColorButton, "Miscellaneous", 297, 1, 42, 11, CTL_NONE},
                {IDC_PA_FRAME, K::GroupBox, "", 3, 11, 418, 264, CTL_HIDDEN},
            }};
}

// The Parameter Option panel. The register console (its separator, command line, Enter and
// result line), "Init All PC Param" and the "Reset Send Select" group start hidden.
DialogTemplate OptionParamTemplate()
{
    return {IDD_OPTION_PARAM,
            "",
            99,
            213,
            "Times New Roman",
            8,
            DLG_CHILD,
            {
                {IDC_NONE, K::Label, "Parameter Option", 0, 0, 66, 8, CTL_NONE},
                {IDC_NONE, K::Label, "Work Mode Select", 7, 9, 52, 8, CTL_NONE},
                {IDC_OP_MODE, K::DropDownList, "", 7, 16, 59, 44, CTL_NONE},
                {IDC_NONE, K::Bar, "", 6, 33, 60, 1, CTL_NONE},
                {IDC_OP_READ, K::ColorButton, "Read Mixer Param ", 7, 39, 59, 12, CTL_NONE},
                {IDC_OP_RESET, K::ColorButton, "Reset Mixer Param", 7, 53, 59, 12, CTL_NONE},
                {IDC_OP_INIT, K::ColorButton, "Init All PC Param", 7, 67, 59, 12, CTL_HIDDEN | CTL_DISABLED},
                {IDC_OP_CONSOLE_BAR, K::Bar, "", 6, 85, 60, 1, CTL_HIDDEN},
                {IDC_OP_COMMAND, K::Edit, "", 6, 89, 60, 12, CTL_HIDDEN},
                {IDC_OP_ENTER, K::PushButton, "Enter", 6, 102, 19, 12, CTL_HIDDEN},
                {IDC_OP_RESULT, K::Edit, "", 24, 101, 42, 12, CTL_HIDDEN | CTL_READONLY},
                {IDC_NONE, K::GroupBox, "Reset Send Select", 5, 163, 60, 25, CTL_HIDDEN | CTL_DISABLED},
                {IDC_OP_SEND_SELECT, K::CheckBox, "", 9, 174, 8, 8, CTL_HIDDEN | CTL_DISABLED},
                {IDC_OP_PROGRESS, K::ProgressBar, "", 18, 174, 44, 8, CTL_HIDDEN | CTL_DISABLED},
                {IDC_OP_LIST, K::ListBox, "", 4, 196, 52, 10, CTL_HIDDEN | CTL_DISABLED},
            }};
}

// A page as the container holds it: a child panel of its template's size and font. The
// container places every page over its frame (418 x 264 dialog units), so every control of a
// page lies inside that rectangle.
DialogTemplate PageTemplate(int number, int w, int h, const char* font, std::vector<ControlTemplate> controls = {})
{
    return {number, "", w, h, font, 8, DLG_CHILD, std::move(controls)};
}

// A parameter slider's column: its caption over the slider, the slider, the read-only value box
// under it (the slider centred over the box) and the unit beside the box.
struct SliderColumn {
    int slider;
    int box;
    const char* caption;
    const char* unit;
    int boxWidth;   // room for the widest label of the slider
    int unitWidth;  // room for the unit
};
constexpr int SLIDER_W = 18;
constexpr int SLIDER_H = 50;
constexpr int VALUE_H = 10;
constexpr int CAPTION_W = 30;

// Adds column c with its left edge at x and its caption's top at y; returns the column's width.
int AddColumn(std::vector<ControlTemplate>& out, const SliderColumn& c, int x, int y, int captionWidth = CAPTION_W)
{
    const int mid = x + c.boxWidth / 2;
    out.push_back({IDC_NONE, K::Label, c.caption, mid - captionWidth / 2, y, captionWidth, 8, CTL_CENTER});
    out.push_back({c.slider, K::Slider, "", mid - SLIDER_W / 2, y + 9, SLIDER_W, SLIDER_H, CTL_NONE});
    out.push_back({c.box, K::Edit, "", x, y + 10 + SLIDER_H, c.boxWidth, VALUE_H, CTL_READONLY | CTL_NOFRAME});
    out.push_back({IDC_NONE, K::Label, c.unit, x + c.boxWidth, y + 11 + SLIDER_H, c.unitWidth, 8, CTL_NONE});
    return c.boxWidth + c.unitWidth;
}

// The Input page: the tone of the four inputs in a row, with the Page Input's AGC at its end,
// and the AGC of the four inputs in a second row under its heading.
std::vector<ControlTemplate> InputPageControls()
{
    std::vector<ControlTemplate> c;
    constexpr int GROUP_H = 94;
    constexpr int ROW1 = 9, ROW2 = 115;
    constexpr int AGC_W = 102, TONE_W = 72;
    c.push_back({IDC_NONE, K::Label, "Input Tone Set-up", 3, 0, 90, 8, CTL_NONE});
    struct Tone {
        int frame;
        const char* caption;
        int bass, bassBox, treble, trebleBox;
    };
    const Tone tones[4] = {{1075, "Input 1", 1109, 1110, 1106, 1111},
                           {1074, "Input 2", 1114, 1112, 1107, 1113},
                           {1076, "Input 3", 1117, 1115, 1108, 1116},
                           {1104, "Input 4", 1120, 1118, 1121, 1119}};
    for (int i = 0; i < 4; ++i) {
        const Tone& t = tones[i];
        const int x = 3 + i * (TONE_W + 1);
        c.push_back({t.frame, K::GroupBox, t.caption, x, ROW1, TONE_W, GROUP_H, CTL_NONE});
        const int w = AddColumn(c, {t.bass, t.bassBox, "Bass", "dB", 22, 10}, x + 4, ROW1 + 21);
        AddColumn(c, {t.treble, t.trebleBox, "Treble", "dB", 22, 10}, x + 4 + w + 2, ROW1 + 21);
    }
    c.push_back({IDC_NONE, K::Label, "AGC Set-up", 3, ROW2 - 9, 90, 8, CTL_NONE});
    struct Agc {
        int frame;
        const char* caption;
        int enable, setpoint, setpointBox, attack, attackBox, release, releaseBox;
    };
    const Agc agcs[5] = {{1077, "Input 1", 1028, 1125, 1123, 1126, 1124, 1128, 1127},
                         {1078, "Input 2", 1035, 1131, 1129, 1132, 1130, 1134, 1133},
                         {1079, "Input 3", 1042, 1137, 1135, 1138, 1136, 1140, 1139},
                         {1080, "Input 4", 1061, 1143, 1141, 1144, 1142, 1146, 1145},
                         {1081, "Page Input", 1068, 1149, 1147, 1150, 1148, 1152, 1151}};
    for (int i = 0; i < 5; ++i) {
        const Agc& a = agcs[i];
        // Inputs 1-4 in the second row; the Page Input ends the first, over Input 4.
        const int x = 3 + (i < 4 ? i : 3) * (AGC_W + 1);
        const int y = i < 4 ? ROW2 : ROW1;
        c.push_back({a.frame, K::GroupBox, a.caption, x, y, AGC_W, GROUP_H, CTL_NONE});
        // The Page Input's Enable starts disabled: nothing in any mode may change it.
        c.push_back({a.enable, K::CheckBox, "Enable", x + 9, y + 10, 40, 10, i == 4 ? CTL_DISABLED : CTL_NONE});
        int at = x + 9;
        at += AddColumn(c, {a.setpoint, a.setpointBox, "Setpoint", "dBFS", 16, 18}, at, y + 21) + 1;
        at += AddColumn(c, {a.attack, a.attackBox, "Attack", "ms", 15, 10}, at, y + 21) + 1;
        AddColumn(c, {a.release, a.releaseBox, "Release", "ms", 19, 10}, at, y + 21);
    }
    // Controls that belong to no parameter.
    c.push_back({IDC_NONE, K::Label, "Input", 3, 244, 40, 8, CTL_NONE});
    c.push_back({1009, K::PushButton, "Button1", 262, 240, 44, 14, CTL_NONE});
    c.push_back({1022, K::CheckBox, "Check1", 312, 242, 38, 10, CTL_NONE});
    c.push_back({1122, K::Slider, "", 354, 239, 60, 15, CTL_NONE});
    return c;
}

// The Output page: the three outputs' input mixes one over another, and the AuxOut tone beside
// them.
std::vector<ControlTemplate> OutputPageControls()
{
    std::vector<ControlTemplate> c;
    constexpr int MIX_W = 134, MIX_H = 34, COL_W = 31;
    c.push_back({IDC_NONE, K::Label, "Output Set-up", 3, 0, 90, 8, CTL_NONE});
    struct Mix {
        int frame;
        const char* caption;
        int firstCheck;
        int firstCaption;  // IDC_NONE: captions that never change
    };
    const Mix mixes[3] = {{1123, "Output 1  Input Mix", 1025, 1146},
                          {1066, "Output 2  Input Mix", 1029, IDC_NONE},
                          {IDC_NONE, "AuxOut  Input Mix", 1033, 1150}};
    const char* const inputs[4] = {"Input1", "Input2", "Input3", "Input4"};
    for (int m = 0; m < 3; ++m) {
        const int y = 9 + m * (MIX_H + 5);
        c.push_back({mixes[m].frame, K::GroupBox, mixes[m].caption, 3, y, MIX_W, MIX_H, CTL_NONE});
        for (int i = 0; i < 4; ++i) {
            const int x = 8 + i * COL_W;
            const int caption = mixes[m].firstCaption == IDC_NONE ? IDC_NONE : mixes[m].firstCaption + i;
            c.push_back({caption, K::Label, inputs[i], x, y + 10, COL_W, 8, CTL_CENTER});
            c.push_back({mixes[m].firstCheck + i, K::CheckBox, "", x + 12, y + 20, 10, 10, CTL_NONE});
        }
    }
    constexpr int TONE_X = 3 + MIX_W + 5;
    c.push_back({IDC_NONE, K::GroupBox, "AuxOut Tone", TONE_X, 9, 122, 85, CTL_NONE});
    int at = TONE_X + 14;
    at += AddColumn(c, {1113, 1074, "Output Gain", "dB", 20, 10}, at, 21, 42) + 8;
    at += AddColumn(c, {1114, 1116, "Bass", "dB", 22, 10}, at, 21) + 2;
    AddColumn(c, {1115, 1117, "Treble", "dB", 22, 10}, at, 21);
    return c;
}
} // namespace

std::vector<DialogTemplate> ParamTemplates()
{
    return {
        OptionParamTemplate(),
        ParamAdjustTemplate(),
        PageTemplate(IDD_PA_INPUT, 565, 339, "Times New Roman", InputPageControls()),
        PageTemplate(IDD_PA_OUTPUT, 504, 347, "Times New Roman", OutputPageControls()),
        PageTemplate(IDD_PA_EQ, 511, 327, "Times New Roman"),
        PageTemplate(IDD_PA_PAGE_IN, 556, 387, "Times New Roman"),
        PageTemplate(IDD_PA_DIRECT_IN, 572, 287, "Times New Roman"),
        PageTemplate(IDD_PA_LIMITER, 610, 291, "Times New Roman"),
        PageTemplate(IDD_PA_MISC, 369, 276, "MS Sans Serif"),
        PageTemplate(IDD_PA_SIGNAL_THR, 573, 478, "MS Sans Serif"),
    };
}
