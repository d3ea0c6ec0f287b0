// The network thread's look before sleeping, on a clock of the test's own: when it looks, for how
// long, and when it sleeps at once (an idle thread, a busy machine, a thread that lost its processor).
#include <Network/SpinBeforeSleep.h>

#include <gtest/gtest.h>

namespace {

using ns_net::SpinBeforeSleep;
using namespace std::chrono_literals;

// The world the policy reads. Every reading of the clock moves it on by `step`, as a look would.
struct World {
    static inline SpinBeforeSleep::Clock::time_point now{};
    static inline std::chrono::nanoseconds step = 1us;
    static inline double load = 0.5;
    static inline int loadReads = 0;
    static inline long switches = 0;

    static SpinBeforeSleep::Environment environment(unsigned processors = 8) {
        now = SpinBeforeSleep::Clock::time_point{} + 1h;
        step = 1us;
        load = 0.5;
        loadReads = 0;
        switches = 0;
        return {[] { return now += step; },
                [] {
                    ++loadReads;
                    return load;
                },
                [] { return switches; }, processors};
    }
};

class SpinBeforeSleepTest : public ::testing::Test {
protected:
    SpinBeforeSleep spin{World::environment()};

    // A wait that sleeps for `slept` (the look, if any, found nothing).
    void sleepingWait(std::chrono::nanoseconds slept) {
        (void)spin.lookBeforeSleeping([] { return false; });
        World::now += slept;
        spin.woke();
    }
    // A wait whose work turns up after `looks` looks; returns how many looks were made.
    int lookingWait(int looks, bool* found = nullptr) {
        int made = 0;
        bool ready = spin.lookBeforeSleeping([&] { return ++made > looks; });
        if (found) {
            *found = ready;
        }
        if (!ready) {
            spin.woke();
        }
        return made;
    }
};

TEST_F(SpinBeforeSleepTest, AThreadWhoseWaitsAreLongSleepsAtOnce) {
    int made = 0;
    EXPECT_FALSE(spin.lookBeforeSleeping([&] { return ++made > 0; }));
    EXPECT_EQ(made, 0); // nothing known yet: no look
    World::now += 50ms;
    spin.woke();
    for (size_t i = 0; i < SpinBeforeSleep::kHistory; ++i) {
        sleepingWait(50ms);
    }
    EXPECT_EQ(lookingWait(5), 0);
    EXPECT_EQ(World::loadReads, 0); // the load is not even read
}

TEST_F(SpinBeforeSleepTest, AShortWaitStartsLooksThatLastAtMostTheLimit) {
    sleepingWait(20us);
    bool found = false;
    EXPECT_EQ(lookingWait(10, &found), 11); // the eleventh look finds the work
    EXPECT_TRUE(found);

    // Work that does not turn up: the looks stop at the limit, a look a microsecond.
    auto before = World::now;
    int made = lookingWait(1'000'000, &found);
    EXPECT_FALSE(found);
    EXPECT_GE(World::now - before, SpinBeforeSleep::kLimit);
    EXPECT_LE(made, SpinBeforeSleep::kLimit / 1us + 1);
}

TEST_F(SpinBeforeSleepTest, LooksGoOnWhileOneOfTheLastWaitsWasShort) {
    sleepingWait(10us);
    for (size_t i = 0; i + 1 < SpinBeforeSleep::kHistory; ++i) {
        sleepingWait(5ms); // each of these looked first, and slept
    }
    EXPECT_GT(lookingWait(0), 0); // the short wait is still among the last ones
    // That wait was short as well; four long ones push both out.
    for (size_t i = 0; i < SpinBeforeSleep::kHistory; ++i) {
        sleepingWait(5ms);
    }
    EXPECT_EQ(lookingWait(0), 0);
}

TEST_F(SpinBeforeSleepTest, ABusyMachineSleepsAtOnceAndTheLoadIsReadAtMostEveryInterval) {
    sleepingWait(10us);
    World::load = 8.0; // as many runnable threads as processors
    EXPECT_EQ(lookingWait(0), 0);
    EXPECT_EQ(World::loadReads, 1);
    World::load = 1.0;
    EXPECT_EQ(lookingWait(0), 0); // read 100 ms ago at most: still busy
    EXPECT_EQ(World::loadReads, 1);
    World::now += SpinBeforeSleep::kLoadInterval;
    EXPECT_GT(lookingWait(0), 0);
    EXPECT_EQ(World::loadReads, 2);

    World::load = -1; // unknown
    World::now += SpinBeforeSleep::kLoadInterval;
    EXPECT_EQ(lookingWait(0), 0);
}

TEST_F(SpinBeforeSleepTest, ALookThatLostItsProcessorStopsLooksForAWhile) {
    sleepingWait(10us);
    // A long gap between two looks that was only this thread being slow (no context switch).
    int made = 0;
    bool found = spin.lookBeforeSleeping([&] {
        if (++made == 3) {
            World::now += 40us;
        }
        return made == 5;
    });
    EXPECT_TRUE(found);

    // The same gap with a context switch: the thread sleeps, and does not look for kQuiet.
    made = 0;
    found = spin.lookBeforeSleeping([&] {
        if (++made == 3) {
            World::now += 40us;
            ++World::switches;
        }
        return false;
    });
    EXPECT_FALSE(found);
    EXPECT_EQ(made, 3);
    spin.woke();
    sleepingWait(10us);
    EXPECT_EQ(lookingWait(0), 0);
    World::now += SpinBeforeSleep::kQuiet;
    EXPECT_GT(lookingWait(0), 0);
}

} // namespace
