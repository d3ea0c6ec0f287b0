// RXEvent: a signal event as an object (value, error or completion), for materialising operators.
#pragma once

#include <Foundation/NSString.h>

class NSError;

enum RXEventType : unsigned long long {
    RXEventTypeCompleted = 0,
    RXEventTypeError = 1,
    RXEventTypeNext = 2,
};

class RXEvent : public NSObject {
    NS_OBJECT(RXEvent, NSObject)
public:
    RXEvent(RXEventType eventType, id object);

    // The shared completion event.
    static const Ref<RXEvent>& completedEvent();
    static Ref<RXEvent> eventWithError(const Ref<NSError>& error);
    static Ref<RXEvent> eventWithValue(const id& value);

    RXEventType eventType() const noexcept { return eventType_; }
    // The value or the error.
    const id& object() const noexcept { return object_; }
    // Completion or error.
    bool isFinished() const noexcept { return eventType_ != RXEventTypeNext; }
    Ref<NSError> error() const;
    id value() const;

    id copy() const override;
    Ref<NSString> description() const override;
    NSUInteger hash() const override;
    bool isEqual(const id& other) const override;

private:
    RXEventType eventType_;
    id object_;
};
