#include "link/MSCommDlg.h"

#include "link/SerialError.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"

#include <unistd.h>

CMSCommDlg& ThePortHost()
{
    static CMSCommDlg host;
    return host;
}

CMSCommDlg::CMSCommDlg()
{
    SetDefaultSettings();
}

void CMSCommDlg::SetDefaultSettings()
{
    m_open = 0;
    m_port = 1;
    m_portName = "COM1";
    m_baudRate = "56000";
    m_parity = "N";
    m_dataBits = "8";
    m_stopBits = "2";
    m_inBufferSize = 1024;
    m_outBufferSize = 512;
}

int CMSCommDlg::OpenPort()
{
    kmr::Sleep(kOpenDelayMs);
    m_comm.SetCommPort(static_cast<short>(m_port));
    m_comm.SetSettings(m_baudRate + m_parity + m_dataBits + m_stopBits);
    m_comm.SetInBufferSize(m_inBufferSize);
    m_comm.SetOutBufferSize(m_outBufferSize);
    m_comm.SetInputMode(1);
    m_comm.SetRThreshold(1);
    m_comm.SetInputLen(0);
    if (m_comm.GetPortOpen()) {
        kmr::ShowMessage("CMSCommDlg error: Port open error! Please register MSCOMM32.OCX!");
        return 0;
    }
    m_openWarning.clear();
    if (!m_comm.SetPortOpen(true)) {
        m_lastOpenError = m_comm.LastError().Text();
        kmr::ShowMessage(m_lastOpenError);
        return 0;
    }
    m_lastOpenError.clear();
    m_openWarning = OtherUsersWarning();
    std::uint8_t stale[1024];
    m_comm.GetInput(stale, sizeof stale);
    m_open = 1;
    return 1;
}

std::string CMSCommDlg::OtherUsersWarning() const
{
    const std::string device = DevicePath();
    std::vector<kmr::PortHolder> users = kmr::FindPortHolders(device);
    const int self = getpid();  // our own lock is among the holders
    std::erase_if(users, [self](const kmr::PortHolder& h) { return h.otherEnd || h.pid == self; });
    if (users.empty())
        return {};
    const std::string name = PortName();
    return "Warning: " + (name == device ? device : name + " (" + device + ")") + " is also held open by " +
           kmr::HolderText(users) +
           ". That program can take the amplifier's answers before this one sees them, so exchanges may fail: "
           "close it, then open the port again.";
}

void CMSCommDlg::ClosePort()
{
    m_comm.SetPortOpen(false);
    m_open = 0;
}

void CMSCommDlg::SetPortSettings(int port, const std::string& baud, const std::string& parity,
                                 const std::string& dataBits, const std::string& stopBits)
{
    m_port = port;
    m_baudRate = baud;
    m_parity = parity;
    m_dataBits = dataBits;
    m_stopBits = stopBits;
}

void CMSCommDlg::SetPortDevice(const std::string& path)
{
    m_comm.SetDevice(path);
}

std::size_t CMSCommDlg::ReadInput(std::uint8_t* buf, std::size_t max)
{
    return m_comm.GetInput(buf, max);
}

bool CMSCommDlg::WriteBlock(const std::uint8_t* data, std::size_t n)
{
    return m_comm.SetOutput(data, n);
}

std::string CMSCommDlg::WriteErrorText() const
{
    const kmr::SerialError error = m_comm.LastWriteError();
    return error.kind != kmr::SerialError::None ? error.Text() : std::string();
}

std::string CMSCommDlg::LineLostText() const
{
    if (!m_comm.LineLost())
        return {};
    // A write that failed says most (the line takes no data, or the device is gone); a read
    // that found the far end gone says the rest.
    for (const kmr::SerialError& error : {m_comm.LastWriteError(), m_comm.LastError()})
        if (error.kind != kmr::SerialError::None)
            return error.Text();
    return {};
}
