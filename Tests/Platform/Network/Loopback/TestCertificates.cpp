#include "TestCertificates.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

evp_pkey_st* newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) {
        throw std::runtime_error("key generation failed");
    }
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!extension) {
        throw std::runtime_error("bad extension");
    }
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

std::string pemOf(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<size_t>(length));
    BIO_free(bio);
    return out;
}

std::string pemOf(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string out(data, static_cast<size_t>(length));
    BIO_free(bio);
    return out;
}

struct Spec {
    const char* commonName;
    const char* subjectAltName = nullptr; // nullptr for a CA
    bool isCA = false;
    long notBeforeDays = -1;
    long notAfterDays = 365;
    long serial = 1;
};

TestIdentity issue(const Spec& spec, evp_pkey_st* key, const TestIdentity* issuer) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), spec.serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), spec.notBeforeDays * 86400L);
    X509_gmtime_adj(X509_getm_notAfter(certificate), spec.notAfterDays * 86400L);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Celvix Tests"), -1, -1,
                               0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(spec.commonName), -1,
                               -1, 0);
    X509* issuerCertificate = issuer ? issuer->certificate : certificate;
    X509_set_issuer_name(certificate, X509_get_subject_name(issuerCertificate));
    if (spec.isCA) {
        addExtension(certificate, issuerCertificate, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate, issuerCertificate, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(certificate, issuerCertificate, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate, issuerCertificate, NID_key_usage, "critical,digitalSignature,keyEncipherment");
        addExtension(certificate, issuerCertificate, NID_ext_key_usage, "serverAuth");
        addExtension(certificate, issuerCertificate, NID_subject_alt_name, spec.subjectAltName);
    }
    addExtension(certificate, issuerCertificate, NID_subject_key_identifier, "hash");
    if (issuer) {
        addExtension(certificate, issuerCertificate, NID_authority_key_identifier, "keyid:always");
    }
    X509_sign(certificate, issuer ? issuer->key : key, EVP_sha256());
    TestIdentity identity;
    identity.certificate = certificate;
    identity.key = key;
    identity.certificatePEM = pemOf(certificate);
    identity.keyPEM = pemOf(key);
    return identity;
}

} // namespace

Ref<NSData> TestIdentity::der() const {
    unsigned char* out = nullptr;
    int length = i2d_X509(certificate, &out);
    auto data = NSData::dataWithBytesLength(out, static_cast<NSUInteger>(length));
    OPENSSL_free(out);
    return data;
}

TestCertificates::TestCertificates() {
    const char* loopback = "IP:127.0.0.1,DNS:localhost";
    root = issue({"Celvix Test Root", nullptr, true, -1, 3650, 1}, newKey(), nullptr);
    evp_pkey_st* leafKey = newKey();
    leaf = issue({"127.0.0.1", loopback, false, -1, 365, 2}, leafKey, &root);
    EVP_PKEY_up_ref(leafKey);
    reissued = issue({"127.0.0.1", loopback, false, -2, 400, 3}, leafKey, &root);
    wrongHost = issue({"wrong.example", "DNS:wrong.example", false, -1, 365, 4}, newKey(), &root);
    expired = issue({"127.0.0.1", loopback, false, -30, -1, 5}, newKey(), &root);
    selfSigned = issue({"127.0.0.1", loopback, false, -1, 365, 6}, newKey(), nullptr);
    otherRoot = issue({"Celvix Other Root", nullptr, true, -1, 3650, 7}, newKey(), nullptr);
    otherLeaf = issue({"127.0.0.1", loopback, false, -1, 365, 8}, newKey(), &otherRoot);
}

const TestCertificates& TestCertificates::shared() {
    static const TestCertificates* certificates = new TestCertificates();
    return *certificates;
}

void TestCertificates::installRootAsSystemTrust() const {
    char path[] = "/tmp/celvix-test-root-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        throw std::runtime_error("cannot write the test root");
    }
    ssize_t written = write(fd, root.certificatePEM.data(), root.certificatePEM.size());
    close(fd);
    if (written != static_cast<ssize_t>(root.certificatePEM.size())) {
        throw std::runtime_error("cannot write the test root");
    }
    static std::string installed;
    if (!installed.empty()) {
        unlink(installed.c_str());
    } else {
        std::atexit([] { unlink(installed.c_str()); });
    }
    installed = path;
    setenv("SSL_CERT_FILE", path, 1);
    setenv("SSL_CERT_DIR", "/nonexistent", 1);
}
