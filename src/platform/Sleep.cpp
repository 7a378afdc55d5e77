#include "platform/Sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kmr {
namespace {
std::atomic<unsigned> g_speedup{1};
}

void Sleep(unsigned ms)
{
    const unsigned factor = g_speedup.load(std::memory_order_relaxed);
    const auto us = std::chrono::microseconds(1000ull * ms / (factor ? factor : 1));
    std::this_thread::sleep_for(us);
}

void SetSleepSpeedupForTests(unsigned factor)
{
    g_speedup.store(factor ? factor : 1, std::memory_order_relaxed);
}

} // namespace kmr
