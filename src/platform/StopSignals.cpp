#include "platform/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kmr {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<int> g_received{0};
std::atomic<int> g_notifyFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");
struct sigaction g_previous[3];

extern "C" void OnStopSignal(int signal)
{
    int none = 0;
    g_received.compare_exchange_strong(none, signal);
    const int saved = errno;  // the interrupted code may be about to read errno
    if (const int fd = g_notifyFd.load(); fd >= 0) {
        const char byte = 1;
        (void)!::write(fd, &byte, 1);  // a full pipe already says that a signal came
    }
    errno = saved;
}

} // namespace

CStopSignals::CStopSignals()
{
    g_received = 0;
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) == 0)
        g_notifyFd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART: a blocking read of the terminal (the update's question) returns, so
    // that a stop is not held up by a question nobody answers.
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

CStopSignals::~CStopSignals()
{
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_notifyFd = -1;
    for (int fd : m_pipe)
        if (fd >= 0)
            ::close(fd);
}

int CStopSignals::Received()
{
    return g_received.load();
}

const char* CStopSignals::Name(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

} // namespace kmr
