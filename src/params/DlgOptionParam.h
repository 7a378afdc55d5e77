#pragma once
// The Parameter Option panel (template 103): it owns the current mixer mode and runs the
// editor's whole-table actions on the parameter pages of the Parameters Adjust container: the
// work-mode box, "Read Mixer Param " (also run by the Communication panel after a good
// connection check), "Reset Mixer Param", "Init All PC Param", the workers' progress window and
// the register console.
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
    };
    // A new run, after forgetting those that have ended.
    std::shared_ptr<WorkerRun> NewWorkerRun();
    // Runs an action that may start a worker, with a run of its own; opens the run's progress
    // window at 10 when the worker has started.
    void RunWorkerAction(const std::function<MixerAction(const MessageTargetPtr&, const MixerActionHooks&)>& action,
                         const MixerActionHooks& hooks);
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
};
