#pragma once
// One serial device opened for exclusive use in raw mode, over termios. Reads never block;
// writes never drop a byte and never hang (a line that takes no byte for kWriteStallMs fails),
// and once a write has failed for good every later write fails at once until the next open.
#include "link/SerialError.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kmr {

// Line parameters from a settings text such as "56000N82" (baud, parity letter, data bits,
// stop bits run together; commas between the fields are accepted too).
struct LineSettings {
    unsigned baud = 56000;
    char parity = 'N';      // N, E, O, M or S
    unsigned dataBits = 8;  // 5 to 8
    unsigned stopBits = 2;  // 1 or 2 ("1.5" is taken as 2, as the UART does for 5 data bits)
};
std::optional<LineSettings> ParseLineSettings(const std::string& text);

class CSerialDevice {
public:
    static constexpr int kWriteStallMs = 2000;  // no progress this long: the line is dead
    static constexpr double kSpeedTolerance = 0.01;  // driver's speed within 1% of the asked one
    static constexpr int kDrainMarginMs = 50;  // a close waits this much longer than the line needs
    // Bytes sent first after a close that threw output away: one frame of the amplifier's
    // protocol less its start byte, enough to complete any frame the far end had begun.
    static constexpr std::size_t kResyncBytes = 15;

    CSerialDevice() = default;
    ~CSerialDevice();
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // Opens path exclusively and sets the line, then reads the whole setting back; on failure
    // returns false and fills *error. portVariable names the environment variable that chose
    // path, if one did (for the remedy of a missing device).
    // The line is raw, without flow control and without HUPCL, so that closing leaves DTR and
    // RTS raised. A failed open leaves no exclusive mark on the device.
    bool Open(const std::string& path, const LineSettings& settings, SerialError* error,
              const std::string& portVariable = {});
    // Closes the device without hanging: the output queue is given as long as the line needs
    // for what we wrote (by our own clock, plus kDrainMarginMs), none after a write that failed
    // or a line that is gone, and what is left is thrown away. When output was thrown away
    // (not after a lost line alone), the next Open sends kResyncBytes zero bytes first.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Reads what is pending, at most max bytes, without waiting. Returns the count (0 when
    // nothing is pending or the line is gone; then LineLost() tells which, and *error, when
    // given, says why).
    std::size_t Read(std::uint8_t* buf, std::size_t max, SerialError* error = nullptr);
    // Writes all n bytes, waiting for room in the output queue as long as the line takes bytes.
    // At most the output buffer's size is ever ahead of the line, so that a reply awaited after
    // the last byte of a long transfer is not delayed by our own backlog. What is ahead is
    // counted by our own clock (bytes written against what the line could have carried since,
    // at the configured speed), because pseudo-terminals and some USB drivers report no output
    // queue; the driver's report, where there is one, is a second limit.
    // After a write that failed for good (the line took nothing for kWriteStallMs, or the device
    // is gone) every later write fails at once with the same error until the device is opened
    // again.
    bool Write(const std::uint8_t* data, std::size_t n, SerialError* error);
    // Bytes that may be ahead of the line (default 512). Set before transfers start.
    void SetOutputBufferSize(std::size_t bytes) { m_outputBuffer = bytes; }

    bool LineLost() const { return m_lost.load(); }
    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    // Bytes waiting for the line: by our clock, or the driver's output queue when it is larger.
    std::size_t Queued();
    // Waits until n more bytes fit the output buffer. False when the queue stops draining.
    bool WaitForRoom(std::size_t n);
    // Waits until the line has carried what we wrote by our clock and the driver reports no
    // output queue (true), or until kDrainMarginMs after that time (false: what the driver still
    // holds is not moving).
    bool DrainOutput();
    // Records a write failure that lasts until the next open; returns false.
    bool WriteFailed(int err, SerialError* error);

    std::atomic<bool> m_lost{false};
    std::string m_path;
    std::size_t m_outputBuffer = 512;
    double m_bytesPerSecond = 5091;  // from the line settings
    std::chrono::steady_clock::time_point m_lineFreeAt{};  // when the line has sent all we wrote
    std::optional<SerialError> m_writeError;  // the failure that ended writing, until reopened
    bool m_resyncFarEnd = false;  // the last close threw output away
};

} // namespace kmr
