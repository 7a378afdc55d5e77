#include "app/UpdaterApp.h"

#include "app/UpdaterDlg.h"
#include "link/DlgPortSettings.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/ParamTransfer.h"
#include "protocol/ProtocolAppUpdate.h"
#include "qtplatform/QtFileChooser.h"
#include "update/DlgUpdate.h"

#include <QTimer>

CUpdaterApp::CUpdaterApp(EditorPlacement editor)
{
    kmr::SetMessageHandler(m_messages.Handler());
    InstallQtFileChooser();
    m_portSettings = std::make_unique<CDlgPortSettings>();
    m_updateDialog = std::make_unique<CDlgUpdate>();
    m_main = std::make_unique<CUpdaterDlg>(m_portSettings.get(), m_updateDialog.get(), editor);
}

CUpdaterApp::~CUpdaterApp()
{
    Shutdown();
    m_main.reset();
    m_updateDialog.reset();
    m_portSettings.reset();
    kmr::SetMessageHandler({});
}

int CUpdaterApp::Run()
{
    QTimer::singleShot(0, m_main.get(), [this] { m_main->ShowEditor(); });  // beside the main window, once it is up
    m_main->exec();
    Shutdown();
    return 0;
}

void CUpdaterApp::Shutdown()
{
    m_messages.Shutdown();  // a worker waiting for an answer gets Cancel and goes on to its end
    TheUpdateProtocol().Shutdown();
    TheParamTransfer().Shutdown();
    TheMacLayer().SetPort(nullptr);
    TheMacLayer().SetFrameMsgTarget({});
    if (ThePortHost().IsPortOpen())
        ThePortHost().ClosePort();
}
