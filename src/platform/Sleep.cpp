#include "platform/Sleep.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace kmr {
namespace {
std::atomic<unsigned> g_speedup{1};

// The real length of a wait of ms on the program's clock.
std::chrono::microseconds RealLength(unsigned ms)
{
    const unsigned factor = g_speedup.load(std::memory_order_relaxed);
    if (factor <= 1 || ms <= SPEEDUP_FLOOR_MS)
        return std::chrono::milliseconds(ms);
    return std::max<std::chrono::microseconds>(std::chrono::microseconds(1000ull * ms / factor),
                                               std::chrono::milliseconds(SPEEDUP_FLOOR_MS));
}
} // namespace

void Sleep(unsigned ms)
{
    std::this_thread::sleep_for(RealLength(ms));
}

bool SleepUnless(unsigned ms, const std::function<bool()>& interrupted)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + RealLength(ms);
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (interrupted())
            return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(INTERRUPT_CHECK_MS)));
    }
    return true;
}

void SetSleepSpeedupForTests(unsigned factor)
{
    g_speedup.store(factor ? factor : 1, std::memory_order_relaxed);
}

} // namespace kmr
