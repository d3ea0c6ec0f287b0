// RXChannelTerminal: one end of a channel; a signal and a subscriber at once. Subscribing to a
// terminal subscribes to its values; whatever is sent into it goes on, unchanged, to the other end.
#pragma once

#include <Reactive/RXSignal.h>
#include <Reactive/RXSubscriber.h>

class RXChannelTerminal : public RXSignal, public RXSubscriber {
    NS_OBJECT(RXChannelTerminal, RXSignal)
public:
    // `initWithValues:otherTerminal:`.
    RXChannelTerminal(Ref<RXSignal> values, Ref<RXSubscriber> otherTerminal);

    const Ref<RXSignal>& values() const noexcept { return values_; }
    const Ref<RXSubscriber>& otherTerminal() const noexcept { return otherTerminal_; }

    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;
    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;

private:
    Ref<RXSignal> values_;
    Ref<RXSubscriber> otherTerminal_;
};
