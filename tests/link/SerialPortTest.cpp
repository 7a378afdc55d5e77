// The serial port service on real pseudo-terminals.
#include "link/MSCommDlg.h"
#include "link/PortSurvey.h"
#include "link/SerialDevice.h"
#include "link/Termios2.h"
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
#include <unistd.h>
#include <sys/stat.h>
#include <grp.h>
#include <sys/ioctl.h>

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
