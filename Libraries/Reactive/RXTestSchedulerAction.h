// RXTestSchedulerAction: one unit of work waiting on an RXTestScheduler, with its date and the
// disposable that cancels it.
#pragma once

#include <Foundation/NSDate.h>
#include <Reactive/RXDisposable.h>

#include <functional>

class RXTestSchedulerAction : public NSObject {
    NS_OBJECT(RXTestSchedulerAction, NSObject)
public:
    RXTestSchedulerAction(Ref<NSDate> date, std::function<void()> block);

    const Ref<NSDate>& date() const noexcept { return date_; }
    const std::function<void()>& block() const noexcept { return block_; }
    const Ref<RXDisposable>& disposable() const noexcept { return disposable_; }

    // "<Class: address>{ date: date }"
    Ref<NSString> description() const override;

private:
    Ref<NSDate> date_;
    std::function<void()> block_;
    Ref<RXDisposable> disposable_;
};
