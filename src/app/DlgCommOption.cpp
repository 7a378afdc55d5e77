#include "app/DlgCommOption.h"

#include "app/VersionText.h"
#include "controls/ColorButton.h"
#include "controls/ColorScheme.h"
#include "link/DlgPortSettings.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/MixerLink.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"
#include "protocol/ProtocolAppNormal.h"
#include "qtplatform/QtPlatform.h"
#include "res/Resource.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScopedValueRollback>
#include <cstdint>

namespace {
// Version words: 0 and 1 the firmware's, 2 and 3 the EQ data's.
constexpr int FW_WORD_1 = 0;
constexpr int FW_WORD_2 = 1;
constexpr int EQ_WORD_1 = 2;
constexpr int EQ_WORD_2 = 3;

QString HexByte(std::uint32_t value, int shift)
{
    return QString::asprintf("%02X ", static_cast<unsigned>((value >> shift) & 0xFFu));
}
} // namespace

CDlgCommOption::CDlgCommOption(QWidget* parent, CDlgPortSettings* portSettings)
    : QWidget(parent), m_controls(IDD_COMM_OPTION, this), m_portSettings(portSettings)
{
    CColorScheme::Apply(this, TheColorScheme().lightBrush, Qt::black);

    CMSCommDlg& host = ThePortHost();
    if (host.IsPortOpen())
        host.ClosePort();
    host.SetDefaultSettings();
    TheMacLayer().SetPort(&host);

    m_controls.SetText(IDC_COMM_PORT, QString());
    m_controls.SetText(IDC_COMM_RX, "Rx:");
    m_controls.SetText(IDC_COMM_TX, "Tx:");
    m_controls.SetText(IDC_COMM_SETTINGS,
                       SettingsText(host.m_portName, host.m_baudRate, host.m_dataBits, host.m_stopBits));

    m_frameTarget = kmr::CQtMessageTarget::Create(
        this, [this](unsigned msg, WPARAM code, LPARAM value) { OnMacFrameMsg(msg, code, value); });
    TheMacLayer().SetFrameMsgTarget(m_frameTarget);

    connect(m_controls.Control<CColorButton>(IDC_COMM_PORT_SETTINGS), &QPushButton::clicked, this,
            &CDlgCommOption::OnPortSettings);
    connect(m_controls.Control<CColorButton>(IDC_COMM_OPEN_PORT), &QPushButton::clicked, this,
            &CDlgCommOption::OnOpenPort);
}

CDlgCommOption::~CDlgCommOption()
{
    TheMacLayer().SetFrameMsgTarget({});
    m_frameTarget.reset();
    CMSCommDlg& host = ThePortHost();
    if (host.IsPortOpen())
        host.ClosePort();
    TheMacLayer().SetPort(nullptr);
}

MessageTargetPtr CDlgCommOption::FrameMsgTarget() const
{
    return m_frameTarget;
}

QString CDlgCommOption::SettingsText(const std::string& portName, const std::string& baud,
                                     const std::string& dataBits, const std::string& stopBits)
{
    return QString::fromStdString(portName + "," + baud + "," + dataBits + "," + stopBits);
}

QString CDlgCommOption::FrameBytesText(LPARAM value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return HexByte(v, 24) + HexByte(v, 16) + ", " + HexByte(v, 8) + HexByte(v, 0);
}

void CDlgCommOption::OnPortSettings()
{
    if (!m_portSettings->DoModal(ThePortHost().m_port))
        return;
    const CDlgPortSettings& s = *m_portSettings;
    // The choice takes effect at the next open; an open port stays as it is.
    ThePortHost().SetPortSettings(s.PortNumber(), s.BaudRate(), s.Parity(), s.DataBits(), s.StopBits());
    m_controls.SetText(IDC_COMM_SETTINGS, SettingsText(s.PortName(), s.BaudRate(), s.DataBits(), s.StopBits()));
}

void CDlgCommOption::OnOpenPort()
{
    // The press waits for the amplifier, and a message or the parameter read that follows may
    // run an event loop of its own: a press that arrives meanwhile is ignored, so one press is
    // always handled to its end before the next begins.
    if (m_busy)
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    if (m_open == 0)
        OpenAndCheck();
    else
        Close();
}

void CDlgCommOption::OpenAndCheck()
{
    // A port that cannot be opened has already told the user why (the device, the reason and
    // the remedy); the check below still runs and ends in "Connection Error".
    if (ThePortHost().OpenPort() == 0) {
        m_controls.SetText(IDC_COMM_OPEN_PORT, "Can not open port.");
        m_connected = 0;
    } else if (const std::string warning = ThePortHost().OpenWarning(); !warning.empty()) {
        // Another program holding the port takes some of the answers: say so before the check,
        // whose own message would otherwise leave the user guessing.
        kmr::ShowMessage(warning);
    }
    m_open = 1;
    SetOpenPortStyle(1);
    kmr::Sleep(OPEN_SETTLE_MS);

    // No answer to the first step means the amplifier is not there; a later step failing still
    // counts as connected, but only a check that passed every step goes on to read the mixer.
    const auto r = TheNormalProtocol().CheckConnection();
    if (r == CProtocolAppNormal::CHECK_NO_ANSWER) {
        m_controls.SetText(IDC_COMM_OPEN_PORT, "Connection Error");
        m_connected = 0;
        kmr::ShowMessage(NOT_CONNECTED_TEXT);
    } else {
        m_controls.SetText(IDC_COMM_OPEN_PORT, "OK");
        m_connected = 1;
    }
    kmr::Sleep(CHECK_PAUSE_MS);
    ShowVersions();

    if (r == CProtocolAppNormal::CHECK_OK) {
        kmr::Sleep(CHECK_PAUSE_MS);
        if (m_readMixerParams)
            m_readMixerParams();
    }
}

void CDlgCommOption::ShowVersions()
{
    const int f1 = ReadVersionWord(FW_WORD_1);
    const int f2 = ReadVersionWord(FW_WORD_2);
    const int e1 = ReadVersionWord(EQ_WORD_1);
    const int e2 = ReadVersionWord(EQ_WORD_2);
    m_controls.SetText(IDC_COMM_FW_VERSION, QString::fromStdString(FirmwareLabelText(f1, f2)));
    m_controls.SetText(IDC_COMM_EQ_VERSION, QString::fromStdString(EqLabelText(e1, e2)));
}

void CDlgCommOption::Close()
{
    CMSCommDlg& host = ThePortHost();
    if (host.IsPortOpen())
        host.ClosePort();
    // Notifications of frames exchanged before the close are handled now, so that they cannot
    // fill the traffic lines again after these are reset below.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_open = 0;
    SetOpenPortStyle(0);
    m_controls.SetText(IDC_COMM_OPEN_PORT, "Open Port");
    m_controls.SetText(IDC_COMM_RX, "Rx:");
    m_controls.SetText(IDC_COMM_TX, "Tx:");
    m_connected = 0;
}

void CDlgCommOption::SetOpenPortStyle(int style)
{
    m_controls.Control<CColorButton>(IDC_COMM_OPEN_PORT)->SetColorStyle(style);
}

void CDlgCommOption::OnMacFrameMsg(unsigned msg, WPARAM code, LPARAM value)
{
    if (msg != WM_MAC_FRAME_MSG)
        return;
    if (code == CProtocolMACLayer::FRAME_SENT)
        m_controls.SetText(IDC_COMM_TX, "Tx: " + FrameBytesText(value));
    else if (code == CProtocolMACLayer::FRAME_RECEIVED)
        m_controls.SetText(IDC_COMM_RX, "Rx: " + FrameBytesText(value));
}
