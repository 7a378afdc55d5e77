// kmr6650-cli as a user runs it: the real program in a child process, against the simulated
// amplifier on a pseudo-terminal.
#include "AmpSimulator.h"
#include "UpdateFileMaker.h"
#include "support/CliRunner.h"
#include "support/SimLink.h"
#include "support/TempUpdateFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

CliRun Cli(const std::string& args, const std::string& env = "")
{
    return RunProgram(KMR_CLI_PATH, args, env);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.Start()); }
    std::string Port() const { return "--port " + sim.SlavePath() + " "; }
    CAmpSimulator sim;
};

} // namespace

TEST_F(CliTest, CheckAndVersionsAgainstAnAnsweringAmplifier)
{
    CliRun r = Cli(Port() + "check");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "OK\n");

    sim.SetParam(0xF005, 21);
    sim.SetParam(0xF007, 1121);
    r = Cli(Port() + "versions");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "FW V: 04B30015 / V1.2.03 b2\nEQ V: 00690461 / V0.1.05.Jrc2\n");
}

TEST_F(CliTest, JsonDocumentsForScriptsAndNothingElseOnStandardOutput)
{
    const std::string head = "{\"port\":\"" + sim.SlavePath() + "\",\"device\":\"" + sim.SlavePath() + "\",\"opened\":true,";
    CliRun r = Cli("--json " + Port() + "check");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, head + "\"ok\":true,\"result\":\"OK\"}\n");

    // The version labels with the raw words they are made of.
    sim.SetParam(0xF005, 21);
    sim.SetParam(0xF007, 1121);
    r = Cli("--json " + Port() + "versions");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, head + "\"ok\":true,\"firmware\":{\"text\":\"FW V: 04B30015 / V1.2.03 b2\",\"words\":[1203,21]},"
                            "\"eq\":{\"text\":\"EQ V: 00690461 / V0.1.05.Jrc2\",\"words\":[105,1121]}}\n");

    // Every parameter, numbers as numbers.
    r = Cli("--json " + Port() + "params read");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SplitLines(r.out).size(), 1u);
    std::size_t records = 0;
    for (std::size_t at = r.out.find("{\"page\":"); at != std::string::npos; at = r.out.find("{\"page\":", at + 1))
        ++records;
    EXPECT_EQ(records, 108u);
    EXPECT_NE(r.out.find("\"mode\":0,\"mode_name\":\"Mixer\",\"presets\":12,"), std::string::npos);
    EXPECT_NE(r.out.find("{\"page\":5,\"page_name\":\"Limiter\",\"slot\":2,\"address\":40966,\"address_hex\":\"0xA006\","
                         "\"name\":\"Output 1 Set Point\",\"label\":\"-3\",\"unit\":\"dBFS\",\"index\":37,\"value\":3}"),
              std::string::npos)
        << r.out.substr(0, 300);

    // The port survey with COM numbers.
    r = Cli("--json ports", "KMR6650_COM12=" + sim.SlavePath());
    EXPECT_NE(r.out.find("{\"com\":12,\"device\":\"" + sim.SlavePath() +
                         "\",\"description\":\"pseudo-terminal\",\"usable\":true,\"problem\":null,\"remedy\":null}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.status, 0);

    // Failures keep their exit status and their texts, which go to standard error.
    sim.SetSilent(true);
    r = Cli("--json " + Port() + "versions");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, head + "\"ok\":false,\"firmware\":{\"text\":\"FW V: 0000 / 000000\",\"words\":[null,null]},"
                            "\"eq\":{\"text\":\"EQ V: 0000 / 000000\",\"words\":[null,null]}}\n");
    r = Cli("--json --port /dev/kmr-no-such-adapter check");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"port\":\"/dev/kmr-no-such-adapter\",\"device\":\"/dev/kmr-no-such-adapter\",\"opened\":false,"
                     "\"ok\":false,\"result\":\"Can not open port.\"}\n");
    EXPECT_NE(r.err.find("no such device"), std::string::npos) << r.err;
    sim.SetSilent(false);

    // Every command that does work ends with one document: ok exactly when the status is 0.
    const TempUpdateFile preset(kmr::sim::MakePresetUpdateFile());
    const std::string dir = ::testing::TempDir() + "cli-json-" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    struct Case {
        std::string args;
        int status;
        std::vector<std::string> members;  // besides ok, result and seconds
    };
    const Case cases[] = {
        {Port() + "reg 'w16>0x3000,0x0010'", 0, {"port", "command"}},
        {Port() + "reg 'r16>0x300'", 2, {"command"}},
        {Port() + "update test", 0, {"port", "kind", "file", "status", "stopped_by"}},
        {"check-file preset " + preset.Path(), 0, {"kind", "file", "bytes", "blocks", "where"}},
        {Port() + "params save " + dir + "a.txt", 0, {"port", "file", "mode", "presets", "parameters"}},
        {Port() + "params load " + dir + "a.txt", 0, {"port", "file", "mode", "written", "parameters", "stopped_by"}},
        {Port() + "params diff " + dir + "a.txt", 0, {"port", "same", "a", "b", "mode", "differences"}},
        {Port() + "params reset", 0, {"port", "mode", "written", "parameters"}},
    };
    // On a terminal too, standard output holds the document alone: no progress bar there.
    r = RunProgram("script", "-qec \"" KMR_CLI_PATH " --json " + Port() + "params read 2>/dev/null\" /dev/null");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(SplitLines(r.out).size(), 1u) << r.out;
    EXPECT_NO_THROW((void)nlohmann::json::parse(r.out)) << r.out;

    for (const Case& c : cases) {
        r = Cli("--json " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        ASSERT_EQ(SplitLines(r.out).size(), 1u) << c.args << ": " << r.out;
        const auto doc = nlohmann::json::parse(r.out);
        EXPECT_EQ(doc.at("ok"), c.status == 0) << c.args;
        for (const std::string& member : c.members)
            EXPECT_TRUE(doc.contains(member)) << c.args << " has no " << member << ": " << r.out;
        EXPECT_TRUE(doc.contains("result")) << c.args;
        if (c.args.rfind("check-file", 0) != 0)
            EXPECT_TRUE(doc.at("seconds").is_number()) << c.args;
    }
    std::filesystem::remove_all(dir);
}

TEST_F(CliTest, JsonKeepsEveryCharacterOfANameAndJqGivesItBack)
{
    // Port names given through links: UTF-8, a control character, and a byte that is no UTF-8.
    const std::string dir = ::testing::TempDir() + "cli-names-" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(dir);
    const std::string document = dir + "doc.json";
    for (const std::string name : {"amp-\xC3\xBC", "amp\x01x", "amp-\xFF"}) {
        const std::string link = dir + name;
        ASSERT_EQ(symlink(sim.SlavePath().c_str(), link.c_str()), 0);
        const CliRun r = Cli("--json --port '" + link + "' check");
        ASSERT_EQ(r.status, 0) << r.err;
        std::ofstream(document) << r.out;
        if (name.back() != '\xFF') {
            // Valid UTF-8 stays a string with the very characters; jq gives the path back.
            EXPECT_EQ(name[3] == '\x01', r.out.find("\\u0001") != std::string::npos) << r.out;
            EXPECT_EQ(RunProgram("jq", "-j .port " + document).out, link);
        } else {
            // Other bytes come as an array of byte values, from which the path is made again.
            const CliRun j = RunProgram("jq", "-r '.port | map(tostring) | join(\" \")' " + document);
            std::istringstream numbers(j.out);
            std::string bytes;
            for (int b; numbers >> b;)
                bytes += static_cast<char>(b);
            EXPECT_EQ(bytes, link) << j.out;
        }
    }
    std::filesystem::remove_all(dir);
}

TEST_F(CliTest, OptionsAsGnuToolsTakeThemAndTheHelpAgreesWithTheCompletion)
{
    // Short and long forms, --opt=value, options before or after the command, -- to end them.
    for (const std::string& args :
         {"-p " + sim.SlavePath() + " check", "--port=" + sim.SlavePath() + " check", "check -p " + sim.SlavePath(),
          "check --port " + sim.SlavePath() + " -b 56000", "-q -p " + sim.SlavePath() + " -- check"}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        EXPECT_EQ(r.out, "OK\n") << args;
    }
    EXPECT_EQ(Cli("-V").out.rfind("kmr6650-cli ", 0), 0u);
    const CliRun bad = Cli("check --port");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err.rfind("kmr6650-cli: the option '--port' needs a value", 0), 0u) << bad.err;

    // --quiet: the final status and the errors, no progress and no steps.
    const CliRun quiet = Cli("-q " + Port() + "update test");
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "Successful!\n");

}

TEST_F(CliTest, SilentAmplifierIsAConnectionError)
{
    // A silent amplifier: the verdict is the result; why, on standard error, says that the port
    // is open and nothing answered on it.
    sim.SetSilent(true);
    CliRun r = Cli(Port() + "check");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Connection Error\n");
    EXPECT_NE(r.err.find("Error: No answer from the amplifier on " + sim.SlavePath() + " (the port is open)."),
              std::string::npos) << r.err;

    // The labels as the window shows them, and never only them: which words were not read.
    r = Cli(Port() + "versions");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "FW V: 0000 / 000000\nEQ V: 0000 / 000000\n");
    EXPECT_NE(r.err.find("The version words were not read: firmware word 1 (0xF004), firmware word 2 (0xF005), "
                         "EQ word 1 (0xF006), EQ word 2 (0xF007)"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No answer from the amplifier"), std::string::npos) << r.err;

    // Later steps of the check failing still count as OK, as the desktop program shows it.
    sim.SetSilent(false);
    sim.SetMuted(0x61, true);
    r = Cli(Port() + "check");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "OK\n");
}

TEST_F(CliTest, RegisterCommandsAndTheirExitStatus)
{
    CliRun r = Cli(Port() + "reg 'w16>0x3000,0x0abc'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Write OK\n");
    r = Cli(Port() + "reg 'r16>0x3000'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Data: 0x0abc\n");

    // Failures are errors: standard output holds results only.
    sim.ClearReceived();
    r = Cli(Port() + "reg 'r16>0x300'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Bad Command\n");
    r = Cli(Port() + "reg 'r16>0x30G0'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Bad Data\n");
    EXPECT_TRUE(sim.Received().empty());  // a bad command sends nothing

    sim.SetSilent(true);
    r = Cli(Port() + "reg 'r32#0x10000000'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, 11), "Read Error\n");
}

TEST_F(CliTest, BadInputAndUnopenablePorts)
{
    for (const char* args : {"", "frobnicate", "--port COM13 check", "--port COM0 check", "--port ttyUSB0 check",
                             "--bogus check", "check extra", "reg", "--port"}) {
        CliRun r = Cli(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("kmr6650-cli: "), std::string::npos) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    CliRun r = Cli("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: kmr6650-cli"), std::string::npos);

    r = Cli("--port /dev/kmr-no-such-adapter check");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Error: Can not open /dev/kmr-no-such-adapter: no such device"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Can not open port."), std::string::npos);

    // Text from the command line is quoted escaped, and a long word is cut short.
    r = Cli("--port \"$(printf 'COM\\033[2J')\" check");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("'COM\\x1B[2J'"), std::string::npos) << r.err;
    r = Cli("--port COM" + std::string(5000, '7') + " check");
    EXPECT_EQ(r.status, 2);
    EXPECT_LT(r.err.size(), 200u) << r.err;
    EXPECT_NE(r.err.find("777...'"), std::string::npos) << r.err;

    // COM ports map through the environment, as in the desktop program.
    r = Cli("--port COM4 check");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("COM4 (/dev/ttyS3)"), std::string::npos) << r.err;
    r = Cli("--port com2 check", "KMR6650_COM2=" + sim.SlavePath());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "OK\n");
}

TEST_F(CliTest, TraceRecordsEveryFrameBothWays)
{
    const std::string trace = ::testing::TempDir() + "kmr-trace-" + std::to_string(getpid());
    CliRun r = Cli(Port() + "--trace " + trace + " check");
    EXPECT_EQ(r.status, 0);
    const std::string text = ReadTextFile(trace);
    std::remove(trace.c_str());
    // Three requests and three answers, one line each, with the 16 bytes in hex.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6) << text;
    EXPECT_NE(text.find(" TX F8 08 00 00 00 00 00 00 00 00 00 00 00 00 01 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" RX F8 30 "), std::string::npos) << text;

    r = Cli(Port() + "--trace /nonexistent-dir/trace check");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("trace"), std::string::npos);

    // A trace that cannot be written whole fails the command although the read succeeded: here
    // the file size limit (2 KB) stops it part way.
    r = RunProgram("sh", "-c \"trap '' XFSZ; ulimit -f 4; exec " KMR_CLI_PATH " " + Port() + "--trace " + trace +
                             " params read\"");
    std::remove(trace.c_str());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("0x3000"), std::string::npos);
    EXPECT_NE(r.err.find("kmr6650-cli: the trace file '" + trace + "' is incomplete: File too large"), std::string::npos)
        << r.err;
}

namespace {

class CliUpdateTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        sim.Update().SetEraseTimeMs(100);
    }
    std::string File(const std::vector<std::uint8_t>& bytes) { return files.emplace_back(bytes).Path(); }
    std::list<TempUpdateFile> files;  // a list keeps them without moving them
};

} // namespace

TEST_F(CliUpdateTest, SystemUpdatePrintsEveryStatusAndTheProgress)
{
    const auto file = kmr::sim::MakeSystemUpdateFile();
    CliRun r = Cli(Port() + "--baud " + FAST_TEST_BAUD + " --yes update system " + File(file));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    std::vector<std::string> status, percents;
    for (const std::string& line : SplitLines(r.out)) {
        if (!line.empty() && line.back() == '%')
            percents.push_back(line);
        else
            status.push_back(line);
    }
    EXPECT_EQ(status, std::vector<std::string>({"Status: Establishing", "Status: Erasing", "Status: Writing Data", "Status: Verifying Data",
                                                "DSP Update Successfull!",
                                                "Please power cycle the amplifier to complete the update.",
                                                "Status: Update OK!"}));
    // The erase step (10), then 0..100 for each pass, as whole percentages on their own lines.
    ASSERT_EQ(percents.size(), 1u + 101u + 101u);
    EXPECT_EQ(percents[0], "10%");
    EXPECT_EQ(percents[1], "0%");
    EXPECT_EQ(percents[101], "100%");
    EXPECT_TRUE(sim.Update().Completed());
    EXPECT_EQ(sim.Update().Image().size(), 15078u * 12);
}

TEST_F(CliUpdateTest, NothingIsSentWithoutConsentOrWithABadFile)
{
    // No terminal and no --yes: the warning is answered Cancel.
    CliRun r = Cli(Port() + "update preset " + File(kmr::sim::MakePresetUpdateFile()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Are you sure you want to upgrade?"), std::string::npos);  // a question: not a result
    EXPECT_EQ(r.out, "");

    r = Cli(Port() + "--yes update preset " +
            File(kmr::sim::MakePresetUpdateFile({.fault = kmr::sim::PresetFileOptions::RECORD_SUM})));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: Invalid Preset Update file!"), std::string::npos) << r.err;

    r = Cli(Port() + "--yes update system /nonexistent/file.bin");
    EXPECT_EQ(r.status, 2) << "a missing file is bad input";
    EXPECT_TRUE(sim.Received().empty());

    EXPECT_EQ(Cli(Port() + "update firmware x.bin").status, 2);
    EXPECT_EQ(Cli(Port() + "update system").status, 2);
}

TEST_F(CliUpdateTest, UpdateTestAndAFailingPhase)
{
    CliRun r = Cli(Port() + "update test");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Establishing\nErasing\nWriting Data\nVerifying Data\nSuccessful!\n");

    sim.Update().SetNoAck(CSimUpdate::Verify, true);
    r = Cli(Port() + "update test");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Establishing\nErasing\nWriting Data\nVerifying Data\nVerify Error\n");
    EXPECT_EQ(r.err, "UPDATE TEST ERROR!\n");
}

TEST_F(CliUpdateTest, CheckFileSaysWhereAFileIsBroken)
{
    CliRun r = Cli("check-file system " + File(kmr::sim::MakeSystemUpdateFile()));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Valid system update file: 246464 bytes, sent as 15078 blocks of 12 bytes\n");

    r = Cli("check-file system " + File(kmr::sim::MakeSystemUpdateFile({.fault = kmr::sim::SystemFileOptions::MARKER})));
    EXPECT_EQ(r.status, 1);
    const auto lines = SplitLines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_EQ(lines[0], "Error: Invalid System Update file!");
    EXPECT_NE(lines[1].find("0x4000"), std::string::npos) << lines[1];

    r = Cli("check-file preset " + File(kmr::sim::MakePresetUpdateFile({.fault = kmr::sim::PresetFileOptions::SHORT})));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: Invalid Preset Update file!"), std::string::npos);
    EXPECT_EQ(Cli("check-file kernel x.bin").status, 2);
}
