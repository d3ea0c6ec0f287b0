#include <Security/SecKey.h>

#include <Runtime/ClassBuilder.h>

#include <openssl/evp.h>
#include <openssl/x509.h>

NS_IMPLEMENT_CLASS(SecKey, NSObject) {}

SecKey::SecKey(evp_pkey_st* key) : key_(key) {
    EVP_PKEY_up_ref(key_);
    unsigned char* out = nullptr;
    int length = i2d_PUBKEY(key_, &out);
    spki_ = length > 0 ? NSData::dataWithBytesLength(out, static_cast<NSUInteger>(length)) : NSData::data();
    OPENSSL_free(out);
}

SecKey::~SecKey() {
    EVP_PKEY_free(key_);
}

bool SecKey::isEqual(const id& other) const {
    auto o = cast<SecKey>(other);
    return o && EVP_PKEY_eq(key_, o->key_) == 1;
}

NSUInteger SecKey::hash() const {
    return spki_->hash();
}

Ref<NSString> SecKey::description() const {
    return NSString::stringWithFormat("<SecKey %p: %s, %d bits>", static_cast<const void*>(this),
                                      EVP_PKEY_get0_type_name(key_), EVP_PKEY_get_bits(key_));
}

Ref<NSData> SecKeyCopyExternalRepresentation(const Ref<SecKey>& key) {
    return key ? key->externalRepresentation() : nullptr;
}
