#include <Reactive/RXPassthroughSubscriber.h>

#include <Foundation/NSError.h>
#include <Reactive/RXSignal.h>
#include <Reactive/RXTracer.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXPassthroughSubscriber, NSObject) {
    b.conformsTo(RXSubscriber::protocol());
}

RXPassthroughSubscriber::RXPassthroughSubscriber(Ref<RXSubscriber> subscriber, RXSignal* signal,
                                                 Ref<RXCompoundDisposable> disposable)
    : RXSubscriber(this), innerSubscriber_(std::move(subscriber)), disposable_(std::move(disposable)) {
    // The signal is wanted by the trace probes only: a subscription made while nobody traces does
    // not pay for a weak reference to it.
    if (RXTracer::isTracing()) {
        signal_ = signal;
    }
    if (innerSubscriber_) {
        innerSubscriber_->didSubscribeWithDisposable(disposable_);
    }
}

Ref<RXSignal> RXPassthroughSubscriber::signal() const {
    return signal_.lock();
}

void RXPassthroughSubscriber::probeNext(const id& signal, const id& subscriber, const id& value) {
    if (RXTracer::isTracing()) {
        if (RXTracer* tracer = RXTracer::tracer()) {
            tracer->signalNext(RXTracer::signalProbeDescription(signal), RXTracer::probeDescription(subscriber),
                               RXTracer::probeDescription(value));
        }
    }
}

void RXPassthroughSubscriber::probeError(const id& signal, const id& subscriber, const Ref<NSError>& error) {
    if (RXTracer::isTracing()) {
        if (RXTracer* tracer = RXTracer::tracer()) {
            tracer->signalError(RXTracer::signalProbeDescription(signal), RXTracer::probeDescription(subscriber),
                                RXTracer::probeDescription(id(error)));
        }
    }
}

void RXPassthroughSubscriber::probeCompleted(const id& signal, const id& subscriber) {
    if (RXTracer::isTracing()) {
        if (RXTracer* tracer = RXTracer::tracer()) {
            tracer->signalCompleted(RXTracer::signalProbeDescription(signal), RXTracer::probeDescription(subscriber));
        }
    }
}

void RXPassthroughSubscriber::sendNext(const id& value) {
    if (disposable_->isDisposed() || !innerSubscriber_) {
        return;
    }
    if (RXTracer::isTracing()) {
        probeNext(id(signal_.lock()), innerSubscriber_.object(), value);
    }
    innerSubscriber_->sendNext(value);
}

void RXPassthroughSubscriber::sendError(const Ref<NSError>& error) {
    if (disposable_->isDisposed() || !innerSubscriber_) {
        return;
    }
    if (RXTracer::isTracing()) {
        probeError(id(signal_.lock()), innerSubscriber_.object(), error);
    }
    innerSubscriber_->sendError(error);
}

void RXPassthroughSubscriber::sendCompleted() {
    if (disposable_->isDisposed() || !innerSubscriber_) {
        return;
    }
    if (RXTracer::isTracing()) {
        probeCompleted(id(signal_.lock()), innerSubscriber_.object());
    }
    innerSubscriber_->sendCompleted();
}

void RXPassthroughSubscriber::didSubscribeWithDisposable(const Ref<RXCompoundDisposable>& disposable) {
    if (disposable != disposable_) {
        disposable_->addDisposable(disposable);
    }
}
