#include "ReactiveTestSupport.h"

#include <Support/LogCapture.h>

using namespace rxtest;

TEST(RXSignalStart, LazilyRunsTheBlockOnceAtTheFirstSubscription) {
    VirtualTime time;
    int runs = 0;
    auto signal = RXSignal::startLazilyWithSchedulerBlock(RXScheduler::mainThreadScheduler(),
                                                          [&](const Ref<RXSubscriber>& subscriber) {
                                                              ++runs;
                                                              subscriber->sendNext(box(runs));
                                                              subscriber->sendCompleted();
                                                          });
    DispatchClock::runUntilIdle();
    EXPECT_EQ(runs, 0);
    Recorder a, b;
    a.subscribe(signal);
    b.subscribe(signal);
    DispatchClock::runUntilIdle();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(a.events(), (Events{"1", "completed"}));
    EXPECT_EQ(b.events(), (Events{"1", "completed"}));
}

TEST(RXSignalStart, EagerlyRunsTheBlockWithoutSubscribers) {
    VirtualTime time;
    int runs = 0;
    auto signal = RXSignal::startEagerlyWithSchedulerBlock(RXScheduler::mainThreadScheduler(),
                                                           [&](const Ref<RXSubscriber>& subscriber) {
                                                               ++runs;
                                                               subscriber->sendNext(box(5));
                                                               subscriber->sendCompleted();
                                                           });
    DispatchClock::runUntilIdle();
    EXPECT_EQ(runs, 1);
    Recorder r;
    r.subscribe(signal);
    DispatchClock::runUntilIdle();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(r.events(), (Events{"5", "completed"}));
}

TEST(RXSignalStart, StartWithBlockReportsValueOrError) {
    VirtualTime time;
    Recorder r;
    r.subscribe(RXSignal::startWithSchedulerBlock(RXScheduler::mainThreadScheduler(),
                                                  [](bool*, Ref<NSError>*) -> id { return box(1); }));
    r.subscribe(RXSignal::startWithSchedulerBlock(RXScheduler::mainThreadScheduler(),
                                                  [](bool* success, Ref<NSError>* error) -> id {
                                                      *success = false;
                                                      *error = makeError(2);
                                                      return nullptr;
                                                  }));
    auto started = RXSignal::start([](bool*, Ref<NSError>*) -> id { return box(3); });
    EXPECT_EQ(unbox<int>(started->first()), 3);
    DispatchClock::runUntilIdle();
    EXPECT_EQ(r.events(), (Events{"1", "completed", "error:2"}));
}

TEST(RXSignalLogging, LogAllWritesEveryEventAndKeepsTheName) {
    RXStream::setDebugSignalNamesEnabled(true);
    LogCapture capture;
    auto signal = values(numbers({1}));
    signal->setName("numbers"_ns);
    Ref<RXSignal> logged = signal->logAll();
    logged->subscribeNext(nullptr);
    RXSignal::error(makeError(4))->logError()->subscribeNext(nullptr);
    auto lines = capture.finish();
    RXStream::setDebugSignalNamesEnabled(false);
    EXPECT_EQ(logged->name()->str(), "numbers");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("name: numbers next: 1"), std::string::npos);
    EXPECT_NE(lines[1].find("name: numbers completed"), std::string::npos);
    EXPECT_NE(lines[2].find("error: Error Domain=RXTestErrorDomain Code=4"), std::string::npos);
}

TEST(RXSignalRunLoopWait, ReturnsTheFirstValueDeliveredLater) {
    VirtualTime time;
    bool success = false;
    id value =
        RXSignal::return_(box(6))->delay(2.0)->asynchronousFirstOrDefaultSuccessError(nullptr, &success, nullptr);
    EXPECT_EQ(unbox<int>(value), 6);
    EXPECT_TRUE(success);
}

TEST(RXSignalRunLoopWait, ANeverSendingSignalTimesOutAfterTenSeconds) {
    VirtualTime time;
    double start = NSDate::now();
    bool success = true;
    Ref<NSError> error;
    id value = RXSignal::never()->asynchronousFirstOrDefaultSuccessError(box(-1), &success, &error);
    EXPECT_EQ(unbox<int>(value), -1);
    EXPECT_FALSE(success);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), RXSignalErrorTimedOut);
    EXPECT_NEAR(NSDate::now() - start, 10.0, 0.2);
}

TEST(RXSignalRunLoopWait, WaitUntilCompletedReportsCompletion) {
    VirtualTime time;
    Ref<NSError> error;
    EXPECT_TRUE(values(numbers({1}))->delay(1.0)->asynchronouslyWaitUntilCompleted(&error));
    EXPECT_FALSE(RXSignal::error(makeError(3))->asynchronouslyWaitUntilCompleted(&error));
    EXPECT_EQ(error->code(), 3);
}

TEST(RXSignalRunLoopWait, ANestedWaitInsideAMainQueueBlockEndsByTheTimeOut) {
    VirtualTime time;
    bool finished = false;
    bool success = true;
    double elapsed = 0;
    RXScheduler::mainThreadScheduler()->schedule([&] {
        double start = NSDate::now();
        RXSignal::never()->asynchronousFirstOrDefaultSuccessError(nullptr, &success, nullptr);
        elapsed = NSDate::now() - start;
        finished = true;
    });
    DispatchClock::advanceUntil([&] { return finished; }, 30.0);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(success);
    EXPECT_NEAR(elapsed, 10.0, 0.2);
}

TEST(RXSignalRunLoopWait, ANestedWaitInsideAMainQueueBlockGetsAValueFromAnotherQueue) {
    VirtualTime time;
    bool finished = false;
    id value;
    RXScheduler::mainThreadScheduler()->schedule([&] {
        value = RXSignal::return_(box(2))
                    ->delay(1.0)
                    ->subscribeOn(RXScheduler::scheduler())
                    ->asynchronousFirstOrDefaultSuccessError(nullptr, nullptr, nullptr);
        finished = true;
    });
    DispatchClock::advanceUntil([&] { return finished; }, 30.0);
    EXPECT_EQ(unbox<int>(value), 2);
}
