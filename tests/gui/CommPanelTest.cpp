#include "AmpSimulator.h"
#include "app/DlgCommOption.h"
#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "link/DlgPortSettings.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "protocol/NormalMessages.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/QtPlatform.h"
#include "res/Resource.h"
#include "support/DeviceUsers.h"
#include "support/MessageRecorder.h"
#include "support/ScopedEnv.h"

#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <memory>
#include <optional>

namespace {
const char* const NO_ANSWER = CDlgCommOption::NOT_CONNECTED_TEXT;
const QString FW_FAILED = "FW V: 0000 / 000000";
const QString EQ_FAILED = "EQ V: 0000 / 000000";

// Faces of the Open Port button away from its caption: colour style 0 and style 1.
const Rgb STYLE_0_FACE{205, 210, 215};
const Rgb STYLE_1_FACE{143, 187, 99};

// A Communication panel of its own with the simulated amplifier as COM1. Messages are recorded
// and answered OK. Every test leaves the program's port host closed, at its defaults and
// detached from the frame layer.
class CommPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        com1.emplace("KMR6650_COM1", sim.SlavePath());
        MakePanel();
    }
    void TearDown() override
    {
        panel.reset();
        EXPECT_EQ(ThePortHost().IsPortOpen(), 0) << "the panel closes the port when it goes";
        ThePortHost().SetDefaultSettings();
        sim.Stop();
    }
    void MakePanel()
    {
        panel = std::make_unique<CDlgCommOption>(nullptr, &settings);
        panel->SetReadMixerParams([this] {
            ++mixerReads;
            fwWhenMixerRead = Text(IDC_COMM_FW_VERSION);
        });
        panel->show();
    }

    void Press(int id) { static_cast<QPushButton*>(panel->Control(id))->click(); }
    QString Text(int id) const { return panel->Text(id); }
    // The Open Port button's face at a point its caption does not cover.
    Rgb OpenPortFace() const
    {
        QWidget* button = panel->Control(IDC_COMM_OPEN_PORT);
        EXPECT_FALSE(button->hasFocus()) << "the focused look has a face of its own";
        return PixelAt(Grab(button), 6, 6);
    }
    // Handles the notifications posted so far.
    static void Deliver() { QCoreApplication::processEvents(); }
    // Opens the port with an answering amplifier and checks that it worked.
    void OpenGood()
    {
        Press(IDC_COMM_OPEN_PORT);
        ASSERT_EQ(Text(IDC_COMM_OPEN_PORT), QString("OK"));
    }

    MessageRecorder messages;
    CAmpSimulator sim;
    std::optional<ScopedEnv> com1;  // COM1 is the simulator
    CDlgPortSettings settings;
    std::unique_ptr<CDlgCommOption> panel;
    int mixerReads = 0;
    QString fwWhenMixerRead;
};

// Stands between the frame layer and the port host and notes the Open Port caption when the
// first frame of a press goes out, so a test can see the caption the connection check runs under.
class CaptionAtFirstWrite : public IPortIO {
public:
    explicit CaptionAtFirstWrite(const CDlgCommOption& panel) : m_panel(panel) { TheMacLayer().SetPort(this); }
    ~CaptionAtFirstWrite() override { TheMacLayer().SetPort(&ThePortHost()); }
    std::size_t ReadInput(std::uint8_t* buf, std::size_t max) override { return ThePortHost().ReadInput(buf, max); }
    bool WriteBlock(const std::uint8_t* data, std::size_t n) override
    {
        if (caption.isNull())
            caption = m_panel.Text(IDC_COMM_OPEN_PORT);
        return ThePortHost().WriteBlock(data, n);
    }
    QString caption;

private:
    const CDlgCommOption& m_panel;
};
} // namespace

TEST_F(CommPanel, StartsWithThePortHostAtItsDefaultsAndReceivesTheFrameNotifications)
{
    panel.reset();
    ThePortHost().SetPortSettings(3, "9600", "E", "7", "1");
    MakePanel();
    const CMSCommDlg& host = ThePortHost();
    EXPECT_EQ(host.m_port, 1);
    EXPECT_EQ(host.m_baudRate + host.m_parity + host.m_dataBits + host.m_stopBits, "56000N82");
    EXPECT_EQ(host.IsPortOpen(), 0);

    EXPECT_EQ(Text(IDC_COMM_SETTINGS), QString("COM1,56000,8,2"));
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx:"));
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx:"));
    EXPECT_EQ(Text(IDC_COMM_PORT), QString());
    EXPECT_FALSE(panel->Control(IDC_COMM_PORT)->isVisible());
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Open Port"));
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V:"));
    EXPECT_EQ(panel->IsOpen(), 0);
    EXPECT_EQ(panel->IsConnected(), 0);
    EXPECT_EQ(PixelAt(Grab(panel.get()), 1, 1), (Rgb{240, 200, 195})) << "the scheme's light colour";

    // The frame layer reports to this panel: a frame sent while the port is closed still shows.
    const std::uint8_t payload[CProtocolMACLayer::PAYLOAD_LEN] = {0x08, 0x01, 0x02, 0x03, 0x04};
    TheMacLayer().SendFrame(payload);
    Deliver();
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx: 01 02 , 03 04 "));
}

TEST_F(CommPanel, OpenWithAnAnsweringAmplifierShowsOkAndTheVersionsThenCloseRestoresTheCaptions)
{
    sim.SetParam(normal::ADDR_VERSION_FIRST + 1, 21);
    sim.SetParam(normal::ADDR_VERSION_FIRST + 3, 1121);
    Press(IDC_COMM_OPEN_PORT);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("OK"));
    EXPECT_EQ(panel->IsOpen(), 1);
    EXPECT_EQ(panel->IsConnected(), 1);
    EXPECT_EQ(ThePortHost().IsPortOpen(), 1);
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V: 04B30015 / V1.2.03 b2"));
    EXPECT_EQ(Text(IDC_COMM_EQ_VERSION), QString("EQ V: 00690461 / V0.1.05.Jrc2"));
    EXPECT_EQ(mixerReads, 1);
    EXPECT_EQ(fwWhenMixerRead, Text(IDC_COMM_FW_VERSION)) << "the parameter read comes after the versions";
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(OpenPortFace(), STYLE_1_FACE);

    // The last exchange read the second EQ word, 0x0461, at 0xF007.
    Deliver();
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx: F0 07 , 00 00 "));
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx: F0 07 , 04 61 "));

    Press(IDC_COMM_OPEN_PORT);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Open Port"));
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx:"));
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx:"));
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V: 04B30015 / V1.2.03 b2")) << "versions keep their texts";
    EXPECT_EQ(Text(IDC_COMM_EQ_VERSION), QString("EQ V: 00690461 / V0.1.05.Jrc2"));
    EXPECT_EQ(panel->IsOpen(), 0);
    EXPECT_EQ(panel->IsConnected(), 0);
    EXPECT_EQ(ThePortHost().IsPortOpen(), 0);
    EXPECT_EQ(OpenPortFace(), STYLE_0_FACE);

    // The port opens again.
    sim.SetParam(normal::ADDR_VERSION_FIRST + 1, 0);
    OpenGood();
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V: 04B30000 / V1.2.03"));
    EXPECT_EQ(mixerReads, 2);
}

TEST_F(CommPanel, LaterCheckStepsFailingStillCountAsConnectedButReadNoParameters)
{
    // r = 3: the memory read fails; the version words still come.
    sim.SetMuted(normal::CMD_READ_MEM_WORD, true);
    Press(IDC_COMM_OPEN_PORT);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("OK"));
    EXPECT_EQ(panel->IsConnected(), 1);
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V: 04B30000 / V1.2.03"));
    EXPECT_EQ(Text(IDC_COMM_EQ_VERSION), QString("EQ V: 006903E8 / V0.1.05.J"));
    Press(IDC_COMM_OPEN_PORT);

    // r = 2: parameter reads fail, and with them the version words.
    sim.SetMuted(normal::CMD_READ_MEM_WORD, false);
    sim.SetMuted(normal::CMD_READ_PARAMS, true);
    Press(IDC_COMM_OPEN_PORT);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("OK"));
    EXPECT_EQ(panel->IsConnected(), 1);
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), FW_FAILED);
    EXPECT_EQ(Text(IDC_COMM_EQ_VERSION), EQ_FAILED);

    EXPECT_EQ(mixerReads, 0);
    EXPECT_TRUE(messages.Texts().empty()) << "a failed version read is not reported";
}

TEST_F(CommPanel, SilentAmplifierGivesConnectionErrorAndTheMessageWithOkAlone)
{
    OpenGood();
    Press(IDC_COMM_OPEN_PORT);
    sim.SetSilent(true);

    // This time through the program's own message box.
    kmr::CGuiMessageHandler gui;
    const kmr::MessageHandler previous = kmr::SetMessageHandler(gui.Handler());
    int shown = 0;
    WhenMessageShown([&](CDlgMessage& d) {
        ++shown;
        EXPECT_EQ(static_cast<QLabel*>(d.Control(IDC_MESSAGE_TEXT))->text(), QString(NO_ANSWER));
        EXPECT_FALSE(d.Control(IDCANCEL)->isVisible());
        EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Connection Error")) << "the caption is set first";
        ClickControl(d, IDOK);
    });
    Press(IDC_COMM_OPEN_PORT);
    kmr::SetMessageHandler(previous);

    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Connection Error"));
    EXPECT_EQ(panel->IsConnected(), 0);
    EXPECT_EQ(panel->IsOpen(), 1);
    EXPECT_EQ(ThePortHost().IsPortOpen(), 1) << "the port itself opened";
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), FW_FAILED) << "the versions are still read, and fail";
    EXPECT_EQ(Text(IDC_COMM_EQ_VERSION), EQ_FAILED);
    EXPECT_EQ(mixerReads, 1) << "only the good open read the parameters";

    Press(IDC_COMM_OPEN_PORT);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Open Port"));
    EXPECT_EQ(ThePortHost().IsPortOpen(), 0);
}

TEST_F(CommPanel, MissingDeviceTellsWhyThenRunsTheConnectionErrorFlow)
{
    const std::string device = "/nonexistent/kmr-tty";
    {
        const ScopedEnv missing("KMR6650_COM1", device);
        {
            CaptionAtFirstWrite spy(*panel);
            Press(IDC_COMM_OPEN_PORT);
            EXPECT_EQ(spy.caption, QString("Can not open port.")) << "the caption while the check runs";
        }
        const std::vector<std::string> shown = messages.Texts();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_NE(shown[0].find(device), std::string::npos) << "the reason names the device: " << shown[0];
        EXPECT_EQ(shown[1], NO_ANSWER);
        EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Connection Error"));
        EXPECT_EQ(panel->IsOpen(), 1) << "the next press closes";
        EXPECT_EQ(panel->IsConnected(), 0);
        EXPECT_EQ(ThePortHost().IsPortOpen(), 0);
        EXPECT_EQ(Text(IDC_COMM_FW_VERSION), FW_FAILED);
        EXPECT_EQ(OpenPortFace(), STYLE_1_FACE);

        Press(IDC_COMM_OPEN_PORT);
        EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Open Port"));
        EXPECT_EQ(panel->IsOpen(), 0);
        EXPECT_EQ(messages.Texts().size(), 2u);
    }

    // With the device back, the same panel opens it.
    OpenGood();
}

TEST_F(CommPanel, AnotherProgramHoldingThePortIsNamedBeforeTheConnectionChecksMessage)
{
    // A terminal program holds the amplifier's port open without a lock: it takes some of the
    // answers, and the user learns which program and process it is before anything else.
    const int slave = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);
    const HoldingProcess terminal({slave});
    ::close(slave);
    ASSERT_GT(terminal.Pid(), 0);
    const std::string warning = "Warning: COM1 (" + sim.SlavePath() + ") is also held open by sleep (pid " +
                                std::to_string(terminal.Pid()) + ").";

    sim.SetSilent(true);  // here the other program gets every answer
    Press(IDC_COMM_OPEN_PORT);
    std::vector<std::string> shown = messages.Texts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].rfind(warning, 0), 0u) << shown[0];
    EXPECT_EQ(shown[1], NO_ANSWER);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Connection Error"));
    Press(IDC_COMM_OPEN_PORT);

    // The answers still arrive: the warning, and then the port is used as usual.
    messages.Clear();
    sim.SetSilent(false);
    Press(IDC_COMM_OPEN_PORT);
    shown = messages.Texts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(warning, 0), 0u) << shown[0];
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("OK"));
    Press(IDC_COMM_OPEN_PORT);
}

TEST_F(CommPanel, ChosenPortIsShownAndOpenedNextWhileAnOpenPortStaysAsItIs)
{
    CAmpSimulator third;
    std::string error;
    ASSERT_TRUE(third.Start(&error)) << error;
    third.SetParam(normal::ADDR_VERSION_FIRST, 2000);
    const ScopedEnv com3("KMR6650_COM3", third.SlavePath());

    OpenGood();
    WhenModalShown<CDlgPortSettings>([](CDlgPortSettings& d) {
        auto* ports = static_cast<QComboBox*>(d.Control(IDC_PS_PORT));
        EXPECT_EQ(ports->currentText(), QString("com1")) << "opens at the host's port";
        ports->setCurrentIndex(2);
        static_cast<QPushButton*>(d.Control(IDOK))->click();
    });
    Press(IDC_COMM_PORT_SETTINGS);
    EXPECT_EQ(Text(IDC_COMM_SETTINGS), QString("COM3,56000,8,2"));
    EXPECT_EQ(ThePortHost().m_port, 3);
    EXPECT_EQ(ThePortHost().IsPortOpen(), 1) << "not reopened";
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("OK"));

    Press(IDC_COMM_OPEN_PORT);
    sim.ClearReceived();
    OpenGood();
    EXPECT_EQ(ThePortHost().DevicePath(), third.SlavePath());
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V: 07D00000 / V2.0.00"));
    EXPECT_TRUE(sim.Received().empty()) << "nothing went to the first port";
    Press(IDC_COMM_OPEN_PORT);
    third.Stop();
}

TEST_F(CommPanel, PortSettingsCancelChangesNothingAndTheSixthEntryGivesAnEmptyName)
{
    WhenModalShown<CDlgPortSettings>([](CDlgPortSettings& d) {
        static_cast<QComboBox*>(d.Control(IDC_PS_PORT))->setCurrentIndex(3);
        static_cast<QPushButton*>(d.Control(IDCANCEL))->click();
    });
    Press(IDC_COMM_PORT_SETTINGS);
    EXPECT_EQ(Text(IDC_COMM_SETTINGS), QString("COM1,56000,8,2"));
    EXPECT_EQ(ThePortHost().m_port, 1);

    WhenModalShown<CDlgPortSettings>([](CDlgPortSettings& d) {
        static_cast<QComboBox*>(d.Control(IDC_PS_PORT))->setCurrentIndex(5);
        static_cast<QPushButton*>(d.Control(IDOK))->click();
    });
    Press(IDC_COMM_PORT_SETTINGS);
    EXPECT_EQ(Text(IDC_COMM_SETTINGS), QString(",56000,8,2"));
    EXPECT_EQ(ThePortHost().m_port, 6);
    EXPECT_EQ(ThePortHost().m_baudRate + ThePortHost().m_parity + ThePortHost().m_dataBits + ThePortHost().m_stopBits,
              "56000N82");
}

TEST_F(CommPanel, FrameNotificationsShowTheFirstPayloadBytesAndOtherCodesAreIgnored)
{
    const MessageTargetPtr target = panel->FrameMsgTarget();
    PostMessageTo(target, WM_MAC_FRAME_MSG, 0, 0x01020304);
    PostMessageTo(target, WM_MAC_FRAME_MSG, 16, 0xA0FF0B0C);
    Deliver();
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx: 01 02 , 03 04 "));
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx: A0 FF , 0B 0C "));

    for (WPARAM code : {1, 5, 2, 17})
        PostMessageTo(target, WM_MAC_FRAME_MSG, code, 0x11223344);
    PostMessageTo(target, WM_PROTOCOL_NORMAL_MSG, 0, 0x11223344);
    Deliver();
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx: 01 02 , 03 04 "));
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx: A0 FF , 0B 0C "));
    EXPECT_EQ(Text(IDC_COMM_FW_VERSION), QString("FW V:"));

    // A frame received through the frame layer: payload 08 01 02 03 04.
    std::uint8_t payload[CProtocolMACLayer::PAYLOAD_LEN] = {0x08, 0x01, 0x02, 0x03, 0x04};
    std::uint8_t frame[CProtocolMACLayer::FRAME_LEN];
    CProtocolMACLayer::BuildFrame(payload, frame);
    TheMacLayer().ResetRxBuffers();
    TheMacLayer().ScanInput(frame, sizeof frame);
    ASSERT_EQ(TheMacLayer().GetFrameFromLoopBuf(payload), 1);
    Deliver();
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx: 01 02 , 03 04 "));
}

TEST_F(CommPanel, QuickPressesLeaveTheProgramWorking)
{
    // A close right after the open, before the open's notifications were handled: the traffic
    // lines still end reset.
    Press(IDC_COMM_OPEN_PORT);
    Press(IDC_COMM_OPEN_PORT);
    Deliver();
    EXPECT_EQ(Text(IDC_COMM_TX), QString("Tx:"));
    EXPECT_EQ(Text(IDC_COMM_RX), QString("Rx:"));
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Open Port"));

    // A press that arrives while a press is still being handled (from an event loop that the
    // message or the parameter read runs) is ignored.
    panel->SetReadMixerParams([this] { Press(IDC_COMM_OPEN_PORT); });
    OpenGood();
    EXPECT_EQ(panel->IsOpen(), 1);
    EXPECT_EQ(ThePortHost().IsPortOpen(), 1);
    Press(IDC_COMM_OPEN_PORT);

    sim.SetSilent(true);
    const kmr::MessageHandler previous = kmr::SetMessageHandler([this](const std::string&, bool) {
        Press(IDC_COMM_OPEN_PORT);
        return kmr::MSG_OK;
    });
    Press(IDC_COMM_OPEN_PORT);
    kmr::SetMessageHandler(previous);
    EXPECT_EQ(Text(IDC_COMM_OPEN_PORT), QString("Connection Error"));
    EXPECT_EQ(ThePortHost().IsPortOpen(), 1);
    Press(IDC_COMM_OPEN_PORT);
    EXPECT_EQ(ThePortHost().IsPortOpen(), 0);
}

TEST_F(CommPanel, EveryControlHasItsRealRoleAndItsTextAsName)
{
    auto expect = [](QWidget* w, QAccessible::Role role, const QString& name) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), role) << name.toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), name);
    };
    expect(panel->Control(IDC_COMM_PORT_SETTINGS), QAccessible::Button, "Port Settings");
    expect(panel->Control(IDC_COMM_OPEN_PORT), QAccessible::Button, "Open Port");
    for (int id : {IDC_COMM_SETTINGS, IDC_COMM_RX, IDC_COMM_TX, IDC_COMM_FW_VERSION, IDC_COMM_EQ_VERSION})
        expect(panel->Control(id), QAccessible::StaticText, Text(id));
    const auto labels = panel->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* l) {
        return QAccessible::queryAccessibleInterface(l)->text(QAccessible::Name) == "Communication Option";
    }));

    // Names follow the texts as they change.
    OpenGood();
    Deliver();
    expect(panel->Control(IDC_COMM_OPEN_PORT), QAccessible::Button, "OK");
    expect(panel->Control(IDC_COMM_FW_VERSION), QAccessible::StaticText, "FW V: 04B30000 / V1.2.03");
    expect(panel->Control(IDC_COMM_RX), QAccessible::StaticText, "Rx: F0 07 , 03 E8 ");
    Press(IDC_COMM_OPEN_PORT);
}
