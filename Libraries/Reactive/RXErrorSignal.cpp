#include <Reactive/RXErrorSignal.h>

#include <Foundation/NSError.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXErrorSignal, RXSignal) {}

RXErrorSignal::RXErrorSignal(Ref<NSError> error) : error_(std::move(error)) {
    setName(NSString::from("+error:"));
}

Ref<RXSignal> RXErrorSignal::error(const Ref<NSError>& error) {
    return make<RXErrorSignal>(error);
}

Ref<RXDisposable> RXErrorSignal::subscribe(const Ref<RXSubscriber>& subscriber) {
    return RXScheduler::subscriptionScheduler()->schedule([subscriber, error = error_] {
        if (subscriber) {
            subscriber->sendError(error);
        }
    });
}
