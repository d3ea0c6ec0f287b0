// A recursive lock in one word, for the signal library's subscribers: internal to the library.
#pragma once

#include <atomic>
#include <cstdint>

namespace rx_detail {

// A recursive lock in one pointer-sized word (plus a depth and a waiter count): uncontended, a lock
// is one compare-and-swap and an unlock one store. A contended lock spins briefly, then sleeps on the
// word.
class RecursiveLockWord {
public:
    void lock() noexcept {
        const void* me = self();
        if (owner_.load(std::memory_order_relaxed) == me) {
            ++depth_;
            return;
        }
        const void* expected = nullptr;
        if (!owner_.compare_exchange_strong(expected, me, std::memory_order_acquire, std::memory_order_relaxed)) {
            lockSlow(me);
        }
    }
    void unlock() noexcept {
        if (depth_ > 0) {
            --depth_;
            return;
        }
        owner_.store(nullptr, std::memory_order_seq_cst);
        if (waiters_.load(std::memory_order_seq_cst) > 0) {
            owner_.notify_all();
        }
    }

private:
    static const void* self() noexcept {
        thread_local char token;
        return &token;
    }
    void lockSlow(const void* me) noexcept;

    std::atomic<const void*> owner_{nullptr};
    uint32_t depth_ = 0; // touched by the owner only
    std::atomic<uint32_t> waiters_{0};
};

// Holds a RecursiveLockWord for a scope.
class LockWordGuard {
public:
    explicit LockWordGuard(RecursiveLockWord& lock) noexcept : lock_(lock) { lock_.lock(); }
    ~LockWordGuard() { lock_.unlock(); }
    LockWordGuard(const LockWordGuard&) = delete;
    LockWordGuard& operator=(const LockWordGuard&) = delete;

private:
    RecursiveLockWord& lock_;
};

} // namespace rx_detail

namespace rx_detail {

// A spin lock in one byte, for critical sections of a few field updates that never call out: a
// waiter spins, yielding the processor after a short while.
class SpinLockByte {
public:
    void lock() noexcept {
        if (!locked_.exchange(true, std::memory_order_acquire)) {
            return;
        }
        lockSlow();
    }
    void unlock() noexcept { locked_.store(false, std::memory_order_release); }

private:
    void lockSlow() noexcept;
    std::atomic<bool> locked_{false};
};

// Holds a SpinLockByte for a scope.
class SpinGuard {
public:
    explicit SpinGuard(SpinLockByte& lock) noexcept : lock_(lock) { lock_.lock(); }
    ~SpinGuard() { lock_.unlock(); }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

private:
    SpinLockByte& lock_;
};

} // namespace rx_detail
