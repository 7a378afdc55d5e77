#pragma once
// The port host: keeps the port choice and line settings, opens and closes the port through the
// communications control, and serves the frame layer's reads and writes.
//
// Threads: settings, OpenPort and ClosePort belong to one thread (the GUI thread in the desktop
// program); IsPortOpen, ReadInput and WriteBlock may be called from any thread.
#include "link/MSComm.h"
#include "link/PortIO.h"

#include <atomic>
#include <string>

class CMSCommDlg : public IPortIO {
public:
    static constexpr int kOpenDelayMs = 10;  // pause before configuring the port

    // Sets the default settings and creates the control, as the hidden host dialog does.
    CMSCommDlg();

    void SetDefaultSettings();  // closed, COM1, "56000" "N" "8" "2", buffers 1024 and 512
    // Opens the port with the current settings. 1 on success, 0 on failure; a failure is shown
    // in the message dialog with the device, the reason and the remedy (see LastOpenError).
    int OpenPort();
    void ClosePort();
    int IsPortOpen() const { return m_open.load(); }
    // Takes effect at the next OpenPort; the port name text is left as it is.
    void SetPortSettings(int port, const std::string& baud, const std::string& parity,
                         const std::string& dataBits, const std::string& stopBits);
    // Uses a device path instead of the port number (the CLI's --port /dev/...).
    void SetPortDevice(const std::string& path);

    // Text of the last failed open, empty after a good one.
    std::string LastOpenError() const { return m_lastOpenError; }
    // After a good open: a warning that names the other programs that hold the device open too
    // (they would take some of the amplifier's answers), or empty when none is seen. The far
    // end of a pseudo-terminal (the simulator, a bridge) is the line itself and is not named.
    // Shown by the caller, before the first exchange.
    std::string OpenWarning() const { return m_openWarning; }
    // The port as the user names it ("COM1", or the device path) and the device it opens.
    std::string PortName() const { return m_comm.PortName(); }
    std::string DevicePath() const { return m_comm.DevicePath(); }

    std::size_t ReadInput(std::uint8_t* buf, std::size_t max) override;
    bool WriteBlock(const std::uint8_t* data, std::size_t n) override;
    std::string WriteErrorText() const override;
    bool LineLost() const override { return m_comm.LineLost(); }
    std::string LineLostText() const override;

    int m_port = 1;
    std::string m_portName;
    std::string m_baudRate;
    std::string m_parity;
    std::string m_dataBits;
    std::string m_stopBits;
    short m_inBufferSize = 1024;
    short m_outBufferSize = 512;

private:
    std::string OtherUsersWarning() const;

    std::atomic<int> m_open{0};
    CMSComm m_comm;
    std::string m_lastOpenError;
    std::string m_openWarning;
};

// The program's one port host. The Communication panel sets it up when it initialises; the
// other panels test IsPortOpen on it before they talk to the amplifier.
CMSCommDlg& ThePortHost();
