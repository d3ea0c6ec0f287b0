// RXSerialDisposable: holds one replaceable inner disposable. Once disposed, it disposes anything
// handed to it at once.
#pragma once

#include <Reactive/RXDisposable.h>

#include <mutex>

class RXSerialDisposable : public RXDisposable {
    NS_OBJECT(RXSerialDisposable, RXDisposable)
public:
    RXSerialDisposable() noexcept = default;
    // `initWithBlock:`: the inner disposable runs the block.
    explicit RXSerialDisposable(RXDisposableBlock block);

    static Ref<RXSerialDisposable> serialDisposableWithDisposable(const Ref<RXDisposable>& disposable);

    Ref<RXDisposable> disposable() const;
    void setDisposable(const Ref<RXDisposable>& disposable);
    // Stores the new inner disposable and returns the previous one, undisposed. On a disposed serial
    // disposable the argument is disposed at once and nil is returned.
    Ref<RXDisposable> swapInDisposable(const Ref<RXDisposable>& disposable);

    bool isDisposed() const override;
    void dispose() override;

private:
    mutable std::mutex lock_;
    Ref<RXDisposable> disposable_;
    std::atomic<bool> disposed_{false};
};
