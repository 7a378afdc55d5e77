// update system|preset FILE, update test, and check-file: the update dialog's job from a
// terminal. As in the dialog, nothing is sent before the update sequence itself, and the
// sequence sends nothing for a file that fails its check.
#include "Cli.h"

#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "protocol/ProtocolAppUpdate.h"
#include "update/UpdateFile.h"
#include "update/UpdateStatus.h"

#include <csignal>
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

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Follows a started run of kind until its threads have ended, printing each status text as it
// changes and the progress. Ctrl-C stops the run as closing the update dialog does: it ends
// after the current block with the phase's failure. True if the run ended with its success code.
bool FollowRun(PostQueue& posts, U::Kind kind)
{
    g_interrupted = 0;
    struct sigaction action {}, previous {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, &previous);
    ProgressPrinter progress;
    bool success = false;
    bool stopping = false;
    for (;;) {
        if (g_interrupted && !stopping) {
            stopping = true;
            PrintLine("Stopping the update...");
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
        if (const char* text = UpdateStatusText(code))
            PrintLine(text);
        if (const char* caption = UpdateTestCaption(code))
            PrintLine(caption);
        if (IsUpdateTestFailure(code))
            PrintLine(UPDATE_TEST_ERROR_TEXT);
        if (IsUpdateFinalCode(code))
            success = code == U::SYSTEM_BASE + U::UPDATE_OK || code == U::PRESET_BASE + U::UPDATE_OK ||
                      code == U::TEST_BASE + U::UPDATE_OK;
    }
    progress.Finish();
    sigaction(SIGINT, &previous, nullptr);
    return success;
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
    U::Kind kind = U::KIND_TEST;
    const bool test = o.args.size() == 2 && o.args[1] == "test";
    if (!test && (o.args.size() != 3 || !ParseKind(o.args[1], &kind)))
        return UsageError("usage: update system FILE | update preset FILE | update test");
    int status = 0;
    if (!test && !CheckFileArgument(o.args[2], kMaxUpdateFileBytes, &status))
        return status;

    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    if (!test) {
        const bool system = kind == U::KIND_SYSTEM;
        if (!OpenUpdateFile(kind, o.args[2])) {
            PrintLine(system ? kNoSystemFile : kNoPresetFile);
            return 1;
        }
        if (kmr::ShowMessage(system ? kSystemWarning : kPresetWarning, true) != kmr::MSG_OK) {
            system ? TheUpdateFile().CloseSystemFile() : TheUpdateFile().ClosePresetFile();
            PrintLine("Cancelled: nothing was sent.");
            return 1;
        }
    }
    auto posts = PostQueue::Create();
    U& update = TheUpdateProtocol();
    const bool started = test ? update.StartUpdateTest(posts)
                         : kind == U::KIND_SYSTEM ? update.StartSystemUpdate(posts)
                                                  : update.StartPresetUpdate(posts);
    const bool ok = started && FollowRun(*posts, kind);
    update.Shutdown();
    return ok ? 0 : 1;
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
    if (!valid) {
        PrintLine(system ? CUpdateFile::INVALID_SYSTEM_TEXT : CUpdateFile::INVALID_PRESET_TEXT);
        PrintLine(where.text);
        return 1;
    }
    if (blocks <= 0 || blocks > U::MAX_BLOCKS) {
        PrintLine("Error: File length does not match!");
        PrintLine("the file's " + std::to_string(length) + " bytes make " + std::to_string(blocks) +
                  " blocks; an update carries 1 to " + std::to_string(U::MAX_BLOCKS));
        return 1;
    }
    PrintLine(std::string("Valid ") + (system ? "system" : "preset") + " update file: " + std::to_string(length) +
              " bytes, sent as " + std::to_string(blocks) + " blocks of 12 bytes");
    return 0;
}
