#include <Reactive/RXImmediateScheduler.h>

#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXImmediateScheduler, RXScheduler) {}

RXImmediateScheduler::RXImmediateScheduler() : RXScheduler(label("immediateScheduler")) {}

Ref<RXDisposable> RXImmediateScheduler::schedule(RXSchedulerBlock block) {
    if (block) {
        block();
    }
    return nullptr;
}

Ref<RXDisposable> RXImmediateScheduler::afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) {
    if (date) {
        NSThread::sleepUntilDate(date);
    }
    return schedule(std::move(block));
}

Ref<RXDisposable> RXImmediateScheduler::afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>&, NSTimeInterval,
                                                                              NSTimeInterval, RXSchedulerBlock) {
    return nullptr;
}

Ref<RXDisposable> RXImmediateScheduler::scheduleRecursiveBlock(RXSchedulerRecursiveBlock block) {
    for (NSUInteger remaining = 1; remaining > 0; --remaining) {
        block([&remaining] { ++remaining; });
    }
    return nullptr;
}
