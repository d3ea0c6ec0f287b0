// The slow path of the signal library's one-word recursive lock.
#include <Reactive/RXLockWord.h>

#include <thread>

namespace rx_detail {

void RecursiveLockWord::lockSlow(const void* me) noexcept {
    for (int spin = 0; spin < 64; ++spin) {
        const void* expected = nullptr;
        if (owner_.load(std::memory_order_relaxed) == nullptr &&
            owner_.compare_exchange_weak(expected, me, std::memory_order_acquire, std::memory_order_relaxed)) {
            return;
        }
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    waiters_.fetch_add(1, std::memory_order_seq_cst);
    while (true) {
        const void* current = owner_.load(std::memory_order_seq_cst);
        if (current == nullptr) {
            const void* expected = nullptr;
            if (owner_.compare_exchange_strong(expected, me, std::memory_order_acquire, std::memory_order_relaxed)) {
                break;
            }
            continue;
        }
        owner_.wait(current, std::memory_order_seq_cst);
    }
    waiters_.fetch_sub(1, std::memory_order_relaxed);
}

void SpinLockByte::lockSlow() noexcept {
    for (int spins = 0; locked_.exchange(true, std::memory_order_acquire); ++spins) {
        while (locked_.load(std::memory_order_relaxed)) {
            if (++spins > 64) {
                std::this_thread::yield();
            } else {
#if defined(__x86_64__) || defined(__i386__)
                __builtin_ia32_pause();
#endif
            }
        }
    }
}

} // namespace rx_detail
