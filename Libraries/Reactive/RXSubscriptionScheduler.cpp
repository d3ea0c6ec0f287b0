#include <Reactive/RXSubscriptionScheduler.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXSubscriptionScheduler, RXScheduler) {}

RXSubscriptionScheduler::RXSubscriptionScheduler()
    : RXScheduler(label("subscriptionScheduler")), backgroundScheduler_(RXScheduler::scheduler()) {}

Ref<RXDisposable> RXSubscriptionScheduler::schedule(RXSchedulerBlock block) {
    return scheduleWork(std::move(block));
}

Ref<RXDisposable> RXSubscriptionScheduler::afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) {
    Ref<RXScheduler> scheduler = RXScheduler::currentScheduler();
    return (scheduler ? scheduler : backgroundScheduler_)->afterSchedule(date, std::move(block));
}

Ref<RXDisposable> RXSubscriptionScheduler::afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date,
                                                                                 NSTimeInterval interval,
                                                                                 NSTimeInterval leeway,
                                                                                 RXSchedulerBlock block) {
    Ref<RXScheduler> scheduler = RXScheduler::currentScheduler();
    return (scheduler ? scheduler : backgroundScheduler_)
        ->afterRepeatingEveryWithLeewaySchedule(date, interval, leeway, std::move(block));
}
