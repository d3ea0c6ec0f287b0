// The class operations of RXScheduler that make queue schedulers.
#include <Foundation/NSThread.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXTargetQueueScheduler.h>

Ref<RXScheduler> RXScheduler::mainThreadScheduler() {
    static const Ref<RXScheduler> shared =
        make<RXTargetQueueScheduler>(label("mainThreadScheduler"), dispatch_get_main_queue());
    return shared;
}

Ref<RXScheduler> RXScheduler::schedulerWithPriorityName(RXSchedulerPriority priority, const Ref<NSString>& name) {
    return make<RXTargetQueueScheduler>(name, dispatch_get_global_queue(priority, 0));
}

Ref<RXScheduler> RXScheduler::schedulerWithQueueName(const dispatch_queue_t& queue, const Ref<NSString>& name) {
    return make<RXTargetQueueScheduler>(name, queue);
}

bool RXScheduler::isOnMainThread() {
    return NSThread::isMainThread();
}
