#include "AmpSimulator.h"

#include "link/ProtocolMACLayer.h"
#include "params/ParamTable.h"
#include "params/ValueConvert.h"
#include "protocol/NormalMessages.h"
#include "protocol/UpdateMessages.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace normal;

namespace {
constexpr int kFrameLen = 16;
constexpr int kPollMs = 10;          // how often the serving thread looks at the stop flag (at most)
constexpr int kWriteStallMs = 2000;  // give up on an answer the program never reads
constexpr double kBitsPerByte = 11;  // 8N2: start, 8 data, 2 stop
} // namespace

CAmpSimulator::CAmpSimulator()
{
    // Values an amplifier fresh from the factory reports: every parameter at its default, taken
    // from a table of the simulator's own so that the program's records are never touched.
    CDSPParamTable table;
    for (int page = 0; page < PAGE_COUNT; ++page) {
        DSPParam* records = table.GetPage(page);
        for (int slot = 0; slot < table.GetCount(page); ++slot) {
            DSPParam& r = records[slot];
            const auto address = static_cast<std::uint16_t>(r.address);
            m_params[address] = static_cast<std::uint16_t>(ToDeviceValue(r));
            const std::int32_t a = ConvertValue(r, 0, CONVERT_TO_DEVICE);
            const std::int32_t b = ConvertValue(r, r.steps - 1, CONVERT_TO_DEVICE);
            m_outOfRangeValue[address] = static_cast<std::uint16_t>(std::max(a, b) + 1);
        }
    }
    m_params[ADDR_MIXER_MODE] = 1;  // mode 0 ("Mixer"), stored as mode + 1
    m_outOfRangeValue[ADDR_MIXER_MODE] = MIXER_MODE_COUNT + 1;
    m_params[ADDR_EQ_PRESET_COUNT] = 12;
    m_outOfRangeValue[ADDR_EQ_PRESET_COUNT] = 63;  // one more than the 62 presets an amplifier can hold
    m_params[ADDR_VERSION_FIRST + 0] = 1203;  // firmware 1.2.03
    m_params[ADDR_VERSION_FIRST + 1] = 0;
    m_params[ADDR_VERSION_FIRST + 2] = 105;   // EQ data 0.1.05.J
    m_params[ADDR_VERSION_FIRST + 3] = 1000;
}

CAmpSimulator::~CAmpSimulator()
{
    Stop();
}

bool CAmpSimulator::Start(std::string* error)
{
    auto fail = [&](const char* what) {
        if (error != nullptr)
            *error = std::string(what) + ": " + std::strerror(errno);
        Stop();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    termios tio {};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_txQueue.clear();
    m_stop = false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CAmpSimulator::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    CloseLine();
}

bool CAmpSimulator::SetLineBaud(unsigned baud)
{
    if (baud != 0 && baud < MIN_LINE_BAUD)
        return false;
    m_lineBaud = baud;
    return true;
}

void CAmpSimulator::Disconnect()
{
    Stop();
}

void CAmpSimulator::CloseLine()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_master = m_slave = -1;
}

bool CAmpSimulator::SetParam(std::uint16_t address, std::uint16_t value)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_params.find(address);
    if (it == m_params.end())
        return false;
    it->second = value;
    return true;
}

bool CAmpSimulator::SetOutOfRangeReply(std::uint16_t address, bool on)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_outOfRangeValue.count(address) == 0)
        return false;
    if (on)
        m_outOfRangeOn.insert(address);
    else
        m_outOfRangeOn.erase(address);
    return true;
}

std::optional<std::uint16_t> CAmpSimulator::GetParam(std::uint16_t address) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_params.find(address);
    if (it == m_params.end())
        return std::nullopt;
    return it->second;
}

void CAmpSimulator::SetMemory(std::uint32_t address, std::uint32_t value)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_memory[address] = value;
}

std::uint32_t CAmpSimulator::GetMemory(std::uint32_t address) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_memory.find(address);
    return it == m_memory.end() ? 0 : it->second;
}

std::vector<CAmpSimulator::Payload> CAmpSimulator::Received() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return {m_received.begin(), m_received.end()};
}

void CAmpSimulator::ClearReceived()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_received.clear();
}

void CAmpSimulator::Serve()
{
    using Clock = std::chrono::steady_clock;
    std::uint8_t buf[512];
    m_rxBusyUntil = m_lineStart = m_txFreeAt = Clock::now();
    while (!m_stop) {
        if (m_update.DisconnectDue()) {  // the cable is pulled in the middle of an update
            CloseLine();
            return;
        }
        int waitMs = kPollMs;
        auto shorten = [&](Clock::duration d) {
            waitMs = std::min(waitMs, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(d).count()));
        };
        if (auto next = m_update.TimeToNextEvent(Clock::now()))
            shorten(*next);
        if (auto next = FlushDue())
            shorten(*next);
        pollfd p{m_master, POLLIN, 0};
        bool pending = !m_stalled && ::poll(&p, 1, 0) > 0;
        if (!pending && !m_stalled) {
            m_rxIdle = true;  // the line is quiet: whatever comes next starts when it is seen
            pending = ::poll(&p, 1, waitMs) > 0;
        }
        if (m_stalled) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else if (pending) {
            const auto byteTime = ByteTime(m_lineBaud);
            const std::size_t allowed = LineAllowance(sizeof buf, byteTime);
            const ssize_t n = allowed == 0 ? 0 : ::read(m_master, buf, allowed);
            if (n > 0) {
                m_bytesIn += static_cast<std::uint64_t>(n);
                m_rxBusyUntil += byteTime * n;
            }
            if (allowed > 0 && n < static_cast<ssize_t>(allowed))
                m_rxIdle = true;  // all that was pending has crossed: the line falls quiet
            for (ssize_t i = 0; i < n; ++i)
                OnByte(buf[i]);
            if (allowed == 0)  // the next byte is still on its way
                std::this_thread::sleep_until(
                    std::min(m_rxBusyUntil + byteTime, Clock::now() + std::chrono::milliseconds(kPollMs)));
        }
        if (auto ack = m_update.Poll(Clock::now()))
            Reply(*ack);
    }
}

std::chrono::steady_clock::duration CAmpSimulator::ByteTime(unsigned baud)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(baud == 0 ? 0.0 : kBitsPerByte / baud));
}

std::size_t CAmpSimulator::LineAllowance(std::size_t max, std::chrono::steady_clock::duration byteTime)
{
    if (byteTime == std::chrono::steady_clock::duration::zero())
        return max;
    // Bytes cross the line one byte time after another. Called with bytes pending: on an idle
    // line the first of them starts now, so none has arrived yet.
    const auto now = std::chrono::steady_clock::now();
    if (m_rxIdle) {
        m_rxIdle = false;
        m_rxBusyUntil = now;
        return 0;
    }
    const auto arrived = static_cast<std::size_t>((now - m_rxBusyUntil) / byteTime);
    return std::min(max, arrived);
}

// Frames are found the way the amplifier's firmware finds them: a start byte, fifteen more
// bytes whatever they are, then the sum decides.
void CAmpSimulator::OnByte(std::uint8_t b)
{
    if (m_framePos == 0 && b != CProtocolMACLayer::FRAME_START)
        return;
    m_frame[m_framePos++] = b;
    if (m_framePos < kFrameLen)
        return;
    m_framePos = 0;
    if (!CProtocolMACLayer::CheckFrameSum(m_frame)) {
        ++m_badFrames;
        return;
    }
    Payload request;
    std::memcpy(request.data(), m_frame + 1, request.size());
    if (request[0] != update::MSG_DATA) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_received.push_back(request);
        if (m_received.size() > RECEIVED_LOG_MAX)
            m_received.pop_front();
    }
    HandleRequest(request);
}

void CAmpSimulator::HandleRequest(const Payload& q)
{
    if (m_silent || m_muted[q[0]])
        return;
    Payload a{};
    const bool memory = q[0] == CMD_WRITE_MEM_WORD || q[0] == CMD_WRITE_MEM_DWORD || q[0] == CMD_READ_MEM_WORD ||
                        q[0] == CMD_READ_MEM_DWORD;
    if (memory && std::memcmp(q.data() + MEM_ACCESS_CODE_POS, MEM_ACCESS_CODE, sizeof MEM_ACCESS_CODE) != 0)
        return;  // memory is closed to commands without the access code
    std::unique_lock<std::mutex> lock(m_lock);
    if (q[0] == CMD_WRITE_PARAMS || q[0] == CMD_READ_PARAMS) {
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t addr = GetU16(&q[1 + 4 * k]);
            if (addr != 0 && m_params.count(addr) == 0)
                return;  // an address the amplifier does not have: no answer, nothing stored
        }
    }
    switch (q[0]) {
    case CMD_WRITE_PARAMS:
        for (int k = 0; k < 3; ++k)
            if (const std::uint16_t addr = GetU16(&q[1 + 4 * k]); addr != 0)
                m_params[addr] = GetU16(&q[3 + 4 * k]);
        a[0] = ANS_ACK;
        break;
    case CMD_READ_PARAMS:
        a[0] = ANS_PARAM_VALUES;
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t addr = GetU16(&q[1 + 4 * k]);
            PutU16(&a[1 + 4 * k], addr);
            if (addr == 0)
                continue;  // an empty slot answers 0
            PutU16(&a[3 + 4 * k], m_outOfRangeOn.count(addr) != 0 ? m_outOfRangeValue[addr] : m_params[addr]);
        }
        break;
    case CMD_WRITE_MEM_WORD:
        m_memory[GetU32(&q[1])] = GetU32(&q[5]) & 0xFFFF;
        a[0] = ANS_ACK;
        break;
    case CMD_WRITE_MEM_DWORD:
        m_memory[GetU32(&q[1])] = GetU32(&q[5]);
        a[0] = ANS_ACK;
        break;
    case CMD_READ_MEM_WORD:
    case CMD_READ_MEM_DWORD: {
        const std::uint32_t addr = GetU32(&q[1]);
        auto it = m_memory.find(addr);
        const std::uint32_t v = it == m_memory.end() ? 0 : it->second;
        a[0] = q[0] == CMD_READ_MEM_WORD ? ANS_MEM_WORD : ANS_MEM_DWORD;
        PutU32(&a[1], addr);
        if (q[0] == CMD_READ_MEM_WORD)
            PutU16(&a[7], static_cast<std::uint16_t>(v));
        else
            PutU32(&a[5], v);
        break;
    }
    default:
        lock.unlock();
        if (auto ack = m_update.Handle(q, std::chrono::steady_clock::now()))
            Reply(*ack);
        return;  // a request the amplifier does not know gets no answer
    }
    lock.unlock();
    if (m_wrongEcho && a[0] != ANS_ACK)
        ++a[a[0] == ANS_PARAM_VALUES ? 2 : 4];  // the low byte of the first echoed address
    Reply(a);
}

void CAmpSimulator::Reply(const Payload& answer)
{
    PauseMs(m_delayMs);
    std::vector<std::uint8_t> out;
    for (unsigned i = 0, n = m_noise; i < n; ++i) {
        m_noiseSeed = m_noiseSeed * 1103515245u + 12345u;
        out.push_back(static_cast<std::uint8_t>(m_noiseSeed >> 16));
    }
    if (m_strayStart)
        out.push_back(CProtocolMACLayer::FRAME_START);
    std::uint8_t frame[kFrameLen];
    if (m_staleFirst) {
        Payload stale = m_lastAnswer.value_or(Payload{});
        if (!m_lastAnswer) {  // nothing answered yet: a parameter answer for another address
            stale[0] = ANS_PARAM_VALUES;
            PutU16(&stale[1], 0xFFFF);
        }
        CProtocolMACLayer::BuildFrame(stale.data(), frame);
        out.insert(out.end(), frame, frame + kFrameLen);
    }
    if (m_badSumFirst) {
        CProtocolMACLayer::BuildFrame(answer.data(), frame);
        frame[15] ^= 0x01;
        out.insert(out.end(), frame, frame + kFrameLen);
    }
    CProtocolMACLayer::BuildFrame(answer.data(), frame);
    out.insert(out.end(), frame, frame + kFrameLen);
    m_lastAnswer = answer;

    const std::size_t chunk = m_splitChunk ? m_splitChunk.load() : out.size();
    for (std::size_t pos = 0; pos < out.size(); pos += chunk) {
        if (pos != 0)
            PauseMs(m_splitPauseMs);
        WriteAll(out.data() + pos, std::min(chunk, out.size() - pos));
    }
}

void CAmpSimulator::WriteAll(const std::uint8_t* data, std::size_t n)
{
    using Clock = std::chrono::steady_clock;
    const unsigned baud = m_lineBaud;
    const unsigned latencyMs = m_latencyMs;
    if (baud == 0 && latencyMs == 0 && m_txQueue.empty()) {
        const auto start = Clock::now();
        while (n > 0 && !m_stop) {
            const ssize_t w = ::write(m_master, data, n);
            if (w > 0) {
                data += w;
                n -= static_cast<std::size_t>(w);
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR)
                return;
            if (Clock::now() - start > std::chrono::milliseconds(kWriteStallMs))
                return;
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, kPollMs);
        }
        return;
    }
    // Each byte reaches the far end of the line one byte time after the one before it (or
    // now, on an idle line); an adapter's latency timer then holds it until its next tick.
    const auto byteTime = ByteTime(baud);
    const auto tick = std::chrono::milliseconds(latencyMs);
    m_txFreeAt = std::max(m_txFreeAt, Clock::now());
    for (std::size_t i = 0; i < n; ++i) {
        m_txFreeAt += byteTime;
        auto due = m_txFreeAt;
        if (latencyMs != 0) {
            const auto ticks = (due - m_lineStart + tick - Clock::duration(1)) / tick;
            due = m_lineStart + ticks * tick;
        }
        m_txQueue.emplace_back(due, data[i]);
    }
    FlushDue();
}

std::optional<std::chrono::steady_clock::duration> CAmpSimulator::FlushDue()
{
    const auto now = std::chrono::steady_clock::now();
    std::uint8_t out[512];
    std::size_t n = 0;
    while (n < sizeof out && n < m_txQueue.size() && m_txQueue[n].first <= now) {
        out[n] = m_txQueue[n].second;
        ++n;
    }
    const ssize_t w = n > 0 ? ::write(m_master, out, n) : 0;
    if (w > 0)  // what the program's side cannot take yet stays queued
        m_txQueue.erase(m_txQueue.begin(), m_txQueue.begin() + w);
    if (m_txQueue.empty())
        return std::nullopt;
    return std::max(m_txQueue.front().first - now, std::chrono::steady_clock::duration(0));
}

void CAmpSimulator::PauseMs(unsigned ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (auto now = std::chrono::steady_clock::now(); now < end && !m_stop; now = std::chrono::steady_clock::now()) {
        FlushDue();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(1)));
    }
}
