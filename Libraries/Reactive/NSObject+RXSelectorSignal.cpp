#include <Reactive/NSObject+RXSelectorSignal.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSError.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXSubject.h>
#include <Reactive/RXTuple.h>

const Ref<NSString>& RXSelectorSignalErrorDomain() {
    static const Ref<NSString> domain = NSString::from("RXSelectorSignalErrorDomain");
    return domain;
}

namespace {

// The key under which an object keeps its subject for a selector: the alias selector's name record.
const void* aliasKey(SEL selector) {
    return SEL("rx_alias_" + selector.name()).key();
}

Ref<NSString> localized(const char* text) {
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(NSString::from(text), NSString::string(), nullptr);
}

Ref<RXSignal> installationError(const id& object, SEL selector, const char* reason) {
    Ref<NSString> description =
        NSString::stringWithFormat(localized("Cannot observe %@ on %@: %s")->str(), NSStringFromSelector(selector),
                                   object ? NSStringFromClass(object->getClass()) : NSString::from("nil"), reason);
    auto userInfo = NSDictionary::dictionaryWithEntries({
        {NSLocalizedDescriptionKey(), description},
        {NSLocalizedRecoverySuggestionErrorKey(),
         localized("Invoke -rx_signalForSelector: on a live object with a selector.")},
    });
    return RXSignal::error(NSError::errorWithDomainCodeUserInfo(RXSelectorSignalErrorDomain(),
                                                                RXSelectorSignalErrorMethodSwizzlingRace, userInfo));
}

Ref<RXSignal> signalForSelector(const id& object, SEL selector) {
    if (!object) {
        return nullptr;
    }
    if (selector.isNull() || selector.name().empty()) {
        return installationError(object, selector, "the selector is empty");
    }
    const void* key = aliasKey(selector);
    NS_SYNCHRONIZED(object) {
        if (auto existing = cast<RXSubject>(object->associatedObject(key))) {
            return existing;
        }
        if (object->isDeallocating()) {
            return installationError(object, selector, "the object is deallocating");
        }
        auto subject = RXSubject::subject();
        subject->setNameWithFormat("%@ -rx_signalForSelector: %s", rx_description(object), selector.c_str());
        object->setAssociatedObject(key, subject, OBJC_ASSOCIATION_RETAIN);
        rx_addDeallocDisposable(object, RXDisposable::disposableWithBlock([subject] { subject->sendCompleted(); }));
        // A method of the class runs first and the observer after it; a selector the class lacks is
        // answered by the observer alone.
        bool implemented = object->getClass()->instanceMethod(selector) != nullptr;
        object->addInvocationObserver(
            selector,
            [subject](NSObject*, const std::vector<id>& arguments) {
                subject->sendNext(RXTuple::tupleWithObjectsFromVector(arguments));
            },
            !implemented);
        return subject;
    }
    return nullptr;
}

} // namespace

Ref<RXSignal> rx_signalForSelector(const id& object, SEL selector) {
    return signalForSelector(object, selector);
}

Ref<RXSignal> rx_signalForSelectorFromProtocol(const id& object, SEL selector, Protocol*) {
    // Arguments arrive boxed whatever their types, so the protocol's type encoding changes nothing
    // here; the selector is installed exactly as for rx_signalForSelector.
    return signalForSelector(object, selector);
}
