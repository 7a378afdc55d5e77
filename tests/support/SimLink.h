#pragma once
// A simulated amplifier on a pseudo-terminal with the program's port host opened on it and
// attached to the frame layer: the real serial path end to end, for integration tests.
#include "AmpSimulator.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "protocol/ProtocolAppNormal.h"

#include <gtest/gtest.h>

class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        host.SetPortDevice(sim.SlavePath());
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
