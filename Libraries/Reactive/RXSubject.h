// RXSubject: a signal that is also a subscriber. Whatever is sent to it is pushed to its current
// subscribers, in subscription order; what is sent before anyone subscribes is lost. After its
// first termination (sendError or sendCompleted) a subject delivers no more values: later events are
// dropped (also those sent from inside a subscriber's completion or error block), and a subscriber
// arriving later receives the termination at once.
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
    // disposable. A terminated subject answers a disposed compound, keeps nothing and sends nothing:
    // the caller sends what the subject keeps, then sendTerminationTo.
    Ref<RXCompoundDisposable> addSubscriber(const Ref<RXSubscriber>& subscriber);
    // Sends the subject's termination (its error or completion) to a subscriber arriving after it.
    void sendTerminationTo(RXSubscriber& subscriber) const;

private:
    // Calls `block` for each subscriber of a snapshot of the list, taken under the list's lock and
    // used outside it. The snapshot lives in a buffer kept by the thread, so sending allocates
    // nothing.
    template <class Block>
    void forEachSubscriber(Block&& block) const;
    // Records the termination once and sends it to the subscribers of that moment.
    template <class Send>
    void terminate(const Ref<NSError>* error, Send&& send);

public:
    // The subscriber list (internal).
    struct Subscribers;

private:
    std::shared_ptr<Subscribers> subscribers_;
    Ref<RXCompoundDisposable> disposable_;
    std::atomic<bool> terminated_{false};
    Ref<NSError> error_; // the error the subject failed with; written once, before terminated_ is set
    bool failed_ = false;
};
