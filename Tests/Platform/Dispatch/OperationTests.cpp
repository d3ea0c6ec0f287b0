#include <Dispatch/Dispatch.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSBlockOperation.h>
#include <Foundation/NSOperation.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

class OperationTests : public PlatformTestCase {};

struct Log {
    std::mutex mutex;
    std::vector<std::string> lines;
    void add(std::string line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
    }
    std::vector<std::string> get() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
};

// Records the key-value notifications it receives.
class KeyRecorder : public NSObject {
    NS_OBJECT(KeyRecorder, NSObject)
public:
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id&, const Ref<NSDictionary>&,
                                                     void*) override {
        log.add(keyPath->str());
    }
    Log log;
};

// An asynchronous operation in the style of a connection operation: start() hands the work to
// another queue and returns; the operation announces its own state changes by hand.
class AsyncOperation : public NSOperation {
    NS_OBJECT(AsyncOperation, NSOperation)
public:
    explicit AsyncOperation(double seconds) : seconds_(seconds) {}
    void start() override {
        if (isCancelled()) {
            setState(3);
            return;
        }
        setState(2);
        Ref<AsyncOperation> self(this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds_ * NSEC_PER_SEC)),
                       dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [self] { self->setState(3); });
    }
    bool isExecuting() const override { return state_ == 2; }
    bool isFinished() const override { return state_ == 3; }
    bool isConcurrent() const override { return true; }

private:
    void setState(int state) {
        Ref<NSString> newKey = state == 2 ? "isExecuting"_ns : "isFinished"_ns;
        Ref<NSString> oldKey = state_ == 2 ? "isExecuting"_ns : "isReady"_ns;
        willChangeValueForKey(newKey);
        willChangeValueForKey(oldKey);
        state_ = state;
        didChangeValueForKey(oldKey);
        didChangeValueForKey(newKey);
    }
    double seconds_;
    std::atomic<int> state_{1};
};

// An asynchronous operation that has its start() called on a queue of its own.
class OwnThreadOperation : public AsyncOperation {
    NS_OBJECT(OwnThreadOperation, AsyncOperation)
public:
    OwnThreadOperation(double seconds, dispatch_queue_t queue, Log& log)
        : AsyncOperation(seconds), queue_(std::move(queue)), log_(log) {}
    void start() override {
        bool onOwnQueue = dispatch_get_specific(this) == this;
        bool queueIsCurrent = NSOperationQueue::currentQueue() == expectedQueue;
        log_.add(std::string("start") + (onOwnQueue ? " on own queue" : "") + (queueIsCurrent ? " in queue" : ""));
        AsyncOperation::start();
    }
    Ref<NSOperationQueue> expectedQueue;

protected:
    void submitStart(std::function<void()> start) override {
        log_.add("submitted");
        dispatch_queue_set_specific(queue_, this, this, nullptr);
        dispatch_async(queue_, std::move(start));
    }

private:
    dispatch_queue_t queue_;
    Log& log_;
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

NS_IMPLEMENT_CLASS(KeyRecorder, NSObject) {}
NS_IMPLEMENT_CLASS(AsyncOperation, NSOperation) {}
NS_IMPLEMENT_CLASS(OwnThreadOperation, AsyncOperation) {}

TEST_F(OperationTests, BlockOperationRunsItsBlocksThenItsCompletionBlock) {
    Log log;
    auto operation = NSBlockOperation::blockOperationWithBlock([&] { log.add("first"); });
    operation->addExecutionBlock([&] { log.add("second"); });
    EXPECT_EQ(operation->executionBlocks().size(), 2u);
    Weak<NSBlockOperation> weak(operation);
    operation->setCompletionBlock([&log, operation] { log.add(operation->isFinished() ? "completed" : "early"); });
    EXPECT_TRUE(operation->isReady());
    operation->start();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
    runUntilIdle();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"first", "second", "completed"}));
    EXPECT_FALSE(operation->completionBlock()); // released after it ran
    operation = nullptr;
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(raises([] { NSBlockOperation::blockOperationWithBlock(nullptr); }, NSInvalidArgumentException));
}

TEST_F(OperationTests, StateChangesAreAnnouncedToObservers) {
    auto recorder = make<KeyRecorder>();
    auto operation = NSBlockOperation::blockOperationWithBlock([] {});
    for (auto key : {"isReady", "isExecuting", "isFinished", "isCancelled"}) {
        operation->addObserverForKeyPathOptionsContext(recorder.get(), NSString::from(key), 0, nullptr);
    }
    operation->start();
    EXPECT_EQ(recorder->log.get(), (std::vector<std::string>{"isExecuting", "isExecuting", "isFinished"}));

    auto recorder2 = make<KeyRecorder>();
    auto blocked = make<NSBlockOperation>();
    auto dependency = NSBlockOperation::blockOperationWithBlock([] {});
    blocked->addDependency(dependency);
    blocked->addObserverForKeyPathOptionsContext(recorder2.get(), "isReady"_ns, 0, nullptr);
    blocked->addObserverForKeyPathOptionsContext(recorder2.get(), "isCancelled"_ns, 0, nullptr);
    EXPECT_FALSE(blocked->isReady());
    dependency->start();
    EXPECT_TRUE(blocked->isReady());
    blocked->cancel();
    EXPECT_EQ(recorder2->log.get(), (std::vector<std::string>{"isReady", "isCancelled"}));
}

TEST_F(OperationTests, DependenciesDecideTheOrder) {
    Log log;
    auto queue = make<NSOperationQueue>();
    auto a = NSBlockOperation::blockOperationWithBlock([&] { log.add("a"); });
    auto b = NSBlockOperation::blockOperationWithBlock([&] { log.add("b"); });
    auto c = NSBlockOperation::blockOperationWithBlock([&] { log.add("c"); });
    c->addDependency(b);
    b->addDependency(a);
    EXPECT_EQ(c->dependencies()->count(), 1u);
    queue->addOperation(c);
    queue->addOperation(b);
    runUntilIdle();
    EXPECT_TRUE(log.get().empty()); // a is in no queue yet
    queue->addOperation(a);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST_F(OperationTests, ConcurrencyLimitHolds) {
    auto queue = make<NSOperationQueue>();
    queue->setMaxConcurrentOperationCount(2);
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    for (int i = 0; i < 6; ++i) {
        queue->addOperationWithBlock([&] {
            int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) {
            }
            NSThread::sleepForTimeInterval(1);
            --running;
        });
    }
    EXPECT_TRUE(runUntil([&] { return queue->operationCount() == 0; }, 100));
    EXPECT_EQ(peak, 2);
    EXPECT_DOUBLE_EQ(elapsed(), 3.0); // six one-second operations, two at a time
    EXPECT_TRUE(raises([&] { queue->setMaxConcurrentOperationCount(-2); }, NSInvalidArgumentException));
}

TEST_F(OperationTests, PriorityPicksAmongReadyOperations) {
    Log log;
    auto queue = make<NSOperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    queue->setSuspended(true);
    auto low = NSBlockOperation::blockOperationWithBlock([&] { log.add("low"); });
    low->setQueuePriority(NSOperationQueuePriorityLow);
    auto normal = NSBlockOperation::blockOperationWithBlock([&] { log.add("normal"); });
    auto high = NSBlockOperation::blockOperationWithBlock([&] { log.add("high"); });
    high->setQueuePriority(NSOperationQueuePriorityVeryHigh);
    queue->addOperation(low);
    queue->addOperation(normal);
    queue->addOperation(high);
    runUntilIdle();
    EXPECT_TRUE(log.get().empty()); // suspended
    EXPECT_TRUE(queue->isSuspended());
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.get(), (std::vector<std::string>{"high", "normal", "low"}));
}

TEST_F(OperationTests, CancelAllFinishesPendingOperationsWithoutRunningThem) {
    std::atomic<int> ran{0};
    auto queue = make<NSOperationQueue>();
    auto gate = make<NSBlockOperation>();
    std::vector<Ref<NSOperation>> waiting;
    for (int i = 0; i < 4; ++i) {
        auto operation = NSBlockOperation::blockOperationWithBlock([&] { ++ran; });
        operation->addDependency(gate); // never started: they can only end by cancellation
        queue->addOperation(operation);
        waiting.push_back(operation);
    }
    runUntilIdle();
    EXPECT_EQ(queue->operationCount(), 4u);
    queue->cancelAllOperations();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran, 0);
    for (const auto& operation : waiting) {
        EXPECT_TRUE(operation->isCancelled());
        EXPECT_TRUE(operation->isFinished());
    }
}

TEST_F(OperationTests, AsynchronousOperationHoldsItsSlotUntilItAnnouncesTheEnd) {
    Log log;
    auto queue = make<NSOperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    auto first = make<AsyncOperation>(2.0);
    first->setCompletionBlock([&] { log.add("first done at " + std::to_string(static_cast<int>(elapsed()))); });
    auto second = NSBlockOperation::blockOperationWithBlock(
        [&] { log.add("second ran at " + std::to_string(static_cast<int>(elapsed()))); });
    queue->addOperation(first);
    queue->addOperation(second);
    advance(1);
    EXPECT_TRUE(first->isExecuting());
    EXPECT_TRUE(log.get().empty());
    advance(2);
    EXPECT_TRUE(first->isFinished());
    auto lines = log.get();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"first done at 2", "second ran at 2"}));

    auto waited = make<AsyncOperation>(5.0);
    queue->addOperation(waited);
    waited->waitUntilFinished();
    EXPECT_DOUBLE_EQ(elapsed(), 8.0);
}

TEST_F(OperationTests, AnOperationMayNameWhereItsQueueStartsIt) {
    Log log;
    auto queue = make<NSOperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    auto own = dispatch_queue_create("test.own-start", nullptr);
    auto first = make<OwnThreadOperation>(1.0, own, log);
    first->expectedQueue = queue;
    first->setCompletionBlock([&] { log.add("first done"); });
    // A plain operation behind it still starts on the queue's own threads, after the first ends.
    std::atomic<bool> plainOnOwnQueue{true};
    auto second = NSBlockOperation::blockOperationWithBlock([&] {
        plainOnOwnQueue = dispatch_get_specific(first.get()) == first.get();
        log.add("second ran");
    });
    queue->addOperation(first);
    queue->addOperation(second);
    advance(2);
    auto lines = log.get();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "submitted");
    EXPECT_EQ(lines[1], "start on own queue in queue");
    std::sort(lines.begin() + 2, lines.end());
    EXPECT_EQ(lines[2], "first done");
    EXPECT_EQ(lines[3], "second ran");
    EXPECT_FALSE(plainOnOwnQueue.load());
    EXPECT_TRUE(first->isFinished());
    EXPECT_EQ(queue->operationCount(), 0u);

    // Cancelled before the queue starts it: it is still started where it asks, and ends at once.
    Log cancelledLog;
    auto cancelled = make<OwnThreadOperation>(1.0, own, cancelledLog);
    cancelled->expectedQueue = queue;
    queue->setSuspended(true);
    queue->addOperation(cancelled);
    cancelled->cancel();
    queue->setSuspended(false);
    runUntilIdle();
    EXPECT_TRUE(cancelled->isFinished());
    EXPECT_EQ(cancelledLog.get(), (std::vector<std::string>{"submitted", "start on own queue in queue"}));
}

TEST_F(OperationTests, MainQueueAndCurrentQueue) {
    EXPECT_EQ(NSOperationQueue::currentQueue(), NSOperationQueue::mainQueue());
    EXPECT_EQ(NSOperationQueue::mainQueue()->maxConcurrentOperationCount(), 1);
    bool onMain = false;
    Ref<NSOperationQueue> currentInMain;
    NSOperationQueue::mainQueue()->addOperationWithBlock([&] {
        onMain = NSThread::isMainThread();
        currentInMain = NSOperationQueue::currentQueue();
    });
    runUntilIdle();
    EXPECT_TRUE(onMain);
    EXPECT_EQ(currentInMain, NSOperationQueue::mainQueue());

    auto queue = make<NSOperationQueue>();
    queue->setName("test.queue"_ns);
    Ref<NSOperationQueue> currentInQueue;
    std::atomic<bool> onMainThread{true};
    queue->addOperationWithBlock([&] {
        currentInQueue = NSOperationQueue::currentQueue();
        onMainThread = NSThread::isMainThread();
    });
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(currentInQueue, queue);
    EXPECT_FALSE(onMainThread);
    Ref<NSOperationQueue> currentOnPlainThread = queue;
    dispatch_sync(dispatch_queue_create("test.plain", nullptr),
                  [&] { currentOnPlainThread = NSOperationQueue::currentQueue(); });
    EXPECT_FALSE(currentOnPlainThread);
}

TEST_F(OperationTests, MisuseRaises) {
    auto queue = make<NSOperationQueue>();
    auto operation = NSBlockOperation::blockOperationWithBlock([] {});
    queue->addOperation(operation);
    EXPECT_TRUE(raises([&] { queue->addOperation(operation); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([&] { make<NSOperationQueue>()->addOperation(operation); }, NSInvalidArgumentException));
    queue->waitUntilAllOperationsAreFinished();
    auto finished = NSBlockOperation::blockOperationWithBlock([] {});
    finished->start();
    EXPECT_TRUE(raises([&] { queue->addOperation(finished); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([&] { queue->addOperation(nullptr); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([&] { finished->addDependency(finished); }, NSInvalidArgumentException));

    auto notReady = make<NSBlockOperation>();
    notReady->addDependency(make<NSBlockOperation>());
    EXPECT_TRUE(raises([&] { notReady->start(); }, NSInvalidArgumentException));

    Ref<NSBlockOperation> selfWaiting = make<NSBlockOperation>();
    bool raisedInside = false;
    selfWaiting->addExecutionBlock(
        [&] { raisedInside = raises([&] { selfWaiting->waitUntilFinished(); }, NSInternalInconsistencyException); });
    selfWaiting->start();
    EXPECT_TRUE(raisedInside);
    EXPECT_TRUE(raises([&] { selfWaiting->addExecutionBlock([] {}); }, NSInvalidArgumentException));
}

TEST_F(OperationTests, AddOperationsAndWait) {
    std::atomic<int> ran{0};
    auto queue = make<NSOperationQueue>();
    auto operations = NSMutableArray::array();
    for (int i = 0; i < 5; ++i) {
        operations->addObject(NSBlockOperation::blockOperationWithBlock([&] {
            NSThread::sleepForTimeInterval(0.5);
            ++ran;
        }));
    }
    queue->addOperationsWaitUntilFinished(operations, true);
    EXPECT_EQ(ran, 5);
    EXPECT_DOUBLE_EQ(elapsed(), 0.5);
}
