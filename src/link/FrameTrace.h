#pragma once
// Optional record of every frame on the line, for diagnosing a line in the field. Off unless the
// user asks for it; the frame layer calls it from the sending and the receiving thread.
#include "platform/OutputFile.h"

#include <cstdint>
#include <mutex>
#include <string>

class CFrameTrace {
public:
    enum Direction { Sent, Received, Rejected };
    virtual ~CFrameTrace() = default;
    virtual void Frame(Direction dir, const std::uint8_t* frame16) = 0;
};

// Writes one line per frame: local time with microseconds, "TX", "RX" or "RX-BAD-SUM", and the
// 16 bytes in hex. Each line is written at once so that a trace survives a crash or a pulled
// plug. The file is a new one put in place of path (kmr::COutputFile: a regular file or a new
// name only, through links, keeping an old file's mode and owner).
class CFileFrameTrace : public CFrameTrace {
public:
    // Makes the file; false with *reason when path cannot take it.
    bool Open(const std::string& path, std::string* reason);
    void Frame(Direction dir, const std::uint8_t* frame16) override;
    // Closes the file. False with *reason when a line could not be written (a full disk) or
    // the close failed: the trace is then incomplete.
    bool Close(std::string* reason);

private:
    std::mutex m_lock;
    kmr::COutputFile m_file;
    std::string m_error;  // why the first line that failed could not be written
};

// The text of one trace line without its newline.
std::string FormatTraceLine(CFrameTrace::Direction dir, const std::uint8_t* frame16);
