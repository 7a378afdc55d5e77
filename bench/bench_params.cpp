// Timed write-all and read-all passes against the simulated amplifier on a line paced both ways
// at 56000 baud, printed next to their floors:
//   write-all: 38 exchanges on the wire, each followed by 30 ms after its acknowledged write and
//              the 20 ms group pause;
//   read-all:  38 exchanges on the wire and no fixed pause.
// Each with the answers held by a 1 ms latency timer (a low-latency adapter) and by a 16 ms one
// (a common default).
#include "PacedLine.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "params/ParamTransfer.h"
#include "platform/MessageBox.h"

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
    kGroups * (bench::kExchangeMs + CProtocolAppNormal::WRITE_PAUSE_MS + CParamTransfer::GROUP_PAUSE_MS);
constexpr double kReadFloorMs = kGroups * bench::kExchangeMs;

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

// Write-all and read-all on the line paced both ways, the answers held by an adapter's
// latency timer of latencyMs.
void BenchLine(unsigned latencyMs)
{
    bench::PacedLine line(latencyMs);
    if (!line.IsOpen())
        return;
    CParamTransfer& transfer = TheParamTransfer();
    std::printf("latency %u ms:\n", latencyMs);
    const double write = TimePasses(transfer, true, 3);
    if (write < 0)
        std::printf("  write-all failed\n");
    else
        bench::PrintAgainstFloor("write-all, median of 3", write, kWriteFloorMs, kGroups, "an exchange");
    const double read = TimePasses(transfer, false, 11);
    if (read < 0)
        std::printf("  read-all failed\n");
    else
        bench::PrintAgainstFloor("read-all, median of 11", read, kReadFloorMs, kGroups, "an exchange");
}

} // namespace

int main()
{
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    std::printf("parameter transfer, line paced both ways at 56000 baud 8N2\n");
    BenchLine(1);
    BenchLine(16);
    return 0;
}
