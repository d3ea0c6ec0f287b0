#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchSemaphore.h>
#include <Runtime/ClassBuilder.h>

#include <string>

using namespace dispatch_detail;

struct DispatchSemaphore::State {
    std::mutex mutex;
    long count = 0;
    WaitList waiters;
};

NS_IMPLEMENT_CLASS(DispatchSemaphore, NSObject) {}

DispatchSemaphore::DispatchSemaphore(long value) : state_(std::make_unique<State>()) {
    if (value < 0) {
        NSException::raise(NSInvalidArgumentException,
                           "dispatch_semaphore_create: the value must not be negative (" + std::to_string(value) + ")");
    }
    state_->count = value;
}

DispatchSemaphore::~DispatchSemaphore() = default;

long DispatchSemaphore::wait(dispatch_time_t timeout) {
    uint64_t deadline = deadlineForTime(timeout);
    WaiterRef waiter;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->count > 0) {
            --state_->count;
            return 0;
        }
        if (timeout == DISPATCH_TIME_NOW) {
            return 1;
        }
        waiter = state_->waiters.enqueue();
    }
    if (park(waiter, deadline)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->waiters.remove(waiter);
    return 1;
}

long DispatchSemaphore::signal() {
    // A woken waiter may drop the last other reference at once; this one keeps the semaphore whole
    // until the call returns.
    Ref<DispatchSemaphore> self(this);
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->waiters.wakeOne()) {
        return 1;
    }
    ++state_->count;
    return 0;
}

dispatch_semaphore_t dispatch_semaphore_create(long value) {
    return make<DispatchSemaphore>(value);
}

long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout) {
    if (!semaphore) {
        NSException::raise(NSInvalidArgumentException, "dispatch_semaphore_wait: the semaphore is nil");
    }
    return semaphore->wait(timeout);
}

long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore) {
    if (!semaphore) {
        NSException::raise(NSInvalidArgumentException, "dispatch_semaphore_signal: the semaphore is nil");
    }
    return semaphore->signal();
}
