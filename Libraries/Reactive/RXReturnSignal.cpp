#include <Reactive/RXReturnSignal.h>

#include <Reactive/RXScheduler.h>
#include <Reactive/RXUnit.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXReturnSignal, RXSignal) {
    b.readonlyProperty("value", &RXReturnSignal::value);
}

Ref<RXSignal> RXReturnSignal::return_(const id& value) {
    if (!value) {
        static const Ref<RXSignal> nilSignal = make<RXReturnSignal>(nullptr);
        return nilSignal;
    }
    if (value.get() == RXUnit::defaultUnit().get()) {
        static const Ref<RXSignal> unitSignal = make<RXReturnSignal>(id(RXUnit::defaultUnit()));
        return unitSignal;
    }
    return make<RXReturnSignal>(value);
}

Ref<NSString> RXReturnSignal::name() const {
    static const Ref<NSString> name = NSString::from("+return:");
    return name;
}

Ref<RXDisposable> RXReturnSignal::subscribe(const Ref<RXSubscriber>& subscriber) {
    return RXScheduler::subscriptionScheduler()->schedule([subscriber, value = value_] {
        if (subscriber) {
            subscriber->sendNext(value);
            subscriber->sendCompleted();
        }
    });
}
