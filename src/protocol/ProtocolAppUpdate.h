#pragma once
// Replaces the amplifier's system software or its EQ presets: a fixed sequence of commands and
// data blocks (synchronise, establish, erase, write pass, verify pass, finish), each phase
// confirmed by an acknowledge. A sequence thread sends and waits; a receive thread takes the
// amplifier's frames and raises one flag per kind of acknowledge. Every phase and percentage is
// posted as WM_PROTOCOL_UPDATE_MSG to the target given at start.
//
// Threads: Start*, Stop* and Shutdown may be called from any thread. A run holds the frame
// layer's line claim from its start until both its threads have ended, so the receive thread is
// the only receiver: normal exchanges are refused meanwhile, and a start while a parameter
// worker (or a stopped run's threads) still holds the line is refused with a message. No start
// waits for other threads, so a window thread that starts a run never freezes.
// A run is idle (both stop flags 1), running (both 0) or stopping.
// A line that fails (a send the port could not take, or a device found gone by the receive
// thread during any wait) ends the running phase at once with its failure code, after the
// port's error has been shown once for the run. A stop ends a wait at once too.
#include "link/ProtocolMACLayer.h"
#include "platform/Messages.h"
#include "protocol/UpdateMessages.h"
#include "update/UpdateFile.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// Shown by the sequence when an update has been written and verified, before its last post.
inline constexpr const char* UPDATE_SUCCESS_TEXT =
    "DSP Update Successfull!\nPlease power cycle the amplifier to complete the update.";

class CProtocolAppUpdate {
public:
    // The kind of update: the argument of the establish command (the bytes on the wire are in
    // UpdateMessages.h).
    enum Kind { KIND_SYSTEM = 0, KIND_PRESET = 1, KIND_TEST = 2 };

    // wParam of WM_PROTOCOL_UPDATE_MSG for each kind: phase codes base + 0..8, progress codes
    // base + 16..18 (the test has none).
    static constexpr WPARAM SYSTEM_BASE = 17, PRESET_BASE = 129, TEST_BASE = 241;
    enum Code : WPARAM {
        ESTABLISHING = 0, ESTABLISH_FAILED = 1, ERASING = 2, ERASE_FAILED = 3, WRITING = 4, WRITE_FAILED = 5,
        VERIFYING = 6, VERIFY_FAILED = 7, UPDATE_OK = 8, ERASE_PROGRESS = 16, WRITE_PROGRESS = 17,
        VERIFY_PROGRESS = 18,
    };

    // Fixed waits, in milliseconds, and the limits of the acknowledge waits (tests × pause).
    static constexpr unsigned SYNC_PAUSE_MS = 200;    // after the synchronise command
    static constexpr unsigned STOP_PAUSE_MS = 300;    // at the end of every stop
    static constexpr unsigned FINISH_PAUSE_MS = 1000; // after the finish command
    static constexpr unsigned RECEIVE_POLL_MS = 1;    // receive thread, between empty polls
    struct Wait {
        int tests;
        unsigned pauseMs;
    };
    static constexpr Wait ESTABLISH_WAIT{50, 10};
    static constexpr Wait SYSTEM_ERASE_WAIT{20, 600};
    static constexpr Wait PRESET_ERASE_WAIT{15, 500};
    static constexpr Wait TEST_ERASE_WAIT{4, 500};
    static constexpr Wait WRITE_WAIT{50, 10};
    static constexpr Wait VERIFY_WAIT{50, 50};
    static constexpr Wait TEST_VERIFY_WAIT{50, 10};
    // lParam of the erase progress after each erase test: test count times this.
    static constexpr int SYSTEM_ERASE_STEP = 10;
    static constexpr int PRESET_ERASE_STEP = 50;

    static constexpr int PRESET_BLOCKS = CUpdateFile::PRESET_SEND_BLOCKS;  // 2730
    static constexpr int TEST_BLOCKS = 10;
    static constexpr int MAX_BLOCKS = 0xFFFF;  // the block count travels in 16 bits
    static constexpr std::uint8_t PAST_END_FILL = 0xFF;  // bytes of a last block past the file's end

    explicit CProtocolAppUpdate(CProtocolMACLayer& mac = TheMacLayer(), CUpdateFile& files = TheUpdateFile());
    virtual ~CProtocolAppUpdate();
    CProtocolAppUpdate(const CProtocolAppUpdate&) = delete;
    CProtocolAppUpdate& operator=(const CProtocolAppUpdate&) = delete;

    // Sends command with its argument; true once the port took it. False (after a message,
    // nothing sent) for a command that is not one of 0x00-0x06, 0x11-0x15, 0x22, 0x32, and
    // false when the port could not send it.
    bool UpdateSendCommand(unsigned command, int argument);
    bool SendDataBlock(const std::uint8_t* block12);
    // Sends n blocks of the file from start; posts the pass's percentages. False if stopped, if
    // the file could not be read (after a message) or at the first block the port could not send.
    bool SendFileBlocks(const MessageTargetPtr& target, std::uint32_t start, int n, int pass, Kind kind);
    // Sends the test block n times; stops early (true) on a stop, false when a send failed.
    bool SendTestBlocks(int n);

    // Start a run that posts to target. True when the run started; false when one is going on
    // (nothing happens) or the line is held by another user (after a message saying so).
    bool StartSystemUpdate(MessageTargetPtr target);
    bool StartPresetUpdate(MessageTargetPtr target);
    bool StartUpdateTest(MessageTargetPtr target);
    // End the run: both stop flags set, the kind's file closed, the acknowledge flags cleared,
    // then a 300 ms pause. The threads end by themselves shortly after.
    void StopSystemUpdate();
    void StopPresetUpdate();
    void StopUpdateTest();
    // Stops any run and waits for its threads to end (program exit, tests).
    void Shutdown();

    bool IsRunning() const { return m_updateStop.load() == 0; }
    // True while either thread of a run, stopped or not, has not ended yet.
    bool ThreadsAlive() const;

    // Block count of a system file of length bytes: floor((length - 0x10000) / 12) + 1.
    static int SystemBlockCount(std::int32_t length) { return CUpdateFile::SystemBlockCount(length); }
    // The percentage a pass reports after block i of n (n taken in single precision, as the
    // amplifier's tools always have).
    static int BlockPercent(int i, int n);

private:
    bool Start(Kind kind, MessageTargetPtr target);
    // Sends one payload; on the run's first failed send, shows the port's error.
    bool Send(const std::uint8_t* payload);
    // Shows text (or a general text when it is empty) once per run, unless the run is stopped.
    void ReportLineFailure(const std::string& text);
    // Sleeps ms, ending early when the run is stopped or the line is found gone; false then.
    bool PauseUnlessEnded(unsigned ms);
    // True (after ReportLineFailure with what the port met) when the line is gone.
    bool LineGone();
    void StopRun(Kind kind);
    // The sequence's own end: StopRun, unless the run has been stopped already.
    void EndRun(Kind kind);
    void ClearAckFlags();
    void ReceiveThread();
    void SystemOrPresetThread(Kind kind, MessageTargetPtr target);
    void UpdateTestThread(MessageTargetPtr target);
    // Up to wait.tests times: sleep, then test flag. False when still clear, or when the run has
    // been stopped or its line found gone meanwhile.
    bool WaitFor(const std::atomic<int>& flag, Wait wait);
    void JoinThreads();

    CProtocolMACLayer& m_mac;
    CUpdateFile& m_files;

    std::atomic<int> m_verifyFlag{0};
    std::atomic<int> m_writeFlag{0};
    std::atomic<int> m_eraseFlag{0};
    std::atomic<int> m_eraseCounter{0};
    std::atomic<int> m_establishFlag{0};
    std::atomic<int> m_receiverStop{1};
    std::atomic<int> m_updateStop{1};

    std::mutex m_threadLock;  // the two thread objects; held to start and to join
    std::thread m_sequence;
    std::thread m_receiver;
    std::atomic<int> m_alive{0};  // threads of the current or last run not yet ended
    std::atomic<int> m_ended{0};  // threads of the current or last run that have ended
    std::atomic<bool> m_lineFailureShown{false};  // the run's failed send has been reported
};

// The program's one update protocol object.
CProtocolAppUpdate& TheUpdateProtocol();
