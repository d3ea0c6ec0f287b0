// RXBlockSubscriber: the subscriber made of three blocks (the class RXSubscriber of the platform's
// signal library; in C++ the protocol holds that name). The subscribe family of RXSignal
// (subscribeNext and its variants) builds one for every subscription.
//
// Events are serialised with the subscriber's own recursive lock, and the blocks run inside it. The
// first termination disposes the subscriber's compound disposable, which clears the blocks and
// disposes every subscription made with this subscriber: nothing reaches the blocks afterwards.
//
// The compound is made when it is first asked for (`disposable()`) or when a second live
// subscription is reported; until then the subscriber keeps its one subscription by itself. What a
// caller observes is the same either way: termination, disposal and deallocation end every
// subscription, and a subscription reported after the end is disposed at once.
#pragma once

#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXLockWord.h>
#include <Reactive/RXSubscriber.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class NSError;

using RXNextBlock = std::function<void(const id& value)>;
using RXErrorBlock = std::function<void(const Ref<NSError>& error)>;
using RXCompletedBlock = std::function<void()>;

class RXBlockSubscriber : public NSObject, public RXSubscriber {
    NS_OBJECT(RXBlockSubscriber, NSObject)
public:
    RXBlockSubscriber() noexcept;
    RXBlockSubscriber(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed) noexcept;
    ~RXBlockSubscriber() override;

    // Empty blocks are simply not called.
    static Ref<RXBlockSubscriber> subscriberWithNextErrorCompleted(RXNextBlock next, RXErrorBlock error,
                                                                   RXCompletedBlock completed);

    RXNextBlock next() const;
    void setNext(RXNextBlock next);
    RXErrorBlock error() const;
    void setError(RXErrorBlock error);
    RXCompletedBlock completed() const;
    void setCompleted(RXCompletedBlock completed);
    // Holds every live subscription made with this subscriber (made on the first call; the same
    // object afterwards). Disposing it ends the subscriber as a termination would, without a block.
    const Ref<RXCompoundDisposable>& disposable() const;

    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;

private:
    class OwnDisposable;
    friend class OwnDisposable;
    // The compound, made (and given the kept subscription) if there is none yet.
    RXCompoundDisposable& ensureCompound() const;
    // Ends every subscription and clears the blocks (the first termination, or deallocation).
    void disposeSubscriptions();
    // Puts a subscription into the compound (made), linked so that it leaves it when it ends.
    void adopt(const Ref<RXCompoundDisposable>& subscription) const;
    // Clears the blocks; while a block runs, clearing waits until it has returned.
    void clearBlocks();
    void finishCall();
    // Reads a block under the lock (nil once cleared).
    template <class Block>
    Block read(const Block& block) const {
        rx_detail::LockWordGuard guard(lock_);
        return cleared_ ? nullptr : block;
    }
    // Replaces a block under the lock. A block replaced while blocks run is kept until they have
    // returned: it may be the one running.
    template <class Block>
    void replace(Block& slot, Block block) {
        rx_detail::LockWordGuard guard(lock_);
        if (calls_ > 0 && slot) {
            if (!retired_) {
                retired_ = std::make_unique<std::vector<std::function<void()>>>();
            }
            retired_->push_back([keep = std::move(slot)] {});
        }
        slot = std::move(block);
    }
    // A termination: the subscriptions end (the blocks are cleared once this call has returned),
    // then the termination's block runs, if the subscriber had not ended before.
    template <class Call>
    void terminate(Call&& call);

    mutable rx_detail::RecursiveLockWord lock_;
    RXNextBlock next_;
    RXErrorBlock error_;
    RXCompletedBlock completed_;
    std::unique_ptr<std::vector<std::function<void()>>> retired_; // made when a block is replaced
    int calls_ = 0;        // blocks running (nested on this thread through the recursive lock)
    bool cleared_ = false; // the blocks are cleared, or will be once the running ones return
    bool deallocating_ = false;

    // The subscriptions, guarded by a spin lock of their own (never held while calling out): the
    // only one while there is no compound, or the compound, which then holds them all.
    mutable rx_detail::SpinLockByte subscriptionsLock_;
    mutable bool ended_ = false;                     // no compound yet, and the subscriber ended
    mutable Ref<RXCompoundDisposable> subscription_; // the one kept while there is no compound
    mutable Ref<RXCompoundDisposable> compound_;     // set once, before compoundMade_ is
    mutable std::atomic<bool> compoundMade_{false};
};
