#pragma once
// The update panel (dialog 104): a child panel of the main window whose "Begin Update" opens
// the update dialog once the serial port is open. Its hidden, disabled "Preset Update" sends
// the synchronise command; the user cannot reach it.
//
// Threads: GUI thread only.
#include "res/DialogBuilder.h"

#include <QWidget>

class CDlgUpdate;

class CDlgUpdateOption : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* PORT_NOT_OPEN_TEXT =
        "Port is not open! Please open the port!\nMake sure cable is attched and try again.";

    // Builds the panel as a child of parent, with its template's size; its owner moves it over
    // its place. updateDialog is the dialog that "Begin Update" opens; it must outlive the panel.
    CDlgUpdateOption(QWidget* parent, CDlgUpdate* updateDialog);

    // "Begin Update": with the port open (the port host's IsPortOpen) shows the update dialog
    // modally and returns when it closes; otherwise shows PORT_NOT_OPEN_TEXT (OK only).
    void OnBeginUpdate();
    // "Preset Update": sends the update protocol's synchronise command (0, 0), nothing else.
    void OnPresetUpdate();

    // The control with id (res/Resource.h), for the application and tests.
    QWidget* Control(int id) const { return m_controls.Control(id); }

private:
    CDialogBuilder m_controls;
    CDlgUpdate* m_updateDialog;
};
