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
