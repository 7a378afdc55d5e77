#pragma once
// The communications control: a serial port with the properties the port host sets before it
// opens the port, and binary input and output. Input may be read in one thread while another
// writes; opening and closing wait for transfers in progress.
#include "link/SerialDevice.h"

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

class CMSComm {
public:
    CMSComm() = default;

    // Port number n means the device of COM n (ComPortDevice, link/PortSurvey.h): the one named by
    // KMR6650_COM<n> when set, else the n-th serial device with hardware behind it, else
    // /dev/ttyS<n-1>.
    void SetCommPort(short port);
    short GetCommPort() const;
    // A device path given directly (the CLI's --port /dev/...): used instead of the port number.
    void SetDevice(const std::string& path);
    std::string DevicePath() const;
    // The name the user knows the port by: "COM3", or the device path when one was given.
    std::string PortName() const;

    void SetSettings(const std::string& settings);  // "56000N82"
    std::string GetSettings() const;
    void SetInBufferSize(short size);
    short GetInBufferSize() const;
    void SetOutBufferSize(short size);
    short GetOutBufferSize() const;
    void SetInputMode(long mode);  // 1 = binary, the only mode this program uses
    void SetRThreshold(short threshold);  // kept; reception is polled, no event is raised
    void SetInputLen(short len);  // 0 = a read returns everything pending

    bool GetPortOpen() const;
    // Opens or closes the port. Opening can fail (no device, no permission, busy, bad settings):
    // then the result is false and LastError() says why.
    bool SetPortOpen(bool open);
    // Why the last open failed, or the line was found gone by a read; None after a good open.
    kmr::SerialError LastError() const;
    // Why the last write failed; None after a good open. Kept apart from LastError so that a
    // read that meets the same lost line does not hide what the write met.
    kmr::SerialError LastWriteError() const;

    // Input: what is pending, at most InBufferSize (or InputLen when non-zero) and max bytes.
    std::size_t GetInput(std::uint8_t* buf, std::size_t max);
    // Output: writes the whole block; false if the port is closed or the line failed (then
    // LastWriteError() says why; after a failed write every later one fails at once until the port
    // is opened again).
    bool SetOutput(const std::uint8_t* data, std::size_t n);
    // True once a read or write found the far end gone since the port was opened.
    bool LineLost() const;

private:
    // Names the device as the user knows it: "COM3 (/dev/ttyUSB0)", or the path alone.
    void NameDevice(kmr::SerialError* error) const;

    mutable std::shared_mutex m_lock;  // shared: transfers; exclusive: open, close, settings
    kmr::CSerialDevice m_device;
    short m_port = 1;
    std::string m_devicePath;
    std::string m_settings = "9600N81";
    short m_inBufferSize = 1024;
    short m_outBufferSize = 512;
    long m_inputMode = 1;
    short m_rThreshold = 0;
    short m_inputLen = 0;
    std::mutex m_writeLock;  // one block on the line at a time: frames never interleave
    kmr::SerialError m_lastError;
    kmr::SerialError m_lastWriteError;
    mutable std::mutex m_errorLock;  // both errors: they are written by transfers too
};
