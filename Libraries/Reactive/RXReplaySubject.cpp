#include <Reactive/RXReplaySubject.h>

#include <Foundation/NSError.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXTupleNil.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXReplaySubject, RXSubject) {
    b.classMethod("replaySubjectWithCapacity:",
                  [](NSUInteger capacity) { return RXReplaySubject::replaySubjectWithCapacity(capacity); });
}

RXReplaySubject::RXReplaySubject(NSUInteger capacity) : capacity_(capacity) {}

Ref<RXReplaySubject> RXReplaySubject::replaySubjectWithCapacity(NSUInteger capacity) {
    return make<RXReplaySubject>(capacity);
}

bool RXReplaySubject::hasCompleted() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return hasCompleted_;
}

bool RXReplaySubject::hasError() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return hasError_;
}

Ref<NSError> RXReplaySubject::error() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return error_;
}

std::vector<id> RXReplaySubject::valuesReceived() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<id> values;
    values.reserve(valuesReceived_.size());
    for (const id& value : valuesReceived_) {
        values.push_back(RXTupleNil::unwrap(value));
    }
    return values;
}

Ref<RXDisposable> RXReplaySubject::subscribe(const Ref<RXSubscriber>& subscriber) {
    auto compound = make<RXCompoundDisposable>();
    Ref<RXReplaySubject> self(this);
    Ref<RXDisposable> scheduling = RXScheduler::subscriptionScheduler()->schedule([self, subscriber, compound] {
        std::lock_guard<std::recursive_mutex> guard(self->lock_);
        for (const id& value : self->valuesReceived_) {
            if (compound->isDisposed()) {
                return;
            }
            subscriber->sendNext(RXTupleNil::unwrap(value));
        }
        if (compound->isDisposed()) {
            return;
        }
        if (self->hasCompleted_) {
            subscriber->sendCompleted();
        } else if (self->hasError_) {
            subscriber->sendError(self->error_);
        } else {
            compound->addDisposable(self->addSubscriber(subscriber));
        }
    });
    compound->addDisposable(scheduling);
    return compound;
}

void RXReplaySubject::sendNext(const id& value) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (terminating_ || hasTerminated()) {
        return;
    }
    valuesReceived_.push_back(RXTupleNil::wrap(value));
    RXSubject::sendNext(value);
    if (capacity_ != RXReplaySubjectUnlimitedCapacity) {
        while (valuesReceived_.size() > capacity_) {
            valuesReceived_.pop_front();
        }
    }
}

// The termination is recorded under the lock (a subscriber arriving from then on replays it itself)
// and sent to the current subscribers after the lock is left: their completion blocks may take
// other locks, and a thread holding those may be subscribing to this subject.
void RXReplaySubject::sendError(const Ref<NSError>& error) {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (terminating_ || hasTerminated()) {
            return;
        }
        terminating_ = true;
        hasError_ = true;
        error_ = error;
    }
    RXSubject::sendError(error);
}

void RXReplaySubject::sendCompleted() {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (terminating_ || hasTerminated()) {
            return;
        }
        terminating_ = true;
        hasCompleted_ = true;
    }
    RXSubject::sendCompleted();
}
