// Exchanges of the normal protocol over a pseudo-terminal with the simulated amplifier.
#include "params/MixerLink.h"
#include "protocol/NormalMessages.h"
#include "support/MessageRecorder.h"
#include "support/SimLink.h"
#include "support/Wait.h"

#include <chrono>

using namespace normal;
using Clock = std::chrono::steady_clock;

namespace {
CAmpSimulator::Payload P(std::initializer_list<std::uint8_t> head)
{
    CAmpSimulator::Payload p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}
} // namespace

class NormalProtocol : public SimLinkTest {};

TEST_F(NormalProtocol, RequestsAreLaidOutAsTheAmplifierExpects)
{
    EXPECT_EQ(proto.WriteParams(0, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(proto.WriteParams(0x3001, 0x1234, 0, 0x5555, 0x3002, 0xABCD), 0u);  // empty slot sends 0
    EXPECT_EQ(proto.WriteMemWord(0x00001000, 0x1234), 0u);
    EXPECT_EQ(proto.WriteMemDWord(0x10000004, 0xCAFEBABE), 0u);
    std::uint16_t v;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 0u);
    const auto got = sim.Received();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], P({0x08}));
    EXPECT_EQ(got[1], P({0x08, 0x30, 0x01, 0x12, 0x34, 0, 0, 0, 0, 0x30, 0x02, 0xAB, 0xCD}));
    EXPECT_EQ(got[2], P({0x09, 0, 0, 0x10, 0, 0, 0, 0x12, 0x34, MEM_ACCESS_CODE[0], MEM_ACCESS_CODE[1],
                         MEM_ACCESS_CODE[2], MEM_ACCESS_CODE[3]}));
    EXPECT_EQ(got[3], P({0x0A, 0x10, 0, 0, 0x04, 0xCA, 0xFE, 0xBA, 0xBE, MEM_ACCESS_CODE[0], MEM_ACCESS_CODE[1],
                         MEM_ACCESS_CODE[2], MEM_ACCESS_CODE[3]}));
    EXPECT_EQ(got[4], P({0x60, 0x30, 0x00}));
    EXPECT_EQ(sim.GetParam(0x3001), 0x1234);
    EXPECT_EQ(sim.GetMemory(0x10000004), 0xCAFEBABEu);
}

TEST_F(NormalProtocol, ReadsReturnValuesAndTouchOnlyRequestedSlots)
{
    sim.SetParam(0x3005, 0x00AB);
    sim.SetParam(0x3006, 0xFFFF);
    std::uint16_t a = 1, b = 2, c = 3;
    EXPECT_EQ(proto.ReadParams(0x3005, &a, 0, &b, 0x3006, &c), 0u);
    EXPECT_EQ(a, 0x00AB);
    EXPECT_EQ(b, 2);  // empty slot: untouched
    EXPECT_EQ(c, 0xFFFF);

    sim.SetMemory(0x10000000, 0x89ABCDEF);
    std::uint16_t w = 0;
    std::uint32_t d = 0;
    EXPECT_EQ(proto.ReadMemWord(0x10000000, &w), 0u);
    EXPECT_EQ(w, 0xCDEF);  // bytes 7-8 only
    EXPECT_EQ(proto.ReadMemDWord(0x10000000, &d), 0u);
    EXPECT_EQ(d, 0x89ABCDEFu);
}

TEST_F(NormalProtocol, SurvivesNoiseSplitAnswersAndBadFramesOnTheLine)
{
    sim.SetParam(0x3000, 0x0042);
    std::uint16_t v = 0;

    sim.SetNoiseBytes(40);
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 0u);
    EXPECT_EQ(v, 0x0042);
    sim.SetNoiseBytes(0);

    sim.SetSplitReplies(3, 5);  // six writes spread over 25 ms
    v = 0;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 0u);
    EXPECT_EQ(v, 0x0042);
    sim.SetSplitReplies(0, 0);

    sim.SetBadSumFrameFirst(true);
    v = 0;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 0u);
    EXPECT_EQ(v, 0x0042);
    EXPECT_EQ(proto.WriteParams(0x3000, 7), 0u);
}

TEST_F(NormalProtocol, OneStaleAnswerIsSkippedButNotTwo)
{
    sim.SetParam(0x3000, 0x0042);
    sim.SetStaleReplyFirst(true);
    std::uint16_t v = 0;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 0u);
    EXPECT_EQ(v, 0x0042);
    // Now the stale answer echoes 0x3000; a read of another address sees it, then its own.
    sim.SetParam(0x3001, 0x0007);
    EXPECT_EQ(proto.ReadParams(0x3001, &v), 0u);
    EXPECT_EQ(v, 0x0007);

    // Two wrong echoes in a row: the second is not skipped.
    sim.SetWrongEcho(true);
    v = 0x1111;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 3u);
    EXPECT_EQ(v, 0x1111);  // nothing stored from a mismatched answer
    // A single wrong echo with nothing after it: no second answer.
    sim.SetStaleReplyFirst(false);
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 2u);
    // Memory answers get no second chance.
    std::uint16_t w = 0;
    EXPECT_EQ(proto.ReadMemWord(0x10000000, &w), 3u);
}

TEST_F(NormalProtocol, WrongAnswersAndSilenceGiveTheirCodes)
{
    // A parameter write answered by a parameter answer is not acknowledged.
    sim.SetMuted(CMD_WRITE_PARAMS, true);
    sim.SetMuted(CMD_READ_PARAMS, false);
    EXPECT_EQ(proto.WriteParams(0x3000, 1), 2u);
    sim.SetMuted(CMD_WRITE_PARAMS, false);

    sim.SetSilent(true);
    const auto start = Clock::now();
    std::uint16_t v;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 2u);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(100));  // 100 polls 1 ms apart
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_EQ(proto.WriteMemWord(0x10000000, 1), 2u);
    EXPECT_EQ(ReadMixerMode(proto), -1);
    EXPECT_EQ(ReadVersionWord(0, proto), -1);
}

TEST_F(NormalProtocol, ConnectionCheckResults)
{
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_OK);
    sim.SetMuted(CMD_READ_MEM_WORD, true);
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_MEMORY_FAILED);
    sim.SetMuted(CMD_READ_PARAMS, true);
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_PARAM_FAILED);
    sim.SetMuted(CMD_WRITE_PARAMS, true);
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_NO_ANSWER);
}

TEST_F(NormalProtocol, MixerModeAndVersionWords)
{
    sim.SetParam(ADDR_MIXER_MODE, 3);
    EXPECT_EQ(ReadMixerMode(proto), 2);
    sim.SetParam(ADDR_MIXER_MODE, 0);
    EXPECT_EQ(ReadMixerMode(proto), -1);  // 0 is no valid stored mode
    EXPECT_EQ(ChangeModeOfMixer(2, proto), 0u);
    EXPECT_EQ(sim.GetParam(ADDR_MIXER_MODE), 2);
    sim.SetParam(ADDR_EQ_PRESET_COUNT, 62);
    EXPECT_EQ(ReadEqPresetCount(proto), 62);
    sim.SetParam(0xF007, 1121);
    EXPECT_EQ(ReadVersionWord(3, proto), 1121);
}

TEST_F(NormalProtocol, TwoThreadsNeverInterleaveExchanges)
{
    // Each exchange discards pending input first; interleaved, one thread would eat the other's
    // answer. With the exchange lock every request gets its own answer.
    sim.SetParam(0x3000, 0x1111);
    sim.SetParam(0x3001, 0x2222);
    std::atomic<int> failures{0};
    auto reader = [&](std::uint16_t addr, std::uint16_t expect) {
        for (int i = 0; i < 20; ++i) {
            std::uint16_t v = 0;
            if (proto.ReadParams(addr, &v) != 0 || v != expect)
                ++failures;
        }
    };
    TestThread a([&] { reader(0x3000, 0x1111); }), b([&] { reader(0x3001, 0x2222); });
    a.Join();
    b.Join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(NormalProtocol, PulledAdapterFailsExchangesPromptlyAndPortReopens)
{
    sim.Disconnect();
    const auto start = Clock::now();
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_NO_ANSWER);
    std::uint16_t v;
    EXPECT_EQ(proto.ReadParams(0x3000, &v), 1u) << "the request could not be sent";
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(host.LineLost());
    host.ClosePort();
    EXPECT_EQ(host.IsPortOpen(), 0);

    // A new line (the adapter plugged in again) opens and works.
    CAmpSimulator again;
    ASSERT_TRUE(again.Start());
    host.SetPortDevice(again.SlavePath());
    ASSERT_EQ(host.OpenPort(), 1);
    EXPECT_EQ(proto.CheckConnection(), CProtocolAppNormal::CHECK_OK);
    host.ClosePort();
}
