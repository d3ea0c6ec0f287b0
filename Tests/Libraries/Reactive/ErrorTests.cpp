#include "ReactiveTestSupport.h"

#include <thread>

using namespace rxtest;

namespace {
// A signal that errs on its first `failures` subscriptions and then sends `value` and completes.
Ref<RXSignal> failingTimes(int failures, int* subscriptions) {
    return RXSignal::createSignal([failures, subscriptions](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        int attempt = ++*subscriptions;
        subscriber->sendNext(box(attempt));
        if (attempt <= failures) {
            subscriber->sendError(makeError(attempt));
        } else {
            subscriber->sendCompleted();
        }
        return nullptr;
    });
}
} // namespace

TEST(RXSignalCatch, ContinuesWithTheBlocksSignal) {
    Recorder r;
    r.subscribe(RXSignal::error(makeError(1))->catch_([](const Ref<NSError>& e) {
        return RXSignal::return_(box(static_cast<int>(e->code()) + 10));
    }));
    r.subscribe(RXSignal::error(makeError(1))->catchTo(RXSignal::error(makeError(2))));
    r.subscribe(values(numbers({1}))->catchTo(RXSignal::return_(box(99))));
    EXPECT_EQ(r.events(), (Events{"11", "completed", "error:2", "1", "completed"}));
}

TEST(RXSignalTry, TheFirstFailureEndsWithItsError) {
    Recorder r;
    r.subscribe(values(numbers({1, 2, 3}))->try_([](const id& v, Ref<NSError>* error) {
        if (unbox<int>(v) == 2) {
            *error = makeError(2);
            return false;
        }
        return true;
    }));
    r.subscribe(values(numbers({1, 2}))->tryMap([](const id& v, Ref<NSError>*) -> id {
        return unbox<int>(v) == 2 ? id() : id(box(unbox<int>(v) * 10));
    }));
    EXPECT_EQ(r.events(), (Events{"1", "error:2", "10", "error:nil"}));
}

TEST(RXSignalRetry, RetriesTheCountThenForwardsTheError) {
    VirtualTime time;
    int subscriptions = 0;
    Recorder r;
    r.subscribe(failingTimes(100, &subscriptions)->retry(2));
    DispatchClock::runUntilIdle();
    EXPECT_EQ(subscriptions, 3);
    EXPECT_EQ(r.events(), (Events{"1", "2", "3", "error:3"}));
}

TEST(RXSignalRetry, WithoutLimitRetriesUntilCompletion) {
    VirtualTime time;
    int subscriptions = 0;
    Recorder r;
    r.subscribe(failingTimes(2, &subscriptions)->retry());
    DispatchClock::runUntilIdle();
    EXPECT_EQ(r.events(), (Events{"1", "2", "3", "completed"}));
}

TEST(RXSignalRepeat, ResubscribesAfterEveryCompletionUntilDisposed) {
    VirtualTime time;
    Recorder r;
    Ref<RXDisposable> subscription;
    subscription = RXSignal::return_(box(1))->repeat()->subscribeNext([&](const id& v) {
        r.add(text(v));
        if (r.size() == 5) {
            subscription->dispose();
        }
    });
    DispatchClock::runUntilIdle();
    EXPECT_EQ(r.events(), (Events{"1", "1", "1", "1", "1"}));
}

TEST(RXSignalRepeat, AnErrorEndsIt) {
    VirtualTime time;
    int subscriptions = 0;
    Recorder r;
    r.subscribe(failingTimes(1, &subscriptions)->repeat());
    DispatchClock::runUntilIdle();
    EXPECT_EQ(r.events(), (Events{"1", "error:1"}));
}

TEST(RXSignalTakeLast, SendsTheLastValuesOnCompletion) {
    Recorder r;
    r.subscribe(values(numbers({1, 2, 3}))->takeLast(2));
    r.subscribe(values(numbers({1, 2, 3}))->takeLast(0));
    r.subscribe(values({nullptr})->takeLast(1));
    EXPECT_EQ(r.events(), (Events{"2", "3", "completed", "completed", "nil", "completed"}));
}

TEST(RXSignalSharing, ReplayLastGivesLateSubscribersTheLatestValueAndTermination) {
    auto subject = RXSubject::subject();
    Ref<RXSignal> replayed = subject->replayLast();
    subject->sendNext(box(1));
    subject->sendNext(box(2));
    subject->sendCompleted();
    Recorder r;
    r.subscribe(replayed);
    EXPECT_EQ(r.events(), (Events{"2", "completed"}));
}

TEST(RXSignalSharing, ReplaySubscribesAtOnceAndOnlyOnce) {
    int subscriptions = 0;
    auto source = RXSignal::defer([&] {
        ++subscriptions;
        return values(numbers({1, 2}));
    });
    Ref<RXSignal> replayed = source->replay();
    EXPECT_EQ(subscriptions, 1);
    Recorder r;
    r.subscribe(replayed);
    r.subscribe(replayed);
    EXPECT_EQ(subscriptions, 1);
    EXPECT_EQ(r.events(), (Events{"1", "2", "completed", "1", "2", "completed"}));
}

TEST(RXSignalSharing, ReplayLazilySubscribesAtTheFirstSubscriptionOnly) {
    int subscriptions = 0;
    auto source = RXSignal::defer([&] {
        ++subscriptions;
        return values(numbers({1}));
    });
    Ref<RXSignal> lazy = source->replayLazily();
    EXPECT_EQ(subscriptions, 0);
    Recorder r;
    r.subscribe(lazy);
    r.subscribe(lazy);
    EXPECT_EQ(subscriptions, 1);
    EXPECT_EQ(r.events(), (Events{"1", "completed", "1", "completed"}));
}

TEST(RXSignalWaiting, FirstReturnsTheFirstValueOrTheDefault) {
    EXPECT_EQ(unbox<int>(values(numbers({4, 5}))->first()), 4);
    EXPECT_FALSE(RXSignal::empty()->first());
    bool success = true;
    Ref<NSError> error;
    id result = RXSignal::error(makeError(7))->firstOrDefaultSuccessError(box(-1), &success, &error);
    EXPECT_EQ(unbox<int>(result), -1);
    EXPECT_FALSE(success);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 7);
    EXPECT_EQ(unbox<int>(RXSignal::empty()->firstOrDefault(box(3))), 3);
}

TEST(RXSignalWaiting, FirstWaitsForAValueFromAnotherThread) {
    auto subject = RXSubject::subject();
    auto delivered = subject->subscribeOn(RXScheduler::scheduler());
    std::thread sender([&] {
        while (subject->subscribers().empty()) {
            std::this_thread::yield();
        }
        subject->sendNext(box(42));
    });
    EXPECT_EQ(unbox<int>(delivered->first()), 42);
    sender.join();
}

TEST(RXSignalWaiting, WaitUntilCompletedReportsSuccessOrTheError) {
    Ref<NSError> error;
    EXPECT_TRUE(values(numbers({1, 2}))->waitUntilCompleted(&error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(RXSignal::error(makeError(8))->waitUntilCompleted(&error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 8);
}

TEST(RXSignalWaiting, FirstOnVirtualTimeMovesTheClockToTheValue) {
    VirtualTime time;
    double start = NSDate::now();
    // Delivered on a background queue: a blocking wait must not wait for the main thread.
    id value = RXSignal::return_(box(1))->delay(3.0)->subscribeOn(RXScheduler::scheduler())->first();
    EXPECT_EQ(unbox<int>(value), 1);
    EXPECT_NEAR(NSDate::now() - start, 3.0, 1e-6);
}
