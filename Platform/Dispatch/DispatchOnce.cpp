#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchOnce.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Runtime/Runtime.h>

#include <mutex>

namespace dispatch_detail {

namespace {

struct OnceState {
    std::mutex mutex;
    WaitList waiters; // every thread waiting for any guard; each checks its own guard when woken
};

OnceState& onceState() {
    static OnceState* s = new OnceState;
    return *s;
}

} // namespace

void onceSlow(dispatch_once_t* predicate, const std::function<void()>& block) {
    auto& s = onceState();
    for (;;) {
        int expected = 0;
        if (predicate->state.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
            break;
        }
        if (expected == 2) {
            return;
        }
        if (predicate->owner.load() == currentThreadToken()) {
            NSException::raise(NSInternalInconsistencyException,
                               "dispatch_once called from its own block: it would wait for itself");
        }
        WaiterRef waiter;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (predicate->state.load() != 1) {
                continue;
            }
            waiter = s.waiters.enqueue();
        }
        park(waiter, TimerHeap::kNever);
    }
    predicate->owner.store(currentThreadToken());
    auto finish = [&](int state) {
        std::lock_guard<std::mutex> lock(s.mutex);
        predicate->owner.store(0);
        predicate->state.store(state, std::memory_order_release);
        s.waiters.wakeAll();
    };
    try {
        block();
    } catch (...) {
        finish(0);
        throw;
    }
    finish(2);
}

} // namespace dispatch_detail
