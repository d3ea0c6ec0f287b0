// RXBlockSubscriber: the three-block subscriber, with its compound disposable made on demand.
#include <Reactive/RXBlockSubscriber.h>

#include <Foundation/NSError.h>
#include <Reactive/RXInternal.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXBlockSubscriber, NSObject) {
    b.conformsTo(RXSubscriber::protocol());
    b.method("sendNext:", &RXBlockSubscriber::sendNext);
    b.method("sendError:", &RXBlockSubscriber::sendError);
    b.method("sendCompleted", &RXBlockSubscriber::sendCompleted);
}

// The subscriber's own compound disposable: disposing it clears the subscriber's blocks. The back
// pointer never dangles: the subscriber disposes this compound before it goes, and a disposed
// compound never runs its members again.
class RXBlockSubscriber::OwnDisposable final : public RXCompoundDisposable {
public:
    explicit OwnDisposable(RXBlockSubscriber* owner) : owner_(owner) {}
    void dispose() override {
        if (!isDisposed()) {
            owner_->clearBlocks();
        }
        RXCompoundDisposable::dispose();
    }

private:
    RXBlockSubscriber* owner_;
};

RXBlockSubscriber::RXBlockSubscriber() noexcept : RXSubscriber(this) {}

RXBlockSubscriber::RXBlockSubscriber(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed) noexcept
    : RXSubscriber(this), next_(std::move(next)), error_(std::move(error)), completed_(std::move(completed)) {}

RXBlockSubscriber::~RXBlockSubscriber() {
    // Nobody else can be sending to the subscriber any more: its blocks go with it, without taking
    // its lock (a deallocation may happen while another subscriber's lock is held).
    // Nobody can report a subscription either: no lock for the subscriptions.
    deallocating_ = true;
    if (compoundMade_.load(std::memory_order_acquire)) {
        compound_->dispose();
    } else if (subscription_) {
        subscription_->dispose();
    }
}

Ref<RXBlockSubscriber> RXBlockSubscriber::subscriberWithNextErrorCompleted(RXNextBlock next, RXErrorBlock error,
                                                                           RXCompletedBlock completed) {
    return make<RXBlockSubscriber>(std::move(next), std::move(error), std::move(completed));
}

RXNextBlock RXBlockSubscriber::next() const {
    return read(next_);
}

void RXBlockSubscriber::setNext(RXNextBlock next) {
    replace(next_, std::move(next));
}

RXErrorBlock RXBlockSubscriber::error() const {
    return read(error_);
}

void RXBlockSubscriber::setError(RXErrorBlock error) {
    replace(error_, std::move(error));
}

RXCompletedBlock RXBlockSubscriber::completed() const {
    return read(completed_);
}

void RXBlockSubscriber::setCompleted(RXCompletedBlock completed) {
    replace(completed_, std::move(completed));
}

const Ref<RXCompoundDisposable>& RXBlockSubscriber::disposable() const {
    ensureCompound();
    return compound_;
}

RXCompoundDisposable& RXBlockSubscriber::ensureCompound() const {
    if (compoundMade_.load(std::memory_order_acquire)) {
        return *compound_;
    }
    // Made outside the lock; dropped (after the lock) if another thread made one meanwhile.
    Ref<RXCompoundDisposable> made = make<OwnDisposable>(const_cast<RXBlockSubscriber*>(this));
    Ref<RXCompoundDisposable> kept;
    bool ended = false;
    {
        rx_detail::SpinGuard guard(subscriptionsLock_);
        if (compoundMade_.load(std::memory_order_relaxed)) {
            return *compound_;
        }
        compound_ = std::move(made);
        made = nullptr;
        kept = std::move(subscription_);
        subscription_ = nullptr;
        ended = ended_;
        compoundMade_.store(true, std::memory_order_release);
    }
    if (ended) {
        compound_->dispose(); // the subscriber ended before anyone asked for its compound
    } else if (kept) {
        adopt(kept);
    }
    return *compound_;
}

void RXBlockSubscriber::adopt(const Ref<RXCompoundDisposable>& subscription) const {
    compound_->addDisposable(subscription);
    // The subscription takes itself out of this subscriber's compound when it ends (holding the
    // compound until then).
    switch (subscription->linkOwner(RXCompoundDisposable::OwnerKey(), compound_)) {
    case RXCompoundDisposable::OwnerLink::Linked:
        break;
    case RXCompoundDisposable::OwnerLink::AlreadyDisposed:
        compound_->removeDisposable(subscription);
        break;
    case RXCompoundDisposable::OwnerLink::AlreadyLinked: // reported to another subscriber as well
        subscription->addDisposable(make<rx_detail::RemovalDisposable>(
            rx_detail::RemovalDisposable::Key(), compound_, subscription, rx_detail::RemovalDisposable::Owner::Strong));
        break;
    }
}

void RXBlockSubscriber::disposeSubscriptions() {
    Ref<RXCompoundDisposable> kept;
    bool compound = false;
    {
        rx_detail::SpinGuard guard(subscriptionsLock_);
        compound = compoundMade_.load(std::memory_order_relaxed);
        if (!compound) {
            ended_ = true;
            kept = std::move(subscription_);
            subscription_ = nullptr;
        }
    }
    if (compound) {
        compound_->dispose(); // clears the blocks first
        return;
    }
    clearBlocks();
    if (kept) {
        kept->dispose();
    }
}

void RXBlockSubscriber::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (!disposable || disposable->isDisposed()) {
        return;
    }
    if (!compoundMade_.load(std::memory_order_acquire)) {
        Ref<RXCompoundDisposable> finished; // released after the lock
        bool ended = false;
        {
            rx_detail::SpinGuard guard(subscriptionsLock_);
            if (!compoundMade_.load(std::memory_order_relaxed)) {
                ended = ended_;
                if (!ended && (!subscription_ || subscription_ == disposable || subscription_->isDisposed())) {
                    // The only live subscription: kept by itself.
                    finished = std::move(subscription_);
                    subscription_ = disposable;
                    return;
                }
            }
        }
        if (ended) {
            disposable->dispose();
            return;
        }
    }
    // A second live subscription: both go into the compound.
    ensureCompound();
    adopt(disposable);
}

void RXBlockSubscriber::clearBlocks() {
    if (deallocating_) {
        return;
    }
    RXNextBlock next;
    RXErrorBlock error;
    RXCompletedBlock completed;
    {
        rx_detail::LockWordGuard guard(lock_);
        cleared_ = true;
        if (calls_ > 0) {
            return; // finishCall releases them once the running block has returned
        }
        next = std::move(next_);
        error = std::move(error_);
        completed = std::move(completed_);
        next_ = nullptr;
        error_ = nullptr;
        completed_ = nullptr;
    }
    // The blocks (and what they captured) are released outside the lock.
}

void RXBlockSubscriber::finishCall() {
    // Called with the lock held, after a block returned.
    if (--calls_ == 0) {
        retired_.reset();
        if (cleared_) {
            next_ = nullptr;
            error_ = nullptr;
            completed_ = nullptr;
        }
    }
}

void RXBlockSubscriber::sendNext(const id& value) {
    rx_detail::LockWordGuard guard(lock_);
    if (cleared_ || !next_) {
        return;
    }
    ++calls_;
    try {
        next_(value);
    } catch (...) {
        finishCall();
        throw;
    }
    finishCall();
}

template <class Call>
void RXBlockSubscriber::terminate(Call&& call) {
    rx_detail::LockWordGuard guard(lock_);
    if (cleared_) {
        disposeSubscriptions();
        return;
    }
    ++calls_;
    try {
        disposeSubscriptions(); // clears the blocks once this call has returned
        call();
    } catch (...) {
        finishCall();
        throw;
    }
    finishCall();
}

void RXBlockSubscriber::sendError(const Ref<NSError>& error) {
    terminate([&] {
        if (error_) {
            error_(error);
        }
    });
}

void RXBlockSubscriber::sendCompleted() {
    terminate([&] {
        if (completed_) {
            completed_();
        }
    });
}
