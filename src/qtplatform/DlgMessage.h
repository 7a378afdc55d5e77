#pragma once
// The program's message box (dialog 152, "Wideplane KMR 6650"): a centred text, OK, and on
// request Cancel. One object serves one question: construct it, set the text (and, for a
// question, the show-Cancel flag), call DoModal, destroy it.
//
// Threads: GUI thread only. Workers reach it through the message handler of
// qtplatform/QtPlatform.h, which shows it on the GUI thread for them.
#include "platform/MessageBox.h"
#include "res/DialogBuilder.h"

#include <QDialog>
#include <string>

class QPushButton;

class CDlgMessage : public QDialog {
    Q_OBJECT
public:
    // Where OK goes when it stands alone: centred under the text (pixels of the client area).
    static constexpr int LONE_OK_X = 165;
    static constexpr int LONE_OK_Y = 115;

    // A new message has an empty text and no Cancel button. It has no parent window.
    CDlgMessage();

    // The text to show; "\n" breaks it into lines. Shown as plain text, never as markup.
    void SetText(const std::string& text) { m_text = text; }
    // 1: show Cancel beside OK; 0: OK alone.
    void SetShowCancel(int showCancel) { m_showCancel = showCancel; }

    // Shows the dialog modally and returns MSG_OK (0) if the user pressed OK or Enter, MSG_CANCEL
    // (1) for Cancel, Escape or the close box.
    kmr::MessageResult DoModal();

    // The control with id (res/Resource.h), for tests and for reading the dialog's state.
    QWidget* Control(int id) const { return m_controls.Control(id); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    int m_showCancel = 0;
    std::string m_text;
    CDialogBuilder m_controls;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    kmr::MessageResult m_result = kmr::MSG_OK;
};
