#include <Reactive/RXEvent.h>

#include <Foundation/NSError.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXEvent, NSObject) {
    b.readonlyProperty("eventType", &RXEvent::eventType);
    b.readonlyProperty("finished", &RXEvent::isFinished);
    b.readonlyProperty("error", &RXEvent::error);
    b.readonlyProperty("value", &RXEvent::value);
}

RXEvent::RXEvent(RXEventType eventType, id object) : eventType_(eventType), object_(std::move(object)) {}

const Ref<RXEvent>& RXEvent::completedEvent() {
    static const Ref<RXEvent> shared = make<RXEvent>(RXEventTypeCompleted, nullptr);
    return shared;
}

Ref<RXEvent> RXEvent::eventWithError(const Ref<NSError>& error) {
    return make<RXEvent>(RXEventTypeError, id(error));
}

Ref<RXEvent> RXEvent::eventWithValue(const id& value) {
    return make<RXEvent>(RXEventTypeNext, value);
}

Ref<NSError> RXEvent::error() const {
    return eventType_ == RXEventTypeError ? cast<NSError>(object_) : nullptr;
}

id RXEvent::value() const {
    return eventType_ == RXEventTypeNext ? object_ : nullptr;
}

id RXEvent::copy() const {
    return id(const_cast<RXEvent*>(this));
}

Ref<NSString> RXEvent::description() const {
    Ref<NSString> body;
    switch (eventType_) {
    case RXEventTypeCompleted:
        body = NSString::from("completed");
        break;
    case RXEventTypeError:
        body = NSString::stringWithFormat("error = %@", object_);
        break;
    case RXEventTypeNext:
        body = NSString::stringWithFormat("next = %@", object_);
        break;
    }
    return NSString::stringWithFormat("<%@: %p>{ %@ }", NSStringFromClass(getClass()), static_cast<const void*>(this),
                                      body);
}

NSUInteger RXEvent::hash() const {
    NSUInteger objectHash = object_ ? object_->hash() : 0;
    return objectHash ^ static_cast<NSUInteger>(eventType_);
}

bool RXEvent::isEqual(const id& other) const {
    if (other.get() == this) {
        return true;
    }
    auto event = cast<RXEvent>(other);
    if (!event || event->eventType_ != eventType_) {
        return false;
    }
    return NSObjectsEqual(object_, event->object_);
}
