// The subscriber the operators subscribe to their sources with, and the signal class that operators
// return. Internal to the signal library.
//
// A user-level subscription (RXBlockSubscriber through createSignal) pays for a recursive lock, a
// compound disposable of its own and boxed blocks. An operator level needs none of that: its
// subscriber holds the downstream subscriber and the operator's step inline, and keeps the source's
// subscription in the one compound disposable that the operator's subscription answers anyway. Over
// a source that may send from several threads at once (a subject, a block signal) it serialises its
// events with a one-word recursive lock (recursive: a step may send back into its own source); over
// another operator, which already delivers one event at a time, it takes no lock.
//
// What a subscriber observes is unchanged: nothing reaches it once its subscription is disposed, an
// operator that finishes early ends its source's subscription before it sends the completion, and
// the downstream subscriber is told about the subscription (didSubscribeWithDisposable) as with
// createSignal.
#pragma once

#include <Reactive/RXBlockSubscriber.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXLockWord.h>
#include <Reactive/RXSignal.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class NSError;
class RXTuple;

namespace rx_detail {

// The operator's side of one subscription: the downstream subscriber, the operator's subscription
// (`outer`: answered to the caller and reported downstream) and the source's subscription in it.
class OperatorSubscriberBase : public NSObject, public RXSubscriber {
public:
    OperatorSubscriberBase(Ref<RXSubscriber> downstream, Ref<RXCompoundDisposable> outer) noexcept
        : RXSubscriber(this), downstream_(std::move(downstream)), outer_(std::move(outer)) {}

    // The source tells about its subscription before it sends anything: kept, so that an early
    // finish can end it even while the source is still inside its subscription.
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;
    // The disposable the source's subscribe answered (usually the one reported).
    void attach(const Ref<RXDisposable>& disposable);

    // Whether events still pass.
    bool live() const noexcept { return !done_.load(std::memory_order_acquire) && !outer_->isDisposed(); }

    // For the steps: forward to the downstream subscriber.
    void forwardNext(const id& value) { downstream_->sendNext(value); }
    void forwardError(const Ref<NSError>& error);
    void forwardCompleted();
    // Ends the source's subscription, then completes downstream (take:, takeUntilBlock:, ...).
    void finish();
    // Ends the source's subscription, then fails downstream.
    void fail(const Ref<NSError>& error);
    // Ends the source's subscription and sends nothing.
    void endSource();

    const Ref<RXSubscriber>& downstream() const noexcept { return downstream_; }
    const Ref<RXCompoundDisposable>& outer() const noexcept { return outer_; }

protected:
    // Marks the subscription finished; false when it already was.
    bool markDone() noexcept { return !done_.exchange(true, std::memory_order_acq_rel); }

    RecursiveLockWord lock_;

private:
    Ref<RXSubscriber> downstream_;
    Ref<RXCompoundDisposable> outer_;
    Ref<RXDisposable> source_;
    std::atomic<bool> done_{false};
    std::atomic<bool> sourceEnded_{false};
};

// An operator subscriber with its step inline. Step provides
//   void next(const id& value, OperatorSubscriberBase& op);
// and optionally error(error, op) and completed(op) (by default they forward). With Locked false
// the source delivers serially, or the step serialises its events itself (a state shared by the
// sources of a combining operator has one lock for all of them).
template <class Step, bool Locked = true>
class OperatorSubscriber final : public OperatorSubscriberBase {
public:
    OperatorSubscriber(Ref<RXSubscriber> downstream, Ref<RXCompoundDisposable> outer, Step step)
        : OperatorSubscriberBase(std::move(downstream), std::move(outer)), step_(std::move(step)) {}

    void sendNext(const id& value) override {
        MaybeGuard guard(lock_);
        if (live()) {
            step_.next(value, *this);
        }
    }
    void sendError(const Ref<NSError>& error) override {
        MaybeGuard guard(lock_);
        if (!live()) {
            return;
        }
        if constexpr (requires(Step & s) { s.error(error, *this); }) {
            step_.error(error, *this);
        } else {
            forwardError(error);
        }
    }
    void sendCompleted() override {
        MaybeGuard guard(lock_);
        if (!live()) {
            return;
        }
        if constexpr (requires(Step & s) { s.completed(*this); }) {
            step_.completed(*this);
        } else {
            forwardCompleted();
        }
    }

private:
    struct MaybeGuard {
        explicit MaybeGuard(RecursiveLockWord& lock) noexcept : lock_(lock) {
            if constexpr (Locked) {
                lock_.lock();
            }
        }
        ~MaybeGuard() {
            if constexpr (Locked) {
                lock_.unlock();
            }
        }
        RecursiveLockWord& lock_;
    };
    Step step_;
};

// A tuple of the latest values of a combining operator, reused for the next event when nobody
// else kept it (or its backing array): an event then changes one element in place instead of
// building a tuple, an array and its storage and retaining every element again.
class ReusableTuple {
public:
    // The tuple of `values` after values[index] changed (index npos: any may have changed).
    Ref<RXTuple> update(const std::vector<id>& values, size_t index);

private:
    class Storage;
    Ref<RXTuple> tuple_;
    Ref<NSArray> array_;
    std::vector<id>* items_ = nullptr; // array_'s elements
};

// The state that the sources of a combining operator (combineLatest, zip) share: one lock for all
// their events, the tuple reused between events, and every source's subscription.
struct CombiningState {
    RecursiveLockWord lock;
    bool done = false;
    ReusableTuple tuple;
    Ref<RXCompoundDisposable> sources;

    // With the lock held: the sources' subscriptions end, then the completion goes out.
    void complete(const Ref<RXSubscriber>& downstream);
    // The first termination from any source: the other sources' subscriptions end, then the error
    // goes out.
    void fail(const Ref<NSError>& error, const Ref<RXSubscriber>& downstream);
};

// The step of one source of a combining operator (State derives from CombiningState): an error
// ends everything.
template <class State>
struct CombiningStep {
    std::shared_ptr<State> state;
    size_t index;

    void error(const Ref<NSError>& error, OperatorSubscriberBase& op) { state->fail(error, op.downstream()); }
};

// Subscribes to every source with the step Step{{state, index}}; the sources' events go out under
// the state's lock, so the subscribers take none of their own.
template <class Step, class State>
void subscribeCombining(const std::vector<Ref<RXSignal>>& signals, const Ref<RXSubscriber>& downstream,
                        const Ref<RXCompoundDisposable>& outer, const std::shared_ptr<State>& state) {
    state->sources = make<RXCompoundDisposable>();
    outer->addDisposable(state->sources);
    for (size_t index = 0; index < signals.size() && !state->sources->isDisposed(); ++index) {
        auto op = make<OperatorSubscriber<Step, false>>(downstream, state->sources, Step{{state, index}});
        op->attach(signals[index]->subscribe(op));
    }
}

// The signal an operator returns: its subscription is one compound disposable, reported to the
// subscriber, and the block connects the subscriber to the sources. A signal made `serial` delivers
// the events of each subscription one at a time (its subscriber forwards them under a lock of its
// own or under one held further up), so an operator on it needs no lock of its own.
class OperatorSignal final : public RXSignal {
public:
    using Connect = std::function<void(const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer)>;
    explicit OperatorSignal(Connect connect, bool serial = false) : connect_(std::move(connect)), serial_(serial) {}
    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;
    bool deliversSerially() const noexcept { return serial_; }

private:
    Connect connect_;
    bool serial_;
};

// Whether the signal is known to deliver each subscription's events one at a time.
bool deliversSerially(const Ref<RXSignal>& signal) noexcept;

// A one-source operator: each subscription subscribes an OperatorSubscriber<Step> made by the
// factory to the source. Over a source that delivers serially the subscriber takes no lock: the
// source's own serialisation covers it (a chain of operators over a subject locks once, at its
// head). The result delivers serially either way.
template <class Factory>
Ref<RXSignal> operatorSignal(const Ref<RXSignal>& source, Factory factory) {
    using Step = decltype(factory());
    if (deliversSerially(source)) {
        return make<OperatorSignal>(
            [source, factory](const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer) {
                auto op = make<OperatorSubscriber<Step, false>>(downstream, outer, factory());
                op->attach(source->subscribe(op));
            },
            true);
    }
    return make<OperatorSignal>(
        [source, factory](const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer) {
            auto op = make<OperatorSubscriber<Step, true>>(downstream, outer, factory());
            op->attach(source->subscribe(op));
        },
        true);
}

// The subscriber of an operator built from blocks (one that forwards from its blocks to a
// subscriber of its own, schedules, or keeps state across sources): the three blocks inline, a
// one-word lock only when the source may send from several threads at once, and the reported
// subscription kept by itself instead of in a compound with a removal link. Like the public block
// subscriber it drops everything after its first termination, ends the subscription before the
// termination's block runs (and when it goes away), and releases its blocks once terminated.
class BlockSink final : public NSObject, public RXSubscriber {
public:
    BlockSink(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed, bool locked)
        : RXSubscriber(this), locked_(locked), next_(std::move(next)), error_(std::move(error)),
          completed_(std::move(completed)) {}
    ~BlockSink() override;

    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;

private:
    void lock() noexcept {
        if (locked_) {
            lock_.lock();
        }
    }
    void unlock() noexcept {
        if (locked_) {
            lock_.unlock();
        }
    }
    class Call;
    // Marks the sink terminated and ends its subscriptions; false when it already was terminated.
    bool terminate();
    void endSubscriptions();
    // A termination: ends the subscriptions, then runs the block in `member` with `args`.
    template <class Block, class... Args>
    void terminateWith(Block BlockSink::*member, const Args&... args);

    RecursiveLockWord lock_;
    const bool locked_;
    bool done_ = false; // under the lock (or the source's serial delivery)
    int calls_ = 0;     // blocks running (nested through a recursive delivery)
    RXNextBlock next_;
    RXErrorBlock error_;
    RXCompletedBlock completed_;
    SpinLockByte subscriptionsLock_;
    bool ended_ = false;                     // under subscriptionsLock_
    Ref<RXCompoundDisposable> subscription_; // the first reported subscription
    Ref<RXCompoundDisposable> more_;         // any further ones (rare)
};

// The subscribe family for operators: subscribes a BlockSink to `source`.
Ref<RXDisposable> subscribeNextErrorCompleted(const Ref<RXSignal>& source, RXNextBlock next, RXErrorBlock error,
                                              RXCompletedBlock completed);
inline Ref<RXDisposable> subscribeNext(const Ref<RXSignal>& source, RXNextBlock next) {
    return subscribeNextErrorCompleted(source, std::move(next), nullptr, nullptr);
}
inline Ref<RXDisposable> subscribeNextCompleted(const Ref<RXSignal>& source, RXNextBlock next,
                                                RXCompletedBlock completed) {
    return subscribeNextErrorCompleted(source, std::move(next), nullptr, std::move(completed));
}
inline Ref<RXDisposable> subscribeNextError(const Ref<RXSignal>& source, RXNextBlock next, RXErrorBlock error) {
    return subscribeNextErrorCompleted(source, std::move(next), std::move(error), nullptr);
}
inline Ref<RXDisposable> subscribeError(const Ref<RXSignal>& source, RXErrorBlock error) {
    return subscribeNextErrorCompleted(source, nullptr, std::move(error), nullptr);
}
inline Ref<RXDisposable> subscribeCompleted(const Ref<RXSignal>& source, RXCompletedBlock completed) {
    return subscribeNextErrorCompleted(source, nullptr, nullptr, std::move(completed));
}
inline Ref<RXDisposable> subscribeErrorCompleted(const Ref<RXSignal>& source, RXErrorBlock error,
                                                 RXCompletedBlock completed) {
    return subscribeNextErrorCompleted(source, nullptr, std::move(error), std::move(completed));
}

// Subscribes an OperatorSubscriber<Step> to `source` for the operator subscription `outer`: locked
// unless the source delivers serially.
template <class Step>
void subscribeStep(const Ref<RXSignal>& source, const Ref<RXSubscriber>& downstream,
                   const Ref<RXCompoundDisposable>& outer, Step step) {
    if (deliversSerially(source)) {
        auto op = make<OperatorSubscriber<Step, false>>(downstream, outer, std::move(step));
        op->attach(source->subscribe(op));
    } else {
        auto op = make<OperatorSubscriber<Step, true>>(downstream, outer, std::move(step));
        op->attach(source->subscribe(op));
    }
}

} // namespace rx_detail
