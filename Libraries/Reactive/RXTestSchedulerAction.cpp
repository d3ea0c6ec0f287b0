#include <Reactive/RXTestSchedulerAction.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTestSchedulerAction, NSObject) {
    b.readonlyProperty("date", &RXTestSchedulerAction::date);
    b.readonlyProperty("disposable", &RXTestSchedulerAction::disposable);
}

RXTestSchedulerAction::RXTestSchedulerAction(Ref<NSDate> date, std::function<void()> block)
    : date_(std::move(date)), block_(std::move(block)), disposable_(make<RXDisposable>()) {}

Ref<NSString> RXTestSchedulerAction::description() const {
    return NSString::stringWithFormat("<%@: %p>{ date: %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), date_);
}
