// RXSubject: a signal that is also a subscriber. Whatever is sent to it is pushed to its current
// subscribers, in subscription order; what is sent before anyone subscribes is lost. After its
// first termination (sendError or sendCompleted) a subject delivers nothing more: later events are
// dropped, and a later subscriber receives nothing.
#pragma once

#include <Reactive/RXPassthroughSubscriber.h>
#include <Reactive/RXSignal.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class RXSubject : public RXSignal, public RXSubscriber {
    NS_OBJECT(RXSubject, RXSignal)
public:
    RXSubject();
    ~RXSubject() override;

    static Ref<RXSubject> subject();

    // The subscription's disposable takes the subscriber off the list (also when the subscriber
    // ends the subscription by terminating).
    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;

    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;
    // The subject subscribed to another signal: the subscription is kept in the subject's compound
    // disposable until it ends.
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;

    // The subscriptions in which the subject is the subscriber.
    const Ref<RXCompoundDisposable>& disposable() const noexcept { return disposable_; }
    // A snapshot of the current subscribers (pass-through wrappers), in subscription order.
    std::vector<Ref<RXSubscriber>> subscribers() const;
    // Calls the block for each subscriber of a snapshot taken under the list's lock, outside it.
    void enumerateSubscribersUsingBlock(const std::function<void(const Ref<RXSubscriber>&)>& block) const;
    bool hasTerminated() const noexcept { return terminated_.load(std::memory_order_acquire); }

protected:
    // Appends the subscriber to the list (as a pass-through wrapper) and returns the subscription's
    // disposable. A terminated subject answers a disposed compound and keeps nothing.
    Ref<RXCompoundDisposable> addSubscriber(const Ref<RXSubscriber>& subscriber);
    // Marks the subject terminated; false when it already was.
    bool terminate();

private:
    // Calls `block` for each subscriber of a snapshot of the list, taken under the list's lock and
    // used outside it. The snapshot lives in a buffer kept by the thread, so sending allocates
    // nothing.
    template <class Block>
    void forEachSubscriber(Block&& block) const;

public:
    // The subscriber list (internal).
    struct Subscribers;

private:
    std::shared_ptr<Subscribers> subscribers_;
    Ref<RXCompoundDisposable> disposable_;
    std::atomic<bool> terminated_{false};
};
