#include "app/UpdaterApp.h"

#include "app/UpdaterDlg.h"
#include "link/DlgPortSettings.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/ParamTransfer.h"
#include "protocol/ProtocolAppUpdate.h"
#include "qtplatform/QtFileChooser.h"
#include "update/DlgUpdate.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <unistd.h>

CUpdaterApp::CUpdaterApp(EditorPlacement editor)
{
    kmr::SetMessageHandler(m_messages.Handler());
    InstallQtFileChooser();
    m_portSettings = std::make_unique<CDlgPortSettings>();
    m_updateDialog = std::make_unique<CDlgUpdate>();
    m_main = std::make_unique<CUpdaterDlg>(m_portSettings.get(), m_updateDialog.get(), editor);
    m_signals = std::make_unique<kmr::CStopSignals>();
    auto* notifier = new QSocketNotifier(m_signals->NotifyFd(), QSocketNotifier::Read, m_main.get());
    QObject::connect(notifier, &QSocketNotifier::activated, m_main.get(), [this] { EndOnSignal(); });
}

void CUpdaterApp::EndOnSignal()
{
    char drained[16];
    while (::read(m_signals->NotifyFd(), drained, sizeof drained) > 0) {
    }
    if (m_endSignal != 0)
        return;  // already ending
    m_endSignal = kmr::CStopSignals::Received();
    // Each dialog closed leaves the modal stack at once; its own loop ends when control returns
    // to it. The bound only guards against a dialog that refuses to close.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_main.get())
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    m_main->reject();
}

CUpdaterApp::~CUpdaterApp()
{
    Shutdown();
    m_main.reset();  // with the watch on the signals' descriptor, before that is closed
    m_updateDialog.reset();
    m_portSettings.reset();
    m_signals.reset();
    kmr::SetMessageHandler({});
}

int CUpdaterApp::Run()
{
    QTimer::singleShot(0, m_main.get(), [this] { m_main->ShowEditor(); });  // beside the main window, once it is up
    m_main->exec();
    Shutdown();
    return m_endSignal != 0 ? kmr::CStopSignals::ExitStatus(m_endSignal) : 0;
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
