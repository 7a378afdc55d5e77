// The simulated amplifier's own safety: what it does with any byte it is sent, and how it ends.
#include "AmpSimulator.h"
#include "protocol/NormalMessages.h"
#include "protocol/UpdateMessages.h"
#include "support/SimLink.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

TEST(SimUpdate, EveryByteValueAsTheKindIsCheckedBeforeItBecomesAKind)
{
    // Under UBSan a byte outside the enumeration turned into a Kind is a fault of its own.
    CSimUpdate update;
    for (int kind = 0; kind < 256; ++kind) {
        CSimUpdate::Payload establish{update::MSG_COMMAND, update::CMD_ESTABLISH, static_cast<std::uint8_t>(kind)};
        const auto ack = update.Handle(establish, std::chrono::steady_clock::now());
        const bool known = kind == update::KIND_SYSTEM_CODE || kind == update::KIND_PRESET_CODE ||
                           kind == update::KIND_TEST_CODE;
        EXPECT_EQ(ack.has_value(), known) << kind;
        EXPECT_EQ(update.LastKind(), known ? static_cast<CSimUpdate::Kind>(kind) : CSimUpdate::None) << kind;
        EXPECT_EQ(update.LastError(), known ? "" : "establish with unknown kind " + std::to_string(kind));
    }
}

TEST(Simulator, RefusesSpeedsBelowThreeHundredBaudAndStopsPromptlyAtTheSlowest)
{
    CAmpSimulator sim;
    EXPECT_FALSE(sim.SetLineBaud(CAmpSimulator::MIN_LINE_BAUD - 1));
    EXPECT_FALSE(sim.SetLineBaud(1));
    EXPECT_TRUE(sim.SetLineBaud(0));
    ASSERT_TRUE(sim.SetLineBaud(CAmpSimulator::MIN_LINE_BAUD));
    ASSERT_TRUE(sim.Start());

    // The slowest line, bytes on their way to the amplifier and an answer held back for a
    // minute: Stop does not wait for any of them.
    sim.SetReplyDelayMs(60000);
    CMSCommDlg host;
    host.SetPortDevice(sim.SlavePath());
    host.SetPortSettings(1, FAST_TEST_BAUD, "N", "8", "2");
    ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
    std::uint8_t frame[16];
    const std::uint8_t check[13] = {normal::CMD_WRITE_PARAMS};
    CProtocolMACLayer::BuildFrame(check, frame);
    ASSERT_TRUE(host.WriteBlock(frame, sizeof frame));
    ASSERT_TRUE(WaitUntil([&] { return sim.BytesReceived() == sizeof frame; }, 10s));  // about 0.6 s
    ASSERT_TRUE(host.WriteBlock(frame, sizeof frame));
    WaitUntil([&] { return sim.BytesReceived() > sizeof frame; }, 1s);  // the next frame is arriving

    const auto start = std::chrono::steady_clock::now();
    sim.Stop();
    // Ten times STOP_MS: room for a loaded machine, and still far below the old waits.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10 * CAmpSimulator::STOP_MS));
    host.ClosePort();
}
