// SecKey: a public key taken from a certificate. Two keys are equal when they are the same key
// (same algorithm and parameters), whatever certificate carried them.
#pragma once

#include <Foundation/NSData.h>
#include <Security/SecBase.h>

struct evp_pkey_st;

class SecKey : public NSObject {
    NS_OBJECT(SecKey, NSObject)
public:
    // Takes a reference of its own to the key.
    explicit SecKey(evp_pkey_st* key);
    ~SecKey() override;

    // The DER SubjectPublicKeyInfo of the key.
    Ref<NSData> externalRepresentation() const { return spki_; }
    evp_pkey_st* pkey() const noexcept { return key_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<NSObject>(const_cast<SecKey*>(this)); }

private:
    evp_pkey_st* key_;
    Ref<NSData> spki_;
};

Ref<NSData> SecKeyCopyExternalRepresentation(const Ref<SecKey>& key);
