// NSCondition: a lock with a condition variable. wait() must be called with the lock held; it gives
// the lock up while it waits and holds it again when it returns. signal() wakes one waiting thread
// (the longest waiting), broadcast() all of them. Waits follow the process clock.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <memory>

class NSDate;
class NSString;

class NSCondition : public NSObject {
    NS_OBJECT(NSCondition, NSObject)
public:
    NSCondition();
    ~NSCondition() override;

    void lock();
    void unlock();
    // Raises NSInternalInconsistencyException when the lock is not held by the calling thread.
    void wait();
    // NO when the date passed first (the lock is held again either way); raises
    // NSInvalidArgumentException for nil.
    bool waitUntilDate(const Ref<NSDate>& limit);
    void signal();
    void broadcast();

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);
    Ref<NSString> description() const override;

private:
    bool waitUntil(uint64_t deadline);
    struct State;
    std::unique_ptr<State> state_;
    Ref<NSString> name_;
};
