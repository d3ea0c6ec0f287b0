// RXDynamicSignal: the signal made by createSignal. Its block runs once for every subscription,
// through the subscription scheduler: at once when the subscribing thread has a current scheduler,
// else on a background queue.
#pragma once

#include <Reactive/RXSignal.h>

class RXDynamicSignal : public RXSignal {
    NS_OBJECT(RXDynamicSignal, RXSignal)
public:
    explicit RXDynamicSignal(RXSignalCreateBlock didSubscribe) : didSubscribe_(std::move(didSubscribe)) {}

    static Ref<RXSignal> createSignal(RXSignalCreateBlock didSubscribe);

    const RXSignalCreateBlock& didSubscribe() const noexcept { return didSubscribe_; }

    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;

protected:
    Ref<RXDisposable> subscribeBlocks(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed) override;

private:
    // Runs the block with the subscriber now or on the subscription scheduler; what it answers
    // goes into the subscription's compound.
    void start(Ref<RXSubscriber> subscriber, const Ref<RXCompoundDisposable>& disposable);

    const RXSignalCreateBlock didSubscribe_;
};
