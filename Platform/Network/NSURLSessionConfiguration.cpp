#include <Network/NSURLSessionConfiguration.h>

NS_IMPLEMENT_CLASS(NSURLSessionConfiguration, NSObject) {
    NSCodingRegister(b);
    b.readonlyProperty("identifier", &NSURLSessionConfiguration::identifier);
}

Ref<NSURLSessionConfiguration> NSURLSessionConfiguration::defaultSessionConfiguration() {
    auto configuration = make<NSURLSessionConfiguration>();
    configuration->credentialStorage_ = NSURLCredentialStorage::sharedCredentialStorage();
    return configuration;
}

Ref<NSURLSessionConfiguration> NSURLSessionConfiguration::ephemeralSessionConfiguration() {
    return make<NSURLSessionConfiguration>();
}

Ref<NSURLSessionConfiguration>
NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(const Ref<NSString>& identifier) {
    auto configuration = defaultSessionConfiguration();
    configuration->identifier_ = identifier ? cast<NSString>(identifier->copy()) : nullptr;
    return configuration;
}

NSURLSessionConfiguration::NSURLSessionConfiguration(NSCoder* coder) {
    identifier_ = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "identifier"_ns));
    if (coder->containsValueForKey("timeoutIntervalForRequest"_ns)) {
        timeoutForRequest_ = coder->decodeDoubleForKey("timeoutIntervalForRequest"_ns);
        timeoutForResource_ = coder->decodeDoubleForKey("timeoutIntervalForResource"_ns);
        maximumConnectionsPerHost_ = coder->decodeIntegerForKey("HTTPMaximumConnectionsPerHost"_ns);
        allowsCellularAccess_ = coder->decodeBoolForKey("allowsCellularAccess"_ns);
        cachePolicy_ = static_cast<NSURLRequestCachePolicy>(coder->decodeInt64ForKey("requestCachePolicy"_ns));
        shouldSetCookies_ = coder->decodeBoolForKey("HTTPShouldSetCookies"_ns);
        shouldUsePipelining_ = coder->decodeBoolForKey("HTTPShouldUsePipelining"_ns);
    }
    additionalHeaders_ = cast<NSDictionary>(
        coder->decodeObjectOfClassesForKey({NSDictionary::class_(), NSString::class_()}, "HTTPAdditionalHeaders"_ns));
    if (coder->decodeBoolForKey("usesSharedCredentialStorage"_ns)) {
        credentialStorage_ = NSURLCredentialStorage::sharedCredentialStorage();
    }
}

void NSURLSessionConfiguration::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(identifier_, "identifier"_ns);
    coder->encodeDoubleForKey(timeoutForRequest_, "timeoutIntervalForRequest"_ns);
    coder->encodeDoubleForKey(timeoutForResource_, "timeoutIntervalForResource"_ns);
    coder->encodeIntegerForKey(maximumConnectionsPerHost_, "HTTPMaximumConnectionsPerHost"_ns);
    coder->encodeBoolForKey(allowsCellularAccess_, "allowsCellularAccess"_ns);
    coder->encodeInt64ForKey(static_cast<int64_t>(cachePolicy_), "requestCachePolicy"_ns);
    coder->encodeBoolForKey(shouldSetCookies_, "HTTPShouldSetCookies"_ns);
    coder->encodeBoolForKey(shouldUsePipelining_, "HTTPShouldUsePipelining"_ns);
    coder->encodeObjectForKey(additionalHeaders_, "HTTPAdditionalHeaders"_ns);
    coder->encodeBoolForKey(credentialStorage_ == NSURLCredentialStorage::sharedCredentialStorage(),
                            "usesSharedCredentialStorage"_ns);
}

bool NSURLSessionConfiguration::isEqual(const id& other) const {
    auto o = cast<NSURLSessionConfiguration>(other);
    return o && NSObjectsEqual(identifier_, o->identifier_) && timeoutForRequest_ == o->timeoutForRequest_ &&
           timeoutForResource_ == o->timeoutForResource_ && NSObjectsEqual(additionalHeaders_, o->additionalHeaders_) &&
           maximumConnectionsPerHost_ == o->maximumConnectionsPerHost_ &&
           allowsCellularAccess_ == o->allowsCellularAccess_ && cachePolicy_ == o->cachePolicy_ &&
           shouldSetCookies_ == o->shouldSetCookies_ && shouldUsePipelining_ == o->shouldUsePipelining_ &&
           credentialStorage_ == o->credentialStorage_;
}

NSUInteger NSURLSessionConfiguration::hash() const {
    return identifier_ ? identifier_->hash() : static_cast<NSUInteger>(timeoutForRequest_);
}

Ref<NSString> NSURLSessionConfiguration::description() const {
    return NSString::stringWithFormat("<NSURLSessionConfiguration: %p> identifier: %@, timeout: %g",
                                      static_cast<const void*>(this), identifier_, timeoutForRequest_);
}

id NSURLSessionConfiguration::copy() const {
    auto other = make<NSURLSessionConfiguration>();
    other->identifier_ = identifier_;
    other->timeoutForRequest_ = timeoutForRequest_;
    other->timeoutForResource_ = timeoutForResource_;
    other->additionalHeaders_ = additionalHeaders_;
    other->maximumConnectionsPerHost_ = maximumConnectionsPerHost_;
    other->allowsCellularAccess_ = allowsCellularAccess_;
    other->cachePolicy_ = cachePolicy_;
    other->shouldSetCookies_ = shouldSetCookies_;
    other->shouldUsePipelining_ = shouldUsePipelining_;
    other->credentialStorage_ = credentialStorage_;
    return other;
}
