#pragma once
// Optional record of every frame on the line, for diagnosing a line in the field. Off unless the
// user asks for it; the frame layer calls it from the sending and the receiving thread.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class CFrameTrace {
public:
    enum Direction { Sent, Received, Rejected };
    virtual ~CFrameTrace() = default;
    virtual void Frame(Direction dir, const std::uint8_t* frame16) = 0;
};

// Writes one line per frame: local time with microseconds, "TX", "RX" or "RX-BAD-SUM", and the
// 16 bytes in hex. Lines are flushed at once so that a trace survives a crash or a pulled plug.
class CFileFrameTrace : public CFrameTrace {
public:
    // Opens path for writing (truncating it); IsOpen tells whether that worked.
    explicit CFileFrameTrace(const std::string& path);
    ~CFileFrameTrace() override;
    bool IsOpen() const { return m_file != nullptr; }
    void Frame(Direction dir, const std::uint8_t* frame16) override;

private:
    std::mutex m_lock;
    std::FILE* m_file = nullptr;
};

// The text of one trace line without its newline.
std::string FormatTraceLine(CFrameTrace::Direction dir, const std::uint8_t* frame16);
