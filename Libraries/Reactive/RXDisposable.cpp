#include <Reactive/RXDisposable.h>

#include <Reactive/RXScopedDisposable.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXDisposable, NSObject) {
    b.method("dispose", &RXDisposable::dispose);
    b.method("isDisposed", &RXDisposable::isDisposed);
}

RXDisposable::RXDisposable() noexcept : state_(Live) {}

RXDisposable::RXDisposable(RXDisposableBlock block)
    : state_(block ? LiveWithBlock : Disposed), block_(std::move(block)) {}

RXDisposable::~RXDisposable() = default; // a block never run is released without running

Ref<RXDisposable> RXDisposable::disposableWithBlock(RXDisposableBlock block) {
    return make<RXDisposable>(std::move(block));
}

bool RXDisposable::isDisposed() const {
    return state_.load(std::memory_order_acquire) == Disposed;
}

void RXDisposable::dispose() {
    uint8_t previous = state_.exchange(Disposed, std::memory_order_acq_rel);
    if (previous == LiveWithBlock) {
        // This thread won the exchange: nobody else reads or writes the block from now on.
        RXDisposableBlock block = std::move(block_);
        block_ = nullptr;
        block();
    }
}

Ref<RXScopedDisposable> RXDisposable::asScopedDisposable() {
    return RXScopedDisposable::scopedDisposableWithDisposable(Ref<RXDisposable>(this));
}
