// NSURLCredential: a user name and password, or the decision to trust a server (a credential made
// from a trust object), with how long it should be remembered.
#pragma once

#include <Foundation/NSString.h>

class SecTrust;

enum NSURLCredentialPersistence : NSUInteger {
    NSURLCredentialPersistenceNone = 0,
    NSURLCredentialPersistenceForSession = 1,
    NSURLCredentialPersistencePermanent = 2,
    NSURLCredentialPersistenceSynchronizable = 3,
};

class NSURLCredential : public NSObject {
    NS_OBJECT(NSURLCredential, NSObject)
public:
    // `initWithUser:password:persistence:`.
    NSURLCredential(const Ref<NSString>& user, const Ref<NSString>& password, NSURLCredentialPersistence persistence);
    // `initWithTrust:`.
    explicit NSURLCredential(const Ref<SecTrust>& trust);

    static Ref<NSURLCredential> credentialWithUserPasswordPersistence(const Ref<NSString>& user,
                                                                      const Ref<NSString>& password,
                                                                      NSURLCredentialPersistence persistence);
    // nil for a nil trust.
    static Ref<NSURLCredential> credentialForTrust(const Ref<SecTrust>& trust);

    const Ref<NSString>& user() const noexcept { return user_; }
    const Ref<NSString>& password() const noexcept { return password_; }
    bool hasPassword() const noexcept { return static_cast<bool>(password_); }
    NSURLCredentialPersistence persistence() const noexcept { return persistence_; }
    // The trust a server-trust credential stands for (nil for a password credential).
    const Ref<SecTrust>& serverTrust() const noexcept { return trust_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<NSObject>(const_cast<NSURLCredential*>(this)); }

private:
    Ref<NSString> user_;
    Ref<NSString> password_;
    NSURLCredentialPersistence persistence_ = NSURLCredentialPersistenceNone;
    Ref<SecTrust> trust_;
};
