// RXBehaviorSubject: a subject that keeps its latest value and sends it to each new subscriber
// before later values.
#pragma once

#include <Reactive/RXSubject.h>

class RXBehaviorSubject : public RXSubject {
    NS_OBJECT(RXBehaviorSubject, RXSubject)
public:
    RXBehaviorSubject() = default;

    static Ref<RXBehaviorSubject> behaviorSubjectWithDefaultValue(const id& value);

    id currentValue() const;
    void setCurrentValue(const id& value);

    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;
    void sendNext(const id& value) override;

private:
    mutable std::recursive_mutex lock_;
    id currentValue_;
};
