// RXCompoundDisposable: owns any number of disposables and disposes them all together. A member
// added after disposal is disposed at once. Members are compared by identity. The lock (one byte,
// spun on: it is held only for a few field updates) is never held while a member is disposed or
// released, so a member's clean-up may add to or dispose the same compound. Two members live in
// the object; storage for more is allocated only when a third comes. Adding and removing a member
// cost constant time, amortised, however many members there are.
#pragma once

#include <Reactive/RXDisposable.h>
#include <Reactive/RXLockWord.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class RXBlockSubscriber;

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
    void addDisposable(const Ref<RXDisposable>& disposable) { addDisposable(Ref<RXDisposable>(disposable)); }
    void addDisposable(Ref<RXDisposable>&& disposable);
    // Removes every occurrence, without disposing it; nothing once the compound is disposed.
    void removeDisposable(const Ref<RXDisposable>& disposable);

    // Final, and inline: senders check it for every event.
    bool isDisposed() const final { return disposed_.load(std::memory_order_acquire); }
    void dispose() override;

    // For the subscribers that keep their subscriptions in a compound of their own: the receiver (a
    // subscription) takes itself out of `owner` when it is disposed, without a member to do it.
    class OwnerKey {
        friend class ::RXBlockSubscriber;
        OwnerKey() = default;
    };
    enum class OwnerLink { Linked, AlreadyLinked, AlreadyDisposed };
    [[nodiscard]] OwnerLink linkOwner(OwnerKey, const Ref<RXCompoundDisposable>& owner);

private:
    class Overflow;
    struct OverflowDeleter {
        void operator()(Overflow* overflow) const noexcept;
    };
    void removeMember(const RXDisposable* disposable);
    // The critical sections move a few pointers (at most grow or compact the overflow storage, which
    // is rare and amortised): waiters spin.
    mutable rx_detail::SpinLockByte lock_;
    std::atomic<bool> disposed_{false};
    Ref<RXDisposable> inline_[2];
    std::unique_ptr<Overflow, OverflowDeleter> more_; // members beyond the two inline slots
    Ref<RXCompoundDisposable> owner_;                 // see linkOwner
};

namespace rx_detail {
// For tests: how many member slots the compounds' overflow storage has visited or moved on this
// thread so far (searching for a member, compacting, keeping the index), so that a test can check
// that ending n members costs work in proportion to n.
uint64_t compoundSlotWorkOnThisThread() noexcept;
} // namespace rx_detail
