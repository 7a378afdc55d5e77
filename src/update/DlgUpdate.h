#pragma once
// The update dialog (dialog 129, "Software/Preset Update "): the user enables the software
// section or the speaker EQ preset section, chooses a .bin file, confirms a warning and starts
// the update; the update threads' posts become the section's status text, percentage text and
// progress bar. A hidden third section starts the update test.
//
// Which section is enabled is the radios' state, whether a file is chosen is the update file
// holder's open flag, and whether an update runs is the update protocol's: the dialog keeps no
// state of its own beyond its controls.
//
// Lifetime: the program creates one, with no parent window, once the QApplication exists, and
// shows it modally with DoModal each time the update panel's "Begin Update" is pressed.
// Threads: GUI thread only. The update threads reach it only through the message target that
// each opening hands to the update protocol; a post that arrives after the dialog has closed is
// dropped.
#include "platform/Messages.h"
#include "qtplatform/QtPlatform.h"
#include "res/DialogBuilder.h"

#include <QDialog>
#include <QTimer>
#include <memory>

class CDlgUpdate : public QDialog {
    Q_OBJECT
public:
    // The hidden file dialog behind "TEST": shown, and whatever is chosen is ignored.
    static constexpr const char* TEST_FILTER = "RKN Company files|*.bin|";

    // Builds the dialog, hidden, with no parent window.
    CDlgUpdate();
    ~CDlgUpdate() override;

    // Opens the dialog modally and returns when it closes (QDialog::Accepted for OK, Rejected
    // otherwise). Each opening starts afresh: the template's texts, both bars at 0 of 0 to 100,
    // neither "Enable" radio checked, both "Select File" and both "Start Update" disabled, and
    // the hidden "Update Test" enabled. The file name boxes show the file still chosen for
    // their section, if any, so that a "Start Update" never uses a file the user cannot see.
    // A call while the dialog is open does nothing and returns Rejected. Enter presses the
    // default button, the hidden and disabled OK, so it does nothing; Space presses the button
    // that has the focus.
    int DoModal();

    // WM_PROTOCOL_UPDATE_MSG with code and value: progress codes (system 33-35, preset
    // 145-147) set the section's bar to value and its percentage text to "Tx:%3d%", a value
    // above 100 shown as 100; phase codes (system 17-25, preset 129-137) set the section's
    // status text; test codes (241-249) set the caption of "Update Test", and for the four
    // failures also show "UPDATE TEST ERROR!" in the message dialog (modal, OK only). Any other
    // code changes nothing.
    void OnProtocolUpdateMSG(WPARAM code, LPARAM value);

    // Exit, OK, Escape and the close box all end here: the system update is stopped
    // (StopSystemUpdate: both stop flags set, the system file closed, a 300 ms pause), then the
    // dialog closes. The preset file stays chosen.
    void done(int result) override;

    // The target that the current opening hands to the update protocol. While the dialog is
    // closed there is none (the pointer is expired); a post to an earlier opening's target is
    // dropped, also when it was queued before that opening closed.
    MessageTargetPtr Target() const { return m_target; }

    // The control with id (res/Resource.h), for the application and tests.
    QWidget* Control(int id) const { return m_controls.Control(id); }
    const CDialogBuilder& Builder() const { return m_controls; }

    // The ids, texts and operations of the software and the preset section (in the .cpp).
    struct Section;

private:
    void ResetControls();
    // Checks radio and enables the buttons of its section only; nothing while an update runs.
    void SelectSection(int radio);
    // Enables the controls for the checked section and whether an update runs: while one runs
    // the "Enable" radios and "Select File" are disabled, and a timer watches for its end.
    void UpdateControlStates();
    void OnSelectFile(const Section& section);
    void OnStartUpdate(const Section& section);
    void OnUpdateTest();
    void OnTestFile();
    // The message target of the current opening; posts to an earlier opening's are dropped.
    void OpenTarget();
    void CloseTarget();

    static constexpr int RUN_WATCH_MS = 100;  // how often a running update's end is looked for

    CDialogBuilder m_controls;
    QTimer* m_runWatch = nullptr;
    QObject* m_receiver = nullptr;                    // receives the posts of the current opening
    std::shared_ptr<kmr::CQtMessageTarget> m_target;  // held only while the dialog is open
};
