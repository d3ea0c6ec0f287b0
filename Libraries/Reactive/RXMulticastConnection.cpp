#include <Reactive/RXMulticastConnection.h>

#include <Reactive/RXInternal.h>
#include <Reactive/RXSubject.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXMulticastConnection, NSObject) {
    b.method("connect", &RXMulticastConnection::connect);
    b.method("autoconnect", &RXMulticastConnection::autoconnect);
}

RXMulticastConnection::RXMulticastConnection(Ref<RXSignal> sourceSignal, Ref<RXSubject> subject)
    : signal_(std::move(subject)), sourceSignal_(std::move(sourceSignal)),
      serialDisposable_(make<RXSerialDisposable>()) {}

Ref<RXSignal> RXMulticastConnection::signal() const {
    return signal_;
}

Ref<RXSerialDisposable> RXMulticastConnection::serialDisposable() const {
    return serialDisposable_;
}

Ref<RXDisposable> RXMulticastConnection::connect() {
    int expected = 0;
    if (hasConnected_.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
        serialDisposable_->setDisposable(sourceSignal_->subscribe(signal_));
    }
    return serialDisposable_;
}

Ref<RXSignal> RXMulticastConnection::autoconnect() {
    Ref<RXMulticastConnection> self(this);
    auto subscriberCount = std::make_shared<std::atomic<long>>(0);
    return RXSignal::createSignal([self, subscriberCount](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               subscriberCount->fetch_add(1, std::memory_order_acq_rel);
               Ref<RXDisposable> subscription = self->signal_->subscribe(subscriber);
               Ref<RXDisposable> connection = self->connect();
               return RXDisposable::disposableWithBlock([subscription, connection, subscriberCount] {
                   rx_detail::dispose(subscription);
                   if (subscriberCount->fetch_sub(1, std::memory_order_acq_rel) == 1) {
                       connection->dispose();
                   }
               });
           })
        ->named("[%@] -autoconnect", signal_->name());
}
