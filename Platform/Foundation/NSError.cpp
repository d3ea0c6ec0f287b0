#include <Foundation/NSError.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSError, NSObject) {
    b.readonlyProperty("domain", &NSError::domain);
    b.readonlyProperty("code", &NSError::code);
    b.readonlyProperty("userInfo", &NSError::userInfo);
    b.readonlyProperty("localizedDescription", &NSError::localizedDescription);
}

// Never destroyed: threads that outlive main() may still read them while the process exits.
#define DX_STRING_CONSTANT(Name, Text)                                                                                 \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString>& value = *new Ref<NSString>(NSString::from(Text));                                  \
        return value;                                                                                                  \
    }

DX_STRING_CONSTANT(NSCocoaErrorDomain, "NSCocoaErrorDomain")
DX_STRING_CONSTANT(NSPOSIXErrorDomain, "NSPOSIXErrorDomain")
DX_STRING_CONSTANT(NSURLErrorDomain, "NSURLErrorDomain")
DX_STRING_CONSTANT(NSOSStatusErrorDomain, "NSOSStatusErrorDomain")

DX_STRING_CONSTANT(NSLocalizedDescriptionKey, "NSLocalizedDescription")
DX_STRING_CONSTANT(NSLocalizedFailureReasonErrorKey, "NSLocalizedFailureReason")
DX_STRING_CONSTANT(NSLocalizedRecoverySuggestionErrorKey, "NSLocalizedRecoverySuggestion")
DX_STRING_CONSTANT(NSUnderlyingErrorKey, "NSUnderlyingError")
DX_STRING_CONSTANT(NSFilePathErrorKey, "NSFilePath")
DX_STRING_CONSTANT(NSStringEncodingErrorKey, "NSStringEncoding")
DX_STRING_CONSTANT(NSURLErrorKey, "NSURL")
DX_STRING_CONSTANT(NSURLErrorFailingURLErrorKey, "NSErrorFailingURLKey")
DX_STRING_CONSTANT(NSURLErrorFailingURLStringErrorKey, "NSErrorFailingURLStringKey")
DX_STRING_CONSTANT(NSURLErrorFailingURLPeerTrustErrorKey, "NSURLErrorFailingURLPeerTrustErrorKey")
DX_STRING_CONSTANT(NSDebugDescriptionErrorKey, "NSDebugDescription")

#undef DX_STRING_CONSTANT

NSError::NSError(const Ref<NSString>& domain, NSInteger code, const Ref<NSDictionary>& userInfo)
    : domain_(domain ? cast<NSString>(domain->copy()) : NSString::string()), code_(code),
      userInfo_(userInfo ? cast<NSDictionary>(userInfo->copy()) : NSDictionary::dictionary()) {}

Ref<NSError> NSError::errorWithDomainCodeUserInfo(const Ref<NSString>& domain, NSInteger code,
                                                  const Ref<NSDictionary>& userInfo) {
    return make<NSError>(domain, code, userInfo);
}

Ref<NSString> NSError::localizedDescription() const {
    if (auto text = cast<NSString>(userInfo_->objectForKey(NSLocalizedDescriptionKey()))) {
        return text;
    }
    return NSString::stringWithFormat("The operation couldn\u2019t be completed. (%@ error %ld.)", domain_, code_);
}

Ref<NSString> NSError::localizedFailureReason() const {
    return cast<NSString>(userInfo_->objectForKey(NSLocalizedFailureReasonErrorKey()));
}

Ref<NSString> NSError::localizedRecoverySuggestion() const {
    return cast<NSString>(userInfo_->objectForKey(NSLocalizedRecoverySuggestionErrorKey()));
}

Ref<NSError> NSError::underlyingError() const {
    return cast<NSError>(userInfo_->objectForKey(NSUnderlyingErrorKey()));
}

bool NSError::isEqual(const id& other) const {
    auto e = cast<NSError>(other);
    return e && e->code_ == code_ && e->domain_->isEqualToString(domain_) && e->userInfo_->isEqual(userInfo_);
}

NSUInteger NSError::hash() const {
    return domain_->hash() ^ static_cast<NSUInteger>(code_);
}

Ref<NSString> NSError::description() const {
    std::string out = NSFormat("Error Domain=%@ Code=%ld \"%@\"", {domain_, code_, localizedDescription()});
    if (userInfo_->count()) {
        std::string info;
        for (const auto& [k, v] : *userInfo_) {
            if (!info.empty()) {
                info += ", ";
            }
            info += NSDescription(k)->str() + "=" + NSDescription(v)->str();
        }
        out += " UserInfo={" + info + "}";
    }
    return NSString::from(out);
}

id NSError::copy() const {
    return id(const_cast<NSError*>(this));
}
