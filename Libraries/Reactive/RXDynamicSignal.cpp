#include <Reactive/RXDynamicSignal.h>

#include <Reactive/RXPassthroughSubscriber.h>
#include <Reactive/RXSubscriptionScheduler.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXDynamicSignal, RXSignal) {}

Ref<RXSignal> RXDynamicSignal::createSignal(RXSignalCreateBlock didSubscribe) {
    auto signal = make<RXDynamicSignal>(std::move(didSubscribe));
    signal->setNameWithFormat("+createSignal:");
    return signal;
}

Ref<RXDisposable> RXDynamicSignal::subscribe(const Ref<RXSubscriber>& subscriber) {
    auto disposable = make<RXCompoundDisposable>();
    Ref<RXSubscriber> passthrough = make<RXPassthroughSubscriber>(subscriber, this, disposable);
    if (didSubscribe_) {
        if (RXScheduler::hasCurrentScheduler()) {
            // Run at once, as the subscription scheduler would: nothing to keep for later.
            disposable->addDisposable(didSubscribe_(passthrough));
        } else {
            auto* scheduler = static_cast<RXSubscriptionScheduler*>(RXScheduler::subscriptionScheduler().get());
            Ref<RXDisposable> scheduling =
                scheduler->scheduleWork([self = Ref<RXDynamicSignal>(this), passthrough, disposable] {
                    disposable->addDisposable(self->didSubscribe_(passthrough));
                });
            disposable->addDisposable(scheduling);
        }
    }
    return disposable;
}
