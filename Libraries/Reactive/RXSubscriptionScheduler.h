// RXSubscriptionScheduler: runs work at once when the calling thread has a current scheduler (the
// main thread always has), else on its background scheduler. Every subscription passes through it.
#pragma once

#include <Reactive/RXScheduler.h>

class RXSubscriptionScheduler : public RXScheduler {
    NS_OBJECT(RXSubscriptionScheduler, RXScheduler)
public:
    RXSubscriptionScheduler();

    const Ref<RXScheduler>& backgroundScheduler() const noexcept { return backgroundScheduler_; }

    Ref<RXDisposable> schedule(RXSchedulerBlock block) override;
    Ref<RXDisposable> afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) override;
    Ref<RXDisposable> afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date, NSTimeInterval interval,
                                                            NSTimeInterval leeway, RXSchedulerBlock block) override;

    // `schedule` without making a block object when the work runs at once: `work` is called now
    // (and nil answered) when there is a current scheduler, else handed to the background scheduler.
    template <class Work>
    Ref<RXDisposable> scheduleWork(Work&& work) {
        if (RXScheduler::hasCurrentScheduler()) {
            work();
            return nullptr;
        }
        return backgroundScheduler_->schedule(RXSchedulerBlock(std::forward<Work>(work)));
    }

private:
    Ref<RXScheduler> backgroundScheduler_;
};
