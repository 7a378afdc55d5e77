// The tool through a serial device server, with the bridge the README gives: the simulated
// amplifier's line served on a TCP port by socat, as a device server in a rack serves an
// amplifier's RS-232 port, and scripts/serial-bridge.sh bridging that TCP port to a
// pseudo-terminal on the PC. The command-line tool works on the bridge's link as on a local
// adapter, from the very first command, and the bridge lives as the README says.
#include "AmpSimulator.h"
#include "UpdateFileMaker.h"
#include "support/CliRunner.h"
#include "support/SimLink.h"
#include "support/TempUpdateFile.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr auto LONG_WAIT = std::chrono::seconds(20);

// A socat process for the length of a scope, or until Stop.
class Socat {
public:
    explicit Socat(const std::string& args)
    {
        m_pid = fork();
        if (m_pid == 0) {
            execl("/bin/sh", "sh", "-c", ("exec socat " + args).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Socat() { Stop(); }
    Socat(const Socat&) = delete;
    Socat& operator=(const Socat&) = delete;

    void Stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
};

// A TCP port on the loopback interface that nobody listens on just now.
int FreeTcpPort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

// True when a socket listens on 127.0.0.1:port. Read from the kernel's table rather than by
// connecting, which would use up the device server's one connection.
bool ListensOn(int port)
{
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X 00000000:0000 0A", port);
    std::ifstream in("/proc/net/tcp");
    for (std::string line; std::getline(in, line);)
        if (line.find(wanted) != std::string::npos)
            return true;
    return false;
}

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

// The simulated amplifier's line served on a TCP port of the loopback interface, for one
// connection, as a device server serves an amplifier.
class DeviceServer {
public:
    explicit DeviceServer(const std::string& line)
        : m_port(FreeTcpPort()),
          m_socat("TCP-LISTEN:" + std::to_string(m_port) + ",bind=127.0.0.1,reuseaddr FILE:" + line + ",raw,echo=0")
    {
        EXPECT_TRUE(WaitUntil([&] { return ListensOn(m_port); }, LONG_WAIT)) << "socat does not listen on " << m_port;
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Ends the server, and with it its connection.
    void Stop() { m_socat.Stop(); }

private:
    int m_port;
    Socat m_socat;
};

// The bridge of scripts/serial-bridge.sh from address to link, run as the README runs it. It is
// not a child of the test; it is stopped at the end of the scope if its link is still there.
class Bridge {
public:
    Bridge(const std::string& address, const std::string& link) : m_link(link)
    {
        m_start = RunProgram("bash " KMR_BRIDGE_SCRIPT, address + " " + link);
        if (m_start.status == 0)
            m_pid = std::atoi(m_start.out.c_str());
    }
    ~Bridge()
    {
        if (m_pid > 0 && Exists(m_link))
            kill(m_pid, SIGTERM);
    }
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    const CliRun& Start() const { return m_start; }
    pid_t Pid() const { return m_pid; }

private:
    std::string m_link;
    CliRun m_start;
    pid_t m_pid = -1;
};

} // namespace

TEST(SerialDeviceServer, ACheckFirstThenParamsAndAPresetUpdateRunThroughOneBridge)
{
    ASSERT_EQ(std::system("command -v socat >/dev/null"), 0) << "socat is needed: scripts/install-deps.sh installs it";
    CAmpSimulator sim;
    sim.Update().SetEraseTimeMs(100);
    ASSERT_TRUE(sim.Start());
    TempUpdateFile preset(kmr::sim::MakePresetUpdateFile());
    DeviceServer server(sim.SlavePath());
    const std::string link = testing::TempDir() + "kmr-ttyNET0";

    const Bridge bridge(server.Address(), link);
    ASSERT_EQ(bridge.Start().status, 0) << bridge.Start().err;
    ASSERT_GT(bridge.Pid(), 0) << bridge.Start().out;
    ASSERT_TRUE(Exists(link));

    // The bridge is ready when the script returns: a check as the very first command answers.
    CliRun r = RunProgram(KMR_CLI_PATH, "--port " + link + " check");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "OK\n");

    // The same bridge carries the next runs: the tool's close of the link does not end it.
    r = RunProgram(KMR_CLI_PATH, "--port " + link + " params read");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_GE(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "mode 0 Mixer");
    EXPECT_EQ(lines[1].rfind("presets ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("0 0 0x3000 \"Input 1 tone Bass\"", 0), 0u) << lines[2];

    r = RunProgram(KMR_CLI_PATH,
                   "--port " + link + " --baud " + FAST_TEST_BAUD + " --yes update preset " + preset.Path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Status: Update OK!"), std::string::npos) << r.out;
    EXPECT_TRUE(sim.Update().Completed());
    EXPECT_TRUE(Exists(link)) << "the bridge ended after the update";
}

TEST(SerialDeviceServer, TheBridgeEndsAndRemovesItsLinkWhenStoppedOrWhenTheServerCloses)
{
    ASSERT_EQ(std::system("command -v socat >/dev/null"), 0) << "socat is needed: scripts/install-deps.sh installs it";
    CAmpSimulator sim;
    ASSERT_TRUE(sim.Start());
    const std::string link = testing::TempDir() + "kmr-ttyNET1";

    {
        // Stopped by its process id, as the script printed it.
        DeviceServer server(sim.SlavePath());
        const Bridge bridge(server.Address(), link);
        ASSERT_EQ(bridge.Start().status, 0) << bridge.Start().err;
        // A second bridge on the same link is refused, and the first one keeps working.
        const Bridge second(server.Address(), link);
        EXPECT_EQ(second.Start().status, 1);
        EXPECT_NE(second.Start().err.find(link + " already exists"), std::string::npos) << second.Start().err;
        EXPECT_EQ(RunProgram(KMR_CLI_PATH, "--port " + link + " check").out, "OK\n");

        kill(bridge.Pid(), SIGTERM);
        EXPECT_TRUE(WaitUntil([&] { return !Exists(link); }, LONG_WAIT));
    }
    {
        // Ended by the device server closing the connection: then the tool names the missing
        // device instead of waiting for an amplifier.
        DeviceServer server(sim.SlavePath());
        const Bridge bridge(server.Address(), link);
        ASSERT_EQ(bridge.Start().status, 0) << bridge.Start().err;
        EXPECT_EQ(RunProgram(KMR_CLI_PATH, "--port " + link + " check").out, "OK\n");
        server.Stop();
        EXPECT_TRUE(WaitUntil([&] { return !Exists(link); }, LONG_WAIT));
        const CliRun r = RunProgram(KMR_CLI_PATH, "--port " + link + " check");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE((r.out + r.err).find("no such device"), std::string::npos) << r.out << r.err;
    }
    // A device server that does not answer: the script says so and leaves no link behind.
    const Bridge none("127.0.0.1:" + std::to_string(FreeTcpPort()), link);
    EXPECT_EQ(none.Start().status, 1);
    EXPECT_NE(none.Start().err.find("no connection to 127.0.0.1:"), std::string::npos) << none.Start().err;
    EXPECT_FALSE(Exists(link));
}
