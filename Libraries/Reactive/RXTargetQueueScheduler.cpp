#include <Reactive/RXTargetQueueScheduler.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTargetQueueScheduler, RXQueueScheduler) {}

Ref<NSString> RXTargetQueueScheduler::nameFor(const Ref<NSString>& name, const dispatch_queue_t& targetQueue) {
    if (name) {
        return name;
    }
    return NSString::stringWithFormat("com.celvix.reactive.scheduler.RXTargetQueueScheduler(%s)",
                                      targetQueue ? targetQueue->label().c_str() : "");
}

dispatch_queue_t RXTargetQueueScheduler::makeQueue(const Ref<NSString>& name, const dispatch_queue_t& targetQueue) {
    dispatch_queue_t queue = dispatch_queue_create(nameFor(name, targetQueue)->UTF8String(), DISPATCH_QUEUE_SERIAL);
    dispatch_set_target_queue(queue, targetQueue);
    return queue;
}

RXTargetQueueScheduler::RXTargetQueueScheduler(const Ref<NSString>& name, const dispatch_queue_t& targetQueue)
    : RXQueueScheduler(nameFor(name, targetQueue), makeQueue(name, targetQueue)) {}

Ref<RXTargetQueueScheduler> RXTargetQueueScheduler::schedulerWithNameTargetQueue(const Ref<NSString>& name,
                                                                                 const dispatch_queue_t& targetQueue) {
    return make<RXTargetQueueScheduler>(name, targetQueue);
}
