#include "protocol/ProtocolAppNormal.h"

#include "platform/Sleep.h"
#include "protocol/NormalMessages.h"

#include <cstring>

using namespace normal;

CProtocolAppNormal& TheNormalProtocol()
{
    static CProtocolAppNormal protocol;
    return protocol;
}

CProtocolAppNormal::CProtocolAppNormal(CProtocolMACLayer& mac) : m_mac(mac)
{
}

bool CProtocolAppNormal::SendRequest(const std::uint8_t* request)
{
    m_mac.ResetRxBuffers();
    if (m_mac.LineLost())
        return false;  // the device is gone: nothing can reach it
    return m_mac.SendFrame(request, CProtocolMACLayer::PAYLOAD_LEN) != 0;
}

bool CProtocolAppNormal::WaitReply(std::uint8_t* answer)
{
    for (int i = 0; i < REPLY_POLLS; ++i) {
        if (m_mac.GetFrameFromLoopBuf(answer, CProtocolMACLayer::PAYLOAD_LEN))
            return true;
        if (m_mac.LineLost())
            return false;  // no answer can come any more
        kmr::Sleep(POLL_SLEEP_MS);
    }
    return false;
}

// Sends request and classifies the answer: an acknowledge is success, anything else or nothing
// is result 2. The caller holds the exchange lock.
unsigned CProtocolAppNormal::ExchangeForAck(const std::uint8_t* request)
{
    if (!SendRequest(request))
        return SEND_FAILED;
    std::uint8_t answer[CProtocolMACLayer::PAYLOAD_LEN];
    if (!WaitReply(answer) || answer[0] != ANS_ACK)
        return NO_ANSWER;
    return OK;
}

unsigned CProtocolAppNormal::WriteParams(std::uint16_t a1, std::uint16_t v1, std::uint16_t a2, std::uint16_t v2,
                                         std::uint16_t a3, std::uint16_t v3)
{
    std::uint8_t request[CProtocolMACLayer::PAYLOAD_LEN] = {CMD_WRITE_PARAMS};
    const std::uint16_t slots[3][2] = {{a1, v1}, {a2, v2}, {a3, v3}};
    for (int k = 0; k < 3; ++k) {
        PutU16(request + 1 + 4 * k, slots[k][0]);
        PutU16(request + 3 + 4 * k, slots[k][0] != 0 ? slots[k][1] : 0);
    }
    const Exchange exchange(*this);
    if (!exchange)
        return SEND_FAILED;
    const unsigned r = ExchangeForAck(request);
    if (r == OK)
        kmr::Sleep(WRITE_PAUSE_MS);  // keeps the next request from flooding the amplifier
    return r;
}

unsigned CProtocolAppNormal::ReadParams(std::uint16_t a1, std::uint16_t* v1, std::uint16_t a2, std::uint16_t* v2,
                                        std::uint16_t a3, std::uint16_t* v3)
{
    const std::uint16_t addresses[3] = {a1, a2, a3};
    std::uint16_t* values[3] = {v1, v2, v3};
    std::uint8_t request[CProtocolMACLayer::PAYLOAD_LEN] = {CMD_READ_PARAMS};
    for (int k = 0; k < 3; ++k)
        PutU16(request + 1 + 4 * k, addresses[k]);

    auto echoMatches = [&](const std::uint8_t* answer) {
        for (int k = 0; k < 3; ++k)
            if (GetU16(answer + 1 + 4 * k) != addresses[k])
                return false;
        return true;
    };

    const Exchange exchange(*this);
    if (!exchange)
        return SEND_FAILED;
    if (!SendRequest(request))
        return SEND_FAILED;
    std::uint8_t answer[CProtocolMACLayer::PAYLOAD_LEN];
    if (!WaitReply(answer) || answer[0] != ANS_PARAM_VALUES)
        return NO_ANSWER;
    if (!echoMatches(answer)) {
        // A late answer to an earlier request: skip it and take the next one.
        if (!WaitReply(answer) || answer[0] != ANS_PARAM_VALUES)
            return NO_ANSWER;
        if (!echoMatches(answer))
            return BAD_ECHO;
    }
    for (int k = 0; k < 3; ++k)
        if (addresses[k] != 0 && values[k] != nullptr)
            *values[k] = GetU16(answer + 3 + 4 * k);
    return OK;
}

unsigned CProtocolAppNormal::ReadMem(std::uint8_t command, std::uint32_t address, std::uint8_t* answer)
{
    std::uint8_t request[CProtocolMACLayer::PAYLOAD_LEN] = {command};
    PutU32(request + 1, address);
    std::memcpy(request + MEM_ACCESS_CODE_POS, MEM_ACCESS_CODE, sizeof MEM_ACCESS_CODE);
    const std::uint8_t expected = command == CMD_READ_MEM_WORD ? ANS_MEM_WORD : ANS_MEM_DWORD;

    const Exchange exchange(*this);
    if (!exchange)
        return SEND_FAILED;
    if (!SendRequest(request))
        return SEND_FAILED;
    if (!WaitReply(answer) || answer[0] != expected)
        return NO_ANSWER;
    if (GetU32(answer + 1) != address)
        return BAD_ECHO;
    return OK;
}

unsigned CProtocolAppNormal::ReadMemWord(std::uint32_t address, std::uint16_t* value)
{
    std::uint8_t answer[CProtocolMACLayer::PAYLOAD_LEN];
    const unsigned r = ReadMem(CMD_READ_MEM_WORD, address, answer);
    if (r == OK && value != nullptr)
        *value = GetU16(answer + 7);
    return r;
}

unsigned CProtocolAppNormal::ReadMemDWord(std::uint32_t address, std::uint32_t* value)
{
    std::uint8_t answer[CProtocolMACLayer::PAYLOAD_LEN];
    const unsigned r = ReadMem(CMD_READ_MEM_DWORD, address, answer);
    if (r == OK && value != nullptr)
        *value = GetU32(answer + 5);
    return r;
}

unsigned CProtocolAppNormal::WriteMem(std::uint8_t command, std::uint32_t address, std::uint32_t value)
{
    std::uint8_t request[CProtocolMACLayer::PAYLOAD_LEN] = {command};
    PutU32(request + 1, address);
    PutU32(request + 5, value);
    std::memcpy(request + MEM_ACCESS_CODE_POS, MEM_ACCESS_CODE, sizeof MEM_ACCESS_CODE);
    const Exchange exchange(*this);
    if (!exchange)
        return SEND_FAILED;
    return ExchangeForAck(request);
}

unsigned CProtocolAppNormal::WriteMemWord(std::uint32_t address, std::uint16_t value)
{
    return WriteMem(CMD_WRITE_MEM_WORD, address, value);  // the word travels zero-extended
}

unsigned CProtocolAppNormal::WriteMemDWord(std::uint32_t address, std::uint32_t value)
{
    return WriteMem(CMD_WRITE_MEM_DWORD, address, value);
}

CProtocolAppNormal::CheckResult CProtocolAppNormal::CheckConnection()
{
    if (WriteParams(0, 0, 0, 0, 0, 0) != OK)
        return CHECK_NO_ANSWER;
    kmr::Sleep(CHECK_PAUSE_MS);
    std::uint16_t value = 0;
    if (ReadParams(ADDR_FIRST_INPUT, &value) != OK)
        return CHECK_PARAM_FAILED;
    kmr::Sleep(CHECK_PAUSE_MS);
    if (ReadMemWord(MEM_CHECK_ADDRESS, &value) != OK)
        return CHECK_MEMORY_FAILED;
    return CHECK_OK;
}
