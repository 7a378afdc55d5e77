#pragma once
// Every fixed wait of the program goes through Sleep, so that the waits are in one place.
namespace kmr {

// Sleeps for ms milliseconds of the program's clock.
void Sleep(unsigned ms);

// Test-only: divides every wait by factor (1 = real time, the default). Long failure paths of the
// update sequence can then be tested quickly; the program's own constants never change.
void SetSleepSpeedupForTests(unsigned factor);

} // namespace kmr
