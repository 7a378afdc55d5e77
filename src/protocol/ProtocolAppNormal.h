#pragma once
// Request-and-answer messages for DSP parameters and memory words. Every exchange discards
// pending input, sends one request and polls for the answer (100 polls, 1 ms apart).
//
// Results: 0 success; 1 the frame layer refused the request (the port could not send it, its
// line is gone, or an update run holds the line); 2 no answer within the polling limit or an
// answer with the wrong code (a line found gone while waiting ends the wait at once); 3 the
// right code with an address echo that does not match. Nothing here shows a message.
//
// Threads: any thread may call; exchanges are serialised by one lock, so two never interleave,
// and each holds the frame layer's line claim for its exchanges, so none runs during an update.
#include "link/ProtocolMACLayer.h"
#include "platform/MessageBox.h"

#include <cstdint>
#include <mutex>

class CProtocolAppNormal {
public:
    enum Result : unsigned { OK = 0, SEND_FAILED = 1, NO_ANSWER = 2, BAD_ECHO = 3 };
    static constexpr int REPLY_POLLS = 100;     // attempts to take an answer
    static constexpr unsigned POLL_SLEEP_MS = 1;  // between attempts that found nothing
    static constexpr unsigned WRITE_PAUSE_MS = 30;  // after an acknowledged parameter write
    static constexpr unsigned CHECK_PAUSE_MS = 30;  // between the steps of CheckConnection

    explicit CProtocolAppNormal(CProtocolMACLayer& mac = TheMacLayer());
    virtual ~CProtocolAppNormal() = default;

    // Writes up to three parameters; an address of 0 is an empty slot (its value is sent as 0).
    unsigned WriteParams(std::uint16_t a1, std::uint16_t v1, std::uint16_t a2 = 0, std::uint16_t v2 = 0,
                         std::uint16_t a3 = 0, std::uint16_t v3 = 0);
    // Reads up to three parameters; an out value is written only for a non-zero address.
    // One late answer to an earlier request is skipped.
    unsigned ReadParams(std::uint16_t a1, std::uint16_t* v1, std::uint16_t a2 = 0, std::uint16_t* v2 = nullptr,
                        std::uint16_t a3 = 0, std::uint16_t* v3 = nullptr);
    unsigned ReadMemWord(std::uint32_t address, std::uint16_t* value);
    unsigned ReadMemDWord(std::uint32_t address, std::uint32_t* value);
    unsigned WriteMemWord(std::uint32_t address, std::uint16_t value);
    unsigned WriteMemDWord(std::uint32_t address, std::uint32_t value);
    // Results of CheckConnection: the step that failed first, or CHECK_OK.
    enum CheckResult : unsigned {
        CHECK_OK = 0,              // the amplifier answered every step
        CHECK_NO_ANSWER = 1,       // the empty parameter write was not acknowledged
        CHECK_PARAM_FAILED = 2,    // reading parameter 0x3000 failed
        CHECK_MEMORY_FAILED = 3,   // reading the memory word at 0x10000000 failed
    };
    CheckResult CheckConnection();

    // The frame layer this protocol exchanges over.
    CProtocolMACLayer& Mac() { return m_mac; }

private:
    // One exchange at a time. Messages raised during an exchange (by the frame layer) are shown
    // once it has ended, so that no exchange waits on a modal message.
    using ExchangeMutex = kmr::CMessageHoldingMutex<std::mutex>;
    // One exchange's hold on the line: the exchange lock and the line claim.
    class Exchange {
    public:
        explicit Exchange(CProtocolAppNormal& p) : m_lock(p.m_exchange), m_claim(p.m_mac, CProtocolMACLayer::LineUse::Exchanges) {}
        explicit operator bool() const { return static_cast<bool>(m_claim); }

    private:
        std::lock_guard<ExchangeMutex> m_lock;
        CLineClaim m_claim;
    };
    // Discards pending input and sends request; false if the frame layer refused it.
    bool SendRequest(const std::uint8_t* request);
    bool WaitReply(std::uint8_t* answer);
    unsigned ExchangeForAck(const std::uint8_t* request);
    unsigned ReadMem(std::uint8_t command, std::uint32_t address, std::uint8_t* answer);
    unsigned WriteMem(std::uint8_t command, std::uint32_t address, std::uint32_t value);

    CProtocolMACLayer& m_mac;
    ExchangeMutex m_exchange;
};

// The program's one normal protocol object.
CProtocolAppNormal& TheNormalProtocol();
