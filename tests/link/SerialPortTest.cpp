// The serial port service on real pseudo-terminals.
#include "link/MSCommDlg.h"
#include "link/PortSurvey.h"
#include "link/SerialDevice.h"
#include "link/Termios2.h"
#include "platform/InputFile.h"
#include "support/DeviceUsers.h"
#include "support/MessageRecorder.h"
#include "support/PtyPair.h"
#include "support/ScopedEnv.h"
#include "support/SimLink.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <termios.h>

TEST(LineSettings, JoinedAndCommaFormsAndRejects)
{
    auto s = kmr::ParseLineSettings("56000N82");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->baud, 56000u);
    EXPECT_EQ(s->parity, 'N');
    EXPECT_EQ(s->dataBits, 8u);
    EXPECT_EQ(s->stopBits, 2u);
    s = kmr::ParseLineSettings("9600,e,7,1");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->parity, 'E');
    EXPECT_EQ(s->dataBits, 7u);
    EXPECT_EQ(s->stopBits, 1u);
    for (const char* bad : {"", "N82", "56000", "56000N8", "56000X82", "56000N92", "56000N83", "99999999N82"})
        EXPECT_FALSE(kmr::ParseLineSettings(bad)) << bad;
}

TEST(SerialPort, DefaultsAndPortNumberMapping)
{
    CMSCommDlg host;
    EXPECT_EQ(host.IsPortOpen(), 0);
    EXPECT_EQ(host.m_port, 1);
    EXPECT_EQ(host.m_portName, "COM1");
    EXPECT_EQ(host.m_baudRate + host.m_parity + host.m_dataBits + host.m_stopBits, "56000N82");
    EXPECT_EQ(host.m_inBufferSize, 1024);
    EXPECT_EQ(host.m_outBufferSize, 512);

    host.SetPortSettings(3, "56000", "N", "8", "2");
    MessageRecorder messages;
    host.OpenPort();  // only to hand the port number to the control
    const ScopedEnv unset("KMR6650_COM3");
    EXPECT_EQ(host.DevicePath(), "/dev/ttyS2");
    const ScopedEnv adapter("KMR6650_COM3", "/dev/ttyUSB7");
    EXPECT_EQ(host.DevicePath(), "/dev/ttyUSB7");
}

TEST(SerialPort, OpensAtFiftySixThousandBaudReadBack)
{
    PtyPair pty;
    CMSCommDlg host;
    host.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
    EXPECT_EQ(host.IsPortOpen(), 1);
    unsigned baud = 0;
    ASSERT_EQ(kmr::GetLineSpeed(pty.WatchFd(), &baud), 0);
    EXPECT_EQ(baud, 56000u);

    // Other non-standard speeds go through as asked, too.
    host.ClosePort();
    host.SetPortSettings(1, "128000", "N", "8", "2");
    ASSERT_EQ(host.OpenPort(), 1);
    ASSERT_EQ(kmr::GetLineSpeed(pty.WatchFd(), &baud), 0);
    EXPECT_EQ(baud, 128000u);
}

TEST(SerialPort, FailedOpensSayWhichDeviceWhyAndWhatToDo)
{
    MessageRecorder messages;
    PtyPair pty;
    CMSCommDlg first, second;
    first.SetPortDevice(pty.SlavePath());
    second.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(first.OpenPort(), 1);
    EXPECT_EQ(second.OpenPort(), 0);
    EXPECT_EQ(second.IsPortOpen(), 0);
    const std::string busy = second.LastOpenError();
    EXPECT_NE(busy.find(pty.SlavePath()), std::string::npos) << busy;
    EXPECT_NE(busy.find("busy"), std::string::npos) << busy;
    EXPECT_TRUE(messages.Saw(busy));

    // Once the first closes, the port is free again.
    first.ClosePort();
    EXPECT_EQ(second.OpenPort(), 1);

    CMSCommDlg missing;
    missing.SetPortSettings(9, "56000", "N", "8", "2");
    {
        const ScopedEnv noAdapter("KMR6650_COM9", "/dev/kmr-no-such-adapter");
        EXPECT_EQ(missing.OpenPort(), 0);
    }
    const std::string none = missing.LastOpenError();
    EXPECT_NE(none.find("COM9 (/dev/kmr-no-such-adapter)"), std::string::npos) << none;
    EXPECT_NE(none.find("no such device"), std::string::npos) << none;

    // A file that is not a terminal is refused instead of being written to.
    CMSCommDlg notSerial;
    notSerial.SetPortDevice("/dev/null");
    EXPECT_EQ(notSerial.OpenPort(), 0);
    EXPECT_NE(notSerial.LastOpenError().find("not a serial device"), std::string::npos);
}

TEST(SerialPort, WritesWaitForRoomAndDropNothing)
{
    // Far more than the pseudo-terminal buffers: the writer must wait while the far end reads
    // slowly, and every byte must arrive in order.
    PtyPair pty;
    CMSCommDlg host;
    host.SetPortDevice(pty.SlavePath());
    host.SetPortSettings(1, FAST_TEST_BAUD, "N", "8", "2");
    ASSERT_EQ(host.OpenPort(), 1);
    std::vector<std::uint8_t> block(16);
    constexpr int kBlocks = 8192;  // 128 KiB
    TestThread writer([&] {
        for (int i = 0; i < kBlocks; ++i) {
            for (int j = 0; j < 16; ++j)
                block[j] = static_cast<std::uint8_t>(i + j);
            ASSERT_TRUE(host.WriteBlock(block.data(), block.size()));
        }
    });
    const std::vector<std::uint8_t> got = pty.ReadFromSlave(kBlocks * 16u, 20000);
    writer.Join();
    ASSERT_EQ(got.size(), kBlocks * 16u);
    for (int i = 0; i < kBlocks; ++i)
        for (int j = 0; j < 16; ++j)
            ASSERT_EQ(got[i * 16 + j], static_cast<std::uint8_t>(i + j)) << "block " << i;
}

TEST(SerialPort, VanishedFarEndFailsQuicklyAndThePortCanBeClosed)
{
    PtyPair pty;
    CMSCommDlg host;
    host.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1);
    std::uint8_t buf[1024];
    EXPECT_EQ(host.ReadInput(buf, sizeof buf), 0u);
    EXPECT_FALSE(host.LineLost()) << "nothing pending is not a hang-up";
    pty.CloseMaster();
    const std::uint8_t frame[16] = {0xF8};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(host.ReadInput(buf, sizeof buf), 0u);
    EXPECT_FALSE(host.WriteBlock(frame, sizeof frame));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(host.LineLost());
    host.ClosePort();
    EXPECT_EQ(host.IsPortOpen(), 0);
}

TEST(SerialPort, StalledLineFailsOnceThenAtOnceUntilReopenedAndCloseLeavesNoExclusiveMark)
{
    // Nobody reads the far end: the pseudo-terminal fills up and the line takes no more.
    PtyPair pty;
    CMSCommDlg host;
    host.SetPortSettings(3, FAST_TEST_BAUD, "N", "8", "2");
    {
        const ScopedEnv com3("KMR6650_COM3", pty.SlavePath());
        ASSERT_EQ(host.OpenPort(), 1);
    }
    int exclusive = 0;
    ASSERT_EQ(ioctl(pty.WatchFd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    const std::vector<std::uint8_t> block(16, 0x11);
    bool written = true;
    for (int i = 0; i < 100000 && written; ++i)
        written = host.WriteBlock(block.data(), block.size());
    ASSERT_FALSE(written);
    const std::string expected = "Error: Can not write to COM3 (" + pty.SlavePath() + "): the line takes no data.\n"
                                 "The adapter or the cable was lost: check them, then close and open the port again.";
    EXPECT_EQ(host.WriteErrorText(), expected);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(host.WriteBlock(block.data(), block.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
        << "later writes fail at once instead of waiting 2 s each";
    EXPECT_EQ(host.WriteErrorText(), expected);

    // Closed: no exclusive mark is left for the next opener; opened again: the line works.
    host.ClosePort();
    ASSERT_EQ(ioctl(pty.WatchFd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    host.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1);
    EXPECT_TRUE(host.WriteBlock(block.data(), block.size()));
    host.ClosePort();
}

namespace {

// Opens path for reading and writing as the account "nobody" would, in a child process:
// 0 when it opened, else the errno of the failure (or -1 when the child could not be run).
int OpenAsNobody(const std::string& path)
{
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(255);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        _exit(fd >= 0 ? 0 : errno);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

bool ExclusiveMark(int fd)
{
    int exclusive = 0;
    return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

} // namespace

TEST(SerialPort, TheExclusiveMarkNeverOutlivesTheOpenThatSetIt)
{
    // The watch descriptor keeps the device open, as the simulator or a bridge does, so a mark
    // left behind would stay and keep out every later opener that is not root.
    MessageRecorder messages;
    PtyPair pty;
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(chmod(pty.SlavePath().c_str(), 0666), 0);  // an ordinary user may use it
    }

    // A pseudo-terminal takes only 8 data bits without parity: the open fails after the mark.
    CMSCommDlg host;
    host.SetPortDevice(pty.SlavePath());
    host.SetPortSettings(1, "9600", "E", "7", "1");
    ASSERT_EQ(host.OpenPort(), 0);
    EXPECT_NE(host.LastOpenError().find("did not take the line settings 7E1"), std::string::npos)
        << host.LastOpenError();
    EXPECT_FALSE(ExclusiveMark(pty.WatchFd()));
    if (asRoot) {
        EXPECT_EQ(OpenAsNobody(pty.SlavePath()), 0) << "an ordinary user can open the port after the failed open";
    }

    // While the port is open the mark keeps such a user out, with EBUSY; after the close it is gone.
    host.SetPortSettings(1, "9600", "N", "8", "1");
    ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
    EXPECT_TRUE(ExclusiveMark(pty.WatchFd()));
    if (asRoot) {
        EXPECT_EQ(OpenAsNobody(pty.SlavePath()), EBUSY);
    }
    host.ClosePort();
    EXPECT_FALSE(ExclusiveMark(pty.WatchFd()));
    if (asRoot) {
        EXPECT_EQ(OpenAsNobody(pty.SlavePath()), 0);
    }

    // A mark left by a run that was killed cannot be cleared by us: the busy text says how it
    // goes away.
    const kmr::SerialError busy = kmr::SerialErrorFrom(kmr::SerialError::Open, pty.SlavePath(), EBUSY);
    EXPECT_EQ(busy.kind, kmr::SerialError::Busy);
    EXPECT_NE(busy.remedy.find("a run of this tool that was killed may have left the port marked for exclusive use"),
              std::string::npos)
        << busy.remedy;
    EXPECT_NE(busy.remedy.find("unplug the adapter and plug it in again"), std::string::npos) << busy.remedy;
    // The lock of a live program goes with it: no such advice there.
    EXPECT_EQ(kmr::SerialErrorFrom(kmr::SerialError::Open, pty.SlavePath(), EWOULDBLOCK).remedy.find("killed"),
              std::string::npos);
}

TEST(SerialPort, ClosingLeavesTheModemLinesAndNeverHangsOnAStalledLine)
{
    // Without HUPCL the last close does not drop DTR and RTS. Built-in and USB ports have it
    // set by default; a pseudo-terminal is given it here.
    CAmpSimulator sim;
    ASSERT_TRUE(sim.Start());
    const int watch = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(watch, 0);
    termios tio {};
    ASSERT_EQ(tcgetattr(watch, &tio), 0);
    tio.c_cflag |= HUPCL;
    ASSERT_EQ(tcsetattr(watch, TCSANOW, &tio), 0);
    ASSERT_EQ(tcgetattr(watch, &tio), 0);
    ASSERT_NE(tio.c_cflag & HUPCL, 0u);
    CMSCommDlg host;
    host.SetPortDevice(sim.SlavePath());
    host.SetPortSettings(1, "9600", "N", "8", "2");
    ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
    ASSERT_EQ(tcgetattr(watch, &tio), 0);
    EXPECT_EQ(tio.c_cflag & HUPCL, 0u);
    ::close(watch);

    // The adapter stops taking data with blocks still ahead of the line by our clock: the
    // close gives them the time the line needs (0.15 s at 9600 baud), not the kernel's 30 s.
    sim.SetStalled(true);
    const std::vector<std::uint8_t> block(16, 0x22);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(host.WriteBlock(block.data(), block.size()));
    auto start = std::chrono::steady_clock::now();
    host.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // Still stalled, until a write fails for good: the close comes back at once.
    host.SetPortSettings(1, FAST_TEST_BAUD, "N", "8", "2");  // the pseudo-terminal fills up in moments
    ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
    bool written = true;
    for (int i = 0; i < 100000 && written; ++i)
        written = host.WriteBlock(block.data(), block.size());
    ASSERT_FALSE(written);
    start = std::chrono::steady_clock::now();
    host.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // That close threw output away, perhaps half a frame of which the amplifier keeps: the next
    // open (here of a line whose far end the test reads) first sends bytes that are no start
    // byte, as many as a frame has after its start, so that half frame cannot swallow ours.
    PtyPair pty;
    host.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
    std::uint8_t frame[16];
    const std::uint8_t payload[13] = {0x08};
    CProtocolMACLayer::BuildFrame(payload, frame);
    ASSERT_TRUE(host.WriteBlock(frame, sizeof frame));
    std::vector<std::uint8_t> wire(15 + sizeof frame, 0x00);
    std::copy(frame, frame + sizeof frame, wire.begin() + 15);
    EXPECT_EQ(pty.ReadFromSlave(wire.size()), wire);
    host.ClosePort();
}

TEST(SerialPort, AnotherProgramHoldingThePortIsNamedAfterAGoodOpenButNotTheFarEnd)
{
    MessageRecorder messages;
    PtyPair pty;
    CMSCommDlg host;
    host.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1);
    EXPECT_EQ(host.OpenWarning(), "") << "nobody else holds it";
    host.ClosePort();

    {
        // A terminal program holds the port open without a lock: named, and the port still opens.
        const HoldingProcess terminal({pty.WatchFd()});
        ASSERT_GT(terminal.Pid(), 0);
        ASSERT_EQ(host.OpenPort(), 1);
        EXPECT_EQ(host.OpenWarning(),
                  "Warning: " + pty.SlavePath() + " is also held open by sleep (pid " + std::to_string(terminal.Pid()) +
                      "). That program can take the amplifier's answers before this one sees them, so exchanges may "
                      "fail: close it, then open the port again.");
        EXPECT_TRUE(messages.Texts().empty()) << "the caller shows the warning";
        host.ClosePort();
    }

    // The name a program gives itself reaches the text only made printable.
    const std::string oddName = ::testing::TempDir() + "s\x1b[2J";
    std::filesystem::copy_file("/bin/sleep", oddName, std::filesystem::copy_options::overwrite_existing);
    {
        const HoldingProcess odd({pty.WatchFd()}, oddName);
        ASSERT_GT(odd.Pid(), 0);
        ASSERT_EQ(host.OpenPort(), 1);
        EXPECT_NE(host.OpenWarning().find("s\\x1B[2J (pid " + std::to_string(odd.Pid()) + ")"), std::string::npos)
            << host.OpenWarning();
        EXPECT_EQ(host.OpenWarning().find('\x1b'), std::string::npos);
        host.ClosePort();
    }
    std::filesystem::remove(oddName);

    // A program that holds the master of the pseudo-terminal as well is the far end of the line
    // (the simulated amplifier, a bridge), not a second user.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    char name[128];
    ASSERT_EQ(ptsname_r(master, name, sizeof name), 0);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    {
        const HoldingProcess farEnd({master, slave});
        ::close(slave);
        ASSERT_GT(farEnd.Pid(), 0);
        EXPECT_TRUE(CheckPort(name).usable) << CheckPort(name).problem;
        CMSCommDlg other;
        other.SetPortDevice(name);
        ASSERT_EQ(other.OpenPort(), 1) << other.LastOpenError();
        EXPECT_EQ(other.OpenWarning(), "");
        other.ClosePort();
    }
    ::close(master);
}

TEST(InputFile, ADeviceNamedAsAFileIsRefusedWithoutBeingOpened)
{
    PtyPair pty;
    OpenWatch watch;
    ASSERT_TRUE(watch.Add(pty.SlavePath()));
    std::string reason;
    EXPECT_EQ(kmr::OpenInputFile(pty.SlavePath(), 1 << 20, &reason), -1);
    EXPECT_EQ(reason, "it is not a regular file");
    std::string text;
    EXPECT_FALSE(kmr::ReadInputFile(pty.SlavePath(), 1 << 20, &text, &reason));
    EXPECT_EQ(reason, "it is not a regular file");
    EXPECT_EQ(watch.Opens(), 0);

    // The watch sees an open when there is one.
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(watch.Opens(), 1);
}

TEST(SerialError, OneTextForEveryOperationAndAdviceThatFitsTheDevice)
{
    using kmr::SerialError;
    // A missing device: the remedy names the variable of the port that was chosen.
    setenv("KMR6650_COM3", "/dev/kmr-no-such-adapter", 1);
    CMSCommDlg host;
    host.SetPortSettings(3, "56000", "N", "8", "2");
    EXPECT_EQ(host.OpenPort(), 0);
    unsetenv("KMR6650_COM3");
    EXPECT_EQ(host.LastOpenError(),
              "Error: Can not open COM3 (/dev/kmr-no-such-adapter): no such device (No such file or directory).\n"
              "Check that the serial cable or USB-serial adapter is plugged in and choose its port; a USB adapter "
              "is usually /dev/ttyUSB0 (set KMR6650_COM3=/dev/ttyUSB0).");
    EXPECT_EQ(kmr::SerialErrorFrom(SerialError::Write, "/dev/ttyUSB0", EIO).Text(),
              "Error: Can not write to /dev/ttyUSB0: the device is gone (Input/output error).\n"
              "The adapter or the cable was lost: check them, then close and open the port again.");
    EXPECT_EQ(kmr::SerialErrorFrom(SerialError::Configure, "/dev/ttyS0", EINVAL).Text(),
              "Error: Can not set up /dev/ttyS0: the line settings were refused (Invalid argument).\n"
              "Choose other port settings, or another serial adapter.");

    // Permission: the open failure and the survey say the same, and a device only root may open
    // never gets the advice to join the root group.
    const std::string rootOnly = ::testing::TempDir() + "kmr-root-only-" + std::to_string(getpid());
    std::FILE* f = std::fopen(rootOnly.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    chmod(rootOnly.c_str(), 0600);  // no group may use it
    const SerialError denied = kmr::SerialErrorFrom(SerialError::Open, rootOnly, EACCES);
    EXPECT_EQ(denied.kind, SerialError::Permission);
    EXPECT_EQ(denied.reason, "permission denied: only root may open this device");
    EXPECT_EQ(denied.remedy.find("-aG root"), std::string::npos) << denied.remedy;
    EXPECT_NE(denied.remedy.find("udev rule"), std::string::npos) << denied.remedy;
    chmod(rootOnly.c_str(), 0660);
    if (const group* dialout = getgrnam("dialout"); dialout != nullptr && chown(rootOnly.c_str(), -1, dialout->gr_gid) == 0) {
        const SerialError joinable = kmr::SerialErrorFrom(SerialError::Open, rootOnly, EACCES);
        EXPECT_EQ(joinable.reason, "permission denied: the device belongs to the group dialout");
        EXPECT_NE(joinable.remedy.find("dialout"), std::string::npos) << joinable.remedy;
    }
    std::remove(rootOnly.c_str());
}

TEST(PortSurvey, TellsWhetherEachDeviceCanBeUsedAndWhy)
{
    PtyPair pty;
    PortFinding f = CheckPort(pty.SlavePath());
    EXPECT_TRUE(f.usable) << f.problem;
    EXPECT_EQ(f.description, "pseudo-terminal");

    // Held by the tool: busy, and the survey itself leaves the port as it found it.
    CMSCommDlg host;
    host.SetPortDevice(pty.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1);
    f = CheckPort(pty.SlavePath());
    EXPECT_FALSE(f.usable);
    EXPECT_EQ(f.problem.rfind("busy", 0), 0u) << f.problem;
    EXPECT_FALSE(f.remedy.empty());
    host.ClosePort();
    EXPECT_TRUE(CheckPort(pty.SlavePath()).usable);

    f = CheckPort("/dev/kmr-no-such-adapter");
    EXPECT_EQ(f.problem, "no such device");
    f = CheckPort("/dev/null");
    EXPECT_EQ(f.problem, "not a serial device");

    // Devices named for the COM ports are part of the survey.
    const PortSurvey survey = [&] {
        const ScopedEnv com12("KMR6650_COM12", pty.SlavePath());
        return SurveySerialPorts();
    }();
    const auto it = std::find_if(survey.ports.begin(), survey.ports.end(),
                                 [&](const PortFinding& p) { return p.device == pty.SlavePath(); });
    ASSERT_NE(it, survey.ports.end());
    EXPECT_TRUE(it->usable);
    EXPECT_NE(FormatSurvey(survey).find(pty.SlavePath() + " - pseudo-terminal\n  can be opened"), std::string::npos);
}

namespace {

// A made-up machine: a sysfs and a /dev under a temporary folder, with built-in ports (a chip
// behind them or not) and USB adapters (with or without a stable by-id name).
class FakeMachine {
public:
    FakeMachine()
    {
        char tmpl[] = "/tmp/kmr-devices-XXXXXX";
        m_root = mkdtemp(tmpl);
        roots = {m_root + "/sys", m_root + "/dev"};
        Run("mkdir -p " + roots.sys + "/class/tty " + roots.dev + "/serial/by-id");
    }
    ~FakeMachine() { Run("rm -rf " + m_root); }
    void AddBuiltIn(const std::string& name, int uartType)
    {
        const std::string dev = roots.sys + "/devices/platform/serial8250/tty/" + name;
        Run("mkdir -p " + dev + " " + roots.sys + "/class/tty/" + name + " && ln -s " + dev + " " + roots.sys +
            "/class/tty/" + name + "/device && echo " + std::to_string(uartType) + " > " + roots.sys + "/class/tty/" +
            name + "/type && touch " + roots.dev + "/" + name);
    }
    void AddUsb(const std::string& name, int bus, const std::string& maker, const std::string& product, const std::string& byId)
    {
        const std::string usb = roots.sys + "/devices/usb1/1-" + std::to_string(bus);
        const std::string iface = usb + "/1-" + std::to_string(bus) + ":1.0";
        Run("mkdir -p " + iface + " " + roots.sys + "/class/tty/" + name + " && ln -s " + iface + " " + roots.sys +
            "/class/tty/" + name + "/device && echo 0403 > " + usb + "/idVendor && echo 6001 > " + usb +
            "/idProduct && echo '" + maker + "' > " + usb + "/manufacturer && echo '" + product + "' > " + usb +
            "/product && touch " + roots.dev + "/" + name);
        if (!byId.empty())
            Run("ln -s ../../" + name + " " + roots.dev + "/serial/by-id/" + byId);
    }
    DeviceRoots roots;

private:
    static void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }
    std::string m_root;
};

} // namespace

TEST(PortNumbers, BuiltInPortsFirstThenAdaptersByTheirStableNames)
{
    const ScopedEnv noCom1("KMR6650_COM1"), noCom2("KMR6650_COM2"), noCom6("KMR6650_COM6");
    FakeMachine m;
    m.AddBuiltIn("ttyS10", 4);
    m.AddBuiltIn("ttyS0", 4);
    m.AddBuiltIn("ttyS1", 0);  // a name without a chip behind it
    m.AddUsb("ttyUSB0", 1, "Zeta", "Cable", "usb-Zeta_Cable_Z1-if00-port0");
    m.AddUsb("ttyUSB1", 2, "FTDI", "FT232R USB UART", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    m.AddUsb("ttyACM0", 3, "Maker", "Modem", "");
    std::vector<std::string> order;
    for (const SerialDevice& d : ListSerialDevices(m.roots))
        order.push_back(d.device.substr(m.roots.dev.size() + 1));
    EXPECT_EQ(order, (std::vector<std::string>{"ttyS0", "ttyS10", "ttyUSB1", "ttyUSB0", "ttyACM0"}));
    EXPECT_EQ(ComPortDevice(3, m.roots), m.roots.dev + "/ttyUSB1");
    EXPECT_EQ(DescribeComPort(3, m.roots), m.roots.dev + "/ttyUSB1, FTDI FT232R USB UART");
    EXPECT_EQ(DescribeComPort(1, m.roots), m.roots.dev + "/ttyS0, built-in serial port");
    // Fewer devices than the number: /dev/ttyS<n-1>, which here is not there.
    EXPECT_EQ(ComPortDevice(6, m.roots), m.roots.dev + "/ttyS5");
    EXPECT_EQ(DescribeComPort(6, m.roots), "no device");
    // The variable still decides, for its number only.
    {
        const ScopedEnv com2("KMR6650_COM2", "/dev/null");
        EXPECT_EQ(ComPortDevice(2, m.roots), "/dev/null");
        EXPECT_EQ(ComPortDevice(3, m.roots), m.roots.dev + "/ttyUSB1");
    }
    // The survey numbers what it lists.
    const PortSurvey survey = SurveySerialPorts(m.roots);
    ASSERT_GE(survey.ports.size(), 5u);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(survey.ports[static_cast<std::size_t>(n - 1)].com, n);
    EXPECT_NE(FormatSurvey(survey).find("COM3: " + m.roots.dev + "/ttyUSB1 - USB serial adapter: FTDI FT232R USB UART (0403:6001)"),
              std::string::npos)
        << FormatSurvey(survey);

    // A laptop: built-in port names without chips and one adapter; the adapter is COM1.
    FakeMachine laptop;
    laptop.AddBuiltIn("ttyS0", 0);
    laptop.AddBuiltIn("ttyS1", 0);
    laptop.AddUsb("ttyUSB0", 1, "FTDI", "FT232R USB UART", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(ComPortDevice(1, laptop.roots), laptop.roots.dev + "/ttyUSB0");
    EXPECT_EQ(ComPortDevice(2, laptop.roots), laptop.roots.dev + "/ttyS1");
    EXPECT_EQ(DescribeComPort(2, laptop.roots), "no device") << "a port name without a chip";
}

TEST(PortSurvey, OpensNoDeviceAndSaysWhatItChecked)
{
    // Opening a serial device raises its modem lines; the survey judges every device from its
    // file and from /proc instead. A watched pseudo-terminal and a FIFO are never opened.
    PtyPair pty;
    const std::string fifo = ::testing::TempDir() + "kmr-survey-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    OpenWatch watch;
    ASSERT_TRUE(watch.Add(pty.SlavePath()));
    ASSERT_TRUE(watch.Add(fifo));
    PortSurvey survey;
    {
        const ScopedEnv com11("KMR6650_COM11", fifo), com12("KMR6650_COM12", pty.SlavePath());
        survey = SurveySerialPorts();
    }
    const PortFinding held = [&] {
        const HoldingProcess terminal({pty.WatchFd()});
        PortFinding f = CheckPort(pty.SlavePath());
        f.remedy = std::to_string(terminal.Pid());  // kept for the check below
        return f;
    }();
    EXPECT_EQ(watch.Opens(), 0) << "the survey opened a device";

    auto finding = [&](const std::string& device) {
        const auto it = std::find_if(survey.ports.begin(), survey.ports.end(),
                                     [&](const PortFinding& p) { return p.device == device; });
        return it == survey.ports.end() ? PortFinding{} : *it;
    };
    EXPECT_TRUE(finding(pty.SlavePath()).usable) << finding(pty.SlavePath()).problem;
    EXPECT_EQ(finding(fifo).problem, "not a serial device");
    EXPECT_FALSE(held.usable);
    EXPECT_EQ(held.problem, "busy, in use by sleep (pid " + held.remedy + ")");
    const std::string text = FormatSurvey(survey);
    EXPECT_NE(text.find("Checked without opening any device: whether each is a serial device, whether its owner, "
                        "group and permissions let this account read and write it, and whether another program "
                        "holds it (its lock in /proc/locks, open files in /proc"),
              std::string::npos)
        << text;
    std::remove(fifo.c_str());
}

TEST(PortSurvey, StringsTheDevicesReportAreShownPrintable)
{
    // A device's maker and product come from the device itself; an escape sequence in them
    // must not reach a terminal or a window.
    const ScopedEnv noCom1("KMR6650_COM1");
    FakeMachine m;
    m.AddUsb("ttyUSB0", 1, "Evil\x1b[2J\x1b]0;owned\x07", "Cable\\", "usb-Evil-if00-port0");
    const std::string shown = "Evil\\x1B[2J\\x1B]0;owned\\x07 Cable\\\\";
    const std::vector<SerialDevice> devices = ListSerialDevices(m.roots);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].description, shown);
    EXPECT_EQ(DescribeComPort(1, m.roots), m.roots.dev + "/ttyUSB0, " + shown);
    const std::string text = FormatSurvey(SurveySerialPorts(m.roots));
    EXPECT_NE(text.find("COM1: " + m.roots.dev + "/ttyUSB0 - USB serial adapter: " + shown + " (0403:6001)"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find_first_of("\x1b\x07"), std::string::npos);
}
