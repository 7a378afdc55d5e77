#include "link/ProtocolMACLayer.h"

#include "platform/MessageBox.h"

#include <algorithm>
#include <cstring>

CProtocolMACLayer& TheMacLayer()
{
    static CProtocolMACLayer layer;
    return layer;
}

CProtocolMACLayer::CProtocolMACLayer()
{
    m_byteRing.SetSize(RX_BYTE_RING);
    m_frameRing.SetSize(RX_FRAME_RING);
}

void CProtocolMACLayer::BuildFrame(const std::uint8_t* payload, std::uint8_t* frame)
{
    frame[0] = FRAME_START;
    std::memcpy(frame + 1, payload, PAYLOAD_LEN);
    unsigned sum = 0;
    for (int i = 0; i < 1 + PAYLOAD_LEN; ++i)
        sum += frame[i];
    frame[14] = static_cast<std::uint8_t>(sum / 256);
    frame[15] = static_cast<std::uint8_t>(sum % 256);
}

bool CProtocolMACLayer::CheckFrameSum(const std::uint8_t* frame)
{
    unsigned sum = 0;
    for (int i = 0; i < 1 + PAYLOAD_LEN; ++i)
        sum += frame[i];
    return frame[14] == sum / 256 && frame[15] == sum % 256;
}

LPARAM CProtocolMACLayer::NotificationValue(const std::uint8_t* payload)
{
    const std::uint32_t v = (std::uint32_t{payload[1]} << 24) | (std::uint32_t{payload[2]} << 16) |
                            (std::uint32_t{payload[3]} << 8) | payload[4];
    return static_cast<LPARAM>(v);
}

void CProtocolMACLayer::SetFrameMsgTarget(MessageTargetPtr target)
{
    std::lock_guard<std::mutex> lock(m_targetLock);
    m_target = std::move(target);
}

void CProtocolMACLayer::Notify(WPARAM code, const std::uint8_t* payload)
{
    Post(code, NotificationValue(payload));
}

void CProtocolMACLayer::NotifyFrameTarget(WPARAM code)
{
    Post(code, 0);
}

void CProtocolMACLayer::Post(WPARAM code, LPARAM value)
{
    MessageTargetPtr target;
    {
        std::lock_guard<std::mutex> lock(m_targetLock);
        target = m_target;
    }
    PostMessageTo(target, WM_MAC_FRAME_MSG, code, value);
}

int CProtocolMACLayer::SendFrame(const std::uint8_t* payload, int /*len*/)
{
    std::uint8_t frame[FRAME_LEN];
    BuildFrame(payload, frame);
    IPortIO* port = m_port.load();
    const bool sent = port != nullptr && port->WriteBlock(frame, FRAME_LEN);
    if (CFrameTrace* trace = m_trace.load())
        trace->Frame(CFrameTrace::Sent, frame);
    Notify(FRAME_SENT, payload);
    return sent ? 1 : 0;
}

std::string CProtocolMACLayer::SendErrorText() const
{
    IPortIO* port = m_port.load();
    return port != nullptr ? port->WriteErrorText() : std::string();
}

bool CProtocolMACLayer::LineLost() const
{
    IPortIO* port = m_port.load();
    return port != nullptr && port->LineLost();
}

std::string CProtocolMACLayer::LineLostText() const
{
    IPortIO* port = m_port.load();
    return port != nullptr ? port->LineLostText() : std::string();
}

bool CProtocolMACLayer::ShowLineLost() const
{
    const std::string text = LineLostText();
    if (text.empty())
        return false;
    kmr::ShowMessage(text);
    return true;
}

bool CProtocolMACLayer::ClaimLine(LineUse use, const std::string& activity)
{
    std::lock_guard<std::mutex> lock(m_claimLock);
    if (m_updateClaim || (use == LineUse::Update && m_exchangeClaims > 0))
        return false;
    if (use == LineUse::Update)
        m_updateClaim = true;
    else if (m_exchangeClaims++ > 0 && activity.empty())
        return true;  // a single exchange inside a longer use: the longer use names the holder
    m_activity = activity.empty() ? "an exchange with the amplifier" : activity;
    return true;
}

bool CProtocolMACLayer::CanClaimLine(LineUse use)
{
    std::lock_guard<std::mutex> lock(m_claimLock);
    return !m_updateClaim && (use == LineUse::Exchanges || m_exchangeClaims == 0);
}

void CProtocolMACLayer::ReleaseLine(LineUse use)
{
    std::lock_guard<std::mutex> lock(m_claimLock);
    if (use == LineUse::Update)
        m_updateClaim = false;
    else if (m_exchangeClaims > 0)
        --m_exchangeClaims;
}

std::string CProtocolMACLayer::LineBusyText()
{
    std::lock_guard<std::mutex> lock(m_claimLock);
    return "Error: The line to the amplifier is in use (" + m_activity +
           ").\nPlease wait until it has finished, then try again.";
}

int CProtocolMACLayer::GetFrameFromLoopBuf(std::uint8_t* out, int /*len*/)
{
    ReadCommInput();
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        if (m_frameRing.IsEmpty())
            return 0;
        std::memcpy(out, m_rxFrames[m_frameRing.m_getIndex], PAYLOAD_LEN);
        m_frameRing.IncGetIndex();
    }
    Notify(FRAME_RECEIVED, out);
    return 1;
}

void CProtocolMACLayer::ResetRxBuffers()
{
    std::uint8_t discard[RX_BYTE_RING];
    if (IPortIO* port = m_port.load())
        for (int i = 0; i < RESET_MAX_READS && port->ReadInput(discard, sizeof discard) > 0; ++i) {
        }
    m_inFrame = 0;
    m_assemblyPos = 0;
    m_byteRing.Clear();
    std::lock_guard<std::mutex> lock(m_frameLock);
    m_frameRing.Clear();
}

int CProtocolMACLayer::PendingFrames()
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    return m_frameRing.m_count;
}

void CProtocolMACLayer::ReadCommInput()
{
    IPortIO* port = m_port.load();
    if (port == nullptr)
        return;
    std::uint8_t block[RX_BYTE_RING];
    const std::size_t n = port->ReadInput(block, sizeof block);
    if (n > 0)
        ScanInput(block, static_cast<int>(n));
}

void CProtocolMACLayer::ScanInput(const std::uint8_t* data, int n)
{
    // The byte ring never holds more than one block, and a block is at most its capacity.
    int dropped = 0;
    while (n > 0) {
        const int chunk = n < RX_BYTE_RING ? n : RX_BYTE_RING;
        for (int i = 0; i < chunk; ++i) {
            m_rxBytes[m_byteRing.m_putIndex] = data[i];
            m_byteRing.IncPutIndex();
        }
        dropped += ScanRxBytes(chunk);
        if (!m_byteRing.IsEmpty())
            m_byteRing.Clear();
        data += chunk;
        n -= chunk;
    }
    // Only the receiving thread takes frames, so waiting for room cannot help: what did not fit
    // is lost, and said once for the whole read.
    if (dropped > 0)
        kmr::ShowMessage("CProtocolMACLayer::PutFrameToLoopBuf error: Rx Frame Loop Buffer full! " +
                         std::to_string(dropped) + (dropped == 1 ? " frame" : " frames") + " dropped.");
}

int CProtocolMACLayer::ScanRxBytes(int n)
{
    int dropped = 0;
    for (int i = 0; i < n; ++i) {
        const std::uint8_t b = m_rxBytes[m_byteRing.m_getIndex];
        m_byteRing.IncGetIndex();
        if (m_inFrame) {
            m_assembly[m_assemblyPos++] = b;
            if (m_assemblyPos == FRAME_LEN) {
                const bool good = CheckFrameSum(m_assembly);
                if (CFrameTrace* trace = m_trace.load())
                    trace->Frame(good ? CFrameTrace::Received : CFrameTrace::Rejected, m_assembly);
                if (good) {
                    m_inFrame = 0;
                    m_assemblyPos = 0;
                    dropped += PutFrameToLoopBuf(m_assembly) ? 0 : 1;
                } else {
                    ResumeInRejected();
                }
            }
        } else if (b == FRAME_START) {
            m_assembly[0] = b;
            m_inFrame = 1;
            m_assemblyPos = 1;
        }
    }
    return dropped;
}

void CProtocolMACLayer::ResumeInRejected()
{
    // The rejected frame may have begun at a stray start byte, with a good frame starting
    // inside it: assembly goes on from the next start byte among its bytes, if there is one.
    const std::uint8_t* next = std::find(m_assembly + 1, m_assembly + FRAME_LEN, FRAME_START);
    const auto kept = static_cast<std::uint8_t>(m_assembly + FRAME_LEN - next);
    std::memmove(m_assembly, next, kept);
    m_assemblyPos = kept;
    m_inFrame = kept > 0 ? 1 : 0;
}

bool CProtocolMACLayer::PutFrameToLoopBuf(const std::uint8_t* frame)
{
    std::lock_guard<std::mutex> lock(m_frameLock);
    if (m_frameRing.IsFull())
        return false;
    std::memcpy(m_rxFrames[m_frameRing.m_putIndex], frame + 1, PAYLOAD_LEN);
    m_frameRing.IncPutIndex();
    return true;
}
