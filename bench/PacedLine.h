#pragma once
// The simulated amplifier on a pseudo-terminal paced like a real 56000-baud 8N2 line in both
// directions, with an adapter's latency timer on the answers, and the program's port host
// (ThePortHost(), the one the pages test for an open port) opened on it at the program's own
// settings and attached to the frame layer: the line that
// every timed run of the benchmarks goes over. The floors printed beside each figure are
// computed from the frames that must cross this line one after another and the fixed pauses.
#include "AmpSimulator.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"

#include <chrono>
#include <cstdio>

namespace bench {

constexpr unsigned kBaud = 56000;
constexpr double kBitsPerByte = 11;  // start, 8 data, 2 stop
constexpr double kFrameMs = 16 * kBitsPerByte * 1000.0 / kBaud;  // 3.143 ms a frame
constexpr double kExchangeMs = 2 * kFrameMs;                     // a request and its answer

class PacedLine {
public:
    // latencyMs: how long the adapter may hold the answers (1: a low-latency adapter).
    explicit PacedLine(unsigned latencyMs, unsigned eraseMs = 400)
    {
        sim.SetLineBaud(kBaud);
        sim.SetLatencyMs(latencyMs);
        sim.Update().SetEraseTimeMs(eraseMs);
        if (!sim.Start()) {
            std::printf("cannot start the simulator\n");
            return;
        }
        host.SetPortDevice(sim.SlavePath());
        if (host.OpenPort() == 0) {
            host.SetPortDevice("");
            std::printf("cannot open %s\n", sim.SlavePath().c_str());
            return;
        }
        TheMacLayer().SetPort(&host);
        m_open = true;
    }
    ~PacedLine()
    {
        TheMacLayer().SetPort(nullptr);
        host.ClosePort();
        host.SetPortDevice("");
        sim.Stop();
    }
    PacedLine(const PacedLine&) = delete;
    PacedLine& operator=(const PacedLine&) = delete;
    bool IsOpen() const { return m_open; }

    CAmpSimulator sim;
    CMSCommDlg& host = ThePortHost();

private:
    bool m_open = false;
};

inline double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// "  NAME: 123.4 ms, floor 100.0 ms, +23.4% (what the extra is per unit)"
inline void PrintAgainstFloor(const char* name, double ms, double floorMs, int units, const char* unit)
{
    std::printf("  %-22s %9.1f ms   floor %9.1f ms   +%5.1f%%   (+%.2f ms %s)\n", name, ms, floorMs,
                100 * (ms - floorMs) / floorMs, (ms - floorMs) / units, unit);
}

} // namespace bench
