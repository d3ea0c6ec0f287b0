// RXDynamicSignal: the block signal. A subscription made with the subscribe family gives the block
// one object that is both the pass-through and the block subscriber.
#include <Reactive/RXDynamicSignal.h>

#include <Reactive/RXPassthroughSubscriber.h>
#include <Reactive/RXSubscriptionScheduler.h>
#include <Reactive/RXTracer.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXDynamicSignal, RXSignal) {}

namespace {
// The subscriber of a subscription made with the subscribe family: the block subscriber, made for
// this subscription and held by nobody else, and its pass-through in one object. Everything the
// subscriber receives therefore comes through the pass-through's role: events pass only while the
// subscription's compound is live, and a disposable it is told about goes into that compound.
class BlockSubscription final : public RXBlockSubscriber {
public:
    BlockSubscription(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed,
                      Ref<RXCompoundDisposable> subscription)
        : RXBlockSubscriber(std::move(next), std::move(error), std::move(completed)),
          subscription_(std::move(subscription)) {
        RXBlockSubscriber::didSubscribeWithDisposable(subscription_);
    }

    void sendNext(const id& value) override {
        if (subscription_->isDisposed()) {
            return;
        }
        if (RXTracer::isTracing()) {
            RXPassthroughSubscriber::probeNext(nullptr, id(this), value);
        }
        RXBlockSubscriber::sendNext(value);
    }
    void sendError(const Ref<NSError>& error) override {
        if (subscription_->isDisposed()) {
            return;
        }
        if (RXTracer::isTracing()) {
            RXPassthroughSubscriber::probeError(nullptr, id(this), error);
        }
        RXBlockSubscriber::sendError(error);
    }
    void sendCompleted() override {
        if (subscription_->isDisposed()) {
            return;
        }
        if (RXTracer::isTracing()) {
            RXPassthroughSubscriber::probeCompleted(nullptr, id(this));
        }
        RXBlockSubscriber::sendCompleted();
    }
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override {
        if (disposable != subscription_) {
            subscription_->addDisposable(disposable);
        }
    }

private:
    Ref<RXCompoundDisposable> subscription_;
};
} // namespace

Ref<RXSignal> RXDynamicSignal::createSignal(RXSignalCreateBlock didSubscribe) {
    auto signal = make<RXDynamicSignal>(std::move(didSubscribe));
    signal->setNameWithFormat("+createSignal:");
    return signal;
}

Ref<RXDisposable> RXDynamicSignal::subscribe(const Ref<RXSubscriber>& subscriber) {
    auto disposable = make<RXCompoundDisposable>();
    start(make<RXPassthroughSubscriber>(subscriber, this, disposable), disposable);
    return disposable;
}

Ref<RXDisposable> RXDynamicSignal::subscribeBlocks(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed) {
    if (RXTracer::isTracing()) {
        // The probes name the signal: the pass-through keeps it.
        return RXSignal::subscribeBlocks(std::move(next), std::move(error), std::move(completed));
    }
    auto disposable = make<RXCompoundDisposable>();
    start(make<BlockSubscription>(std::move(next), std::move(error), std::move(completed), disposable), disposable);
    return disposable;
}

void RXDynamicSignal::start(Ref<RXSubscriber> subscriber, const Ref<RXCompoundDisposable>& disposable) {
    if (!didSubscribe_) {
        return;
    }
    if (RXScheduler::hasCurrentScheduler()) {
        // Run at once, as the subscription scheduler would: nothing to keep for later.
        disposable->addDisposable(didSubscribe_(subscriber));
    } else {
        auto* scheduler = static_cast<RXSubscriptionScheduler*>(RXScheduler::subscriptionScheduler().get());
        Ref<RXDisposable> scheduling =
            scheduler->scheduleWork([self = Ref<RXDynamicSignal>(this), subscriber = std::move(subscriber),
                                     disposable] { disposable->addDisposable(self->didSubscribe_(subscriber)); });
        disposable->addDisposable(scheduling);
    }
}
