// Templates of the serial link as the user sees it: the Communication panel and the Serial Port
// Settings dialog.
#include "res/TemplateParts.h"

#include "res/Resource.h"

namespace {
using K = ControlKind;

// The Communication panel, a child of the main window placed over its placeholder. The two
// buttons side by side under the heading, the settings, traffic and version lines below.
DialogTemplate CommOptionTemplate()
{
    return {IDD_COMM_OPTION,
            "",
            195,
            142,
            "Verdana",
            8,
            DLG_CHILD,
            {
                {IDC_NONE, K::Label, "Communication Option", 7, 6, 181, 10, CTL_CENTER},
                {IDC_COMM_PORT_SETTINGS, K::ColorButton, "Port Settings", 14, 22, 76, 18, CTL_NONE},
                {IDC_COMM_OPEN_PORT, K::ColorButton, "Open Port", 105, 22, 76, 18, CTL_NONE},
                {IDC_COMM_PORT, K::Label, "Port:", 14, 48, 76, 10, CTL_HIDDEN},
                {IDC_COMM_SETTINGS, K::Label, "Settings:", 14, 48, 170, 10, CTL_NONE},
                {IDC_COMM_RX, K::Label, "Rx:", 14, 64, 170, 10, CTL_NONE},
                {IDC_COMM_TX, K::Label, "Tx:", 14, 78, 170, 10, CTL_NONE},
                {IDC_COMM_FW_VERSION, K::Label, "FW V:", 14, 98, 170, 10, CTL_NONE},
                {IDC_COMM_EQ_VERSION, K::Label, "EQ V:", 14, 112, 170, 10, CTL_NONE},
            }};
}

// The Serial Port Settings dialog: five lists, each with its label, in one frame; OK and Cancel
// under it. A drop-down list draws no caption: its caption is the text of the label beside it,
// and the dialog ties the two together for assistive technology.
DialogTemplate PortSettingsTemplate()
{
    return {IDD_PORT_SETTINGS,
            "Serial Port Settings",
            198,
            158,
            "Verdana",
            8,
            DLG_CAPTION | DLG_SYSMENU,
            {
                {IDC_NONE, K::GroupBox, "", 7, 6, 184, 106, CTL_NONE},
                {IDC_NONE, K::Label, "Port :", 20, 20, 60, 10, CTL_NONE},
                {IDC_PS_PORT, K::DropDownList, "Port :", 88, 18, 90, 90, CTL_NONE},
                {IDC_NONE, K::Label, "Baud rates:", 20, 38, 60, 10, CTL_NONE},
                {IDC_PS_BAUD, K::DropDownList, "Baud rates:", 88, 36, 90, 70, CTL_DISABLED},
                {IDC_NONE, K::Label, "Parity:", 20, 56, 60, 10, CTL_NONE},
                {IDC_PS_PARITY, K::DropDownList, "Parity:", 88, 54, 90, 60, CTL_DISABLED},
                {IDC_NONE, K::Label, "Data bit:", 20, 74, 60, 10, CTL_NONE},
                {IDC_PS_DATA_BITS, K::DropDownList, "Data bit:", 88, 72, 90, 60, CTL_DISABLED},
                {IDC_NONE, K::Label, "Stop bit:", 20, 92, 60, 10, CTL_NONE},
                {IDC_PS_STOP_BITS, K::DropDownList, "Stop bit:", 88, 90, 90, 50, CTL_DISABLED},
                {IDC_PS_DEVICE, K::Edit, "", 7, 117, 184, 12, CTL_READONLY},
                {IDOK, K::ColorButton, "OK", 36, 136, 54, 16, CTL_DEFAULT},
                {IDCANCEL, K::ColorButton, "Cancel", 108, 136, 54, 16, CTL_NONE},
            }};
}
} // namespace

std::vector<DialogTemplate> CommTemplates()
{
    return {CommOptionTemplate(), PortSettingsTemplate()};
}
