#include <Dispatch/Dispatch.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSThread.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

class VirtualTimeTests : public PlatformTestCase {};

dispatch_time_t after(double seconds) {
    return dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC));
}

template <class F>
bool raises(F&& f, const char* name) {
    try {
        f();
    } catch (const NSException& e) {
        return e.name() == name;
    }
    return false;
}

// A log that background queues may write to.
struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
    void add(std::string line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
    }
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::move(lines);
    }
};

std::string at(const std::string& what) {
    return what + "@" + std::to_string(std::lround(PlatformTestCase::elapsed() * 1000));
}

} // namespace

TEST_F(VirtualTimeTests, TheClockStandsStillUntilMoved) {
    double start = DispatchClock::now();
    EXPECT_EQ(start, DispatchClock::kVirtualStartDate);
    EXPECT_EQ(NSDate::date()->timeIntervalSinceReferenceDate(), start);
    runUntilIdle();
    EXPECT_EQ(DispatchClock::now(), start);
    uint64_t uptime = DispatchClock::uptimeNanoseconds();
    advance(2.5);
    EXPECT_DOUBLE_EQ(DispatchClock::now(), start + 2.5);
    EXPECT_EQ(DispatchClock::uptimeNanoseconds() - uptime, 2500000000u);
}

TEST_F(VirtualTimeTests, AfterBlocksRunWhenDueAndNotBefore) {
    bool ran = false;
    dispatch_after(after(1.0), dispatch_get_main_queue(), [&] { ran = true; });
    advance(0.999);
    EXPECT_FALSE(ran);
    advance(0.001);
    EXPECT_TRUE(ran);
}

TEST_F(VirtualTimeTests, DueWorkRunsInTimeOrderOnItsOwnQueue) {
    Log log;
    auto serial = dispatch_queue_create("test.serial", nullptr);
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0);
    dispatch_after(after(3), dispatch_get_main_queue(), [&] { log.add(at("main3")); });
    dispatch_after(after(1), serial, [&] { log.add(at(NSThread::isMainThread() ? "bad" : "serial1")); });
    dispatch_after(after(2), global, [&] { log.add(at("global2")); });
    dispatch_after(after(2), dispatch_get_main_queue(), [&] { log.add(at("main2")); });
    dispatch_after(after(1), dispatch_get_main_queue(), [&] { log.add(at("main1")); });
    advance(5);
    // Same deadline: in the order they were scheduled.
    EXPECT_EQ(log.take(),
              (std::vector<std::string>{"serial1@1000", "main1@1000", "global2@2000", "main2@2000", "main3@3000"}));
}

TEST_F(VirtualTimeTests, WorkScheduledByDueWorkKeepsTheOrder) {
    Log log;
    auto queue = dispatch_queue_create("test.chain", nullptr);
    std::function<void(int)> step = [&](int n) {
        log.add(at("step" + std::to_string(n)));
        if (n < 3) {
            dispatch_after(after(0.5), queue, [&, n] { step(n + 1); });
        }
    };
    dispatch_after(after(1), queue, [&] { step(1); });
    dispatch_after(after(1.75), dispatch_get_main_queue(), [&] { log.add(at("main")); });
    advance(10);
    EXPECT_EQ(log.take(), (std::vector<std::string>{"step1@1000", "step2@1500", "main@1750", "step3@2000"}));
}

TEST_F(VirtualTimeTests, TheSameScenarioGivesTheSameResultEveryTime) {
    auto scenario = [] {
        Log log;
        auto a = dispatch_queue_create("test.a", nullptr);
        auto b = dispatch_queue_create("test.b", DISPATCH_QUEUE_CONCURRENT);
        auto group = dispatch_group_create();
        for (int i = 0; i < 20; ++i) {
            dispatch_after(after(0.1 * (i % 7)), i % 2 ? a : b, [&, i] {
                log.add(at("t" + std::to_string(i)));
                dispatch_group_async(group, dispatch_get_main_queue(),
                                     [&, i] { log.add(at("m" + std::to_string(i))); });
            });
        }
        advance(1);
        return log.take();
    };
    auto first = scenario();
    DispatchClock::useVirtualTime();
    auto second = scenario();
    EXPECT_EQ(first.size(), 40u);
    EXPECT_EQ(first, second);
}

TEST_F(VirtualTimeTests, AProcessThatStartsOnTheVirtualClockStartsAtTheSameReading) {
    // The statements run in a process of their own (the test run again): the fixture's clock is the
    // first reading of the process, so the machine's uptime does not reach it; once the real clock
    // has been read, a new virtual clock goes on from it instead, keeping what was stamped in order.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr uint64_t kAnHour = 3600ULL * 1000000000ULL;
    EXPECT_EXIT(std::_Exit(DispatchClock::uptimeNanoseconds() == kAnHour ? 0 : 1), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            DispatchClock::useRealTime();
            uint64_t real = DispatchClock::uptimeNanoseconds();
            DispatchClock::useVirtualTime();
            std::_Exit(DispatchClock::uptimeNanoseconds() >= real ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(VirtualTimeTests, RunUntilIdleRunsWhatIsDueButDoesNotMoveTheClock) {
    int ran = 0;
    dispatch_after(DISPATCH_TIME_NOW, dispatch_get_main_queue(), [&] { ++ran; });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, -5), dispatch_get_main_queue(), [&] { ++ran; });
    dispatch_after(after(0.001), dispatch_get_main_queue(), [&] { ++ran; });
    dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), [&] { ++ran; });
    double before = DispatchClock::now();
    runUntilIdle();
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(DispatchClock::now(), before);
    EXPECT_EQ(DispatchClock::pendingTimerCount(), 1u); // the one a millisecond away; FOREVER is dropped
}

TEST_F(VirtualTimeTests, DispatchTimeArithmeticSaturates) {
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, INT64_MAX), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -1), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, INT64_MIN), 1u);
    uint64_t now = DispatchClock::uptimeNanoseconds();
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, 5), now + 5);
    EXPECT_EQ(dispatch_time(dispatch_time(DISPATCH_TIME_NOW, 5), 10), now + 15);
}

TEST_F(VirtualTimeTests, WallClockTimesFollowTheVirtualDate) {
    struct timespec ts;
    double unixNow = DispatchClock::now() + 978307200.0;
    ts.tv_sec = static_cast<time_t>(unixNow) + 2;
    ts.tv_nsec = 0;
    bool ran = false;
    dispatch_after(dispatch_walltime(&ts, 0), dispatch_get_main_queue(), [&] { ran = true; });
    dispatch_after(dispatch_walltime(nullptr, 3 * NSEC_PER_SEC), dispatch_get_main_queue(), [] {});
    advance(1.999);
    EXPECT_FALSE(ran);
    advance(0.001);
    EXPECT_TRUE(ran);
    EXPECT_EQ(DispatchClock::pendingTimerCount(), 1u);
}

TEST_F(VirtualTimeTests, AdvanceRefusesBadIntervalsAndOtherThreads) {
    EXPECT_TRUE(raises([] { DispatchClock::advance(-1); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { DispatchClock::advance(NAN); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { DispatchClock::advance(INFINITY); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { DispatchClock::useVirtualTime(NAN); }, NSInvalidArgumentException));
    std::atomic<bool> raisedOffMain{false};
    dispatch_sync(dispatch_queue_create("test.off-main", nullptr),
                  [&] { raisedOffMain = raises([] { DispatchClock::advance(1); }, NSInternalInconsistencyException); });
    EXPECT_TRUE(raisedOffMain);
    DispatchClock::useRealTime();
    EXPECT_TRUE(raises([] { DispatchClock::advance(1); }, NSInternalInconsistencyException));
}

TEST_F(VirtualTimeTests, BackgroundWaitsTimeOutOnTheVirtualClock) {
    auto never = dispatch_semaphore_create(0);
    auto group = dispatch_group_create();
    dispatch_group_enter(group);
    std::atomic<long> semaphoreResult{-1};
    std::atomic<long> groupResult{-1};
    std::atomic<double> semaphoreAt{0};
    std::atomic<double> groupAt{0};
    std::atomic<double> sleptUntil{0};
    dispatch_async(dispatch_queue_create("test.sem", nullptr), [&] {
        semaphoreResult = dispatch_semaphore_wait(never, after(5));
        semaphoreAt = elapsed();
    });
    dispatch_async(dispatch_queue_create("test.group", nullptr), [&] {
        groupResult = dispatch_group_wait(group, after(3));
        groupAt = elapsed();
    });
    NSThread::detachNewThreadWithBlock([&] {
        NSThread::sleepForTimeInterval(4);
        sleptUntil = elapsed();
    });
    advance(2.9);
    EXPECT_EQ(groupResult, -1);
    advance(10);
    EXPECT_NE(semaphoreResult, 0);
    EXPECT_NE(groupResult, 0);
    EXPECT_DOUBLE_EQ(semaphoreAt, 5.0);
    EXPECT_DOUBLE_EQ(groupAt, 3.0);
    EXPECT_DOUBLE_EQ(sleptUntil, 4.0);
    dispatch_group_leave(group);
}

TEST_F(VirtualTimeTests, AMainThreadWaitMovesTheClock) {
    auto semaphore = dispatch_semaphore_create(0);
    dispatch_after(after(1.5), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [&] { dispatch_semaphore_signal(semaphore); });
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, after(10)), 0);
    EXPECT_DOUBLE_EQ(elapsed(), 1.5);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, after(2)), 0);
    EXPECT_DOUBLE_EQ(elapsed(), 3.5);
    NSThread::sleepForTimeInterval(0.5);
    EXPECT_DOUBLE_EQ(elapsed(), 4.0);

    // A wait on the main thread does not run the main queue meanwhile.
    bool mainRan = false;
    dispatch_async(dispatch_get_main_queue(), [&] { mainRan = true; });
    NSThread::sleepForTimeInterval(1);
    EXPECT_FALSE(mainRan);
    runUntilIdle();
    EXPECT_TRUE(mainRan);
}

TEST_F(VirtualTimeTests, ABlockedSerialQueueDoesNotHoldTheClock) {
    // The first block waits for a time-out; the second waits behind it. The clock must still move.
    auto queue = dispatch_queue_create("test.blocked", nullptr);
    auto semaphore = dispatch_semaphore_create(0);
    Log log;
    dispatch_async(queue, [&] {
        dispatch_semaphore_wait(semaphore, after(2));
        log.add(at("first"));
    });
    dispatch_async(queue, [&] { log.add(at("second")); });
    advance(3);
    EXPECT_EQ(log.take(), (std::vector<std::string>{"first@2000", "second@2000"}));
}

TEST_F(VirtualTimeTests, AdvanceUntilStopsAtTheCondition) {
    int ticks = 0;
    for (int i = 1; i <= 10; ++i) {
        dispatch_after(after(i), dispatch_get_main_queue(), [&] { ++ticks; });
    }
    EXPECT_TRUE(runUntil([&] { return ticks == 3; }, 100));
    EXPECT_DOUBLE_EQ(elapsed(), 3.0);
    EXPECT_FALSE(runUntil([&] { return ticks == 100; }, 2.5));
    EXPECT_DOUBLE_EQ(elapsed(), 5.5);
    EXPECT_EQ(ticks, 5);
}

TEST_F(VirtualTimeTests, ManyTimersRunInTimeOrder) {
    std::vector<int> fired;
    const int count = 20000;
    for (int i = 0; i < count; ++i) {
        int slot = (i * 7919) % count; // a scrambled order of deadlines
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, (slot + 1) * 1000), dispatch_get_main_queue(),
                       [&fired, slot] { fired.push_back(slot); });
    }
    advance(1);
    ASSERT_EQ(fired.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(fired[i], i);
    }
}

TEST_F(VirtualTimeTests, AdvanceUntilUptimeReachesItsPointToTheNanosecond) {
    const uint64_t start = DispatchClock::uptimeNanoseconds();
    const uint64_t target = start + 123'456'789;
    std::vector<uint64_t> fired;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 123'456'789), dispatch_get_main_queue(),
                   [&] { fired.push_back(DispatchClock::uptimeNanoseconds()); });
    EXPECT_FALSE(DispatchClock::advanceUntilUptime([] { return false; }, target));
    EXPECT_EQ(DispatchClock::uptimeNanoseconds(), target);
    EXPECT_EQ(fired, std::vector<uint64_t>{target});

    // A point already passed runs what is ready without moving the clock back or on.
    bool ran = false;
    dispatch_async(dispatch_get_main_queue(), [&] { ran = true; });
    EXPECT_FALSE(DispatchClock::advanceUntilUptime([] { return false; }, start));
    EXPECT_TRUE(ran);
    EXPECT_EQ(DispatchClock::uptimeNanoseconds(), target);
}

// On virtual time the main thread and the background take turns: what main-thread code hands to a
// queue starts once that code waits, and a main-queue block starts once the background work of its
// instant is done. So what either side finds never depends on how far the other got. Each case gives
// the other thread a tenth of a second of real time to break the rule, as a loaded machine would.
TEST_F(VirtualTimeTests, WorkHandedToTheBackgroundStartsOnlyOnceTheMainThreadWaits) {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        std::lock_guard lock(mutex);
        started = true;
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        EXPECT_FALSE(changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return started; }));
    }
    runUntilIdle();
    std::lock_guard lock(mutex);
    EXPECT_TRUE(started);
}

TEST_F(VirtualTimeTests, AMainQueueBlockWaitsForTheBackgroundWorkOfItsInstant) {
    std::mutex mutex;
    std::condition_variable changed;
    bool mainRan = false;
    std::atomic<bool> backgroundDone{false};
    bool sawBackgroundDone = false;
    dispatch_after(after(1), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        dispatch_async(dispatch_get_main_queue(), [&] {
            sawBackgroundDone = backgroundDone.load();
            std::lock_guard lock(mutex);
            mainRan = true;
            changed.notify_all();
        });
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return mainRan; });
        backgroundDone = true;
    });
    advance(2);
    std::lock_guard lock(mutex);
    EXPECT_TRUE(mainRan);
    EXPECT_TRUE(sawBackgroundDone);
}

// Work outside the platform's threads (a reply on its way over the network) holds the clock when the
// host waits for it: the app meets the reply at the instant it asked, before anything timed after
// it, however long the reply takes in real time.
TEST_F(VirtualTimeTests, OutsideWorkHoldsTheClockUntilItEnds) {
    Log log;
    DispatchClock::setWaitForOutsideWork(true);
    DispatchClock::beginOutsideWork();
    dispatch_after(after(0.5), dispatch_get_main_queue(), [&] { log.add(at("timer")); });
    std::thread reply([&] {
        // The reply's real latency.
        std::mutex mutex;
        std::condition_variable never;
        std::unique_lock lock(mutex);
        never.wait_for(lock, std::chrono::milliseconds(50), [] { return false; });
        dispatch_async(dispatch_get_main_queue(), [&] { log.add(at("reply")); });
        DispatchClock::endOutsideWork();
    });
    advance(1);
    reply.join();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"reply@0", "timer@500"}));
    // An end with nothing counted (work begun on real time) gives nothing back.
    DispatchClock::endOutsideWork();
    advance(1);
    EXPECT_DOUBLE_EQ(elapsed(), 2.0);

    // A fresh clock does not wait for it: a test of a time-out moves on while a reply never comes.
    DispatchClock::useVirtualTime();
    DispatchClock::beginOutsideWork();
    advance(1);
    DispatchClock::endOutsideWork();
    EXPECT_DOUBLE_EQ(elapsed(), 1.0); // from the fresh clock's start
}
