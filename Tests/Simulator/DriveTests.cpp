// The simulator's driver of the platform clock: a long drive on virtual time runs for as long as
// its clock moves, however slowly the machine gets through it; only a clock that stands still for
// the guard's two minutes of wall time ends it early.
#include "Drive.h"

#include <Support/PlatformTestCase.h>

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <gtest/gtest.h>

#include <vector>

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

TEST_F(DriveTest, TheOperatorLooksAtTheSameInstantsWhateverEndedTheWaitBefore) {
    // A wait that ended at an odd instant (here a condition met 12.3 ms in; on the road, a request
    // seen on its way, which depends on how fast the real service answered) must not shift the
    // looks after it: they keep to whole multiples of 50 ms of the clock.
    const uint64_t start = DispatchClock::uptimeNanoseconds();
    bool early = false;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 12'300'000), dispatch_get_main_queue(), [&] { early = true; });
    EXPECT_TRUE(driveUntil([&] { return early; }, 1));
    EXPECT_EQ(DispatchClock::uptimeNanoseconds() - start, 12'300'000u);

    std::vector<uint64_t> looks; // the instants of the looks, each once
    driveUntil(
        [&] {
            uint64_t now = DispatchClock::uptimeNanoseconds() - start;
            if (looks.empty() || looks.back() != now) {
                looks.push_back(now);
            }
            return false;
        },
        0.2);
    EXPECT_EQ(looks,
              (std::vector<uint64_t>{12'300'000, 50'000'000, 100'000'000, 150'000'000, 200'000'000, 212'300'000}));
}
