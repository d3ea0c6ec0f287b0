#include <Dispatch/Dispatch.h>
#include <Foundation/NSThread.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class QueueTests : public PlatformTestCase {};

dispatch_queue_t globalQueue() {
    return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
}

template <class F>
bool raises(F&& f, const char* name = nullptr) {
    try {
        f();
    } catch (const NSException& e) {
        return !name || e.name() == name;
    }
    return false;
}

} // namespace

TEST_F(QueueTests, SerialQueueRunsBlocksOneAtATimeInOrder) {
    auto queue = dispatch_queue_create("test.serial", DISPATCH_QUEUE_SERIAL);
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 500; ++i) {
        dispatch_async(queue, [&, i] {
            if (inside.fetch_add(1) != 0) {
                overlapped = true;
            }
            order.push_back(i);
            inside.fetch_sub(1);
        });
    }
    runUntilIdle();
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(order[i], i);
    }
    EXPECT_FALSE(overlapped);
}

TEST_F(QueueTests, SerialQueueKeepsEachProducersOrder) {
    auto queue = dispatch_queue_create("test.serial", nullptr);
    std::vector<std::pair<int, int>> seen; // (producer, sequence)
    auto producers = dispatch_queue_create("test.producers", DISPATCH_QUEUE_CONCURRENT);
    for (int p = 0; p < 4; ++p) {
        dispatch_async(producers, [&, p] {
            for (int i = 0; i < 200; ++i) {
                dispatch_async(queue, [&, p, i] { seen.emplace_back(p, i); });
            }
        });
    }
    runUntilIdle();
    ASSERT_EQ(seen.size(), 800u);
    int next[4] = {0, 0, 0, 0};
    for (auto [p, i] : seen) {
        EXPECT_EQ(i, next[p]++) << "producer " << p;
    }
}

TEST_F(QueueTests, ConcurrentQueueRunsBlocksAtTheSameTime) {
    // Each block waits until the other has started: only possible when both run at once.
    auto queue = dispatch_queue_create("test.concurrent", DISPATCH_QUEUE_CONCURRENT);
    auto a = dispatch_semaphore_create(0);
    auto b = dispatch_semaphore_create(0);
    std::atomic<int> done{0};
    dispatch_async(queue, [&] {
        dispatch_semaphore_signal(a);
        dispatch_semaphore_wait(b, DISPATCH_TIME_FOREVER);
        ++done;
    });
    dispatch_async(queue, [&] {
        dispatch_semaphore_signal(b);
        dispatch_semaphore_wait(a, DISPATCH_TIME_FOREVER);
        ++done;
    });
    EXPECT_TRUE(runUntil([&] { return done == 2; }));
}

TEST_F(QueueTests, QueuesTargetingOneSerialQueueNeverOverlap) {
    auto target = dispatch_queue_create("test.target", nullptr);
    auto first = dispatch_queue_create("test.first", nullptr);
    auto second = dispatch_queue_create("test.second", DISPATCH_QUEUE_CONCURRENT);
    dispatch_set_target_queue(first, target);
    dispatch_set_target_queue(second, target);
    EXPECT_EQ(first->targetQueue(), target);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> ran{0};
    auto work = [&] {
        if (inside.fetch_add(1) != 0) {
            overlapped = true;
        }
        ++ran;
        inside.fetch_sub(1);
    };
    for (int i = 0; i < 200; ++i) {
        dispatch_async(i % 2 ? first : second, work);
    }
    runUntilIdle();
    EXPECT_EQ(ran, 200);
    EXPECT_FALSE(overlapped);
}

TEST_F(QueueTests, LabelsAndTheCurrentQueuesLabel) {
    auto queue = dispatch_queue_create("com.example.worker", nullptr);
    EXPECT_STREQ(dispatch_queue_get_label(queue), "com.example.worker");
    EXPECT_STREQ(dispatch_queue_get_label(dispatch_queue_create(nullptr, nullptr)), "");
    std::string inside;
    dispatch_sync(queue, [&] { inside = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL); });
    EXPECT_EQ(inside, "com.example.worker");
    EXPECT_STREQ(dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL),
                 dispatch_queue_get_label(dispatch_get_main_queue()));
}

TEST_F(QueueTests, QueueSpecificDataFollowsTheTargetChain) {
    static char key;
    static char otherKey;
    int value = 7;
    int destroyed = 0;
    auto parent = dispatch_queue_create("test.parent", nullptr);
    auto child = dispatch_queue_create("test.child", nullptr);
    dispatch_set_target_queue(child, parent);
    dispatch_queue_set_specific(parent, &key, &value, nullptr);
    EXPECT_EQ(dispatch_queue_get_specific(parent, &key), &value);
    EXPECT_EQ(dispatch_queue_get_specific(child, &key), nullptr);

    void* seenInChild = nullptr;
    void* seenOther = &value;
    dispatch_sync(child, [&] {
        seenInChild = dispatch_get_specific(&key);
        seenOther = dispatch_get_specific(&otherKey);
    });
    EXPECT_EQ(seenInChild, &value);
    EXPECT_EQ(seenOther, nullptr);
    EXPECT_EQ(dispatch_get_specific(&key), nullptr); // the main thread is on the main queue

    // Replacing a value runs the destructor of the old one.
    dispatch_queue_set_specific(parent, &key, &destroyed, [](void* p) { ++*static_cast<int*>(p); });
    dispatch_queue_set_specific(parent, &key, nullptr, nullptr);
    EXPECT_EQ(destroyed, 1);
}

TEST_F(QueueTests, MainQueueRunsOnTheMainThreadWhenTheRunLoopTurns) {
    std::vector<int> order;
    bool onMain = false;
    dispatch_async(dispatch_get_main_queue(), [&] {
        onMain = NSThread::isMainThread();
        order.push_back(1);
    });
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back(2); });
    EXPECT_TRUE(order.empty()); // nothing runs before the run loop does
    runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(onMain);
}

TEST_F(QueueTests, BackgroundWorkHandsItsResultToTheMainQueue) {
    std::atomic<bool> ranOnBackground{false};
    int result = 0;
    bool deliveredOnMain = false;
    dispatch_async(globalQueue(), [&] {
        ranOnBackground = !NSThread::isMainThread();
        int computed = 6 * 7;
        dispatch_async(dispatch_get_main_queue(), [&, computed] {
            deliveredOnMain = NSThread::isMainThread();
            result = computed;
        });
    });
    EXPECT_TRUE(runUntil([&] { return result != 0; }));
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(ranOnBackground);
    EXPECT_TRUE(deliveredOnMain);
}

TEST_F(QueueTests, RealTimeHandOffFromAnotherThread) {
    DispatchClock::useRealTime();
    std::atomic<int> result{0};
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0),
                   [&] { dispatch_async(dispatch_get_main_queue(), [&] { result = 1; }); });
    EXPECT_TRUE(runUntil([&] { return result == 1; }, 30.0));
}

TEST_F(QueueTests, SyncRunsTheBlockAndPassesItsExceptionBack) {
    auto queue = dispatch_queue_create("test.sync", nullptr);
    int value = 0;
    dispatch_sync(queue, [&] { value = 5; });
    EXPECT_EQ(value, 5);
    EXPECT_THROW(dispatch_sync(queue, [] { throw std::runtime_error("inside"); }), std::runtime_error);
    // The queue goes on working after the exception.
    dispatch_sync(queue, [&] { value = 6; });
    EXPECT_EQ(value, 6);
}

TEST_F(QueueTests, SyncThatWouldDeadlockRaisesInstead) {
    EXPECT_TRUE(raises([] { dispatch_sync(dispatch_get_main_queue(), [] {}); }, NSInternalInconsistencyException));

    auto queue = dispatch_queue_create("test.self", nullptr);
    auto inner = dispatch_queue_create("test.inner", nullptr);
    dispatch_set_target_queue(inner, queue);
    bool sameQueue = false;
    bool throughTarget = false;
    bool otherQueueFine = false;
    dispatch_sync(queue, [&] {
        sameQueue = raises([&] { dispatch_sync(queue, [] {}); }, NSInternalInconsistencyException);
        throughTarget = raises([&] { dispatch_sync(inner, [] {}); }, NSInternalInconsistencyException);
        dispatch_sync(dispatch_queue_create("test.other", nullptr), [&] { otherQueueFine = true; });
    });
    EXPECT_TRUE(sameQueue);
    EXPECT_TRUE(throughTarget);
    EXPECT_TRUE(otherQueueFine);

    // A concurrent queue may be entered again from its own block.
    auto concurrent = dispatch_queue_create("test.concurrent", DISPATCH_QUEUE_CONCURRENT);
    bool nested = false;
    dispatch_sync(concurrent, [&] { dispatch_sync(concurrent, [&] { nested = true; }); });
    EXPECT_TRUE(nested);
}

TEST_F(QueueTests, MainThreadChecks) {
    EXPECT_NO_THROW(dispatch_assert_main());
    EXPECT_NO_THROW(dispatch_assert_queue(dispatch_get_main_queue()));
    std::atomic<bool> raisedOffMain{false};
    std::atomic<bool> onItsQueue{false};
    std::atomic<bool> notOnMainQueue{false};
    auto queue = dispatch_queue_create("test.assert", nullptr);
    dispatch_sync(queue, [&] {
        raisedOffMain = raises([] { dispatch_assert_main(); }, NSInternalInconsistencyException);
        onItsQueue = !raises([&] { dispatch_assert_queue(queue); });
        notOnMainQueue = raises([] { dispatch_assert_queue(dispatch_get_main_queue()); });
    });
    EXPECT_TRUE(raisedOffMain);
    EXPECT_TRUE(onItsQueue);
    EXPECT_TRUE(notOnMainQueue);
}

TEST_F(QueueTests, BadArgumentsRaise) {
    auto queue = dispatch_queue_create("test.bad", nullptr);
    EXPECT_TRUE(raises([] { dispatch_async(nullptr, [] {}); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([&] { dispatch_async(queue, nullptr); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([&] { dispatch_after(DISPATCH_TIME_NOW, queue, {}); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { dispatch_get_global_queue(7, 0); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 1); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([&] { dispatch_set_target_queue(dispatch_get_main_queue(), queue); }));
    EXPECT_TRUE(raises([&] { dispatch_set_target_queue(queue, queue); }, NSInvalidArgumentException));
    auto child = dispatch_queue_create("test.child", nullptr);
    dispatch_set_target_queue(child, queue);
    EXPECT_TRUE(raises([&] { dispatch_set_target_queue(queue, child); }, NSInvalidArgumentException));
}

TEST_F(QueueTests, ExceptionFromAMainQueueBlockReachesTheCallerAndTheQueueGoesOn) {
    std::vector<int> order;
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back(1); });
    dispatch_async(dispatch_get_main_queue(), [] { NSException::raise(NSGenericException, "boom"); });
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back(3); });
    EXPECT_TRUE(raises([] { DispatchClock::runUntilIdle(); }, NSGenericException));
    runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
}

TEST_F(QueueTests, GlobalQueuesExistForEveryPriority) {
    std::atomic<int> ran{0};
    for (auto priority : {DISPATCH_QUEUE_PRIORITY_HIGH, DISPATCH_QUEUE_PRIORITY_DEFAULT, DISPATCH_QUEUE_PRIORITY_LOW,
                          DISPATCH_QUEUE_PRIORITY_BACKGROUND}) {
        auto queue = dispatch_get_global_queue(priority, 0);
        EXPECT_EQ(queue, dispatch_get_global_queue(priority, 0));
        EXPECT_FALSE(queue->isSerial());
        dispatch_async(queue, [&] { ++ran; });
    }
    runUntilIdle();
    EXPECT_EQ(ran, 4);
}
