#include <Dispatch/Dispatch.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

class GroupSemaphoreOnceTests : public PlatformTestCase {};

dispatch_time_t after(double seconds) {
    return dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC));
}

dispatch_queue_t globalQueue() {
    return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
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

TEST_F(GroupSemaphoreOnceTests, NotifyRunsAfterEveryMemberHasFinished) {
    auto group = dispatch_group_create();
    std::atomic<int> finished{0};
    int seenByNotify = -1;
    for (int i = 0; i < 10; ++i) {
        dispatch_group_async(group, globalQueue(), [&] { ++finished; });
    }
    dispatch_group_enter(group);
    dispatch_after(after(2), globalQueue(), [&] {
        ++finished;
        dispatch_group_leave(group);
    });
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] { seenByNotify = finished; });
    advance(1);
    EXPECT_EQ(seenByNotify, -1);
    advance(1);
    EXPECT_EQ(seenByNotify, 11);
    EXPECT_EQ(group->count(), 0);
}

TEST_F(GroupSemaphoreOnceTests, NotifyWaitsForMembersStillRunningWhenItIsRegistered) {
    auto group = dispatch_group_create();
    auto gate = dispatch_semaphore_create(0);
    auto started = dispatch_semaphore_create(0);
    std::atomic<int> finished{0};
    for (int i = 0; i < 3; ++i) {
        dispatch_group_async(group, globalQueue(), [&] {
            dispatch_semaphore_signal(started);
            dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER);
            ++finished;
        });
    }
    for (int i = 0; i < 3; ++i) {
        dispatch_semaphore_wait(started, DISPATCH_TIME_FOREVER); // every member is running now
    }
    int seenByNotify = -1;
    int notifies = 0;
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] {
        seenByNotify = finished;
        ++notifies;
    });
    runUntilIdle();
    EXPECT_EQ(notifies, 0) << "all three members are still running";
    dispatch_semaphore_signal(gate);
    dispatch_semaphore_signal(gate);
    runUntilIdle();
    EXPECT_EQ(notifies, 0) << "one member is still running";
    dispatch_semaphore_signal(gate);
    EXPECT_TRUE(runUntil([&] { return notifies > 0; }));
    EXPECT_EQ(seenByNotify, 3);
    runUntilIdle();
    EXPECT_EQ(notifies, 1);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
}

TEST_F(GroupSemaphoreOnceTests, NotifyOnAnEmptyGroupIsQueuedAtOnce) {
    auto group = dispatch_group_create();
    bool ran = false;
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] { ran = true; });
    EXPECT_FALSE(ran);
    runUntilIdle();
    EXPECT_TRUE(ran);
}

TEST_F(GroupSemaphoreOnceTests, WaitReturnsWhenEmptyOrTimesOut) {
    auto group = dispatch_group_create();
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    dispatch_group_enter(group);
    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_group_wait(group, after(1)), 0);
    EXPECT_DOUBLE_EQ(elapsed(), 1.0);
    dispatch_after(after(0.5), globalQueue(), [group] { dispatch_group_leave(group); });
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_DOUBLE_EQ(elapsed(), 1.5);
}

TEST_F(GroupSemaphoreOnceTests, UnbalancedLeaveRaises) {
    auto group = dispatch_group_create();
    EXPECT_TRUE(raises([&] { dispatch_group_leave(group); }, NSInternalInconsistencyException));
    dispatch_group_enter(group);
    dispatch_group_leave(group);
    EXPECT_TRUE(raises([&] { dispatch_group_leave(group); }, NSInternalInconsistencyException));
    EXPECT_TRUE(raises([] { dispatch_group_enter(nullptr); }, NSInvalidArgumentException));
}

TEST_F(GroupSemaphoreOnceTests, SemaphoreCountsAndWakesWaitersInOrder) {
    auto semaphore = dispatch_semaphore_create(2);
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
    EXPECT_EQ(dispatch_semaphore_signal(semaphore), 0); // nobody waiting: the count goes up
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);

    // Three waiters, queued one after another, are woken in that order.
    std::vector<int> order;
    std::mutex mutex;
    auto started = dispatch_semaphore_create(0);
    for (int i = 0; i < 3; ++i) {
        dispatch_async(dispatch_queue_create("test.waiter", nullptr), [&, i] {
            dispatch_semaphore_signal(started);
            dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
            std::lock_guard<std::mutex> lock(mutex);
            order.push_back(i);
        });
        dispatch_semaphore_wait(started, DISPATCH_TIME_FOREVER);
        runUntilIdle(); // the waiter is parked before the next one starts
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dispatch_semaphore_signal(semaphore), 1);
        runUntilIdle();
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(GroupSemaphoreOnceTests, SemaphoreRefusesANegativeValue) {
    EXPECT_TRUE(raises([] { dispatch_semaphore_create(-1); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { dispatch_semaphore_wait(nullptr, DISPATCH_TIME_NOW); }, NSInvalidArgumentException));
}

TEST_F(GroupSemaphoreOnceTests, OnceRunsItsBlockOnceForAllThreads) {
    dispatch_once_t once;
    std::atomic<int> runs{0};
    std::atomic<int> sawDone{0};
    auto group = dispatch_group_create();
    for (int i = 0; i < 16; ++i) {
        dispatch_group_async(group, globalQueue(), [&] {
            dispatch_once(&once, [&] { ++runs; });
            if (runs == 1) {
                ++sawDone;
            }
        });
    }
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(sawDone, 16);
    dispatch_once(&once, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST_F(GroupSemaphoreOnceTests, OnceFromItsOwnBlockRaisesAndAFailedOnceRunsAgain) {
    dispatch_once_t recursive;
    bool raisedInside = false;
    dispatch_once(&recursive, [&] {
        raisedInside = raises([&] { dispatch_once(&recursive, [] {}); }, NSInternalInconsistencyException);
    });
    EXPECT_TRUE(raisedInside);

    dispatch_once_t failing;
    int attempts = 0;
    EXPECT_THROW(dispatch_once(&failing,
                               [&] {
                                   ++attempts;
                                   throw std::runtime_error("not yet");
                               }),
                 std::runtime_error);
    dispatch_once(&failing, [&] { ++attempts; });
    dispatch_once(&failing, [&] { ++attempts; });
    EXPECT_EQ(attempts, 2);
}
