#pragma once
// Moves whole parameter records between the in-memory table and the amplifier, on top of the
// parameter messages of the normal protocol: up to three records in one exchange, one record
// for a page change, and every record of every page in a worker thread (write-all, read-all)
// that reports its progress by posting WM_PROTOCOL_NORMAL_MSG.
//
// Records travel in consecutive groups of three in table order, page by page; the last group of
// a page holds one, two or three records, and a record whose address is 0 is an empty slot. With
// the table's page counts (28, 15, 6, 24, 6, 12, 16, 1) a whole pass is 38 exchanges.
//
// Threads and the records lock: the table's records carry no lock of their own. This object's
// RecordLock() is the one lock for them while a worker may run. It makes each change of a record
// one whole step: a worker's group (convert, exchange, store) holds it from start to end, and
// so does WriteDSPParam / ReadDSPParam for any caller; the user interface holds it while it
// reads a control into a record, shows it and writes it (the lock is recursive, so the write
// inside takes it again). A page change therefore lands wholly before or wholly after a
// worker's group, never inside it: a read-all never stores an old value over a change that
// was just made, and a write-all never sends a value the user has since replaced. Messages
// are never shown while the lock is held, so a modal message in a worker cannot stop the user
// interface. Other code that reads or changes records while a worker may run (a reset of the
// records, refreshing the pages) holds it for that moment.
// Exchanges themselves are serialised by the protocol's exchange lock, which is always taken
// after this one, never before it.
// At most one worker runs at a time: a start while one runs is refused (see below).
#include "params/ParamTable.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "protocol/ProtocolAppNormal.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CParamTransfer {
public:
    // Results of WriteDSPParam.
    enum WriteResult : unsigned { WRITE_OK = 0, WRITE_FAILED = 1 };
    // Results of ReadDSPParam.
    enum ReadResult : unsigned { READ_OK = 0, READ_FAILED = 1, READ_OUT_OF_RANGE = 2 };

    // wParam codes of WM_PROTOCOL_NORMAL_MSG. Progress carries lParam 30, 40, ... 100 (one page
    // done; 100 all done); a failure carries lParam 0 and is the worker's last post.
    static constexpr WPARAM WRITE_ALL_PROGRESS = 1;
    static constexpr WPARAM WRITE_ALL_FAILED = 2;
    static constexpr WPARAM READ_ALL_PROGRESS = 5;
    static constexpr WPARAM READ_ALL_FAILED = 6;
    static constexpr LPARAM FIRST_PAGE_PROGRESS = 30;  // after page 0; +10 a page
    static constexpr LPARAM PAGE_PROGRESS_STEP = 10;
    static constexpr LPARAM ALL_DONE_PROGRESS = 100;

    static constexpr int GROUP_SIZE = 3;              // records in one exchange
    static constexpr unsigned GROUP_PAUSE_MS = 20;    // write-all, after each group, so the amplifier is not flooded

    // Serves table over protocol. The program uses the one object of TheParamTransfer();
    // tests may build their own.
    explicit CParamTransfer(CProtocolAppNormal& protocol = TheNormalProtocol(), CDSPParamTable& table = TheParamTable());
    // Stops a running worker and waits for it (Shutdown).
    virtual ~CParamTransfer();
    CParamTransfer(const CParamTransfer&) = delete;
    CParamTransfer& operator=(const CParamTransfer&) = delete;

    CDSPParamTable& Table() { return m_table; }
    CProtocolAppNormal& Protocol() { return m_protocol; }
    // The records lock (see the head of this file). Messages raised while it is held are shown
    // once it is released (kmr::CMessageHoldingMutex).
    using RecordMutex = kmr::CMessageHoldingMutex<std::recursive_mutex>;
    RecordMutex& RecordLock() { return m_records; }

    // Writes up to three records in one exchange; r2 and r3 may be null. Each present record's
    // deviceValue is first computed from its index (ToDeviceValue); an absent record, or one with
    // address 0, is an empty slot. WRITE_OK when acknowledged (the protocol has then paused
    // 30 ms), else WRITE_FAILED. Shows no message. Holds the records lock from the conversion to
    // the end of the exchange.
    unsigned WriteDSPParam(DSPParam* r1, DSPParam* r2 = nullptr, DSPParam* r3 = nullptr);
    // WriteDSPParam(record, none, none): a page's write of one changed record.
    unsigned WriteOneParam(DSPParam* record);

    // Reads up to three records in one exchange; r2 and r3 may be null. READ_FAILED if the
    // exchange failed: no record changes and no message is shown. Otherwise each present record
    // with a non-zero address gets the value read in deviceValue and, if the value converts to
    // a valid step, the new index; a record out of range keeps its index, and for it the
    // out-of-range message (SetOutOfRangeText) is shown with OK only, modally in the calling
    // thread, after the records lock (held from the exchange to the store) has been released.
    // READ_OUT_OF_RANGE if any record was out of range (the others are stored all the same),
    // else READ_OK.
    unsigned ReadDSPParam(DSPParam* r1, DSPParam* r2 = nullptr, DSPParam* r3 = nullptr);

    // Start the write-all or read-all worker, which walks every page in table order and posts
    // to target (normal priority; target is held weakly). The write-all pauses GROUP_PAUSE_MS
    // after each group. The worker posts (1 or 5, 30 + 10 * page) after each page, so exactly
    // 30 .. 100 on success, or (2 or 6, 0) at the first failed group (for the read-all also a
    // value out of range, after its message has been answered) or after a stop, and ends;
    // groups already written stay written, records already read keep their new values. A
    // group that failed because the line is gone shows what the port met before that post.
    // Return 1 when the worker started. The worker holds the frame layer's line claim for its
    // whole run (page writes from other threads still run between its groups). While a worker
    // runs, or an update holds the line, a start is refused: nothing is started, sent or
    // posted, the message dialog says what holds the line, and the result is 0, so two workers
    // never interleave or update records against each other.
    int StartWriteAllParams(MessageTargetPtr target);
    int StartReadAllParams(MessageTargetPtr target);

    // True from a successful start until the worker has made its last change to the records
    // (its final post may still be on its way).
    bool IsRunning() const { return m_running.load(); }
    // Waits until the worker, if any, has ended by itself. Must not be called from the worker.
    void Join();
    // Asks a running worker to stop after its current group (it then posts its failure code)
    // and waits for it to end. A worker that is showing a message ends once the message has
    // been answered. Used at program exit and by tests; afterwards new starts work again.
    void Shutdown();
    // Asks a running worker to stop after its current group, without waiting: a group is never
    // cut in half. The worker then posts its failure code as its last post.
    void RequestStop() { m_stop = true; }
    // Records the current (or last) worker has written or read so far, of PARAM_COUNT.
    int RecordsDone() const { return m_recordsDone.load(); }

    // The text shown for a record read out of range: by default "Error: ParameterN out of
    // range !   CProtocolAppNormal::ReadDSPParam" (N its slot 1..3 in the call). A program may
    // name the record and the value instead. Set before workers run.
    using OutOfRangeText = std::function<std::string(int slot, const DSPParam& record)>;
    void SetOutOfRangeText(OutOfRangeText text) { m_outOfRangeText = std::move(text); }

private:
    enum class Direction { Write, Read };
    int Start(Direction direction, MessageTargetPtr target);
    // The body of both workers (the write-all and the read-all thread): every page in turn,
    // with its progress posts, then the last post.
    void AllParamsThread(Direction direction, MessageTargetPtr target);
    // Sends or reads one page in groups of three; false at the first failed group or when a
    // stop has been asked.
    bool TransferPage(Direction direction, int page);

    CProtocolAppNormal& m_protocol;
    CDSPParamTable& m_table;
    RecordMutex m_records;

    std::mutex m_threadLock;  // m_worker; held to start and to join
    std::thread m_worker;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_recordsDone{0};
    OutOfRangeText m_outOfRangeText;
};

// The program's one transfer object, for TheParamTable() over TheNormalProtocol().
CParamTransfer& TheParamTransfer();
