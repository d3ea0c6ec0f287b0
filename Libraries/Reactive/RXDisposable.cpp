#include <Reactive/RXDisposable.h>

#include <Reactive/RXScopedDisposable.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXDisposable, NSObject) {
    b.method("dispose", &RXDisposable::dispose);
    b.method("isDisposed", &RXDisposable::isDisposed);
}

namespace {
// What disposableWithBlock makes: the block held in the object itself.
class BlockDisposable final : public RXDisposable {
public:
    explicit BlockDisposable(RXDisposableBlock block)
        : RXDisposable(BlockSlot{&block_, static_cast<bool>(block)}), block_(std::move(block)) {}

private:
    RXDisposableBlock block_;
};
} // namespace

RXDisposable::RXDisposable() noexcept : state_(Live) {}

RXDisposable::RXDisposable(RXDisposableBlock block) : state_(block ? LiveWithBlock : Disposed) {
    if (block) {
        block_ = new RXDisposableBlock(std::move(block));
        ownsBlock_ = true;
    }
}

RXDisposable::RXDisposable(BlockSlot block) noexcept
    : block_(block.slot), state_(block.hasBlock ? LiveWithBlock : Disposed) {}

RXDisposable::~RXDisposable() {
    // A block never run is released without running.
    if (ownsBlock_) {
        delete block_;
    }
}

Ref<RXDisposable> RXDisposable::disposableWithBlock(RXDisposableBlock block) {
    return make<BlockDisposable>(std::move(block));
}

bool RXDisposable::isDisposed() const {
    return state_.load(std::memory_order_acquire) == Disposed;
}

void RXDisposable::dispose() {
    uint8_t previous = state_.exchange(Disposed, std::memory_order_acq_rel);
    if (previous == LiveWithBlock) {
        // This thread won the exchange: nobody else reads or writes the block from now on.
        RXDisposableBlock block = std::move(*block_);
        *block_ = nullptr;
        block();
    }
}

Ref<RXScopedDisposable> RXDisposable::asScopedDisposable() {
    return RXScopedDisposable::scopedDisposableWithDisposable(Ref<RXDisposable>(this));
}
