#pragma once
// The Parameter Option panel (template 103): it owns the current mixer mode and runs the
// editor's whole-table actions on the parameter pages of the Parameters Adjust container: the
// work-mode box, "Read Mixer Param " (also run by the Communication panel after a good
// connection check), "Reset Mixer Param", "Init All PC Param", saving the amplifier's
// parameters to a parameter file and loading one into it (ParamText.h), the workers' progress
// window and the register console.
//
// Threads: GUI thread only; the read-all and write-all workers report by posting
// WM_PROTOCOL_NORMAL_MSG to this panel.
#include "params/MixerOps.h"
#include "platform/Messages.h"
#include "qtplatform/DlgProgress.h"
#include "qtplatform/QtPlatform.h"
#include "res/DialogBuilder.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CDlgParamAdjust;
class CParamTransfer;

class CDlgOptionParam : public QWidget {
    Q_OBJECT
public:
    // The Communication panel's connected flag: 1 while the last connection check succeeded.
    using ConnectedSource = std::function<bool()>;
    static constexpr unsigned MODE_CHANGE_PAUSE_MS = 60;  // after an acknowledged mode write
    static constexpr const char* PORT_NOT_OPEN_TEXT = "Port is not open. Please open the port!";
    static constexpr const char* MODE_CHANGE_ERROR_TEXT =
        "Test: ChangeModeOfMixer error! CDlgOptionParam::OnSelchangeComboModeselect";

    CDlgOptionParam(QWidget* parent, ConnectedSource connected, CParamTransfer& transfer);
    ~CDlgOptionParam() override;
    // The pages the panel acts on; set once, before the panel is used.
    void AttachPages(CDlgParamAdjust* pages) { m_pages = pages; }

    // The current mixer mode (0 at start; may hold an invalid value read from the amplifier).
    int MixerMode() const { return m_mixerMode; }
    // Stores mode; for a mode outside 0..2 shows "Error: Mixer mode error !" and stops; else
    // selects it in the work-mode box, enables the pages' controls for it and sets the pages'
    // mode captions. Sends nothing.
    void SetMixerMode(int mode);
    // "Read Mixer Param ".
    void ReadMixerParams();

    // The parameter files offered by the file chooser, the extension added to a name typed
    // without one, and the name proposed before any parameter file was chosen.
    static constexpr const char* PARAM_FILE_FILTER = "Parameter files|*.txt|All files|*|";
    static constexpr const char* PARAM_FILE_EXTENSION = "txt";
    static constexpr const char* PARAM_FILE_INITIAL_NAME = "KMR6650_Parameters";
    // "Save Parameters...": refused as a read is (port closed, a worker or an update on the line)
    // before anything is asked; then a file name from the chooser (a new name allowed), which is
    // refused with the reason when it cannot take a file (kmr::CheckOutputFile); then
    // "Read Mixer Param " with its progress window, and when every record has come, the file is
    // written as `kmr6650-cli params save` writes it (kmr::WriteFileAtomically). A read that
    // fails, or a mode outside 0..2, writes nothing and says so.
    void SaveParamFile();
    // "Load Parameters...": refused as a write is before anything is asked; then an existing
    // file from the chooser, read whole and checked (ParseParamFile): a fault names the file and
    // its line and nothing is sent. After the user's OK to the question, the records take the
    // file's values, the work-mode box, the pages' captions and controls show the file's mode
    // and values, and the mode and every record are written with the write-all worker and its
    // progress window (WriteModeAndAllParams).
    void LoadParamFile();
    // The last parameter file chosen in this run ("" before the first): the chooser is offered
    // it, so that it opens in its folder.
    const std::string& LastParamFile() const { return m_lastParamFile; }
    // The work-mode box's selection changed to entry mode. While a read-all or write-all
    // worker or an update holds the line the change is refused with the line-busy text, and
    // the box goes back to the amplifier's mode: the worker's records belong to that mode.
    void OnSelchangeComboModeselect(int mode);

    QWidget* Control(int id) const { return m_controls.Control(id); }
    const CDialogBuilder& Builder() const { return m_controls; }
    // The progress window of the last worker start, while it is open.
    CDlgProgress* Progress() const;

private:
    // One start of a worker: its progress window and the target its posts come to. Each worker
    // posts to a target of its own, so that its posts, however late, reach only its window.
    struct WorkerRun {
        QPointer<CDlgProgress> window;  // deletes itself at 100
        bool ended = false;             // the last post has come, or the start was refused
        std::shared_ptr<kmr::CQtMessageTarget> target;
        std::function<void(bool done)> onEnd;  // at the end: done when the worker reached 100
    };
    // A new run, after forgetting those that have ended.
    std::shared_ptr<WorkerRun> NewWorkerRun();
    // Runs an action that may start a worker, with a run of its own; opens the run's progress
    // window at 10 when the worker has started. onEnd, if given, is called once: with true
    // after the worker's 100 (the pages updated), with false after its failure message or when
    // the action did not start it.
    void RunWorkerAction(const std::function<MixerAction(const MessageTargetPtr&, const MixerActionHooks&)>& action,
                         const MixerActionHooks& hooks, std::function<void(bool done)> onEnd = {});
    // Calls run's onEnd, if it has one still.
    void EndRun(WorkerRun& run, bool done);
    // "Read Mixer Param ", with onEnd as RunWorkerAction's.
    void ReadAll(std::function<void(bool done)> onEnd);
    // After the read of a save: writes the file at path, or says why not.
    void WriteParamFile(const std::string& path);
    // Asks the chooser for a parameter file, proposing the last one; "" when cancelled.
    std::string ChooseParamFile(bool mustExist);
    bool Connected() const { return m_connected && m_connected(); }
    // WM_PROTOCOL_NORMAL_MSG from the worker of run.
    void OnProtocolNormalMSG(WorkerRun& run, WPARAM code, LPARAM value);
    void ResetMixerParams();
    void InitAllPcParams();
    void OnEnter();
    // Stores mode and shows it, without a message for an invalid mode.
    void ApplyMode(int mode);
    CDlgProgress* StartProgress();
    void ResetAllParams();

    CDialogBuilder m_controls;
    ConnectedSource m_connected;
    CParamTransfer& m_transfer;
    CDlgParamAdjust* m_pages = nullptr;
    std::vector<std::shared_ptr<WorkerRun>> m_runs;  // the last one is the latest start
    int m_mixerMode = 0;
    std::string m_lastParamFile;
};
