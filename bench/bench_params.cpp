// Timed write-all and read-all passes against the simulated amplifier on a pseudo-terminal,
// printed next to their floors:
//   write-all: 38 groups, each 30 ms after its acknowledged write + 20 ms pause = 1900 ms of
//              fixed pauses; target within 5% of that;
//   read-all:  38 exchanges and no fixed pause; target under 200 ms.
// Each is run unpaced (the simulator takes bytes as fast as they come) and with the simulator
// taking bytes no faster than a 56000-baud 8N2 line.
#include "AmpSimulator.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "platform/MessageBox.h"
#include "protocol/ParamTransfer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGroups = 38;
constexpr double kWriteFloorMs =
    kGroups * double(CProtocolAppNormal::WRITE_PAUSE_MS + CParamTransfer::GROUP_PAUSE_MS);

// Keeps the last post of a worker: 100 means the pass went through.
class LastPost : public CMessageTarget {
public:
    void PostMessage(unsigned, WPARAM wParam, LPARAM lParam) override
    {
        m_code = wParam;
        m_value = lParam;
    }
    bool Succeeded(WPARAM progressCode) const { return m_code == progressCode && m_value == 100; }

private:
    std::atomic<WPARAM> m_code{0};
    std::atomic<LPARAM> m_value{0};
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median time in ms of runs passes of one worker; -1 if any pass failed.
double TimePasses(CParamTransfer& transfer, bool write, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto target = std::make_shared<LastPost>();
        const auto start = Clock::now();
        write ? transfer.StartWriteAllParams(target) : transfer.StartReadAllParams(target);
        transfer.Join();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!target->Succeeded(write ? CParamTransfer::WRITE_ALL_PROGRESS : CParamTransfer::READ_ALL_PROGRESS))
            return -1;
    }
    return Median(times);
}

void BenchLine(unsigned baud)
{
    CAmpSimulator sim;
    if (!sim.Start()) {
        std::printf("cannot start the simulator\n");
        return;
    }
    sim.SetLineBaud(baud);
    CMSCommDlg host;
    host.SetPortDevice(sim.SlavePath());
    if (host.OpenPort() == 0) {
        std::printf("cannot open %s\n", sim.SlavePath().c_str());
        return;
    }
    TheMacLayer().SetPort(&host);
    CParamTransfer& transfer = TheParamTransfer();

    std::printf("%s:\n", baud == 0 ? "unpaced pseudo-terminal" : "simulator paced at 56000 baud 8N2");
    const double write = TimePasses(transfer, true, 5);
    if (write < 0)
        std::printf("  write-all failed\n");
    else
        std::printf("  write-all: median %.1f ms over 5; floor %.0f ms of fixed pauses; %.2f%% above it "
                    "(%.2f ms an exchange); target within 5%%\n",
                    write, kWriteFloorMs, 100 * (write - kWriteFloorMs) / kWriteFloorMs, (write - kWriteFloorMs) / kGroups);
    const double read = TimePasses(transfer, false, 21);
    if (read < 0)
        std::printf("  read-all failed\n");
    else
        std::printf("  read-all:  median %.1f ms over 21; no fixed pause (%.2f ms an exchange); target under 200 ms\n",
                    read, read / kGroups);
    TheMacLayer().SetPort(nullptr);
    host.ClosePort();
}

} // namespace

int main()
{
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    BenchLine(0);
    BenchLine(56000);
    return 0;
}
