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

// CUpdaterDlg, the main window, and its About box.
constexpr int IDD_MAIN = 102;
constexpr int IDD_ABOUT = 100;
constexpr int IDC_REGISTER = IDOK;     // "Register": the window's accept button
constexpr int IDC_EXIT = IDCANCEL;     // "Exit": the window's cancel button
constexpr int IDC_PLACE_OPTION_PARAM = 1000;  // placeholders of the four panels
constexpr int IDC_PLACE_UPDATE = 1001;
constexpr int IDC_PLACE_COMM = 1002;
constexpr int IDC_PLACE_PARAM_ADJUST = 1003;
