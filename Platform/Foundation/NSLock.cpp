#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSLock.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSLock, NSObject) {
    b.method("lock", &NSLock::lock);
    b.method("unlock", &NSLock::unlock);
    b.property("name", &NSLock::name, &NSLock::setName);
}

NSLock::NSLock() : lock_(std::make_unique<dispatch_detail::ParkingLock>()) {}

NSLock::~NSLock() = default;

void NSLock::lock() {
    lock_->lock(UINT64_MAX, false, "-[NSLock lock]");
}

void NSLock::unlock() {
    Ref<NSLock> self(this); // a thread that takes the lock next may drop the last other reference
    lock_->unlock("-[NSLock unlock]");
}

bool NSLock::tryLock() {
    return lock_->tryLock(false);
}

bool NSLock::lockBeforeDate(const Ref<NSDate>& limit) {
    if (!limit) {
        NSException::raise(NSInvalidArgumentException, "-[NSLock lockBeforeDate:]: the date is nil");
    }
    return lock_->lock(dispatch_detail::deadlineForDate(limit->timeIntervalSinceReferenceDate()), false,
                       "-[NSLock lockBeforeDate:]");
}

Ref<NSString> NSLock::name() const {
    return name_;
}

void NSLock::setName(const Ref<NSString>& name) {
    name_ = name;
}

Ref<NSString> NSLock::description() const {
    return NSString::stringWithFormat("<NSLock: %p>{name = %@}", static_cast<const void*>(this), name_);
}
