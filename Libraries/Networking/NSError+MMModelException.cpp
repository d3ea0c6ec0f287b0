#include <Networking/NSError+MMModelException.h>

NS_IMPLEMENT_CLASS(MMThrownException, NSObject) {}

const Ref<NSString>& MMModelErrorDomain() {
    static const Ref<NSString> domain = NSString::from("MMModelErrorDomain");
    return domain;
}

const Ref<NSString>& MMModelThrownExceptionErrorKey() {
    static const Ref<NSString> key = NSString::from("MMModelThrownException");
    return key;
}

Ref<NSString> MMThrownException::name() const {
    return NSString::from(exception_.name());
}

Ref<NSString> MMThrownException::reason() const {
    return NSString::from(exception_.reason());
}

Ref<NSString> MMThrownException::description() const {
    return reason();
}

Ref<NSError> mm_modelErrorWithException(const NSException& exception) {
    auto thrown = make<MMThrownException>(exception);
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(thrown->description(), NSLocalizedDescriptionKey());
    if (!exception.reason().empty()) {
        info->setObjectForKey(thrown->reason(), NSLocalizedFailureReasonErrorKey());
    }
    info->setObjectForKey(thrown, MMModelThrownExceptionErrorKey());
    return make<NSError>(MMModelErrorDomain(), MMModelErrorExceptionThrown, info);
}
