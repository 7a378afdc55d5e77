#include "SimUpdate.h"

#include "protocol/UpdateMessages.h"

#include <cstring>

using namespace update;

namespace {
constexpr std::size_t BLOCK = 12;

CSimUpdate::Payload Ack(std::uint8_t what)
{
    CSimUpdate::Payload a{};
    a[POS_TYPE] = MSG_COMMAND;
    a[POS_CODE] = what;
    return a;
}
} // namespace

void CSimUpdate::Fail(const std::string& why)
{
    if (m_error.empty())
        m_error = why;
}

std::optional<CSimUpdate::Payload> CSimUpdate::Handle(const Payload& q, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (q[POS_TYPE] == MSG_DATA) {
        PassStats& stats = m_verifying ? m_verifyStats : m_writeStats;
        if (stats.blocks++ == 0)
            stats.first = now;
        stats.last = now;
        const std::uint8_t* block = q.data() + POS_DATA;
        if (!m_verifying) {
            m_image.insert(m_image.end(), block, block + BLOCK);
            ++m_written;
            if (m_disconnectAfter != 0 && m_written >= m_disconnectAfter)
                m_disconnectDue = true;
        } else {
            const std::size_t at = static_cast<std::size_t>(m_verified) * BLOCK;
            if (at + BLOCK > m_image.size() || std::memcmp(m_image.data() + at, block, BLOCK) != 0)
                m_verifyMismatch = true;
            ++m_verified;
        }
        return std::nullopt;
    }
    if (q[POS_TYPE] != MSG_COMMAND)
        return std::nullopt;
    ++m_commands[q[POS_CODE]];
    const unsigned n = (unsigned{q[POS_BLOCK_COUNT]} << 8) | q[POS_BLOCK_COUNT + 1];
    switch (q[POS_CODE]) {
    case CMD_ESTABLISH: {  // a new run begins
        // Only a code the enumeration has may become a Kind.
        const std::uint8_t kind = q[POS_KIND];
        const bool known = kind == KIND_SYSTEM_CODE || kind == KIND_PRESET_CODE || kind == KIND_TEST_CODE;
        m_kind = known ? static_cast<Kind>(kind) : None;
        m_verifying = false;
        m_announced = m_written = m_verified = 0;
        m_verifyMismatch = false;
        m_image.clear();
        m_completed = false;
        m_error.clear();
        m_eraseDone.reset();
        m_writeStats = m_verifyStats = PassStats{};
        if (!known) {
            Fail("establish with unknown kind " + std::to_string(kind));
            return std::nullopt;
        }
        return m_noAck[Establish] ? std::nullopt : std::optional<Payload>(Ack(ACK_ESTABLISH));
    }
    case CMD_ERASE:  // acknowledged when the erase time has passed
        m_eraseDone = now + std::chrono::milliseconds(m_eraseMs.load());
        return std::nullopt;
    case CMD_BEGIN_WRITE:  // the write pass of n blocks begins
        m_announced = n;
        m_written = 0;
        m_image.clear();
        return std::nullopt;
    case CMD_END_WRITE:  // all n blocks written
        if (n != m_announced || n != m_written) {
            Fail("write pass: announced " + std::to_string(m_announced) + ", confirmed " + std::to_string(n) +
                 ", received " + std::to_string(m_written) + " blocks");
            return std::nullopt;
        }
        m_verifying = true;
        m_verified = 0;
        return m_noAck[Write] ? std::nullopt : std::optional<Payload>(Ack(ACK_WRITE));
    case CMD_END_VERIFY:  // all verify blocks sent
        if (!m_verifying || m_verified != m_written || m_verifyMismatch) {
            Fail("verify pass differs from the write pass");
            return std::nullopt;
        }
        return m_noAck[Verify] ? std::nullopt : std::optional<Payload>(Ack(ACK_VERIFY));
    case CMD_FINISH:
        m_completed = m_error.empty() && m_verifying && m_verified == m_written && !m_verifyMismatch;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<CSimUpdate::Payload> CSimUpdate::Poll(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_eraseDone || now < *m_eraseDone)
        return std::nullopt;
    m_eraseDone.reset();
    return m_noAck[Erase] ? std::nullopt : std::optional<Payload>(Ack(ACK_ERASE));
}

std::optional<CSimUpdate::Clock::duration> CSimUpdate::TimeToNextEvent(Clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_eraseDone)
        return std::nullopt;
    return *m_eraseDone > now ? *m_eraseDone - now : Clock::duration::zero();
}

CSimUpdate::Kind CSimUpdate::LastKind() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_kind;
}

std::vector<std::uint8_t> CSimUpdate::Image() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_image;
}

bool CSimUpdate::Completed() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_completed;
}

std::string CSimUpdate::LastError() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_error;
}

unsigned CSimUpdate::CommandCount(std::uint8_t command) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_commands[command];
}

CSimUpdate::PassStats CSimUpdate::WriteStats() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_writeStats;
}

CSimUpdate::PassStats CSimUpdate::VerifyStats() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_verifyStats;
}
