#include <Dispatch/Dispatch.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSObject+NSThreadPerformAdditions.h>
#include <Foundation/NSPort.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSThread.h>
#include <Foundation/NSTimer.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

class RunLoopTests : public PlatformTestCase {};

class PerformProbe : public NSObject {
    NS_OBJECT(PerformProbe, NSObject)
public:
    void record(const Ref<NSString>& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back(text->str() + (NSThread::isMainThread() ? " on main" : " off main"));
    }
    std::vector<std::string> log() {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> log_;
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

Ref<NSDate> in(double seconds) {
    return NSDate::dateWithTimeIntervalSinceNow(seconds);
}

// A thread with its own run loop kept alive by a port, like the network-request thread. It is
// stopped and waited for when the test ends, so that nothing of it outlives the test's variables.
class WorkerThread {
public:
    explicit WorkerThread(const char* name) {
        auto ready = dispatch_semaphore_create(0);
        auto finished = finished_;
        auto runLoop = runLoop_;
        thread_ = make<NSThread>([ready, finished, runLoop] {
            *runLoop = NSRunLoop::currentRunLoop();
            NSRunLoop::currentRunLoop()->addPortForMode(NSMachPort::port(), NSDefaultRunLoopMode());
            dispatch_semaphore_signal(ready);
            while (!NSThread::currentThread()->isCancelled()) {
                NSRunLoop::currentRunLoop()->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::distantFuture());
            }
            dispatch_semaphore_signal(finished);
        });
        thread_->setName(NSString::from(name));
        thread_->start();
        dispatch_semaphore_wait(ready, DISPATCH_TIME_FOREVER);
    }
    ~WorkerThread() {
        thread_->cancel();
        (*runLoop_)->performBlock([] {});
        dispatch_semaphore_wait(finished_, DISPATCH_TIME_FOREVER);
    }
    const Ref<NSThread>& thread() const { return thread_; }
    operator const Ref<NSThread>&() const { return thread_; }
    // The thread's run loop, as the thread itself saw it.
    const Ref<NSRunLoop>& runLoop() const { return *runLoop_; }

private:
    Ref<NSThread> thread_;
    std::shared_ptr<Ref<NSRunLoop>> runLoop_ = std::make_shared<Ref<NSRunLoop>>();
    dispatch_semaphore_t finished_ = dispatch_semaphore_create(0);
};

} // namespace

NS_IMPLEMENT_CLASS(PerformProbe, NSObject) {
    b.method("record:", &PerformProbe::record);
}

TEST_F(RunLoopTests, MainRunLoopBelongsToTheMainThread) {
    EXPECT_EQ(NSRunLoop::currentRunLoop(), NSRunLoop::mainRunLoop());
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->isMainRunLoop());
    EXPECT_FALSE(NSRunLoop::mainRunLoop()->currentMode());
    Ref<NSString> modeInside;
    dispatch_async(dispatch_get_main_queue(), [&] { modeInside = NSRunLoop::currentRunLoop()->currentMode(); });
    runUntilIdle();
    ASSERT_TRUE(modeInside);
    EXPECT_TRUE(modeInside->isEqualToString(NSDefaultRunLoopMode()));
    Ref<NSRunLoop> other;
    dispatch_sync(dispatch_queue_create("test.other", nullptr), [&] { other = NSRunLoop::currentRunLoop(); });
    EXPECT_FALSE(other == NSRunLoop::mainRunLoop());
}

TEST_F(RunLoopTests, RunUntilDateMovesTheVirtualClockAndRunsTheMainQueue) {
    int ran = 0;
    dispatch_async(dispatch_get_main_queue(), [&] { ++ran; });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2), dispatch_get_main_queue(), [&] { ++ran; });
    NSRunLoop::mainRunLoop()->runUntilDate(in(2));
    EXPECT_EQ(ran, 2);
    EXPECT_DOUBLE_EQ(elapsed(), 2.0);
}

TEST_F(RunLoopTests, OneTurnReturnsAfterHandlingWork) {
    auto runLoop = NSRunLoop::mainRunLoop();
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), dispatch_get_main_queue(), [] {});
    EXPECT_TRUE(runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), in(5)));
    EXPECT_DOUBLE_EQ(elapsed(), 1.0); // it returned once the block had run
    EXPECT_TRUE(runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), in(0.25)));
    EXPECT_DOUBLE_EQ(elapsed(), 1.25); // nothing to do: it returned at the limit
}

TEST_F(RunLoopTests, NestedTurnsWaitForAResultDeliveredOnTheMainQueue) {
    // The shape of a main-thread wait: a main-queue block spins the run loop in 0.1 s steps until
    // a background computation has delivered its value on the main queue, or 10 s have passed.
    auto waitFor = [](double delay) {
        struct Box {
            bool done = false;
            int value = 0;
        };
        auto box = std::make_shared<Box>();
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)),
                       dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [box] {
                           dispatch_async(dispatch_get_main_queue(), [box] {
                               box->value = 42;
                               box->done = true;
                           });
                       });
        double limit = DispatchClock::now() + 10;
        while (!box->done && DispatchClock::now() < limit) {
            NSRunLoop::mainRunLoop()->runModeBeforeDate(NSDefaultRunLoopMode(), in(0.1));
        }
        return box->done ? box->value : -1;
    };
    int inBlock = 0;
    double finishedAt = 0;
    dispatch_async(dispatch_get_main_queue(), [&] {
        inBlock = waitFor(3.0);
        finishedAt = elapsed();
    });
    runUntilIdle();
    EXPECT_EQ(inBlock, 42);
    EXPECT_NEAR(finishedAt, 3.0, 1e-4);
    EXPECT_EQ(waitFor(60.0), -1);       // gives up after 10 s
    EXPECT_NEAR(elapsed(), 13.0, 1e-4); // dates carry about 0.1 microsecond of rounding per step
}

TEST_F(RunLoopTests, PerformsRunInOrderInTheirModes) {
    auto runLoop = NSRunLoop::mainRunLoop();
    std::vector<std::string> log;
    runLoop->performBlock([&] { log.push_back("common"); });
    runLoop->performInModesBlock(NSArray::arrayWithObjects({"custom"_ns}), [&] { log.push_back("custom"); });
    runLoop->performInModesBlock(NSArray::arrayWithObjects({NSDefaultRunLoopMode()}),
                                 [&] { log.push_back("default"); });
    EXPECT_TRUE(log.empty());
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"common", "default"}));
    EXPECT_TRUE(runLoop->runModeBeforeDate("custom"_ns, in(1)));
    EXPECT_EQ(log.back(), "custom");
    EXPECT_TRUE(raises([&] { runLoop->performInModesBlock(NSArray::array(), [] {}); }, NSInvalidArgumentException));
}

TEST_F(RunLoopTests, ModesDecideWhichTimersFire) {
    auto runLoop = NSRunLoop::mainRunLoop();
    std::vector<std::string> log;
    auto make = [&](const char* name) {
        return NSTimer::timerWithTimeIntervalRepeatsBlock(1, false,
                                                          [&log, name](const Ref<NSTimer>&) { log.push_back(name); });
    };
    runLoop->addTimerForMode(make("default"), NSDefaultRunLoopMode());
    runLoop->addTimerForMode(make("common"), NSRunLoopCommonModes());
    runLoop->addTimerForMode(make("tracking"), "tracking"_ns);
    advance(2);
    EXPECT_EQ(log, (std::vector<std::string>{"default", "common"}));
    runLoop->runModeBeforeDate("tracking"_ns, in(0.5));
    EXPECT_EQ(log.back(), "tracking");

    // A mode made common also runs the common-mode items.
    auto common = make("common in tracking");
    runLoop->addTimerForMode(common, NSRunLoopCommonModes());
    runLoop->addCommonMode("tracking"_ns);
    runLoop->runModeBeforeDate("tracking"_ns, in(2));
    EXPECT_EQ(log.back(), "common in tracking");
    EXPECT_TRUE(raises([&] { runLoop->runModeBeforeDate(NSRunLoopCommonModes(), in(1)); }, NSInvalidArgumentException));
}

TEST_F(RunLoopTests, RunLoopsAreRunOnlyByTheirOwnThread) {
    WorkerThread worker("test.worker");
    EXPECT_TRUE(raises([&] { worker.runLoop()->runUntilDate(in(1)); }, NSInternalInconsistencyException));
    std::atomic<bool> raisedOffMain{false};
    dispatch_sync(dispatch_queue_create("test.q", nullptr), [&] {
        raisedOffMain =
            raises([] { NSRunLoop::mainRunLoop()->runUntilDate(NSDate::date()); }, NSInternalInconsistencyException);
    });
    EXPECT_TRUE(raisedOffMain);
}

TEST_F(RunLoopTests, WorkerThreadWithAPortServesPerformsAndMessages) {
    WorkerThread worker("test.network");
    // Waiting: runs on the worker, in its run loop, and returns after.
    std::string nameInside;
    bool onWorker = false;
    performBlockOnThreadWaitUntilDone(
        worker,
        [&] {
            nameInside = NSThread::currentThread()->name()->str();
            onWorker = NSThread::currentThread() == worker.thread() && !NSThread::isMainThread();
        },
        true);
    EXPECT_EQ(nameInside, "test.network");
    EXPECT_TRUE(onWorker);

    // Not waiting: the result comes back through the main queue.
    std::vector<int> results;
    for (int i = 0; i < 5; ++i) {
        performBlockOnThreadWaitUntilDone(
            worker,
            [&results, i] { dispatch_async(dispatch_get_main_queue(), [&results, i] { results.push_back(i); }); },
            false);
    }
    EXPECT_TRUE(runUntil([&] { return results.size() == 5; }));
    EXPECT_EQ(results, (std::vector<int>{0, 1, 2, 3, 4}));

    // A port message is handled on the worker.
    auto port = NSPort::port();
    std::atomic<int> handled{0};
    port->setMessageHandler([&] {
        if (!NSThread::isMainThread()) {
            ++handled;
        }
    });
    performBlockOnThreadWaitUntilDone(
        worker, [port] { NSRunLoop::currentRunLoop()->addPortForMode(port, NSDefaultRunLoopMode()); }, true);
    port->sendMessage();
    port->sendMessage();
    EXPECT_TRUE(runUntil([&] { return handled == 2; }));
    port->invalidate();
    EXPECT_FALSE(port->sendMessage());

    // An exception in a waited-for perform comes back to the caller.
    EXPECT_TRUE(raises(
        [&] {
            performBlockOnThreadWaitUntilDone(
                worker, [] { NSException::raise(NSGenericException, "in worker"); }, true);
        },
        NSGenericException));
}

TEST_F(RunLoopTests, WorkerTimersFollowTheVirtualClock) {
    WorkerThread worker("test.timers");
    std::mutex mutex;
    std::vector<double> fires;
    performBlockOnThreadWaitUntilDone(
        worker,
        [&] {
            NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(0.5, true, [&](const Ref<NSTimer>& timer) {
                std::lock_guard<std::mutex> lock(mutex);
                fires.push_back(elapsed());
                if (fires.size() == 3) {
                    timer->invalidate();
                }
            });
        },
        true);
    advance(5);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(fires, (std::vector<double>{0.5, 1.0, 1.5}));
}

TEST_F(RunLoopTests, RunReturnsWhenNoSourcesAreLeft) {
    std::atomic<double> returnedAt{-1};
    std::atomic<bool> emptyTurn{true};
    NSThread::detachNewThreadWithBlock([&] {
        auto runLoop = NSRunLoop::currentRunLoop();
        emptyTurn = runLoop->runModeBeforeDate(NSDefaultRunLoopMode(), NSDate::distantFuture());
        NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(2, false, [](const Ref<NSTimer>&) {});
        runLoop->run();
        returnedAt = elapsed();
    });
    advance(10);
    EXPECT_FALSE(emptyTurn);
    EXPECT_DOUBLE_EQ(returnedAt, 2.0);
}

TEST_F(RunLoopTests, ExceptionInAPerformLeavesTheRestQueued) {
    auto runLoop = NSRunLoop::mainRunLoop();
    std::vector<int> log;
    runLoop->performBlock([&] { log.push_back(1); });
    runLoop->performBlock([] { NSException::raise(NSGenericException, "perform"); });
    runLoop->performBlock([&] { log.push_back(3); });
    EXPECT_TRUE(raises([] { DispatchClock::runUntilIdle(); }, NSGenericException));
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<int>{1, 3}));
}

TEST_F(RunLoopTests, SelectorPerformsOnOtherThreads) {
    WorkerThread worker("test.selector");
    auto probe = make<PerformProbe>();
    performBlockOnThreadWaitUntilDone(
        worker,
        [probe] { performSelectorOnMainThreadWithObjectWaitUntilDone(probe.get(), "record:", "to main"_ns, false); },
        true);
    EXPECT_TRUE(probe->log().empty());
    runUntilIdle();
    performSelectorOnThreadWithObjectWaitUntilDone(probe.get(), "record:", worker, "to worker"_ns, true);
    // Waiting for the calling thread itself runs it at once.
    performSelectorOnMainThreadWithObjectWaitUntilDone(probe.get(), "record:", "main to main"_ns, true);
    EXPECT_EQ(probe->log(),
              (std::vector<std::string>{"to main on main", "to worker off main", "main to main on main"}));
}

namespace {
std::vector<std::string>& settleLog() {
    static std::vector<std::string> log;
    return log;
}
// Logs its call; the first call at an instant after "queue" also queues a block and says so.
bool observeSettle() {
    bool queue = !settleLog().empty() && settleLog().back() == "queue";
    settleLog().push_back("settled at " + std::to_string(PlatformTestCase::elapsed()));
    if (queue) {
        dispatch_async(dispatch_get_main_queue(), [] { settleLog().push_back("queued by the observer"); });
    }
    return queue;
}
void note(const char* text, int64_t after = -1) {
    auto block = [text] { settleLog().push_back(text); };
    after < 0 ? dispatch_async(dispatch_get_main_queue(), block)
              : dispatch_after(dispatch_time(DISPATCH_TIME_NOW, after), dispatch_get_main_queue(), block);
}
} // namespace

TEST_F(RunLoopTests, TheBeforeWaitingObserverSeesEachInstantsWorkDoneAndNeverMovesTheClock) {
    settleLog().clear();
    foundation_detail::setMainRunLoopBeforeWaitingObserver(&observeSettle);
    note("block");
    note("due now", 0);
    note("a second later", NSEC_PER_SEC);
    runUntilIdle();
    EXPECT_EQ(settleLog(), (std::vector<std::string>{"block", "due now", "settled at 0.000000"}));
    // Work the observer makes runs before the clock moves on.
    settleLog().push_back("queue");
    advance(1);
    EXPECT_EQ(settleLog(), (std::vector<std::string>{"block", "due now", "settled at 0.000000", "queue",
                                                     "settled at 0.000000", "queued by the observer",
                                                     "settled at 0.000000", "a second later", "settled at 1.000000"}));
    foundation_detail::setMainRunLoopBeforeWaitingObserver(nullptr);
    advance(1);
    EXPECT_EQ(settleLog().size(), 9u) << "nobody is told once the observer is removed";
}
