#include "support/DeviceUsers.h"

#include <csignal>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

OpenWatch::OpenWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
}

OpenWatch::~OpenWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OpenWatch::Add(const std::string& path)
{
    return m_fd >= 0 && inotify_add_watch(m_fd, path.c_str(), IN_OPEN) >= 0;
}

int OpenWatch::Opens()
{
    int opens = 0;
    alignas(inotify_event) char buf[4096];
    for (ssize_t n; (n = ::read(m_fd, buf, sizeof buf)) > 0;)
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            opens += (e->mask & IN_OPEN) != 0 ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    return opens;
}

HoldingProcess::HoldingProcess(const std::vector<int>& fds, const std::string& program)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (std::size_t i = 0; i < fds.size(); ++i)
        posix_spawn_file_actions_adddup2(&actions, fds[i], static_cast<int>(3 + i));
    std::string path = program, seconds = "600";
    char* argv[] = {path.data(), seconds.data(), nullptr};
    // posix_spawn returns once the program runs, so its name is already the program's.
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ) != 0)
        m_pid = 0;
    posix_spawn_file_actions_destroy(&actions);
}

HoldingProcess::~HoldingProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}
