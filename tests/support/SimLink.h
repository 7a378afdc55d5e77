#pragma once
// A simulated amplifier on a pseudo-terminal with the program's port host opened on it and
// attached to the frame layer: the real serial path end to end, for integration tests.
#include "AmpSimulator.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "protocol/ProtocolAppNormal.h"

#include <gtest/gtest.h>

// The tool keeps to the configured line speed by its own clock, as on a real line; tests that
// move whole update files over a pseudo-terminal run the line this fast (a system update's two
// passes take about 1.8 s each instead of 95 s at the amplifier's 56000 baud).
inline constexpr const char* FAST_TEST_BAUD = "3000000";

class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        host.SetPortDevice(sim.SlavePath());
        host.SetPortSettings(1, FAST_TEST_BAUD, "N", "8", "2");
        ASSERT_EQ(host.OpenPort(), 1) << host.LastOpenError();
        TheMacLayer().SetPort(&host);
        TheMacLayer().ResetRxBuffers();
    }
    void TearDown() override
    {
        TheMacLayer().SetPort(nullptr);
        TheMacLayer().SetFrameMsgTarget({});
        if (host.IsPortOpen())
            host.ClosePort();
        sim.Stop();
    }

    CAmpSimulator sim;
    CMSCommDlg host;
    CProtocolAppNormal& proto = TheNormalProtocol();
};
