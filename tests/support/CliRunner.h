#pragma once
// Runs a command-line program as a user does, in a child process, and keeps what it printed.
#include <string>
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

std::string ReadTextFile(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);
