// SecTrust: a certificate chain to judge, the policies to judge it by and the anchors to trust.
//
// Evaluation builds the chain from the leaf through the other certificates given up to a trusted
// anchor: the system's roots (OpenSSL's default locations, which SSL_CERT_FILE and SSL_CERT_DIR
// override; loaded once per process and again only when they change) plus the custom anchors, or the custom anchors
// alone once they are set. A custom anchor may be any certificate of the chain, not only a root. After an evaluation
// the certificate accessors answer the chain that was built, leaf first; before, the certificates given.
#pragma once

#include <Foundation/NSArray.h>
#include <Security/SecCertificate.h>
#include <Security/SecKey.h>
#include <Security/SecPolicy.h>

#include <mutex>
#include <vector>

// Why the last evaluation failed, for callers that turn it into an error of their own.
enum class SecTrustFailure { None, Expired, NotYetValid, UnknownRoot, Untrusted, HostMismatch, Malformed };

class SecTrust : public NSObject {
    NS_OBJECT(SecTrust, NSObject)
public:
    SecTrust(std::vector<Ref<SecCertificate>> certificates, std::vector<Ref<SecPolicy>> policies);

    void setPolicies(std::vector<Ref<SecPolicy>> policies);
    std::vector<Ref<SecPolicy>> policies() const;
    // Only these anchors are trusted from now on (until setAnchorCertificatesOnly(false)).
    void setAnchorCertificates(std::vector<Ref<SecCertificate>> anchors);
    void setAnchorCertificatesOnly(bool only);

    // errSecSuccess when the evaluation ran (whatever its verdict, written to `result`).
    OSStatus evaluate(SecTrustResultType* result);
    SecTrustFailure lastFailure() const;

    // The built chain after an evaluation, else the certificates given.
    NSInteger certificateCount() const;
    Ref<SecCertificate> certificateAtIndex(NSInteger index) const;
    Ref<NSArray> certificateChain() const;
    // The certificates given, leaf first (what the peer sent).
    std::vector<Ref<SecCertificate>> peerCertificates() const;
    // The leaf's public key.
    Ref<SecKey> publicKey() const;

    Ref<NSString> description() const override;

private:
    mutable std::mutex mutex_;
    std::vector<Ref<SecCertificate>> certificates_;
    std::vector<Ref<SecPolicy>> policies_;
    std::vector<Ref<SecCertificate>> anchors_;
    bool anchorsOnly_ = false;
    bool evaluated_ = false;
    std::vector<Ref<SecCertificate>> chain_;
    SecTrustFailure failure_ = SecTrustFailure::None;
};

// The platform's functions over trust objects. `certificates` is one SecCertificate or an array of
// them, leaf first; `policies` one SecPolicy, an array of them, or nil (a basic X.509 policy).
OSStatus SecTrustCreateWithCertificates(const id& certificates, const id& policies, Ref<SecTrust>* trust);
OSStatus SecTrustSetPolicies(const Ref<SecTrust>& trust, const id& policies);
OSStatus SecTrustSetAnchorCertificates(const Ref<SecTrust>& trust, const Ref<NSArray>& anchors);
OSStatus SecTrustSetAnchorCertificatesOnly(const Ref<SecTrust>& trust, bool only);
OSStatus SecTrustEvaluate(const Ref<SecTrust>& trust, SecTrustResultType* result);
NSInteger SecTrustGetCertificateCount(const Ref<SecTrust>& trust);
Ref<SecCertificate> SecTrustGetCertificateAtIndex(const Ref<SecTrust>& trust, NSInteger index);
Ref<SecKey> SecTrustCopyPublicKey(const Ref<SecTrust>& trust);

// How many times the system's root store has been loaded in this process (it is loaded once and
// shared, and loaded again only when its file or directory changes). For tests and diagnostics.
unsigned SecTrustSystemRootLoadCount();
