// params read, save, load and reset as a user runs them: the real program in a child process,
// against simulated amplifiers on pseudo-terminals.
#include "AmpSimulator.h"
#include "params/MixerOps.h"
#include "params/ParamText.h"
#include "params/ValueConvert.h"
#include "protocol/NormalMessages.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class ParamsCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        dir = ::testing::TempDir() + "params-cli-" + std::to_string(getpid()) + "/";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the program with "--port <sim's device>" and args.
    CliRun Cli(const std::string& args, const CAmpSimulator& amp)
    {
        return RunProgram(KMR_CLI_PATH, "--port " + amp.SlavePath() + " " + args);
    }
    CliRun Cli(const std::string& args) { return Cli(args, sim); }

    // Every address of the table, and the mixer mode.
    static std::vector<std::uint16_t> Addresses()
    {
        CDSPParamTable table;
        std::vector<std::uint16_t> all{normal::ADDR_MIXER_MODE};
        for (int p = 0; p < PAGE_COUNT; ++p)
            for (int s = 0; s < table.GetCount(p); ++s)
                all.push_back(static_cast<std::uint16_t>(table.GetRecord(p, s)->address));
        return all;
    }

    CAmpSimulator sim;
    std::string dir;
};

} // namespace

TEST_F(ParamsCliTest, ReadListsEveryRecordAndSaveLoadCopiesOneAmplifierToAnother)
{
    sim.SetParam(normal::ADDR_MIXER_MODE, 3);  // Dual Mono Select
    sim.SetParam(0x3000, 20);                  // tone index 20
    sim.SetParam(0xA006, 0);                   // set point, reversed: index 40
    sim.SetParam(0x1005, 70);                  // Direct In volume, offset 20: index 50
    sim.SetParam(0xB000, 1);                   // check box
    sim.SetParam(0x5016, 0);                   // radio pair: the second button

    CliRun r = Cli("params read");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto lines = SplitLines(r.out);
    ASSERT_EQ(lines.size(), 2u + PARAM_COUNT) << r.out;  // no progress lines into a pipe
    EXPECT_EQ(lines[0], "mode 2 Dual Mono Select");
    EXPECT_EQ(lines[1], "presets 12");
    EXPECT_EQ(lines[2], "0 0 0x3000 \"Input 1 tone Bass\" +4.00 dB 20");
    for (const char* line : {"5 2 0xA006 \"Output 1 Set Point\" 0 dBFS 0",
                             "4 0 0x1005 \"Direct In Volume Level\" 10 dB 70",
                             "0 8 0xB000 \"AGC Enable, Input 1\" on 1", "3 23 0x5016 \"Page In Trig Mode\" Auto 0",
                             "2 0 0x6000 \"Output 1 Speak EQ ID\" 1 0", "7 0 0xF002 \"Wallplate Linked\" off 0"})
        EXPECT_TRUE(Contains(lines, line)) << line;

    r = Cli("params save " + dir + "a.txt");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string saved = ReadTextFile(dir + "a.txt");
    const auto fileLines = SplitLines(saved);
    EXPECT_TRUE(Contains(fileLines, "mode 2  # Dual Mono Select"));
    EXPECT_TRUE(Contains(fileLines, "0xA006 0      # Limiter: Output 1 Set Point = 0 dBFS"));

    // A second amplifier, fresh from the factory, gets the same settings, and saves the same bytes.
    CAmpSimulator other;
    ASSERT_TRUE(other.Start());
    r = Cli("params load " + dir + "a.txt", other);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (std::uint16_t a : Addresses())
        EXPECT_EQ(other.GetParam(a), sim.GetParam(a)) << std::hex << a;
    ASSERT_EQ(Cli("params save " + dir + "b.txt", other).status, 0);
    EXPECT_EQ(ReadTextFile(dir + "b.txt"), saved);

    // One changed record changes one line.
    other.SetParam(0x3006, 0);
    ASSERT_EQ(Cli("params save " + dir + "c.txt", other).status, 0);
    const auto changed = SplitLines(ReadTextFile(dir + "c.txt"));
    ASSERT_EQ(changed.size(), fileLines.size());
    int differing = 0;
    for (std::size_t i = 0; i < changed.size(); ++i)
        differing += changed[i] != fileLines[i];
    EXPECT_EQ(differing, 1);
}

TEST_F(ParamsCliTest, AFailedReadPrintsThePanelsMessagesAndWritesNoFile)
{
    WriteText(dir + "keep.txt", "old\n");
    struct Case {
        std::function<void()> fault;
        std::vector<std::string> expected;
    };
    // The faults add up from case to case.
    const Case cases[] = {
        {[&] { sim.SetParam(normal::ADDR_MIXER_MODE, 0); }, {READ_MODE_ERROR_TEXT}},
        {[&] { sim.SetParam(normal::ADDR_MIXER_MODE, 4); sim.SetParam(normal::ADDR_EQ_PRESET_COUNT, 63); },
         {MIXER_MODE_ERROR_TEXT, READ_PRESET_COUNT_ERROR_TEXT}},
        {[&] { sim.SetParam(normal::ADDR_EQ_PRESET_COUNT, 62); }, {MIXER_MODE_ERROR_TEXT}},  // mode 3, read to the end
        {[&] { sim.SetParam(normal::ADDR_MIXER_MODE, 1); sim.SetOutOfRangeReply(0x5003, true); },  // Page In, slot 3
         {"Error: Parameter1 out of range !   CProtocolAppNormal::ReadDSPParam", READ_ALL_FAILED_TEXT}},
        {[&] { sim.SetSilent(true); }, {READ_MODE_ERROR_TEXT}},
    };
    for (const Case& c : cases) {
        c.fault();
        for (const char* command : {"params read", "params save "}) {
            const bool save = command[7] == 's';
            CliRun r = Cli(command + (save ? dir + "keep.txt" : ""));
            EXPECT_EQ(r.status, 1) << r.out;
            EXPECT_EQ(SplitLines(r.out), c.expected) << command;
        }
        CliRun r = Cli("params save " + dir + "new.txt");
        EXPECT_EQ(r.status, 1);
    }
    EXPECT_EQ(ReadTextFile(dir + "keep.txt"), "old\n");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"keep.txt"});  // no new file, no temporary one
}

TEST_F(ParamsCliTest, LoadChecksTheWholeFileBeforeSendingAnything)
{
    CDSPParamTable table;
    for (int p = 0; p < PAGE_COUNT; ++p)
        for (int s = 0; s < table.GetCount(p); ++s)
            ToDeviceValue(*table.GetRecord(p, s));
    const std::string good = FormatParamFile(0, table);
    const std::string first = "0x3000 12     # Input: Input 1 tone Bass = 0.00 dB\n";
    ASSERT_NE(good.find(first), std::string::npos);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        return t.replace(t.find(from), from.size(), to);
    };
    const int firstLine = 6, lastLine = 5 + PARAM_COUNT;
    struct Case {
        std::string text;
        std::string where;  // what standard error must name
    };
    const Case cases[] = {
        {replaced("0x3000 12", "0x3FFF 12"), ":6: no parameter has the address 0x3FFF"},
        {replaced("0x3000 12", "0x3000 25"), ":6: value 25 of 0x3000 (Input 1 tone Bass) is outside its range 0..24"},
        {replaced("0x1005 60", "0x1005 19"), "value 19 of 0x1005 (Direct In Volume Level) is outside its range 20..70"},
        {replaced("0x3000 12", "0x3000 1x"), ":6: bad value '1x'"},
        {replaced("0x3000 12", "0x3000 -1"), ":6: bad value '-1'"},
        {replaced("0x3000 12", "0x300 12"), ":6: expected"},
        {replaced("mode 0", "mode 3"), ":5: the mixer mode must be 0, 1 or 2"},
        {replaced(first, ""), ": no line for 0x3000 (Input 1 tone Bass)"},
        {replaced("mode 0", "# mode 0"), ": no mode line"},
        {good + "mode 1\n", ":" + std::to_string(lastLine + 1) + ": a second mode line (the first is line 5)"},
        {good + "0x3000 12\n",
         ":" + std::to_string(lastLine + 1) + ": 0x3000 (Input 1 tone Bass) is given twice (the first time on line " +
             std::to_string(firstLine) + ")"},
        {good + "hello\n", ":" + std::to_string(lastLine + 1) + ": expected"},
        {good + "0x3000 12 13\n", ":" + std::to_string(lastLine + 1) + ": expected"},
    };
    for (const Case& c : cases) {
        WriteText(dir + "p.txt", c.text);
        CliRun r = Cli("params load " + dir + "p.txt");
        EXPECT_EQ(r.status, 2) << c.where;
        EXPECT_EQ(r.err.rfind("kmr6650-cli: " + dir + "p.txt", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.where), std::string::npos) << r.err;
    }
    EXPECT_EQ(Cli("params load " + dir + "missing.txt").status, 2);
    EXPECT_EQ(Cli("params load").status, 2);
    EXPECT_TRUE(sim.Received().empty());
}

TEST_F(ParamsCliTest, ResetWritesModeZeroAndEveryDefault)
{
    const CAmpSimulator fresh;
    sim.SetParam(normal::ADDR_MIXER_MODE, 2);
    sim.SetParam(0x3000, 3);
    sim.SetParam(0x4001, 1);  // an Output mix whose mode-0 default is off
    sim.SetParam(0xF002, 1);
    CliRun r = Cli("params reset");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Wrote mode 0 and 108 parameters.\n");
    for (std::uint16_t a : Addresses())
        EXPECT_EQ(sim.GetParam(a), fresh.GetParam(a)) << std::hex << a;

    // The mode write is tried twice; then nothing else is sent.
    sim.ClearReceived();
    sim.SetMuted(normal::CMD_WRITE_PARAMS, true);
    r = Cli("params reset");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string(RESET_MODE_WRITE_ERROR_TEXT) + "\n");
    EXPECT_EQ(sim.Received().size(), 2u);
}

TEST_F(ParamsCliTest, FileArgumentsThatAreNoReadableFilesAreBadInputBeforeThePortIsOpened)
{
    const std::string fifo = dir + "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir + "huge.bin";
    std::ofstream(huge).close();
    fs::resize_file(huge, 3ull << 30);  // sparse: takes no room
    const std::pair<std::string, std::string> cases[] = {
        {dir + "missing.txt", "No such file or directory"},
        {dir, "it is a folder"},
        {fifo, "it is not a regular file"},  // would block a plain open for ever
        {"/dev/zero", "it is not a regular file"},  // would never end
        {huge, "it is larger than"},
    };
    for (const auto& [path, reason] : cases)
        for (const char* command : {"update system ", "update preset ", "check-file system ", "params load "}) {
            const CliRun r = RunProgram(KMR_CLI_PATH, std::string("--port /dev/kmr-no-such-adapter --yes ") + command + path);
            EXPECT_EQ(r.status, 2) << command << path;
            EXPECT_NE(r.err.find("cannot use the file '" + path + "': " + reason), std::string::npos) << r.err;
            EXPECT_EQ(r.out.find("Can not open port."), std::string::npos) << "the port is never opened: " << r.out;
        }

    // A file's own bytes are quoted escaped: no terminal control, and a NUL does not cut the text.
    const char raw[] = "mode 0\n\x1b[2Jx\0y 5\n";
    WriteText(dir + "escape.txt", std::string(raw, sizeof raw - 1));
    const CliRun r = Cli("params load " + dir + "escape.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("escape.txt:2: expected \"mode M\" or \"0xAAAA VALUE\", not '\\x1B[2Jx\\x00y'"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
}
