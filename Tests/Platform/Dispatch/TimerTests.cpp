#include <Dispatch/Dispatch.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>
#include <Foundation/NSTimer.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <cmath>
#include <vector>

namespace {

class TimerTests : public PlatformTestCase {};

class TimerTarget : public NSObject {
    NS_OBJECT(TimerTarget, NSObject)
public:
    void tick(const Ref<NSTimer>& timer) {
        timers.push_back(timer);
        times.push_back(PlatformTestCase::elapsed());
    }
    void ping() { ++pings; }
    std::vector<Ref<NSTimer>> timers;
    std::vector<double> times;
    int pings = 0;
};

template <class F>
bool raises(F&& f, const char* name) {
    try {
        f();
    } catch (const NSException& e) {
        return e.name() == name;
    }
    return false;
}

} // namespace

NS_IMPLEMENT_CLASS(TimerTarget, NSObject) {
    b.method("tick:", &TimerTarget::tick);
    b.method("ping", &TimerTarget::ping);
}

TEST_F(TimerTests, OneShotTimerFiresOnceWithItsUserInfoAndThenIsInvalid) {
    auto target = make<TimerTarget>();
    auto timer =
        NSTimer::scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats(2, target, "tick:", "info"_ns, false);
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->timeInterval(), 0.0); // a one-shot timer reports no interval
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSinceReferenceDate(), DispatchClock::now() + 2);
    advance(1.9);
    EXPECT_TRUE(target->times.empty());
    advance(5);
    EXPECT_EQ(target->times, (std::vector<double>{2.0}));
    ASSERT_EQ(target->timers.size(), 1u);
    EXPECT_EQ(target->timers[0], timer);
    EXPECT_TRUE(cast<NSString>(timer->userInfo())->isEqualToString("info"_ns));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTests, RepeatingTimerHoldsItsTargetUntilInvalidated) {
    Weak<TimerTarget> weak;
    Ref<NSTimer> timer;
    {
        auto target = make<TimerTarget>();
        weak = target;
        timer = NSTimer::scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats(1, target, "ping", nullptr, true);
    }
    advance(3.5);
    ASSERT_TRUE(weak.lock());
    EXPECT_EQ(weak.lock()->pings, 3);
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 1.0);
    timer->invalidate();
    EXPECT_TRUE(weak.expired());
    advance(3);
    timer->invalidate(); // twice is harmless
}

TEST_F(TimerTests, BlockTimerInvalidatedFromItsOwnCallback) {
    std::vector<double> fires;
    auto timer = NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(0.25, true, [&](const Ref<NSTimer>& t) {
        fires.push_back(elapsed());
        if (fires.size() == 3) {
            t->invalidate();
        }
    });
    advance(2);
    EXPECT_EQ(fires, (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTests, InvalidatedFromAnotherThreadWhileItFires) {
    // The callback hands the invalidation to a background queue and waits for it: the running
    // callback finishes, and no later one starts.
    int fires = 0;
    NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(1, true, [&](const Ref<NSTimer>& timer) {
        ++fires;
        auto done = dispatch_semaphore_create(0);
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [timer, done] {
            timer->invalidate();
            dispatch_semaphore_signal(done);
        });
        dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
        EXPECT_FALSE(timer->isValid());
    });
    advance(5);
    EXPECT_EQ(fires, 1);
}

TEST_F(TimerTests, BusyRunLoopSkipsMissedFiresInsteadOfQueueingThem) {
    std::vector<double> fires;
    NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(1, true, [&](const Ref<NSTimer>& timer) {
        fires.push_back(elapsed());
        if (fires.size() == 1) {
            NSThread::sleepForTimeInterval(2.5); // blocks the main thread (the clock moves on)
        }
        if (fires.size() == 3) {
            timer->invalidate();
        }
    });
    advance(10);
    EXPECT_EQ(fires, (std::vector<double>{1.0, 4.0, 5.0}));
}

TEST_F(TimerTests, FireRunsTheCallbackWithoutChangingTheSchedule) {
    auto target = make<TimerTarget>();
    auto repeating =
        NSTimer::scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats(2, target, "ping", nullptr, true);
    repeating->fire();
    EXPECT_EQ(target->pings, 1);
    EXPECT_TRUE(repeating->isValid());
    advance(2);
    EXPECT_EQ(target->pings, 2);
    repeating->invalidate();

    auto oneShot = NSTimer::timerWithTimeIntervalTargetSelectorUserInfoRepeats(2, target, "ping", nullptr, false);
    oneShot->fire();
    EXPECT_EQ(target->pings, 3);
    EXPECT_FALSE(oneShot->isValid());
    oneShot->fire();
    EXPECT_EQ(target->pings, 3);
}

TEST_F(TimerTests, SettingTheFireDateMovesTheTimer) {
    int fires = 0;
    auto timer = NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(10, false, [&](const Ref<NSTimer>&) { ++fires; });
    timer->setFireDate(NSDate::dateWithTimeIntervalSinceNow(1));
    advance(1);
    EXPECT_EQ(fires, 1);

    auto unscheduled = NSTimer::timerWithTimeIntervalRepeatsBlock(1, false, [&](const Ref<NSTimer>&) { ++fires; });
    unscheduled->setFireDate(NSDate::dateWithTimeIntervalSinceNow(3));
    NSRunLoop::mainRunLoop()->addTimerForMode(unscheduled, NSDefaultRunLoopMode());
    advance(2.5);
    EXPECT_EQ(fires, 1);
    advance(0.5);
    EXPECT_EQ(fires, 2);
}

TEST_F(TimerTests, BadIntervalsAreClampedOrRefused) {
    auto noop = [](const Ref<NSTimer>&) {};
    EXPECT_TRUE(
        raises([&] { NSTimer::timerWithTimeIntervalRepeatsBlock(NAN, true, noop); }, NSInvalidArgumentException));
    EXPECT_TRUE(
        raises([&] { NSTimer::timerWithTimeIntervalRepeatsBlock(INFINITY, true, noop); }, NSInvalidArgumentException));
    EXPECT_TRUE(
        raises([&] { NSTimer::timerWithTimeIntervalRepeatsBlock(1, true, nullptr); }, NSInvalidArgumentException));
    EXPECT_TRUE(
        raises([&] { NSTimer::timerWithTimeIntervalTargetSelectorUserInfoRepeats(1, nullptr, "ping", nullptr, false); },
               NSInvalidArgumentException));
    EXPECT_DOUBLE_EQ(NSTimer::timerWithTimeIntervalRepeatsBlock(-5, true, noop)->timeInterval(),
                     NSTimer::kMinimumInterval);
    EXPECT_DOUBLE_EQ(NSTimer::timerWithTimeIntervalRepeatsBlock(0, true, noop)->timeInterval(),
                     NSTimer::kMinimumInterval);

    auto timer = NSTimer::timerWithTimeIntervalRepeatsBlock(1, true, noop);
    EXPECT_TRUE(raises([&] { timer->setTolerance(NAN); }, NSInvalidArgumentException));
    timer->setTolerance(-1);
    EXPECT_EQ(timer->tolerance(), 0.0);
    timer->setTolerance(0.1);
    EXPECT_EQ(timer->tolerance(), 0.1);
    EXPECT_TRUE(raises([&] { timer->setFireDate(nullptr); }, NSInvalidArgumentException));
}

TEST_F(TimerTests, ATimerBelongsToOneRunLoop) {
    auto timer = NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(1, false, [](const Ref<NSTimer>&) {});
    std::atomic<bool> raised{false};
    dispatch_sync(dispatch_queue_create("test.other", nullptr), [&] {
        raised = raises([&] { NSRunLoop::currentRunLoop()->addTimerForMode(timer, NSDefaultRunLoopMode()); },
                        NSInvalidArgumentException);
    });
    EXPECT_TRUE(raised);
    timer->invalidate();
    NSRunLoop::mainRunLoop()->addTimerForMode(timer, NSDefaultRunLoopMode()); // an invalid timer is ignored
    advance(2);
}

TEST_F(TimerTests, RemovingATimerFromItsLastModeUnschedulesIt) {
    int fires = 0;
    auto timer = NSTimer::timerWithTimeIntervalRepeatsBlock(1, true, [&](const Ref<NSTimer>&) { ++fires; });
    auto runLoop = NSRunLoop::mainRunLoop();
    runLoop->addTimerForMode(timer, NSDefaultRunLoopMode());
    runLoop->addTimerForMode(timer, "other"_ns);
    advance(1);
    runLoop->removeTimerForMode(timer, NSDefaultRunLoopMode());
    advance(2);
    EXPECT_EQ(fires, 1);
    runLoop->removeTimerForMode(timer, "other"_ns);
    EXPECT_TRUE(timer->isValid());
    EXPECT_FALSE(runLoop->runModeBeforeDate("other"_ns, NSDate::dateWithTimeIntervalSinceNow(5)));
    timer->invalidate();
}
