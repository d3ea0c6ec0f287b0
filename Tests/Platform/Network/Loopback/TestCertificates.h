// Certificates made when a test process first asks for them: a test root, leaves it signs for
// the loopback server (right host, wrong host, expired, re-issued with the same key), a
// self-signed leaf and a second, unrelated root.
#pragma once

#include <Foundation/NSData.h>

#include <string>

struct x509_st;
struct evp_pkey_st;

struct TestIdentity {
    x509_st* certificate = nullptr;
    evp_pkey_st* key = nullptr;
    std::string certificatePEM;
    std::string keyPEM;
    Ref<NSData> der() const;
};

class TestCertificates {
public:
    static const TestCertificates& shared();

    TestIdentity root;       // CA:TRUE, self-signed
    TestIdentity leaf;       // 127.0.0.1 and localhost, signed by root
    TestIdentity reissued;   // the leaf's key, a new serial and validity, signed by root
    TestIdentity wrongHost;  // wrong.example only, signed by root
    TestIdentity expired;    // 127.0.0.1, validity ended yesterday, signed by root
    TestIdentity selfSigned; // 127.0.0.1, its own issuer
    TestIdentity otherRoot;  // an unrelated CA
    TestIdentity otherLeaf;  // 127.0.0.1, signed by otherRoot

    // Writes the root as PEM into a file of its own and points OpenSSL's default trust file
    // (SSL_CERT_FILE) at it, so that "the system roots" of this test process are the test root.
    void installRootAsSystemTrust() const;

private:
    TestCertificates();
};
