// RXTargetQueueScheduler: a queue scheduler on a private serial queue that targets another queue.
// The main-thread scheduler targets the main queue; background schedulers a global queue.
#pragma once

#include <Reactive/RXQueueScheduler.h>

class RXTargetQueueScheduler : public RXQueueScheduler {
    NS_OBJECT(RXTargetQueueScheduler, RXQueueScheduler)
public:
    // A nil name gives a label made of the class name and the target queue's label.
    RXTargetQueueScheduler(const Ref<NSString>& name, const dispatch_queue_t& targetQueue);

    static Ref<RXTargetQueueScheduler> schedulerWithNameTargetQueue(const Ref<NSString>& name,
                                                                    const dispatch_queue_t& targetQueue);

private:
    static Ref<NSString> nameFor(const Ref<NSString>& name, const dispatch_queue_t& targetQueue);
    static dispatch_queue_t makeQueue(const Ref<NSString>& name, const dispatch_queue_t& targetQueue);
};
