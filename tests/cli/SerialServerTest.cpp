// The tool through a serial device server: the simulated amplifier's line served on a TCP port
// by socat, as a device server in a rack serves an amplifier's RS-232 port, and the PC's side a
// pseudo-terminal that socat bridges to that TCP port. The command-line tool works on the
// bridged pseudo-terminal as on a local adapter.
#include "AmpSimulator.h"
#include "UpdateFileMaker.h"
#include "support/CliRunner.h"
#include "support/SimLink.h"
#include "support/TempUpdateFile.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A socat process for the length of a scope.
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
    ~Socat()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Socat(const Socat&) = delete;
    Socat& operator=(const Socat&) = delete;

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

} // namespace

TEST(SerialDeviceServer, CheckAndPresetUpdateThroughATcpBridge)
{
    ASSERT_EQ(std::system("command -v socat >/dev/null"), 0) << "socat is needed: scripts/install-deps.sh installs it";
    CAmpSimulator sim;
    sim.Update().SetEraseTimeMs(100);
    ASSERT_TRUE(sim.Start());
    TempUpdateFile preset(kmr::sim::MakePresetUpdateFile());

    // For each run of the tool: the device server, which gives one connection to its TCP port
    // the amplifier's line, and the PC's bridged pseudo-terminal (socat ends when the tool
    // closes it). Both have ended before the next run, so that never two of them read the line.
    auto bridged = [&](const std::string& name, const std::string& args) {
        const std::string tcp = std::to_string(FreeTcpPort());
        const Socat server("TCP-LISTEN:" + tcp + ",bind=127.0.0.1,reuseaddr FILE:" + sim.SlavePath() + ",raw,echo=0");
        const std::string link = testing::TempDir() + name;
        const Socat client("PTY,link=" + link + ",raw,echo=0 TCP:127.0.0.1:" + tcp + ",retry=50,interval=0.1");
        EXPECT_TRUE(WaitUntil([&] { return access(link.c_str(), F_OK) == 0; }, std::chrono::seconds(10)));
        return RunProgram(KMR_CLI_PATH, "--port " + link + " " + args);
    };
    CliRun r = bridged("kmr-net-check", "check");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "OK\n");
    r = bridged("kmr-net-update", std::string("--baud ") + FAST_TEST_BAUD + " --yes update preset " + preset.Path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Status: Update OK!"), std::string::npos) << r.out;
    EXPECT_TRUE(sim.Update().Completed());
}
