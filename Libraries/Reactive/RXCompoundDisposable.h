// RXCompoundDisposable: owns any number of disposables and disposes them all together. A member
// added after disposal is disposed at once. Members are compared by identity. The lock is held only
// for field updates and never while a member is disposed, so a member's clean-up may add to or
// dispose the same compound.
#pragma once

#include <Reactive/RXDisposable.h>

#include <mutex>
#include <vector>

class RXCompoundDisposable : public RXDisposable {
    NS_OBJECT(RXCompoundDisposable, RXDisposable)
public:
    RXCompoundDisposable() noexcept = default;
    // `initWithDisposables:`: the members, in order (stored as given, nil and duplicates included).
    explicit RXCompoundDisposable(const std::vector<Ref<RXDisposable>>& disposables);
    // `initWithBlock:`: one member, a disposable running the block.
    explicit RXCompoundDisposable(RXDisposableBlock block);

    static Ref<RXCompoundDisposable> compoundDisposable();
    static Ref<RXCompoundDisposable>
    compoundDisposableWithDisposables(const std::vector<Ref<RXDisposable>>& disposables);

    // A nil or already disposed disposable is ignored.
    void addDisposable(const Ref<RXDisposable>& disposable);
    // Removes every occurrence, without disposing it; nothing once the compound is disposed.
    void removeDisposable(const Ref<RXDisposable>& disposable);

    bool isDisposed() const override;
    void dispose() override;

private:
    mutable std::mutex lock_;
    Ref<RXDisposable> inline_[2];
    std::vector<Ref<RXDisposable>> disposables_; // members beyond the two inline slots
    std::atomic<bool> disposed_{false};
};
