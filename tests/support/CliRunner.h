#pragma once
// Runs a command-line program as a user does, in a child process, and keeps what it printed.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

struct CliRun {
    int status = -1;   // exit status; -1 when it did not exit normally
    std::string out;   // standard output
    std::string err;   // standard error
};

// Runs program with args (a shell command line's words, quoted as needed), standard input from
// /dev/null; env is put before it on the shell line ("NAME=value ..."). A program still running
// after RUN_LIMIT_SECONDS is stopped and the run has status 124.
inline constexpr int RUN_LIMIT_SECONDS = 120;
CliRun RunProgram(const std::string& program, const std::string& args, const std::string& env = "");

// A program started in the background, for a test that acts while it runs (sends it a signal,
// pulls its amplifier). Standard input is /dev/null; what it prints is kept in files.
class CliProcess {
public:
    CliProcess(const std::string& program, const std::string& args);
    ~CliProcess();  // a program still running is killed
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;
    void Signal(int signal);
    // Waits up to limit for the program to end; status 124 when it did not.
    CliRun Wait(std::chrono::milliseconds limit = std::chrono::seconds(RUN_LIMIT_SECONDS));

private:
    pid_t m_pid = -1;
    std::string m_outPath, m_errPath;
};

std::string ReadTextFile(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);
