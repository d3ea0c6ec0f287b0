#include "TestCertificates.h"

#include <Networking/HCSecurityPolicy.h>

#include <Foundation/NSLog.h>
#include <Support/LogCapture.h>

#include <gtest/gtest.h>

namespace {

const TestCertificates& pki() {
    return TestCertificates::shared();
}

// The trust a TLS handshake with a server presenting these certificates would produce.
Ref<SecTrust> serverTrust(std::initializer_list<const TestIdentity*> chain) {
    auto certificates = NSMutableArray::array();
    for (const auto* identity : chain) {
        certificates->addObject(SecCertificateCreateWithData(identity->der()));
    }
    Ref<SecTrust> trust;
    SecTrustCreateWithCertificates(certificates, SecPolicyCreateSSL(true, "127.0.0.1"_ns), &trust);
    return trust;
}

Ref<HCSecurityPolicy> pinning(HCSSLPinningMode mode, std::initializer_list<const TestIdentity*> pinned) {
    auto policy = HCSecurityPolicy::policyWithPinningMode(mode);
    auto certificates = NSMutableArray::array();
    for (const auto* identity : pinned) {
        certificates->addObject(identity->der());
    }
    policy->setPinnedCertificates(certificates);
    return policy;
}

class SecurityPolicy : public ::testing::Test {
protected:
    void SetUp() override { pki().installRootAsSystemTrust(); }
};

} // namespace

TEST_F(SecurityPolicy, DefaultPolicyTrustsValidChainsForTheirHostOnly) {
    auto policy = HCSecurityPolicy::defaultPolicy();
    EXPECT_EQ(policy->SSLPinningMode(), HCSSLPinningModeNone);
    EXPECT_TRUE(policy->validatesDomainName());
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "127.0.0.1"_ns));
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "localhost"_ns));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "example.org"_ns));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().wrongHost}), "127.0.0.1"_ns));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "127.0.0.1"_ns));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().expired}), "127.0.0.1"_ns));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().otherLeaf}), "127.0.0.1"_ns));
    EXPECT_FALSE(policy->evaluateServerTrust(nullptr));
}

TEST_F(SecurityPolicy, InvalidCertificatesNeedPinningWhenTheDomainIsValidated) {
    LogCapture capture;
    auto policy = HCSecurityPolicy::defaultPolicy();
    policy->setAllowInvalidCertificates(true);
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "127.0.0.1"_ns));
    auto logged = capture.finish();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("you MUST use pinning"), std::string::npos);

    policy->setValidatesDomainName(false);
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "127.0.0.1"_ns));
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(serverTrust({&pki().expired}), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicy, WithoutDomainValidationAnyNameIsAccepted) {
    auto policy = HCSecurityPolicy::defaultPolicy();
    policy->setValidatesDomainName(false);
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(serverTrust({&pki().wrongHost}), "127.0.0.1"_ns));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicy, CertificatePinning) {
    // The leaf itself pinned.
    EXPECT_TRUE(pinning(HCSSLPinningModeCertificate, {&pki().leaf})
                    ->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "127.0.0.1"_ns));
    // The root pinned: a chain built to it counts.
    EXPECT_TRUE(pinning(HCSSLPinningModeCertificate, {&pki().root})
                    ->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "127.0.0.1"_ns));
    // A valid chain that contains no pinned certificate is refused.
    EXPECT_FALSE(pinning(HCSSLPinningModeCertificate, {&pki().otherRoot})
                     ->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "127.0.0.1"_ns));
    // A self-signed server is trusted only when pinned and invalid certificates are allowed.
    auto selfSigned = pinning(HCSSLPinningModeCertificate, {&pki().selfSigned});
    EXPECT_FALSE(selfSigned->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "127.0.0.1"_ns));
    selfSigned->setAllowInvalidCertificates(true);
    EXPECT_TRUE(selfSigned->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "127.0.0.1"_ns));
    EXPECT_FALSE(selfSigned->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned}), "example.org"_ns));
    // Sending the pinned certificate along does not make another chain trusted.
    EXPECT_FALSE(pinning(HCSSLPinningModeCertificate, {&pki().leaf})
                     ->evaluateServerTrustForDomain(serverTrust({&pki().otherLeaf, &pki().leaf}), "127.0.0.1"_ns));
}

TEST_F(SecurityPolicy, PublicKeyPinning) {
    // A leaf re-issued with the same key still matches.
    EXPECT_TRUE(pinning(HCSSLPinningModePublicKey, {&pki().leaf})
                    ->evaluateServerTrustForDomain(serverTrust({&pki().reissued}), "127.0.0.1"_ns));
    EXPECT_FALSE(pinning(HCSSLPinningModePublicKey, {&pki().wrongHost})
                     ->evaluateServerTrustForDomain(serverTrust({&pki().leaf}), "127.0.0.1"_ns));
    // The keys are taken from the chain as built, not from whatever the server sent: appending the
    // pinned certificate (whose private key the server does not hold) does not help.
    auto pinned = pinning(HCSSLPinningModePublicKey, {&pki().otherRoot});
    pinned->setAllowInvalidCertificates(true);
    pinned->setValidatesDomainName(false);
    EXPECT_FALSE(pinned->evaluateServerTrustForDomain(serverTrust({&pki().selfSigned, &pki().otherRoot}), nullptr));
    // ...while the chain really issued by the pinned root passes.
    EXPECT_TRUE(pinned->evaluateServerTrustForDomain(serverTrust({&pki().otherLeaf, &pki().otherRoot}), nullptr));
}

TEST_F(SecurityPolicy, PinnedCertificatesAreStoredOnceAndYieldTheirKeys) {
    auto policy = HCSecurityPolicy::defaultPolicy();
    policy->setPinnedCertificates(NSArray::arrayWithObjects(
        {pki().leaf.der(), pki().root.der(), pki().leaf.der(), NSData::dataWithString("not a certificate")}));
    EXPECT_EQ(policy->pinnedCertificates()->count(), 3u);
    EXPECT_EQ(policy->pinnedPublicKeys()->count(), 2u);
    policy->setPinnedCertificates(nullptr);
    EXPECT_FALSE(policy->pinnedPublicKeys());
}

TEST_F(SecurityPolicy, ArchivingAndCopyingKeepEverything) {
    auto policy = pinning(HCSSLPinningModePublicKey, {&pki().leaf, &pki().root});
    policy->setAllowInvalidCertificates(true);
    policy->setValidatesDomainName(false);
    for (int round = 0; round < 2; ++round) {
        Ref<HCSecurityPolicy> other;
        if (round == 0) {
            other = cast<HCSecurityPolicy>(policy->copy());
        } else {
            auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(policy, true, nullptr);
            other = cast<HCSecurityPolicy>(
                NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(HCSecurityPolicy::class_(), data, nullptr));
        }
        ASSERT_TRUE(other);
        EXPECT_EQ(other->SSLPinningMode(), HCSSLPinningModePublicKey);
        EXPECT_TRUE(other->allowInvalidCertificates());
        EXPECT_FALSE(other->validatesDomainName());
        EXPECT_TRUE(other->pinnedCertificates()->isEqual(policy->pinnedCertificates()));
        ASSERT_EQ(other->pinnedPublicKeys()->count(), 2u);
        EXPECT_TRUE(other->pinnedPublicKeys()->objectAtIndex(0)->isEqual(policy->pinnedPublicKeys()->objectAtIndex(0)));
    }
}
