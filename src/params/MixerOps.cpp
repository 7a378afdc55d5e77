#include "params/MixerOps.h"

#include "params/MixerLink.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"

namespace {

// The one check every action starts with: a running worker owns the records and the line, and
// an update run owns the line.
bool RefuseWhileRunning(CParamTransfer& transfer)
{
    if (transfer.IsRunning()) {
        kmr::ShowMessage(TRANSFER_BUSY_TEXT);
        return true;
    }
    CProtocolMACLayer& mac = transfer.Protocol().Mac();
    if (mac.CanClaimLine(CProtocolMACLayer::LineUse::Exchanges))
        return false;
    kmr::ShowMessage(mac.LineBusyText());
    return true;
}

void Call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

void Call(const std::function<void(int)>& hook, int value)
{
    if (hook)
        hook(value);
}

// Busy or NotConnected after its message, or Started when nothing stands in the way (nothing
// has been started then).
MixerAction Refusal(bool connected, CParamTransfer& transfer)
{
    if (RefuseWhileRunning(transfer))
        return MixerAction::Busy;
    if (!connected) {
        kmr::ShowMessage(NOT_CONNECTED_TEXT);
        return MixerAction::NotConnected;
    }
    return MixerAction::Started;
}

MixerAction StartWorker(int started)
{
    // A start refused in a race with another user of the line has said so in a message.
    return started != 0 ? MixerAction::Started : MixerAction::Busy;
}

} // namespace

bool CheckMixerMode(int mode)
{
    if (mode >= MIXER_MODE_MIXER && mode < MIXER_MODE_COUNT)
        return true;
    kmr::ShowMessage(MIXER_MODE_ERROR_TEXT);
    return false;
}

bool MixerActionAllowed(bool connected, CParamTransfer& transfer)
{
    return Refusal(connected, transfer) == MixerAction::Started;
}

bool WriteMixerModeWithRetry(int mode, CProtocolAppNormal& protocol)
{
    const int stored = mode + 1;  // the amplifier keeps 1, 2, 3
    return ChangeModeOfMixer(stored, protocol) == CProtocolAppNormal::OK ||
           ChangeModeOfMixer(stored, protocol) == CProtocolAppNormal::OK;
}

MixerAction ResetMixerParams(bool connected, const MessageTargetPtr& target, const MixerActionHooks& hooks,
                             CParamTransfer& transfer)
{
    if (RefuseWhileRunning(transfer))
        return MixerAction::Busy;
    Call(hooks.setMixerMode, MIXER_MODE_MIXER);
    {
        const std::lock_guard lock(transfer.RecordLock());
        CDSPParamTable& table = transfer.Table();
        table.LoadModeDefaults(MIXER_MODE_MIXER);
        for (int page = 0; page < PAGE_COUNT; ++page) {
            DSPParam* records = table.GetPage(page);
            for (int slot = 0; slot < table.GetCount(page); ++slot)
                records[slot].index = records[slot].defaultIndex;
        }
    }
    Call(hooks.recordsReset);
    return WriteModeAndAllParams(MIXER_MODE_MIXER, connected, target, hooks, transfer);
}

MixerAction WriteModeAndAllParams(int mode, bool connected, const MessageTargetPtr& target,
                                  const MixerActionHooks& hooks, CParamTransfer& transfer)
{
    if (const MixerAction refused = Refusal(connected, transfer); refused != MixerAction::Started)
        return refused;
    if (!WriteMixerModeWithRetry(mode, transfer.Protocol())) {
        transfer.Protocol().Mac().ShowLineLost();
        kmr::ShowMessage(RESET_MODE_WRITE_ERROR_TEXT);
        return MixerAction::ModeWriteFailed;
    }
    Call(hooks.startingWorker);
    return StartWorker(transfer.StartWriteAllParams(target));
}

MixerAction ReadMixerParams(bool connected, const MessageTargetPtr& target, const MixerActionHooks& hooks,
                            CParamTransfer& transfer)
{
    if (const MixerAction refused = Refusal(connected, transfer); refused != MixerAction::Started)
        return refused;
    CProtocolAppNormal& protocol = transfer.Protocol();
    const int mode = ReadMixerMode(protocol);
    if (mode < 0) {
        protocol.Mac().ShowLineLost();
        kmr::ShowMessage(READ_MODE_ERROR_TEXT);
        return MixerAction::ModeReadFailed;
    }
    CheckMixerMode(mode);  // an unknown mode is reported, and the parameters are read all the same
    Call(hooks.setMixerMode, mode);
    kmr::Sleep(PRESET_READ_PAUSE_MS);
    const int count = ReadEqPresetCount(protocol);
    if (count < 0 || count > MAX_EQ_PRESET_COUNT) {
        protocol.Mac().ShowLineLost();
        kmr::ShowMessage(READ_PRESET_COUNT_ERROR_TEXT);
        return MixerAction::PresetCountFailed;
    }
    Call(hooks.setEqPresetCount, count);
    Call(hooks.startingWorker);
    return StartWorker(transfer.StartReadAllParams(target));
}
