#include "params/DlgOptionParam.h"

#include "controls/ColorScheme.h"
#include "link/MSCommDlg.h"
#include "params/DlgParamAdjust.h"
#include "params/ParamText.h"
#include "params/ParamTransfer.h"
#include "params/RegisterConsole.h"
#include "platform/FileChooser.h"
#include "platform/InputFile.h"
#include "platform/MessageBox.h"
#include "platform/OutputFile.h"
#include "platform/Sleep.h"
#include "qtplatform/DlgProgress.h"
#include "res/Resource.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <mutex>
#include <utility>

namespace {
// The pages with mode captions, in the order they are set.
constexpr int CAPTION_PAGES[] = {0, 1, 2, 3, 4, 5};  // Input, Output, EQ, Page In, Direct In, Limiter
constexpr int COMMAND_MAX_LENGTH = 25;

// A path as a message shows it: whole, with its control bytes escaped.
std::string QuotedPath(const std::string& path)
{
    return "'" + kmr::Printable(path) + "'";
}
} // namespace

CDlgOptionParam::CDlgOptionParam(QWidget* parent, ConnectedSource connected, CParamTransfer& transfer)
    : QWidget(parent), m_controls(IDD_OPTION_PARAM, this), m_connected(std::move(connected)), m_transfer(transfer)
{
    const CColorScheme& scheme = TheColorScheme();
    CColorScheme::Apply(this, scheme.lightBrush, scheme.white);
    auto* modes = m_controls.Control<QComboBox>(IDC_OP_MODE);
    modes->addItems({"Mixer", "Stereo Select", "Dual Mono Select"});
    modes->setCurrentIndex(0);
    modes->setAccessibleName("Work Mode Select");
    connect(modes, qOverload<int>(&QComboBox::activated), this, &CDlgOptionParam::OnSelchangeComboModeselect);
    auto* command = m_controls.Control<QLineEdit>(IDC_OP_COMMAND);
    command->setMaxLength(COMMAND_MAX_LENGTH);
    command->setText("w16>0x3000,0x0010");
    command->setAccessibleName("Register command");
    connect(command, &QLineEdit::returnPressed, this, &CDlgOptionParam::OnEnter);  // Return runs it as Enter does
    m_controls.SetText(IDC_OP_RESULT, "Result");
    // The "Reset Send Select" group is never shown; its controls are named after it all the same.
    Control(IDC_OP_SEND_SELECT)->setAccessibleName("Reset Send Select");
    Control(IDC_OP_PROGRESS)->setAccessibleName("Reset Send Select progress");
    Control(IDC_OP_LIST)->setAccessibleName("Reset Send Select list");
    Control(IDC_OP_RESULT)->setAccessibleName("Register result");
    auto clicked = [this](int id, void (CDlgOptionParam::*handler)()) {
        connect(m_controls.Control<QAbstractButton>(id), &QAbstractButton::clicked, this, handler);
    };
    clicked(IDC_OP_RESET, &CDlgOptionParam::ResetMixerParams);
    clicked(IDC_OP_READ, &CDlgOptionParam::ReadMixerParams);
    clicked(IDC_OP_INIT, &CDlgOptionParam::InitAllPcParams);
    clicked(IDC_OP_ENTER, &CDlgOptionParam::OnEnter);
}

CDlgOptionParam::~CDlgOptionParam()
{
    for (const auto& run : m_runs) {
        run->target.reset();  // a worker's late posts find no window
        delete run->window;
    }
}

CDlgProgress* CDlgOptionParam::Progress() const
{
    return m_runs.empty() ? nullptr : m_runs.back()->window.data();
}

std::shared_ptr<CDlgOptionParam::WorkerRun> CDlgOptionParam::NewWorkerRun()
{
    std::erase_if(m_runs, [](const auto& run) { return run->ended; });
    auto run = std::make_shared<WorkerRun>();
    run->target = kmr::CQtMessageTarget::Create(this, [this, weak = std::weak_ptr<WorkerRun>(run)](unsigned msg, WPARAM code, LPARAM value) {
        if (const auto r = weak.lock(); r && msg == WM_PROTOCOL_NORMAL_MSG)
            OnProtocolNormalMSG(*r, code, value);
    });
    m_runs.push_back(run);
    return run;
}

void CDlgOptionParam::RunWorkerAction(
    const std::function<MixerAction(const MessageTargetPtr&, const MixerActionHooks&)>& action, const MixerActionHooks& hooks,
    std::function<void(bool done)> onEnd)
{
    const auto run = NewWorkerRun();
    run->onEnd = std::move(onEnd);
    // The window opens once the worker runs, before any of its posts is handled here: a start
    // that is refused leaves no window behind.
    if (action(run->target, hooks) == MixerAction::Started) {
        run->window = StartProgress();
    } else {
        run->ended = true;
        EndRun(*run, false);
    }
}

void CDlgOptionParam::EndRun(WorkerRun& run, bool done)
{
    // Taken out first: whatever onEnd shows or starts, it runs once.
    if (const auto onEnd = std::exchange(run.onEnd, {}))
        onEnd(done);
}

void CDlgOptionParam::ApplyMode(int mode)
{
    m_mixerMode = mode;
    if (mode < MIXER_MODE_MIXER || mode >= MIXER_MODE_COUNT || m_pages == nullptr)
        return;  // an invalid mode indexes nothing
    m_controls.Control<QComboBox>(IDC_OP_MODE)->setCurrentIndex(mode);
    m_pages->Page(0)->EnableParamsForMode(mode);
    for (int page : CAPTION_PAGES)
        m_pages->Page(page)->SetModeCaptions(mode);
}

void CDlgOptionParam::SetMixerMode(int mode)
{
    if (!CheckMixerMode(mode)) {
        m_mixerMode = mode;
        return;
    }
    ApplyMode(mode);
}

CDlgProgress* CDlgOptionParam::StartProgress()
{
    auto* progress = new CDlgProgress;
    progress->PlaceOver(window()->frameGeometry());
    progress->show();
    progress->SetProgress(10);
    return progress;
}

void CDlgOptionParam::ResetAllParams()
{
    if (m_pages != nullptr)
        m_pages->Page(0)->ResetAllParams();
}

void CDlgOptionParam::ReadMixerParams()
{
    ReadAll({});
}

void CDlgOptionParam::ReadAll(std::function<void(bool done)> onEnd)
{
    MixerActionHooks hooks;
    hooks.setMixerMode = [this](int mode) { ApplyMode(mode); };  // an invalid mode was reported already
    hooks.setEqPresetCount = [this](int count) {
        if (m_pages != nullptr)
            m_pages->Page(2)->SetEqPresetCount(count);
    };
    const bool connected = Connected();
    RunWorkerAction([&](const MessageTargetPtr& target, const MixerActionHooks& h) {
        return ::ReadMixerParams(connected, target, h, m_transfer);
    }, hooks, std::move(onEnd));
}

std::string CDlgOptionParam::ChooseParamFile(bool mustExist)
{
    const std::string proposed = !m_lastParamFile.empty() ? m_lastParamFile : mustExist ? "" : PARAM_FILE_INITIAL_NAME;
    std::string path = kmr::ChooseFile(PARAM_FILE_FILTER, PARAM_FILE_EXTENSION, proposed, mustExist);
    if (!path.empty())
        m_lastParamFile = path;
    return path;
}

void CDlgOptionParam::SaveParamFile()
{
    if (!MixerActionAllowed(Connected(), m_transfer))
        return;
    const std::string path = ChooseParamFile(false);
    if (path.empty())
        return;  // cancelled
    std::string target, reason;
    if (!kmr::CheckOutputFile(path, &target, &reason)) {
        kmr::ShowMessage("Error: Cannot save the parameters to " + QuotedPath(path) + ": " + reason + ".");
        return;
    }
    ReadAll([this, path](bool done) {
        if (done)
            WriteParamFile(path);
        else  // the read has said why
            kmr::ShowMessage("Nothing was saved to " + QuotedPath(path) + ".");
    });
}

void CDlgOptionParam::WriteParamFile(const std::string& path)
{
    const int mode = m_mixerMode;  // as the read has just found it
    if (mode < MIXER_MODE_MIXER || mode >= MIXER_MODE_COUNT) {
        kmr::ShowMessage("Error: The amplifier reports mixer mode " + std::to_string(mode) +
                         ", outside 0..2 (Mixer, Stereo Select, Dual Mono Select). Nothing was saved to " +
                         QuotedPath(path) + ": a file with this mode could not be loaded.");
        return;
    }
    std::string text;
    {
        const std::lock_guard lock(m_transfer.RecordLock());
        text = FormatParamFile(mode, m_transfer.Table());
    }
    std::string reason;
    if (!kmr::WriteFileAtomically(path, text, &reason)) {
        kmr::ShowMessage("Error: Cannot save the parameters to " + QuotedPath(path) + ": " + reason + ".");
        return;
    }
    kmr::ShowMessage("Saved mode " + std::to_string(mode) + " (" + MixerModeName(mode) + ") and " +
                     std::to_string(PARAM_COUNT) + " parameters to " + QuotedPath(path) + ".");
}

void CDlgOptionParam::LoadParamFile()
{
    if (!MixerActionAllowed(Connected(), m_transfer))
        return;
    const std::string path = ChooseParamFile(true);
    if (path.empty())
        return;  // cancelled
    // The whole file is read and checked before anything is sent.
    std::string text, reason;
    if (!kmr::ReadInputFile(path, PARAM_FILE_MAX_BYTES, &text, &reason)) {
        kmr::ShowMessage("Error: Cannot load the parameters from " + QuotedPath(path) + ": " + reason +
                         ".\nNothing was sent to the amplifier.");
        return;
    }
    ParamSettings settings;
    ParamFileError fault;
    bool valid = false;
    {
        const std::lock_guard lock(m_transfer.RecordLock());
        valid = ParseParamFile(text, m_transfer.Table(), &settings, &fault);
    }
    if (!valid) {
        kmr::ShowMessage("Error: " + ParamFileFaultText(path, fault) +
                         "\nThe file was not loaded; nothing was sent to the amplifier.");
        return;
    }
    const std::string question = "Load " + QuotedPath(path) + " into the amplifier?\nThis writes mode " +
                                 std::to_string(settings.mode) + " (" + MixerModeName(settings.mode) + ") and all " +
                                 std::to_string(PARAM_COUNT) + " parameters over the amplifier's own.";
    if (kmr::ShowMessage(question, true) != kmr::MSG_OK)
        return;
    // The records and the pages take the file's values once the amplifier has taken its mode,
    // just before the worker sends them; a refused or failed mode write leaves both as they were.
    MixerActionHooks hooks;
    hooks.startingWorker = [this, &settings] {
        {
            const std::lock_guard lock(m_transfer.RecordLock());
            ApplyParamSettings(settings, m_transfer.Table());
        }
        SetMixerMode(settings.mode);
        if (m_pages != nullptr)
            m_pages->Page(0)->UpdateAllParams();
    };
    const bool connected = Connected();
    RunWorkerAction([&](const MessageTargetPtr& target, const MixerActionHooks& h) {
        return ::WriteModeAndAllParams(settings.mode, connected, target, h, m_transfer);
    }, hooks);
}

void CDlgOptionParam::ResetMixerParams()
{
    MixerActionHooks hooks;
    hooks.setMixerMode = [this](int mode) { SetMixerMode(mode); };
    hooks.recordsReset = [this] {
        if (m_pages != nullptr)
            m_pages->Page(0)->ResetAllParams();  // the defaults, shown, and every slider its full range
    };
    const bool connected = Connected();
    RunWorkerAction([&](const MessageTargetPtr& target, const MixerActionHooks& h) {
        return ::ResetMixerParams(connected, target, h, m_transfer);
    }, hooks);
}

void CDlgOptionParam::InitAllPcParams()
{
    SetMixerMode(MIXER_MODE_MIXER);
    ResetAllParams();
    if (m_pages != nullptr)
        m_pages->Page(0)->UpdateAllParams();
}

void CDlgOptionParam::OnSelchangeComboModeselect(int mode)
{
    CProtocolMACLayer& mac = m_transfer.Protocol().Mac();
    if (m_transfer.IsRunning() || !mac.CanClaimLine(CProtocolMACLayer::LineUse::Exchanges)) {
        // The amplifier stays in the mode the worker (or the update) works with, and so does the box.
        if (m_mixerMode >= MIXER_MODE_MIXER && m_mixerMode < MIXER_MODE_COUNT)
            m_controls.Control<QComboBox>(IDC_OP_MODE)->setCurrentIndex(m_mixerMode);
        kmr::ShowMessage(mac.LineBusyText());
        return;
    }
    SetMixerMode(mode);
    auto offlineDefaults = [this, mode] {
        {
            const std::lock_guard lock(m_transfer.RecordLock());
            m_transfer.Table().LoadModeDefaults(mode);
        }
        ResetAllParams();
    };
    if (!ThePortHost().IsPortOpen()) {
        offlineDefaults();  // nothing is sent
        return;
    }
    if (!WriteMixerModeWithRetry(mode, m_transfer.Protocol())) {
        offlineDefaults();
        kmr::ShowMessage(MODE_CHANGE_ERROR_TEXT);
        return;
    }
    kmr::Sleep(MODE_CHANGE_PAUSE_MS);
    ReadMixerParams();  // the amplifier, now in the new mode, supplies every value
}

void CDlgOptionParam::OnProtocolNormalMSG(WorkerRun& run, WPARAM code, LPARAM value)
{
    switch (code) {
    case CParamTransfer::WRITE_ALL_PROGRESS:
    case CParamTransfer::READ_ALL_PROGRESS:
        if (run.window)
            run.window->SetProgress(static_cast<int>(value));
        if (value == CParamTransfer::ALL_DONE_PROGRESS) {
            run.ended = true;
            if (m_pages != nullptr)
                m_pages->Page(0)->UpdateAllParams();
            EndRun(run, true);
        }
        break;
    case CParamTransfer::WRITE_ALL_FAILED:
    case CParamTransfer::READ_ALL_FAILED:
        run.ended = true;
        if (run.window)
            run.window->SetProgress(CDlgProgress::DONE);
        kmr::ShowMessage(code == CParamTransfer::WRITE_ALL_FAILED ? WRITE_ALL_FAILED_TEXT : READ_ALL_FAILED_TEXT);
        EndRun(run, false);
        break;
    default:
        break;
    }
}

void CDlgOptionParam::OnEnter()
{
    if (!ThePortHost().IsPortOpen()) {
        kmr::ShowMessage(PORT_NOT_OPEN_TEXT);
        return;
    }
    const std::string command = m_controls.Text(IDC_OP_COMMAND).toStdString();
    m_controls.SetText(IDC_OP_RESULT, QString::fromStdString(RunRegisterCommand(command, m_transfer.Protocol())));
}
