#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "support/MessageRecorder.h"
#include "support/PostRecorder.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(const Bytes& payload)
{
    std::uint8_t p[13] = {};
    std::copy(payload.begin(), payload.end(), p);
    std::uint8_t f[16];
    CProtocolMACLayer::BuildFrame(p, f);
    return Bytes(f, f + 16);
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& b : parts)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

// n frames back to back, the i-th with payload A0 i.
Bytes NumberedFrames(int n)
{
    Bytes out;
    for (int i = 0; i < n; ++i) {
        Bytes payload(13, 0);
        payload[0] = 0xA0;
        payload[1] = static_cast<std::uint8_t>(i);
        out = Cat({out, Frame(payload)});
    }
    return out;
}

// The frame layer on a real port: the test plays the far end of a pseudo-terminal and decides
// what one read of the port returns by what it has sent before each request.
class FrameLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.SetPortDevice(pty.SlavePath());
        ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
        mac.SetPort(&host);
        mac.SetFrameMsgTarget(posts);
    }
    void TearDown() override { host.ClosePort(); }

    // Takes one payload, or an empty vector when none is there.
    Bytes Take()
    {
        std::uint8_t out[13];
        if (!mac.GetFrameFromLoopBuf(out, 13))
            return {};
        return Bytes(out, out + 13);
    }
    static Bytes Payload(std::initializer_list<std::uint8_t> head)
    {
        Bytes p(head);
        p.resize(13, 0);
        return p;
    }

    MessageRecorder messages;
    PtyPair pty;
    CMSCommDlg host;
    std::shared_ptr<PostRecorder> posts = PostRecorder::Create();
    CProtocolMACLayer mac;
};

} // namespace

TEST(FrameFormat, WorkedExamples)
{
    EXPECT_EQ(Frame({}), Cat({{0xF8}, Bytes(13, 0), {0x00, 0xF8}}));
    EXPECT_EQ(Frame(Bytes(13, 0xFF)), Cat({{0xF8}, Bytes(13, 0xFF), {0x0D, 0xEB}}));
    const Bytes f = Frame({0x08, 0x12, 0x34});
    EXPECT_EQ(f[14], 0x01);
    EXPECT_EQ(f[15], 0x46);
    EXPECT_TRUE(CProtocolMACLayer::CheckFrameSum(f.data()));
    Bytes bad = f;
    bad[14] ^= 0x01;  // the high byte of the sum counts too
    EXPECT_FALSE(CProtocolMACLayer::CheckFrameSum(bad.data()));
}

TEST_F(FrameLayer, SkipsNoiseAndAssemblesFramesSplitAcrossReads)
{
    const Bytes a = Payload({0x30, 1});
    const Bytes frame = Frame(a);
    ASSERT_TRUE(pty.Send(Cat({{0x00, 0x11}, Bytes(frame.begin(), frame.begin() + 7)})));
    EXPECT_TRUE(Take().empty());  // first 7 bytes only
    ASSERT_TRUE(pty.Send(Bytes(frame.begin() + 7, frame.end())));
    EXPECT_EQ(Take(), a);
    EXPECT_TRUE(Take().empty());
}

TEST_F(FrameLayer, BadSumIsDroppedSilentlyAndTheNextFrameIsTaken)
{
    Bytes bad = Frame(Payload({0xA0, 1}));
    bad[15] ^= 0xFF;
    const Bytes good = Payload({0xA0, 2});
    ASSERT_TRUE(pty.Send(Cat({bad, Frame(good)})));
    EXPECT_EQ(Take(), good);
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(FrameLayer, StartByteInsideAFrameDoesNotRestartIt)
{
    // F8 in the payload and in the sum: the 15 bytes after a start belong to that frame.
    const Bytes a = Payload({0xF8, 0xF8, 0x00, 0xF8});
    const Bytes b = Payload({0x30});
    ASSERT_TRUE(pty.Send(Cat({Frame(a), Frame(b)})));
    EXPECT_EQ(Take(), a);
    EXPECT_EQ(Take(), b);

    // After a rejected frame the search goes on from the next F8 among its bytes: here that
    // F8 starts another rejected frame, whose bytes lead to the good one.
    Bytes broken = Frame(Payload({0x01, 0xF8}));
    broken[15] ^= 1;
    ASSERT_TRUE(pty.Send(Cat({broken, Frame(b)})));
    EXPECT_EQ(Take(), b);
    EXPECT_TRUE(Take().empty());
}

TEST_F(FrameLayer, AStrayStartByteBeforeAFrameCostsNothing)
{
    // One F8 of noise makes the scanner take the frame's first 15 bytes as the rest of a frame;
    // that one fails its sum, and the real frame starts inside it.
    const Bytes a = Payload({0xA0, 1}), b = Payload({0xA0, 2}), c = Payload({0xA0, 3});
    ASSERT_TRUE(pty.Send(Cat({{0xF8}, Frame(a)})));
    EXPECT_EQ(Take(), a);

    // The stray byte at the end of one read, the frame in the next; then noise with two F8s.
    ASSERT_TRUE(pty.Send({0x11, 0xF8}));
    EXPECT_TRUE(Take().empty());
    ASSERT_TRUE(pty.Send(Frame(b)));
    EXPECT_EQ(Take(), b);
    ASSERT_TRUE(pty.Send(Cat({{0xF8, 0x00, 0xF8, 0x42}, Frame(c), Frame(a)})));
    EXPECT_EQ(Take(), c);
    EXPECT_EQ(Take(), a);
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(FrameLayer, FramesComeOutInArrivalOrder)
{
    const Bytes a = Payload({0xA0, 1}), b = Payload({0xA0, 2});
    ASSERT_TRUE(pty.Send(Cat({Frame(a), Frame(b)})));
    EXPECT_EQ(Take(), a);
    EXPECT_EQ(Take(), b);
}

TEST_F(FrameLayer, NinetyNinthFrameIsLostWithAMessageAndTheOthersStay)
{
    const Bytes input = NumberedFrames(99);
    mac.ScanInput(input.data(), static_cast<int>(input.size()));
    EXPECT_EQ(mac.PendingFrames(), 98);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"CProtocolMACLayer::PutFrameToLoopBuf error: Rx Frame Loop "
                                                         "Buffer full! 1 frame dropped."});
    for (int i = 0; i < 98; ++i)
        ASSERT_EQ(Take(), Payload({0xA0, static_cast<std::uint8_t>(i)}));
    EXPECT_TRUE(Take().empty());
}

TEST_F(FrameLayer, AFullRingIsReportedOncePerReadWithTheCountDropped)
{
    // Three reads' worth of frames (192) with none taken: 98 are kept, and the 94 that did not
    // fit are one message, not 94.
    const Bytes input = NumberedFrames(192);
    mac.ScanInput(input.data(), static_cast<int>(input.size()));
    EXPECT_EQ(mac.PendingFrames(), 98);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"CProtocolMACLayer::PutFrameToLoopBuf error: Rx Frame Loop "
                                                         "Buffer full! 94 frames dropped."});
    EXPECT_EQ(Take(), Payload({0xA0, 0}));
}

TEST_F(FrameLayer, ResetInTheMiddleOfAFrameDiscardsIt)
{
    const Bytes frame = Frame(Payload({0xA0, 7}));
    ASSERT_TRUE(pty.Send(Bytes(frame.begin(), frame.begin() + 9)));
    EXPECT_TRUE(Take().empty());
    ASSERT_TRUE(pty.Send({0x01, 0x02}));
    mac.ResetRxBuffers();  // also reads and throws away the pending 01 02 unscanned
    EXPECT_EQ(pty.PendingAtSlave(), 0);
    const Bytes next = Payload({0xA0, 8});
    ASSERT_TRUE(pty.Send(Cat({Bytes(frame.begin() + 9, frame.end()), Frame(next)})));
    EXPECT_EQ(Take(), next);
}

TEST_F(FrameLayer, ResetDrainsABacklogLargerThanOneReadAndAFailedSendIsReported)
{
    // Over three reads' worth of stale bytes, an acknowledge at their end: none of it may be
    // taken as the answer to the next request.
    ASSERT_TRUE(pty.Send(Cat({Bytes(3000, 0x55), Frame(Payload({0xA0}))})));
    mac.ResetRxBuffers();
    EXPECT_TRUE(Take().empty());

    const std::uint8_t p[13] = {0x08};
    EXPECT_EQ(mac.SendFrame(p, 13), 1);
    EXPECT_TRUE(mac.SendErrorText().empty());
    host.ClosePort();
    EXPECT_EQ(mac.SendFrame(p, 13), 0);
    EXPECT_EQ(mac.SendErrorText(), "Error: Can not write to " + pty.SlavePath() + ": the port is not open.\n"
                                   "Open the port, then try again.");
}

TEST_F(FrameLayer, NotificationsCarryPayloadBytesOneToFour)
{
    std::uint8_t p[13] = {0x08, 0x01, 0x02, 0x03, 0x04, 0xEE};
    EXPECT_EQ(mac.SendFrame(p, 13), 1);
    EXPECT_EQ(pty.ReadFromSlave(16), Frame(Bytes(p, p + 13)));

    EXPECT_TRUE(Take().empty());  // nothing pending: no post
    ASSERT_TRUE(pty.Send(Frame(Bytes(p, p + 13))));
    Take();
    const auto got = posts->Posts();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].msg, WM_MAC_FRAME_MSG);
    EXPECT_EQ(got[0].wParam, CProtocolMACLayer::FRAME_SENT);
    EXPECT_EQ(got[0].lParam, 0x01020304);
    EXPECT_EQ(got[1].wParam, CProtocolMACLayer::FRAME_RECEIVED);
    EXPECT_EQ(got[1].lParam, 0x01020304);

    // With no target registered, notifications are dropped and nothing else changes.
    mac.SetFrameMsgTarget({});
    EXPECT_EQ(mac.SendFrame(p, 13), 1);
    EXPECT_EQ(posts->Posts().size(), 2u);
}
