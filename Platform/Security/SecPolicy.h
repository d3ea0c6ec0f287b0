// SecPolicy: what a trust evaluation checks. A basic X.509 policy checks the chain alone; an SSL
// server policy also checks that the leaf is meant for TLS servers and, when a host name is given,
// that it names that host (DNS name or IP address).
#pragma once

#include <Foundation/NSString.h>

class SecPolicy : public NSObject {
    NS_OBJECT(SecPolicy, NSObject)
public:
    enum class Kind { BasicX509, SSLServer, SSLClient };
    SecPolicy(Kind kind, Ref<NSString> hostname) : kind_(kind), hostname_(std::move(hostname)) {}

    Kind kind() const noexcept { return kind_; }
    const Ref<NSString>& hostname() const noexcept { return hostname_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<NSObject>(const_cast<SecPolicy*>(this)); }

private:
    Kind kind_;
    Ref<NSString> hostname_;
};

Ref<SecPolicy> SecPolicyCreateBasicX509();
// `server` YES checks a server's certificate; a nil host name checks no name.
Ref<SecPolicy> SecPolicyCreateSSL(bool server, const Ref<NSString>& hostname);
