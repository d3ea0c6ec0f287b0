// NSURLProtectionSpace: where credentials apply: a host, port, protocol and realm, and the way the
// server asks to be authenticated. A server-trust space carries the server's trust object.
#pragma once

#include <Foundation/NSString.h>

class SecTrust;

const Ref<NSString>& NSURLProtectionSpaceHTTP();
const Ref<NSString>& NSURLProtectionSpaceHTTPS();

const Ref<NSString>& NSURLAuthenticationMethodDefault();
const Ref<NSString>& NSURLAuthenticationMethodHTTPBasic();
const Ref<NSString>& NSURLAuthenticationMethodHTTPDigest();
const Ref<NSString>& NSURLAuthenticationMethodHTMLForm();
const Ref<NSString>& NSURLAuthenticationMethodNTLM();
const Ref<NSString>& NSURLAuthenticationMethodNegotiate();
const Ref<NSString>& NSURLAuthenticationMethodClientCertificate();
const Ref<NSString>& NSURLAuthenticationMethodServerTrust();

class NSURLProtectionSpace : public NSObject {
    NS_OBJECT(NSURLProtectionSpace, NSObject)
public:
    // `initWithHost:port:protocol:realm:authenticationMethod:` (a nil method means the default).
    NSURLProtectionSpace(const Ref<NSString>& host, NSInteger port, const Ref<NSString>& protocol,
                         const Ref<NSString>& realm, const Ref<NSString>& authenticationMethod,
                         const Ref<SecTrust>& serverTrust = nullptr);

    const Ref<NSString>& host() const noexcept { return host_; }
    NSInteger port() const noexcept { return port_; }
    const Ref<NSString>& protocol() const noexcept { return protocol_; }
    const Ref<NSString>& realm() const noexcept { return realm_; }
    const Ref<NSString>& authenticationMethod() const noexcept { return method_; }
    // The server's trust, for a server-trust space; else nil.
    const Ref<SecTrust>& serverTrust() const noexcept { return trust_; }
    bool receivesCredentialSecurely() const;

    // Host (without regard to case), port, protocol, realm and method.
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<NSObject>(const_cast<NSURLProtectionSpace*>(this)); }

private:
    Ref<NSString> host_;
    NSInteger port_;
    Ref<NSString> protocol_;
    Ref<NSString> realm_;
    Ref<NSString> method_;
    Ref<SecTrust> trust_;
};
