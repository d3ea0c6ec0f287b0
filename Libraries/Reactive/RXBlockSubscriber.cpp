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

// The subscriber's own compound disposable: its first member clears the subscriber's blocks. The
// back pointer never dangles: the subscriber disposes this compound before it goes, and a disposed
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

RXBlockSubscriber::RXBlockSubscriber() : RXSubscriber(this), disposable_(make<OwnDisposable>(this)) {}

RXBlockSubscriber::~RXBlockSubscriber() {
    // Nobody else can be sending to the subscriber any more: its blocks go with it, without taking
    // its lock (a deallocation may happen while another subscriber's lock is held).
    deallocating_ = true;
    disposable_->dispose();
}

Ref<RXBlockSubscriber> RXBlockSubscriber::subscriberWithNextErrorCompleted(RXNextBlock next, RXErrorBlock error,
                                                                           RXCompletedBlock completed) {
    auto subscriber = make<RXBlockSubscriber>();
    subscriber->next_ = std::move(next);
    subscriber->error_ = std::move(error);
    subscriber->completed_ = std::move(completed);
    return subscriber;
}

RXNextBlock RXBlockSubscriber::next() const {
    rx_detail::LockWordGuard guard(lock_);
    return cleared_ ? nullptr : next_;
}

void RXBlockSubscriber::setNext(RXNextBlock next) {
    rx_detail::LockWordGuard guard(lock_);
    retire(std::move(next_));
    next_ = std::move(next);
}

RXErrorBlock RXBlockSubscriber::error() const {
    rx_detail::LockWordGuard guard(lock_);
    return cleared_ ? nullptr : error_;
}

void RXBlockSubscriber::setError(RXErrorBlock error) {
    rx_detail::LockWordGuard guard(lock_);
    retire(std::move(error_));
    error_ = std::move(error);
}

RXCompletedBlock RXBlockSubscriber::completed() const {
    rx_detail::LockWordGuard guard(lock_);
    return cleared_ ? nullptr : completed_;
}

void RXBlockSubscriber::setCompleted(RXCompletedBlock completed) {
    rx_detail::LockWordGuard guard(lock_);
    retire(std::move(completed_));
    completed_ = std::move(completed);
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

void RXBlockSubscriber::sendError(const Ref<NSError>& error) {
    rx_detail::LockWordGuard guard(lock_);
    if (cleared_) {
        disposable_->dispose();
        return;
    }
    ++calls_;
    try {
        disposable_->dispose(); // clears the blocks once this call has returned
        if (error_) {
            error_(error);
        }
    } catch (...) {
        finishCall();
        throw;
    }
    finishCall();
}

void RXBlockSubscriber::sendCompleted() {
    rx_detail::LockWordGuard guard(lock_);
    if (cleared_) {
        disposable_->dispose();
        return;
    }
    ++calls_;
    try {
        disposable_->dispose();
        if (completed_) {
            completed_();
        }
    } catch (...) {
        finishCall();
        throw;
    }
    finishCall();
}

void RXBlockSubscriber::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (!disposable || disposable->isDisposed()) {
        return;
    }
    disposable_->addDisposable(disposable);
    // The subscription takes itself out of this subscriber's compound when it ends (holding the
    // compound until then).
    switch (disposable->linkOwner(RXCompoundDisposable::OwnerKey(), disposable_)) {
    case RXCompoundDisposable::OwnerLink::Linked:
        break;
    case RXCompoundDisposable::OwnerLink::AlreadyDisposed:
        disposable_->removeDisposable(disposable);
        break;
    case RXCompoundDisposable::OwnerLink::AlreadyLinked: // reported to another subscriber as well
        disposable->addDisposable(make<rx_detail::RemovalDisposable>(
            rx_detail::RemovalDisposable::Key(), disposable_, disposable, rx_detail::RemovalDisposable::Owner::Strong));
        break;
    }
}
