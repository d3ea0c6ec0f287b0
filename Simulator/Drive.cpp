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

// The operator (in `done`) looks after every step of the app, and at least this often (virtual
// seconds) when the app has nothing timed before then.
constexpr double kLookInterval = 0.05;
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
    double end = DispatchClock::uptime() + seconds;
    // The guard counts wall time in which the platform clock stands still: a long wait whose clock
    // moves (a whole run, on a machine slowed down by other work) is not cut short.
    double seen = DispatchClock::uptime();
    auto wallLimit = wallNow() + kWallGuard;
    while (!done()) {
        if (DispatchClock::uptime() != seen) {
            seen = DispatchClock::uptime();
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
        double left = end - DispatchClock::uptime();
        if (left <= 0) {
            return done();
        }
        DispatchClock::advanceUntil([&] { return done() || awaitingNetwork(); }, std::min(left, kLookInterval));
    }
    return true;
}
