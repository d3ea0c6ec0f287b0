// NSURLSessionConfiguration: the settings a session gives its tasks: time-outs, additional header
// fields, connection limits, cellular and cookie settings, the credential storage, and (for a
// background session) an identifier.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Network/NSInputStream.h>
#include <Network/NSURLCredentialStorage.h>
#include <Network/NSURLRequest.h>

class NSURLSessionConfiguration : public NSObject, public NSSecureCoding {
    NS_OBJECT(NSURLSessionConfiguration, NSObject)
public:
    NSURLSessionConfiguration() = default;
    explicit NSURLSessionConfiguration(NSCoder* coder);

    static Ref<NSURLSessionConfiguration> defaultSessionConfiguration();
    // Keeps nothing beyond the session (no credential storage).
    static Ref<NSURLSessionConfiguration> ephemeralSessionConfiguration();
    static Ref<NSURLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(const Ref<NSString>& identifier);
    static Ref<NSURLSessionConfiguration> backgroundSessionConfiguration(const Ref<NSString>& identifier) {
        return backgroundSessionConfigurationWithIdentifier(identifier);
    }

    const Ref<NSString>& identifier() const noexcept { return identifier_; }
    double timeoutIntervalForRequest() const noexcept { return timeoutForRequest_; }
    void setTimeoutIntervalForRequest(double seconds) { timeoutForRequest_ = seconds; }
    double timeoutIntervalForResource() const noexcept { return timeoutForResource_; }
    void setTimeoutIntervalForResource(double seconds) { timeoutForResource_ = seconds; }
    const Ref<NSDictionary>& HTTPAdditionalHeaders() const noexcept { return additionalHeaders_; }
    void setHTTPAdditionalHeaders(const Ref<NSDictionary>& headers) { additionalHeaders_ = headers; }
    NSInteger HTTPMaximumConnectionsPerHost() const noexcept { return maximumConnectionsPerHost_; }
    void setHTTPMaximumConnectionsPerHost(NSInteger count) { maximumConnectionsPerHost_ = count; }
    bool allowsCellularAccess() const noexcept { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }
    NSURLRequestCachePolicy requestCachePolicy() const noexcept { return cachePolicy_; }
    void setRequestCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    bool HTTPShouldSetCookies() const noexcept { return shouldSetCookies_; }
    void setHTTPShouldSetCookies(bool should) { shouldSetCookies_ = should; }
    bool HTTPShouldUsePipelining() const noexcept { return shouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool should) { shouldUsePipelining_ = should; }
    // nil: credentials are neither looked up nor remembered.
    const Ref<NSURLCredentialStorage>& URLCredentialStorage() const noexcept { return credentialStorage_; }
    void setURLCredentialStorage(const Ref<NSURLCredentialStorage>& storage) { credentialStorage_ = storage; }

    void encodeWithCoder(NSCoder* coder) override;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> identifier_;
    double timeoutForRequest_ = 60;
    double timeoutForResource_ = 7 * 24 * 3600;
    Ref<NSDictionary> additionalHeaders_;
    NSInteger maximumConnectionsPerHost_ = 6;
    bool allowsCellularAccess_ = true;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    bool shouldSetCookies_ = true;
    bool shouldUsePipelining_ = false;
    Ref<NSURLCredentialStorage> credentialStorage_;
};
