// RXDisposable: the cancellation token of the signal library. Every subscription, scheduled block
// and timer hands one back; disposing it runs its clean-up block exactly once, whichever threads
// dispose it and however often.
#pragma once

#include <Foundation/NSString.h>

#include <atomic>
#include <cstdint>
#include <functional>

class RXScopedDisposable;

using RXDisposableBlock = std::function<void()>;

class RXDisposable : public NSObject {
    NS_OBJECT(RXDisposable, NSObject)
public:
    // `init`: live, with nothing to run on disposal.
    RXDisposable() noexcept;
    // `initWithBlock:`: live until disposed; the block runs on the first dispose. An empty block
    // leaves nothing to run, so the disposable starts out disposed.
    explicit RXDisposable(RXDisposableBlock block);
    ~RXDisposable() override;

    static Ref<RXDisposable> disposableWithBlock(RXDisposableBlock block);

    virtual bool isDisposed() const;
    virtual void dispose();
    // A scoped disposable that disposes the receiver when its last reference goes.
    virtual Ref<RXScopedDisposable> asScopedDisposable();

protected:
    // For a subclass that keeps the block in its own storage (`slot`, constructed after this base):
    // the disposable is live, with a block to run when `hasBlock`, disposed otherwise.
    struct BlockSlot {
        RXDisposableBlock* slot;
        bool hasBlock;
    };
    explicit RXDisposable(BlockSlot block) noexcept;

private:
    enum : uint8_t { Disposed = 0, Live = 1, LiveWithBlock = 2 };
    // The block's storage: the subclass's slot, or one of its own (owned) for initWithBlock:. A
    // disposable without a block (compound, serial, ...) pays one pointer for it. Only the thread
    // that moves the state away from LiveWithBlock touches the block afterwards.
    RXDisposableBlock* block_ = nullptr;
    std::atomic<uint8_t> state_;
    bool ownsBlock_ = false;
};
