// The fixture every platform-level test starts from:
//   - the test's thread is the main thread, with the main run loop;
//   - the clock is a fresh virtual clock (1 January 2024, 00:00:00 UTC), so timers, dispatch_after
//     blocks and time-outs run only when the test moves time, in time order, and no test sleeps;
//   - helpers move the clock or run the main run loop until a condition holds.
// A test that needs real time (a loopback server, a real-thread hand-off) calls
// DispatchClock::useRealTime() first; runUntil then waits in real time.
//
// Header-only, so DXTestSupport need not link the platform.
#pragma once

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSRunLoop.h>

#include <gtest/gtest.h>

#include <functional>

class PlatformTestCase : public ::testing::Test {
protected:
    void SetUp() override {
        dispatch_adopt_current_thread_as_main();
        DispatchClock::useVirtualTime();
        NSRunLoop::mainRunLoop();
    }

    void TearDown() override {
        endTestOfProcess();
        // A test may read its resources from a bundle folder of its own; the next one reads the
        // build's again.
        NSSandbox::setBundlePath(nullptr);
    }

public:
    // Ends a test so that the next one in the same process starts as a fresh process would: finishes
    // what is ready now, runs the test-end handlers (the UI driver's windows, the application, the
    // device's state) and whatever they start, and drops what waits for a later time, so that nothing
    // of this test runs during the next one. Fixtures not built on this one (the simulator's roads)
    // call it from their own TearDown.
    static void endTestOfProcess() {
        DispatchClock::runUntilIdle();
        DispatchClock::endTest();
        DispatchClock::runUntilIdle();
        DispatchClock::discardPendingTimers();
    }

    // Moves the virtual clock forward, running everything that falls due on the way.
    static void advance(double seconds) { DispatchClock::advance(seconds); }
    // Runs everything that is ready now, without moving the clock.
    static void runUntilIdle() { DispatchClock::runUntilIdle(); }
    // Runs the main run loop (moving the virtual clock) until `condition` holds or `timeout` seconds
    // have passed; answers the condition.
    static bool runUntil(const std::function<bool()>& condition, double timeout = 10.0) {
        return DispatchClock::advanceUntil(condition, timeout);
    }
    // Seconds since the test's clock started.
    static double elapsed() { return DispatchClock::now() - DispatchClock::kVirtualStartDate; }
};
