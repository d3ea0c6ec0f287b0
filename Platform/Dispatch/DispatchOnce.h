// Once-only guards: `static dispatch_once_t once; dispatch_once(&once, [] { ... });` runs the block
// exactly once per process; other threads that arrive meanwhile wait until it has finished.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

struct dispatch_once_t {
    std::atomic<int> state{0};       // 0 not run, 1 running, 2 done
    std::atomic<uintptr_t> owner{0}; // the thread running the block
};

namespace dispatch_detail {
void onceSlow(dispatch_once_t* predicate, const std::function<void()>& block);
}

// Raises NSInternalInconsistencyException when the block calls dispatch_once on its own guard
// (which would wait for itself for ever). When the block raises, the guard stays unset and the
// exception propagates; a later call runs the block again.
template <class F>
inline void dispatch_once(dispatch_once_t* predicate, F&& block) {
    if (predicate->state.load(std::memory_order_acquire) == 2) {
        return;
    }
    dispatch_detail::onceSlow(predicate, std::function<void()>(std::forward<F>(block)));
}
