#pragma once
// The amplifier's side of the serial protocol, served on a pseudo-terminal. The program under
// test opens SlavePath() like any serial device; the simulator answers each valid frame as the
// amplifier would and ignores frames with a bad sum. Fault switches make it misbehave the way a
// real line or amplifier can.
//
// Threads: the simulator serves in its own thread. Every setter and getter may be called from
// any thread while it runs.
#include "SimUpdate.h"

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CAmpSimulator {
public:
    using Payload = std::array<std::uint8_t, 13>;

    CAmpSimulator();
    ~CAmpSimulator();
    CAmpSimulator(const CAmpSimulator&) = delete;
    CAmpSimulator& operator=(const CAmpSimulator&) = delete;

    // Creates the pseudo-terminal pair and starts serving. False (with *error) if it could not.
    bool Start(std::string* error = nullptr);
    // Stops serving and closes the pseudo-terminal; returns within STOP_MS whatever the line
    // speed and the fault switches (a reply delay is cut short).
    static constexpr int STOP_MS = 100;
    void Stop();
    // The device path the program opens (/dev/pts/N).
    std::string SlavePath() const { return m_slavePath; }

    // Parameter store: 16-bit values by 16-bit address. The amplifier has exactly the addresses
    // of the program's parameter table, each starting at its record's default device value,
    // and 0xF001 (mixer mode + 1, starts at 1), 0xF003 (EQ preset count, 12) and 0xF004-0xF007
    // (version words). A parameter write or read that names any other non-zero address gets no
    // answer and changes nothing (the program sees an exchange failure); values themselves are
    // stored as written, whatever their range.
    // SetParam changes a stored value and returns false, storing nothing, for an address the
    // amplifier does not have. GetParam gives the stored value, or nothing for such an address.
    bool SetParam(std::uint16_t address, std::uint16_t value);
    std::optional<std::uint16_t> GetParam(std::uint16_t address) const;
    // Fault switch: while on, reads of address answer a value just outside its valid range (one
    // above the highest device value of its record's steps; mode value 4 for 0xF001; 63 for
    // 0xF003), whatever is stored. False, changing nothing, for an address without a range
    // (version words, unknown addresses).
    bool SetOutOfRangeReply(std::uint16_t address, bool on);
    // Memory (32-bit words).
    void SetMemory(std::uint32_t address, std::uint32_t value);
    std::uint32_t GetMemory(std::uint32_t address) const;

    // Fault switches; each stays as set until changed.
    void SetSilent(bool on) { m_silent = on; }                   // answers nothing
    void SetReplyDelayMs(unsigned ms) { m_delayMs = ms; }        // waits before each answer
    void SetNoiseBytes(unsigned n) { m_noise = n; }              // n noise bytes (F8 among them) before each answer
    void SetStrayStartByte(bool on) { m_strayStart = on; }       // one F8 right before each answer
    void SetSplitReplies(unsigned chunk, unsigned pauseMs)        // answers written chunk bytes at a time
    {
        m_splitChunk = chunk;
        m_splitPauseMs = pauseMs;
    }
    void SetStaleReplyFirst(bool on) { m_staleFirst = on; }      // the previous answer again, first
    void SetBadSumFrameFirst(bool on) { m_badSumFirst = on; }    // a frame with a wrong sum, first
    void SetMuted(std::uint8_t command, bool muted) { m_muted[command] = muted; }  // ignore one command
    void SetWrongEcho(bool on) { m_wrongEcho = on; }             // answers echo the first address + 1
    // Closes the far end of the line, as a pulled adapter does: the device path vanishes and
    // the program's reads and writes fail.
    void Disconnect();
    // Paces the line both ways like a UART at baud (8N2: 11 bits a byte): bytes are taken from
    // the line no faster than that, so the program's writes wait as on a real line, and the
    // answers reach the program no faster either. 0 (the default) is an unpaced line. A speed
    // below MIN_LINE_BAUD is refused: false, and the line stays as it was.
    static constexpr unsigned MIN_LINE_BAUD = 300;
    bool SetLineBaud(unsigned baud);
    // Delivers the answers to the program in bursts at most every ms milliseconds, as the
    // latency timer of a USB-serial adapter does (16 ms is a common default). 0: at once.
    void SetLatencyMs(unsigned ms) { m_latencyMs = ms; }
    // Stops taking bytes from the line, as a stalled adapter does: the pseudo-terminal fills up
    // and the program's writes stop going through.
    void SetStalled(bool on) { m_stalled = on; }
    // Bytes taken from the line so far.
    std::uint64_t BytesReceived() const { return m_bytesIn.load(); }

    // The update side: acknowledges, erase time, received image, update faults.
    CSimUpdate& Update() { return m_update; }

    // What arrived: the latest valid request payloads (at most RECEIVED_LOG_MAX, the oldest
    // dropped first; update data blocks are not kept here, their bytes are in the update's
    // image), and the count of frames with a bad sum.
    static constexpr std::size_t RECEIVED_LOG_MAX = 4096;
    std::vector<Payload> Received() const;
    unsigned BadFrames() const { return m_badFrames.load(); }
    void ClearReceived();

private:
    void Serve();
    void OnByte(std::uint8_t b);
    void HandleRequest(const Payload& request);
    // Sends answer with the configured faults applied.
    void Reply(const Payload& answer);
    // Puts bytes on the line towards the program: at once on an unpaced line, else queued with
    // the time each reaches the program.
    void WriteAll(const std::uint8_t* data, std::size_t n);
    // Writes the queued bytes that are due; returns the time until the next one is (if any).
    std::optional<std::chrono::steady_clock::duration> FlushDue();
    // Pauses the serving thread, still delivering queued bytes as they fall due.
    void PauseMs(unsigned ms);
    // How many pending bytes have crossed the line by now, at most max; byteTime is the time one
    // byte takes on it (0: unpaced, all of them).
    std::size_t LineAllowance(std::size_t max, std::chrono::steady_clock::duration byteTime);
    // How long one byte takes on a line paced at baud (0 unpaced). Callers read the speed once
    // and pass it, so a change from another thread cannot make one byte's steps disagree.
    static std::chrono::steady_clock::duration ByteTime(unsigned baud);
    void CloseLine();

    int m_master = -1;
    int m_slave = -1;  // held open so the line stays up between the program's opens
    std::string m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};

    mutable std::mutex m_lock;  // the stores and the log below
    std::map<std::uint16_t, std::uint16_t> m_params;  // holds exactly the amplifier's addresses
    std::map<std::uint16_t, std::uint16_t> m_outOfRangeValue;  // per address with a range
    std::set<std::uint16_t> m_outOfRangeOn;  // addresses whose reads answer their out-of-range value
    std::map<std::uint32_t, std::uint32_t> m_memory;
    std::deque<Payload> m_received;

    // Serving thread only.
    std::uint8_t m_frame[16] = {};
    int m_framePos = 0;
    std::optional<Payload> m_lastAnswer;
    std::uint32_t m_noiseSeed = 12345;
    std::chrono::steady_clock::time_point m_rxBusyUntil{};  // when the last byte taken had fully arrived
    bool m_rxIdle = true;  // nothing was pending at the last look: the next byte starts when seen
    std::chrono::steady_clock::time_point m_lineStart{};  // the latency timer's ticks count from here
    std::chrono::steady_clock::time_point m_txFreeAt{};   // when the line has carried all queued answers
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::uint8_t>> m_txQueue;  // byte, when due
    CSimUpdate m_update;

    std::atomic<bool> m_silent{false};
    std::atomic<unsigned> m_delayMs{0};
    std::atomic<unsigned> m_noise{0};
    std::atomic<bool> m_strayStart{false};
    std::atomic<unsigned> m_splitChunk{0};
    std::atomic<unsigned> m_splitPauseMs{0};
    std::atomic<bool> m_staleFirst{false};
    std::atomic<bool> m_badSumFirst{false};
    std::atomic<bool> m_wrongEcho{false};
    std::array<std::atomic<bool>, 256> m_muted{};
    std::atomic<unsigned> m_badFrames{0};
    std::atomic<unsigned> m_lineBaud{0};
    std::atomic<unsigned> m_latencyMs{0};
    std::atomic<bool> m_stalled{false};
    std::atomic<std::uint64_t> m_bytesIn{0};
};
