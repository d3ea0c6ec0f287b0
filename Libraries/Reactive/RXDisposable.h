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

private:
    enum : uint8_t { Disposed = 0, Live = 1, LiveWithBlock = 2 };
    // Only the thread that moves the state away from LiveWithBlock touches block_ afterwards.
    std::atomic<uint8_t> state_;
    RXDisposableBlock block_;
};
