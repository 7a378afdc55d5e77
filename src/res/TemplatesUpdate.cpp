// Templates of the update subsystem: the message box and the connection progress window.
#include "res/TemplateParts.h"

#include "res/Resource.h"

namespace {
using K = ControlKind;

// The message box. Alone, OK is moved to the pixel position (165, 115), which with the 8-point
// dialog font (7 by 13 pixels to the base unit) centres it under the text; with Cancel the two
// buttons stand side by side, centred as a pair.
DialogTemplate MessageTemplate()
{
    return {IDD_MESSAGE,
            "Wideplane KMR 6650",
            239,
            104,
            "Verdana",
            8,
            DLG_CAPTION | DLG_SYSMENU,
            {
                {IDC_NONE, K::Picture, "icon", 8, 10, 20, 20, CTL_NONE},
                {IDC_MESSAGE_TEXT, K::Label, "", 32, 8, 175, 56, CTL_CENTER},
                {IDOK, K::PushButton, "OK", 66, 70, 50, 14, CTL_DEFAULT},
                {IDCANCEL, K::PushButton, "Cancel", 123, 70, 50, 14, CTL_HIDDEN},
                {IDC_NONE, K::Picture, "banner", 0, 90, 239, 14, CTL_NONE},
            }};
}

// The connection progress window. Its owner moves and sizes it over the main window; the
// controls keep their places.
DialogTemplate ProgressTemplate()
{
    return {IDD_PROGRESS,
            "Connection Progress",
            206,
            80,
            "Verdana",
            8,
            DLG_CAPTION,
            {
                {IDC_NONE, K::Label, "Connecting to KMR 6650.  Please wait!", 10, 14, 186, 10, CTL_CENTER},
                {IDC_PROGRESS_BAR, K::ProgressBar, "", 10, 32, 186, 10, CTL_NONE},
                {IDOK, K::PushButton, "OK", 44, 54, 50, 14, CTL_HIDDEN | CTL_DEFAULT},
                {IDCANCEL, K::PushButton, "Cancel", 112, 54, 50, 14, CTL_HIDDEN},
            }};
}
} // namespace

std::vector<DialogTemplate> UpdateTemplates()
{
    return {ProgressTemplate(), MessageTemplate()};
}

