// update system|preset FILE, update test, and check-file: the update dialog's job from a
// terminal. As in the dialog, nothing is sent before the update sequence itself, and the
// sequence sends nothing for a file that fails its check.
#include "Cli.h"

#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "platform/StopSignals.h"
#include "protocol/ProtocolAppUpdate.h"
#include "update/UpdateFile.h"
#include "update/UpdateStatus.h"

#include <cstdio>

namespace {

using U = CProtocolAppUpdate;

const char* const kNoSystemFile = "Before you can proceed you must select a system update file!";
const char* const kNoPresetFile = "Before you can proceed you must select a preset update file!";
const char* const kSystemWarning =
    "WARNING: This will erase the KMR 6650's old system software!\nAre you sure you want to upgrade? ";
const char* const kPresetWarning = "WARNING: This will erase the KMR 6650's old EQ Presets!\nAre you sure you want to upgrade?";

// Opens path in the slot of kind through the chooser, as the dialog's Select File does.
bool OpenUpdateFile(U::Kind kind, const std::string& path)
{
    kmr::FileChooser previous = kmr::SetFileChooser(
        [path](const std::string&, const std::string&, const std::string&, bool) { return path; });
    const bool open = kind == U::KIND_SYSTEM ? TheUpdateFile().OpenSystemFile() : TheUpdateFile().OpenPresetFile();
    kmr::SetFileChooser(previous);
    return open;
}

// Update files are refused above 2 GiB (block offsets travel in 32 bits).
constexpr std::uint64_t kMaxUpdateFileBytes = 0x7FFFFFFF;

// The phase a run is in, by the last phase code posted: 0 establishing .. 6 verifying.
const char* PhaseName(WPARAM phase)
{
    switch (phase) {
    case U::ERASING: return "Erasing";
    case U::WRITING: return "Writing Data";
    case U::VERIFYING: return "Verifying Data";
    default: return "Establishing";
    }
}

// How a run ended, and its final status line.
enum class RunEnd { Succeeded, Failed, Stopped };
struct RunResult {
    RunEnd end = RunEnd::Failed;
    std::string status;
};

// Follows a started run of kind until its threads have ended, printing each status text as it
// changes and the progress. SIGINT, SIGTERM or SIGHUP stop the run as closing the update
// dialog does: it ends after the current block, or at once during a wait, with the stop
// sequence; the final status then names the stop instead of the phase's error. Further signals
// while it stops change nothing.
RunResult FollowRun(PostQueue& posts, U::Kind kind)
{
    ProgressPrinter progress;
    RunResult result;
    int stopSignal = 0;
    WPARAM phase = U::ESTABLISHING;
    for (;;) {
        if (const int signal = kmr::CStopSignals::Received(); signal != 0 && stopSignal == 0) {
            stopSignal = signal;
            PrintStatus(std::string("Stopping the update (") + kmr::CStopSignals::Name(signal) + ")...");
            U& update = TheUpdateProtocol();
            kind == U::KIND_SYSTEM ? update.StopSystemUpdate()
                                   : kind == U::KIND_PRESET ? update.StopPresetUpdate() : update.StopUpdateTest();
        }
        const auto post = posts.Take(std::chrono::milliseconds(50));
        if (!post) {
            if (!TheUpdateProtocol().ThreadsAlive())
                break;  // ended; a run stopped by a file check posts nothing
            continue;
        }
        if (post->msg != WM_PROTOCOL_UPDATE_MSG)
            continue;
        const WPARAM code = post->wParam;
        if (IsUpdateProgressCode(code)) {
            progress.Show(UpdateProgressValue(post->lParam));
            continue;
        }
        progress.Finish();
        const WPARAM base = kind == U::KIND_SYSTEM ? U::SYSTEM_BASE : kind == U::KIND_PRESET ? U::PRESET_BASE : U::TEST_BASE;
        const bool success = code == base + U::UPDATE_OK;
        if (IsUpdateFinalCode(code) && !success && stopSignal != 0) {
            result = {RunEnd::Stopped, std::string("Status: Stopped by ") + kmr::CStopSignals::Name(stopSignal) +
                                           " while " + PhaseName(phase) + "."};
            PrintLine(result.status);
            if (kind != U::KIND_TEST && phase >= U::ERASING)
                PrintError(std::string("The amplifier's ") + (kind == U::KIND_SYSTEM ? "system software" : "EQ presets") +
                           " may now be incomplete: run the update again.");
            continue;
        }
        if (const WPARAM offset = code - base; code >= base && offset < U::UPDATE_OK && offset % 2 == 0)
            phase = offset;  // establishing, erasing, writing or verifying began
        // The final status is the run's result; the others are progress, left out by --quiet.
        for (const char* status : {UpdateStatusText(code), UpdateTestCaption(code)}) {
            if (status == nullptr)
                continue;
            if (IsUpdateFinalCode(code)) {
                result.status = status;
                PrintLine(status);
            } else {
                PrintStatus(status);
            }
        }
        if (IsUpdateTestFailure(code))
            PrintError(UPDATE_TEST_ERROR_TEXT);
        if (success)
            result.end = RunEnd::Succeeded;
    }
    progress.Finish();
    if (stopSignal != 0 && result.end != RunEnd::Succeeded)
        result.end = RunEnd::Stopped;
    return result;
}

bool ParseKind(const std::string& word, U::Kind* kind)
{
    if (word == "system")
        *kind = U::KIND_SYSTEM;
    else if (word == "preset")
        *kind = U::KIND_PRESET;
    else
        return false;
    return true;
}

} // namespace

int RunUpdate(const CliOptions& o)
{
    const auto start = std::chrono::steady_clock::now();
    U::Kind kind = U::KIND_TEST;
    const bool test = o.args.size() == 2 && o.args[1] == "test";
    if (!test && (o.args.size() != 3 || !ParseKind(o.args[1], &kind)))
        return UsageError("usage: update system FILE | update preset FILE | update test");
    int status = 0;
    if (!test && !CheckFileArgument(o.args[2], kMaxUpdateFileBytes, &status))
        return status;

    const kmr::CStopSignals signals;  // from here a signal stops the command cleanly
    PortSession port(o);
    // The document: what was updated from which file, how it ended, and how long it took.
    auto finish = [&](int exitStatus, const std::string& result, const std::string& finalStatus) {
        if (!o.json)
            return exitStatus;
        Json doc = port.JsonHead();
        doc["ok"] = exitStatus == 0;
        doc["kind"] = test ? "test" : o.args[1];
        doc["file"] = test ? Json(nullptr) : JsonText(o.args[2]);
        doc["status"] = finalStatus.empty() ? Json(nullptr) : Json(finalStatus);
        const int signal = kmr::CStopSignals::Received();
        doc["stopped_by"] = signal != 0 && exitStatus != 0 ? Json(kmr::CStopSignals::Name(signal)) : Json(nullptr);
        doc["result"] = result;
        doc["seconds"] = SecondsSince(start);
        PrintDocument(doc);
        return exitStatus;
    };
    if (!port.IsOpen())
        return finish(1, "Can not open port.", {});
    if (!test) {
        const bool system = kind == U::KIND_SYSTEM;
        if (!OpenUpdateFile(kind, o.args[2])) {
            PrintError(system ? kNoSystemFile : kNoPresetFile);
            return finish(1, system ? kNoSystemFile : kNoPresetFile, {});
        }
        const bool confirmed = kmr::ShowMessage(system ? kSystemWarning : kPresetWarning, true) == kmr::MSG_OK;
        if (!confirmed || kmr::CStopSignals::Received() != 0) {
            system ? TheUpdateFile().CloseSystemFile() : TheUpdateFile().ClosePresetFile();
            PrintError("Cancelled: nothing was sent.");
            const int signal = kmr::CStopSignals::Received();
            return finish(signal != 0 ? kmr::CStopSignals::ExitStatus(signal) : 1, "Cancelled: nothing was sent.", {});
        }
    }
    auto posts = PostQueue::Create();
    U& update = TheUpdateProtocol();
    const bool started = test ? update.StartUpdateTest(posts)
                         : kind == U::KIND_SYSTEM ? update.StartSystemUpdate(posts)
                                                  : update.StartPresetUpdate(posts);
    const RunResult run = started ? FollowRun(*posts, kind) : RunResult{};
    update.Shutdown();
    if (run.end == RunEnd::Stopped)
        return finish(kmr::CStopSignals::ExitStatus(kmr::CStopSignals::Received()), "Stopped.", run.status);
    if (run.end == RunEnd::Succeeded)
        return finish(0, "Updated.", run.status);
    return finish(1, started ? "The update failed." : "The update did not start.", run.status);
}

int RunCheckFile(const CliOptions& o)
{
    U::Kind kind;
    if (o.args.size() != 3 || !ParseKind(o.args[1], &kind))
        return UsageError("usage: check-file system|preset FILE");
    const bool system = kind == U::KIND_SYSTEM;
    int status = 0;
    if (!CheckFileArgument(o.args[2], kMaxUpdateFileBytes, &status))
        return status;
    if (!OpenUpdateFile(kind, o.args[2]))
        return 1;  // the reason has been shown
    CUpdateFile& files = TheUpdateFile();
    CUpdateFile::CheckFailure where;
    const bool valid = system ? files.CheckSystemFile(&where) : files.CheckPresetFile(&where);
    const std::int32_t length = system ? files.SystemFileLength() : files.PresetFileLength();
    const int blocks = system ? U::SystemBlockCount(length) : U::PRESET_BLOCKS;
    system ? files.CloseSystemFile() : files.ClosePresetFile();
    std::string error, detail;
    if (!valid) {
        error = system ? CUpdateFile::INVALID_SYSTEM_TEXT : CUpdateFile::INVALID_PRESET_TEXT;
        detail = where.text;
    } else if (blocks <= 0 || blocks > U::MAX_BLOCKS) {
        error = "Error: File length does not match!";
        detail = "the file's " + std::to_string(length) + " bytes make " + std::to_string(blocks) +
                 " blocks; an update carries 1 to " + std::to_string(U::MAX_BLOCKS);
    }
    const std::string result = error.empty() ? std::string("Valid ") + (system ? "system" : "preset") + " update file: " +
                                                   std::to_string(length) + " bytes, sent as " + std::to_string(blocks) +
                                                   " blocks of 12 bytes"
                                             : error;
    if (error.empty()) {
        PrintLine(result);
    } else {
        PrintError(error);
        PrintError(detail);
    }
    if (o.json)
        PrintDocument({{"ok", error.empty()},
                       {"kind", o.args[1]},
                       {"file", JsonText(o.args[2])},
                       {"bytes", length},
                       {"blocks", valid ? Json(blocks) : Json(nullptr)},  // a broken file makes no blocks
                       {"result", JsonText(result)},
                       {"where", JsonTextOrNull(detail)}});
    return error.empty() ? 0 : 1;
}
