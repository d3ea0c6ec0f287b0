#include "TestCertificates.h"

#include <Security/SecTrust.h>

#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

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

namespace {

// A root file the size of a real system's: 150 RSA-2048 roots (one key, 150 names) and, last, the
// test root. Answers the file's path.
std::string writeRealisticRootFile(const std::string& extraPEM) {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    std::string pem;
    for (int i = 0; i < 150; ++i) {
        X509* root = X509_new();
        X509_set_version(root, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(root), 1000 + i);
        X509_gmtime_adj(X509_getm_notBefore(root), -86400L);
        X509_gmtime_adj(X509_getm_notAfter(root), 3650 * 86400L);
        X509_set_pubkey(root, key);
        std::string name = "Celvix Bulk Root " + std::to_string(i);
        X509_NAME* subject = X509_get_subject_name(root);
        X509_NAME_add_entry_by_txt(subject, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Bulk CA"), -1,
                                   -1, 0);
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(name.c_str()),
                                   -1, -1, 0);
        X509_set_issuer_name(root, subject);
        X509_sign(root, key, EVP_sha256());
        BIO* bio = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(bio, root);
        char* data = nullptr;
        long length = BIO_get_mem_data(bio, &data);
        pem.append(data, static_cast<size_t>(length));
        BIO_free(bio);
        X509_free(root);
    }
    EVP_PKEY_free(key);
    pem += extraPEM;
    char path[] = "/tmp/celvix-roots-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, pem.data(), pem.size()), static_cast<ssize_t>(pem.size()));
    close(fd);
    return path;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(SecTrust, SystemRootsAreLoadedOnceAndAgainOnlyWhenTheyChange) {
    std::string path = writeRealisticRootFile(pki().root.certificatePEM);
    setenv("SSL_CERT_FILE", path.c_str(), 1);
    setenv("SSL_CERT_DIR", "/nonexistent", 1);

    // What loading the store costs: before, every evaluation paid it.
    auto loadStart = std::chrono::steady_clock::now();
    constexpr int kLoads = 5;
    for (int i = 0; i < kLoads; ++i) {
        X509_STORE* store = X509_STORE_new();
        X509_STORE_set_default_paths(store);
        X509_STORE_free(store);
    }
    double perLoad = secondsSince(loadStart) / kLoads;

    unsigned loadsBefore = SecTrustSystemRootLoadCount();
    auto policy = SecPolicyCreateSSL(true, "127.0.0.1"_ns);
    constexpr int kEvaluations = 100;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kEvaluations; ++i) {
        ASSERT_EQ(evaluate(trustFor({&pki().leaf}, policy)), kSecTrustResultUnspecified);
    }
    double perEvaluation = secondsSince(start) / kEvaluations;
    EXPECT_EQ(SecTrustSystemRootLoadCount(), loadsBefore + 1);
    std::printf("root store of 151 certificates: %.2f ms to load; %.3f ms per evaluation\n", perLoad * 1000,
                perEvaluation * 1000);
    RecordProperty("StoreLoadMicroseconds", static_cast<int>(perLoad * 1e6));
    RecordProperty("EvaluationMicroseconds", static_cast<int>(perEvaluation * 1e6));
    EXPECT_LT(perEvaluation, perLoad) << "an evaluation still loads the store";

    // A changed file is read again: a root added to it is trusted from then on.
    EXPECT_EQ(evaluate(trustFor({&pki().otherLeaf}, policy)), kSecTrustResultRecoverableTrustFailure);
    FILE* file = std::fopen(path.c_str(), "a");
    ASSERT_TRUE(file);
    std::fputs(pki().otherRoot.certificatePEM.c_str(), file);
    std::fclose(file);
    EXPECT_EQ(evaluate(trustFor({&pki().otherLeaf}, policy)), kSecTrustResultUnspecified);
    EXPECT_EQ(SecTrustSystemRootLoadCount(), loadsBefore + 2);
    unlink(path.c_str());
}
