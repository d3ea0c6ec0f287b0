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
    if (!disposable || disposable == source_) {
        return;
    }
    {
        LockWordGuard guard(lock_);
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
