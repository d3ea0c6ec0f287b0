// RXImmediateScheduler: runs work at once, on the calling thread.
#pragma once

#include <Reactive/RXScheduler.h>

class RXImmediateScheduler : public RXScheduler {
    NS_OBJECT(RXImmediateScheduler, RXScheduler)
public:
    RXImmediateScheduler();

    // Runs the block now; nil.
    Ref<RXDisposable> schedule(RXSchedulerBlock block) override;
    // Sleeps until the date, then runs the block; nil.
    Ref<RXDisposable> afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) override;
    // Not supported: does nothing and answers nil.
    Ref<RXDisposable> afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date, NSTimeInterval interval,
                                                            NSTimeInterval leeway, RXSchedulerBlock block) override;
    // Runs the block again as often as it asked, iteratively; nil.
    Ref<RXDisposable> scheduleRecursiveBlock(RXSchedulerRecursiveBlock block) override;
};
