#include "update/DlgUpdateOption.h"

#include "controls/ColorScheme.h"
#include "link/MSCommDlg.h"
#include "platform/MessageBox.h"
#include "protocol/ProtocolAppUpdate.h"
#include "res/Resource.h"
#include "update/DlgUpdate.h"

#include <QAbstractButton>

CDlgUpdateOption::CDlgUpdateOption(QWidget* parent, CDlgUpdate* updateDialog)
    : QWidget(parent), m_controls(IDD_UPDATE_OPTION, this), m_updateDialog(updateDialog)
{
    CColorScheme::Apply(this, TheColorScheme().lightBrush, Qt::black);
    connect(m_controls.Control<QAbstractButton>(IDC_BEGIN_UPDATE), &QAbstractButton::clicked, this,
            &CDlgUpdateOption::OnBeginUpdate);
    connect(m_controls.Control<QAbstractButton>(IDC_PRESET_UPDATE), &QAbstractButton::clicked, this,
            &CDlgUpdateOption::OnPresetUpdate);
}

void CDlgUpdateOption::OnBeginUpdate()
{
    if (ThePortHost().IsPortOpen())
        m_updateDialog->DoModal();
    else
        kmr::ShowMessage(PORT_NOT_OPEN_TEXT);
}

void CDlgUpdateOption::OnPresetUpdate()
{
    TheUpdateProtocol().UpdateSendCommand(0, 0);
}
