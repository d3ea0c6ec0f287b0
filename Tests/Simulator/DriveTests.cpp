// The simulator's driver of the platform clock: a long drive on virtual time runs for as long as
// its clock moves, however slowly the machine gets through it; only a clock that stands still for
// the guard's two minutes of wall time ends it early.
#include "Drive.h"

#include <Support/PlatformTestCase.h>

#include <Dispatch/Clock.h>

#include <gtest/gtest.h>

namespace {

class DriveTest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        // Every look at the wall clock finds ten more seconds gone: a machine so loaded that the
        // guard's two minutes pass within a dozen steps.
        setDriveWallClockForTesting([this] {
            wall_ += std::chrono::seconds(10);
            return wall_;
        });
    }
    void TearDown() override {
        setDriveWallClockForTesting(nullptr);
        PlatformTestCase::TearDown();
    }

    std::chrono::steady_clock::time_point wall_{};
};

} // namespace

TEST_F(DriveTest, ALongWaitWhoseClockMovesIsNotCutShortByTheWallClock) {
    double start = DispatchClock::uptime();
    int steps = 0;
    EXPECT_FALSE(driveUntil([&] { return ++steps < 0; }, 600));
    // A look every 50 ms of virtual time: thousands of steps, hours of "wall time".
    EXPECT_GT(steps, 1000);
    EXPECT_NEAR(DispatchClock::uptime() - start, 600, 0.06);
}

TEST_F(DriveTest, TheWaitEndsAsSoonAsItsConditionHolds) {
    double start = DispatchClock::uptime();
    EXPECT_TRUE(driveUntil([&] { return DispatchClock::uptime() - start >= 2; }, 600));
    EXPECT_LT(DispatchClock::uptime() - start, 2.1);
}
