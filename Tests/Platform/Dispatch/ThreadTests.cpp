#include <Dispatch/Dispatch.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <cmath>
#include <string>

namespace {

class ThreadTests : public PlatformTestCase {};

class ThreadTarget : public NSObject {
    NS_OBJECT(ThreadTarget, NSObject)
public:
    void work(const Ref<NSString>& argument) {
        std::lock_guard<std::mutex> lock(mutex);
        received = argument ? argument->str() : "nil";
        onMain = NSThread::isMainThread();
        done.store(true);
    }
    std::mutex mutex;
    std::string received;
    bool onMain = true;
    std::atomic<bool> done{false};
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

NS_IMPLEMENT_CLASS(ThreadTarget, NSObject) {
    b.method("work:", &ThreadTarget::work);
}

TEST_F(ThreadTests, MainThreadIdentity) {
    EXPECT_TRUE(NSThread::isMainThread());
    EXPECT_EQ(NSThread::currentThread(), NSThread::mainThread());
    std::atomic<bool> mainOnWorker{true};
    std::atomic<bool> distinct{false};
    dispatch_sync(dispatch_queue_create("test.q", nullptr), [&] {
        mainOnWorker = NSThread::isMainThread();
        distinct = NSThread::currentThread() != NSThread::mainThread() &&
                   NSThread::currentThread() == NSThread::currentThread();
    });
    EXPECT_FALSE(mainOnWorker);
    EXPECT_TRUE(distinct);
}

TEST_F(ThreadTests, NamedThreadWithItsOwnDictionary) {
    NSThread::currentThread()->threadDictionary()->setObjectForKey("main value"_ns, "key"_ns);
    std::string nameInside;
    id valueInside = "not read"_ns;
    auto finished = dispatch_semaphore_create(0);
    auto thread = make<NSThread>([&] {
        nameInside = NSThread::currentThread()->name()->str();
        valueInside = NSThread::currentThread()->threadDictionary()->objectForKey("key"_ns);
        NSThread::currentThread()->threadDictionary()->setObjectForKey("worker value"_ns, "key"_ns);
        dispatch_semaphore_signal(finished);
    });
    thread->setName("com.example.worker"_ns);
    EXPECT_FALSE(thread->isExecuting());
    thread->start();
    dispatch_semaphore_wait(finished, DISPATCH_TIME_FOREVER);
    EXPECT_EQ(nameInside, "com.example.worker");
    EXPECT_FALSE(valueInside);
    EXPECT_TRUE(cast<NSString>(NSThread::currentThread()->threadDictionary()->objectForKey("key"_ns))
                    ->isEqualToString("main value"_ns));
    EXPECT_TRUE(runUntil([&] { return thread->isFinished(); }));
    EXPECT_FALSE(thread->isExecuting());
    EXPECT_TRUE(NSThread::isMultiThreaded());
    EXPECT_TRUE(raises([&] { thread->start(); }, NSInvalidArgumentException));
}

TEST_F(ThreadTests, TargetAndSelectorThread) {
    auto target = make<ThreadTarget>();
    NSThread::detachNewThreadSelectorToTargetWithObject("work:", target, "argument"_ns);
    EXPECT_TRUE(runUntil([&] { return target->done.load(); }));
    std::lock_guard<std::mutex> lock(target->mutex);
    EXPECT_EQ(target->received, "argument");
    EXPECT_FALSE(target->onMain);
}

TEST_F(ThreadTests, SleepFollowsTheVirtualClock) {
    std::atomic<double> wokeAt{-1};
    std::atomic<double> sleptUntilDateAt{-1};
    NSThread::detachNewThreadWithBlock([&] {
        NSThread::sleepForTimeInterval(1.5);
        wokeAt = elapsed();
        NSThread::sleepUntilDate(NSDate::dateWithTimeIntervalSinceNow(2));
        sleptUntilDateAt = elapsed();
        NSThread::sleepForTimeInterval(-3); // nothing
    });
    advance(1.4);
    EXPECT_EQ(wokeAt, -1);
    advance(10);
    EXPECT_DOUBLE_EQ(wokeAt, 1.5);
    EXPECT_DOUBLE_EQ(sleptUntilDateAt, 3.5);
    EXPECT_TRUE(raises([] { NSThread::sleepForTimeInterval(NAN); }, NSInvalidArgumentException));
    EXPECT_TRUE(raises([] { NSThread::sleepUntilDate(nullptr); }, NSInvalidArgumentException));
}

TEST_F(ThreadTests, CancellationIsAFlagTheBodyReads) {
    std::atomic<int> rounds{0};
    auto thread = make<NSThread>([&] {
        while (!NSThread::currentThread()->isCancelled()) {
            ++rounds;
            NSThread::sleepForTimeInterval(1);
        }
    });
    thread->start();
    advance(3);
    thread->cancel();
    EXPECT_TRUE(thread->isCancelled());
    advance(1);
    EXPECT_TRUE(thread->isFinished());
    EXPECT_EQ(rounds, 4);
}
