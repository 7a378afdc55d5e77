// Templates of the application shell: the main window and the About box.
#include "res/TemplateParts.h"

#include "res/Resource.h"

namespace {
using K = ControlKind;

// The main window: headings and picture strips across the top, the update panel's place under
// the instructions on the left, the Communication panel's place on the right, Register and
// Exit below it. The Parameter Option and Parameters Adjust places are invisible.
DialogTemplate MainTemplate()
{
    return {IDD_MAIN,
            "Veltra KMR 6650 Firmware/EQ Update Tool  V1.0",
            413,
            302,
            "Verdana",
            8,
            DLG_CAPTION | DLG_SYSMENU | DLG_MINIMIZEBOX | DLG_CENTER,
            {
                {IDC_NONE, K::Label, "Design", 10, 4, 120, 9, CTL_CENTER},
                {IDC_NONE, K::Bar, "", 136, 2, 2, 12, CTL_NONE},
                {IDC_NONE, K::Label, "Performance", 146, 4, 120, 9, CTL_CENTER},
                {IDC_NONE, K::Bar, "", 274, 2, 2, 12, CTL_NONE},
                {IDC_NONE, K::Label, "Support", 284, 4, 120, 9, CTL_CENTER},
                {IDC_NONE, K::Picture, "banner", 0, 16, 413, 17, CTL_NONE},
                {IDC_NONE, K::Label, "Select a COM Port under \"Port Settings\"", 12, 42, 188, 9, CTL_NONE},
                {IDC_NONE, K::Label, "Open the COM Port and", 12, 52, 188, 9, CTL_NONE},
                {IDC_NONE, K::Label, "press \"Begin Update\".", 12, 62, 188, 9, CTL_NONE},
                {IDC_PLACE_UPDATE, K::GroupBox, "", 10, 76, 190, 60, CTL_NONE},
                {IDC_PLACE_COMM, K::GroupBox, "", 208, 40, 195, 142, CTL_NONE},
                {IDC_PLACE_OPTION_PARAM, K::GroupBox, "", 10, 142, 99, 130, CTL_HIDDEN},
                {IDC_PLACE_PARAM_ADJUST, K::GroupBox, "", 112, 142, 88, 130, CTL_HIDDEN},
                {IDC_NONE, K::Label, "MSCOMM32 Registration", 208, 192, 120, 9, CTL_NONE},
                {IDC_REGISTER, K::PushButton, "Register", 208, 204, 70, 16, CTL_DEFAULT},
                {IDC_EXIT, K::ColorButton, "Exit", 333, 258, 70, 16, CTL_NONE},
                {IDC_NONE, K::Picture, "banner", 0, 285, 413, 17, CTL_NONE},
            }};
}

DialogTemplate AboutTemplate()
{
    return {IDD_ABOUT,
            "About Updater",
            262,
            55,
            "Verdana",
            8,
            DLG_CAPTION | DLG_SYSMENU,
            {
                {IDC_NONE, K::Picture, "icon", 11, 17, 20, 20, CTL_NONE},
                // Wide enough for the whole line in the dialog font or a wider stand-in for it.
                {IDC_NONE, K::Label, "KMR 6650 Frimware/EQ Preset Update Tool ver. 1.0  9-9-2007", 40, 10, 215, 8, CTL_NONE},
                {IDC_NONE, K::Label, "", 40, 26, 119, 8, CTL_NONE},
                {IDOK, K::PushButton, "OK", 205, 34, 50, 14, CTL_DEFAULT},
            }};
}
} // namespace

std::vector<DialogTemplate> MainTemplates()
{
    return {MainTemplate(), AboutTemplate()};
}
