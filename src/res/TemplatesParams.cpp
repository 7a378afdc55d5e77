// Templates of the parameter editor: the Parameters Adjust container and its eight pages.
#include "res/TemplateParts.h"

#include "res/Resource.h"

namespace {
using K = ControlKind;

// The container: the eight page buttons in one row, in the order the user sees them, and the
// invisible frame that marks where the pages lie, just under the buttons (a page over a button's
// lower edge would hide it).
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
                {IDC_PA_INPUT, K::ColorButton, "Input", 3, 1, 42, 10, CTL_NONE},
                {IDC_PA_OUTPUT, K::ColorButton, "Output", 45, 1, 42, 10, CTL_NONE},
                {IDC_PA_EQ, K::ColorButton, "EQ", 87, 1, 42, 10, CTL_NONE},
                {IDC_PA_PAGE_IN, K::ColorButton, "Page In", 129, 1, 42, 10, CTL_NONE},
                {IDC_PA_DIRECT_IN, K::ColorButton, "Direct In", 171, 1, 42, 10, CTL_NONE},
                {IDC_PA_LIMITER, K::ColorButton, "Limiter", 213, 1, 42, 10, CTL_NONE},
                {IDC_PA_SIGNAL_THR, K::ColorButton, "Signal Thr", 255, 1, 42, 10, CTL_NONE},
                {IDC_PA_MISC, K::ColorButton, "Miscellaneous", 297, 1, 42, 10, CTL_NONE},
                {IDC_PA_FRAME, K::GroupBox, "", 3, 11, 418, 264, CTL_HIDDEN},
            }};
}

// The Parameter Option panel. The register console (its separator, command line, Enter and
// result line), "Init All PC Param" and the "Reset Send Select" group start hidden. The command
// line and the result line are wide enough for the default command and a double word's
// "Data: 0x12345678".
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
                {IDC_NONE, K::Label, "Work Mode Select", 7, 8, 52, 8, CTL_NONE},
                {IDC_OP_MODE, K::DropDownList, "", 7, 16, 59, 44, CTL_NONE},
                {IDC_NONE, K::Bar, "", 6, 33, 60, 1, CTL_NONE},
                {IDC_OP_READ, K::ColorButton, "Read Mixer Param ", 7, 39, 59, 12, CTL_NONE},
                {IDC_OP_RESET, K::ColorButton, "Reset Mixer Param", 7, 53, 59, 12, CTL_NONE},
                {IDC_OP_INIT, K::ColorButton, "Init All PC Param", 7, 67, 59, 12, CTL_HIDDEN | CTL_DISABLED},
                {IDC_OP_CONSOLE_BAR, K::Bar, "", 6, 85, 84, 1, CTL_HIDDEN},
                {IDC_OP_COMMAND, K::Edit, "", 6, 89, 84, 12, CTL_HIDDEN},
                {IDC_OP_ENTER, K::PushButton, "Enter", 6, 102, 19, 12, CTL_HIDDEN},
                {IDC_OP_RESULT, K::Edit, "", 25, 101, 65, 12, CTL_HIDDEN | CTL_READONLY},
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
// under it (the slider centred over the box) and the unit beside the box, one unit apart so that
// no rounding to pixels lets the box paint over the unit.
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
// A caption of captionLines lines (wrapped at its spaces) is captionWidth wide.
int AddColumn(std::vector<ControlTemplate>& out, const SliderColumn& c, int x, int y, int captionWidth = CAPTION_W,
              int captionLines = 1)
{
    const int mid = x + c.boxWidth / 2;
    const int sliderY = y + 8 * captionLines + 1;
    out.push_back({IDC_NONE, K::Label, c.caption, mid - captionWidth / 2, y, captionWidth, 8 * captionLines, CTL_CENTER});
    out.push_back({c.slider, K::Slider, "", mid - SLIDER_W / 2, sliderY, SLIDER_W, SLIDER_H, CTL_NONE});
    out.push_back({c.box, K::Edit, "", x, sliderY + SLIDER_H + 1, c.boxWidth, VALUE_H, CTL_READONLY | CTL_NOFRAME});
    if (c.unitWidth > 0)
        out.push_back({IDC_NONE, K::Label, c.unit, x + c.boxWidth + 1, sliderY + SLIDER_H + 2, c.unitWidth - 1, 8, CTL_NONE});
    return c.boxWidth + c.unitWidth;
}

// Adds columns one after another from x, gap apart, with two-line captions; returns the x after
// the last.
int AddColumns(std::vector<ControlTemplate>& out, std::initializer_list<SliderColumn> columns, int x, int y, int gap,
               int captionWidth)
{
    for (const SliderColumn& c : columns)
        x += AddColumn(out, c, x, y, captionWidth, 2) + gap;
    return x - gap;
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
// The EQ page: for each output its speaker EQ preset and its dynamic EQ switch.
std::vector<ControlTemplate> EqPageControls()
{
    std::vector<ControlTemplate> c;
    c.push_back({IDC_NONE, K::Label, "EQ Set-up", 3, 0, 90, 8, CTL_NONE});
    struct Output {
        int frame;
        const char* caption;
        int slider, box, check;
    };
    const Output outputs[3] = {{1123, "Output 1", 1105, 1103, 1106},
                               {1066, "Output 2", 1109, 1107, 1108},
                               {1114, "AuxOut", 1113, 1111, 1112}};
    for (int i = 0; i < 3; ++i) {
        const int x = 3 + i * 136;
        c.push_back({outputs[i].frame, K::GroupBox, outputs[i].caption, x, 9, 132, 84, CTL_NONE});
        AddColumn(c, {outputs[i].slider, outputs[i].box, "Speak EQ ID", "", 16, 0}, x + 14, 21, 44);
        c.push_back({outputs[i].check, K::CheckBox, "Dynamic EQ Enable", x + 40, 50, 88, 10, CTL_NONE});
    }
    return c;
}

// The Page In page: per output the ducking, page level and page switch, the page input's tone
// and trigger mode in the upper row; per output the page detector in the lower row.
std::vector<ControlTemplate> PageInPageControls()
{
    std::vector<ControlTemplate> c;
    c.push_back({IDC_NONE, K::Label, "Page In  Set-up", 3, 0, 90, 8, CTL_NONE});
    struct Upper {
        int frame;
        const char* caption;
        int enable, ducking, duckingBox, level, levelBox;
    };
    const Upper upper[3] = {{1124, "Output 1", 1079, 1138, 1075, 1139, 1077},
                            {1125, "Output 2", 1086, 1140, 1081, 1141, 1084},
                            {IDC_NONE, "AuxOut", 1094, 1142, 1088, 1143, 1092}};
    constexpr int UPPER_Y = 9, UPPER_H = 101, UPPER_W = 76;
    for (int i = 0; i < 3; ++i) {
        const Upper& u = upper[i];
        const int x = 3 + i * (UPPER_W + 2);
        c.push_back({u.frame, K::GroupBox, u.caption, x, UPPER_Y, UPPER_W, UPPER_H, CTL_NONE});
        c.push_back({u.enable, K::CheckBox, "Page Enable", x + 6, UPPER_Y + 10, 60, 10, CTL_NONE});
        AddColumns(c, {{u.ducking, u.duckingBox, "Ducking Level", "dB", 17, 10}, {u.level, u.levelBox, "Page Lvl   Adjust", "dB", 17, 10}},
                   x + 9, UPPER_Y + 21, 6, 34);
    }
    const int toneX = 3 + 3 * (UPPER_W + 2);
    c.push_back({IDC_NONE, K::GroupBox, "Page In", toneX, UPPER_Y, 114, UPPER_H, CTL_NONE});
    const int afterTone = AddColumns(c, {{1136, 1071, "Bass", "dB", 22, 10}, {1137, 1073, "Treble", "dB", 22, 10}},
                                     toneX + 5, UPPER_Y + 21, 2, 30);
    c.push_back({IDC_NONE, K::GroupBox, "Trig Mode", afterTone + 3, UPPER_Y + 30, 36, 36, CTL_NONE});
    c.push_back({1090, K::RadioButton, "PTT", afterTone + 7, UPPER_Y + 41, 28, 10, CTL_NONE});
    c.push_back({1091, K::RadioButton, "Auto", afterTone + 7, UPPER_Y + 53, 28, 10, CTL_NONE});

    struct Lower {
        int frame;
        const char* caption;
        int attack, attackBox, release, releaseBox, delay, delayBox, threshold, thresholdBox;
    };
    const Lower lower[3] = {{1144, "Output 1", 1119, 1029, 1123, 1033, 1126, 1037, 1127, 1045},
                            {1145, "Output 2", 1128, 1032, 1129, 1050, 1130, 1052, 1131, 1056},
                            {IDC_NONE, "AuxOut", 1132, 1059, 1133, 1062, 1134, 1064, 1135, 1068}};
    constexpr int LOWER_Y = UPPER_Y + UPPER_H + 4, LOWER_H = 90, LOWER_W = 136;
    for (int i = 0; i < 3; ++i) {
        const Lower& l = lower[i];
        const int x = 3 + i * (LOWER_W + 2);
        c.push_back({l.frame, K::GroupBox, l.caption, x, LOWER_Y, LOWER_W, LOWER_H, CTL_NONE});
        AddColumns(c,
                   {{l.attack, l.attackBox, "Attack  Time", "ms", 19, 10},
                    {l.release, l.releaseBox, "Release  Time", "ms", 23, 10},
                    {l.delay, l.delayBox, "Delay Time", "S", 15, 6},
                    {l.threshold, l.thresholdBox, "Page Threshold", "dBFS", 15, 18}},
                   x + 5, LOWER_Y + 10, 4, 34);
    }
    return c;
}

// The Direct In page: the direct input's volume and tone, and per output its signal detection.
std::vector<ControlTemplate> DirectInPageControls()
{
    std::vector<ControlTemplate> c;
    c.push_back({IDC_NONE, K::Label, "Direct In Set-up", 3, 0, 90, 8, CTL_NONE});
    c.push_back({IDC_NONE, K::GroupBox, "Direct In", 3, 9, 130, 90, CTL_NONE});
    AddColumns(c,
               {{1101, 1108, "Volume Level", "dB", 16, 10}, {1105, 1064, "Tone Bass", "dB", 22, 10}, {1106, 1070, "Tone Treble", "dB", 22, 10}},
               10, 19, 3, 32);
    struct Detect {
        int frame;
        const char* caption;
        int check;
    };
    const Detect detects[3] = {{1124, "Output1", 1102}, {1125, "Output2", 1107}, {IDC_NONE, "AuxOut", 1023}};
    for (int i = 0; i < 3; ++i) {
        const int x = 3 + i * 105;
        c.push_back({detects[i].frame, K::GroupBox, detects[i].caption, x, 104, 102, 36, CTL_NONE});
        c.push_back({IDC_NONE, K::Label, "   Direct In Detect Enable", x + 4, 114, 94, 8, CTL_NONE});
        c.push_back({detects[i].check, K::CheckBox, "", x + 46, 124, 10, 10, CTL_NONE});
    }
    return c;
}

// The Limiter page: per output the limiter's times, set point and switch.
std::vector<ControlTemplate> LimiterPageControls()
{
    std::vector<ControlTemplate> c;
    c.push_back({IDC_NONE, K::Label, "Limiter Set-up", 3, 0, 90, 8, CTL_NONE});
    struct Limiter {
        int frame;
        const char* caption;
        int enable, attack, attackBox, release, releaseBox, setPoint, setPointBox;
    };
    const Limiter limiters[3] = {{1124, "Output 1", 1050, 1112, 1041, 1113, 1042, 1114, 1043},
                                 {1125, "Output 2", 1075, 1115, 1066, 1116, 1067, 1117, 1068},
                                 {IDC_NONE, "Aux Out", 1087, 1118, 1077, 1119, 1078, 1120, 1079}};
    for (int i = 0; i < 3; ++i) {
        const Limiter& l = limiters[i];
        const int x = 3 + i * 119;
        c.push_back({l.frame, K::GroupBox, l.caption, x, 9, 116, 101, CTL_NONE});
        c.push_back({l.enable, K::CheckBox, "Limiter Enable", x + 6, 19, 64, 10, CTL_NONE});
        AddColumns(c,
                   {{l.attack, l.attackBox, "Attack Time", "ms", 19, 10},
                    {l.release, l.releaseBox, "Release Time", "S", 23, 6},
                    {l.setPoint, l.setPointBox, "Set Point", "dBFS", 15, 18}},
                   x + 6, 30, 7, 30);
    }
    c.push_back({1009, K::PushButton, "Button1", 3, 240, 44, 14, CTL_HIDDEN});
    return c;
}

// The Miscellaneous page: the one setting of no channel.
std::vector<ControlTemplate> MiscPageControls()
{
    return {
        {IDC_NONE, K::Label, "Miscellaneas", 3, 0, 90, 8, CTL_NONE},
        {IDC_NONE, K::GroupBox, "", 3, 9, 90, 40, CTL_NONE},
        {IDC_NONE, K::Label, "Wallplate Linked", 10, 18, 76, 8, CTL_NONE},
        {1022, K::CheckBox, "", 10, 30, 10, 10, CTL_NONE},
    };
}

// The Signal threshold page: the present and clip thresholds of eight signal points, one frame
// over the other; the outputs' two columns set apart by a line.
std::vector<ControlTemplate> SignalThrPageControls()
{
    std::vector<ControlTemplate> c;
    c.push_back({IDC_NONE, K::Label, "Signal Threshold Index Set-up", 3, 0, 140, 8, CTL_NONE});
    struct Frame {
        const char* caption;
        int firstSlider;
        int boxes[8];
        const char* directIn;
    };
    const Frame frames[2] = {{"Present ", 1118, {1036, 1039, 1042, 1045, 1072, 1075, 1078, 1081}, "Direct  In"},
                             {"Clip", 1126, {1037, 1038, 1046, 1047, 1048, 1049, 1050, 1051}, "Direct   In"}};
    constexpr int COL_W = 42, SEPARATOR = 8, FRAME_H = 86;
    for (int f = 0; f < 2; ++f) {
        const int y = 9 + f * (FRAME_H + 4);
        c.push_back({IDC_NONE, K::GroupBox, frames[f].caption, 3, y, 8 * COL_W + SEPARATOR + 12, FRAME_H, CTL_NONE});
        const char* const captions[8] = {"Input1", "Input2", "Input3", "Input4", "Page   In", frames[f].directIn, "Output1", "Output2"};
        for (int n = 0; n < 8; ++n) {
            const int x = 14 + n * COL_W + (n >= 6 ? SEPARATOR : 0);
            AddColumn(c, {frames[f].firstSlider + n, frames[f].boxes[n], captions[n], "dBV", 20, 16}, x, y + 10, 40);
        }
        c.push_back({IDC_NONE, K::Bar, "", 14 + 6 * COL_W, y + 10, 1, FRAME_H - 14, CTL_NONE});
    }
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
        PageTemplate(IDD_PA_EQ, 511, 327, "Times New Roman", EqPageControls()),
        PageTemplate(IDD_PA_PAGE_IN, 556, 387, "Times New Roman", PageInPageControls()),
        PageTemplate(IDD_PA_DIRECT_IN, 572, 287, "Times New Roman", DirectInPageControls()),
        PageTemplate(IDD_PA_LIMITER, 610, 291, "Times New Roman", LimiterPageControls()),
        PageTemplate(IDD_PA_MISC, 369, 276, "MS Sans Serif", MiscPageControls()),
        PageTemplate(IDD_PA_SIGNAL_THR, 573, 478, "MS Sans Serif", SignalThrPageControls()),
    };
}
