// How the simulator lets the app run: on virtual time the platform clock moves only as fast as the
// app has work, except while a request is on its way over the real network (the loopback service
// or a real one), when the clock stands still and the reply is awaited on the wall clock. So a
// session takes the time its work takes, and the app's own network time-outs (on the wall clock)
// still govern.
#pragma once

#include <chrono>
#include <functional>

// Runs the app until `done` answers true or `seconds` have passed on the platform clock (virtual
// seconds on virtual time, real ones on real time); `done` is asked after every step of the
// app (at least every 50 ms of platform time) and may act on the screen. Answers `done`'s last answer. On virtual time
// a wall-clock guard ends a wait whose clock has not moved for two minutes of wall time (a request
// that never ends); a wait whose clock moves may take as long as the machine needs.
bool driveUntil(const std::function<bool()>& done, double seconds);

// Tests: the wall clock the guard reads (the steady clock when null).
void setDriveWallClockForTesting(std::function<std::chrono::steady_clock::time_point()> clock);

// Starts (or starts again) the virtual clock at the wall date, to the whole second, waiting for the
// network's replies (DispatchClock::setWaitForOutsideWork). Dates are doubles
// of about 8 x 10^8 s whose last bit is about 0.1 us: from a whole second, every date of a run rounds
// the same way whatever the second, so intervals between dates, and what they decide, come out the
// same every run.
void startVirtualClock();

// Lets `seconds` pass with the app running.
inline void settle(double seconds) {
    driveUntil([] { return false; }, seconds);
}
