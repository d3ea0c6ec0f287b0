// The one clock behind timers, dispatch_after, NSDate, NSTimer, display links and the schedulers.
// Real time by default; tests switch it to virtual time and advance it.
//
// Two readings of the same clock:
//   now()               seconds since the reference date (1 January 2001, 00:00:00 UTC): dates
//   uptimeNanoseconds() a monotonic count of nanoseconds: the base of dispatch_time_t, of timer
//                       deadlines and of CACurrentMediaTime
// On real time they come from the system's wall clock and its steady clock. On virtual time both
// stand still until advance() (or a main-thread wait) moves them, and they move together.
//
// Virtual time. Nothing waits on the wall clock: dispatch_after blocks, timer sources, run-loop
// timers, display links and the time-outs of waits fire only when the clock is moved past their
// deadline, in deadline order (ties in the order they were scheduled), each on its own queue or
// run loop. Before every step the clock waits until every queue and platform thread is idle, so a
// test sees the same order every run. The main thread (the test's thread) drives the clock:
// advance(), runUntilIdle(), and any wait on the main thread (a run-loop turn, a semaphore, a sleep)
// move it. Threads the platform did not make (std::thread) are invisible to it.
// See docs/threads.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

class DispatchClock {
public:
    // Seconds since the reference date (1 January 2001, 00:00:00 UTC) on the process clock.
    static double now();
    // The monotonic reading, in nanoseconds (never 0).
    static uint64_t uptimeNanoseconds();
    // The monotonic reading in seconds.
    static double uptime();

    static bool isVirtual();
    // Starts a fresh virtual clock at `startDate` (seconds since the reference date; by default
    // 1 January 2024, 00:00:00 UTC), not waiting for outside work. Switch while no timed work is
    // pending. Raises NSInvalidArgumentException for a NaN or infinite date.
    static void useVirtualTime(double startDate = kVirtualStartDate);
    // Back to the system clock.
    static void useRealTime();

    // Virtual time, main thread only: moves the clock forward by `seconds`, running every due timer
    // and dispatch_after block in time order on its queue, the main run loop and the main queue on
    // the way; returns when the clock stands at the target and nothing is left to run at that
    // instant. Raises NSInvalidArgumentException for a negative, NaN or infinite interval and
    // NSInternalInconsistencyException off the main thread or on real time.
    static void advance(double seconds);
    // As advance(), but stops as soon as `condition` answers true (checked after every step).
    // Returns the condition's last answer. On real time it runs the main run loop for up to
    // `seconds` of real time instead.
    static bool advanceUntil(const std::function<bool()>& condition, double seconds);
    // As advanceUntil(), up to a point of the monotonic reading (uptimeNanoseconds()) instead of an
    // interval from now: a driver that looks at fixed instants reaches them to the nanosecond, which
    // an interval in seconds, rounded from a double, cannot promise. A point already passed runs what
    // is ready now without moving the clock.
    static bool advanceUntilUptime(const std::function<bool()>& condition, uint64_t uptimeNanoseconds);
    // Main thread only: runs everything that is ready now (main queue, main run loop, background
    // queues, and on virtual time the entries already due) until nothing is left, without moving
    // the clock.
    static void runUntilIdle();

    // Work under way outside the platform's threads that virtual time may wait for as it waits for a
    // queue's block: a request on its way over the real network. When the host asks for it
    // (setWaitForOutsideWork), while any is under way the clock does not move and the main run loop
    // does not settle, however long the reply takes in real time, so that what the app does with
    // it does not depend on how fast it came (the simulator's runs). Otherwise (the default, as tests
    // of time-outs on virtual time want) the clock moves on meanwhile. Calls pair up; any thread. On
    // real time they count nothing.
    static void beginOutsideWork();
    static void endOutsideWork();
    static void setWaitForOutsideWork(bool wait);

    // Timed entries waiting for their deadline (dispatch_after, timer sources, wait time-outs).
    static size_t pendingTimerCount();
    // Drops every pending timed entry (a test fixture calls this when a test ends).
    static void discardPendingTimers();
    // A test fixture calls this when a test ends: the helpers that keep objects for the length of one
    // test (the UI test driver keeps the windows it showed) let them go, so that nothing one test made
    // outlives it when the tests of a binary share a process. Main thread only.
    static void endTest();
    // Registers such a helper's handler (kept for the life of the process, run in registration order).
    static void addTestEndHandler(std::function<void()> handler);

    static constexpr double kVirtualStartDate = 725760000.0; // 2024-01-01 00:00:00 UTC
};

namespace dispatch_detail {

// Set by the run loop: runs the main run loop in its default mode until the clock reaches
// `deadline` (uptime ns) and nothing is ready, or until `stop` answers true (when given).
using MainLoopRunner = bool (*)(uint64_t deadline, const std::function<bool()>* stop);
void setMainLoopRunner(MainLoopRunner runner) noexcept;

// Drives virtual time on the main thread until `stop` answers true or the clock reaches
// `deadline`: waits for background work to finish, then fires the next due entry, and so on.
// Returns true when stopped by `stop`. With `deadline` == UINT64_MAX and nothing scheduled, it
// waits for work from other threads. `settled` (when given) runs once each time nothing is left to
// run at the current instant (background work done, `stop` false, no entry due now), before the
// clock moves on or the drive ends at its deadline; when it answers that it did something, `stop`
// is asked again before the drive goes on.
bool drive(uint64_t deadline, const std::function<bool()>& stop, bool (*settled)() = nullptr);

// Converts a date (seconds since the reference date) to an uptime deadline, saturating at
// UINT64_MAX; raises NSInvalidArgumentException for NaN.
uint64_t deadlineForDate(double date);
// The uptime deadline `seconds` from now; raises NSInvalidArgumentException for NaN; negative
// means now, +infinity means never.
uint64_t deadlineAfter(double seconds);
// The date of an uptime deadline.
double dateForDeadline(uint64_t deadline);

} // namespace dispatch_detail
