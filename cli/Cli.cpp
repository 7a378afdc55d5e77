#include "Cli.h"

#include "link/ProtocolMACLayer.h"
#include "platform/InputFile.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"
#include "protocol/ProtocolAppUpdate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {
// Standard output and error are shared by the main thread (progress) and worker threads
// (messages): one lock keeps lines whole, and a text that arrives while a bar is drawn starts a
// new line.
std::mutex g_outputLock;
bool g_barOpen = false;
FILE* g_text = stdout;  // results and status lines: standard error when standard output is a JSON document
bool g_quiet = false;
int g_stdoutError = 0;  // errno of the first write to standard output that failed

// Writes text and flushes it at once; the first failure on standard output is kept for
// FinishOutput. Called with g_outputLock held.
void Write(FILE* stream, const char* text)
{
    errno = 0;
    const bool written = std::fputs(text, stream) != EOF && std::fflush(stream) == 0;
    if (!written && stream == stdout && g_stdoutError == 0)
        g_stdoutError = errno != 0 ? errno : EIO;
}

// Called with g_outputLock held.
void EndBarLine()
{
    if (g_barOpen)
        Write(g_text, "\n");
    g_barOpen = false;
}

void Print(FILE* stream, const std::string& text)
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    EndBarLine();
    Write(stream, (text + "\n").c_str());
}
} // namespace

int UsageError(const std::string& reason)
{
    std::fprintf(stderr, "kmr6650-cli: %s (see kmr6650-cli --help)\n", reason.c_str());
    return 2;
}

bool CheckFileArgument(const std::string& path, std::uint64_t maxBytes, int* status)
{
    std::string reason;
    const int fd = kmr::OpenInputFile(path, maxBytes, &reason);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    *status = UsageError("cannot use the file '" + kmr::Printable(path) + "': " + reason);
    return false;
}

void ConfigureOutput(const CliOptions& o)
{
    g_text = o.json ? stderr : stdout;
    g_quiet = o.quiet;
    kmr::SetMessageHandler([yes = o.yes](const std::string& text, bool showCancel) {
        if (!showCancel) {
            Print(text == UPDATE_SUCCESS_TEXT ? g_text : stderr, text);
            return kmr::MSG_OK;
        }
        Print(stderr, text);
        if (yes)
            return kmr::MSG_OK;
        if (!isatty(STDIN_FILENO))
            return kmr::MSG_CANCEL;
        {
            std::lock_guard<std::mutex> lock(g_outputLock);
            Write(stderr, "[y/N] ");
        }
        std::string answer;
        if (!std::getline(std::cin, answer))
            return kmr::MSG_CANCEL;  // end of input, or a signal that stops the command
        for (char& c : answer)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return (answer == "y" || answer == "yes" || answer == "o" || answer == "ok") ? kmr::MSG_OK : kmr::MSG_CANCEL;
    });
}

void GuardStandardStreams()
{
    // Reading from a descriptor opened for writing fails, and so does writing to one opened
    // for reading.
    const int unusable[3] = {O_WRONLY, O_RDONLY, O_RDONLY};
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", unusable[fd]);
        if (opened >= 0 && opened != fd) {  // the lowest free number is fd, unless something raced
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

int FinishOutput(int status)
{
    int err = g_stdoutError != 0 ? g_stdoutError : std::ferror(stdout) != 0 ? EIO : 0;
    if (std::fclose(stdout) != 0 && err == 0)
        err = errno;
    if (err == 0)
        return status;
    std::fprintf(stderr, "kmr6650-cli: write error on standard output: %s\n", std::strerror(err));
    return status != 0 ? status : 1;
}

PortSession::PortSession(const CliOptions& o)
{
    m_host.SetPortSettings(o.portNumber, o.baud, "N", "8", "2");
    if (!o.devicePath.empty())
        m_host.SetPortDevice(o.devicePath);
    if (m_host.OpenPort() == 0) {
        PrintError("Can not open port.");
        return;
    }
    if (const std::string warning = m_host.OpenWarning(); !warning.empty())
        PrintError(warning);
    TheMacLayer().SetPort(&m_host);
    kmr::Sleep(SETTLE_MS);
    m_open = true;
}

std::string PortSession::Name() const
{
    const std::string port = m_host.PortName();
    const std::string device = m_host.DevicePath();
    return kmr::Printable(port == device ? device : port + " (" + device + ")");
}

void PortSession::ReportSilence() const
{
    const std::string lost = m_host.LineLostText();
    if (!lost.empty()) {
        PrintError(lost);
        return;
    }
    PrintError("Error: No answer from the amplifier on " + Name() +
               " (the port is open).\nCheck that the amplifier is switched on, that the cable is attached to its RS-232 "
               "port, and that it runs at the speed given with --baud (56000 unless changed).");
}

Json PortSession::JsonHead() const
{
    return {{"port", JsonText(m_host.PortName())}, {"device", JsonText(m_host.DevicePath())}, {"opened", m_open}};
}

PortSession::~PortSession()
{
    TheMacLayer().SetPort(nullptr);
    if (m_host.IsPortOpen())
        m_host.ClosePort();
}

ProgressPrinter::ProgressPrinter() : m_terminal(isatty(fileno(g_text)) != 0)
{
}

void ProgressPrinter::Show(int percent)
{
    if (percent == m_last || g_quiet)
        return;
    m_last = percent;
    std::lock_guard<std::mutex> lock(g_outputLock);
    if (!m_terminal) {
        Write(g_text, (std::to_string(percent) + "%\n").c_str());
    } else {
        constexpr int kWidth = 40;
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        char bar[16];
        std::snprintf(bar, sizeof bar, "] %3d%%", percent);
        Write(g_text, ("\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + bar).c_str());
        g_barOpen = true;
    }
}

void ProgressPrinter::Finish()
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    EndBarLine();
    m_last = -1;
}

void PrintLine(const std::string& text)
{
    Print(g_text, text);
}

void PrintStatus(const std::string& text)
{
    if (!g_quiet)
        Print(g_text, text);
}

void PrintError(const std::string& text)
{
    Print(stderr, text);
}

void PrintDocument(const Json& document)
{
    Print(stdout, JsonLine(document));
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(static_cast<long long>(s * 1000 + 0.5)) / 1000;  // to the millisecond
}

void PostQueue::PostMessage(unsigned msg, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_posts.push_back({msg, wParam, lParam});
    }
    m_cv.notify_one();
}

std::optional<PostQueue::Post> PostQueue::Take(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_cv.wait_for(lock, timeout, [this] { return !m_posts.empty(); }))
        return std::nullopt;
    Post p = m_posts.front();
    m_posts.pop_front();
    return p;
}
