#pragma once
// Other users of a device, for tests of what the program does to devices it does not own: a
// watch that sees every open of a file, and a separate process that holds descriptors.
#include <string>
#include <sys/types.h>
#include <vector>

// Counts the opens of watched files by anyone (inotify), so that a test can show that nothing
// opened them.
class OpenWatch {
public:
    OpenWatch();
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    // Watches path (not following a last symbolic link's target); false if it cannot.
    bool Add(const std::string& path);
    // The opens seen since the last call.
    int Opens();

private:
    int m_fd;
};

// A program that runs until it is ended (by default sleep), holding the descriptors fds as its
// descriptors 3, 4, ...; ended and reaped when the object goes.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::vector<int>& fds, const std::string& program = "/bin/sleep");
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    // The process id; 0 when it could not be started.
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = 0;
};
