#include <Reactive/RXEmptySignal.h>

#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXEmptySignal, RXSignal) {}

Ref<RXSignal> RXEmptySignal::empty() {
    static const Ref<RXSignal> shared = make<RXEmptySignal>();
    return shared;
}

Ref<NSString> RXEmptySignal::name() const {
    static const Ref<NSString> name = NSString::from("+empty");
    return name;
}

Ref<RXDisposable> RXEmptySignal::subscribe(const Ref<RXSubscriber>& subscriber) {
    return RXScheduler::subscriptionScheduler()->schedule([subscriber] {
        if (subscriber) {
            subscriber->sendCompleted();
        }
    });
}
