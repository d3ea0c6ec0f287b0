// HCSecurityPolicy: whether the server of an HTTPS connection is trusted, from the trust object of
// its certificate chain and the host name, with optional pinning of certificates or public keys.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Security/SecTrust.h>

enum HCSSLPinningMode : NSUInteger {
    HCSSLPinningModeNone = 0,
    HCSSLPinningModePublicKey = 1,
    HCSSLPinningModeCertificate = 2,
};

class HCSecurityPolicy : public NSObject, public NSSecureCoding {
    NS_OBJECT(HCSecurityPolicy, NSObject)
public:
    // `init`: validates the domain name, pins nothing.
    HCSecurityPolicy();
    // `initWithCoder:`.
    explicit HCSecurityPolicy(NSCoder* coder);

    static Ref<HCSecurityPolicy> defaultPolicy();
    static Ref<HCSecurityPolicy> policyWithPinningMode(HCSSLPinningMode pinningMode);
    // The DER contents of every ".cer" resource at the top level of the main bundle, read once.
    static Ref<NSArray> defaultPinnedCertificates();
    static bool supportsSecureCoding() { return true; }

    bool allowInvalidCertificates() const noexcept { return allowInvalidCertificates_; }
    void setAllowInvalidCertificates(bool allow) { allowInvalidCertificates_ = allow; }
    bool validatesDomainName() const noexcept { return validatesDomainName_; }
    void setValidatesDomainName(bool validates) { validatesDomainName_ = validates; }
    HCSSLPinningMode SSLPinningMode() const noexcept { return pinningMode_; }
    void setSSLPinningMode(HCSSLPinningMode mode) { pinningMode_ = mode; }
    const Ref<NSArray>& pinnedCertificates() const noexcept { return pinnedCertificates_; }
    // Stores the certificates without duplicates and derives their public keys.
    void setPinnedCertificates(const Ref<NSArray>& certificates);
    const Ref<NSArray>& pinnedPublicKeys() const noexcept { return pinnedPublicKeys_; }
    void setPinnedPublicKeys(const Ref<NSArray>& keys) { pinnedPublicKeys_ = keys; }

    bool evaluateServerTrust(const Ref<SecTrust>& serverTrust);
    bool evaluateServerTrustForDomain(const Ref<SecTrust>& serverTrust, const Ref<NSString>& domain);

    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    bool allowInvalidCertificates_ = false;
    bool validatesDomainName_ = true;
    HCSSLPinningMode pinningMode_ = HCSSLPinningModeNone;
    Ref<NSArray> pinnedCertificates_;
    Ref<NSArray> pinnedPublicKeys_;
};
