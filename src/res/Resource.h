#pragma once
// Numbers of the dialog templates and ids of the controls that code reaches.

// Buttons that end a dialog.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// CDlgProgress, "Connection Progress".
constexpr int IDD_PROGRESS = 144;
constexpr int IDC_PROGRESS_BAR = 1162;

// CDlgMessage, the program's message box.
constexpr int IDD_MESSAGE = 152;
constexpr int IDC_MESSAGE_TEXT = 1164;

// ---- Communication panel and port settings ------------------------------------------------
// CDlgCommOption, the Communication panel of the main window.
constexpr int IDD_COMM_OPTION = 105;
constexpr int IDC_COMM_OPEN_PORT = 1005;      // "Open Port"; its caption shows the outcome
constexpr int IDC_COMM_PORT_SETTINGS = 1006;  // "Port Settings"
constexpr int IDC_COMM_PORT = 1119;           // hidden, emptied at start
constexpr int IDC_COMM_SETTINGS = 1120;       // the port settings, "COM1,56000,8,2"
constexpr int IDC_COMM_RX = 1121;             // the last frame received
constexpr int IDC_COMM_TX = 1122;             // the last frame sent
constexpr int IDC_COMM_FW_VERSION = 1123;     // firmware version
constexpr int IDC_COMM_EQ_VERSION = 1163;     // EQ version
// CDlgPortSettings, "Serial Port Settings". OK is IDOK, Cancel is IDCANCEL.
constexpr int IDD_PORT_SETTINGS = 132;
constexpr int IDC_PS_PORT = 1106;       // the only list the user can change
constexpr int IDC_PS_BAUD = 1112;
constexpr int IDC_PS_PARITY = 1113;
constexpr int IDC_PS_DATA_BITS = 1114;
constexpr int IDC_PS_STOP_BITS = 1115;
constexpr int IDC_PS_DEVICE = 1116;     // read-only: the selected port's device and what it is
// ---- end of the Communication panel and port settings --------------------------------------

// ---- Update panel and update dialog -------------------------------------------------------
// CDlgUpdateOption, the update panel of the main window.
constexpr int IDD_UPDATE_OPTION = 104;
constexpr int IDC_BEGIN_UPDATE = 1003;   // "Begin Update"
constexpr int IDC_PRESET_UPDATE = 1007;  // "Preset Update", hidden and disabled
// CDlgUpdate, "Software/Preset Update ". Exit is IDCANCEL, the hidden OK is IDOK.
constexpr int IDD_UPDATE = 129;
constexpr int IDC_SYSTEM_ENABLE = 1090;    // software section: "Enable" radio
constexpr int IDC_SYSTEM_SELECT = 1028;    //   "Select File"
constexpr int IDC_SYSTEM_FILE = 1025;      //   the chosen file's name
constexpr int IDC_SYSTEM_START = 1010;     //   "Start Update"
constexpr int IDC_SYSTEM_STATUS = 1099;    //   status text
constexpr int IDC_SYSTEM_PERCENT = 1096;   //   percentage text
constexpr int IDC_SYSTEM_PROGRESS = 1097;  //   progress bar
constexpr int IDC_PRESET_ENABLE = 1091;    // preset section, the same controls
constexpr int IDC_PRESET_SELECT = 1029;
constexpr int IDC_PRESET_FILE = 1027;
constexpr int IDC_PRESET_START = 1011;
constexpr int IDC_PRESET_STATUS = 1103;
constexpr int IDC_PRESET_PERCENT = 1102;
constexpr int IDC_PRESET_PROGRESS = 1101;
constexpr int IDC_TEST_ENABLE = 1092;      // hidden test section: radio
constexpr int IDC_UPDATE_TEST = 1156;      //   "Update Test", its caption the test's status
constexpr int IDC_TEST_FILE = 1098;        //   "TEST": a file dialog and nothing more
// ---- end of the update panel and update dialog ---------------------------------------------

// CUpdaterDlg, the main window, and its About box.
constexpr int IDD_MAIN = 102;
constexpr int IDD_ABOUT = 100;
constexpr int IDC_REGISTER = IDOK;     // "Register": the window's accept button
constexpr int IDC_EXIT = IDCANCEL;     // "Exit": the window's cancel button
constexpr int IDC_PLACE_OPTION_PARAM = 1000;  // placeholders of the four panels
constexpr int IDC_PLACE_UPDATE = 1001;
constexpr int IDC_PLACE_COMM = 1002;
constexpr int IDC_PLACE_PARAM_ADJUST = 1003;

// The Parameters Adjust container (106) and its eight parameter pages (107-114).
constexpr int IDD_PARAM_ADJUST = 106;
constexpr int IDC_PA_FRAME = 1008;           // marks where the pages lie
constexpr int IDC_PA_INPUT = 1004;           // the page buttons
constexpr int IDC_PA_OUTPUT = 1011;
constexpr int IDC_PA_EQ = 1012;
constexpr int IDC_PA_PAGE_IN = 1013;
constexpr int IDC_PA_DIRECT_IN = 1014;
constexpr int IDC_PA_LIMITER = 1015;
constexpr int IDC_PA_MISC = 1016;
constexpr int IDC_PA_SIGNAL_THR = 1017;
constexpr int IDD_PA_INPUT = 107;
constexpr int IDD_PA_OUTPUT = 108;
constexpr int IDD_PA_EQ = 109;
constexpr int IDD_PA_PAGE_IN = 110;
constexpr int IDD_PA_DIRECT_IN = 111;
constexpr int IDD_PA_LIMITER = 112;
constexpr int IDD_PA_MISC = 113;
constexpr int IDD_PA_SIGNAL_THR = 114;

// CDlgOptionParam, the Parameter Option panel.
constexpr int IDD_OPTION_PARAM = 103;
constexpr int IDC_OP_MODE = 1001;          // the work-mode box
constexpr int IDC_OP_RESET = 1002;         // "Reset Mixer Param"
constexpr int IDC_OP_READ = 1003;          // "Read Mixer Param "
constexpr int IDC_OP_INIT = 1004;          // "Init All PC Param"
constexpr int IDC_OP_COMMAND = 1026;       // the register console's command line
constexpr int IDC_OP_RESULT = 1027;        // and its result line
constexpr int IDC_OP_ENTER = 1160;         // "Enter"
constexpr int IDC_OP_CONSOLE_BAR = 1161;   // the separator above the console
constexpr int IDC_OP_SEND_SELECT = 1155;   // the "Reset Send Select" group's controls, never shown
constexpr int IDC_OP_PROGRESS = 1154;
constexpr int IDC_OP_LIST = 1091;
