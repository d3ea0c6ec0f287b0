#include <Networking/HCSecurityPolicy.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>

#include <mutex>

NS_IMPLEMENT_CLASS(HCSecurityPolicy, NSObject) {
    NSCodingRegister(b);
    b.property("allowInvalidCertificates", &HCSecurityPolicy::allowInvalidCertificates,
               &HCSecurityPolicy::setAllowInvalidCertificates);
    b.property("validatesDomainName", &HCSecurityPolicy::validatesDomainName,
               &HCSecurityPolicy::setValidatesDomainName);
    b.property("SSLPinningMode", &HCSecurityPolicy::SSLPinningMode, &HCSecurityPolicy::setSSLPinningMode);
    b.property("pinnedCertificates", &HCSecurityPolicy::pinnedCertificates, &HCSecurityPolicy::setPinnedCertificates);
    b.property("pinnedPublicKeys", &HCSecurityPolicy::pinnedPublicKeys, &HCSecurityPolicy::setPinnedPublicKeys);
    b.classMethod("supportsSecureCoding", [] { return true; });
}

namespace {

// The public key of one DER certificate, through a basic X.509 trust of it alone.
Ref<SecKey> publicKeyForCertificate(const Ref<NSData>& certificateData) {
    auto certificate = SecCertificateCreateWithData(certificateData);
    if (!certificate) {
        return nullptr;
    }
    Ref<SecTrust> trust;
    if (SecTrustCreateWithCertificates(NSArray::arrayWithObjects({certificate}), SecPolicyCreateBasicX509(), &trust) !=
        errSecSuccess) {
        return nullptr;
    }
    SecTrustResultType result = kSecTrustResultInvalid;
    if (SecTrustEvaluate(trust, &result) != errSecSuccess) {
        return nullptr;
    }
    return SecTrustCopyPublicKey(trust);
}

bool serverTrustIsValid(const Ref<SecTrust>& serverTrust) {
    SecTrustResultType result = kSecTrustResultInvalid;
    return SecTrustEvaluate(serverTrust, &result) == errSecSuccess &&
           (result == kSecTrustResultUnspecified || result == kSecTrustResultProceed);
}

// The DER data of the chain the last evaluation built, leaf first.
std::vector<Ref<NSData>> certificateChain(const Ref<SecTrust>& serverTrust) {
    std::vector<Ref<NSData>> chain;
    NSInteger count = SecTrustGetCertificateCount(serverTrust);
    for (NSInteger i = 0; i < count; ++i) {
        chain.push_back(SecCertificateCopyData(SecTrustGetCertificateAtIndex(serverTrust, i)));
    }
    return chain;
}

} // namespace

HCSecurityPolicy::HCSecurityPolicy() = default;

HCSecurityPolicy::HCSecurityPolicy(NSCoder* coder) : HCSecurityPolicy() {
    auto mode = cast<NSNumber>(coder->decodeObjectOfClassForKey(NSNumber::class_(), "SSLPinningMode"_ns));
    pinningMode_ = static_cast<HCSSLPinningMode>(mode ? mode->unsignedIntegerValue() : 0);
    allowInvalidCertificates_ = coder->decodeBoolForKey("allowInvalidCertificates"_ns);
    validatesDomainName_ = coder->decodeBoolForKey("validatesDomainName"_ns);
    setPinnedCertificates(cast<NSArray>(
        coder->decodeObjectOfClassesForKey({NSArray::class_(), NSData::class_()}, "pinnedCertificates"_ns)));
}

Ref<HCSecurityPolicy> HCSecurityPolicy::defaultPolicy() {
    auto policy = make<HCSecurityPolicy>();
    policy->setSSLPinningMode(HCSSLPinningModeNone);
    return policy;
}

Ref<HCSecurityPolicy> HCSecurityPolicy::policyWithPinningMode(HCSSLPinningMode pinningMode) {
    auto policy = make<HCSecurityPolicy>();
    policy->setSSLPinningMode(pinningMode);
    policy->setPinnedCertificates(defaultPinnedCertificates());
    return policy;
}

Ref<NSArray> HCSecurityPolicy::defaultPinnedCertificates() {
    static std::once_flag once;
    static Ref<NSArray>* certificates = nullptr; // never destroyed, as the other shared objects
    std::call_once(once, [] {
        auto found = NSMutableArray::array();
        auto bundle = NSBundle::mainBundle();
        auto paths = bundle ? bundle->pathsForResourcesOfTypeInDirectory("cer"_ns, "."_ns) : nullptr;
        if (paths) {
            for (const auto& path : *paths) {
                // A file that cannot be read is left out; pinning then rests on the others.
                if (auto data = NSData::dataWithContentsOfFile(cast<NSString>(path))) {
                    found->addObject(data);
                }
            }
        }
        certificates = new Ref<NSArray>(NSArray::arrayWithArray(found));
    });
    return *certificates;
}

void HCSecurityPolicy::setPinnedCertificates(const Ref<NSArray>& certificates) {
    if (!certificates) {
        pinnedCertificates_ = nullptr;
        pinnedPublicKeys_ = nullptr;
        return;
    }
    auto unique = NSMutableArray::array();
    for (const auto& certificate : *certificates) {
        if (!unique->containsObject(certificate)) {
            unique->addObject(certificate);
        }
    }
    pinnedCertificates_ = NSArray::arrayWithArray(unique);
    auto keys = NSMutableArray::array();
    for (const auto& certificate : *pinnedCertificates_) {
        if (auto key = publicKeyForCertificate(cast<NSData>(certificate))) {
            keys->addObject(key);
        }
    }
    pinnedPublicKeys_ = NSArray::arrayWithArray(keys);
}

namespace {

// Whether the server's own certificate names the host, whatever else is wrong with it (an invalid
// chain may be allowed; a certificate for another host never is when domains are validated).
bool leafMatchesHost(const Ref<SecTrust>& serverTrust, const Ref<NSString>& domain) {
    auto leaf = SecTrustGetCertificateAtIndex(serverTrust, 0);
    Ref<SecTrust> alone;
    if (!leaf || SecTrustCreateWithCertificates(leaf, SecPolicyCreateSSL(true, domain), &alone) != errSecSuccess) {
        return false;
    }
    SecTrustSetAnchorCertificates(alone, NSArray::arrayWithObjects({leaf}));
    SecTrustResultType result = kSecTrustResultInvalid;
    return SecTrustEvaluate(alone, &result) == errSecSuccess && alone->lastFailure() != SecTrustFailure::HostMismatch;
}

} // namespace

bool HCSecurityPolicy::evaluateServerTrust(const Ref<SecTrust>& serverTrust) {
    return evaluateServerTrustForDomain(serverTrust, nullptr);
}

bool HCSecurityPolicy::evaluateServerTrustForDomain(const Ref<SecTrust>& serverTrust, const Ref<NSString>& domain) {
    if (!serverTrust) {
        return false;
    }
    bool pinsNothing = !pinnedCertificates_ || pinnedCertificates_->count() == 0;
    if (domain && allowInvalidCertificates_ && validatesDomainName_ &&
        (pinningMode_ == HCSSLPinningModeNone || pinsNothing)) {
        NSLog("In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }
    SecTrustSetPolicies(serverTrust,
                        validatesDomainName_ ? id(SecPolicyCreateSSL(true, domain)) : id(SecPolicyCreateBasicX509()));
    if (pinningMode_ == HCSSLPinningModeNone) {
        return allowInvalidCertificates_ || serverTrustIsValid(serverTrust);
    }
    if (!serverTrustIsValid(serverTrust) && !allowInvalidCertificates_) {
        return false;
    }
    switch (pinningMode_) {
    case HCSSLPinningModeCertificate: {
        auto anchors = NSMutableArray::array();
        auto pinned = pinnedCertificates_ ? pinnedCertificates_ : NSArray::array();
        for (const auto& data : *pinned) {
            // Pinned data that is no certificate anchors nothing.
            if (auto certificate = SecCertificateCreateWithData(cast<NSData>(data))) {
                anchors->addObject(certificate);
            }
        }
        SecTrustSetAnchorCertificates(serverTrust, anchors);
        if (!serverTrustIsValid(serverTrust)) {
            return false;
        }
        // The chain as built to a pinned anchor, not merely what the server sent.
        NSUInteger trusted = 0;
        for (const auto& certificate : certificateChain(serverTrust)) {
            if (pinnedCertificates_->containsObject(certificate)) {
                ++trusted;
            }
        }
        return trusted > 0;
    }
    case HCSSLPinningModePublicKey: {
        if (validatesDomainName_ && domain && allowInvalidCertificates_ && !leafMatchesHost(serverTrust, domain)) {
            return false; // a pinned key shown under another host name is not this server
        }
        // Keys of the certificates that really form the chain: a server could send any other
        // certificate (a pinned one included) after its own, without holding that key.
        NSUInteger trusted = 0;
        for (const auto& data : certificateChain(serverTrust)) {
            auto key = publicKeyForCertificate(data);
            if (!key || !pinnedPublicKeys_) {
                continue;
            }
            for (const auto& pinned : *pinnedPublicKeys_) {
                if (key->isEqual(pinned)) {
                    ++trusted;
                }
            }
        }
        return trusted > 0;
    }
    default:
        return false;
    }
}

void HCSecurityPolicy::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(NSNumber::numberWithUnsignedInteger(pinningMode_), "SSLPinningMode"_ns);
    coder->encodeBoolForKey(allowInvalidCertificates_, "allowInvalidCertificates"_ns);
    coder->encodeBoolForKey(validatesDomainName_, "validatesDomainName"_ns);
    coder->encodeObjectForKey(pinnedCertificates_, "pinnedCertificates"_ns);
}

id HCSecurityPolicy::copy() const {
    auto policy = make<HCSecurityPolicy>();
    policy->pinningMode_ = pinningMode_;
    policy->allowInvalidCertificates_ = allowInvalidCertificates_;
    policy->validatesDomainName_ = validatesDomainName_;
    policy->setPinnedCertificates(pinnedCertificates_ ? NSArray::arrayWithArray(pinnedCertificates_) : nullptr);
    return policy;
}
