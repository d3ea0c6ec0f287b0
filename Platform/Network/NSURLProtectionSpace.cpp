#include <Network/NSURLProtectionSpace.h>

#include <Runtime/ClassBuilder.h>
#include <Security/SecTrust.h>

NS_IMPLEMENT_CLASS(NSURLProtectionSpace, NSObject) {
    b.readonlyProperty("host", &NSURLProtectionSpace::host);
    b.readonlyProperty("port", &NSURLProtectionSpace::port);
    b.readonlyProperty("authenticationMethod", &NSURLProtectionSpace::authenticationMethod);
}

// Shared objects and constants here are never destroyed: the network thread and the dispatch
// workers outlive main() and may still use them while the process exits.
#define DX_CONSTANT(name, text)                                                                                        \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& value = *new Ref<NSString>(text##_ns);                                             \
        return value;                                                                                                  \
    }

DX_CONSTANT(NSURLProtectionSpaceHTTP, "http")
DX_CONSTANT(NSURLProtectionSpaceHTTPS, "https")
DX_CONSTANT(NSURLAuthenticationMethodDefault, "NSURLAuthenticationMethodDefault")
DX_CONSTANT(NSURLAuthenticationMethodHTTPBasic, "NSURLAuthenticationMethodHTTPBasic")
DX_CONSTANT(NSURLAuthenticationMethodHTTPDigest, "NSURLAuthenticationMethodHTTPDigest")
DX_CONSTANT(NSURLAuthenticationMethodHTMLForm, "NSURLAuthenticationMethodHTMLForm")
DX_CONSTANT(NSURLAuthenticationMethodNTLM, "NSURLAuthenticationMethodNTLM")
DX_CONSTANT(NSURLAuthenticationMethodNegotiate, "NSURLAuthenticationMethodNegotiate")
DX_CONSTANT(NSURLAuthenticationMethodClientCertificate, "NSURLAuthenticationMethodClientCertificate")
DX_CONSTANT(NSURLAuthenticationMethodServerTrust, "NSURLAuthenticationMethodServerTrust")

NSURLProtectionSpace::NSURLProtectionSpace(const Ref<NSString>& host, NSInteger port, const Ref<NSString>& protocol,
                                           const Ref<NSString>& realm, const Ref<NSString>& authenticationMethod,
                                           const Ref<SecTrust>& serverTrust)
    : host_(host), port_(port), protocol_(protocol), realm_(realm),
      method_(authenticationMethod ? authenticationMethod : NSURLAuthenticationMethodDefault()), trust_(serverTrust) {}

bool NSURLProtectionSpace::receivesCredentialSecurely() const {
    return (protocol_ && protocol_->isEqualToString(NSURLProtectionSpaceHTTPS())) ||
           method_->isEqualToString(NSURLAuthenticationMethodHTTPDigest());
}

bool NSURLProtectionSpace::isEqual(const id& other) const {
    auto o = cast<NSURLProtectionSpace>(other);
    if (!o) {
        return false;
    }
    bool sameHost =
        (!host_ && !o->host_) || (host_ && o->host_ && host_->caseInsensitiveCompare(o->host_) == NSOrderedSame);
    return sameHost && port_ == o->port_ && NSObjectsEqual(protocol_, o->protocol_) &&
           NSObjectsEqual(realm_, o->realm_) && method_->isEqualToString(o->method_);
}

NSUInteger NSURLProtectionSpace::hash() const {
    return (host_ ? host_->lowercaseString()->hash() : 0) ^ static_cast<NSUInteger>(port_) ^ method_->hash();
}

Ref<NSString> NSURLProtectionSpace::description() const {
    return NSString::stringWithFormat(
        "<NSURLProtectionSpace: %p>: Host:%@, Server:%@, Auth-Scheme:%@, Realm:%@, Port:%ld",
        static_cast<const void*>(this), host_, protocol_, method_, realm_, static_cast<long>(port_));
}
