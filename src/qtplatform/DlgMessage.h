#pragma once
// The program's message box (dialog 152, "Wideplane KMR 6650"): a centred text, OK, and on
// request Cancel. One object serves one question: construct it, set the text (and, for a
// question, the show-Cancel flag), call DoModal, destroy it.
//
// Layout: a text that fits the template's text box, broken only at spaces and line breaks, is
// shown in the template's layout. A longer text (an open failure naming a long device path, a
// busy port with its holder, a remedy) grows the dialog: the text box widens up to about twice
// the template's width (further only for one word wider than that), is as high as its lines,
// and the buttons and the banner move under it. Either way a line ends only at a space or
// a line break, so a path such as /dev/ttyUSB0 or a command is never split.
//
// Threads: GUI thread only. Workers reach it through the message handler of
// qtplatform/QtPlatform.h, which shows it on the GUI thread for them.
#include "platform/MessageBox.h"
#include "res/DialogBuilder.h"

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

class CDlgMessage : public QDialog {
    Q_OBJECT
public:
    // Where OK goes when it stands alone in the template's layout: centred under the text
    // (pixels of the client area).
    static constexpr int LONE_OK_X = 165;
    static constexpr int LONE_OK_Y = 115;

    // A new message has an empty text and no Cancel button. It has no parent window.
    CDlgMessage();

    // The text to show; "\n" breaks it into lines. Shown as plain text, never as markup.
    void SetText(const std::string& text) { m_text = text; }
    const std::string& Text() const { return m_text; }
    // 1: show Cancel beside OK; 0: OK alone.
    void SetShowCancel(int showCancel) { m_showCancel = showCancel; }

    // Shows the dialog modally and returns MSG_OK (0) if the user pressed OK or Enter, MSG_CANCEL
    // (1) for Cancel, Escape or the close box.
    kmr::MessageResult DoModal();

    // The control with id (res/Resource.h), for tests and for reading the dialog's state. The
    // text box (IDC_MESSAGE_TEXT) holds the text as set while Qt's word wrap keeps every word
    // whole; otherwise it holds the text with its lines broken at spaces and does not wrap. Its
    // accessible name is always the text as set.
    QWidget* Control(int id) const { return m_controls.Control(id); }

    // Lays the dialog out for the text and the buttons as they are now; done again each time the
    // dialog is shown, before it is placed on the screen.
    void Arrange();

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int m_showCancel = 0;
    std::string m_text;
    CDialogBuilder m_controls;
    QLabel* m_label;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QLabel* m_banner = nullptr;  // the picture strip along the bottom edge
    kmr::MessageResult m_result = kmr::MSG_OK;
};
