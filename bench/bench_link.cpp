// Timed runs of the receive path and the normal protocol, printed for comparison with the
// serial line they serve:
//   1. the frame scanner's throughput on valid frames mixed with noise, against the 5,091
//      bytes per second that a 56000-baud 8N2 line delivers;
//   2. the median time of one parameter-read exchange over an unpaced pseudo-terminal with the
//      simulated amplifier answering at once (the program's own overhead);
//   3. the connection check on a line paced both ways at 56000 baud, against its floor, with
//      a 1 ms and a 16 ms adapter latency.
#include "AmpSimulator.h"
#include "PacedLine.h"
#include "link/MSCommDlg.h"
#include "link/ProtocolMACLayer.h"
#include "platform/MessageBox.h"
#include "protocol/ProtocolAppNormal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr double kLineBytesPerSecond = 56000.0 / 11.0;  // 1 start + 8 data + 2 stop bits

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BenchScanner()
{
    std::mt19937 rng(7);
    std::vector<std::uint8_t> input;
    std::size_t frames = 0;
    while (input.size() < 32u * 1024 * 1024) {
        std::uint8_t payload[13];
        for (auto& b : payload)
            b = static_cast<std::uint8_t>(rng());
        std::uint8_t frame[16];
        CProtocolMACLayer::BuildFrame(payload, frame);
        input.insert(input.end(), frame, frame + 16);
        ++frames;
        for (int n = static_cast<int>(rng() % 8); n > 0; --n) {  // noise between frames
            const auto b = static_cast<std::uint8_t>(rng());
            input.push_back(b == 0xF8 ? 0 : b);
        }
    }
    CProtocolMACLayer mac;
    std::uint8_t out[13];
    std::size_t taken = 0;
    const auto start = Clock::now();
    for (std::size_t pos = 0; pos < input.size(); pos += 1024) {
        mac.ScanInput(input.data() + pos, static_cast<int>(std::min<std::size_t>(1024, input.size() - pos)));
        while (mac.GetFrameFromLoopBuf(out, 13))
            ++taken;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double rate = static_cast<double>(input.size()) / seconds;
    std::printf("frame scanner: %.1f MB in %.3f s = %.1f MB/s, %zu of %zu frames taken\n",
                input.size() / 1e6, seconds, rate / 1e6, taken, frames);
    std::printf("  = %.0f times a 56000-baud line (%.0f bytes/s); target at least 10000 times\n",
                rate / kLineBytesPerSecond, kLineBytesPerSecond);
}

// The median time of one parameter-read exchange on an unpaced pseudo-terminal, the simulated
// amplifier answering at once: what the program itself adds to an exchange.
void BenchExchangeOverhead()
{
    CAmpSimulator sim;
    if (!sim.Start()) {
        std::printf("exchange: cannot start the simulator\n");
        return;
    }
    CMSCommDlg host;
    host.SetPortDevice(sim.SlavePath());
    host.SetPortSettings(1, "3000000", "N", "8", "2");  // the line itself takes next to nothing
    if (host.OpenPort() == 0)
        return;
    TheMacLayer().SetPort(&host);
    CProtocolAppNormal& proto = TheNormalProtocol();
    std::vector<double> reads;
    for (int i = 0; i < 300; ++i) {
        std::uint16_t v;
        const auto t = Clock::now();
        if (proto.ReadParams(0x3000, &v) != 0)
            std::printf("  read %d failed\n", i);
        reads.push_back(bench::Ms(Clock::now() - t));
    }
    std::printf("parameter read exchange, unpaced: median %.3f ms over %zu; target under 2 ms\n", Median(reads),
                reads.size());
    TheMacLayer().SetPort(nullptr);
    host.ClosePort();
}

// The connection check on the line paced both ways at 56000 baud: three exchanges and 90 ms of
// fixed pauses, with the answers held by a 1 ms and by a 16 ms latency timer.
void BenchConnectionCheck()
{
    std::printf("connection check, line paced both ways at 56000 baud 8N2, median of 30:\n");
    const double floor = 3 * bench::kExchangeMs + CProtocolAppNormal::WRITE_PAUSE_MS + 2.0 * CProtocolAppNormal::CHECK_PAUSE_MS;
    for (unsigned latency : {1u, 16u}) {
        bench::PacedLine line(latency);
        if (!line.IsOpen())
            return;
        std::vector<double> checks;
        for (int i = 0; i < 30; ++i) {
            const auto t = Clock::now();
            if (TheNormalProtocol().CheckConnection() != CProtocolAppNormal::CHECK_OK)
                std::printf("  check %d failed\n", i);
            checks.push_back(bench::Ms(Clock::now() - t));
        }
        const std::string name = "latency " + std::to_string(latency) + " ms:";
        bench::PrintAgainstFloor(name.c_str(), Median(checks), floor, 3, "an exchange");
    }
}

} // namespace

int main()
{
    kmr::SetMessageHandler([](const std::string&, bool) { return kmr::MSG_OK; });
    BenchScanner();
    BenchExchangeOverhead();
    BenchConnectionCheck();
    return 0;
}
