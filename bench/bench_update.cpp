// Timed update runs against the simulated amplifier on a pseudo-terminal:
//   1. a full system update of a 246464-byte file on an unpaced line: the total time, the
//      sum of the fixed waits of the sequence in it, and what is left (our own overhead);
//   2. a preset update on a line paced at 56000 baud (8N2): the data passes' line utilisation,
//      bytes per second taken by the amplifier against the line's 5,091 bytes per second.
#include "AmpSimulator.h"
#include "UpdateFileMaker.h"
#include "link/MSCommDlg.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "protocol/ProtocolAppUpdate.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using U = CProtocolAppUpdate;

namespace {

constexpr double kLineBytesPerSecond = 56000.0 / 11.0;

// Counts the posts of one run.
class Counter : public CMessageTarget {
public:
    void PostMessage(unsigned, WPARAM w, LPARAM) override
    {
        std::lock_guard<std::mutex> lock(m);
        codes.push_back(w);
    }
    int Count(WPARAM code)
    {
        std::lock_guard<std::mutex> lock(m);
        int n = 0;
        for (WPARAM c : codes)
            n += c == code;
        return n;
    }
    std::mutex m;
    std::vector<WPARAM> codes;
};

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Runs one update of kind with file on sim; returns the wall time, or a negative value on failure.
double Run(CAmpSimulator& sim, U::Kind kind, const std::vector<std::uint8_t>& file, const std::shared_ptr<Counter>& posts,
           bool paced)
{
    const std::string path = "/tmp/kmr-bench-update-" + std::to_string(getpid()) + ".bin";
    kmr::sim::WriteUpdateFile(path, file);
    kmr::SetFileChooser([path](const std::string&, const std::string&, const std::string&, bool) { return path; });
    CMSCommDlg host;
    host.SetPortDevice(sim.SlavePath());
    if (host.OpenPort() == 0)
        return -1;
    TheMacLayer().SetPort(&host);
    U& update = TheUpdateProtocol();
    kind == U::KIND_SYSTEM ? TheUpdateFile().OpenSystemFile() : TheUpdateFile().OpenPresetFile();
    const auto start = Clock::now();
    kind == U::KIND_SYSTEM ? update.StartSystemUpdate(posts) : update.StartPresetUpdate(posts);
    while (update.ThreadsAlive())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double seconds = Seconds(Clock::now() - start);
    update.Shutdown();
    TheMacLayer().SetPort(nullptr);
    host.ClosePort();
    std::remove(path.c_str());
    return sim.Update().Completed() ? seconds : -1;
}

void BenchSystemUpdate()
{
    CAmpSimulator sim;
    sim.Update().SetEraseTimeMs(3000);  // a realistic erase: five of the sequence's 600 ms tests
    sim.Start();
    auto posts = std::make_shared<Counter>();
    const double total = Run(sim, U::KIND_SYSTEM, kmr::sim::MakeSystemUpdateFile(), posts, false);
    if (total < 0) {
        std::printf("system update: FAILED\n");
        return;
    }
    // Every fixed wait of a run whose acknowledges come at once: synchronise pause, one test of
    // each acknowledge wait, the erase tests until the erase acknowledge, the finish and stop
    // pauses.
    const int eraseTests = posts->Count(U::SYSTEM_BASE + U::ERASE_PROGRESS);
    const double fixed = (U::SYNC_PAUSE_MS + U::ESTABLISH_WAIT.pauseMs + eraseTests * U::SYSTEM_ERASE_WAIT.pauseMs +
                          U::WRITE_WAIT.pauseMs + U::VERIFY_WAIT.pauseMs + U::FINISH_PAUSE_MS + U::STOP_PAUSE_MS) /
                         1000.0;
    const auto w = sim.Update().WriteStats(), v = sim.Update().VerifyStats();
    std::printf("system update, 246464-byte file, 2 x %u blocks, unpaced pseudo-terminal:\n", w.blocks);
    std::printf("  total %.3f s, fixed waits %.3f s (%d erase tests), left %.3f s = %.2f%% of the run\n", total,
                fixed, eraseTests, total - fixed, 100.0 * (total - fixed) / total);
    std::printf("  data passes took %.3f s and %.3f s at the amplifier; target: overhead under 1%%\n",
                Seconds(w.last - w.first), Seconds(v.last - v.first));
}

void BenchPresetUtilisation()
{
    CAmpSimulator sim;
    sim.SetLineBaud(56000);
    sim.Update().SetEraseTimeMs(400);
    sim.Start();
    auto posts = std::make_shared<Counter>();
    const double total = Run(sim, U::KIND_PRESET, kmr::sim::MakePresetUpdateFile(), posts, true);
    if (total < 0) {
        std::printf("preset update: FAILED\n");
        return;
    }
    std::printf("preset update on a line paced at 56000 baud 8N2 (%.0f bytes/s), total %.2f s:\n",
                kLineBytesPerSecond, total);
    for (const auto& [name, s] : {std::pair{"write", sim.Update().WriteStats()}, std::pair{"verify", sim.Update().VerifyStats()}}) {
        // From the arrival of the first block to that of the last: (blocks - 1) frames crossed the line.
        const double rate = (s.blocks - 1) * 16.0 / Seconds(s.last - s.first);
        std::printf("  %s pass: %u blocks, %.0f bytes/s = %.2f%% of the line; target at least 99%%\n", name, s.blocks,
                    rate, 100.0 * rate / kLineBytesPerSecond);
    }
}

} // namespace

int main()
{
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    BenchSystemUpdate();
    BenchPresetUtilisation();
    return 0;
}
