#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSRecursiveLock.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSRecursiveLock, NSObject) {
    b.method("lock", &NSRecursiveLock::lock);
    b.method("unlock", &NSRecursiveLock::unlock);
    b.property("name", &NSRecursiveLock::name, &NSRecursiveLock::setName);
}

NSRecursiveLock::NSRecursiveLock() : lock_(std::make_unique<dispatch_detail::ParkingLock>()) {}

NSRecursiveLock::~NSRecursiveLock() = default;

void NSRecursiveLock::lock() {
    lock_->lock(UINT64_MAX, true, "-[NSRecursiveLock lock]");
}

void NSRecursiveLock::unlock() {
    Ref<NSRecursiveLock> self(this); // a thread that takes the lock next may drop the last other reference
    lock_->unlock("-[NSRecursiveLock unlock]");
}

bool NSRecursiveLock::tryLock() {
    return lock_->tryLock(true);
}

bool NSRecursiveLock::lockBeforeDate(const Ref<NSDate>& limit) {
    if (!limit) {
        NSException::raise(NSInvalidArgumentException, "-[NSRecursiveLock lockBeforeDate:]: the date is nil");
    }
    return lock_->lock(dispatch_detail::deadlineForDate(limit->timeIntervalSinceReferenceDate()), true,
                       "-[NSRecursiveLock lockBeforeDate:]");
}

Ref<NSString> NSRecursiveLock::name() const {
    return name_;
}

void NSRecursiveLock::setName(const Ref<NSString>& name) {
    name_ = name;
}

Ref<NSString> NSRecursiveLock::description() const {
    return NSString::stringWithFormat("<NSRecursiveLock: %p>{name = %@}", static_cast<const void*>(this), name_);
}
