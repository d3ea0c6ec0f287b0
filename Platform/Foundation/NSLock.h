// NSLock: a mutual-exclusion lock. Not recursive: taking it again on the thread that holds it
// raises NSInternalInconsistencyException rather than waiting for ever; so does unlocking it on a
// thread that does not hold it. A thread waiting for the lock is idle for virtual time, and
// lockBeforeDate follows the process clock.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <memory>

class NSDate;
class NSString;

namespace dispatch_detail {
class ParkingLock;
}

class NSLock : public NSObject {
    NS_OBJECT(NSLock, NSObject)
public:
    NSLock();
    ~NSLock() override;

    void lock();
    void unlock();
    bool tryLock();
    // NO when the date passed before the lock could be taken; raises NSInvalidArgumentException for nil.
    bool lockBeforeDate(const Ref<NSDate>& limit);

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);
    Ref<NSString> description() const override;

private:
    std::unique_ptr<dispatch_detail::ParkingLock> lock_;
    Ref<NSString> name_;
};
