// params read, save, load and reset as a user runs them: the real program in a child process,
// against simulated amplifiers on pseudo-terminals.
#include "AmpSimulator.h"
#include "params/MixerOps.h"
#include "params/ParamText.h"
#include "params/ValueConvert.h"
#include "protocol/NormalMessages.h"
#include "support/CliRunner.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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

    // A second amplifier, fresh from the factory, gets the same settings, and saves the same bytes;
    // the file went through an editor that starts it with a byte order mark.
    CAmpSimulator other;
    ASSERT_TRUE(other.Start());
    WriteText(dir + "bom.txt", "\xEF\xBB\xBF" + saved);
    r = Cli("params load " + dir + "bom.txt", other);
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
        std::vector<std::string> errors;  // the first lines on standard error begin so
        bool listed;                      // what was read is still listed
    };
    const std::string silence = "Error: No answer from the amplifier on " + sim.SlavePath() + " (the port is open).";
    // The faults add up from case to case.
    const Case cases[] = {
        {[&] { sim.SetParam(normal::ADDR_MIXER_MODE, 0); }, {READ_MODE_ERROR_TEXT}, false},
        {[&] { sim.SetParam(normal::ADDR_MIXER_MODE, 4); sim.SetParam(normal::ADDR_EQ_PRESET_COUNT, 63); },
         {MIXER_MODE_ERROR_TEXT, READ_PRESET_COUNT_ERROR_TEXT}, false},
        // mode 3: read to the end, listed, and said to be out of range
        {[&] { sim.SetParam(normal::ADDR_EQ_PRESET_COUNT, 62); },
         {MIXER_MODE_ERROR_TEXT, "Error: The amplifier reports mixer mode 3, outside 0..2"}, true},
        // Page In, slot 3: the record and the value are named
        {[&] { sim.SetParam(normal::ADDR_MIXER_MODE, 1); sim.SetOutOfRangeReply(0x5003, true); },
         {"Error: The amplifier answered 21 for 0x5003 (Output 1 Release Time), outside its range 0..20.",
          READ_ALL_FAILED_TEXT}, false},
        {[&] { sim.SetSilent(true); }, {READ_MODE_ERROR_TEXT, silence}, false},
    };
    for (const Case& c : cases) {
        c.fault();
        for (const char* command : {"params read", "params save "}) {
            const bool save = command[7] == 's';
            CliRun r = Cli(command + (save ? dir + "keep.txt" : ""));
            EXPECT_EQ(r.status, 1) << r.out;
            const auto errors = SplitLines(r.err);
            ASSERT_GE(errors.size(), c.errors.size()) << r.err;
            for (std::size_t i = 0; i < c.errors.size(); ++i)
                EXPECT_EQ(errors[i].rfind(c.errors[i], 0), 0u) << command << ": " << errors[i];
            EXPECT_EQ(SplitLines(r.out).size(), c.listed && !save ? 2u + PARAM_COUNT : 0u) << command << r.out;
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
    EXPECT_EQ(r.err.rfind(std::string(RESET_MODE_WRITE_ERROR_TEXT) + "\nError: No answer from the amplifier", 0), 0u) << r.err;
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

    // A word of any length is quoted cut short: one readable line.
    WriteText(dir + "long.txt", "mode " + std::string(500000, '7') + "\n");
    const CliRun longWord = Cli("params load " + dir + "long.txt");
    EXPECT_EQ(longWord.status, 2);
    EXPECT_LT(longWord.err.size(), 300u);
    EXPECT_NE(longWord.err.find("'" + std::string(60, '7') + "...'"), std::string::npos) << longWord.err;
}

TEST_F(ParamsCliTest, SaveReplacesOnlyARegularFileThroughItsLinkKeepingModeAndOwner)
{
    // Destinations that are no regular file: bad input, found before the port is opened (this
    // port does not even exist), and left exactly as they were.
    const std::string fifo = dir + "fifo", node = dir + "null", sub = dir + "sub";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);  // what /dev/null is
    }
    fs::create_directory(sub);
    std::vector<std::string> bad = {fifo, sub, "", dir + "no-such-folder/x.txt", sub + "/"};
    if (root)
        bad.push_back(node);
    for (const std::string& path : bad) {
        const CliRun r = RunProgram(KMR_CLI_PATH, "--port /dev/kmr-no-such-adapter params save '" + path + "'");
        EXPECT_EQ(r.status, 2) << path;
        EXPECT_EQ(r.err.rfind("kmr6650-cli: cannot write '" + path + "': ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("Can not open"), std::string::npos) << r.err;
    }
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (root) {
        ASSERT_EQ(stat(node.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }

    // Through a link: the target is replaced whole, the link stays, the mode (and, where this
    // account may set it, the owner) stays.
    const std::string target = dir + "target.txt";
    WriteText(target, "old\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const passwd* nobody = getpwnam("nobody");
    if (root && nobody != nullptr) {
        ASSERT_EQ(chown(target.c_str(), nobody->pw_uid, 0), 0);
    }
    fs::create_symlink("target.txt", dir + "link.txt");
    const CliRun r = Cli("params save " + dir + "link.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir + "link.txt"));
    EXPECT_EQ(ReadTextFile(target).rfind("# KMR 6650 parameter file\n", 0), 0u);
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root && nobody != nullptr) {
        EXPECT_EQ(st.st_uid, nobody->pw_uid);
    }
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.insert(e.path().filename().string());
    std::set<std::string> expected = {"fifo", "sub", "target.txt", "link.txt"};
    if (root)
        expected.insert("null");
    EXPECT_EQ(left, expected);  // no temporary file left beside the target
}

TEST_F(ParamsCliTest, OutputThatCannotBeWrittenIsAnError)
{
    for (const char* args : {"params read > /dev/full", "--json versions > /dev/full", "check >&-"}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 1) << args;
        const auto lines = SplitLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << args << ": " << r.err;
        EXPECT_EQ(lines[0].rfind("kmr6650-cli: write error on standard output: ", 0), 0u) << lines[0];
    }
}

TEST_F(ParamsCliTest, ASignalStopsALoadBetweenTwoExchangesAndSaysHowFarItCame)
{
    CDSPParamTable table;
    for (int p = 0; p < PAGE_COUNT; ++p)
        for (int s = 0; s < table.GetCount(p); ++s)
            ToDeviceValue(*table.GetRecord(p, s));
    WriteText(dir + "p.txt", FormatParamFile(1, table));
    // The records in the parameter writes the amplifier took, the mode's own write left out.
    const auto recordsWritten = [&] {
        int records = 0;
        for (const auto& p : sim.Received())
            for (int k = 0; k < 3 && p[0] == normal::CMD_WRITE_PARAMS; ++k) {
                const int address = (p[1 + 4 * k] << 8) | p[2 + 4 * k];
                records += address != 0 && address != normal::ADDR_MIXER_MODE;
            }
        return records;
    };
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
        SCOPED_TRACE(signal);
        sim.ClearReceived();
        CliProcess load(KMR_CLI_PATH, "--port " + sim.SlavePath() + " params load " + dir + "p.txt");
        ASSERT_TRUE(WaitUntil([&] { return recordsWritten() >= 6; }, 60s));
        load.Signal(signal);
        const CliRun r = load.Wait();
        EXPECT_EQ(r.status, status) << r.out << r.err;
        int done = -1;
        ASSERT_EQ(std::sscanf(r.out.c_str(), "Stopped: %d of 108 parameters written.", &done), 1) << r.out;
        EXPECT_LT(done, PARAM_COUNT);
        EXPECT_EQ(done, recordsWritten());  // every group sent was whole and acknowledged
        EXPECT_EQ(sim.BadFrames(), 0u);
    }
}

TEST_F(ParamsCliTest, AnAmplifierLostDuringAReadIsNamedBeforeTheReadsOwnError)
{
    sim.SetLineBaud(9600);  // a read-all long enough to pull the amplifier in the middle
    CliProcess read(KMR_CLI_PATH, "--port " + sim.SlavePath() + " params read");
    ASSERT_TRUE(WaitUntil([&] { return sim.Received().size() >= 8; }, 60s));
    sim.Disconnect();
    const CliRun r = read.Wait();
    EXPECT_EQ(r.status, 1);
    const auto errors = SplitLines(r.err);
    ASSERT_GE(errors.size(), 3u) << r.err;
    EXPECT_EQ(errors[0].rfind("Error: Can not ", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find(": the device is gone"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[2], READ_ALL_FAILED_TEXT);
}

TEST_F(ParamsCliTest, DiffSaysWhatDiffersAndExitsAsDiffDoes)
{
    // The amplifier against its own file: nothing on standard output, exit 0.
    ASSERT_EQ(Cli("params save " + dir + "a.txt").status, 0);
    CliRun r = Cli("params diff " + dir + "a.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");

    // One record and the mode changed at the amplifier: a line each, both labels with the unit.
    sim.SetParam(0x3000, 16);
    sim.SetParam(normal::ADDR_MIXER_MODE, 2);
    r = Cli("params diff " + dir + "a.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "mode: amplifier 1 Stereo Select, file 0 Mixer\n"
                     "0x3000 Input 1 tone Bass: amplifier +2.00 dB, file 0.00 dB\n");
    const auto doc = nlohmann::json::parse(Cli("--json params diff " + dir + "a.txt").out);
    EXPECT_EQ(doc.at("result"), "1 parameter differs, and the mode.");
    EXPECT_EQ(doc.at("differences").at(0).at("b").at("label"), "0.00");

    // Two files, without a port: this one does not even exist.
    ASSERT_EQ(Cli("params save " + dir + "b.txt").status, 0);
    r = RunProgram(KMR_CLI_PATH, "--port /dev/kmr-no-such-adapter params diff " + dir + "a.txt " + dir + "b.txt");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "mode: " + dir + "a.txt 0 Mixer, " + dir + "b.txt 1 Stereo Select\n0x3000 Input 1 tone Bass: " +
                         dir + "a.txt 0.00 dB, " + dir + "b.txt +2.00 dB\n");

    // Bad input is found before the port is opened, and a failed read is trouble too: both 2.
    WriteText(dir + "bad.txt", "mode 7\n");
    r = RunProgram(KMR_CLI_PATH, "--port /dev/kmr-no-such-adapter params diff " + dir + "bad.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad.txt:1: the mixer mode must be 0, 1 or 2"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Can not open"), std::string::npos) << r.err;
    sim.SetSilent(true);
    r = Cli("params diff " + dir + "a.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}
