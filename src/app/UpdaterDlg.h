#pragma once
// The main window: a frame for the four panels (the update panel and the Communication panel
// shown, the Parameter Option and Parameters Adjust panels hidden), with Register and Exit and
// the About box.
//
// Register is the window's accept button (Enter): it starts the serial port check helper and the
// window stays open. Exit is its cancel button (Escape, the close box): it ends the program.
// The About entry is in the window's context menu (right mouse button) and on F1, because on
// Linux the title bar's menu belongs to the window manager.
#include "res/DialogBuilder.h"

#include <QDialog>
#include <QString>

class CAboutDlg;
class CDlgCommOption;
class CDlgOptionParam;
class CDlgParamAdjust;
class CDlgPortSettings;
class CDlgUpdate;
class CDlgUpdateOption;

// Where the parameter editor's two panels live.
enum class EditorPlacement {
    Hidden,  // in the main window, hidden over their places
    Window,  // in a window of their own, "KMR 6650 Parameter Editor"
};

class CUpdaterDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* EDITOR_TITLE = "KMR 6650 Parameter Editor";

    // Builds the window and its panels. portSettings and updateDialog are the program's single
    // instances, used by the Communication and update panels; both must outlive the window.
    // With EditorPlacement::Window the Parameter Option panel (with its register console) and
    // the Parameters Adjust panel go side by side into the editor window, which the main
    // window's context menu (and Ctrl+E) shows again after it was closed. The editor window's
    // own context menu saves the amplifier's parameters to a file and loads one into it.
    CUpdaterDlg(CDlgPortSettings* portSettings, CDlgUpdate* updateDialog,
                EditorPlacement editor = EditorPlacement::Hidden, QWidget* parent = nullptr);

    CDlgCommOption* CommPanel() const { return m_comm; }
    CDlgUpdateOption* UpdatePanel() const { return m_update; }
    CDlgOptionParam* OptionPanel() const { return m_option; }
    CDlgParamAdjust* AdjustPanel() const { return m_adjust; }
    // The editor window, or null when the editor is hidden in the main window.
    QWidget* EditorWindow() const { return m_editor; }
    // Shows the editor window and brings it to the front; nothing without one.
    void ShowEditor();
    const CDialogBuilder& Builder() const { return m_builder; }

    // The About box, modally.
    void ShowAbout();
    // Starts the serial port check helper, detached; its result is ignored. The helper is the
    // program kmr6650-portcheck beside this program's own executable, unless another program
    // was set (a test's stand-in).
    void StartPortCheck();
    static QString PortCheckProgram();
    static void SetPortCheckProgram(const QString& path);
    static QString AboutMenuText() { return "&About VMixer..."; }
    // The editor window's context menu entries (Ctrl+S, Ctrl+O): the Parameter Option panel's
    // SaveParamFile and LoadParamFile.
    static QString SaveParamsMenuText() { return "&Save Parameters..."; }
    static QString LoadParamsMenuText() { return "&Load Parameters..."; }

    void accept() override;  // Register

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Moves panel exactly over the placeholder with id and shows it if shown.
    void PlacePanel(QWidget* panel, int placeholderId, bool shown);
    // Builds the editor window around the two editor panels.
    void BuildEditorWindow();

    CDialogBuilder m_builder;
    CDlgParamAdjust* m_adjust = nullptr;
    CDlgOptionParam* m_option = nullptr;
    CDlgUpdateOption* m_update = nullptr;
    CDlgCommOption* m_comm = nullptr;
    QWidget* m_editor = nullptr;  // a window of its own, child of this one
};

// The About box: the program's icon, name, version and date on one line, and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    const CDialogBuilder& Builder() const { return m_builder; }

private:
    CDialogBuilder m_builder;
};
