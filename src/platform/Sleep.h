#pragma once
// Every fixed wait of the program goes through Sleep, so that the waits are in one place.
#include <functional>

namespace kmr {

// Sleeps for ms milliseconds of the program's clock.
void Sleep(unsigned ms);

// Sleeps like Sleep(ms), but returns early, within about INTERRUPT_CHECK_MS, once interrupted()
// holds (a stopped run, a line found gone). True when the whole time was slept.
inline constexpr unsigned INTERRUPT_CHECK_MS = 10;
bool SleepUnless(unsigned ms, const std::function<bool()>& interrupted);

// Test-only: divides the waits by factor (1 = real time, the default), so that the long failure
// paths of the update sequence can be tested quickly; the program's own constants never change.
// Waits shorter than SPEEDUP_FLOOR_MS keep their length and longer ones never shrink below it,
// so every limit made of them (at least 4 such waits) stays far above the scheduling delays of
// a loaded machine.
inline constexpr unsigned SPEEDUP_FLOOR_MS = 100;
void SetSleepSpeedupForTests(unsigned factor);

} // namespace kmr
