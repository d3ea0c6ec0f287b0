// Dispatch semaphores: a count that wait() takes from and signal() gives back to, waking one
// waiting thread at a time in the order they came.
#pragma once

#include <Dispatch/DispatchTime.h>
#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <memory>

class DispatchSemaphore : public NSObject {
    NS_OBJECT(DispatchSemaphore, NSObject)
public:
    // Raises NSInvalidArgumentException for a negative value.
    explicit DispatchSemaphore(long value);
    ~DispatchSemaphore() override;

    // 0 once the count could be taken, non-zero when `timeout` passed first.
    long wait(dispatch_time_t timeout);
    // Non-zero when a waiting thread was woken.
    long signal();

private:
    struct State;
    std::unique_ptr<State> state_;
};

using dispatch_semaphore_t = Ref<DispatchSemaphore>;

dispatch_semaphore_t dispatch_semaphore_create(long value);
// Time-outs follow the process clock: virtual time drives them in tests.
long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout);
long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore);
