// RXMulticastConnection: shares one subscription to a source signal among many subscribers, through
// a subject. Subscribers subscribe to `signal`; `connect` subscribes the subject to the source, once
// in the connection's lifetime.
#pragma once

#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXSignal.h>
#include <Reactive/RXSubject.h>

#include <atomic>

class RXMulticastConnection : public NSObject {
    NS_OBJECT(RXMulticastConnection, NSObject)
public:
    RXMulticastConnection(Ref<RXSignal> sourceSignal, Ref<RXSubject> subject);

    // The subject, as a signal.
    Ref<RXSignal> signal() const;
    const Ref<RXSignal>& sourceSignal() const noexcept { return sourceSignal_; }
    Ref<RXSerialDisposable> serialDisposable() const;

    // Subscribes the subject to the source on the first call only; every call returns the same
    // disposable, which ends the shared subscription for good.
    Ref<RXDisposable> connect();
    // A signal that connects at its first subscription and disposes the connection when its last
    // subscriber has gone.
    Ref<RXSignal> autoconnect();

private:
    Ref<RXSubject> signal_;
    Ref<RXSignal> sourceSignal_;
    Ref<RXSerialDisposable> serialDisposable_;
    std::atomic<int> hasConnected_{0};
};
