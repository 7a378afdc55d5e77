// params read, save, load and reset: the Parameter Option panel's whole-table actions from a
// terminal, over the same core calls the panel makes. The workers' posts are taken on the main
// thread; every message the panel would show is printed as whole lines.
#include "Cli.h"

#include "params/MixerOps.h"
#include "params/ParamText.h"
#include "params/ParamTransfer.h"
#include "platform/InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxParamFileBytes = 1 << 20;  // a real file is about 10 KB

// Follows the worker just started until its last post, with a progress bar on a terminal
// (starting at 10, like the panel's progress window). True when it posted 100; otherwise the
// panel's failure text has been printed.
bool FollowTransfer(PostQueue& posts, bool write)
{
    const WPARAM progressCode = write ? CParamTransfer::WRITE_ALL_PROGRESS : CParamTransfer::READ_ALL_PROGRESS;
    const WPARAM failedCode = write ? CParamTransfer::WRITE_ALL_FAILED : CParamTransfer::READ_ALL_FAILED;
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    ProgressPrinter progress;
    if (terminal)
        progress.Show(10);
    bool done = false;
    for (;;) {  // a worker always ends with a post: 100 or its failure code
        const auto post = posts.Take(std::chrono::seconds(1));
        if (!post || post->msg != WM_PROTOCOL_NORMAL_MSG)
            continue;
        if (post->wParam == failedCode)
            break;
        if (post->wParam != progressCode)
            continue;
        if (terminal)
            progress.Show(static_cast<int>(post->lParam));
        if (post->lParam == CParamTransfer::ALL_DONE_PROGRESS) {
            done = true;
            break;
        }
    }
    progress.Finish();
    TheParamTransfer().Join();
    if (!done)
        PrintLine(write ? WRITE_ALL_FAILED_TEXT : READ_ALL_FAILED_TEXT);
    return done;
}

// "Read Mixer Param ": the mode, the preset count and every record into the program's table.
// True only if everything was read and the mode is one the tool knows (an unknown mode has been
// reported; a file holding it could not be loaded again).
bool ReadEverything(int* mode, int* presets)
{
    auto posts = PostQueue::Create();
    MixerActionHooks hooks;
    hooks.setMixerMode = [mode](int m) { *mode = m; };
    hooks.setEqPresetCount = [presets](int c) { *presets = c; };
    if (ReadMixerParams(true, posts, hooks) != MixerAction::Started)
        return false;
    return FollowTransfer(*posts, false) && *mode >= 0 && *mode < MIXER_MODE_COUNT;
}

// Writes text to path so that path holds either its old contents or all of text, never a part:
// a temporary file in the same folder is written, flushed to disk and renamed over path.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error)
{
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        *error = "cannot create a file beside '" + path + "': " + std::strerror(errno);
        return false;
    }
    const mode_t mask = umask(0);  // the file gets the permissions a plain create would give it
    umask(mask);
    int err = fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
    for (std::size_t done = 0; err == 0 && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            err = n == 0 ? EIO : errno;
    }
    if (err == 0 && fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && std::rename(temp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        *error = "cannot write '" + path + "': " + std::strerror(err);
        return false;
    }
    return true;
}

std::string WrittenLine(int mode)
{
    return "Wrote mode " + std::to_string(mode) + " and " + std::to_string(PARAM_COUNT) + " parameters.";
}

// params read --json: the mode, the preset count and every record with its label and values.
std::string ParamsDocument(JsonObject doc, int mode, int presets, CDSPParamTable& table)
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
    doc.AddBool("ok", true).Add("mode", mode).AddString("mode_name", MixerModeName(mode)).Add("presets", presets);
    return doc.Add("params", "[" + records + "]").Text();
}

int ParamsRead(const CliOptions& o, const std::string* savePath)
{
    PortSession port(o);
    int mode = -1, presets = -1;
    if (!port.IsOpen() || !ReadEverything(&mode, &presets)) {
        if (o.json)
            std::printf("%s\n", port.JsonHead().AddBool("ok", false).Text().c_str());
        return 1;
    }
    CParamTransfer& transfer = TheParamTransfer();
    CDSPParamTable& table = transfer.Table();
    const std::lock_guard lock(transfer.RecordLock());
    if (o.json) {
        std::printf("%s\n", ParamsDocument(port.JsonHead(), mode, presets, table).c_str());
        return 0;
    }
    if (savePath != nullptr) {
        std::string error;
        if (!WriteFileAtomically(*savePath, FormatParamFile(mode, table), &error)) {
            PrintLine(error);
            return 1;
        }
        PrintLine("Saved mode " + std::to_string(mode) + " and " + std::to_string(PARAM_COUNT) + " parameters to " +
                  *savePath + ".");
        return 0;
    }
    PrintLine("mode " + std::to_string(mode) + " " + MixerModeName(mode));
    PrintLine("presets " + std::to_string(presets));
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < table.GetCount(page); ++slot)
            PrintLine(RecordListingLine(page, slot, *table.GetRecord(page, slot)));
    return 0;
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
    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    {
        const std::lock_guard lock(transfer.RecordLock());
        transfer.Table().LoadModeDefaults(settings.mode);
        ApplyParamSettings(settings, transfer.Table());
    }
    auto posts = PostQueue::Create();
    if (WriteModeAndAllParams(settings.mode, true, posts) != MixerAction::Started || !FollowTransfer(*posts, true))
        return 1;
    PrintLine(WrittenLine(settings.mode));
    return 0;
}

int ParamsReset(const CliOptions& o)
{
    PortSession port(o);
    if (!port.IsOpen())
        return 1;
    auto posts = PostQueue::Create();
    if (ResetMixerParams(true, posts) != MixerAction::Started || !FollowTransfer(*posts, true))
        return 1;
    PrintLine(WrittenLine(MIXER_MODE_MIXER));
    return 0;
}

} // namespace

int RunParams(const CliOptions& o)
{
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
