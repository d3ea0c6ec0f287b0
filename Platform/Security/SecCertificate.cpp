#include <Security/SecCertificate.h>

#include <Runtime/ClassBuilder.h>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

NS_IMPLEMENT_CLASS(SecCertificate, NSObject) {}

namespace {
Ref<NSData> derOf(X509* certificate) {
    unsigned char* out = nullptr;
    int length = i2d_X509(certificate, &out);
    if (length <= 0) {
        return NSData::data();
    }
    auto data = NSData::dataWithBytesLength(out, static_cast<NSUInteger>(length));
    OPENSSL_free(out);
    return data;
}
} // namespace

SecCertificate::SecCertificate(x509_st* certificate) : x509_(certificate) {
    X509_up_ref(x509_);
    der_ = derOf(x509_);
}

SecCertificate::~SecCertificate() {
    X509_free(x509_);
}

Ref<SecCertificate> SecCertificate::certificateWithData(const Ref<NSData>& der) {
    if (!der || der->length() == 0) {
        return nullptr;
    }
    const unsigned char* p = der->bytes();
    X509* certificate = d2i_X509(nullptr, &p, static_cast<long>(der->length()));
    if (!certificate) {
        return nullptr;
    }
    Ref<SecCertificate> result;
    if (p == der->bytes() + der->length()) {
        result = make<SecCertificate>(certificate);
    }
    X509_free(certificate);
    return result;
}

Ref<SecCertificate> SecCertificate::certificateWithPEM(std::string_view pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (!bio) {
        return nullptr;
    }
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!certificate) {
        return nullptr;
    }
    auto result = make<SecCertificate>(certificate);
    X509_free(certificate);
    return result;
}

Ref<NSString> SecCertificate::subjectSummary() const {
    X509_NAME* subject = X509_get_subject_name(x509_);
    char buffer[512] = {};
    if (X509_NAME_get_text_by_NID(subject, NID_commonName, buffer, sizeof buffer) > 0) {
        return NSString::from(buffer);
    }
    char* line = X509_NAME_oneline(subject, nullptr, 0);
    auto text = NSString::from(line ? line : "");
    OPENSSL_free(line);
    return text;
}

bool SecCertificate::isEqual(const id& other) const {
    auto o = cast<SecCertificate>(other);
    return o && der_->isEqualToData(o->der_);
}

NSUInteger SecCertificate::hash() const {
    return der_->hash();
}

Ref<NSString> SecCertificate::description() const {
    return NSString::stringWithFormat("<cert(%p) s: %@>", static_cast<const void*>(this), subjectSummary());
}

Ref<SecCertificate> SecCertificateCreateWithData(const Ref<NSData>& data) {
    return SecCertificate::certificateWithData(data);
}

Ref<NSData> SecCertificateCopyData(const Ref<SecCertificate>& certificate) {
    return certificate ? certificate->data() : nullptr;
}

Ref<NSString> SecCertificateCopySubjectSummary(const Ref<SecCertificate>& certificate) {
    return certificate ? certificate->subjectSummary() : nullptr;
}
