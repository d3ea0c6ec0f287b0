#include <Reactive/NSObject+RXDescription.h>

#include <Foundation/NSNumber.h>
#include <Reactive/RXStream.h>
#include <Reactive/RXTuple.h>

Ref<NSString> rx_description(const id& object) {
    if (!object) {
        return NSString::from("(null)");
    }
    if (cast<NSValue>(object) || cast<NSString>(object)) {
        return object->description();
    }
    if (!RXStream::debugSignalNamesEnabled()) {
        return NSString::from("(description skipped)");
    }
    if (auto tuple = cast<RXTuple>(object)) {
        return tuple->allObjects()->description();
    }
    return NSString::stringWithFormat("<%@: %p>", NSStringFromClass(object->getClass()),
                                      static_cast<const void*>(object.get()));
}
