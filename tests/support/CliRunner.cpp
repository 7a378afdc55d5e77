#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

CliRun RunProgram(const std::string& program, const std::string& args, const std::string& env)
{
    static std::atomic<int> serial{0};
    const std::string errPath =
        ::testing::TempDir() + "cli-stderr-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
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
