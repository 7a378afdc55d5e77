#pragma once
// The two operations the frame layer needs from the serial port service.
#include <cstddef>
#include <cstdint>
#include <string>

class IPortIO {
public:
    virtual ~IPortIO() = default;
    // Everything received since the last read, at most max bytes; 0 when nothing is pending or
    // the port is closed. Never blocks.
    virtual std::size_t ReadInput(std::uint8_t* buf, std::size_t max) = 0;
    // Hands one block to the line. Returns false if the block could not be written (port closed,
    // line gone); a closed port drops the block.
    virtual bool WriteBlock(const std::uint8_t* data, std::size_t n) = 0;
    // What the last failed WriteBlock met, as a message for the user; empty if none is known.
    virtual std::string WriteErrorText() const { return {}; }
    // True once a read or a write has found the line gone (the device vanished, or the line
    // takes no data) since the port was opened. Cheap enough to ask at every poll.
    virtual bool LineLost() const { return false; }
    // What that read or write met, as a message for the user; empty while the line is there.
    virtual std::string LineLostText() const { return {}; }
};
