#pragma once
// The Parameter Option panel's whole-table actions without their window: "Reset Mixer Param"
// (every record to its default, then the mixer mode and all parameters to the amplifier) and
// "Read Mixer Param " (the mixer mode, the preset count, then every parameter from the
// amplifier). The checks, the exchanges, the messages and the start of the worker are here;
// the window work between the steps (the work-mode box, the pages, the progress window) is
// done by the caller's hooks. The panel and the CLI both run these. When an exchange failed
// because the line to the amplifier is gone, what the port met is shown before the action's
// own failure text.
//
// Threads: call on the thread that owns the panel (the user-interface thread; the CLI's main
// thread). The exchanges run synchronously in that thread; messages are shown there through
// kmr::ShowMessage. The worker then reports to the target only by posting
// WM_PROTOCOL_NORMAL_MSG (see ParamTransfer.h).
#include "params/ParamTransfer.h"

#include <functional>

// Texts shown on the way.
inline constexpr const char* NOT_CONNECTED_TEXT =
    "Port is not open! Please open port!\nMake sure the cable is attched and try again.";
inline constexpr const char* RESET_MODE_WRITE_ERROR_TEXT = "Error: Reset Mixer parameters error!(Write mixer mode error)";
inline constexpr const char* READ_MODE_ERROR_TEXT = "Error: READ PARAMETERS ERROR! (Read mixer mode error)";
inline constexpr const char* READ_PRESET_COUNT_ERROR_TEXT = "Error: READ PARAMETERS ERROR! (Read EQ preset numbers error)";
inline constexpr const char* MIXER_MODE_ERROR_TEXT = "Error: Mixer mode error !";
// Shown by the panel (and the CLI) when the write-all or read-all worker posts its failure.
inline constexpr const char* WRITE_ALL_FAILED_TEXT =
    "Error: MIXER PARAMETERS RESET ERROR! (CDlgOptionParam::OnProtocolNormalMSG)";
inline constexpr const char* READ_ALL_FAILED_TEXT =
    "Error: MIXER PARAMETERS READ ERROR! (CDlgOptionParam::OnProtocolNormalMSG)";
// Shown when an action is asked for while a worker is still transferring parameters.
inline constexpr const char* TRANSFER_BUSY_TEXT =
    "Error: Parameters are still being transferred! Please wait until the transfer has ended.";

constexpr int MAX_EQ_PRESET_COUNT = 62;        // the highest preset count an amplifier can report
constexpr unsigned PRESET_READ_PAUSE_MS = 30;  // between the mode read and the preset-count read

enum class MixerAction {
    Started,            // the worker runs; its posts tell the rest
    Busy,               // a worker or an update held the line: nothing was done (after its message)
    NotConnected,       // after NOT_CONNECTED_TEXT
    ModeReadFailed,     // after READ_MODE_ERROR_TEXT
    PresetCountFailed,  // after READ_PRESET_COUNT_ERROR_TEXT
    ModeWriteFailed,    // after RESET_MODE_WRITE_ERROR_TEXT
};

// The caller's window work between the steps; each may be empty.
struct MixerActionHooks {
    // The current mixer mode has become mode: store it and show it (the panel's SetMixerMode).
    // After a read it is the amplifier's mode and may lie outside 0..2; the action has then
    // already shown MIXER_MODE_ERROR_TEXT, so the hook must not show it again.
    std::function<void(int mode)> setMixerMode;
    // Reset only: the records now hold the defaults (show them on the pages).
    std::function<void()> recordsReset;
    // Read only: the amplifier's preset count, 0..62 (the EQ page's SetEqPresetCount).
    std::function<void(int count)> setEqPresetCount;
    // Just before the worker starts (the panel starts its progress window at 10 here).
    std::function<void()> startingWorker;
};

// True for a mixer mode of 0..2; otherwise shows MIXER_MODE_ERROR_TEXT and returns false.
bool CheckMixerMode(int mode);

// The checks WriteModeAndAllParams and ReadMixerParams begin with, for a caller that must know
// before it asks the user anything (which file to save to or load): false after
// TRANSFER_BUSY_TEXT while a worker runs, after the line-busy text while an update holds the
// line, or after NOT_CONNECTED_TEXT when not connected. Sends nothing.
bool MixerActionAllowed(bool connected, CParamTransfer& transfer = TheParamTransfer());

// Writes mode to the amplifier (stored there as mode + 1) with ChangeModeOfMixer, and once more
// if that fails. True when one of the two writes was acknowledged.
bool WriteMixerModeWithRetry(int mode, CProtocolAppNormal& protocol = TheNormalProtocol());

// "Reset Mixer Param": refuses while a worker runs (Busy); hooks.setMixerMode(0); loads the
// mode-0 defaults (LoadModeDefaults) and sets every record's index to its default, under the
// records lock; hooks.recordsReset(); then WriteModeAndAllParams(0). The records are reset
// even when not connected (the pages show the defaults; only the sending is refused).
MixerAction ResetMixerParams(bool connected, const MessageTargetPtr& target, const MixerActionHooks& hooks = {},
                             CParamTransfer& transfer = TheParamTransfer());

// The tail of the reset, also used to write settings loaded from a file: refuses while a worker
// runs (Busy); if not connected shows NOT_CONNECTED_TEXT; writes mode with its one retry (both
// failing: RESET_MODE_WRITE_ERROR_TEXT, ModeWriteFailed, nothing else sent);
// hooks.startingWorker(); starts the write-all worker posting to target. The records are sent
// as they are.
MixerAction WriteModeAndAllParams(int mode, bool connected, const MessageTargetPtr& target,
                                  const MixerActionHooks& hooks = {}, CParamTransfer& transfer = TheParamTransfer());

// "Read Mixer Param ": refuses while a worker runs (Busy); if not connected shows
// NOT_CONNECTED_TEXT; reads the mixer mode (failing: READ_MODE_ERROR_TEXT); a mode outside
// 0..2 shows MIXER_MODE_ERROR_TEXT and the read goes on; hooks.setMixerMode(mode); pauses
// 30 ms; reads the preset count (failing or above 62: READ_PRESET_COUNT_ERROR_TEXT, no worker);
// hooks.setEqPresetCount(count); hooks.startingWorker(); starts the read-all worker posting to
// target. Records change only through the worker.
MixerAction ReadMixerParams(bool connected, const MessageTargetPtr& target, const MixerActionHooks& hooks = {},
                            CParamTransfer& transfer = TheParamTransfer());
