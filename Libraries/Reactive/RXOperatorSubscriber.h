// The subscriber the operators subscribe to their sources with, and the signal class that operators
// return. Internal to the signal library.
//
// A user-level subscription (RXBlockSubscriber through createSignal) pays for a recursive mutex, a
// compound disposable of its own, a removal link and boxed blocks. An operator level needs none of
// that: its subscriber holds the downstream subscriber and the operator's step inline, serialises its
// events with a one-word recursive lock (a source may be a subject fed from several threads, and a
// step may send back into its own source), and keeps the source's subscription in the one compound
// disposable that the operator's subscription answers anyway.
//
// What a subscriber observes is unchanged: nothing reaches it once its subscription is disposed, an
// operator that finishes early ends its source's subscription before it sends the completion, and
// the downstream subscriber is told about the subscription (didSubscribeWithDisposable) as with
// createSignal.
#pragma once

#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXSignal.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class NSError;
class RXTuple;

namespace rx_detail {

// A recursive lock in one pointer-sized word (plus a depth and a waiter count): uncontended, a lock
// is one compare-and-swap and an unlock one store. A contended lock spins briefly, then sleeps on the
// word.
class RecursiveLockWord {
public:
    void lock() noexcept {
        const void* me = self();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        const void* expected = nullptr;
        if (!owner_.compare_exchange_strong(expected, me, std::memory_order_acquire, std::memory_order_relaxed)) {
            lockSlow(me);
        }
    }
    void unlock() noexcept {
        if (depth_ > 0) {
            --depth_;
            return;
        }
        owner_.store(nullptr, std::memory_order_seq_cst);
        if (waiters_.load(std::memory_order_seq_cst) > 0) {
            owner_.notify_all();
        }
    }

private:
    static const void* self() noexcept {
        thread_local char token;
        return &token;
    }
    void lockSlow(const void* me) noexcept;

    std::atomic<const void*> owner_{nullptr};
    uint32_t depth_ = 0; // touched by the owner only
    std::atomic<uint32_t> waiters_{0};
};

// Holds a RecursiveLockWord for a scope.
class LockWordGuard {
public:
    explicit LockWordGuard(RecursiveLockWord& lock) noexcept : lock_(lock) { lock_.lock(); }
    ~LockWordGuard() { lock_.unlock(); }
    LockWordGuard(const LockWordGuard&) = delete;
    LockWordGuard& operator=(const LockWordGuard&) = delete;

private:
    RecursiveLockWord& lock_;
};

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

    const Ref<RXSubscriber>& downstream() const noexcept { return downstream_; }
    const Ref<RXCompoundDisposable>& outer() const noexcept { return outer_; }

protected:
    // Marks the subscription finished; false when it already was.
    bool markDone() noexcept { return !done_.exchange(true, std::memory_order_acq_rel); }
    void endSource();

    RecursiveLockWord lock_;

private:
    Ref<RXSubscriber> downstream_;
    Ref<RXCompoundDisposable> outer_;
    Ref<RXDisposable> source_;
    std::atomic<bool> done_{false};
};

// An operator subscriber with its step inline. Step provides
//   void next(const id& value, OperatorSubscriberBase& op);
// and optionally error(error, op) and completed(op) (by default they forward). With Locked false
// the step serialises its events itself (a state shared by the sources of a combining operator
// has one lock for all of them).
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

// The signal an operator returns: its subscription is one compound disposable, reported to the
// subscriber, and the block connects the subscriber to the sources.
class OperatorSignal final : public RXSignal {
public:
    using Connect = std::function<void(const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer)>;
    explicit OperatorSignal(Connect connect) : connect_(std::move(connect)) {}
    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;

private:
    Connect connect_;
};

// A one-source operator: each subscription subscribes an OperatorSubscriber<Step> made by the
// factory to the source.
template <class Factory>
Ref<RXSignal> operatorSignal(const Ref<RXSignal>& source, Factory factory) {
    using Step = decltype(factory());
    return make<OperatorSignal>(
        [source, factory](const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer) {
            auto op = make<OperatorSubscriber<Step>>(downstream, outer, factory());
            op->attach(source->subscribe(op));
        });
}

} // namespace rx_detail
