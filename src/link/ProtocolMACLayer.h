#pragma once
// The frame layer: every message on the line is a 16-byte frame, F8, 13 payload bytes, and a
// 16-bit big-endian sum of the first 14 bytes. Reception is polled: bytes are read from the port
// only when a protocol asks for a frame, scanned for valid frames, and the oldest is handed out.
//
// Threads: one thread may receive (GetFrameFromLoopBuf, ResetRxBuffers) at a time; SendFrame may
// run in another thread at the same time. The frame ring is guarded by the layer's own lock; the
// byte ring and the scanner belong to the receiver. Who receives is settled by claiming the line
// (ClaimLine): normal exchanges, which the normal protocol runs one at a time, or one update
// run alone; a claim that conflicts with the one held is refused at once, never waited for.
#include "link/FrameTrace.h"
#include "link/LoopBuffer.h"
#include "link/PortIO.h"
#include "platform/Messages.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class CProtocolMACLayer {
public:
    static constexpr int FRAME_LEN = 16;
    static constexpr int PAYLOAD_LEN = 13;
    static constexpr std::uint8_t FRAME_START = 0xF8;
    static constexpr int RX_BYTE_RING = 1024;
    static constexpr int RX_FRAME_RING = 100;  // holds 98: a ring is full two slots early
    // wParam codes of WM_MAC_FRAME_MSG
    static constexpr WPARAM FRAME_SENT = 0;
    static constexpr WPARAM FRAME_RECEIVED = 16;

    CProtocolMACLayer();
    virtual ~CProtocolMACLayer() = default;
    CProtocolMACLayer(const CProtocolMACLayer&) = delete;
    CProtocolMACLayer& operator=(const CProtocolMACLayer&) = delete;

    // Frames payload (always 13 bytes), writes it to the port as one block and reports it.
    // Returns 1 when the port took the block, 0 when it could not be written (no port, port
    // closed, line failed; SendErrorText says why). The layer neither waits for nor checks a
    // reply.
    int SendFrame(const std::uint8_t* payload, int len = PAYLOAD_LEN);
    // Why the last failed SendFrame failed, as a message for the user; empty if not known.
    std::string SendErrorText() const;
    // Whether the port has found its line gone (IPortIO::LineLost), and what it met; false and
    // empty without a port.
    bool LineLost() const;
    std::string LineLostText() const;
    // Shows LineLostText in the message dialog when the line is gone: true if it was.
    bool ShowLineLost() const;
    // Drains the port into the scanner, then hands out the oldest received payload into out:
    // 1 if one was there, 0 (out untouched) if not. Never waits for data.
    int GetFrameFromLoopBuf(std::uint8_t* out, int len = PAYLOAD_LEN);
    // Throws away all pending port input (reading until nothing is left), a partly assembled
    // frame and all frames not yet taken.
    void ResetRxBuffers();
    static constexpr int RESET_MAX_READS = 256;  // a line that never falls quiet still ends the drain

    // The users of the line. Normal exchanges share it with each other (the normal protocol
    // runs them one at a time) for as long as their claims last; an update run holds it alone.
    enum class LineUse { Exchanges, Update };
    // Claims the line for use, naming the activity for whoever is refused ("reading all
    // parameters"; empty for a single exchange). False, changing nothing, when the other kind of use holds it (or another
    // update run does). Every successful claim is released once with ReleaseLine(use).
    bool ClaimLine(LineUse use, const std::string& activity);
    void ReleaseLine(LineUse use);
    // Whether a claim for use would succeed now (for a check before a longer action; only the
    // claim itself settles it).
    bool CanClaimLine(LineUse use);
    // The message for a refused claim: what holds the line and what to do.
    std::string LineBusyText();

    static void BuildFrame(const std::uint8_t* payload, std::uint8_t* frame);
    static bool CheckFrameSum(const std::uint8_t* frame);
    // Payload bytes 1 to 4, byte 1 highest: the value posted with WM_MAC_FRAME_MSG.
    static LPARAM NotificationValue(const std::uint8_t* payload);

    // The port service to read from and write to (none: nothing is read, writes are dropped).
    void SetPort(IPortIO* port) { m_port.store(port); }
    // Where WM_MAC_FRAME_MSG goes; while none is set, notifications are dropped.
    void SetFrameMsgTarget(MessageTargetPtr target);
    // Posts WM_MAC_FRAME_MSG with code and lParam 0 to that target: how the parameter pages
    // report a write's result (1 acknowledged, 5 failed) to the Communication panel.
    void NotifyFrameTarget(WPARAM code);
    // Frame trace, off (null) by default. The trace must outlive its use.
    void SetTrace(CFrameTrace* trace) { m_trace.store(trace); }

    // Runs bytes through the scanner as if they had just been read from the port (the second
    // half of every read; used directly by the fuzz target and benchmarks). A frame starts at
    // F8 and takes the next 15 bytes whatever they are; one that fails its sum is searched for
    // the next F8, where assembly goes on. Good frames that find the frame ring full are
    // dropped, and one message for the whole call says how many.
    void ScanInput(const std::uint8_t* data, int n);
    // Number of received frames waiting to be taken.
    int PendingFrames();

private:
    void ReadCommInput();
    // Scans n bytes of the byte ring; returns how many good frames found the frame ring full.
    int ScanRxBytes(int n);
    // After a frame failed its sum: goes on assembling from the next start byte inside it.
    void ResumeInRejected();
    // Stores a good frame's payload; false (the frame dropped) when the ring is full.
    bool PutFrameToLoopBuf(const std::uint8_t* frame);
    void Notify(WPARAM code, const std::uint8_t* payload);
    void Post(WPARAM code, LPARAM value);

    std::uint8_t m_rxBytes[RX_BYTE_RING] = {};
    LoopBuffer m_byteRing;
    std::uint8_t m_assembly[FRAME_LEN] = {};
    std::uint8_t m_rxFrames[RX_FRAME_RING][PAYLOAD_LEN] = {};
    LoopBuffer m_frameRing;
    std::mutex m_frameLock;  // the frame store and the frame ring
    std::uint8_t m_inFrame = 0;
    std::uint8_t m_assemblyPos = 0;

    std::atomic<IPortIO*> m_port{nullptr};
    std::atomic<CFrameTrace*> m_trace{nullptr};
    std::mutex m_targetLock;
    MessageTargetPtr m_target;

    std::mutex m_claimLock;  // the three below
    int m_exchangeClaims = 0;
    bool m_updateClaim = false;
    std::string m_activity;  // of the update, or of the first exchange claim still held
};

// A claim of the line held for a scope; test it before using the line.
class CLineClaim {
public:
    CLineClaim(CProtocolMACLayer& mac, CProtocolMACLayer::LineUse use, const std::string& activity = {})
        : m_mac(mac), m_use(use), m_held(mac.ClaimLine(use, activity))
    {
    }
    ~CLineClaim()
    {
        if (m_held)
            m_mac.ReleaseLine(m_use);
    }
    CLineClaim(const CLineClaim&) = delete;
    CLineClaim& operator=(const CLineClaim&) = delete;
    explicit operator bool() const { return m_held; }

private:
    CProtocolMACLayer& m_mac;
    CProtocolMACLayer::LineUse m_use;
    bool m_held;
};

// The program's one frame layer.
CProtocolMACLayer& TheMacLayer();
