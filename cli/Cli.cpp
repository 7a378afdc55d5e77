#include "Cli.h"

#include "link/ProtocolMACLayer.h"
#include "platform/InputFile.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace {
// Standard output is shared by the main thread (progress) and worker threads (messages): one
// lock keeps lines whole, and a message that arrives while a bar is drawn starts a new line.
std::mutex g_outputLock;
bool g_barOpen = false;
FILE* g_text = stdout;  // where texts go: standard error when standard output is a JSON document

void EndBarLine()
{
    if (g_barOpen)
        std::fprintf(g_text, "\n");
    g_barOpen = false;
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

void InstallMessageHandler(bool yes, bool json)
{
    g_text = json ? stderr : stdout;
    kmr::SetMessageHandler([yes](const std::string& text, bool showCancel) {
        std::unique_lock<std::mutex> lock(g_outputLock);
        EndBarLine();
        std::fprintf(g_text, "%s\n", text.c_str());
        std::fflush(g_text);
        if (!showCancel || yes)
            return kmr::MSG_OK;
        if (!isatty(STDIN_FILENO))
            return kmr::MSG_CANCEL;
        std::fprintf(g_text, "OK or Cancel? [o/C] ");
        std::fflush(g_text);
        std::string answer;
        if (!std::getline(std::cin, answer))
            return kmr::MSG_CANCEL;
        return (answer == "o" || answer == "O" || answer == "ok" || answer == "OK") ? kmr::MSG_OK : kmr::MSG_CANCEL;
    });
}

PortSession::PortSession(const CliOptions& o)
{
    m_host.SetPortSettings(o.portNumber, o.baud, "N", "8", "2");
    if (!o.devicePath.empty())
        m_host.SetPortDevice(o.devicePath);
    if (m_host.OpenPort() == 0) {
        PrintLine("Can not open port.");
        return;
    }
    if (const std::string warning = m_host.OpenWarning(); !warning.empty())
        std::fprintf(stderr, "%s\n", warning.c_str());
    TheMacLayer().SetPort(&m_host);
    kmr::Sleep(SETTLE_MS);
    m_open = true;
}

JsonObject PortSession::JsonHead() const
{
    JsonObject head;
    head.AddString("port", m_host.PortName()).AddString("device", m_host.DevicePath()).AddBool("opened", m_open);
    return head;
}

PortSession::~PortSession()
{
    TheMacLayer().SetPort(nullptr);
    if (m_host.IsPortOpen())
        m_host.ClosePort();
}

ProgressPrinter::ProgressPrinter() : m_terminal(isatty(STDOUT_FILENO) != 0)
{
}

void ProgressPrinter::Show(int percent)
{
    if (percent == m_last)
        return;
    m_last = percent;
    std::lock_guard<std::mutex> lock(g_outputLock);
    if (!m_terminal) {
        std::printf("%d%%\n", percent);
    } else {
        constexpr int kWidth = 40;
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        std::printf("\r[%s%s] %3d%%", std::string(filled, '#').c_str(), std::string(kWidth - filled, ' ').c_str(), percent);
        g_barOpen = true;
    }
    std::fflush(stdout);
}

void ProgressPrinter::Finish()
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    EndBarLine();
    m_last = -1;
    std::fflush(stdout);
}

void PrintLine(const std::string& text)
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    EndBarLine();
    std::fprintf(g_text, "%s\n", text.c_str());
    std::fflush(g_text);
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
