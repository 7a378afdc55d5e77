#include "protocol/ProtocolAppUpdate.h"

#include "platform/MessageBox.h"
#include "platform/Sleep.h"
#include "platform/Thread.h"

#include <cstring>

namespace {
constexpr const char* kLengthText = "Error: File length does not match!";
constexpr const char* kReadErrorText = "Error: Can not read the update file! The update was stopped.";
constexpr const char* kLineFailedText =
    "Error: Can not write to the port! The update was stopped.\nCheck the cable and the adapter, then close and open the port again.";
constexpr std::size_t kBlockLen = CUpdateFile::SEND_BLOCK_LEN;

WPARAM Base(CProtocolAppUpdate::Kind kind)
{
    switch (kind) {
    case CProtocolAppUpdate::KIND_SYSTEM: return CProtocolAppUpdate::SYSTEM_BASE;
    case CProtocolAppUpdate::KIND_PRESET: return CProtocolAppUpdate::PRESET_BASE;
    default: return CProtocolAppUpdate::TEST_BASE;
    }
}

void Post(const MessageTargetPtr& target, CProtocolAppUpdate::Kind kind, WPARAM code, LPARAM value = 0)
{
    PostMessageTo(target, WM_PROTOCOL_UPDATE_MSG, Base(kind) + code, value);
}
} // namespace

CProtocolAppUpdate& TheUpdateProtocol()
{
    static CProtocolAppUpdate protocol;
    return protocol;
}

CProtocolAppUpdate::CProtocolAppUpdate(CProtocolMACLayer& mac, CUpdateFile& files) : m_mac(mac), m_files(files)
{
}

CProtocolAppUpdate::~CProtocolAppUpdate()
{
    Shutdown();
}

bool CProtocolAppUpdate::UpdateSendCommand(unsigned command, int argument)
{
    using namespace update;
    std::uint8_t p[CProtocolMACLayer::PAYLOAD_LEN] = {MSG_COMMAND, static_cast<std::uint8_t>(command)};
    auto putCount = [&] {
        p[POS_BLOCK_COUNT] = static_cast<std::uint8_t>(argument / 256);
        p[POS_BLOCK_COUNT + 1] = static_cast<std::uint8_t>(argument % 256);
    };
    switch (command) {
    case CMD_SYNC:
        std::memcpy(p + POS_SYNC_PATTERN, SYNC_PATTERN, sizeof SYNC_PATTERN);
        break;
    case CMD_ESTABLISH:
        p[POS_KIND] = argument == KIND_SYSTEM   ? KIND_SYSTEM_CODE
                      : argument == KIND_PRESET ? KIND_PRESET_CODE
                      : argument == KIND_TEST   ? KIND_TEST_CODE
                                                : KIND_UNKNOWN_CODE;
        break;
    case CMD_ERASE:
        std::memcpy(p + POS_ERASE_SEQUENCE, ERASE_SEQUENCE, sizeof ERASE_SEQUENCE);
        break;
    case CMD_BEGIN_WRITE:
        putCount();
        std::memcpy(p + POS_PROGRAM_SEQUENCE, PROGRAM_SEQUENCE, sizeof PROGRAM_SEQUENCE);
        break;
    case CMD_END_WRITE:
        putCount();
        break;
    case CMD_END_VERIFY: case CMD_FINISH: case 0x11: case 0x12: case 0x13: case 0x14: case 0x15: case 0x22: case 0x32:
        break;  // the codes that no sequence uses go out as they are
    default:
        kmr::ShowMessage("CProtocolAppUpdate::UpdateSendCommand error: no this command to send!");
        return false;
    }
    return Send(p);
}

bool CProtocolAppUpdate::SendDataBlock(const std::uint8_t* block12)
{
    std::uint8_t p[CProtocolMACLayer::PAYLOAD_LEN] = {update::MSG_DATA};
    std::memcpy(p + update::POS_DATA, block12, kBlockLen);
    return Send(p);
}

bool CProtocolAppUpdate::Send(const std::uint8_t* payload)
{
    if (m_mac.SendFrame(payload, CProtocolMACLayer::PAYLOAD_LEN) != 0)
        return true;
    // The line is gone or stalled: every later send of the run fails at once too, so the user
    // is told once, with what the port met, and the phase ends with its failure.
    ReportLineFailure(m_mac.SendErrorText());
    return false;
}

void CProtocolAppUpdate::ReportLineFailure(const std::string& text)
{
    if (m_updateStop.load() == 0 && !m_lineFailureShown.exchange(true))
        kmr::ShowMessage(text.empty() ? kLineFailedText : text);
}

bool CProtocolAppUpdate::PauseUnlessEnded(unsigned ms)
{
    return kmr::SleepUnless(ms, [this] { return m_updateStop.load() != 0 || m_mac.LineLost(); });
}

bool CProtocolAppUpdate::LineGone()
{
    if (!m_mac.LineLost())
        return false;
    ReportLineFailure(m_mac.LineLostText());
    return true;
}

int CProtocolAppUpdate::BlockPercent(int i, int n)
{
    const float q = static_cast<float>(100 * i) / static_cast<float>(n);
    return static_cast<int>(q + 0.5);
}

bool CProtocolAppUpdate::SendFileBlocks(const MessageTargetPtr& target, std::uint32_t start, int n, int pass, Kind kind)
{
    if (n <= 0)
        return true;
    const WPARAM progress = pass == 1 ? WRITE_PROGRESS : VERIFY_PROGRESS;
    const std::int32_t length = kind == KIND_SYSTEM ? m_files.SystemFileLength() : m_files.PresetFileLength();
    std::uint8_t block[kBlockLen];
    int next = 0;
    for (int i = 0; i < n; ++i) {
        const std::uint32_t offset = start + static_cast<std::uint32_t>(kBlockLen) * static_cast<std::uint32_t>(i);
        // A last block that runs past the end of the file is padded with a fixed value, never
        // with what the buffer held before.
        std::memset(block, PAST_END_FILL, sizeof block);
        const bool read = kind == KIND_SYSTEM ? m_files.ReadSystemFile(offset, kBlockLen, block)
                                              : m_files.ReadPresetFile(offset, kBlockLen, block);
        if (!read && static_cast<std::int64_t>(offset) + static_cast<std::int64_t>(kBlockLen) <= length) {
            // The data is in the file but could not be read (file closed by a stop, media
            // gone): sending anything else would put wrong data into the amplifier.
            if (m_updateStop.load() == 0)
                kmr::ShowMessage(kReadErrorText);
            return false;
        }
        if (!SendDataBlock(block))
            return false;
        if (BlockPercent(i, n) == next) {
            Post(target, kind, progress, next);
            ++next;
        }
        if (m_updateStop.load() != 0)
            return false;
    }
    return true;
}

bool CProtocolAppUpdate::SendTestBlocks(int n)
{
    static constexpr std::uint8_t block[kBlockLen] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05,
                                                      0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};
    for (int i = 0; i < n; ++i) {
        if (m_updateStop.load() != 0)
            return true;
        if (!SendDataBlock(block))
            return false;
    }
    return true;
}

bool CProtocolAppUpdate::StartSystemUpdate(MessageTargetPtr target)
{
    return Start(KIND_SYSTEM, std::move(target));
}

bool CProtocolAppUpdate::StartPresetUpdate(MessageTargetPtr target)
{
    return Start(KIND_PRESET, std::move(target));
}

bool CProtocolAppUpdate::StartUpdateTest(MessageTargetPtr target)
{
    return Start(KIND_TEST, std::move(target));
}

bool CProtocolAppUpdate::Start(Kind kind, MessageTargetPtr target)
{
    std::unique_lock<std::mutex> lock(m_threadLock);
    if (IsRunning())
        return false;  // a second start while a run goes on does nothing
    // The run holds the line from here until both its threads have ended. A line held by
    // someone else (a parameter worker, or the threads of a stopped run still ending) refuses
    // the start at once: waiting here for other threads could freeze the window that called,
    // or deadlock with a thread that waits for that window.
    if (!m_mac.ClaimLine(CProtocolMACLayer::LineUse::Update, "an update")) {
        const std::string busy = m_mac.LineBusyText();
        lock.unlock();
        kmr::ShowMessage(busy);
        return false;
    }
    // The threads of the last run have ended (they released the line), so these joins are
    // immediate.
    if (m_sequence.joinable())
        m_sequence.join();
    if (m_receiver.joinable())
        m_receiver.join();
    // Both flags change before either thread starts: a sequence that stops at once (an invalid
    // file) then stops the receiver too, instead of a receiver started after that stop polling
    // for ever.
    m_updateStop = 0;
    m_receiverStop = 0;
    m_lineFailureShown = false;
    m_alive = 2;
    m_ended = 0;
    // The second thread to end frees the line before it counts itself out, so that once
    // ThreadsAlive() is false the line can be claimed again.
    auto ended = [this] {
        if (m_ended.fetch_add(1) == 1)
            m_mac.ReleaseLine(CProtocolMACLayer::LineUse::Update);
        --m_alive;
    };
    m_sequence = kmr::StartThread(kmr::ThreadPriority::AboveNormal, [this, kind, target, ended] {
        if (kind == KIND_TEST)
            UpdateTestThread(target);
        else
            SystemOrPresetThread(kind, target);
        ended();
    });
    m_receiver = kmr::StartThread(kmr::ThreadPriority::AboveNormal, [this, ended] {
        ReceiveThread();
        ended();
    });
    return true;
}

void CProtocolAppUpdate::ClearAckFlags()
{
    m_establishFlag = 0;
    m_eraseFlag = 0;
    m_writeFlag = 0;
    m_verifyFlag = 0;
}

void CProtocolAppUpdate::StopRun(Kind kind)
{
    m_receiverStop = 1;
    m_updateStop = 1;
    if (kind == KIND_SYSTEM)
        m_files.CloseSystemFile();
    else if (kind == KIND_PRESET)
        m_files.ClosePresetFile();
    ClearAckFlags();
    kmr::Sleep(STOP_PAUSE_MS);
}

void CProtocolAppUpdate::StopSystemUpdate()
{
    StopRun(KIND_SYSTEM);
}

void CProtocolAppUpdate::StopPresetUpdate()
{
    StopRun(KIND_PRESET);
}

void CProtocolAppUpdate::StopUpdateTest()
{
    StopRun(KIND_TEST);
}

void CProtocolAppUpdate::Shutdown()
{
    m_receiverStop = 1;
    m_updateStop = 1;
    JoinThreads();
}

void CProtocolAppUpdate::JoinThreads()
{
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_sequence.joinable())
        m_sequence.join();
    if (m_receiver.joinable())
        m_receiver.join();
}

bool CProtocolAppUpdate::ThreadsAlive() const
{
    return m_alive.load() > 0;
}

void CProtocolAppUpdate::ReceiveThread()
{
    std::uint8_t p[CProtocolMACLayer::PAYLOAD_LEN];
    while (m_receiverStop.load() == 0) {
        if (!m_mac.GetFrameFromLoopBuf(p, CProtocolMACLayer::PAYLOAD_LEN)) {
            kmr::Sleep(RECEIVE_POLL_MS);
            continue;
        }
        if (p[update::POS_TYPE] != update::MSG_COMMAND)
            continue;
        switch (p[update::POS_CODE]) {
        case update::ACK_ESTABLISH: m_establishFlag = 1; break;
        case update::ACK_ERASE: m_eraseFlag = 1; break;
        case update::ACK_WRITE: m_writeFlag = 1; break;
        case update::ACK_VERIFY: m_verifyFlag = 1; break;
        default: break;
        }
    }
}

bool CProtocolAppUpdate::WaitFor(const std::atomic<int>& flag, Wait wait)
{
    for (int k = 0; k < wait.tests; ++k) {
        PauseUnlessEnded(wait.pauseMs);
        if (flag.load() != 0)
            return true;
        // Stopped, or the device gone: the phase ends now, not at the end of its limit.
        if (m_updateStop.load() != 0 || LineGone())
            return false;
    }
    return false;
}

void CProtocolAppUpdate::SystemOrPresetThread(Kind kind, MessageTargetPtr target)
{
    const bool system = kind == KIND_SYSTEM;
    CUpdateFile::CheckFailure where;
    const bool valid = system ? m_files.CheckSystemFile(&where) : m_files.CheckPresetFile(&where);
    // A stop during the check (the user closed the dialog) is honoured here: nothing is sent,
    // and a check that failed because the stop closed the file is no fault of the file.
    if (m_updateStop.load() != 0)
        return;
    if (!valid) {
        StopRun(kind);
        kmr::ShowMessage(system ? CUpdateFile::INVALID_SYSTEM_TEXT : CUpdateFile::INVALID_PRESET_TEXT);
        return;
    }
    const int n = system ? SystemBlockCount(m_files.SystemFileLength()) : PRESET_BLOCKS;
    if (n <= 0 || n > MAX_BLOCKS) {  // the count must fit the 16 bits of commands 0x03 and 0x04
        StopRun(kind);
        kmr::ShowMessage(kLengthText);
        return;
    }
    const std::uint32_t start = system ? CUpdateFile::SYSTEM_DATA_OFFSET : 0;
    const Wait eraseWait = system ? SYSTEM_ERASE_WAIT : PRESET_ERASE_WAIT;
    const int eraseStep = system ? SYSTEM_ERASE_STEP : PRESET_ERASE_STEP;

    // A command that cannot be sent ends its phase at once, as a missing acknowledge would.
    [&] {
        const bool synchronised = UpdateSendCommand(update::CMD_SYNC, 0);
        kmr::Sleep(SYNC_PAUSE_MS);

        m_establishFlag = 0;
        const bool establishSent = synchronised && UpdateSendCommand(update::CMD_ESTABLISH, kind);
        Post(target, kind, ESTABLISHING);
        if (!establishSent || !WaitFor(m_establishFlag, ESTABLISH_WAIT))
            return Post(target, kind, ESTABLISH_FAILED);

        m_eraseFlag = 0;
        const bool eraseSent = UpdateSendCommand(update::CMD_ERASE, 0);
        Post(target, kind, ERASING);
        m_eraseCounter = 0;
        bool erased = false;
        for (int k = 0; k < eraseWait.tests && !erased && eraseSent; ++k) {
            PauseUnlessEnded(eraseWait.pauseMs);
            ++m_eraseCounter;
            Post(target, kind, ERASE_PROGRESS, m_eraseCounter.load() * eraseStep);
            erased = m_eraseFlag.load() != 0;
            if (!erased && (m_updateStop.load() != 0 || LineGone()))
                break;
        }
        if (!erased)
            return Post(target, kind, ERASE_FAILED);

        Post(target, kind, WRITING);
        if (!UpdateSendCommand(update::CMD_BEGIN_WRITE, n) || !SendFileBlocks(target, start, n, 1, kind))
            return Post(target, kind, WRITE_FAILED);
        m_writeFlag = 0;
        if (!UpdateSendCommand(update::CMD_END_WRITE, n) || !WaitFor(m_writeFlag, WRITE_WAIT))
            return Post(target, kind, WRITE_FAILED);

        Post(target, kind, VERIFYING);
        if (!SendFileBlocks(target, start, n, 2, kind))
            return Post(target, kind, VERIFY_FAILED);
        m_verifyFlag = 0;
        if (!UpdateSendCommand(update::CMD_END_VERIFY, 0) || !WaitFor(m_verifyFlag, VERIFY_WAIT))
            return Post(target, kind, VERIFY_FAILED);

        UpdateSendCommand(update::CMD_FINISH, 0);
        ClearAckFlags();
        kmr::Sleep(FINISH_PAUSE_MS);
        kmr::ShowMessage(UPDATE_SUCCESS_TEXT);
        Post(target, kind, UPDATE_OK);
    }();
    EndRun(kind);
}

void CProtocolAppUpdate::EndRun(Kind kind)
{
    // A run stopped from outside has been through StopRun already; doing it again now could
    // close a file the user has chosen since for the next run.
    if (m_updateStop.load() == 0)
        StopRun(kind);
}

void CProtocolAppUpdate::UpdateTestThread(MessageTargetPtr target)
{
    const Kind kind = KIND_TEST;
    auto fail = [&](Code code) {
        EndRun(kind);
        Post(target, kind, code);
    };
    if (m_updateStop.load() != 0)
        return;  // stopped before the first command: nothing is sent
    const bool synchronised = UpdateSendCommand(update::CMD_SYNC, 0);
    kmr::Sleep(SYNC_PAUSE_MS);
    Post(target, kind, ESTABLISHING);

    m_establishFlag = 0;
    if (!synchronised || !UpdateSendCommand(update::CMD_ESTABLISH, kind) || !WaitFor(m_establishFlag, ESTABLISH_WAIT))
        return fail(ESTABLISH_FAILED);

    Post(target, kind, ERASING);
    m_eraseFlag = 0;
    if (!UpdateSendCommand(update::CMD_ERASE, 0) || !WaitFor(m_eraseFlag, TEST_ERASE_WAIT))
        return fail(ERASE_FAILED);

    Post(target, kind, WRITING);
    if (!UpdateSendCommand(update::CMD_BEGIN_WRITE, TEST_BLOCKS) || !SendTestBlocks(TEST_BLOCKS))
        return fail(WRITE_FAILED);
    m_writeFlag = 0;
    if (!UpdateSendCommand(update::CMD_END_WRITE, TEST_BLOCKS) || !WaitFor(m_writeFlag, WRITE_WAIT))
        return fail(WRITE_FAILED);

    Post(target, kind, VERIFYING);
    if (!SendTestBlocks(TEST_BLOCKS))
        return fail(VERIFY_FAILED);
    m_verifyFlag = 0;
    if (!UpdateSendCommand(update::CMD_END_VERIFY, 0) || !WaitFor(m_verifyFlag, TEST_VERIFY_WAIT))
        return fail(VERIFY_FAILED);

    UpdateSendCommand(update::CMD_FINISH, 0);
    ClearAckFlags();
    EndRun(kind);
    Post(target, kind, UPDATE_OK);
    kmr::Sleep(FINISH_PAUSE_MS);
}
