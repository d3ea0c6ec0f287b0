#include <Security/SecPolicy.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SecPolicy, NSObject) {}

bool SecPolicy::isEqual(const id& other) const {
    auto o = cast<SecPolicy>(other);
    return o && o->kind_ == kind_ && NSObjectsEqual(o->hostname_, hostname_);
}

NSUInteger SecPolicy::hash() const {
    return static_cast<NSUInteger>(kind_) ^ (hostname_ ? hostname_->hash() : 0);
}

Ref<NSString> SecPolicy::description() const {
    const char* kind = kind_ == Kind::BasicX509   ? "basic X.509"
                       : kind_ == Kind::SSLServer ? "SSL server"
                                                  : "SSL client";
    return NSString::stringWithFormat("<SecPolicy %p: %s, host %@>", static_cast<const void*>(this), kind, hostname_);
}

Ref<SecPolicy> SecPolicyCreateBasicX509() {
    return make<SecPolicy>(SecPolicy::Kind::BasicX509, nullptr);
}

Ref<SecPolicy> SecPolicyCreateSSL(bool server, const Ref<NSString>& hostname) {
    return make<SecPolicy>(server ? SecPolicy::Kind::SSLServer : SecPolicy::Kind::SSLClient,
                           hostname ? Ref<NSString>(cast<NSString>(hostname->copy())) : nullptr);
}
