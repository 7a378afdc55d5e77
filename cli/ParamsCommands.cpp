// params read, save, load and reset: the Parameter Option panel's whole-table actions from a
// terminal, over the same core calls the panel makes. The workers' posts are taken on the main
// thread; every message the panel would show is printed as whole lines.
#include "Cli.h"

#include "params/MixerOps.h"
#include "params/ParamText.h"
#include "params/ParamTransfer.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "platform/StopSignals.h"

#include <atomic>
#include <cstdio>
#include <functional>

namespace {

constexpr std::size_t kMaxParamFileBytes = 1 << 20;  // a real file is about 10 KB

// Set by the worker when it met a value out of range (its message has been printed).
std::atomic<bool> g_outOfRange{false};

// Names the record and the value, where the desktop program's message names only the slot.
void ExplainOutOfRangeValues()
{
    TheParamTransfer().SetOutOfRangeText([](int, const DSPParam& r) {
        g_outOfRange = true;
        return "Error: The amplifier answered " + std::to_string(r.deviceValue) + " for " + DescribeRecord(r) +
               ", outside its range " + DeviceRangeText(r) + ".";
    });
}

enum class Outcome { Done, Failed, Stopped };

// Says how far a command came that a signal stopped, and gives its exit status.
int StoppedAt(int records, bool write)
{
    PrintLine("Stopped: " + std::to_string(records) + " of " + std::to_string(PARAM_COUNT) + " parameters " +
              (write ? "written" : "read") + ".");
    return kmr::CStopSignals::ExitStatus(kmr::CStopSignals::Received());
}

// Follows the worker just started until its last post, with a progress bar on a terminal
// (starting at 10, like the panel's progress window). A signal asks the worker to stop after
// the group it is exchanging: a record is never left between its write and its acknowledge.
Outcome FollowTransfer(PostQueue& posts, bool write, const PortSession& port)
{
    const WPARAM progressCode = write ? CParamTransfer::WRITE_ALL_PROGRESS : CParamTransfer::READ_ALL_PROGRESS;
    const WPARAM failedCode = write ? CParamTransfer::WRITE_ALL_FAILED : CParamTransfer::READ_ALL_FAILED;
    CParamTransfer& transfer = TheParamTransfer();
    ProgressPrinter progress;
    if (progress.OnTerminal())
        progress.Show(10);
    bool done = false;
    bool stopAsked = false;
    for (;;) {  // a worker always ends with a post: 100 or its failure code
        if (!stopAsked && kmr::CStopSignals::Received() != 0) {
            stopAsked = true;
            transfer.RequestStop();
        }
        const auto post = posts.Take(std::chrono::milliseconds(50));
        if (!post || post->msg != WM_PROTOCOL_NORMAL_MSG)
            continue;
        if (post->wParam == failedCode)
            break;
        if (post->wParam != progressCode)
            continue;
        if (progress.OnTerminal())
            progress.Show(static_cast<int>(post->lParam));
        if (post->lParam == CParamTransfer::ALL_DONE_PROGRESS) {
            done = true;
            break;
        }
    }
    progress.Finish();
    transfer.Join();
    if (done)
        return Outcome::Done;
    if (stopAsked) {
        StoppedAt(transfer.RecordsDone(), write);
        return Outcome::Stopped;
    }
    PrintError(write ? WRITE_ALL_FAILED_TEXT : READ_ALL_FAILED_TEXT);
    if (!g_outOfRange && !port.Host().LineLost())  // a lost line or a bad value has said why
        port.ReportSilence();
    return Outcome::Failed;
}

// The exit status of a command that ended with outcome.
int StatusOf(Outcome outcome)
{
    return outcome == Outcome::Done      ? 0
           : outcome == Outcome::Stopped ? kmr::CStopSignals::ExitStatus(kmr::CStopSignals::Received())
                                         : 1;
}

// An action that could not start its worker has said why; when the amplifier did not answer
// and the line is there, that is said too.
Outcome NotStarted(MixerAction action, const PortSession& port)
{
    if (action != MixerAction::Busy && !port.Host().LineLost())
        port.ReportSilence();
    return Outcome::Failed;
}

// "Read Mixer Param ": the mode, the preset count and every record into the program's table.
// The mode may be one the tool does not know; the caller reports it.
Outcome ReadEverything(const PortSession& port, int* mode, int* presets)
{
    auto posts = PostQueue::Create();
    MixerActionHooks hooks;
    hooks.setMixerMode = [mode](int m) { *mode = m; };
    hooks.setEqPresetCount = [presets](int c) { *presets = c; };
    const MixerAction action = ReadMixerParams(true, posts, hooks);
    if (action != MixerAction::Started)
        return NotStarted(action, port);
    return FollowTransfer(*posts, false, port);
}

std::string WrittenLine(int mode)
{
    return "Wrote mode " + std::to_string(mode) + " and " + std::to_string(PARAM_COUNT) + " parameters.";
}

// params read --json: the mode, the preset count and every record with its label and values.
std::string ParamsDocument(JsonObject doc, bool ok, int mode, int presets, CDSPParamTable& table)
{
    std::string records;
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < table.GetCount(page); ++slot) {
            const DSPParam& r = *table.GetRecord(page, slot);
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(r.address));
            JsonObject j;
            j.Add("page", page)
                .AddString("page_name", CDSPParamTable::PageTitle(page))
                .Add("slot", slot)
                .Add("address", static_cast<long long>(r.address))
                .AddString("address_hex", hex)
                .AddString("name", r.name)
                .AddString("label", StepText(r))
                .Add("unit", *r.unit != '\0' ? JsonString(r.unit) : std::string(JSON_NULL))
                .Add("index", static_cast<long long>(r.index))
                .Add("value", static_cast<long long>(r.deviceValue));
            records += (records.empty() ? "" : ",") + j.Text();
        }
    doc.AddBool("ok", ok).Add("mode", mode).AddString("mode_name", MixerModeName(mode)).Add("presets", presets);
    return doc.Add("params", "[" + records + "]").Text();
}

int ParamsRead(const CliOptions& o, const std::string* savePath)
{
    if (savePath != nullptr) {  // a destination that cannot take the file is found before any work
        std::string target, reason;
        if (!kmr::CheckOutputFile(*savePath, &target, &reason))
            return UsageError("cannot write '" + kmr::Printable(*savePath) + "': " + reason);
    }
    const kmr::CStopSignals signals;  // from here a signal stops the command between two exchanges
    PortSession port(o);
    int mode = -1, presets = -1;
    Outcome outcome = Outcome::Failed;
    if (port.IsOpen())
        outcome = kmr::CStopSignals::Received() != 0 ? (StoppedAt(0, false), Outcome::Stopped)
                                                     : ReadEverything(port, &mode, &presets);
    if (outcome != Outcome::Done) {
        if (o.json)
            PrintDocument(port.JsonHead().AddBool("ok", false).Text());
        return StatusOf(outcome);
    }
    // A mode the tool does not know is reported; what was read is still shown, but a file
    // holding it could not be loaded again, so none is written.
    const bool modeKnown = mode >= 0 && mode < MIXER_MODE_COUNT;
    if (!modeKnown)
        PrintError("Error: The amplifier reports mixer mode " + std::to_string(mode) +
                   ", outside 0..2 (Mixer, Stereo Select, Dual Mono Select)." +
                   (savePath != nullptr ? " Nothing was saved: a file with this mode could not be loaded."
                                        : " The parameters were read all the same."));
    CParamTransfer& transfer = TheParamTransfer();
    CDSPParamTable& table = transfer.Table();
    const std::lock_guard lock(transfer.RecordLock());
    if (o.json) {
        PrintDocument(ParamsDocument(port.JsonHead(), modeKnown, mode, presets, table));
        return modeKnown ? 0 : 1;
    }
    if (savePath != nullptr) {
        if (!modeKnown)
            return 1;
        std::string reason;
        if (!kmr::WriteFileAtomically(*savePath, FormatParamFile(mode, table), &reason)) {
            PrintError("kmr6650-cli: cannot write '" + kmr::Printable(*savePath) + "': " + reason);
            return 1;
        }
        PrintLine("Saved mode " + std::to_string(mode) + " and " + std::to_string(PARAM_COUNT) + " parameters to " +
                  kmr::Printable(*savePath) + ".");
        return 0;
    }
    PrintLine("mode " + std::to_string(mode) + " " + MixerModeName(mode));
    PrintLine("presets " + std::to_string(presets));
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < table.GetCount(page); ++slot)
            PrintLine(RecordListingLine(page, slot, *table.GetRecord(page, slot)));
    return modeKnown ? 0 : 1;
}

// Writes mode and the records as they are now, as the reset and the load do.
int WriteAll(const CliOptions& o, const std::function<MixerAction(const MessageTargetPtr&)>& start, int mode)
{
    const kmr::CStopSignals signals;
    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    if (kmr::CStopSignals::Received() != 0)
        return StoppedAt(0, true);
    auto posts = PostQueue::Create();
    const MixerAction action = start(posts);
    const Outcome outcome = action == MixerAction::Started ? FollowTransfer(*posts, true, port) : NotStarted(action, port);
    if (outcome == Outcome::Done)
        PrintLine(WrittenLine(mode));
    return StatusOf(outcome);
}

int ParamsLoad(const CliOptions& o, const std::string& path)
{
    // Everything is checked before the port is even opened: a faulty file sends nothing.
    std::string text, readError;
    if (!kmr::ReadInputFile(path, kMaxParamFileBytes, &text, &readError))
        return UsageError("cannot use the file '" + kmr::Printable(path) + "': " + readError);
    CParamTransfer& transfer = TheParamTransfer();
    ParamSettings settings;
    ParamFileError fault;
    if (!ParseParamFile(text, transfer.Table(), &settings, &fault)) {
        const std::string where = kmr::Printable(path) + (fault.line > 0 ? ":" + std::to_string(fault.line) : "");
        std::fprintf(stderr, "kmr6650-cli: %s: %s\n", where.c_str(), fault.reason.c_str());
        return 2;
    }
    {
        const std::lock_guard lock(transfer.RecordLock());
        transfer.Table().LoadModeDefaults(settings.mode);
        ApplyParamSettings(settings, transfer.Table());
    }
    return WriteAll(o, [&](const MessageTargetPtr& posts) { return WriteModeAndAllParams(settings.mode, true, posts); },
                    settings.mode);
}

int ParamsReset(const CliOptions& o)
{
    return WriteAll(o, [](const MessageTargetPtr& posts) { return ResetMixerParams(true, posts); }, MIXER_MODE_MIXER);
}

} // namespace

int RunParams(const CliOptions& o)
{
    ExplainOutOfRangeValues();
    const std::string sub = o.args.size() >= 2 ? o.args[1] : "";
    if (sub == "read" && o.args.size() == 2)
        return ParamsRead(o, nullptr);
    if (sub == "save" && o.args.size() == 3)
        return ParamsRead(o, &o.args[2]);
    if (sub == "load" && o.args.size() == 3)
        return ParamsLoad(o, o.args[2]);
    if (sub == "reset" && o.args.size() == 2)
        return ParamsReset(o);
    return UsageError("usage: params read | params save FILE | params load FILE | params reset");
}
