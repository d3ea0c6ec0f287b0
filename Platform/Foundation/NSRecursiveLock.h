// NSRecursiveLock: a lock that the thread holding it may take again; it is free once every lock()
// has been balanced by an unlock(). Unlocking on a thread that does not hold it raises
// NSInternalInconsistencyException.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <memory>

class NSDate;
class NSString;

namespace dispatch_detail {
class ParkingLock;
}

class NSRecursiveLock : public NSObject {
    NS_OBJECT(NSRecursiveLock, NSObject)
public:
    NSRecursiveLock();
    ~NSRecursiveLock() override;

    void lock();
    void unlock();
    bool tryLock();
    bool lockBeforeDate(const Ref<NSDate>& limit);

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);
    Ref<NSString> description() const override;

private:
    std::unique_ptr<dispatch_detail::ParkingLock> lock_;
    Ref<NSString> name_;
};
