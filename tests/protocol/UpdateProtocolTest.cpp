// Update runs over a pseudo-terminal against the simulated amplifier.
#include "UpdateFileMaker.h"
#include "params/ParamTransfer.h"
#include "platform/FileChooser.h"
#include "platform/Sleep.h"
#include "protocol/ProtocolAppUpdate.h"
#include "support/MessageRecorder.h"
#include "support/PostRecorder.h"
#include "support/SimLink.h"
#include "support/TempUpdateFile.h"
#include "support/Wait.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <future>
#include <list>
#include <thread>

using namespace std::chrono_literals;
using U = CProtocolAppUpdate;
using Clock = std::chrono::steady_clock;

namespace {

class UpdateRun : public SimLinkTest {
protected:
    void SetUp() override
    {
        SimLinkTest::SetUp();
        sim.Update().SetEraseTimeMs(100);
        previousChooser = kmr::SetFileChooser([this](const std::string&, const std::string&, const std::string&, bool) {
            return chosen;
        });
    }
    void TearDown() override
    {
        update.Shutdown();
        kmr::SetSleepSpeedupForTests(1);
        kmr::SetFileChooser(previousChooser);
        SimLinkTest::TearDown();
    }
    std::string Write(const std::vector<std::uint8_t>& bytes) { return files.emplace_back(bytes).Path(); }
    void ChooseSystem(const std::vector<std::uint8_t>& bytes)
    {
        chosen = Write(bytes);
        ASSERT_TRUE(fileHolder.OpenSystemFile());
    }
    void ChoosePreset(const std::vector<std::uint8_t>& bytes)
    {
        chosen = Write(bytes);
        ASSERT_TRUE(fileHolder.OpenPresetFile());
    }
    // Waits for the run's threads to end; the posts are then complete.
    void WaitEnd(std::chrono::seconds limit = 60s)
    {
        ASSERT_TRUE(WaitUntil([this] { return !update.ThreadsAlive(); }, limit));
    }
    // The phase codes posted (progress codes left out), relative to base.
    std::vector<WPARAM> Phases(WPARAM base)
    {
        std::vector<WPARAM> out;
        for (const auto& p : posts->Posts())
            if (p.msg == WM_PROTOCOL_UPDATE_MSG && p.wParam >= base && p.wParam <= base + U::UPDATE_OK)
                out.push_back(p.wParam - base);
        return out;
    }
    std::vector<LPARAM> Values(WPARAM code)
    {
        std::vector<LPARAM> out;
        for (const auto& p : posts->Posts())
            if (p.wParam == code)
                out.push_back(p.lParam);
        return out;
    }
    // The update commands (byte 1 of each D0 payload) the amplifier received, in order.
    std::vector<std::uint8_t> Commands()
    {
        std::vector<std::uint8_t> out;
        for (const auto& p : sim.Received())
            if (p[0] == update::MSG_COMMAND)
                out.push_back(p[1]);
        return out;
    }

    MessageRecorder messages;
    std::shared_ptr<PostRecorder> posts = PostRecorder::Create();
    CUpdateFile fileHolder;
    U update{TheMacLayer(), fileHolder};
    std::string chosen;
    std::list<TempUpdateFile> files;  // a list keeps them without moving them
    kmr::FileChooser previousChooser;
};

std::vector<std::uint8_t> ExpectedImage(const std::vector<std::uint8_t>& file, std::uint32_t start, int blocks)
{
    std::vector<std::uint8_t> image(file.begin() + start, file.end());
    image.resize(static_cast<std::size_t>(blocks) * 12, U::PAST_END_FILL);
    return image;
}

} // namespace

TEST(UpdateProgress, PercentagesOfAPass)
{
    // 2730 blocks: every value 0..100 exactly once, 100 at the last block.
    std::vector<int> posted;
    for (int i = 0, next = 0; i < 2730; ++i)
        if (U::BlockPercent(i, 2730) == next)
            posted.push_back(next++);
    ASSERT_EQ(posted.size(), 101u);
    EXPECT_EQ(U::BlockPercent(2729, 2730), 100);
    EXPECT_EQ(U::BlockPercent(2728, 2730), 100);  // reached one block early, posted once

    // Below 100 blocks rounding skips a value; nothing is posted after the first skip.
    std::vector<int> few;
    for (int i = 0, next = 0; i < 30; ++i)
        if (U::BlockPercent(i, 30) == next)
            few.push_back(next++);
    EXPECT_EQ(few, std::vector<int>({0}));
    EXPECT_EQ(U::SystemBlockCount(246464), 15078);
    EXPECT_EQ(U::SystemBlockCount(0x10000 + 24), 3);  // a multiple of 12 gets one block more
}

TEST_F(UpdateRun, CommandPayloads)
{
    EXPECT_TRUE(update.UpdateSendCommand(1, 1));
    EXPECT_TRUE(update.UpdateSendCommand(1, 0));
    EXPECT_TRUE(update.UpdateSendCommand(1, 2));
    EXPECT_TRUE(update.UpdateSendCommand(1, 7));
    EXPECT_TRUE(update.UpdateSendCommand(3, 2730));
    EXPECT_TRUE(update.UpdateSendCommand(4, 15078));
    EXPECT_TRUE(update.UpdateSendCommand(0, 0));
    EXPECT_TRUE(update.UpdateSendCommand(2, 0));
    EXPECT_FALSE(update.UpdateSendCommand(7, 0));
    EXPECT_FALSE(update.UpdateSendCommand(0x16, 0));
    EXPECT_TRUE(update.UpdateSendCommand(0x32, 0));
    std::this_thread::sleep_for(50ms);
    using P = CAmpSimulator::Payload;
    const std::vector<P> want = {
        {0xD0, 0x01, 0x22}, {0xD0, 0x01, 0x11}, {0xD0, 0x01, 0x33}, {0xD0, 0x01, 0x00},
        {0xD0, 0x03, 0x0A, 0xAA, 0x0A, 0xAA, 0xAA, 0x05, 0x55, 0x55, 0x0A, 0xAA, 0xA0},
        {0xD0, 0x04, 0x3A, 0xE6},
        {0xD0, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08},
        {0xD0, 0x02, 0x0A, 0xAA, 0xAA, 0x05, 0x55, 0x55, 0x0A, 0xAA, 0x80},
        {0xD0, 0x32},
    };
    EXPECT_EQ(sim.Received(), want);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, "CProtocolAppUpdate::UpdateSendCommand error: no this command to send!"));
}

TEST_F(UpdateRun, SystemUpdateDeliversTheFileImage)
{
    const auto file = kmr::sim::MakeSystemUpdateFile();
    ChooseSystem(file);
    update.StartSystemUpdate(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::SYSTEM_BASE),
              std::vector<WPARAM>({U::ESTABLISHING, U::ERASING, U::WRITING, U::VERIFYING, U::UPDATE_OK}));
    EXPECT_EQ(sim.Update().LastKind(), CSimUpdate::System);
    EXPECT_TRUE(sim.Update().Completed()) << sim.Update().LastError();
    EXPECT_EQ(sim.Update().Image(), ExpectedImage(file, 0x10000, 15078));
    EXPECT_EQ(Commands(), std::vector<std::uint8_t>({0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    std::vector<LPARAM> every(101);
    for (int v = 0; v <= 100; ++v)
        every[v] = v;
    EXPECT_EQ(Values(U::SYSTEM_BASE + U::WRITE_PROGRESS), every);
    EXPECT_EQ(Values(U::SYSTEM_BASE + U::VERIFY_PROGRESS), every);
    EXPECT_TRUE(messages.Saw("DSP Update Successfull!\nPlease power cycle the amplifier to complete the update."));
    EXPECT_FALSE(fileHolder.IsSystemFileOpen());  // closed after the run
}

TEST_F(UpdateRun, PresetUpdateAndUpdateTest)
{
    const auto file = kmr::sim::MakePresetUpdateFile();
    ChoosePreset(file);
    update.StartPresetUpdate(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::PRESET_BASE),
              std::vector<WPARAM>({U::ESTABLISHING, U::ERASING, U::WRITING, U::VERIFYING, U::UPDATE_OK}));
    EXPECT_EQ(sim.Update().Image(), ExpectedImage(file, 0, 2730));
    EXPECT_EQ(Values(U::PRESET_BASE + U::ERASE_PROGRESS), std::vector<LPARAM>({50}));

    posts->Clear();
    sim.ClearReceived();
    update.StartUpdateTest(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::TEST_BASE),
              std::vector<WPARAM>({U::ESTABLISHING, U::ERASING, U::WRITING, U::VERIFYING, U::UPDATE_OK}));
    EXPECT_TRUE(sim.Update().Completed()) << sim.Update().LastError();
    std::vector<std::uint8_t> testImage;
    for (int b = 0; b < 10; ++b)
        for (std::uint8_t i = 0; i < 12; ++i)
            testImage.push_back(i);
    EXPECT_EQ(sim.Update().Image(), testImage);
}

TEST_F(UpdateRun, InvalidFileSendsNothingAndLeavesTheRunIdle)
{
    ChooseSystem(kmr::sim::MakeSystemUpdateFile({.fault = kmr::sim::SystemFileOptions::BLOCK_SUM, .badBlock = 703}));
    update.StartSystemUpdate(posts);
    WaitEnd();
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_TRUE(posts->Posts().empty());
    EXPECT_TRUE(messages.Saw("Error: Invalid System Update file!"));
    EXPECT_FALSE(update.IsRunning());

    // However the threads are scheduled, a run stopped by its file check leaves no thread behind.
    kmr::SetSleepSpeedupForTests(20);
    for (int i = 0; i < 20; ++i) {
        ChoosePreset(kmr::sim::MakePresetUpdateFile({.fault = kmr::sim::PresetFileOptions::SHORT}));
        update.StartPresetUpdate(posts);
        WaitEnd(5s);
    }
    kmr::SetSleepSpeedupForTests(1);
    EXPECT_TRUE(sim.Received().empty());

    // The next start, with a valid file, runs.
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    update.StartSystemUpdate(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::SYSTEM_BASE).back(), U::UPDATE_OK);
}

TEST_F(UpdateRun, FileTooLongForTheBlockCountIsRefusedBeforeSending)
{
    // 851956 bytes would need 65536 blocks: the 16-bit count in commands 0x03 and 0x04 would be wrong.
    ChooseSystem(kmr::sim::MakeSystemUpdateFile({.length = 851956}));
    update.StartSystemUpdate(posts);
    WaitEnd();
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_TRUE(messages.Saw("Error: File length does not match!"));
    EXPECT_FALSE(update.IsRunning());
}

TEST_F(UpdateRun, SecondStartWhileRunningStartsNothing)
{
    sim.Update().SetEraseTimeMs(400);
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    update.StartSystemUpdate(posts);
    ASSERT_TRUE(posts->WaitFor(WM_PROTOCOL_UPDATE_MSG, U::SYSTEM_BASE + U::ERASING, 5s));
    update.StartPresetUpdate(posts);
    update.StartUpdateTest(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::SYSTEM_BASE).back(), U::UPDATE_OK);
    EXPECT_TRUE(Phases(U::PRESET_BASE).empty());
    EXPECT_TRUE(Phases(U::TEST_BASE).empty());
    EXPECT_EQ(sim.Update().CommandCount(0x01), 1u);
}

TEST_F(UpdateRun, EachPhaseFailsWhenItsAcknowledgeNeverComes)
{
    kmr::SetSleepSpeedupForTests(20);  // the erase limit alone is 12 s
    struct Case {
        CSimUpdate::Phase phase;
        WPARAM failure;
        std::uint8_t lastCommand;
    };
    for (const Case c : {Case{CSimUpdate::Establish, U::ESTABLISH_FAILED, 0x01}, Case{CSimUpdate::Erase, U::ERASE_FAILED, 0x02},
                         Case{CSimUpdate::Write, U::WRITE_FAILED, 0x04}, Case{CSimUpdate::Verify, U::VERIFY_FAILED, 0x05}}) {
        SCOPED_TRACE(c.failure);
        posts->Clear();
        sim.ClearReceived();
        sim.Update().SetNoAck(c.phase, true);
        ChoosePreset(kmr::sim::MakePresetUpdateFile());
        update.StartPresetUpdate(posts);
        WaitEnd();
        sim.Update().SetNoAck(c.phase, false);
        const auto phases = Phases(U::PRESET_BASE);
        ASSERT_FALSE(phases.empty());
        EXPECT_EQ(phases.back(), c.failure);
        EXPECT_EQ(Commands().back(), c.lastCommand);  // nothing is sent after the failed phase
        EXPECT_FALSE(fileHolder.IsPresetFileOpen());
    }
    // The erase wait posts its 15 steps of 50 before giving up.
    std::vector<LPARAM> steps;
    for (int k = 1; k <= 15; ++k)
        steps.push_back(50 * k);
    ChoosePreset(kmr::sim::MakePresetUpdateFile());
    posts->Clear();
    sim.Update().SetNoAck(CSimUpdate::Erase, true);
    update.StartPresetUpdate(posts);
    WaitEnd();
    EXPECT_EQ(Values(U::PRESET_BASE + U::ERASE_PROGRESS), steps);
}

TEST_F(UpdateRun, StopDuringTheWritePassEndsAfterTheCurrentBlock)
{
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    update.StartSystemUpdate(posts);
    ASSERT_TRUE(posts->WaitFor(WM_PROTOCOL_UPDATE_MSG, U::SYSTEM_BASE + U::WRITE_PROGRESS, 10s));
    update.StopSystemUpdate();  // what closing the dialog does
    WaitEnd(5s);
    EXPECT_EQ(Phases(U::SYSTEM_BASE).back(), U::WRITE_FAILED);
    EXPECT_EQ(Commands().back(), 0x03);  // the write pass was never confirmed
    EXPECT_LT(sim.Update().Image().size(), 15078u * 12);
    EXPECT_FALSE(messages.Saw("Error: Can not read the update file! The update was stopped."));

    // A new run starts cleanly afterwards.
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    posts->Clear();
    update.StartSystemUpdate(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::SYSTEM_BASE).back(), U::UPDATE_OK);
}

TEST_F(UpdateRun, StopDuringAWaitEndsTheRunAtTheNextTest)
{
    // The erase never completes; a stop must not leave the run waiting out its 7.5 s limit (and
    // then stopping whatever run came next).
    sim.Update().SetNoAck(CSimUpdate::Erase, true);
    ChoosePreset(kmr::sim::MakePresetUpdateFile());
    update.StartPresetUpdate(posts);
    ASSERT_TRUE(posts->WaitFor(WM_PROTOCOL_UPDATE_MSG, U::PRESET_BASE + U::ERASING, 5s));
    update.StopPresetUpdate();
    WaitEnd(3s);
    EXPECT_EQ(Phases(U::PRESET_BASE).back(), U::ERASE_FAILED);
    EXPECT_LT(Values(U::PRESET_BASE + U::ERASE_PROGRESS).size(), 15u);
}

TEST_F(UpdateRun, CablePulledDuringTheWritePass)
{
    sim.Update().SetDisconnectAfterBlocks(3000);
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    const auto start = Clock::now();
    update.StartSystemUpdate(posts);
    WaitEnd(30s);
    EXPECT_EQ(Phases(U::SYSTEM_BASE).back(), U::WRITE_FAILED);
    EXPECT_LT(Clock::now() - start, 15s);
    EXPECT_TRUE(host.LineLost());

    host.ClosePort();
    CAmpSimulator again;
    ASSERT_TRUE(again.Start());
    again.Update().SetEraseTimeMs(100);
    host.SetPortDevice(again.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1);
    posts->Clear();
    update.StartUpdateTest(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::TEST_BASE).back(), U::UPDATE_OK);
    host.ClosePort();
}

TEST_F(UpdateRun, AnAmplifierLostDuringTheEraseWaitEndsTheRunAtOnceSayingTheDeviceIsGone)
{
    // The erase would be acknowledged only after 10 s; the run gives up at 7.5 s at the latest.
    sim.Update().SetEraseTimeMs(10000);
    const std::string device = sim.SlavePath();
    ChoosePreset(kmr::sim::MakePresetUpdateFile());
    update.StartPresetUpdate(posts);
    ASSERT_TRUE(posts->WaitFor(WM_PROTOCOL_UPDATE_MSG, U::PRESET_BASE + U::ERASING, 10s));
    const auto pulled = Clock::now();
    sim.Disconnect();
    WaitEnd(30s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pulled);
    RecordProperty("reported_after_ms", static_cast<int>(took.count()));
    EXPECT_LT(took, 4s) << "the run waited for an amplifier that is gone";
    EXPECT_EQ(Phases(U::PRESET_BASE).back(), U::ERASE_FAILED);
    EXPECT_LT(Values(U::PRESET_BASE + U::ERASE_PROGRESS).size(), 15u);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: Can not read from " + device +
                                                         ": the device is gone (Input/output error).\nThe adapter or "
                                                         "the cable was lost: check them, then close and open the port again."});
}

TEST_F(UpdateRun, StalledLineEndsTheWritePassWithinSecondsAndThePortWorksAfterReopening)
{
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    update.StartSystemUpdate(posts);
    ASSERT_TRUE(posts->WaitFor(WM_PROTOCOL_UPDATE_MSG, U::SYSTEM_BASE + U::WRITE_PROGRESS, 10s));
    sim.SetStalled(true);  // the adapter stops taking data
    WaitEnd(15s);  // each block waiting its 2 s again would take hours
    EXPECT_EQ(Phases(U::SYSTEM_BASE).back(), U::WRITE_FAILED);
    const auto progress = Values(U::SYSTEM_BASE + U::WRITE_PROGRESS);
    EXPECT_LT(progress.back(), 100) << "the pass ends at the first block the line did not take";
    EXPECT_FALSE(fileHolder.IsSystemFileOpen());
    ASSERT_EQ(messages.Texts().size(), 1u) << "the failure is said once";
    EXPECT_EQ(messages.Texts()[0], "Error: Can not write to " + sim.SlavePath() + ": the line takes no data.\n"
                                   "The adapter or the cable was lost: check them, then close and open the port again.");

    sim.SetStalled(false);
    host.ClosePort();
    ASSERT_EQ(host.OpenPort(), 1);
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_OK);
}

TEST_F(UpdateRun, StopBeforeTheFirstCommandSendsNothing)
{
    // Closing the dialog while the file is still being checked.
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    sim.ClearReceived();
    ASSERT_TRUE(update.StartSystemUpdate(posts));
    update.StopSystemUpdate();
    WaitEnd(5s);
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_TRUE(posts->Posts().empty());
    EXPECT_TRUE(messages.Texts().empty()) << "a file closed by the stop is not reported as invalid";
}

TEST_F(UpdateRun, AStartNeverWaitsForTheLastRunsThreadsAndTheirEndLeavesTheNextFileAlone)
{
    // The last run's sequence is held in its success message, as it is while a person has not
    // answered it yet.
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> held{false};
    kmr::MessageHandler recorder;
    recorder = kmr::SetMessageHandler([&](const std::string& text, bool cancel) {
        if (text.rfind("DSP Update Successfull!", 0) != 0)
            return recorder(text, cancel);
        held = true;
        released.wait();
        return kmr::MSG_OK;
    });
    ChoosePreset(kmr::sim::MakePresetUpdateFile());
    ASSERT_TRUE(update.StartPresetUpdate(posts));
    ASSERT_TRUE(WaitUntil([&] { return held.load(); }, 30s));
    update.StopPresetUpdate();
    ChoosePreset(kmr::sim::MakePresetUpdateFile());  // the next file, chosen meanwhile

    // A start now is refused at once; joining the held thread here would never return.
    bool started = true;
    TestThread starter([&] { started = update.StartPresetUpdate(posts); });
    starter.Join(5s);
    EXPECT_FALSE(started);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: The line to the amplifier is in use (an update).\n"
                                                         "Please wait until it has finished, then try again."});
    release.set_value();
    WaitEnd(5s);

    // The old run's end left the file chosen meanwhile alone: the next start uses it.
    EXPECT_TRUE(fileHolder.IsPresetFileOpen());
    posts->Clear();
    ASSERT_TRUE(update.StartPresetUpdate(posts));
    WaitEnd();
    EXPECT_EQ(Phases(U::PRESET_BASE), (std::vector<WPARAM>{U::ESTABLISHING, U::ERASING, U::WRITING, U::VERIFYING, U::UPDATE_OK}));
    kmr::SetMessageHandler(recorder);
}

TEST_F(UpdateRun, OneUserOfTheLineAtATime)
{
    CDSPParamTable table;
    CParamTransfer transfer(proto, table);
    auto workerPosts = PostRecorder::Create();
    auto updateCommands = [&] {
        const auto received = sim.Received();
        return std::count_if(received.begin(), received.end(), [](const auto& p) { return p[0] == update::MSG_COMMAND; });
    };

    // A read-all worker holds the line: an update started from another thread is refused with a
    // message and sends nothing, and the worker goes on undisturbed.
    sim.SetReplyDelayMs(15);
    ChooseSystem(kmr::sim::MakeSystemUpdateFile());
    ASSERT_EQ(transfer.StartReadAllParams(workerPosts), 1);
    bool started = true;
    TestThread([&] { started = update.StartSystemUpdate(posts); }).Join();
    EXPECT_FALSE(started);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: The line to the amplifier is in use (reading all "
                                                         "parameters).\nPlease wait until it has finished, then try again."});
    ASSERT_TRUE(WaitUntil([&] { return !transfer.IsRunning(); }, 60s));
    transfer.Join();
    ASSERT_FALSE(workerPosts->Posts().empty());
    EXPECT_EQ(workerPosts->Posts().back().wParam, CParamTransfer::READ_ALL_PROGRESS);
    EXPECT_EQ(workerPosts->Posts().back().lParam, 100);
    EXPECT_EQ(updateCommands(), 0);
    sim.ClearReceived();

    // An update holds the line: an exchange or a worker start from another thread is refused
    // and nothing of it reaches the amplifier.
    sim.SetReplyDelayMs(0);
    sim.Update().SetNoAck(CSimUpdate::Erase, true);
    messages.Clear();
    ASSERT_TRUE(update.StartSystemUpdate(posts));
    ASSERT_TRUE(posts->WaitFor(WM_PROTOCOL_UPDATE_MSG, U::SYSTEM_BASE + U::ERASING, 5s));
    unsigned read = 0;
    int worker = 1;
    TestThread([&] {
        std::uint16_t v = 0;
        read = proto.ReadParams(0x3000, &v);
        worker = transfer.StartReadAllParams(workerPosts);
    }).Join();
    EXPECT_EQ(read, CProtocolAppNormal::SEND_FAILED);
    EXPECT_EQ(worker, 0);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error: The line to the amplifier is in use (an update).\n"
                                                         "Please wait until it has finished, then try again."});
    const auto received = sim.Received();
    EXPECT_TRUE(std::all_of(received.begin(), received.end(), [](const auto& p) { return p[0] == update::MSG_COMMAND; }))
        << "only the update's own commands reached the amplifier";
    update.StopSystemUpdate();
    WaitEnd(3s);
    std::uint16_t v = 0;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), CProtocolAppNormal::OK) << "the line is free again";
}

TEST_F(UpdateRun, AStrayStartByteBeforeEveryAnswerCostsNeitherTheCheckNorAnUpdate)
{
    // One F8 of noise right before each answer: the scanner finds the answer inside the frame
    // that the stray byte began, so nothing is lost.
    sim.SetStrayStartByte(true);
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_OK);

    const auto file = kmr::sim::MakePresetUpdateFile();
    ChoosePreset(file);
    update.StartPresetUpdate(posts);
    WaitEnd();
    EXPECT_EQ(Phases(U::PRESET_BASE),
              std::vector<WPARAM>({U::ESTABLISHING, U::ERASING, U::WRITING, U::VERIFYING, U::UPDATE_OK}));
    EXPECT_TRUE(sim.Update().Completed()) << sim.Update().LastError();
    EXPECT_EQ(sim.Update().Image(), ExpectedImage(file, 0, 2730));
}
