// A timed preset update against the simulated amplifier on a line paced both ways at 56000
// baud 8N2, with a low-latency adapter (1 ms):
//   - the total time against its floor: every frame of the run on the wire one after another
//     and the sequence's fixed pauses while the line is quiet (synchronise, the establish test,
//     the erase tests, finish, stop);
//   - the data passes' line utilisation: bytes per second taken by the amplifier against the
//     line's 5,091.
#include "PacedLine.h"
#include "UpdateFileMaker.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "protocol/ProtocolAppUpdate.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using U = CProtocolAppUpdate;

namespace {

constexpr double kLineBytesPerSecond = bench::kBaud / bench::kBitsPerByte;

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

void BenchPresetUpdate()
{
    bench::PacedLine line(1, 400);  // an erase of 400 ms: acknowledged at the first 500 ms test
    if (!line.IsOpen())
        return;
    const std::string path = "/tmp/kmr-bench-update-" + std::to_string(getpid()) + ".bin";
    kmr::sim::WriteUpdateFile(path, kmr::sim::MakePresetUpdateFile());
    kmr::SetFileChooser([path](const std::string&, const std::string&, const std::string&, bool) { return path; });
    TheUpdateFile().OpenPresetFile();
    auto posts = std::make_shared<Counter>();
    U& update = TheUpdateProtocol();
    const auto start = Clock::now();
    update.StartPresetUpdate(posts);
    while (update.ThreadsAlive())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double ms = bench::Ms(Clock::now() - start);
    update.Shutdown();
    std::remove(path.c_str());
    CSimUpdate& amp = line.sim.Update();
    if (!amp.Completed()) {
        std::printf("preset update: FAILED (%s)\n", amp.LastError().c_str());
        return;
    }
    // Frames out: synchronise, establish, erase, begin writing, the blocks twice, end of
    // writing, end of verifying, finish. Fixed pauses while the line is quiet: synchronise, the
    // establish test (its acknowledge is back within it), the erase tests, finish and stop. The
    // write and verify confirmations come while the last queued blocks are still on the wire.
    const int framesOut = 7 + 2 * U::PRESET_BLOCKS;
    const int eraseTests = posts->Count(U::PRESET_BASE + U::ERASE_PROGRESS);
    const double fixed = U::SYNC_PAUSE_MS + U::ESTABLISH_WAIT.pauseMs + eraseTests * U::PRESET_ERASE_WAIT.pauseMs +
                         U::FINISH_PAUSE_MS + U::STOP_PAUSE_MS;
    const double floor = framesOut * bench::kFrameMs + fixed;
    std::printf("preset update, line paced both ways at 56000 baud 8N2, latency 1 ms\n");
    std::printf("  floor: %d frames on the wire (%.1f ms) + %.0f ms of fixed pauses (%d erase tests)\n", framesOut,
                framesOut * bench::kFrameMs, fixed, eraseTests);
    bench::PrintAgainstFloor("whole run:", ms, floor, framesOut, "a frame");
    for (const auto& [name, s] : {std::pair{"write pass:", amp.WriteStats()}, std::pair{"verify pass:", amp.VerifyStats()}}) {
        // From the arrival of the first block to that of the last: (blocks - 1) frames crossed the line.
        const double rate = (s.blocks - 1) * 16.0 / std::chrono::duration<double>(s.last - s.first).count();
        std::printf("  %-22s %9.0f bytes/s = %.2f%% of the line (%u blocks)\n", name, rate,
                    100.0 * rate / kLineBytesPerSecond, s.blocks);
    }
}

} // namespace

int main()
{
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    BenchPresetUpdate();
    return 0;
}
