// RXBlockSubscriber: the subscriber made of three blocks (the class RXSubscriber of the platform's
// signal library; in C++ the protocol holds that name). The subscribe family of RXSignal
// (subscribeNext and its variants) builds one for every subscription.
//
// Events are serialised with the subscriber's own recursive lock, and the blocks run inside it. The
// first termination disposes the subscriber's compound disposable, which clears the blocks and
// disposes every subscription made with this subscriber: nothing reaches the blocks afterwards.
#pragma once

#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXLockWord.h>
#include <Reactive/RXSubscriber.h>

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
    RXBlockSubscriber();
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
    // Holds every live subscription made with this subscriber.
    const Ref<RXCompoundDisposable>& disposable() const noexcept { return disposable_; }

    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;

private:
    class OwnDisposable;
    friend class OwnDisposable;
    // Clears the blocks; while a block runs, clearing waits until it has returned.
    void clearBlocks();
    void finishCall();
    // A block replaced while blocks run is kept until they have returned: it may be the one running.
    template <class Block>
    void retire(Block&& block) {
        if (calls_ > 0 && block) {
            if (!retired_) {
                retired_ = std::make_unique<std::vector<std::function<void()>>>();
            }
            retired_->push_back([keep = std::move(block)] {});
        }
    }

    mutable rx_detail::RecursiveLockWord lock_;
    RXNextBlock next_;
    RXErrorBlock error_;
    RXCompletedBlock completed_;
    std::unique_ptr<std::vector<std::function<void()>>> retired_; // made when a block is replaced
    int calls_ = 0;        // blocks running (nested on this thread through the recursive lock)
    bool cleared_ = false; // the blocks are cleared, or will be once the running ones return
    bool deallocating_ = false;
    Ref<RXCompoundDisposable> disposable_;
};
