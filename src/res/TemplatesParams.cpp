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
// container places every page over its frame.
DialogTemplate PageTemplate(int number, int w, int h, const char* font)
{
    return {number, "", w, h, font, 8, DLG_CHILD, {}};
}
} // namespace

std::vector<DialogTemplate> ParamTemplates()
{
    return {
        OptionParamTemplate(),
        ParamAdjustTemplate(),
        PageTemplate(IDD_PA_INPUT, 565, 339, "Times New Roman"),
        PageTemplate(IDD_PA_OUTPUT, 504, 347, "Times New Roman"),
        PageTemplate(IDD_PA_EQ, 511, 327, "Times New Roman"),
        PageTemplate(IDD_PA_PAGE_IN, 556, 387, "Times New Roman"),
        PageTemplate(IDD_PA_DIRECT_IN, 572, 287, "Times New Roman"),
        PageTemplate(IDD_PA_LIMITER, 610, 291, "Times New Roman"),
        PageTemplate(IDD_PA_MISC, 369, 276, "MS Sans Serif"),
        PageTemplate(IDD_PA_SIGNAL_THR, 573, 478, "MS Sans Serif"),
    };
}
