// The bash completion of kmr6650-cli, run in a real bash as the shell calls it on Tab.
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

// The completions offered for the command line's words (shell words; the last one is the word
// under the cursor), in byte order.
Words Complete(const std::string& words)
{
    const std::string script = "source '" KMR_COMPLETION_SCRIPT "'\nCOMP_WORDS=(kmr6650-cli " + words +
                               ")\nCOMP_CWORD=$((${#COMP_WORDS[@]}-1))\n_kmr6650_cli\n"
                               "[ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\\n' \"${COMPREPLY[@]}\"\n";
    const fs::path file = fs::path(::testing::TempDir()) / ("completion-" + std::to_string(getpid()) + ".sh");
    std::ofstream(file) << script;
    const CliRun r = RunProgram("bash", "--norc " + file.string());
    fs::remove(file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << words;
    Words offered = SplitLines(r.out);
    std::sort(offered.begin(), offered.end());
    return offered;
}

} // namespace

TEST(CliCompletion, OffersOptionsCommandsSubcommandsPortsAndFilesWhereEachBelongs)
{
    EXPECT_EQ(Complete("''"), (Words{"check", "check-file", "params", "ports", "reg", "update", "versions"}));
    EXPECT_EQ(Complete("--"), (Words{"--baud", "--help", "--json", "--port", "--quiet", "--trace", "--version", "--yes"}));
    EXPECT_EQ(Complete("-"), (Words{"--baud", "--help", "--json", "--port", "--quiet", "--trace", "--version", "--yes",
                                   "-V", "-b", "-h", "-p", "-q", "-y"}));
    EXPECT_EQ(Complete("--port COM3 --baud 56000 --yes up"), Words{"update"});
    EXPECT_EQ(Complete("-p COM3 -b 56000 --trace=t.txt -y up"), Words{"update"});
    EXPECT_EQ(Complete("update ''"), (Words{"preset", "system", "test"}));
    EXPECT_EQ(Complete("check-file ''"), (Words{"preset", "system"}));
    EXPECT_EQ(Complete("params ''"), (Words{"diff", "load", "read", "reset", "save"}));
    // Nothing after a command's last argument; options go after the command too.
    EXPECT_EQ(Complete("params read ''"), Words{});
    EXPECT_EQ(Complete("update test ''"), Words{});
    EXPECT_EQ(Complete("check --j"), Words{"--json"});
    EXPECT_EQ(Complete("check --port COM3 --y"), Words{"--yes"});

    // --port: COM1..COM12 and every serial device present.
    Words ports;
    for (int n = 1; n <= 12; ++n)
        ports.push_back("COM" + std::to_string(n));
    for (const char* dir : {"/dev", "/dev/serial/by-id"}) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (std::string(dir) != "/dev" || name.rfind("ttyS", 0) == 0 || name.rfind("ttyUSB", 0) == 0 ||
                name.rfind("ttyACM", 0) == 0)
                ports.push_back(e.path().string());
        }
    }
    std::sort(ports.begin(), ports.end());
    EXPECT_EQ(Complete("--port ''"), ports);
    EXPECT_EQ(Complete("--port COM1"), (Words{"COM1", "COM10", "COM11", "COM12"}));

    // File names where a FILE goes, also names with a space.
    const fs::path dir = fs::path(::testing::TempDir()) / ("completion-files-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "WriteFlashFile.bin") << "x";
    std::ofstream(dir / "amp params.txt") << "x";
    const std::string prefix = (dir / "").string();
    const Words files{prefix + "WriteFlashFile.bin", prefix + "amp params.txt"};
    for (const std::string before :
         {"update system", "update preset", "check-file system", "check-file preset", "params save", "params load",
          "--trace"})
        EXPECT_EQ(Complete(before + " '" + prefix + "'"), files) << before;
    EXPECT_EQ(Complete("update test '" + prefix + "'"), Words{});
    EXPECT_EQ(Complete("params read '" + prefix + "'"), Words{});
    fs::remove_all(dir);
}

TEST(CliCompletion, OffersExactlyTheOptionsTheHelpNames)
{
    Words listed;
    std::istringstream help(RunProgram(KMR_CLI_PATH, "--help").out);
    for (std::string word; help >> word;)
        if (word.size() > 1 && word[0] == '-' && word != "--")
            listed.push_back(word.substr(0, word.find_first_of("=,")));
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    EXPECT_EQ(Complete("-"), listed);
}
