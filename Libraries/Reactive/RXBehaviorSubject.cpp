#include <Reactive/RXBehaviorSubject.h>

#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXBehaviorSubject, RXSubject) {
    b.classMethod("behaviorSubjectWithDefaultValue:",
                  [](const id& value) { return RXBehaviorSubject::behaviorSubjectWithDefaultValue(value); });
}

Ref<RXBehaviorSubject> RXBehaviorSubject::behaviorSubjectWithDefaultValue(const id& value) {
    auto subject = make<RXBehaviorSubject>();
    subject->setCurrentValue(value);
    return subject;
}

id RXBehaviorSubject::currentValue() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return currentValue_;
}

void RXBehaviorSubject::setCurrentValue(const id& value) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    currentValue_ = value;
}

Ref<RXDisposable> RXBehaviorSubject::subscribe(const Ref<RXSubscriber>& subscriber) {
    Ref<RXCompoundDisposable> subscription = addSubscriber(subscriber);
    Ref<RXBehaviorSubject> self(this);
    if (subscription->isDisposed()) {
        // Terminated: the value it kept, then its termination.
        auto live = make<RXDisposable>();
        Ref<RXDisposable> scheduling = RXScheduler::subscriptionScheduler()->schedule([self, subscriber, live] {
            std::lock_guard<std::recursive_mutex> guard(self->lock_);
            if (!live->isDisposed()) {
                subscriber->sendNext(self->currentValue_);
            }
            if (!live->isDisposed()) {
                self->sendTerminationTo(*subscriber);
            }
        });
        return RXDisposable::disposableWithBlock([live, scheduling] {
            live->dispose();
            if (scheduling) {
                scheduling->dispose();
            }
        });
    }
    Ref<RXDisposable> scheduling = RXScheduler::subscriptionScheduler()->schedule([self, subscriber, subscription] {
        std::lock_guard<std::recursive_mutex> guard(self->lock_);
        if (!subscription->isDisposed()) {
            subscriber->sendNext(self->currentValue_);
        }
    });
    return RXDisposable::disposableWithBlock([subscription, scheduling] {
        subscription->dispose();
        if (scheduling) {
            scheduling->dispose();
        }
    });
}

void RXBehaviorSubject::sendNext(const id& value) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (hasTerminated()) {
        return;
    }
    currentValue_ = value;
    RXSubject::sendNext(value);
}
