#pragma once
// The amplifier's side of an update: it acknowledges establish, erase (after its erase time),
// the end of the write pass and the end of the verify pass, and keeps the image it receives.
// It checks what a real amplifier would: the block counts announced in commands 0x03 and 0x04
// against the blocks that came, and that the verify pass repeats the write pass exactly; a
// check that fails gets no acknowledge, and LastError says why.
//
// Threads: called by the simulator's serving thread; the getters may be called from any thread.
#include "protocol/UpdateMessages.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CSimUpdate {
public:
    using Payload = std::array<std::uint8_t, 13>;
    using Clock = std::chrono::steady_clock;
    enum Phase { Establish, Erase, Write, Verify, PhaseCount };
    enum Kind {
        None = update::KIND_UNKNOWN_CODE,
        System = update::KIND_SYSTEM_CODE,
        Preset = update::KIND_PRESET_CODE,
        Test = update::KIND_TEST_CODE,
    };

    // Handles one update payload (0xD0 command or 0xE0 block). Returns the acknowledge to send
    // at once, if any. The erase acknowledge comes later, from Poll.
    std::optional<Payload> Handle(const Payload& request, Clock::time_point now);
    // The erase acknowledge once the erase time has passed since the erase command.
    std::optional<Payload> Poll(Clock::time_point now);
    // How long until Poll may have something to send (for the serving loop's wait).
    std::optional<Clock::duration> TimeToNextEvent(Clock::time_point now) const;

    void SetEraseTimeMs(unsigned ms) { m_eraseMs = ms; }
    void SetNoAck(Phase phase, bool on) { m_noAck[phase] = on; }
    // After this many data blocks of the write pass the line is cut (0: never).
    void SetDisconnectAfterBlocks(unsigned blocks) { m_disconnectAfter = blocks; }
    bool DisconnectDue() const { return m_disconnectDue.load(); }

    // What the amplifier has: the kind of the last establish (None for a code it does not
    // know), the image of the last write pass
    // (12 bytes per block), whether the last run finished with every check passed, and the
    // count of each command received.
    Kind LastKind() const;
    std::vector<std::uint8_t> Image() const;
    bool Completed() const;
    std::string LastError() const;
    unsigned CommandCount(std::uint8_t command) const;
    // When the first and the last data block of a pass arrived, and how many came.
    struct PassStats {
        Clock::time_point first{}, last{};
        unsigned blocks = 0;
    };
    PassStats WriteStats() const;
    PassStats VerifyStats() const;

private:
    void Fail(const std::string& why);  // caller holds m_lock

    mutable std::mutex m_lock;
    Kind m_kind = None;
    bool m_verifying = false;    // blocks now belong to the verify pass
    unsigned m_announced = 0;    // N from command 0x03
    unsigned m_written = 0;      // blocks of the write pass
    unsigned m_verified = 0;     // blocks of the verify pass
    bool m_verifyMismatch = false;
    std::vector<std::uint8_t> m_image;
    bool m_completed = false;
    std::string m_error;
    std::optional<Clock::time_point> m_eraseDone;
    std::array<unsigned, 256> m_commands{};
    PassStats m_writeStats, m_verifyStats;

    std::atomic<unsigned> m_eraseMs{1500};
    std::array<std::atomic<bool>, PhaseCount> m_noAck{};
    std::atomic<unsigned> m_disconnectAfter{0};
    std::atomic<bool> m_disconnectDue{false};
};
