// SecCertificate: one X.509 certificate, made from its DER bytes.
#pragma once

#include <Foundation/NSData.h>
#include <Security/SecBase.h>

struct x509_st;

class SecCertificate : public NSObject {
    NS_OBJECT(SecCertificate, NSObject)
public:
    // Takes a reference of its own to the certificate (the caller keeps its reference).
    explicit SecCertificate(x509_st* certificate);
    ~SecCertificate() override;

    // nil when the bytes are not one DER-encoded certificate (trailing bytes are refused too).
    static Ref<SecCertificate> certificateWithData(const Ref<NSData>& der);
    // nil when the text holds no PEM certificate; the first certificate is taken.
    static Ref<SecCertificate> certificateWithPEM(std::string_view pem);

    // The DER encoding.
    Ref<NSData> data() const { return der_; }
    // The subject's common name, or the whole subject line when it has none.
    Ref<NSString> subjectSummary() const;
    x509_st* x509() const noexcept { return x509_; }

    // Byte equality of the DER encodings.
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<NSObject>(const_cast<SecCertificate*>(this)); }

private:
    x509_st* x509_;
    Ref<NSData> der_;
};

// The platform's functions over certificates.
Ref<SecCertificate> SecCertificateCreateWithData(const Ref<NSData>& data);
Ref<NSData> SecCertificateCopyData(const Ref<SecCertificate>& certificate);
Ref<NSString> SecCertificateCopySubjectSummary(const Ref<SecCertificate>& certificate);
