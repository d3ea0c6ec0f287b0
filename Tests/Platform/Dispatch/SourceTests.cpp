#include <Dispatch/Dispatch.h>
#include <Foundation/NSThread.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

class SourceTests : public PlatformTestCase {};

dispatch_time_t after(double seconds) {
    return dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC));
}

dispatch_source_t timer(const dispatch_queue_t& queue, double start, double interval) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue);
    dispatch_source_set_timer(source, after(start),
                              interval < 0 ? DISPATCH_TIME_FOREVER : static_cast<uint64_t>(interval * NSEC_PER_SEC), 0);
    return source;
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

} // namespace

TEST_F(SourceTests, TimerFiresAtStartThenEveryInterval) {
    std::vector<double> fires;
    std::vector<unsigned long> data;
    dispatch_source_t source = timer(dispatch_get_main_queue(), 1.0, 0.5);
    dispatch_source_t self = source;
    dispatch_source_set_event_handler(source, [&] {
        fires.push_back(elapsed());
        data.push_back(dispatch_source_get_data(self));
    });
    advance(2);
    EXPECT_TRUE(fires.empty()); // a new source is suspended
    dispatch_resume(source);
    // The start has passed: it fires at once, standing for the three beats it missed.
    advance(1.0);
    EXPECT_EQ(fires, (std::vector<double>{2.0, 2.5, 3.0}));
    EXPECT_EQ(data, (std::vector<unsigned long>{3, 1, 1}));
    dispatch_source_cancel(source);
    self = nullptr;
    advance(5);
    EXPECT_EQ(fires.size(), 3u);
}

TEST_F(SourceTests, OneShotTimerFiresOnce) {
    int fires = 0;
    auto source = timer(dispatch_queue_create("test.oneshot", nullptr), 0.25, -1);
    dispatch_source_set_event_handler(source, [&] { ++fires; });
    dispatch_resume(source);
    advance(10);
    EXPECT_EQ(fires, 1);
    EXPECT_EQ(DispatchClock::pendingTimerCount(), 0u);
}

TEST_F(SourceTests, CancelFromItsOwnHandlerStopsItAndRunsTheCancelHandlerOnce) {
    std::vector<std::string> log;
    auto source = timer(dispatch_get_main_queue(), 1, 1);
    Weak<DispatchSource> weak(source);
    dispatch_source_t self = source;
    dispatch_source_set_event_handler(source, [&log, self]() mutable {
        log.push_back("fire");
        if (log.size() == 2) {
            dispatch_source_cancel(self);
            log.push_back("cancelled");
        }
    });
    dispatch_source_set_cancel_handler(source, [&] { log.push_back("cancel handler"); });
    dispatch_resume(source);
    self = nullptr;
    source = nullptr;
    advance(10);
    EXPECT_EQ(log, (std::vector<std::string>{"fire", "fire", "cancelled", "cancel handler"}));
    // The handlers (which held the source) are released after cancellation: nothing is left.
    EXPECT_TRUE(weak.expired());
}

TEST_F(SourceTests, CancelWhileTheHandlerRunsOnAnotherThread) {
    auto entered = dispatch_semaphore_create(0);
    auto release = dispatch_semaphore_create(0);
    std::mutex mutex;
    std::vector<std::string> log;
    auto add = [&](const char* line) {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(line);
    };
    auto source = timer(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), 0, 0.001);
    dispatch_source_set_event_handler(source, [&] {
        add("begin");
        dispatch_semaphore_signal(entered);
        dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
        add("end");
    });
    dispatch_source_set_cancel_handler(source, [&] { add("cancel handler"); });
    dispatch_resume(source);
    dispatch_semaphore_wait(entered, DISPATCH_TIME_FOREVER);
    dispatch_source_cancel(source);
    EXPECT_NE(dispatch_source_testcancel(source), 0);
    dispatch_semaphore_signal(release);
    advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"begin", "end", "cancel handler"}));
}

TEST_F(SourceTests, RealTimeCancelFromAnotherThreadWhileFiring) {
    DispatchClock::useRealTime();
    std::atomic<int> fires{0};
    std::atomic<bool> cancelHandled{false};
    std::atomic<bool> firedAfterCancel{false};
    std::atomic<bool> cancelled{false};
    auto source = timer(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), 0, 0.0002);
    dispatch_source_set_event_handler(source, [&] {
        if (cancelHandled) {
            firedAfterCancel = true;
        }
        ++fires;
    });
    dispatch_source_set_cancel_handler(source, [&] { cancelHandled = true; });
    dispatch_resume(source);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0), [&] {
        while (fires < 20) {
            NSThread::sleepForTimeInterval(0.001);
        }
        dispatch_source_cancel(source);
        cancelled = true;
    });
    EXPECT_TRUE(runUntil([&] { return cancelHandled.load(); }, 30));
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(firedAfterCancel);
}

TEST_F(SourceTests, FiresWhileSuspendedAreMergedIntoOneCall) {
    std::vector<unsigned long> data;
    dispatch_source_t source = timer(dispatch_get_main_queue(), 1, 1);
    dispatch_source_t self = source;
    dispatch_source_set_event_handler(source, [&] { data.push_back(dispatch_source_get_data(self)); });
    dispatch_resume(source);
    advance(1);
    dispatch_suspend(source);
    advance(3);
    EXPECT_EQ(data, (std::vector<unsigned long>{1}));
    dispatch_resume(source);
    runUntilIdle();
    EXPECT_EQ(data, (std::vector<unsigned long>{1, 3}));
    advance(1);
    EXPECT_EQ(data, (std::vector<unsigned long>{1, 3, 1}));
    dispatch_source_cancel(source);
    self = nullptr;
}

TEST_F(SourceTests, ResettingTheTimerMovesItsSchedule) {
    std::vector<double> fires;
    auto source = timer(dispatch_get_main_queue(), 1, 1);
    dispatch_source_set_event_handler(source, [&] { fires.push_back(elapsed()); });
    dispatch_resume(source);
    advance(1.5);
    dispatch_source_set_timer(source, after(0.25), 2 * NSEC_PER_SEC, NSEC_PER_SEC / 10);
    EXPECT_EQ(source->leeway(), NSEC_PER_SEC / 10);
    advance(4);
    EXPECT_EQ(fires, (std::vector<double>{1.0, 1.75, 3.75}));
    dispatch_source_cancel(source);
}

TEST_F(SourceTests, BadTimerArgumentsAreClampedOrRefused) {
    auto source = timer(dispatch_get_main_queue(), 0, 0);
    EXPECT_EQ(source->interval(), DispatchSource::kMinimumInterval);
    EXPECT_TRUE(raises([&] { dispatch_resume(source), dispatch_resume(source); }, NSInternalInconsistencyException));
    dispatch_source_cancel(source);
    EXPECT_TRUE(raises([] { dispatch_source_create(nullptr, 0, 0, nullptr); }, NSInvalidArgumentException));
    EXPECT_TRUE(
        raises([] { dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 3, 0, nullptr); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { dispatch_source_cancel(nullptr); }, NSInvalidArgumentException));
}

TEST_F(SourceTests, CancelledSuspendedSourceDeliversItsCancelHandlerOnResume) {
    bool cancelled = false;
    auto source = timer(dispatch_get_main_queue(), 1, 1);
    dispatch_source_set_cancel_handler(source, [&] { cancelled = true; });
    dispatch_source_cancel(source);
    runUntilIdle();
    EXPECT_FALSE(cancelled);
    dispatch_resume(source);
    runUntilIdle();
    EXPECT_TRUE(cancelled);
}
