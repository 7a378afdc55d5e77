#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
std::string TempPath(const char* what)
{
    static std::atomic<int> serial{0};
    return ::testing::TempDir() + "cli-" + what + "-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
}
} // namespace

CliRun RunProgram(const std::string& program, const std::string& args, const std::string& env)
{
    const std::string errPath = TempPath("stderr");
    // timeout(1) stops a program that hangs, so the test fails instead of waiting for ever.
    const std::string cmd = env + " timeout -k 5 " + std::to_string(RUN_LIMIT_SECONDS) + " " + program + " " + args +
                            " 2>" + errPath + " </dev/null";
    CliRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr)
        return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr)
        r.out += buf;
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = ReadTextFile(errPath);
    std::remove(errPath.c_str());
    return r;
}

CliProcess::CliProcess(const std::string& program, const std::string& args)
    : m_outPath(TempPath("stdout")), m_errPath(TempPath("stderr"))
{
    // exec: the shell becomes the program, so that a signal sent to the process id reaches it.
    const std::string cmd = "exec " + program + " " + args + " >" + m_outPath + " 2>" + m_errPath + " </dev/null";
    m_pid = fork();
    if (m_pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

CliProcess::~CliProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    std::remove(m_outPath.c_str());
    std::remove(m_errPath.c_str());
}

void CliProcess::Signal(int signal)
{
    if (m_pid > 0)
        kill(m_pid, signal);
}

CliRun CliProcess::Wait(std::chrono::milliseconds limit)
{
    CliRun r;
    const auto end = std::chrono::steady_clock::now() + limit;
    int st = 0;
    while (m_pid > 0 && waitpid(m_pid, &st, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            r.status = 124;
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = ReadTextFile(m_outPath);
    r.err = ReadTextFile(m_errPath);
    return r;
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
