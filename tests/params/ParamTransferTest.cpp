// Whole-record transfer and the mixer actions, over a pseudo-terminal with the simulated
// amplifier, checked on the amplifier's side (the requests it received, the values it holds).
#include "params/MixerOps.h"
#include "params/ParamTransfer.h"
#include "params/ValueConvert.h"
#include "protocol/NormalMessages.h"
#include "support/MessageRecorder.h"
#include "support/PostRecorder.h"
#include "support/SimLink.h"
#include "support/Wait.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

using namespace normal;
using Post = PostRecorder::Post;

// Found by argument-dependent lookup, so outside the unnamed namespace.
static bool operator==(const Post& a, const Post& b)
{
    return a.msg == b.msg && a.wParam == b.wParam && a.lParam == b.lParam;
}

namespace {

std::vector<Post> Progress(WPARAM code, int pages)
{
    std::vector<Post> posts;
    for (int p = 0; p < pages; ++p)
        posts.push_back({WM_PROTOCOL_NORMAL_MSG, code, 30 + 10 * p});
    return posts;
}

std::string OutOfRangeText(int slot)
{
    return "Error: Parameter" + std::to_string(slot) + " out of range !   CProtocolAppNormal::ReadDSPParam";
}

// A valid step other than the record's default, and its device value.
std::int32_t OtherIndex(const DSPParam& r)
{
    return (r.defaultIndex + 1) % r.steps;
}
std::uint16_t DeviceValueOf(const DSPParam& r, std::int32_t index)
{
    return static_cast<std::uint16_t>(ConvertValue(r, index, CONVERT_TO_DEVICE));
}

} // namespace

class ParamTransferTest : public SimLinkTest {
protected:
    void TearDown() override
    {
        transfer.Shutdown();  // no worker outlives the line it uses
        watcher.reset();  // joins the watcher, if any
        SimLinkTest::TearDown();
    }

    void ForEachRecord(const std::function<void(int page, int slot, DSPParam& r)>& f)
    {
        for (int p = 0; p < PAGE_COUNT; ++p)
            for (int s = 0; s < table.GetCount(p); ++s)
                f(p, s, *table.GetRecord(p, s));
    }
    // Every amplifier value one step away from its default.
    void GiveTheAmplifierOtherValues()
    {
        ForEachRecord([&](int, int, DSPParam& r) { sim.SetParam(r.address, DeviceValueOf(r, OtherIndex(r))); });
    }
    std::vector<CAmpSimulator::Payload> Requests(std::uint8_t command) const
    {
        std::vector<CAmpSimulator::Payload> out;
        for (const auto& q : sim.Received())
            if (q[0] == command)
                out.push_back(q);
        return out;
    }
    // Waits for the worker to end by itself; one still running after 60 s fails the test, and
    // TearDown stops it.
    void JoinWorker()
    {
        ASSERT_TRUE(WaitUntil([this] { return !transfer.IsRunning(); }, std::chrono::seconds(60)));
        transfer.Join();
    }
    // Runs action in a watcher thread once the amplifier has received n requests (or 10 s have
    // passed without them, a failure).
    void After(std::size_t n, std::function<void()> action)
    {
        watcher.emplace([this, n, action = std::move(action)] {
            EXPECT_TRUE(WaitUntil([&] { return sim.Received().size() >= n; }, std::chrono::seconds(10)));
            action();
        });
    }

    CDSPParamTable table;
    CParamTransfer transfer{proto, table};
    MessageRecorder messages;
    std::shared_ptr<PostRecorder> posts = PostRecorder::Create();
    std::optional<TestThread> watcher;
};

TEST_F(ParamTransferTest, WriteAllSendsEveryPageInTableOrderGroupsOfThree)
{
    ForEachRecord([](int, int, DSPParam& r) { r.index = OtherIndex(r); });
    ASSERT_EQ(transfer.StartWriteAllParams(posts), 1);
    JoinWorker();
    EXPECT_EQ(posts->Posts(), Progress(CParamTransfer::WRITE_ALL_PROGRESS, 8));

    const auto writes = Requests(CMD_WRITE_PARAMS);
    ASSERT_EQ(writes.size(), 38u);
    ASSERT_EQ(sim.Received().size(), 38u);
    // The slots, read in order, name every record in table order; a slot is empty only in the
    // last request of a page, and every page starts a request of its own.
    std::vector<std::uint32_t> sent;
    std::vector<int> emptySlots;
    for (const auto& q : writes) {
        int empty = 0;
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t a = GetU16(&q[1 + 4 * k]);
            if (a != 0) {
                sent.push_back(a);
            } else {
                ++empty;
                EXPECT_EQ(GetU16(&q[3 + 4 * k]), 0);
            }
        }
        emptySlots.push_back(empty);
    }
    std::vector<std::uint32_t> expected;
    ForEachRecord([&](int, int, DSPParam& r) { expected.push_back(r.address); });
    EXPECT_EQ(sent, expected);
    // Input: 28 records in 10 requests, the tenth with one; Miscellaneous: one request with one.
    EXPECT_EQ(emptySlots, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 2, /*Output*/ 0, 0, 0, 0, 0, /*EQ*/ 0, 0,
                                            /*Page In*/ 0, 0, 0, 0, 0, 0, 0, 0, /*Direct In*/ 0, 0,
                                            /*Limiter*/ 0, 0, 0, 0, /*Signal Thr*/ 0, 0, 0, 0, 0, 2, /*Misc*/ 2}));
    // The amplifier holds every record's converted value (set points reversed, Direct In + 20).
    ForEachRecord([&](int, int, DSPParam& r) {
        EXPECT_EQ(sim.GetParam(r.address), DeviceValueOf(r, r.index)) << r.name;
        EXPECT_EQ(r.deviceValue, DeviceValueOf(r, r.index)) << r.name;
    });
}

TEST_F(ParamTransferTest, ReadAllFillsEveryRecordAndPostsEachPage)
{
    GiveTheAmplifierOtherValues();
    ASSERT_EQ(transfer.StartReadAllParams(posts), 1);
    JoinWorker();
    EXPECT_EQ(posts->Posts(), Progress(CParamTransfer::READ_ALL_PROGRESS, 8));
    EXPECT_EQ(Requests(CMD_READ_PARAMS).size(), 38u);
    ForEachRecord([&](int, int, DSPParam& r) { EXPECT_EQ(r.index, OtherIndex(r)) << r.name; });
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(ParamTransferTest, GroupExchangesConvertStoreAndReportEachSlotOutOfRange)
{
    DSPParam* tone = table.GetRecord(PAGE_INPUT, 0);           // 0x3000, index = device value
    DSPParam* setPoint = table.GetRecord(PAGE_LIMITER, 2);     // 0xA006, reversed
    DSPParam* volume = table.GetRecord(PAGE_DIRECT_IN, 0);     // 0x1005, + 20
    setPoint->index = 0;
    volume->index = 0;
    EXPECT_EQ(transfer.WriteDSPParam(tone, setPoint, volume), CParamTransfer::WRITE_OK);
    EXPECT_EQ(sim.GetParam(0xA006), 40);
    EXPECT_EQ(sim.GetParam(0x1005), 20);
    EXPECT_EQ(transfer.WriteOneParam(tone), CParamTransfer::WRITE_OK);
    EXPECT_EQ(sim.Received().back(), (CAmpSimulator::Payload{CMD_WRITE_PARAMS, 0x30, 0x00, 0, 12}));

    // The faulty record in each slot in turn: one message naming its slot; the others are stored.
    DSPParam* records[3] = {tone, setPoint, volume};
    const std::uint32_t outOfRange[3] = {25, 41, 71};  // just above each device range
    for (int bad = 0; bad < 3; ++bad) {
        SCOPED_TRACE(bad);
        messages.Clear();
        sim.SetParam(0x3000, 24);  // index 24
        sim.SetParam(0xA006, 1);   // index 39
        sim.SetParam(0x1005, 70);  // index 50
        for (DSPParam* r : records)
            r->index = 5;
        sim.SetOutOfRangeReply(static_cast<std::uint16_t>(records[bad]->address), true);
        EXPECT_EQ(transfer.ReadDSPParam(tone, setPoint, volume), CParamTransfer::READ_OUT_OF_RANGE);
        sim.SetOutOfRangeReply(static_cast<std::uint16_t>(records[bad]->address), false);
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{OutOfRangeText(bad + 1)});
        EXPECT_EQ(records[bad]->index, 5);  // keeps its index, holds the value read
        EXPECT_EQ(records[bad]->deviceValue, outOfRange[bad]);
        EXPECT_EQ(tone->index, bad == 0 ? 5 : 24);
        EXPECT_EQ(setPoint->index, bad == 1 ? 5 : 39);
        EXPECT_EQ(volume->index, bad == 2 ? 5 : 50);
    }

    // The amplifier has no parameter 0x3FFF: a group naming it is not answered, nothing is stored.
    DSPParam unknown = *tone;
    unknown.address = 0x3FFF;
    tone->index = 12;
    EXPECT_EQ(transfer.WriteDSPParam(tone, &unknown), CParamTransfer::WRITE_FAILED);
    EXPECT_EQ(transfer.ReadDSPParam(&unknown), CParamTransfer::READ_FAILED);
    EXPECT_FALSE(sim.SetParam(0x3FFF, 1));
    EXPECT_EQ(sim.GetParam(0x3FFF), std::nullopt);
    EXPECT_EQ(sim.GetParam(0x3000), 24);  // not 12: the refused group's valid record was not stored

    // A failed exchange changes nothing and shows nothing.
    messages.Clear();
    sim.SetSilent(true);
    tone->index = 3;
    tone->deviceValue = 3;
    EXPECT_EQ(transfer.ReadDSPParam(tone), CParamTransfer::READ_FAILED);
    EXPECT_EQ(tone->index, 3);
    EXPECT_EQ(tone->deviceValue, 3u);
    EXPECT_EQ(transfer.WriteOneParam(tone), CParamTransfer::WRITE_FAILED);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(ParamTransferTest, ReadAllStopsAtAValueOutOfRangeAndKeepsWhatWasRead)
{
    GiveTheAmplifierOtherValues();
    DSPParam* page = table.GetPage(PAGE_PAGE_IN);
    sim.SetOutOfRangeReply(static_cast<std::uint16_t>(page[4].address), true);  // second group, slot 2
    ASSERT_EQ(transfer.StartReadAllParams(posts), 1);
    JoinWorker();

    auto expected = Progress(CParamTransfer::READ_ALL_PROGRESS, 3);
    expected.push_back({WM_PROTOCOL_NORMAL_MSG, CParamTransfer::READ_ALL_FAILED, 0});
    EXPECT_EQ(posts->Posts(), expected);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{OutOfRangeText(2)});
    EXPECT_EQ(sim.Received().size(), 10u + 5 + 2 + 2);  // nothing after the failed group
    ForEachRecord([&](int p, int s, DSPParam& r) {
        const bool read = p < PAGE_PAGE_IN || (p == PAGE_PAGE_IN && s < 6 && s != 4);
        EXPECT_EQ(r.index, read ? OtherIndex(r) : r.defaultIndex) << r.name;
    });
}

TEST_F(ParamTransferTest, AnExchangeFailureMidwayEndsEitherWorkerWithItsFailureCode)
{
    sim.SetReplyDelayMs(3);  // the silence below comes well before the next request
    struct Case {
        bool write;
        WPARAM progress, failed;
    };
    for (const Case c : {Case{true, CParamTransfer::WRITE_ALL_PROGRESS, CParamTransfer::WRITE_ALL_FAILED},
                         Case{false, CParamTransfer::READ_ALL_PROGRESS, CParamTransfer::READ_ALL_FAILED}}) {
        SCOPED_TRACE(c.write ? "write-all" : "read-all");
        sim.SetSilent(false);
        sim.ClearReceived();
        posts->Clear();
        After(12, [this] { sim.SetSilent(true); });  // the 12th request is answered, the 13th not
        ASSERT_EQ(c.write ? transfer.StartWriteAllParams(posts) : transfer.StartReadAllParams(posts), 1);
        JoinWorker();
        watcher->Join();
        auto expected = Progress(c.progress, 1);
        expected.push_back({WM_PROTOCOL_NORMAL_MSG, c.failed, 0});
        EXPECT_EQ(posts->Posts(), expected);
        EXPECT_EQ(sim.Received().size(), 13u);
        EXPECT_FALSE(transfer.IsRunning());
    }
}

TEST_F(ParamTransferTest, OneWorkerAtATimeAndShutdownStopsIt)
{
    ASSERT_EQ(transfer.StartWriteAllParams(posts), 1);
    // A second start of either kind is refused with a message and posts nothing; so are the
    // actions.
    auto refused = PostRecorder::Create();
    EXPECT_EQ(transfer.StartReadAllParams(refused), 0);
    EXPECT_EQ(transfer.StartWriteAllParams(refused), 0);
    EXPECT_TRUE(refused->Posts().empty());
    DSPParam* misc = table.GetRecord(PAGE_MISC, 0);
    {
        const std::lock_guard lock(transfer.RecordLock());
        misc->index = 1;
    }
    EXPECT_EQ(ResetMixerParams(true, refused, {}, transfer), MixerAction::Busy);
    {
        const std::lock_guard lock(transfer.RecordLock());
        EXPECT_EQ(misc->index, 1);  // a refused reset leaves the records alone
    }
    EXPECT_EQ(ReadMixerParams(true, refused, {}, transfer), MixerAction::Busy);
    const std::string lineBusy = "Error: The line to the amplifier is in use (writing all parameters).\n"
                                 "Please wait until it has finished, then try again.";
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{lineBusy, lineBusy, TRANSFER_BUSY_TEXT, TRANSFER_BUSY_TEXT}));

    ASSERT_TRUE(WaitUntil([&] { return sim.Received().size() >= 3; }, std::chrono::seconds(10)));
    transfer.Shutdown();
    EXPECT_FALSE(transfer.IsRunning());
    EXPECT_EQ(posts->Posts().back(), (Post{WM_PROTOCOL_NORMAL_MSG, CParamTransfer::WRITE_ALL_FAILED, 0}));
    const std::size_t sent = sim.Received().size();
    EXPECT_LT(sent, 38u);
    EXPECT_EQ(Requests(CMD_WRITE_PARAMS).size(), sent);  // the refused starts sent nothing

    // Afterwards a new worker runs to its end.
    auto again = PostRecorder::Create();
    ASSERT_EQ(transfer.StartReadAllParams(again), 1);
    JoinWorker();
    EXPECT_EQ(again->Posts().back(), (Post{WM_PROTOCOL_NORMAL_MSG, CParamTransfer::READ_ALL_PROGRESS, 100}));
}

TEST_F(ParamTransferTest, PageWritesDuringAWriteAllAreAnsweredAndRecordsStayWhole)
{
    // The user interface edits records under the records lock and writes single records while
    // the worker runs; exchanges never interleave and every one is answered.
    ASSERT_EQ(transfer.StartWriteAllParams(posts), 1);
    DSPParam* input = table.GetPage(PAGE_INPUT);
    int failures = 0;
    for (int i = 0; i < 10; ++i) {
        {
            const std::lock_guard lock(transfer.RecordLock());
            for (int s = 0; s < table.GetCount(PAGE_INPUT); ++s)
                input[s].index = i % input[s].steps;
        }
        failures += transfer.WriteOneParam(&input[i]) != CParamTransfer::WRITE_OK;
    }
    JoinWorker();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(posts->Posts().back(), (Post{WM_PROTOCOL_NORMAL_MSG, CParamTransfer::WRITE_ALL_PROGRESS, 100}));
    EXPECT_EQ(sim.Received().size(), 48u);
}

TEST_F(ParamTransferTest, ReadMixerParamsChecksModeAndPresetCountBeforeTheWorker)
{
    int shownMode = -1, shownCount = -1;
    std::size_t sentBeforeWorker = 0;
    MixerActionHooks hooks;
    hooks.setMixerMode = [&](int m) { shownMode = m; };
    hooks.setEqPresetCount = [&](int c) { shownCount = c; };
    hooks.startingWorker = [&] { sentBeforeWorker = sim.Received().size(); };

    EXPECT_EQ(ReadMixerParams(false, posts, hooks, transfer), MixerAction::NotConnected);
    EXPECT_TRUE(sim.Received().empty());
    // Mode 3 is reported and the read goes on; 63 presets stop it before the worker.
    sim.SetParam(ADDR_MIXER_MODE, 4);
    sim.SetOutOfRangeReply(ADDR_EQ_PRESET_COUNT, true);
    EXPECT_EQ(ReadMixerParams(true, posts, hooks, transfer), MixerAction::PresetCountFailed);
    EXPECT_EQ(shownMode, 3);
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{NOT_CONNECTED_TEXT, MIXER_MODE_ERROR_TEXT, READ_PRESET_COUNT_ERROR_TEXT}));
    EXPECT_EQ(sim.Received().size(), 2u);
    EXPECT_FALSE(transfer.IsRunning());

    messages.Clear();
    sim.ClearReceived();
    sim.SetOutOfRangeReply(ADDR_EQ_PRESET_COUNT, false);
    sim.SetParam(ADDR_MIXER_MODE, 3);
    sim.SetParam(ADDR_EQ_PRESET_COUNT, 62);
    ASSERT_EQ(ReadMixerParams(true, posts, hooks, transfer), MixerAction::Started);
    JoinWorker();
    EXPECT_EQ(shownMode, MIXER_MODE_DUAL_MONO);
    EXPECT_EQ(shownCount, 62);
    EXPECT_EQ(sentBeforeWorker, 2u);
    EXPECT_EQ(posts->Posts().back(), (Post{WM_PROTOCOL_NORMAL_MSG, CParamTransfer::READ_ALL_PROGRESS, 100}));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(ParamTransferTest, ResetMixerParamsResetsRecordsAndRetriesTheModeWriteOnce)
{
    GiveTheAmplifierOtherValues();
    sim.SetParam(ADDR_MIXER_MODE, 3);
    table.LoadModeDefaults(MIXER_MODE_DUAL_MONO);
    ForEachRecord([](int, int, DSPParam& r) { r.index = OtherIndex(r); });
    std::vector<std::string> steps;
    MixerActionHooks hooks;
    hooks.setMixerMode = [&](int m) { steps.push_back("mode " + std::to_string(m)); };
    hooks.recordsReset = [&] { steps.push_back("reset"); };
    hooks.startingWorker = [&] { steps.push_back("worker"); };
    auto modeWrite = CAmpSimulator::Payload{CMD_WRITE_PARAMS, 0xF0, 0x01, 0, 1};

    // Both mode writes unanswered: the records are reset all the same, nothing else is sent.
    sim.SetMuted(CMD_WRITE_PARAMS, true);
    EXPECT_EQ(ResetMixerParams(true, posts, hooks, transfer), MixerAction::ModeWriteFailed);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{RESET_MODE_WRITE_ERROR_TEXT});
    EXPECT_EQ(sim.Received(), std::vector<CAmpSimulator::Payload>(2, modeWrite));
    EXPECT_EQ(steps, (std::vector<std::string>{"mode 0", "reset"}));
    ForEachRecord([](int p, int s, DSPParam& r) {
        EXPECT_EQ(r.index, p == PAGE_OUTPUT ? OutputModePresets[MIXER_MODE_MIXER][s] : r.defaultIndex) << r.name;
    });

    // The first mode write unanswered, the retry acknowledged: the whole table follows.
    sim.ClearReceived();
    steps.clear();
    After(1, [this] { sim.SetMuted(CMD_WRITE_PARAMS, false); });
    ASSERT_EQ(ResetMixerParams(true, posts, hooks, transfer), MixerAction::Started);
    JoinWorker();
    EXPECT_EQ(steps, (std::vector<std::string>{"mode 0", "reset", "worker"}));
    const auto got = sim.Received();
    ASSERT_EQ(got.size(), 2u + 38);
    EXPECT_EQ(got[0], modeWrite);
    EXPECT_EQ(got[1], modeWrite);
    EXPECT_EQ(posts->Posts().back(), (Post{WM_PROTOCOL_NORMAL_MSG, CParamTransfer::WRITE_ALL_PROGRESS, 100}));
    EXPECT_EQ(sim.GetParam(ADDR_MIXER_MODE), 1);
}

TEST_F(ParamTransferTest, AMessageRaisedUnderTheRecordsLockWaitsUntilTheLockIsReleased)
{
    // A thread that holds the records lock must never stop in a modal message: the window
    // thread may be waiting for that lock. Its messages are shown once it lets go.
    {
        const std::lock_guard lock(transfer.RecordLock());
        kmr::ShowMessage("first");
        {
            const std::lock_guard again(transfer.RecordLock());
            kmr::ShowMessage("second");
        }
        EXPECT_TRUE(messages.Texts().empty());
    }
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"first", "second"}));
}
