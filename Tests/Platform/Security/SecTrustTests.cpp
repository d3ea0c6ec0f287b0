#include "TestCertificates.h"

#include <Security/SecTrust.h>

#include <gtest/gtest.h>

namespace {

Ref<SecCertificate> certificate(const TestIdentity& identity) {
    return SecCertificateCreateWithData(identity.der());
}

Ref<SecTrust> trustFor(std::initializer_list<const TestIdentity*> chain, const id& policies) {
    auto certificates = NSMutableArray::array();
    for (const auto* identity : chain) {
        certificates->addObject(certificate(*identity));
    }
    Ref<SecTrust> trust;
    EXPECT_EQ(SecTrustCreateWithCertificates(certificates, policies, &trust), errSecSuccess);
    return trust;
}

SecTrustResultType evaluate(const Ref<SecTrust>& trust) {
    SecTrustResultType result = kSecTrustResultInvalid;
    EXPECT_EQ(SecTrustEvaluate(trust, &result), errSecSuccess);
    return result;
}

const TestCertificates& pki() {
    return TestCertificates::shared();
}

} // namespace

TEST(SecCertificate, RoundTripsDERAndRefusesOtherBytes) {
    auto der = pki().leaf.der();
    auto cert = SecCertificateCreateWithData(der);
    ASSERT_TRUE(cert);
    EXPECT_TRUE(SecCertificateCopyData(cert)->isEqualToData(der));
    EXPECT_EQ(SecCertificateCopySubjectSummary(cert)->str(), "127.0.0.1");

    EXPECT_FALSE(SecCertificateCreateWithData(NSData::dataWithString("not a certificate")));
    EXPECT_FALSE(SecCertificateCreateWithData(NSData::data()));
    auto padded = NSMutableData::dataWithData(der);
    padded->appendBytesLength("x", 1);
    EXPECT_FALSE(SecCertificateCreateWithData(padded));
    EXPECT_TRUE(cert->isEqual(SecCertificateCreateWithData(der)));
    EXPECT_FALSE(cert->isEqual(certificate(pki().reissued)));
}

TEST(SecTrust, ValidChainToCustomAnchorForTheRightHost) {
    for (const char* host : {"127.0.0.1", "localhost"}) {
        auto trust = trustFor({&pki().leaf}, SecPolicyCreateSSL(true, NSString::from(host)));
        SecTrustSetAnchorCertificates(trust, NSArray::arrayWithObjects({certificate(pki().root)}));
        EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified) << host;
        ASSERT_EQ(SecTrustGetCertificateCount(trust), 2);
        EXPECT_TRUE(SecTrustGetCertificateAtIndex(trust, 0)->isEqual(certificate(pki().leaf)));
        EXPECT_TRUE(SecTrustGetCertificateAtIndex(trust, 1)->isEqual(certificate(pki().root)));
    }
}

TEST(SecTrust, HostPolicyRejectsAnotherNameWhileBasicPolicyIgnoresNames) {
    auto anchors = NSArray::arrayWithObjects({certificate(pki().root)});
    auto wrong = trustFor({&pki().leaf}, SecPolicyCreateSSL(true, "example.org"_ns));
    SecTrustSetAnchorCertificates(wrong, anchors);
    EXPECT_EQ(evaluate(wrong), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(wrong->lastFailure(), SecTrustFailure::HostMismatch);

    auto wrongLeaf = trustFor({&pki().wrongHost}, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    SecTrustSetAnchorCertificates(wrongLeaf, anchors);
    EXPECT_EQ(evaluate(wrongLeaf), kSecTrustResultRecoverableTrustFailure);

    auto basic = trustFor({&pki().wrongHost}, SecPolicyCreateBasicX509());
    SecTrustSetAnchorCertificates(basic, anchors);
    EXPECT_EQ(evaluate(basic), kSecTrustResultUnspecified);

    auto noName = trustFor({&pki().wrongHost}, SecPolicyCreateSSL(true, nullptr));
    SecTrustSetAnchorCertificates(noName, anchors);
    EXPECT_EQ(evaluate(noName), kSecTrustResultUnspecified);
}

TEST(SecTrust, ExpiredSelfSignedAndUnknownRootsFail) {
    auto anchors = NSArray::arrayWithObjects({certificate(pki().root)});
    auto expired = trustFor({&pki().expired}, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    SecTrustSetAnchorCertificates(expired, anchors);
    EXPECT_EQ(evaluate(expired), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(expired->lastFailure(), SecTrustFailure::Expired);

    auto selfSigned = trustFor({&pki().selfSigned}, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    EXPECT_EQ(evaluate(selfSigned), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(SecTrustGetCertificateCount(selfSigned), 1);

    auto other = trustFor({&pki().otherLeaf}, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    SecTrustSetAnchorCertificates(other, anchors);
    EXPECT_EQ(evaluate(other), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(other->lastFailure(), SecTrustFailure::UnknownRoot);
}

TEST(SecTrust, SystemRootsAndAnchorsOnly) {
    pki().installRootAsSystemTrust();
    auto trust = trustFor({&pki().leaf}, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);

    // Custom anchors replace the system roots until they are allowed back.
    SecTrustSetAnchorCertificates(trust, NSArray::arrayWithObjects({certificate(pki().otherRoot)}));
    EXPECT_EQ(evaluate(trust), kSecTrustResultRecoverableTrustFailure);
    SecTrustSetAnchorCertificatesOnly(trust, false);
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);
}

TEST(SecTrust, AnyCertificateOfTheChainMayBeAnAnchor) {
    auto trust = trustFor({&pki().selfSigned}, SecPolicyCreateSSL(true, "127.0.0.1"_ns));
    SecTrustSetAnchorCertificates(trust, NSArray::arrayWithObjects({certificate(pki().selfSigned)}));
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);

    auto leafOnly = trustFor({&pki().leaf}, SecPolicyCreateBasicX509());
    SecTrustSetAnchorCertificates(leafOnly, NSArray::arrayWithObjects({certificate(pki().leaf)}));
    EXPECT_EQ(evaluate(leafOnly), kSecTrustResultUnspecified);
}

TEST(SecTrust, BuiltChainLeavesOutCertificatesThatAreNotLinks) {
    // A peer may send any certificates after its leaf; only those that certify it form the chain.
    auto trust = trustFor({&pki().leaf, &pki().otherRoot, &pki().selfSigned}, SecPolicyCreateBasicX509());
    SecTrustSetAnchorCertificates(trust, NSArray::arrayWithObjects({certificate(pki().root)}));
    EXPECT_EQ(SecTrustGetCertificateCount(trust), 3); // before evaluation: what was given
    EXPECT_EQ(evaluate(trust), kSecTrustResultUnspecified);
    ASSERT_EQ(SecTrustGetCertificateCount(trust), 2);
    EXPECT_TRUE(SecTrustGetCertificateAtIndex(trust, 1)->isEqual(certificate(pki().root)));
    EXPECT_FALSE(SecTrustGetCertificateAtIndex(trust, 2));

    // An untrusted chain is the leaf alone plus whatever really issued it.
    auto untrusted = trustFor({&pki().selfSigned, &pki().root}, SecPolicyCreateBasicX509());
    SecTrustSetAnchorCertificates(untrusted, NSArray::arrayWithObjects({certificate(pki().otherRoot)}));
    EXPECT_EQ(evaluate(untrusted), kSecTrustResultRecoverableTrustFailure);
    ASSERT_EQ(SecTrustGetCertificateCount(untrusted), 1);
}

TEST(SecTrust, PublicKeysCompareByKeyNotByCertificate) {
    auto leafKey = SecTrustCopyPublicKey(trustFor({&pki().leaf}, nullptr));
    auto reissuedKey = SecTrustCopyPublicKey(trustFor({&pki().reissued}, nullptr));
    auto otherKey = SecTrustCopyPublicKey(trustFor({&pki().wrongHost}, nullptr));
    ASSERT_TRUE(leafKey && reissuedKey && otherKey);
    EXPECT_TRUE(leafKey->isEqual(reissuedKey));
    EXPECT_EQ(leafKey->hash(), reissuedKey->hash());
    EXPECT_FALSE(leafKey->isEqual(otherKey));
}

TEST(SecTrust, CreationRefusesBadArguments) {
    Ref<SecTrust> trust;
    EXPECT_EQ(SecTrustCreateWithCertificates(NSArray::array(), nullptr, &trust), errSecParam);
    EXPECT_FALSE(trust);
    EXPECT_EQ(SecTrustCreateWithCertificates(NSArray::arrayWithObjects({"x"_ns}), nullptr, &trust), errSecParam);
    EXPECT_EQ(SecTrustCreateWithCertificates(certificate(pki().leaf), "policy"_ns, &trust), errSecParam);
    EXPECT_EQ(SecTrustCreateWithCertificates(certificate(pki().leaf), nullptr, &trust), errSecSuccess);
    EXPECT_EQ(SecTrustEvaluate(nullptr, nullptr), errSecParam);
}
