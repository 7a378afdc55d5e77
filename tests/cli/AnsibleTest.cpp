// The Ansible playbooks of examples/ansible as a company runs them on its amplifiers:
// ansible-playbook in a child process, against three hosts on this machine (local
// connection), each with its own simulated amplifier on a pseudo-terminal, paced at the fast
// test speed that the inventory gives the tool too.
#include "AmpSimulator.h"
#include "UpdateFileMaker.h"
#include "app/VersionText.h"
#include "support/CliRunner.h"
#include "support/SimLink.h"
#include "support/TempUpdateFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// What Ansible's recap says of one host: how many tasks changed something, how many failed.
struct HostRecap {
    int changed = -1, failed = -1;
};

// The recap at the end of ansible-playbook's output, by host name.
std::map<std::string, HostRecap> ParseRecap(const std::string& out)
{
    std::map<std::string, HostRecap> hosts;
    const std::size_t start = out.find("PLAY RECAP");
    if (start == std::string::npos)
        return hosts;
    static const std::regex line(R"((\S+)\s+:\s+ok=\d+\s+changed=(\d+)\s+unreachable=\d+\s+failed=(\d+))");
    for (const std::string& text : SplitLines(out.substr(start))) {
        std::smatch m;
        if (std::regex_search(text, m, line))
            hosts[m[1]] = {std::stoi(m[2]), std::stoi(m[3])};
    }
    return hosts;
}

// The fields of one line of the survey's table: every field quoted, a quote doubled.
std::vector<std::string> CsvFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

// backup.yml's file name for a port: the path without its leading '/', other '/' as '_'.
std::string BackupName(const std::string& port)
{
    std::string name = port.substr(port.find_first_not_of('/'));
    std::replace(name.begin(), name.end(), '/', '_');
    return name + ".txt";
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The sum of every update command an amplifier has received.
unsigned UpdateCommands(CAmpSimulator& amp)
{
    unsigned n = 0;
    for (int command = 0; command < 256; ++command)
        n += amp.Update().CommandCount(static_cast<std::uint8_t>(command));
    return n;
}

class AnsibleTest : public ::testing::Test {
protected:
    static constexpr int HOSTS = 3;

    void SetUp() override
    {
        ASSERT_EQ(std::system("command -v ansible-playbook >/dev/null"), 0)
            << "ansible-playbook is needed: scripts/install-deps.sh installs ansible-core";
        dir = ::testing::TempDir() + "ansible-" + std::to_string(getpid()) + "/";
        fs::remove_all(dir);
        fs::create_directories(dir + "home");
        std::ofstream(dir + "ansible.cfg");  // no settings of the machine's or the account's
        for (int n = 0; n < HOSTS; ++n) {
            amps.push_back(std::make_unique<CAmpSimulator>());
            ASSERT_TRUE(amps.back()->Start());
            ASSERT_TRUE(amps.back()->SetLineBaud(std::stoul(FAST_TEST_BAUD)));
        }
        WriteInventory();
    }
    void TearDown() override
    {
        for (auto& amp : amps)
            amp->Stop();
        fs::remove_all(dir);
    }

    static std::string Host(int n) { return "host" + std::to_string(n + 1); }

    // hostN has amplifier N, then the ports in more[N] (if any).
    void WriteInventory(const std::map<int, std::vector<std::string>>& more = {})
    {
        nlohmann::json hosts = nlohmann::json::object();
        for (int n = 0; n < HOSTS; ++n) {
            std::vector<std::string> ports{amps[n]->SlavePath()};
            if (more.count(n) != 0)
                ports.insert(ports.end(), more.at(n).begin(), more.at(n).end());
            hosts[Host(n)] = {{"kmr_ports", ports}, {"kmr_host_dir", dir + Host(n)}};
        }
        const nlohmann::json inventory = {
            {"all",
             {{"vars",
               {{"ansible_connection", "local"},
                {"ansible_python_interpreter", "{{ ansible_playbook_python }}"},
                {"kmr_cli", KMR_CLI_PATH},
                {"kmr_baud", FAST_TEST_BAUD},
                {"kmr_survey_csv", dir + "survey.csv"},
                {"kmr_backup_dir", dir + "backups"}}},
              {"hosts", hosts}}}};
        std::ofstream(dir + "inventory.json") << inventory.dump(2);
    }

    // Runs a playbook of examples/ansible with Ansible's folders inside the test's own, no
    // colour and no retry files; recap holds the recap of what it printed.
    CliRun Playbook(const std::string& name, const std::string& extra = "")
    {
        const std::string env = "LC_ALL=C.UTF-8 HOME=" + dir + "home ANSIBLE_CONFIG=" + dir + "ansible.cfg" +
                                " ANSIBLE_LOCAL_TEMP=" + dir + "ansible-local ANSIBLE_REMOTE_TEMP=" + dir +
                                "ansible-remote ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0";
        CliRun r = RunProgram("ansible-playbook", "-i " + dir + "inventory.json " + KMR_ANSIBLE_DIR "/" + name + " " + extra,
                              env);
        recap = ParseRecap(r.out);
        return r;
    }

    std::string Backup(int n, const std::string& port) const
    {
        return dir + "backups/" + Host(n) + "/" + BackupName(port);
    }
    std::string Backup(int n) const { return Backup(n, amps[n]->SlavePath()); }

    // Whether the amplifier holds exactly what file says, by the tool's own comparison.
    bool AmplifierMatches(int n, const std::string& file)
    {
        return RunProgram(KMR_CLI_PATH, std::string("--baud ") + FAST_TEST_BAUD + " --port " + amps[n]->SlavePath() +
                                            " params diff " + file)
                   .status == 0;
    }

    std::string dir;
    std::vector<std::unique_ptr<CAmpSimulator>> amps;
    std::map<std::string, HostRecap> recap;
};

} // namespace

TEST_F(AnsibleTest, SurveyWritesOneRowPerAmplifierWithItsVersionsAndChangesNothing)
{
    amps[1]->SetParam(0xF004, 1300);  // another firmware
    amps[2]->SetParam(0xF007, 1121);  // another EQ release
    const std::string missing = dir + "no-adapter";
    WriteInventory({{1, {missing}}});

    CliRun r = Playbook("survey.yml");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto lines = SplitLines(ReadTextFile(dir + "survey.csv"));
    ASSERT_EQ(lines.size(), 1u + HOSTS + 1) << r.out;
    EXPECT_EQ(lines[0], "host,port,device,check,firmware,eq,problem");
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 1; i < lines.size(); ++i)
        rows.push_back(CsvFields(lines[i]));
    // In inventory order: host1's amplifier, host2's amplifier and its port without an adapter,
    // host3's amplifier.
    const auto answered = [&](int n) {
        CAmpSimulator& amp = *amps[n];
        const auto word = [&](std::uint16_t a) { return static_cast<int>(*amp.GetParam(a)); };
        return std::vector<std::string>{Host(n), amp.SlavePath(), amp.SlavePath(), "OK",
                                        FirmwareLabelText(word(0xF004), word(0xF005)),
                                        EqLabelText(word(0xF006), word(0xF007)), ""};
    };
    EXPECT_EQ(rows[0], answered(0));
    EXPECT_EQ(rows[1], answered(1));
    EXPECT_EQ(rows[3], answered(2));
    ASSERT_EQ(rows[2].size(), 7u);
    EXPECT_EQ(rows[2][0], Host(1));
    EXPECT_EQ(rows[2][1], missing);
    EXPECT_EQ(rows[2][3], "Can not open port.");
    EXPECT_EQ(rows[2][4], "");
    EXPECT_NE(rows[2][6].find("Can not open " + missing), std::string::npos) << rows[2][6];
    EXPECT_NE(r.out.find("4 amplifiers on 3 hosts, 1 not read."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 with " + FirmwareLabelText(1203, 0)), std::string::npos) << r.out;

    // A second survey finds the same and writes the same table: nothing changed anywhere.
    const std::string table = ReadTextFile(dir + "survey.csv");
    r = Playbook("survey.yml");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadTextFile(dir + "survey.csv"), table);
    ASSERT_EQ(recap.size(), static_cast<std::size_t>(HOSTS)) << r.out;
    for (const auto& [host, counts] : recap)
        EXPECT_EQ(counts.changed, 0) << host;
}

TEST_F(AnsibleTest, BackupFetchesAFilePerPortAndIsChangedWhereTheParametersChanged)
{
    // The first backup of every port counts as a change.
    CliRun r = Playbook("backup.yml");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (int n = 0; n < HOSTS; ++n) {
        EXPECT_GT(recap[Host(n)].changed, 0) << r.out;
        EXPECT_EQ(FilesIn(dir + "backups/" + Host(n)), std::vector<std::string>{BackupName(amps[n]->SlavePath())});
        EXPECT_EQ(ReadTextFile(Backup(n)).rfind("# KMR 6650 parameter file\n", 0), 0u) << Backup(n);
        EXPECT_TRUE(AmplifierMatches(n, Backup(n))) << Backup(n);
    }

    // Nothing changed: nothing is reported.
    r = Playbook("backup.yml");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (int n = 0; n < HOSTS; ++n)
        EXPECT_EQ(recap[Host(n)].changed, 0) << r.out;

    // One parameter of host2's amplifier: that host alone changed, its new backup holds the
    // value, and its last backup is kept.
    const std::string before = ReadTextFile(Backup(1));
    amps[1]->SetParam(0x3000, 20);
    r = Playbook("backup.yml");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(recap[Host(0)].changed, 0) << r.out;
    EXPECT_GT(recap[Host(1)].changed, 0) << r.out;
    EXPECT_EQ(recap[Host(2)].changed, 0) << r.out;
    EXPECT_NE(r.out.find("Input 1 tone Bass: 0.00 -> +4.00 dB"), std::string::npos) << r.out;
    EXPECT_TRUE(AmplifierMatches(1, Backup(1)));
    const auto older = FilesIn(dir + "backups/" + Host(1) + "/older");
    ASSERT_EQ(older.size(), 1u);
    EXPECT_EQ(ReadTextFile(dir + "backups/" + Host(1) + "/older/" + older[0]), before);
    EXPECT_FALSE(fs::exists(dir + "backups/" + Host(0) + "/older"));

    // A port of host3 without an adapter fails that host, after its amplifier's change has
    // been backed up.
    const std::string missing = dir + "no-adapter";
    WriteInventory({{2, {missing}}});
    amps[2]->SetParam(0x3000, 0);
    r = Playbook("backup.yml");
    EXPECT_NE(r.status, 0) << r.out;
    EXPECT_EQ(recap[Host(0)].failed, 0) << r.out;
    EXPECT_EQ(recap[Host(2)].failed, 1) << r.out;
    EXPECT_NE(r.out.find("No backup of " + missing + ": Error: Can not open " + missing), std::string::npos) << r.out;
    EXPECT_TRUE(AmplifierMatches(2, Backup(2)));
    EXPECT_FALSE(fs::exists(Backup(2, missing)));
}

TEST_F(AnsibleTest, UpdateStopsBeforeAnyAmplifierIsAskedWhenAHostFailsTheFileCheck)
{
    // Each host's amplifiers untouched: not even a backup's reading, no update command.
    const auto expectUntouched = [&](const CliRun& r) {
        EXPECT_NE(r.status, 0) << r.out;
        for (int n = 0; n < HOSTS; ++n) {
            EXPECT_TRUE(amps[n]->Received().empty()) << Host(n);
            EXPECT_EQ(UpdateCommands(*amps[n]), 0u) << Host(n);
        }
        EXPECT_FALSE(fs::exists(dir + "backups"));
    };

    // A file that fails its check.
    kmr::sim::PresetFileOptions bad;
    bad.fault = kmr::sim::PresetFileOptions::RECORD_SUM;
    const TempUpdateFile badFile(kmr::sim::MakePresetUpdateFile(bad));
    CliRun r = Playbook("update.yml", "-e kmr_update_kind=preset -e kmr_update_file=" + badFile.Path());
    EXPECT_NE(r.out.find("Invalid Preset Update file!"), std::string::npos) << r.out;
    expectUntouched(r);

    // A good file that one host cannot take (its working folder is a file) stops the others too.
    const TempUpdateFile goodFile(kmr::sim::MakePresetUpdateFile());
    fs::remove_all(dir + Host(1));
    std::ofstream(dir + Host(1)) << "not a folder";
    r = Playbook("update.yml", "-e kmr_update_kind=preset -e kmr_update_file=" + goodFile.Path());
    EXPECT_EQ(recap[Host(1)].failed, 1) << r.out;
    expectUntouched(r);
}

TEST_F(AnsibleTest, UpdateBacksUpAndThenUpdatesEveryAmplifier)
{
    const std::vector<std::uint8_t> bytes = kmr::sim::MakePresetUpdateFile();
    const TempUpdateFile file(bytes);

    const CliRun r = Playbook("update.yml", "-e kmr_update_kind=preset -e kmr_batch=2 -e kmr_update_file=" + file.Path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (int n = 0; n < HOSTS; ++n) {
        EXPECT_EQ(recap[Host(n)].failed, 0) << r.out;
        EXPECT_GT(recap[Host(n)].changed, 0) << r.out;
        EXPECT_TRUE(fs::exists(Backup(n))) << Backup(n);
        CSimUpdate& update = amps[n]->Update();
        EXPECT_TRUE(update.Completed()) << Host(n) << ": " << update.LastError();
        EXPECT_EQ(update.LastKind(), CSimUpdate::Preset);
        EXPECT_EQ(update.Image(), bytes) << Host(n);
    }
}

TEST_F(AnsibleTest, AFailedAmplifierStopsItsHostAndTheLaterBatches)
{
    // host1 has two amplifiers; its first one does not acknowledge the start of an update.
    CAmpSimulator second;
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.SetLineBaud(std::stoul(FAST_TEST_BAUD)));
    WriteInventory({{0, {second.SlavePath()}}});
    amps[0]->Update().SetNoAck(CSimUpdate::Establish, true);
    const TempUpdateFile file(kmr::sim::MakePresetUpdateFile());

    // Batches of two hosts: host1 and host2, then host3.
    const CliRun r = Playbook("update.yml", "-e kmr_update_kind=preset -e kmr_batch=2 -e kmr_update_file=" + file.Path());
    EXPECT_NE(r.status, 0) << r.out;
    EXPECT_EQ(recap[Host(0)].failed, 1) << r.out;
    EXPECT_GT(UpdateCommands(*amps[0]), 0u);
    EXPECT_FALSE(amps[0]->Update().Completed());
    // host2, in the same batch, finishes its update.
    EXPECT_TRUE(amps[1]->Update().Completed()) << amps[1]->Update().LastError();
    // Backed up, but not updated: host1's second amplifier and the next batch's host3.
    for (const std::string& backup : {Backup(0, second.SlavePath()), Backup(2)})
        EXPECT_TRUE(fs::exists(backup)) << backup;
    EXPECT_EQ(UpdateCommands(second), 0u);
    EXPECT_EQ(UpdateCommands(*amps[2]), 0u);
}
