// The simulator's driver of the platform clock (see Drive.h).
#include "Drive.h"

#include <Dispatch/Clock.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSRunLoop.h>
#include <Network/URLTransfer.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// The operator (in `done`) looks after every step of the app, and at least at every multiple of
// this on the clock's monotonic reading (nanoseconds) when the app has nothing timed before then.
// The looks sit on that fixed grid, not at "50 ms after the last advance": an advance may end early
// (a request seen on its way, which depends on how fast the real service answered), and a look
// 50 ms after that would move every later look, and so the instant at which the operator acts
// within a busy instant of the app.
constexpr uint64_t kLookNanoseconds = 50'000'000;
// While a request is in flight, the main thread still runs what is ready this often (seconds).
constexpr double kNetworkLook = 0.005;
constexpr auto kWallGuard = std::chrono::seconds(120);

std::function<std::chrono::steady_clock::time_point()>& wallClock() {
    static std::function<std::chrono::steady_clock::time_point()> clock;
    return clock;
}

std::chrono::steady_clock::time_point wallNow() {
    return wallClock() ? wallClock()() : std::chrono::steady_clock::now();
}

bool awaitingNetwork() {
    return ns_net::transfersInFlight() > 0;
}

} // namespace

void startVirtualClock() {
    DispatchClock::useVirtualTime(std::floor(NSDate::date()->timeIntervalSinceReferenceDate()));
    // A reply is awaited at the instant of its request, whatever its real time (docs/threads.md).
    DispatchClock::setWaitForOutsideWork(true);
}

void setDriveWallClockForTesting(std::function<std::chrono::steady_clock::time_point()> clock) {
    wallClock() = std::move(clock);
}

bool driveUntil(const std::function<bool()>& done, double seconds) {
    if (!DispatchClock::isVirtual()) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        auto loop = NSRunLoop::mainRunLoop();
        while (!done()) {
            if (std::chrono::steady_clock::now() >= limit) {
                return done();
            }
            loop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(0.005));
        }
        return true;
    }
    uint64_t start = DispatchClock::uptimeNanoseconds();
    uint64_t end = !(seconds > 0)   ? start
                   : seconds >= 1e9 ? UINT64_MAX - 1
                                    : start + static_cast<uint64_t>(std::llround(seconds * 1e9));
    // The guard counts wall time in which the platform clock stands still: a long wait whose clock
    // moves (a whole run, on a machine slowed down by other work) is not cut short.
    uint64_t seen = start;
    auto wallLimit = wallNow() + kWallGuard;
    while (!done()) {
        uint64_t now = DispatchClock::uptimeNanoseconds();
        if (now != seen) {
            seen = now;
            wallLimit = wallNow() + kWallGuard;
        } else if (wallNow() >= wallLimit) {
            return done();
        }
        if (awaitingNetwork()) {
            // A reply comes on the wall clock. Run what is ready (the request may wait on the main
            // thread for a decision), then wait for the end, a little at a time.
            DispatchClock::runUntilIdle();
            ns_net::waitForTransfersToEnd(kNetworkLook);
            continue;
        }
        if (now >= end) {
            return done();
        }
        uint64_t nextLook = std::min(end, (now / kLookNanoseconds + 1) * kLookNanoseconds);
        DispatchClock::advanceUntilUptime([&] { return done() || awaitingNetwork(); }, nextLook);
    }
    return true;
}
