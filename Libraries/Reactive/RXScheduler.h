// RXScheduler: where and when a unit of work runs: at once, later on a dispatch queue, after a
// date, or repeatedly on a timer. Every scheduled unit hands back a disposable that cancels it if
// it has not run yet. A thread may have a current scheduler (the one whose work it is running); the
// main thread's is the main-thread scheduler. The subscription path uses it to decide whether a
// subscription's block runs at once.
#pragma once

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDate.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXDisposable.h>

#include <functional>

using RXSchedulerBlock = std::function<void()>;
// A recursive block: given a block that asks for one more run of the recursive block.
using RXSchedulerRecursiveBlock = std::function<void(const std::function<void()>& reschedule)>;

// Priorities of the global queues that background schedulers target.
using RXSchedulerPriority = long;
inline constexpr RXSchedulerPriority RXSchedulerPriorityHigh = 2;
inline constexpr RXSchedulerPriority RXSchedulerPriorityDefault = 0;
inline constexpr RXSchedulerPriority RXSchedulerPriorityLow = -2;
inline constexpr RXSchedulerPriority RXSchedulerPriorityBackground = -32768;

class RXScheduler : public NSObject {
    NS_OBJECT(RXScheduler, NSObject)
public:
    // `initWithName:`: a nil name gives the anonymous label.
    explicit RXScheduler(const Ref<NSString>& name = nullptr);

    // Shared schedulers, each made once per process.
    static Ref<RXScheduler> immediateScheduler();
    static Ref<RXScheduler> mainThreadScheduler();
    static Ref<RXScheduler> subscriptionScheduler();
    // A new serial scheduler on the global queue of the priority.
    static Ref<RXScheduler> schedulerWithPriorityName(RXSchedulerPriority priority, const Ref<NSString>& name);
    static Ref<RXScheduler> schedulerWithPriority(RXSchedulerPriority priority);
    // A new background scheduler (default priority); every call makes a new one.
    static Ref<RXScheduler> scheduler();
    // A new serial scheduler that targets the queue.
    static Ref<RXScheduler> schedulerWithQueueName(const dispatch_queue_t& queue, const Ref<NSString>& name);
    // Whether the caller runs on the main thread (or the main operation queue).
    static bool isOnMainThread();
    // The scheduler whose work the calling thread runs; on the main thread by default the
    // main-thread scheduler; nil elsewhere.
    static Ref<RXScheduler> currentScheduler();
    // Whether currentScheduler would answer one (without making a reference to it).
    static bool hasCurrentScheduler();

    Ref<NSString> name() const { return name_; }
    // "<Class: address> name"
    Ref<NSString> description() const override;

    // Abstract here: nil.
    virtual Ref<RXDisposable> schedule(RXSchedulerBlock block);
    virtual Ref<RXDisposable> afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block);
    // `afterSchedule` with the date `delay` seconds from now.
    virtual Ref<RXDisposable> afterDelaySchedule(NSTimeInterval delay, RXSchedulerBlock block);
    virtual Ref<RXDisposable> afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date, NSTimeInterval interval,
                                                                    NSTimeInterval leeway, RXSchedulerBlock block);
    // Runs the recursive block; each call of its reschedule block asks for another run. Requests
    // made while the block runs are deferred until it returns, so recursion never grows the stack.
    virtual Ref<RXDisposable> scheduleRecursiveBlock(RXSchedulerRecursiveBlock block);
    void scheduleRecursiveBlockAddingToDisposable(const RXSchedulerRecursiveBlock& block,
                                                  const Ref<RXCompoundDisposable>& disposable);

    // Runs the block with the receiver as the thread's current scheduler.
    void performAsCurrentScheduler(const std::function<void()>& block);

protected:
    // The fixed labels of the scheduler roles.
    static Ref<NSString> label(const char* role);

private:
    Ref<NSString> name_;
};
