#include "ReactiveTestSupport.h"

#include <atomic>
#include <thread>

using namespace rxtest;

namespace {
// Records values with the virtual time (seconds since `start`) at which they arrived.
struct TimedRecorder {
    double start = NSDate::now();
    std::vector<std::string> events;
    Ref<RXDisposable> subscribe(const Ref<RXSignal>& signal) {
        return signal->subscribeNextErrorCompleted(
            [this](const id& v) { events.push_back(text(v) + "@" + at()); },
            [this](const Ref<NSError>& e) { events.push_back("error:" + std::to_string(e->code()) + "@" + at()); },
            [this] { events.push_back("completed@" + at()); });
    }
    std::string at() const {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", NSDate::now() - start);
        return buffer;
    }
};

// Sends the values at the given times (seconds from now) on the main thread, then completes at
// `end` (or errs with code 9 when `fail`).
Ref<RXSignal> timed(std::vector<std::pair<double, int>> items, double end, bool fail = false) {
    return RXSignal::createSignal([items, end, fail](const Ref<RXSubscriber>& subscriber) {
        auto disposable = RXCompoundDisposable::compoundDisposable();
        for (const auto& [time, value] : items) {
            int v = value;
            disposable->addDisposable(RXScheduler::mainThreadScheduler()->afterDelaySchedule(
                time, [subscriber, v] { subscriber->sendNext(box(v)); }));
        }
        if (end >= 0) {
            disposable->addDisposable(RXScheduler::mainThreadScheduler()->afterDelaySchedule(end, [subscriber, fail] {
                if (fail) {
                    subscriber->sendError(makeError(9));
                } else {
                    subscriber->sendCompleted();
                }
            }));
        }
        return disposable;
    });
}
} // namespace

TEST(RXSignalInterval, TakeThreeSendsDatesOneIntervalApartThenStopsTheTimer) {
    VirtualTime time;
    TimedRecorder r;
    std::vector<double> dates;
    RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
        ->take(3)
        ->subscribeNextCompleted(
            [&](const id& v) { dates.push_back(cast<NSDate>(v)->timeIntervalSinceReferenceDate() - r.start); },
            [&] { r.events.push_back("completed@" + r.at()); });
    DispatchClock::advance(10.0);
    ASSERT_EQ(dates.size(), 3u);
    EXPECT_NEAR(dates[0], 1.0, 1e-6);
    EXPECT_NEAR(dates[1], 2.0, 1e-6);
    EXPECT_NEAR(dates[2], 3.0, 1e-6);
    EXPECT_EQ(r.events, (Events{"completed@3.0"}));
}

TEST(RXSignalInterval, OnTheTestSchedulerEachStepIsOneTick) {
    auto scheduler = make<RXTestScheduler>();
    int ticks = 0;
    auto subscription = RXSignal::intervalOnScheduler(1.0, scheduler)->subscribeNext([&](const id&) { ++ticks; });
    scheduler->step(5);
    EXPECT_EQ(ticks, 5);
    subscription->dispose();
    scheduler->step(5);
    EXPECT_EQ(ticks, 5);
}

TEST(RXSignalTimeout, ErrsWithCodeOneAfterTheIntervalWhileValuesPassBefore) {
    VirtualTime time;
    TimedRecorder r;
    bool cleanedUp = false;
    auto source = timed({{0.5, 1}, {1.5, 2}, {3.5, 3}}, -1)->finally([] {});
    auto watched = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
        auto inner = source->subscribe(subscriber);
        return RXDisposable::disposableWithBlock([&, inner] {
            cleanedUp = true;
            inner->dispose();
        });
    });
    Ref<NSError> error;
    watched->timeoutOnScheduler(2.0, RXScheduler::mainThreadScheduler())
        ->subscribeNextError([&](const id& v) { r.events.push_back(text(v) + "@" + r.at()); },
                             [&](const Ref<NSError>& e) {
                                 error = e;
                                 r.events.push_back("error@" + r.at());
                             });
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"1@0.5", "2@1.5", "error@2.0"}));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString(RXSignalErrorDomain()));
    EXPECT_EQ(error->code(), RXSignalErrorTimedOut);
    EXPECT_EQ(error->userInfo()->count(), 0u);
    EXPECT_TRUE(cleanedUp);
}

TEST(RXSignalTimeout, ASourceThatCompletesInTimeSendsNoErrorLater) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(timed({{0.5, 1}}, 1.0)->timeoutOnScheduler(2.0, RXScheduler::mainThreadScheduler()));
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"1@0.5", "completed@1.0"}));
}

TEST(RXSignalTimeout, DeprecatedTimeoutErrsTheSameWay) {
    VirtualTime time;
    std::atomic<NSInteger> code{0};
    RXSignal::never()->timeout(1.0)->subscribeError([&](const Ref<NSError>& e) { code = e->code(); });
    DispatchClock::advanceUntil([&] { return code.load() != 0; }, 3.0);
    EXPECT_EQ(code.load(), RXSignalErrorTimedOut);
}

TEST(RXSignalDelay, DelaysValuesAndCompletionOnTheCurrentScheduler) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(timed({{0.0, 1}, {1.0, 2}}, 1.5)->delay(2.0));
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"1@2.0", "2@3.0", "completed@3.5"}));
}

TEST(RXSignalDelay, AnErrorOvertakesDelayedValues) {
    VirtualTime time;
    TimedRecorder r;
    auto source = RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscriber->sendNext(box(1));
        subscriber->sendError(makeError(3));
        return nullptr;
    });
    r.subscribe(source->delay(1.0));
    DispatchClock::advance(2.0);
    EXPECT_EQ(r.events, (Events{"error:3@0.0"}));
}

TEST(RXSignalDelay, DisposingCancelsPendingDeliveries) {
    VirtualTime time;
    TimedRecorder r;
    auto subscription = r.subscribe(RXSignal::return_(box(1))->delay(1.0));
    subscription->dispose();
    DispatchClock::advance(2.0);
    EXPECT_TRUE(r.events.empty());
}

TEST(RXSignalThrottle, SendsAValueOnlyAfterAQuietInterval) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(timed({{0.0, 0}, {0.5, 5}, {2.0, 20}}, 4.0)->throttle(1.0));
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"5@1.5", "20@3.0", "completed@4.0"}));
}

TEST(RXSignalThrottle, CompletionFlushesThePendingValue) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(timed({{0.0, 0}, {0.5, 5}, {2.0, 20}}, 2.2)->throttle(1.0));
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"5@1.5", "20@2.2", "completed@2.2"}));
}

TEST(RXSignalThrottle, AValueFailingTheTestGoesOutAtOnceAndDropsThePendingOne) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(timed({{0.0, 1}, {0.5, 100}}, 3.0)->throttleValuesPassingTest(1.0, [](const id& v) {
        return unbox<int>(v) < 100;
    }));
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"100@0.5", "completed@3.0"}));
}

TEST(RXSignalThrottle, AnErrorDropsThePendingValue) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(timed({{0.0, 1}}, 0.5, true)->throttle(1.0));
    DispatchClock::advance(3.0);
    EXPECT_EQ(r.events, (Events{"error:9@0.5"}));
}

TEST(RXSignalBufferWithTime, BatchesValuesOneIntervalAfterTheFirst) {
    VirtualTime time;
    TimedRecorder r;
    auto source = RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) {
        auto main = RXScheduler::mainThreadScheduler();
        auto d = RXCompoundDisposable::compoundDisposable();
        d->addDisposable(main->afterDelaySchedule(0.0, [subscriber] { subscriber->sendNext(box(1)); }));
        d->addDisposable(main->afterDelaySchedule(0.5, [subscriber] { subscriber->sendNext(nullptr); }));
        d->addDisposable(main->afterDelaySchedule(1.5, [subscriber] { subscriber->sendNext(box(3)); }));
        d->addDisposable(main->afterDelaySchedule(4.0, [subscriber] { subscriber->sendCompleted(); }));
        return d;
    });
    r.subscribe(source->bufferWithTimeOnScheduler(1.0, RXScheduler::mainThreadScheduler()));
    DispatchClock::advance(5.0);
    EXPECT_EQ(r.events, (Events{"(1,nil)@1.0", "(3)@2.5", "completed@4.0"}));
}

TEST(RXSignalBufferWithTime, CompletionFlushesButNeverSendsAnEmptyTuple) {
    VirtualTime time;
    TimedRecorder r;
    r.subscribe(values(numbers({1, 2}))->bufferWithTimeOnScheduler(1.0, RXScheduler::mainThreadScheduler()));
    r.subscribe(RXSignal::empty()->bufferWithTimeOnScheduler(1.0, RXScheduler::mainThreadScheduler()));
    DispatchClock::advance(2.0);
    EXPECT_EQ(r.events, (Events{"(1,2)@0.0", "completed@0.0", "completed@0.0"}));
}

TEST(RXSignalDeliverOn, EveryEventGoesThroughTheScheduler) {
    auto scheduler = make<RXTestScheduler>();
    Recorder r;
    r.subscribe(values(numbers({1, 2}))->deliverOn(scheduler));
    EXPECT_TRUE(r.events().empty());
    scheduler->stepAll();
    EXPECT_EQ(r.events(), (Events{"1", "2", "completed"}));
}

TEST(RXSignalSubscribeOn, OnlyTheSubscriptionMoves) {
    auto scheduler = make<RXTestScheduler>();
    bool subscribed = false;
    auto source = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscribed = true;
        subscriber->sendNext(box(1));
        return nullptr;
    });
    Recorder r;
    auto subscription = r.subscribe(source->subscribeOn(scheduler));
    EXPECT_FALSE(subscribed);
    scheduler->step();
    EXPECT_TRUE(subscribed);
    EXPECT_EQ(r.events(), (Events{"1"}));
    auto cancelled = r.subscribe(source->subscribeOn(scheduler));
    subscribed = false;
    cancelled->dispose();
    scheduler->stepAll();
    EXPECT_FALSE(subscribed);
}

TEST(RXSignalDeliverOnMainThread, SynchronousOnTheMainThreadAsynchronousFromElsewhere) {
    VirtualTime time;
    Recorder r;
    auto subject = RXSubject::subject();
    r.subscribe(subject->deliverOnMainThread());
    subject->sendNext(box(1));
    EXPECT_EQ(r.events(), (Events{"1"}));
    std::thread([&] { subject->sendNext(box(2)); }).join();
    EXPECT_EQ(r.events(), (Events{"1"}));
    subject->sendNext(box(3)); // waits behind the queued value
    EXPECT_EQ(r.events(), (Events{"1"}));
    DispatchClock::runUntilIdle();
    EXPECT_EQ(r.events(), (Events{"1", "2", "3"}));
}
