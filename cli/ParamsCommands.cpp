// params read, save, load, reset and diff: the Parameter Option panel's whole-table actions from
// a terminal, over the same core calls the panel makes. The workers' posts are taken on the main
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
#include <memory>

namespace {

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

// How a command's exchanges ended; the text is the last result or failure line printed.
struct Outcome {
    enum Kind { Done, Failed, Stopped } kind = Failed;
    std::string text;
};

int ExitStatus(const Outcome& outcome)
{
    switch (outcome.kind) {
    case Outcome::Done: return 0;
    case Outcome::Stopped: return kmr::CStopSignals::ExitStatus(kmr::CStopSignals::Received());
    default: return 1;
    }
}

// A command stopped by a signal after records of them: says how far it came.
Outcome StoppedAt(int records, bool write)
{
    Outcome outcome{Outcome::Stopped, "Stopped: " + std::to_string(records) + " of " + std::to_string(PARAM_COUNT) +
                                          " parameters " + (write ? "written" : "read") + "."};
    PrintLine(outcome.text);
    return outcome;
}

Outcome Failed(const std::string& text)
{
    PrintError(text);
    return {Outcome::Failed, text};
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
        return {Outcome::Done, {}};
    if (stopAsked)
        return StoppedAt(transfer.RecordsDone(), write);
    const Outcome outcome = Failed(write ? WRITE_ALL_FAILED_TEXT : READ_ALL_FAILED_TEXT);
    if (!g_outOfRange && !port.Host().LineLost())  // a lost line or a bad value has said why
        port.ReportSilence();
    return outcome;
}

// An action that could not start its worker has said why; when the amplifier did not answer
// and the line is there, that is said too.
Outcome NotStarted(MixerAction action, const PortSession& port)
{
    if (action != MixerAction::Busy && !port.Host().LineLost())
        port.ReportSilence();
    return {Outcome::Failed, "the parameters could not be read or written"};
}

// "Read Mixer Param ": the mode, the preset count and every record into the program's table.
// The mode may be one the tool does not know; the caller reports it.
Outcome ReadEverything(const PortSession& port, int* mode, int* presets)
{
    if (!port.IsOpen())
        return {Outcome::Failed, "Can not open port."};
    if (kmr::CStopSignals::Received() != 0)
        return StoppedAt(0, false);
    auto posts = PostQueue::Create();
    MixerActionHooks hooks;
    hooks.setMixerMode = [mode](int m) { *mode = m; };
    hooks.setEqPresetCount = [presets](int c) { *presets = c; };
    const MixerAction action = ReadMixerParams(true, posts, hooks);
    if (action != MixerAction::Started)
        return NotStarted(action, port);
    return FollowTransfer(*posts, false, port);
}

// Reads and checks a parameter file into table. False after the reason has been given as bad
// input (*status 2): nothing is sent for a faulty file.
bool ReadParamFile(const std::string& path, CDSPParamTable& table, ParamSettings* settings, int* status)
{
    std::string text, readError;
    if (!kmr::ReadInputFile(path, PARAM_FILE_MAX_BYTES, &text, &readError)) {
        *status = UsageError("cannot use the file '" + kmr::Printable(path) + "': " + readError);
        return false;
    }
    ParamFileError fault;
    if (!ParseParamFile(text, table, settings, &fault)) {
        std::fprintf(stderr, "kmr6650-cli: %s\n", ParamFileFaultText(path, fault).c_str());
        *status = 2;
        return false;
    }
    return true;
}

// A record in a document: where it is, what it is, and its value.
Json RecordJson(int page, int slot, const DSPParam& r)
{
    return {{"page", page},
            {"page_name", CDSPParamTable::PageTitle(page)},
            {"slot", slot},
            {"address", r.address},
            {"address_hex", AddressText(static_cast<std::uint32_t>(r.address))},
            {"name", r.name},
            {"label", StepText(r)},
            {"unit", *r.unit != '\0' ? Json(r.unit) : Json(nullptr)},
            {"index", r.index},
            {"value", r.deviceValue}};
}

// Prints the command's document: head, then ok, the members given, the result line and the
// time taken. Returns status.
int Document(const Json& head, int status, const Json& members, const std::string& result,
             std::chrono::steady_clock::time_point start)
{
    Json doc = head;
    doc["ok"] = status == 0;
    for (const auto& [name, value] : members.items())
        doc[name] = value;
    doc["result"] = JsonText(result);
    doc["seconds"] = SecondsSince(start);
    PrintDocument(doc);
    return status;
}

int ParamsRead(const CliOptions& o, const std::string* savePath)
{
    const auto start = std::chrono::steady_clock::now();
    if (savePath != nullptr) {  // a destination that cannot take the file is found before any work
        std::string target, reason;
        if (!kmr::CheckOutputFile(*savePath, &target, &reason))
            return UsageError("cannot write '" + kmr::Printable(*savePath) + "': " + reason);
    }
    const kmr::CStopSignals signals;  // from here a signal stops the command between two exchanges
    PortSession port(o);
    int mode = -1, presets = -1;
    Outcome outcome = ReadEverything(port, &mode, &presets);
    Json members = Json::object();
    if (savePath != nullptr)
        members["file"] = JsonText(*savePath);
    if (outcome.kind != Outcome::Done)
        return o.json ? Document(port.JsonHead(), ExitStatus(outcome), members, outcome.text, start) : ExitStatus(outcome);

    // A mode the tool does not know is reported; what was read is still shown, but a file
    // holding it could not be loaded again, so none is written.
    const bool modeKnown = mode >= 0 && mode < MIXER_MODE_COUNT;
    if (!modeKnown)
        outcome = Failed("Error: The amplifier reports mixer mode " + std::to_string(mode) +
                         ", outside 0..2 (Mixer, Stereo Select, Dual Mono Select)." +
                         (savePath != nullptr ? " Nothing was saved: a file with this mode could not be loaded."
                                              : " The parameters were read all the same."));
    CParamTransfer& transfer = TheParamTransfer();
    CDSPParamTable& table = transfer.Table();
    const std::lock_guard lock(transfer.RecordLock());
    if (savePath != nullptr && modeKnown) {
        std::string reason;
        if (kmr::WriteFileAtomically(*savePath, FormatParamFile(mode, table), &reason)) {
            outcome.text = "Saved mode " + std::to_string(mode) + " and " + std::to_string(PARAM_COUNT) +
                           " parameters to " + kmr::Printable(*savePath) + ".";
            PrintLine(outcome.text);
        } else {
            outcome = Failed("kmr6650-cli: cannot write '" + kmr::Printable(*savePath) + "': " + reason);
        }
    } else if (savePath == nullptr && !o.json) {
        PrintLine("mode " + std::to_string(mode) + " " + MixerModeName(mode));
        PrintLine("presets " + std::to_string(presets));
        for (int page = 0; page < PAGE_COUNT; ++page)
            for (int slot = 0; slot < table.GetCount(page); ++slot)
                PrintLine(RecordListingLine(page, slot, *table.GetRecord(page, slot)));
    }
    if (!o.json)
        return ExitStatus(outcome);
    members["mode"] = mode;
    members["mode_name"] = MixerModeName(mode);
    members["presets"] = presets;
    if (savePath == nullptr) {
        Json records = Json::array();
        for (int page = 0; page < PAGE_COUNT; ++page)
            for (int slot = 0; slot < table.GetCount(page); ++slot)
                records.push_back(RecordJson(page, slot, *table.GetRecord(page, slot)));
        members["params"] = records;
    } else {
        members["parameters"] = outcome.kind == Outcome::Done ? PARAM_COUNT : 0;
    }
    return Document(port.JsonHead(), ExitStatus(outcome), members, outcome.text, start);
}

// Writes mode and the records as they are now, as the reset and the load do.
int WriteAll(const CliOptions& o, const std::function<MixerAction(const MessageTargetPtr&)>& action, int mode,
             Json members, std::chrono::steady_clock::time_point start)
{
    const kmr::CStopSignals signals;
    PortSession port(o);
    Outcome outcome{Outcome::Failed, "Can not open port."};
    if (port.IsOpen() && kmr::CStopSignals::Received() != 0) {
        outcome = StoppedAt(0, true);
    } else if (port.IsOpen()) {
        auto posts = PostQueue::Create();
        const MixerAction started = action(posts);
        outcome = started == MixerAction::Started ? FollowTransfer(*posts, true, port) : NotStarted(started, port);
    }
    if (outcome.kind == Outcome::Done) {
        outcome.text = "Wrote mode " + std::to_string(mode) + " and " + std::to_string(PARAM_COUNT) + " parameters.";
        PrintLine(outcome.text);
    }
    if (!o.json)
        return ExitStatus(outcome);
    members["mode"] = mode;
    members["written"] = outcome.kind == Outcome::Done ? PARAM_COUNT : TheParamTransfer().RecordsDone();
    members["parameters"] = PARAM_COUNT;
    const int signal = kmr::CStopSignals::Received();
    members["stopped_by"] = outcome.kind == Outcome::Stopped ? Json(kmr::CStopSignals::Name(signal)) : Json(nullptr);
    return Document(port.JsonHead(), ExitStatus(outcome), members, outcome.text, start);
}

int ParamsLoad(const CliOptions& o, const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    // Everything is checked before the port is even opened: a faulty file sends nothing.
    CParamTransfer& transfer = TheParamTransfer();
    ParamSettings settings;
    int status = 0;
    if (!ReadParamFile(path, transfer.Table(), &settings, &status))
        return status;
    {
        const std::lock_guard lock(transfer.RecordLock());
        ApplyParamSettings(settings, transfer.Table());
    }
    return WriteAll(o, [&](const MessageTargetPtr& posts) { return WriteModeAndAllParams(settings.mode, true, posts); },
                    settings.mode, {{"file", JsonText(path)}}, start);
}

int ParamsReset(const CliOptions& o)
{
    const auto start = std::chrono::steady_clock::now();
    return WriteAll(o, [](const MessageTargetPtr& posts) { return ResetMixerParams(true, posts); }, MIXER_MODE_MIXER,
                    Json::object(), start);
}

// params diff FILE (the amplifier against a file) and params diff FILE1 FILE2. As diff(1) has
// it: exit 0 the same, 1 different, 2 bad input or a failed read.
int ParamsDiff(const CliOptions& o)
{
    const auto start = std::chrono::steady_clock::now();
    const bool twoFiles = o.args.size() == 4;
    CDSPParamTable fileA, fileB;
    ParamSettings a, b;
    int status = 0;
    if (!ReadParamFile(o.args.back(), fileB, &b, &status) || (twoFiles && !ReadParamFile(o.args[2], fileA, &a, &status)))
        return status;
    ApplyParamSettings(b, fileB);
    const std::string nameB = twoFiles ? kmr::Printable(o.args[3]) : "file";
    std::string nameA = "amplifier";
    Json head = Json::object();
    int modeA = -1;
    CDSPParamTable* tableA = &fileA;
    std::unique_ptr<kmr::CStopSignals> signals;
    std::unique_ptr<PortSession> port;
    if (twoFiles) {
        ApplyParamSettings(a, fileA);
        modeA = a.mode;
        nameA = kmr::Printable(o.args[2]);
    } else {
        signals = std::make_unique<kmr::CStopSignals>();
        port = std::make_unique<PortSession>(o);
        int presets = -1;
        const Outcome read = ReadEverything(*port, &modeA, &presets);
        head = port->JsonHead();
        if (read.kind != Outcome::Done) {
            const int failed = read.kind == Outcome::Stopped ? ExitStatus(read) : 2;
            return o.json ? Document(head, failed, Json::object(), read.text, start) : failed;
        }
        tableA = &TheParamTransfer().Table();
    }
    const std::lock_guard lock(TheParamTransfer().RecordLock());
    const std::vector<ParamDifference> differences = CompareParams(*tableA, fileB);
    const bool same = differences.empty() && modeA == b.mode;
    if (modeA != b.mode)
        PrintLine(ModeDifferenceLine(modeA, b.mode, nameA, nameB));
    for (const ParamDifference& d : differences)
        PrintLine(DifferenceLine(d, nameA, nameB));
    if (!o.json)
        return same ? 0 : 1;
    Json list = Json::array();
    for (const ParamDifference& d : differences) {
        Json item = RecordJson(d.page, d.slot, *d.a);
        for (const char* member : {"label", "index", "value"})
            item.erase(member);
        item["a"] = {{"label", StepText(*d.a)}, {"value", d.a->deviceValue}};
        item["b"] = {{"label", StepText(*d.b)}, {"value", d.b->deviceValue}};
        list.push_back(item);
    }
    const Json members = {{"same", same},
                          {"a", twoFiles ? JsonText(o.args[2]) : Json("amplifier")},
                          {"b", JsonText(o.args.back())},
                          {"mode", {{"a", modeA}, {"b", b.mode}}},
                          {"differences", list}};
    const size_t n = differences.size();
    const std::string records = n == 1 ? "1 parameter differs" : std::to_string(n) + " parameters differ";
    const bool modeDiffers = modeA != b.mode;
    const std::string result = same                ? "The same."
                               : n == 0            ? "The mode differs."
                               : modeDiffers       ? records + ", and the mode."
                                                   : records + ".";
    return Document(head, same ? 0 : 1, members, result, start);
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
    if (sub == "diff" && (o.args.size() == 3 || o.args.size() == 4))
        return ParamsDiff(o);
    return UsageError("usage: params read | params save FILE | params load FILE | params reset | "
                      "params diff FILE | params diff FILE1 FILE2");
}
