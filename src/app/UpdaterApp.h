#pragma once
// The application object of the desktop program: creates the windows once the QApplication
// exists, shows the main window modally, and at the end stops every worker and closes the port
// before the objects they use are gone. Told to end by SIGTERM or SIGHUP (a session logging
// out, a dropped ssh session) or SIGINT, it ends as Exit does: the dialogs over the main window
// are closed first, so that a running update is stopped as closing its dialog stops it, then
// the main window.
#include "app/UpdaterDlg.h"
#include "platform/StopSignals.h"
#include "qtplatform/QtPlatform.h"

#include <memory>

class CDlgPortSettings;
class CDlgUpdate;
class CUpdaterDlg;

class CUpdaterApp {
public:
    // Creates the single windows and installs the message dialog and the file dialog as the
    // core's message function and file chooser. Call on the GUI thread after the QApplication.
    // editor: where the parameter editor's panels go (see CUpdaterDlg).
    explicit CUpdaterApp(EditorPlacement editor = EditorPlacement::Hidden);
    ~CUpdaterApp();
    CUpdaterApp(const CUpdaterApp&) = delete;
    CUpdaterApp& operator=(const CUpdaterApp&) = delete;

    // Shows the main window modally (and the editor window, if there is one); when the main
    // window closes, shuts down and returns the exit status: 0, or 128 + the number of the
    // signal that ended the program.
    int Run();
    // Stops a running update or parameter transfer (answering any question a worker waits on
    // with Cancel), waits for the workers, and closes the port. Safe to call more than once.
    void Shutdown();

    CUpdaterDlg& MainWindow() { return *m_main; }
    CDlgUpdate& UpdateDialog() { return *m_updateDialog; }
    CDlgPortSettings& PortSettings() { return *m_portSettings; }

private:
    // Closes the dialogs over the main window, from the top, then the main window.
    void EndOnSignal();

    kmr::CGuiMessageHandler m_messages;
    std::unique_ptr<kmr::CStopSignals> m_signals;
    int m_endSignal = 0;
    std::unique_ptr<CDlgPortSettings> m_portSettings;
    std::unique_ptr<CDlgUpdate> m_updateDialog;
    std::unique_ptr<CUpdaterDlg> m_main;
};
