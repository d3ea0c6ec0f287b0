#include "ReactiveTestSupport.h"

#include <atomic>
#include <thread>

using namespace rxtest;

TEST(RXTestScheduler, DirectlyScheduledUnitsRunInOrderOneStepAtATime) {
    auto scheduler = make<RXTestScheduler>();
    std::vector<int> order;
    scheduler->schedule([&] { order.push_back(1); });
    scheduler->schedule([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    scheduler->step();
    EXPECT_EQ(order, (std::vector<int>{1}));
    scheduler->step();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(scheduler->numberOfDirectlyScheduledBlocks(), 2u);
    scheduler->stepAll(); // nothing left: nothing happens
}

TEST(RXTestScheduler, DatesOrderUnitsAndDirectUnitsComeFirst) {
    auto scheduler = make<RXTestScheduler>();
    std::vector<std::string> order;
    Ref<NSDate> now = NSDate::date();
    scheduler->afterSchedule(now->dateByAddingTimeInterval(2), [&] { order.push_back("late"); });
    scheduler->afterSchedule(now->dateByAddingTimeInterval(1), [&] { order.push_back("early"); });
    scheduler->afterSchedule(now->dateByAddingTimeInterval(1), [&] { order.push_back("early too"); });
    scheduler->schedule([&] { order.push_back("direct"); });
    scheduler->stepAll();
    EXPECT_EQ(order, (std::vector<std::string>{"direct", "early", "early too", "late"}));
}

TEST(RXTestScheduler, ACancelledUnitNeverRunsAndWorkRunsWithTheSchedulerAsCurrent) {
    auto scheduler = make<RXTestScheduler>();
    bool cancelledRan = false;
    Ref<RXScheduler> current;
    scheduler->schedule([&] { cancelledRan = true; })->dispose();
    scheduler->schedule([&] { current = RXScheduler::currentScheduler(); });
    scheduler->stepAll();
    EXPECT_FALSE(cancelledRan);
    EXPECT_EQ(current.get(), scheduler.get());
    EXPECT_EQ(RXScheduler::currentScheduler().get(), RXScheduler::mainThreadScheduler().get());
}

TEST(RXTestScheduler, WorkMayScheduleMoreWork) {
    auto scheduler = make<RXTestScheduler>();
    std::vector<int> order;
    scheduler->schedule([&] {
        order.push_back(1);
        scheduler->schedule([&] { order.push_back(3); });
    });
    scheduler->schedule([&] { order.push_back(2); });
    scheduler->stepAll();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RXTestScheduler, RepeatingUnitsRunAtEveryIntervalUntilDisposed) {
    auto scheduler = make<RXTestScheduler>();
    std::vector<double> times;
    Ref<NSDate> start = NSDate::date();
    Ref<RXDisposable> timer;
    timer = scheduler->afterRepeatingEveryWithLeewaySchedule(start, 0.5, 0, [&] {
        times.push_back(0); // the count is what matters
        if (times.size() == 4) {
            timer->dispose();
        }
    });
    scheduler->step(10);
    EXPECT_EQ(times.size(), 4u);
    EXPECT_EQ(scheduler->numberOfScheduledActions(), 0u);
}

TEST(RXTestScheduler, DeallocationRunsWhatIsLeft) {
    bool ran = false;
    {
        auto scheduler = make<RXTestScheduler>();
        scheduler->schedule([&] { ran = true; });
    }
    EXPECT_TRUE(ran);
}

TEST(RXTestScheduler, ActionDescribesItsDate) {
    auto action = make<RXTestSchedulerAction>(NSDate::dateWithTimeIntervalSinceReferenceDate(0), [] {});
    EXPECT_NE(action->description()->str().find("{ date: 2001-01-01 00:00:00 +0000 }"), std::string::npos);
    EXPECT_FALSE(action->disposable()->isDisposed());
}

TEST(RXImmediateScheduler, RunsAtOnceAndRepeatsRecursionIteratively) {
    auto scheduler = RXScheduler::immediateScheduler();
    bool ran = false;
    EXPECT_FALSE(scheduler->schedule([&] { ran = true; }));
    EXPECT_TRUE(ran);
    int runs = 0;
    scheduler->scheduleRecursiveBlock([&](const std::function<void()>& reschedule) {
        if (++runs < 1000) {
            reschedule();
        }
    });
    EXPECT_EQ(runs, 1000);
    EXPECT_FALSE(scheduler->afterRepeatingEveryWithLeewaySchedule(NSDate::date(), 1, 0, [] {}));
}

TEST(RXImmediateScheduler, AfterSleepsUntilTheDateOnVirtualTime) {
    VirtualTime time;
    double before = NSDate::now();
    bool ran = false;
    RXScheduler::immediateScheduler()->afterDelaySchedule(3.0, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_GE(NSDate::now() - before, 3.0);
}

TEST(RXScheduler, CurrentSchedulerOnMainAndBackgroundThreads) {
    EXPECT_TRUE(RXScheduler::isOnMainThread());
    EXPECT_EQ(RXScheduler::currentScheduler().get(), RXScheduler::mainThreadScheduler().get());
    Ref<RXScheduler> onThread = RXScheduler::mainThreadScheduler();
    bool mainThere = true;
    std::thread([&] {
        onThread = RXScheduler::currentScheduler();
        mainThere = RXScheduler::isOnMainThread();
    }).join();
    EXPECT_FALSE(onThread);
    EXPECT_FALSE(mainThere);
}

TEST(RXScheduler, PerformAsCurrentSchedulerRestoresThePreviousOne) {
    auto test = make<RXTestScheduler>();
    Ref<RXScheduler> inner;
    test->performAsCurrentScheduler([&] { inner = RXScheduler::currentScheduler(); });
    EXPECT_EQ(inner.get(), test.get());
    EXPECT_EQ(RXScheduler::currentScheduler().get(), RXScheduler::mainThreadScheduler().get());
}

TEST(RXScheduler, EverySchedulerCallMakesANewOneAndNamesFollowRoles) {
    EXPECT_NE(RXScheduler::scheduler().get(), RXScheduler::scheduler().get());
    EXPECT_EQ(RXScheduler::mainThreadScheduler().get(), RXScheduler::mainThreadScheduler().get());
    EXPECT_EQ(make<RXScheduler>()->name()->str(), "com.celvix.reactive.scheduler.anonymous");
    EXPECT_NE(RXScheduler::mainThreadScheduler()->description()->str().find("mainThreadScheduler"), std::string::npos);
    auto named = RXScheduler::schedulerWithPriorityName(RXSchedulerPriorityLow, "com.example.worker"_ns);
    EXPECT_EQ(named->name()->str(), "com.example.worker");
    auto unnamed = make<RXTargetQueueScheduler>(nullptr, dispatch_get_main_queue());
    EXPECT_NE(unnamed->name()->str().find("RXTargetQueueScheduler("), std::string::npos);
}

TEST(RXSubscriptionScheduler, RunsInlineWithACurrentSchedulerAndLaterWithout) {
    auto scheduler = RXScheduler::subscriptionScheduler();
    bool ran = false;
    EXPECT_FALSE(scheduler->schedule([&] { ran = true; }));
    EXPECT_TRUE(ran);
    std::atomic<bool> later{false};
    std::thread::id caller, runner;
    std::thread([&] {
        caller = std::this_thread::get_id();
        scheduler->schedule([&] {
            runner = std::this_thread::get_id();
            later = true;
        });
    }).join();
    DispatchClock::advanceUntil([&] { return later.load(); }, 5.0);
    EXPECT_TRUE(later.load());
    EXPECT_NE(runner, caller); // handed to the background scheduler, not run inline
}

TEST(RXMainThreadScheduler, ScheduleReturnsFirstThenRunsOnTheMainThreadAsCurrent) {
    VirtualTime time;
    auto main = RXScheduler::mainThreadScheduler();
    bool ran = false;
    bool onMain = false;
    Ref<RXScheduler> current;
    main->schedule([&] {
        ran = true;
        onMain = NSThread::isMainThread();
        current = RXScheduler::currentScheduler();
    });
    EXPECT_FALSE(ran);
    DispatchClock::runUntilIdle();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(onMain);
    EXPECT_EQ(current.get(), main.get());
}

TEST(RXMainThreadScheduler, DisposingBeforeItRunsCancelsTheUnit) {
    VirtualTime time;
    bool ran = false;
    RXScheduler::mainThreadScheduler()->schedule([&] { ran = true; })->dispose();
    RXScheduler::mainThreadScheduler()->afterDelaySchedule(1.0, [&] { ran = true; })->dispose();
    DispatchClock::advance(2.0);
    EXPECT_FALSE(ran);
}

TEST(RXMainThreadScheduler, DelayedUnitsRunAtTheirTimeInOrder) {
    VirtualTime time;
    std::vector<std::string> order;
    auto main = RXScheduler::mainThreadScheduler();
    double start = NSDate::now();
    std::vector<double> at;
    main->afterDelaySchedule(2.0, [&] {
        order.push_back("two");
        at.push_back(NSDate::now() - start);
    });
    main->afterDelaySchedule(1.0, [&] {
        order.push_back("one");
        at.push_back(NSDate::now() - start);
    });
    DispatchClock::advance(0.5);
    EXPECT_TRUE(order.empty());
    DispatchClock::advance(2.0);
    EXPECT_EQ(order, (std::vector<std::string>{"one", "two"}));
    ASSERT_EQ(at.size(), 2u);
    EXPECT_NEAR(at[0], 1.0, 1e-6);
    EXPECT_NEAR(at[1], 2.0, 1e-6);
}

TEST(RXMainThreadScheduler, RepeatingTimerFiresEveryIntervalUntilCancelled) {
    VirtualTime time;
    int ticks = 0;
    auto timer = RXScheduler::mainThreadScheduler()->afterRepeatingEveryWithLeewaySchedule(
        NSDate::dateWithTimeIntervalSinceNow(1.0), 1.0, 0.0, [&] { ++ticks; });
    DispatchClock::advance(3.5);
    EXPECT_EQ(ticks, 3);
    timer->dispose();
    DispatchClock::advance(3.0);
    EXPECT_EQ(ticks, 3);
}

TEST(RXQueueScheduler, BackgroundSchedulerRunsWorkSeriallyOffTheMainThread) {
    auto scheduler = RXScheduler::scheduler();
    std::atomic<int> count{0};
    std::atomic<bool> offMain{true};
    std::vector<int> order;
    std::mutex lock;
    for (int i = 0; i < 50; ++i) {
        scheduler->schedule([&, i] {
            if (NSThread::isMainThread()) {
                offMain = false;
            }
            std::lock_guard<std::mutex> guard(lock);
            order.push_back(i);
            count.fetch_add(1);
        });
    }
    DispatchClock::advanceUntil([&] { return count.load() == 50; }, 10.0);
    EXPECT_EQ(count.load(), 50);
    EXPECT_TRUE(offMain.load());
    std::lock_guard<std::mutex> guard(lock);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    }
}

TEST(RXScheduler, RecursiveRequestsDuringOneRunBecomeSeparateUnits) {
    auto scheduler = make<RXTestScheduler>();
    int runs = 0;
    scheduler->scheduleRecursiveBlock([&](const std::function<void()>& reschedule) {
        if (++runs == 1) {
            reschedule();
            reschedule();
            reschedule();
        }
    });
    scheduler->step();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scheduler->numberOfScheduledActions(), 3u);
    scheduler->stepAll();
    EXPECT_EQ(runs, 4);
}

TEST(RXScheduler, DisposingARecursiveScheduleStopsIt) {
    auto scheduler = make<RXTestScheduler>();
    int runs = 0;
    Ref<RXDisposable> recursion = scheduler->scheduleRecursiveBlock([&](const std::function<void()>& reschedule) {
        ++runs;
        reschedule();
    });
    scheduler->step(3);
    recursion->dispose();
    scheduler->step(3);
    EXPECT_EQ(runs, 3);
}
