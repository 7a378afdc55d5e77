#include "params/ParamTransfer.h"

#include "params/ValueConvert.h"
#include "platform/MessageBox.h"
#include "platform/Sleep.h"
#include "platform/Thread.h"

#include <algorithm>
#include <string>

CParamTransfer& TheParamTransfer()
{
    static CParamTransfer transfer;
    return transfer;
}

CParamTransfer::CParamTransfer(CProtocolAppNormal& protocol, CDSPParamTable& table) : m_protocol(protocol), m_table(table)
{
}

CParamTransfer::~CParamTransfer()
{
    Shutdown();
}

unsigned CParamTransfer::WriteDSPParam(DSPParam* r1, DSPParam* r2, DSPParam* r3)
{
    DSPParam* const records[GROUP_SIZE] = {r1, r2, r3};
    std::uint16_t address[GROUP_SIZE] = {};
    std::uint16_t value[GROUP_SIZE] = {};
    const std::lock_guard lock(m_records);  // until the amplifier has the values converted here
    for (int k = 0; k < GROUP_SIZE; ++k) {
        if (records[k] == nullptr)
            continue;  // an empty slot: address 0, value 0
        value[k] = static_cast<std::uint16_t>(ToDeviceValue(*records[k]));  // the wire carries 16 bits
        address[k] = static_cast<std::uint16_t>(records[k]->address);
    }
    const unsigned r = m_protocol.WriteParams(address[0], value[0], address[1], value[1], address[2], value[2]);
    return r == CProtocolAppNormal::OK ? WRITE_OK : WRITE_FAILED;
}

unsigned CParamTransfer::WriteOneParam(DSPParam* record)
{
    return WriteDSPParam(record, nullptr, nullptr);
}

unsigned CParamTransfer::ReadDSPParam(DSPParam* r1, DSPParam* r2, DSPParam* r3)
{
    DSPParam* const records[GROUP_SIZE] = {r1, r2, r3};
    std::uint16_t address[GROUP_SIZE] = {};
    std::uint16_t value[GROUP_SIZE] = {};
    for (int k = 0; k < GROUP_SIZE; ++k)
        if (records[k] != nullptr)
            address[k] = static_cast<std::uint16_t>(records[k]->address);  // fixed since the table was built
    bool outOfRange[GROUP_SIZE] = {};
    {
        // From the exchange to the store, so that no change of these records lands between.
        const std::lock_guard lock(m_records);
        if (m_protocol.ReadParams(address[0], &value[0], address[1], &value[1], address[2], &value[2]) !=
            CProtocolAppNormal::OK)
            return READ_FAILED;
        for (int k = 0; k < GROUP_SIZE; ++k) {
            if (address[k] == 0)
                continue;  // absent, or a record without an address: nothing was read for it
            records[k]->deviceValue = value[k];
            outOfRange[k] = FromDeviceValue(*records[k]) < 0;  // keeps the index when out of range
        }
    }
    // Shown without the records lock: a modal message waits for the user, and the user
    // interface must stay able to touch the records meanwhile.
    unsigned result = READ_OK;
    for (int k = 0; k < GROUP_SIZE; ++k) {
        if (!outOfRange[k])
            continue;
        kmr::ShowMessage(m_outOfRangeText ? m_outOfRangeText(k + 1, *records[k])
                                          : "Error: Parameter" + std::to_string(k + 1) +
                                                " out of range !   CProtocolAppNormal::ReadDSPParam");
        result = READ_OUT_OF_RANGE;
    }
    return result;
}

int CParamTransfer::StartWriteAllParams(MessageTargetPtr target)
{
    return Start(Direction::Write, std::move(target));
}

int CParamTransfer::StartReadAllParams(MessageTargetPtr target)
{
    return Start(Direction::Read, std::move(target));
}

int CParamTransfer::Start(Direction direction, MessageTargetPtr target)
{
    std::unique_lock<std::mutex> lock(m_threadLock);
    // The worker holds the line from here to its end, so that an update cannot start between
    // two of its groups; single exchanges (a page's write) still run between them.
    CProtocolMACLayer& mac = m_protocol.Mac();
    if (m_running || !mac.ClaimLine(CProtocolMACLayer::LineUse::Exchanges,
                                    direction == Direction::Write ? "writing all parameters" : "reading all parameters")) {
        const std::string busy = mac.LineBusyText();
        lock.unlock();
        kmr::ShowMessage(busy);
        return 0;
    }
    if (m_worker.joinable())
        m_worker.join();  // the last worker has finished with the records; at most its last post is left
    m_stop = false;
    m_recordsDone = 0;
    m_running = true;
    m_worker = kmr::StartThread(kmr::ThreadPriority::Normal,
                                [this, direction, target = std::move(target)] { AllParamsThread(direction, target); });
    return 1;
}

void CParamTransfer::AllParamsThread(Direction direction, MessageTargetPtr target)
{
    const bool write = direction == Direction::Write;
    const WPARAM progress = write ? WRITE_ALL_PROGRESS : READ_ALL_PROGRESS;
    bool ok = true;
    LPARAM done = 0;
    for (int page = 0; page < PAGE_COUNT && ok; ++page) {
        ok = TransferPage(direction, page);
        done = FIRST_PAGE_PROGRESS + PAGE_PROGRESS_STEP * page;
        if (ok && page + 1 < PAGE_COUNT)
            PostMessageTo(target, WM_PROTOCOL_NORMAL_MSG, progress, done);
    }
    // A group that failed because the device is gone says so, before the failure post.
    if (!ok && !m_stop)
        m_protocol.Mac().ShowLineLost();
    // The records and the line are left alone from here on; clearing the flag before the last
    // post lets the receiver of that post start the next worker at once.
    m_protocol.Mac().ReleaseLine(CProtocolMACLayer::LineUse::Exchanges);
    m_running = false;
    if (ok)
        PostMessageTo(target, WM_PROTOCOL_NORMAL_MSG, progress, done);  // 100
    else
        PostMessageTo(target, WM_PROTOCOL_NORMAL_MSG, write ? WRITE_ALL_FAILED : READ_ALL_FAILED, 0);
}

bool CParamTransfer::TransferPage(Direction direction, int page)
{
    DSPParam* const records = m_table.GetPage(page);
    const int n = m_table.GetCount(page);
    for (int j = 0; j < n; j += GROUP_SIZE) {
        if (m_stop)
            return false;
        DSPParam* const second = j + 1 < n ? &records[j + 1] : nullptr;
        DSPParam* const third = j + 2 < n ? &records[j + 2] : nullptr;
        if (direction == Direction::Write) {
            if (WriteDSPParam(&records[j], second, third) != WRITE_OK)
                return false;
            kmr::Sleep(GROUP_PAUSE_MS);
        } else if (ReadDSPParam(&records[j], second, third) != READ_OK) {
            return false;
        }
        m_recordsDone += std::min(GROUP_SIZE, n - j);
    }
    return true;
}

void CParamTransfer::Join()
{
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_worker.joinable())
        m_worker.join();
}

void CParamTransfer::Shutdown()
{
    std::lock_guard<std::mutex> lock(m_threadLock);
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}
