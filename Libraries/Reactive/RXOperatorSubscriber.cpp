#include <Reactive/RXOperatorSubscriber.h>

#include <Foundation/NSError.h>
#include <Reactive/RXPassthroughSubscriber.h>
#include <Reactive/RXTracer.h>
#include <Reactive/RXTuple.h>

namespace rx_detail {

void OperatorSubscriberBase::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (!disposable || disposable == outer_) {
        return;
    }
    attach(disposable);
}

void OperatorSubscriberBase::attach(const Ref<RXDisposable>& disposable) {
    if (!disposable) {
        return;
    }
    {
        LockWordGuard guard(lock_);
        if (disposable == source_) {
            return;
        }
        if (!source_) {
            source_ = disposable;
        }
    }
    outer_->addDisposable(disposable);
    if (done_.load(std::memory_order_acquire) || sourceEnded_.load(std::memory_order_acquire)) {
        disposable->dispose(); // finished while the source was still subscribing
    }
}

void OperatorSubscriberBase::endSource() {
    sourceEnded_.store(true, std::memory_order_release);
    Ref<RXDisposable> source;
    {
        LockWordGuard guard(lock_);
        source = source_;
    }
    if (source) {
        source->dispose();
    }
}

void OperatorSubscriberBase::forwardError(const Ref<NSError>& error) {
    if (markDone()) {
        downstream_->sendError(error);
    }
}

void OperatorSubscriberBase::forwardCompleted() {
    if (markDone()) {
        downstream_->sendCompleted();
    }
}

void OperatorSubscriberBase::finish() {
    if (markDone()) {
        endSource();
        downstream_->sendCompleted();
    }
}

void OperatorSubscriberBase::fail(const Ref<NSError>& error) {
    if (markDone()) {
        endSource();
        downstream_->sendError(error);
    }
}

class ReusableTuple::Storage final : public NSArray {
public:
    explicit Storage(std::vector<id> objects) : NSArray(std::move(objects)) {}
    std::vector<id>& items() noexcept { return items_; }
};

namespace {
// Orders what follows after the other holders' last releases of the tuple and its array (their
// reads of the elements happen before the in-place change).
#if defined(__SANITIZE_THREAD__)
// The thread sanitizer does not model fences: an acquiring read-modify-write of each count instead.
#define DX_RX_ACQUIRE_AFTER_RELEASE(tuple, array)                                                                      \
    do {                                                                                                               \
        Ref<NSObject> t(tuple.get()), a(array.get());                                                                  \
    } while (0)
#else
#define DX_RX_ACQUIRE_AFTER_RELEASE(tuple, array) std::atomic_thread_fence(std::memory_order_acquire)
#endif
} // namespace

Ref<RXTuple> ReusableTuple::update(const std::vector<id>& values, size_t index) {
    // Only this object holds the tuple, and only the tuple and this object the array: nobody can
    // see the change.
    if (tuple_ && tuple_->retainCount() == 1 && array_->retainCount() == 2 && items_->size() == values.size()) {
        DX_RX_ACQUIRE_AFTER_RELEASE(tuple_, array_);
        if (index < values.size()) {
            (*items_)[index] = values[index];
        } else {
            std::copy(values.begin(), values.end(), items_->begin());
        }
        return tuple_;
    }
    auto storage = make<Storage>(values);
    items_ = &storage->items();
    array_ = storage;
    tuple_ = make<RXTuple>(array_);
    return tuple_;
}

void CombiningState::complete(const Ref<RXSubscriber>& downstream) {
    done = true;
    sources->dispose();
    downstream->sendCompleted();
}

void CombiningState::fail(const Ref<NSError>& error, const Ref<RXSubscriber>& downstream) {
    {
        LockWordGuard guard(lock);
        if (done) {
            return;
        }
        done = true;
    }
    sources->dispose(); // the other sources first
    downstream->sendError(error);
}

BlockSink::~BlockSink() {
    endSubscriptions();
}

bool BlockSink::terminate() {
    if (done_) {
        return false;
    }
    done_ = true;
    endSubscriptions();
    return true;
}

void BlockSink::endSubscriptions() {
    Ref<RXCompoundDisposable> first, more;
    {
        SpinGuard guard(subscriptionsLock_);
        ended_ = true;
        first = std::move(subscription_);
        more = std::move(more_);
        subscription_ = nullptr;
        more_ = nullptr;
    }
    if (first) {
        first->dispose();
    }
    if (more) {
        more->dispose();
    }
}

void BlockSink::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (!disposable || disposable->isDisposed()) {
        return;
    }
    bool ended = false;
    Ref<RXCompoundDisposable> more;
    {
        SpinGuard guard(subscriptionsLock_);
        ended = ended_;
        if (!ended) {
            if (!subscription_ || subscription_ == disposable) {
                subscription_ = disposable;
                return;
            }
            if (!more_) {
                more_ = make<RXCompoundDisposable>(); // a second subscription with one sink: rare
            }
            more = more_;
        }
    }
    if (ended) {
        disposable->dispose();
    } else {
        more->addDisposable(disposable);
    }
}

// Counts a block call for its scope, and unlocks at its end.
class BlockSink::Call {
public:
    explicit Call(BlockSink& sink) noexcept : sink_(sink) {
        sink_.lock();
        ++sink_.calls_;
    }
    ~Call() {
        --sink_.calls_;
        sink_.unlock();
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    BlockSink& sink_;
};

void BlockSink::sendNext(const id& value) {
    Call call(*this);
    if (!done_ && next_) {
        next_(value);
    }
}

template <class Block, class... Args>
void BlockSink::terminateWith(Block BlockSink::*member, const Args&... args) {
    Call call(*this);
    if (!terminate()) {
        return;
    }
    Block block = std::move(this->*member);
    // The other blocks go after the termination's block has run; one still running further up
    // this thread's stack (the termination came from inside it) is left for the sink's own end.
    RXNextBlock next;
    RXErrorBlock error;
    RXCompletedBlock completed;
    if (calls_ == 1) {
        next = std::move(next_);
        error = std::move(error_);
        completed = std::move(completed_);
    }
    if (block) {
        block(args...);
    }
}

void BlockSink::sendError(const Ref<NSError>& error) {
    terminateWith(&BlockSink::error_, error);
}

void BlockSink::sendCompleted() {
    terminateWith(&BlockSink::completed_);
}

Ref<RXDisposable> subscribeNextErrorCompleted(const Ref<RXSignal>& source, RXNextBlock next, RXErrorBlock error,
                                              RXCompletedBlock completed) {
    auto sink = make<BlockSink>(std::move(next), std::move(error), std::move(completed), !deliversSerially(source));
    return source->subscribe(sink);
}

bool deliversSerially(const Ref<RXSignal>& signal) noexcept {
    auto* op = dynamic_cast<OperatorSignal*>(signal.get());
    return op && op->deliversSerially();
}

Ref<RXDisposable> OperatorSignal::subscribe(const Ref<RXSubscriber>& subscriber) {
    auto outer = make<RXCompoundDisposable>();
    Ref<RXSubscriber> downstream;
    if (!subscriber || RXTracer::isTracing()) {
        // The pass-through carries the trace probes (and stands in for a missing subscriber); it
        // reports the subscription itself.
        downstream = make<RXPassthroughSubscriber>(subscriber, this, outer);
    } else {
        downstream = subscriber;
        downstream->didSubscribeWithDisposable(outer);
    }
    if (connect_ && !outer->isDisposed()) {
        connect_(downstream, outer);
    }
    return outer;
}

} // namespace rx_detail
