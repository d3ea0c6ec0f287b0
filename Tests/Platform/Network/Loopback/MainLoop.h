// Turns the main run loop (and with it the main dispatch queue) until a condition holds or the
// real-time limit passes. The network tests run on real time: each turn sleeps until work arrives.
#pragma once

#include <Dispatch/Clock.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSPort.h>
#include <Foundation/NSRunLoop.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

inline bool runMainLoopUntil(const std::function<bool()>& done, double seconds = 10.0) {
    if (DispatchClock::isVirtual()) {
        // Loopback servers live in real time. Switching here, with work already timed on the virtual
        // clock (an overlay's delay, a request's time-out), would move that work by however far real
        // time has run ahead of the virtual clock, which a loaded machine makes seconds: such a test
        // switches to real time before it starts anything.
        if (DispatchClock::pendingTimerCount() != 0) {
            ADD_FAILURE() << "runMainLoopUntil on the virtual clock with " << DispatchClock::pendingTimerCount()
                          << " timed entries pending: call DispatchClock::useRealTime() before the test starts them";
        }
        DispatchClock::useRealTime();
    }
    auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto runLoop = NSRunLoop::mainRunLoop();
    // A port gives the loop a source, so that a turn with nothing to do sleeps instead of returning.
    static const Ref<NSPort> keepAlive = [&] {
        auto port = NSMachPort::port();
        runLoop->addPortForMode(port, NSDefaultRunLoopMode());
        return Ref<NSPort>(port);
    }();
    while (!done()) {
        auto left = std::chrono::duration<double>(limit - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return done();
        }
        // The condition is often met on another thread (a delegate queue, a server's worker), which
        // does not wake the loop: look again at least every 20 ms.
        runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::dateWithTimeIntervalSinceNow(std::min(left, 0.02)));
    }
    return true;
}

// Turns the main run loop for a while, to let anything that would (wrongly) still arrive arrive.
inline void drainMainLoop(double seconds) {
    runMainLoopUntil([] { return false; }, seconds);
}
