// Templates of the update subsystem: the update panel, the update dialog, the message box and the
// connection progress window.
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

// The update panel: a child panel over its place in the main window (190 by 60 units).
DialogTemplate UpdateOptionTemplate()
{
    return {IDD_UPDATE_OPTION,
            "",
            190,
            60,
            "Verdana",
            8,
            DLG_CHILD,
            {
                {IDC_BEGIN_UPDATE, K::ColorButton, "Begin Update", 50, 14, 90, 18, CTL_NONE},
                {IDC_PRESET_UPDATE, K::ColorButton, "Preset Update", 50, 38, 90, 14, CTL_HIDDEN | CTL_DISABLED},
                {IDC_NONE, K::Label, "", 6, 4, 178, 8, CTL_NONE},
            }};
}

// The ids and captions of one section of the update dialog.
struct UpdateSection {
    const char* frame;
    int enable, select, file, start, status, percent, progress;
    const char* selectCaption;
    const char* statusCaption;
    const char* percentCaption;
};

// One section laid out from its top edge y: the frame, "Enable" with its radio and "Select
// File" with the file name on the first line, "Start Update" with the status and percentage
// texts on the second, the progress bar on the third.
void AddSection(std::vector<ControlTemplate>& controls, const UpdateSection& s, int y)
{
    controls.insert(controls.end(), {
        {s.enable, K::RadioButton, "", 15, y + 14, 10, 10, CTL_NONE},
        {IDC_NONE, K::Label, "Enable", 27, y + 15, 30, 9, CTL_NONE},
        {s.select, K::ColorButton, s.selectCaption, 62, y + 12, 62, 14, CTL_DISABLED},
        {s.file, K::Edit, "", 130, y + 13, 145, 12, CTL_READONLY},
        {s.start, K::ColorButton, "Start Update", 15, y + 32, 62, 14, CTL_DISABLED},
        {s.status, K::Label, s.statusCaption, 84, y + 35, 122, 9, CTL_NONE},
        {s.percent, K::Label, s.percentCaption, 210, y + 35, 65, 9, CTL_NONE},
        {s.progress, K::ProgressBar, "", 15, y + 52, 260, 10, CTL_NONE},
        {IDC_NONE, K::GroupBox, s.frame, 7, y, 276, 70, CTL_NONE},
    });
}

// The update dialog: headings and a banner across the top, the software section, the speaker EQ
// preset section, the hidden test section beside Exit, and a banner along the bottom.
DialogTemplate UpdateTemplate()
{
    std::vector<ControlTemplate> controls;
    AddSection(controls,
               {"Software Update", IDC_SYSTEM_ENABLE, IDC_SYSTEM_SELECT, IDC_SYSTEM_FILE, IDC_SYSTEM_START,
                IDC_SYSTEM_STATUS, IDC_SYSTEM_PERCENT, IDC_SYSTEM_PROGRESS, "Select File", "No Software Update",
                "  Process:"},
               36);
    AddSection(controls,
               {"Speaker EQ Preset Update", IDC_PRESET_ENABLE, IDC_PRESET_SELECT, IDC_PRESET_FILE, IDC_PRESET_START,
                IDC_PRESET_STATUS, IDC_PRESET_PERCENT, IDC_PRESET_PROGRESS, "Select File ", "No Preset Update",
                " Process:"},
               112);
    controls.insert(controls.end(), {
        {IDC_TEST_ENABLE, K::RadioButton, "", 15, 202, 10, 10, CTL_HIDDEN | CTL_DISABLED},
        {IDC_UPDATE_TEST, K::ColorButton, "Update Test", 30, 199, 80, 14, CTL_HIDDEN | CTL_DISABLED},
        {IDC_TEST_FILE, K::PushButton, "TEST", 118, 199, 40, 14, CTL_HIDDEN},
        {IDC_NONE, K::GroupBox, "Update Test", 7, 188, 190, 30, CTL_HIDDEN},
        {IDOK, K::ColorButton, "OK", 205, 200, 36, 14, CTL_HIDDEN | CTL_DISABLED | CTL_DEFAULT},
        {IDCANCEL, K::ColorButton, "Exit", 247, 200, 36, 14, CTL_NONE},
        {IDC_NONE, K::Label, "Design", 6, 4, 84, 9, CTL_CENTER},
        {IDC_NONE, K::Bar, "", 96, 2, 2, 12, CTL_NONE},
        {IDC_NONE, K::Label, "Performance", 103, 4, 84, 9, CTL_CENTER},
        {IDC_NONE, K::Bar, "", 192, 2, 2, 12, CTL_NONE},
        {IDC_NONE, K::Label, "Support", 200, 4, 84, 9, CTL_CENTER},
        {IDC_NONE, K::Picture, "banner", 0, 16, 290, 14, CTL_NONE},
        {IDC_NONE, K::Picture, "banner", 0, 224, 290, 14, CTL_NONE},
    });
    return {IDD_UPDATE,
            "Software/Preset Update ",
            290,
            238,
            "Verdana",
            8,
            DLG_CAPTION | DLG_SYSMENU | DLG_CENTER,
            std::move(controls)};
}
} // namespace

std::vector<DialogTemplate> UpdateTemplates()
{
    return {UpdateOptionTemplate(), UpdateTemplate(), ProgressTemplate(), MessageTemplate()};
}

