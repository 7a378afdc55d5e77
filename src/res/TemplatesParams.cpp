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
