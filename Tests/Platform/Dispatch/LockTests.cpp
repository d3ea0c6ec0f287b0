#include <Dispatch/Dispatch.h>
#include <Foundation/NSCondition.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSLock.h>
#include <Foundation/NSRecursiveLock.h>
#include <Foundation/NSThread.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <deque>
#include <vector>

namespace {

class LockTests : public PlatformTestCase {};

template <class F>
bool raises(F&& f, const char* name) {
    try {
        f();
    } catch (const NSException& e) {
        return e.name() == name;
    }
    return false;
}

dispatch_queue_t globalQueue() {
    return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
}

} // namespace

TEST_F(LockTests, LockKeepsOutOtherThreads) {
    auto lock = make<NSLock>();
    long counter = 0; // not atomic: the lock alone protects it
    auto group = dispatch_group_create();
    for (int i = 0; i < 8; ++i) {
        dispatch_group_async(group, globalQueue(), [&] {
            for (int j = 0; j < 1000; ++j) {
                lock->lock();
                ++counter;
                lock->unlock();
            }
        });
    }
    dispatch_group_wait(group, DISPATCH_TIME_FOREVER);
    EXPECT_EQ(counter, 8000);
}

TEST_F(LockTests, MisuseRaisesInsteadOfHanging) {
    auto lock = make<NSLock>();
    EXPECT_TRUE(raises([&] { lock->unlock(); }, NSInternalInconsistencyException));
    lock->lock();
    EXPECT_TRUE(raises([&] { lock->lock(); }, NSInternalInconsistencyException));
    EXPECT_FALSE(lock->tryLock());
    std::atomic<bool> unlockedElsewhere{true};
    dispatch_sync(dispatch_queue_create("test.other", nullptr),
                  [&] { unlockedElsewhere = !raises([&] { lock->unlock(); }, NSInternalInconsistencyException); });
    EXPECT_FALSE(unlockedElsewhere);
    lock->unlock();
    EXPECT_TRUE(lock->tryLock());
    lock->unlock();
    EXPECT_TRUE(raises([&] { lock->lockBeforeDate(nullptr); }, NSInvalidArgumentException));
}

TEST_F(LockTests, LockBeforeDateTimesOutOnTheVirtualClock) {
    auto lock = make<NSLock>();
    auto held = dispatch_semaphore_create(0);
    auto release = dispatch_semaphore_create(0);
    dispatch_async(dispatch_queue_create("test.holder", nullptr), [&] {
        lock->lock();
        dispatch_semaphore_signal(held);
        dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
        lock->unlock();
    });
    dispatch_semaphore_wait(held, DISPATCH_TIME_FOREVER);
    EXPECT_FALSE(lock->lockBeforeDate(NSDate::dateWithTimeIntervalSinceNow(2)));
    EXPECT_DOUBLE_EQ(elapsed(), 2.0);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), globalQueue(),
                   [&] { dispatch_semaphore_signal(release); });
    EXPECT_TRUE(lock->lockBeforeDate(NSDate::dateWithTimeIntervalSinceNow(5)));
    EXPECT_DOUBLE_EQ(elapsed(), 3.0);
    lock->unlock();
}

TEST_F(LockTests, RecursiveLockIsFreeOnceBalanced) {
    auto lock = make<NSRecursiveLock>();
    lock->lock();
    lock->lock();
    EXPECT_TRUE(lock->tryLock());
    std::atomic<bool> otherGotIt{true};
    auto probe = [&] {
        dispatch_sync(dispatch_queue_create("test.probe", nullptr), [&] {
            otherGotIt = lock->tryLock();
            if (otherGotIt) {
                lock->unlock();
            }
        });
    };
    lock->unlock();
    lock->unlock();
    probe();
    EXPECT_FALSE(otherGotIt);
    lock->unlock();
    probe();
    EXPECT_TRUE(otherGotIt);
    EXPECT_TRUE(raises([&] { lock->unlock(); }, NSInternalInconsistencyException));
}

TEST_F(LockTests, ConditionHandsItemsFromProducerToConsumer) {
    auto condition = make<NSCondition>();
    std::deque<int> items;
    std::vector<int> consumed;
    std::atomic<bool> finished{false};
    NSThread::detachNewThreadWithBlock([&] {
        for (int n = 0; n < 5; ++n) {
            condition->lock();
            while (items.empty()) {
                condition->wait();
            }
            consumed.push_back(items.front());
            items.pop_front();
            condition->unlock();
        }
        finished = true;
    });
    for (int i = 1; i <= 5; ++i) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, i * NSEC_PER_SEC / 10), globalQueue(), [&, i] {
            condition->lock();
            items.push_back(i * 10);
            condition->signal();
            condition->unlock();
        });
    }
    EXPECT_TRUE(runUntil([&] { return finished.load(); }));
    condition->lock();
    EXPECT_EQ(consumed, (std::vector<int>{10, 20, 30, 40, 50}));
    condition->unlock();
}

TEST_F(LockTests, ConditionWaitUntilDateAndBroadcast) {
    auto condition = make<NSCondition>();
    condition->lock();
    EXPECT_FALSE(condition->waitUntilDate(NSDate::dateWithTimeIntervalSinceNow(1.5)));
    EXPECT_DOUBLE_EQ(elapsed(), 1.5);
    condition->unlock(); // the lock is held again after a time-out
    EXPECT_TRUE(raises([&] { condition->wait(); }, NSInternalInconsistencyException));

    std::atomic<int> woken{0};
    bool go = false;
    for (int i = 0; i < 3; ++i) {
        dispatch_async(dispatch_queue_create("test.waiter", nullptr), [&] {
            condition->lock();
            while (!go) {
                condition->wait();
            }
            ++woken;
            condition->unlock();
        });
    }
    runUntilIdle();
    EXPECT_EQ(woken, 0);
    condition->lock();
    go = true;
    condition->broadcast();
    condition->unlock();
    runUntilIdle();
    EXPECT_EQ(woken, 3);
}
