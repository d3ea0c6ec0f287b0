#include <Reactive/RXSerialDisposable.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXSerialDisposable, RXDisposable) {
    b.property("disposable", &RXSerialDisposable::disposable, &RXSerialDisposable::setDisposable);
}

RXSerialDisposable::RXSerialDisposable(RXDisposableBlock block) {
    setDisposable(RXDisposable::disposableWithBlock(std::move(block)));
}

Ref<RXSerialDisposable> RXSerialDisposable::serialDisposableWithDisposable(const Ref<RXDisposable>& disposable) {
    auto serial = make<RXSerialDisposable>();
    serial->setDisposable(disposable);
    return serial;
}

Ref<RXDisposable> RXSerialDisposable::disposable() const {
    std::lock_guard<std::mutex> guard(lock_);
    return disposable_;
}

void RXSerialDisposable::setDisposable(const Ref<RXDisposable>& disposable) {
    swapInDisposable(disposable);
}

Ref<RXDisposable> RXSerialDisposable::swapInDisposable(const Ref<RXDisposable>& disposable) {
    Ref<RXDisposable> previous;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!disposed_.load(std::memory_order_relaxed)) {
            previous = std::move(disposable_);
            disposable_ = disposable;
            return previous;
        }
    }
    if (disposable) {
        disposable->dispose();
    }
    return nullptr;
}

bool RXSerialDisposable::isDisposed() const {
    return disposed_.load(std::memory_order_acquire);
}

void RXSerialDisposable::dispose() {
    Ref<RXDisposable> inner;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (disposed_.load(std::memory_order_relaxed)) {
            return;
        }
        disposed_.store(true, std::memory_order_release);
        inner = std::move(disposable_);
        disposable_ = nullptr;
    }
    if (inner) {
        inner->dispose();
    }
}
