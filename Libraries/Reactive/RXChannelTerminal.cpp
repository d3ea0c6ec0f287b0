#include <Reactive/RXChannelTerminal.h>

#include <Foundation/NSError.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXChannelTerminal, RXSignal) {
    b.conformsTo(RXSubscriber::protocol());
    b.method("sendNext:", &RXChannelTerminal::sendNext);
    b.method("sendError:", &RXChannelTerminal::sendError);
    b.method("sendCompleted", &RXChannelTerminal::sendCompleted);
}

RXChannelTerminal::RXChannelTerminal(Ref<RXSignal> values, Ref<RXSubscriber> otherTerminal)
    : RXSubscriber(this), values_(std::move(values)), otherTerminal_(std::move(otherTerminal)) {}

Ref<RXDisposable> RXChannelTerminal::subscribe(const Ref<RXSubscriber>& subscriber) {
    return values_ ? values_->subscribe(subscriber) : nullptr;
}

void RXChannelTerminal::sendNext(const id& value) {
    if (otherTerminal_) {
        otherTerminal_->sendNext(value);
    }
}

void RXChannelTerminal::sendError(const Ref<NSError>& error) {
    if (otherTerminal_) {
        otherTerminal_->sendError(error);
    }
}

void RXChannelTerminal::sendCompleted() {
    if (otherTerminal_) {
        otherTerminal_->sendCompleted();
    }
}

void RXChannelTerminal::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (otherTerminal_) {
        otherTerminal_->didSubscribeWithDisposable(disposable);
    }
}
