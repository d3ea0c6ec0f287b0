// RXQueueScheduler: runs work asynchronously on a serial dispatch queue, with itself as the current
// scheduler while the work runs. Work is never run inline, even from the queue's own thread.
#pragma once

#include <Dispatch/DispatchQueue.h>
#include <Reactive/RXScheduler.h>

class RXQueueScheduler : public RXScheduler {
    NS_OBJECT(RXQueueScheduler, RXScheduler)
public:
    RXQueueScheduler(const Ref<NSString>& name, dispatch_queue_t queue);

    const dispatch_queue_t& queue() const noexcept { return queue_; }

    Ref<RXDisposable> schedule(RXSchedulerBlock block) override;
    Ref<RXDisposable> afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) override;
    // A timer source on the queue: first at `date`, then every `interval` seconds, until the
    // disposable cancels it. Its block runs as the event handler, without a current scheduler.
    Ref<RXDisposable> afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date, NSTimeInterval interval,
                                                            NSTimeInterval leeway, RXSchedulerBlock block) override;

    // The dispatch wall time of a date.
    static dispatch_time_t wallTimeWithDate(const Ref<NSDate>& date);

private:
    dispatch_queue_t queue_;
};
