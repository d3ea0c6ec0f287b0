// RXPassthroughSubscriber: wraps the subscriber of one subscription. Events pass on only while the
// subscription's compound disposable is live: once it is disposed nothing more reaches the caller,
// whatever the signal's block still sends.
#pragma once

#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXSubscriber.h>

class RXSignal;

class RXPassthroughSubscriber : public NSObject, public RXSubscriber {
    NS_OBJECT(RXPassthroughSubscriber, NSObject)
public:
    // Tells `subscriber` about `disposable` (didSubscribeWithDisposable).
    RXPassthroughSubscriber(Ref<RXSubscriber> subscriber, RXSignal* signal, Ref<RXCompoundDisposable> disposable);

    const Ref<RXSubscriber>& innerSubscriber() const noexcept { return innerSubscriber_; }
    // The signal subscribed to, held weakly and only while tracing (the trace probes are its only use).
    Ref<RXSignal> signal() const;
    const Ref<RXCompoundDisposable>& disposable() const noexcept { return disposable_; }

    void sendNext(const id& value) override;
    void sendError(const Ref<NSError>& error) override;
    void sendCompleted() override;
    // Adds the disposable to this subscription's compound (unless it is that compound).
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) override;

    // The trace probes of one event (signal may be nil); nothing while no tracer listens.
    static void probeNext(const id& signal, const id& subscriber, const id& value);
    static void probeError(const id& signal, const id& subscriber, const Ref<NSError>& error);
    static void probeCompleted(const id& signal, const id& subscriber);

private:
    Ref<RXSubscriber> innerSubscriber_;
    Weak<RXSignal> signal_;
    Ref<RXCompoundDisposable> disposable_;
};
