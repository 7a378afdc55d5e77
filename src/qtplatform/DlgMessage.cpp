#include "qtplatform/DlgMessage.h"

#include "res/Resource.h"

#include <QPushButton>

CDlgMessage::CDlgMessage()
    : QDialog(nullptr), m_controls(IDD_MESSAGE, this), m_ok(m_controls.Control<QPushButton>(IDOK)),
      m_cancel(m_controls.Control<QPushButton>(IDCANCEL))
{
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// Arranges the buttons and puts the text in when the window opens.
void CDlgMessage::showEvent(QShowEvent* event)
{
    if (m_showCancel == 1) {
        m_cancel->show();
    } else {
        m_cancel->hide();
        m_ok->move(LONE_OK_X, LONE_OK_Y);
    }
    m_controls.SetText(IDC_MESSAGE_TEXT, QString::fromStdString(m_text));
    m_ok->setFocus();
    QDialog::showEvent(event);
}

kmr::MessageResult CDlgMessage::DoModal()
{
    // Escape and the close box reject the dialog like Cancel does.
    m_result = exec() == QDialog::Accepted ? kmr::MSG_OK : kmr::MSG_CANCEL;
    return m_result;
}
