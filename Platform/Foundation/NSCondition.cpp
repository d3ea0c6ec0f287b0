#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Foundation/NSCondition.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

using namespace dispatch_detail;

struct NSCondition::State {
    ParkingLock lock;
    std::mutex mutex; // guards waiters
    WaitList waiters;
};

NS_IMPLEMENT_CLASS(NSCondition, NSObject) {
    b.method("lock", &NSCondition::lock);
    b.method("unlock", &NSCondition::unlock);
    b.method("wait", &NSCondition::wait);
    b.method("signal", &NSCondition::signal);
    b.method("broadcast", &NSCondition::broadcast);
    b.property("name", &NSCondition::name, &NSCondition::setName);
}

NSCondition::NSCondition() : state_(std::make_unique<State>()) {}

NSCondition::~NSCondition() = default;

void NSCondition::lock() {
    state_->lock.lock(UINT64_MAX, false, "-[NSCondition lock]");
}

void NSCondition::unlock() {
    Ref<NSCondition> self(this); // a thread that takes the lock next may drop the last other reference
    state_->lock.unlock("-[NSCondition unlock]");
}

bool NSCondition::waitUntil(uint64_t deadline) {
    if (!state_->lock.heldByCurrentThread()) {
        NSException::raise(NSInternalInconsistencyException,
                           "-[NSCondition wait]: the condition's lock is not held by this thread");
    }
    WaiterRef waiter;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        waiter = state_->waiters.enqueue();
    }
    int depth = state_->lock.releaseAll("-[NSCondition wait]");
    bool signalled = park(waiter, deadline);
    if (!signalled) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->waiters.remove(waiter);
    }
    state_->lock.reacquire(depth);
    return signalled;
}

void NSCondition::wait() {
    waitUntil(UINT64_MAX);
}

bool NSCondition::waitUntilDate(const Ref<NSDate>& limit) {
    if (!limit) {
        NSException::raise(NSInvalidArgumentException, "-[NSCondition waitUntilDate:]: the date is nil");
    }
    return waitUntil(deadlineForDate(limit->timeIntervalSinceReferenceDate()));
}

void NSCondition::signal() {
    Ref<NSCondition> self(this);
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->waiters.wakeOne();
}

void NSCondition::broadcast() {
    Ref<NSCondition> self(this);
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->waiters.wakeAll();
}

Ref<NSString> NSCondition::name() const {
    return name_;
}

void NSCondition::setName(const Ref<NSString>& name) {
    name_ = name;
}

Ref<NSString> NSCondition::description() const {
    return NSString::stringWithFormat("<NSCondition: %p>{name = %@}", static_cast<const void*>(this), name_);
}
