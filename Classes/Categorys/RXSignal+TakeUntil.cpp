#include <Categorys/RXSignal+TakeUntil.h>

#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXSubscriber.h>

Ref<RXSignal> takeUntilWithSignal(const Ref<RXSignal>& receiver, const Ref<RXSignal>& trigger) {
    if (!receiver) {
        return nullptr;
    }
    return RXSignal::createSignal([receiver, trigger](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto source = make<RXSerialDisposable>();
        auto all = RXCompoundDisposable::compoundDisposable();
        all->addDisposable(source);
        source->setDisposable(receiver->subscribeNextErrorCompleted(
            [subscriber](const id& value) { subscriber->sendNext(value); },
            [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
            [subscriber] { subscriber->sendCompleted(); }));
        if (trigger) {
            all->addDisposable(trigger->subscribeNextErrorCompleted(
                [subscriber, source](const id& value) {
                    subscriber->sendNext(value);
                    source->dispose();
                },
                [subscriber, source](const Ref<NSError>& error) {
                    subscriber->sendError(error);
                    source->dispose();
                },
                [subscriber, source] {
                    subscriber->sendCompleted();
                    source->dispose();
                }));
        }
        return all;
    });
}
