#include <Network/NSURLCredential.h>

#include <Runtime/ClassBuilder.h>
#include <Security/SecTrust.h>

NS_IMPLEMENT_CLASS(NSURLCredential, NSObject) {
    b.readonlyProperty("user", &NSURLCredential::user);
    b.readonlyProperty("persistence", &NSURLCredential::persistence);
}

NSURLCredential::NSURLCredential(const Ref<NSString>& user, const Ref<NSString>& password,
                                 NSURLCredentialPersistence persistence)
    : user_(user), password_(password), persistence_(persistence) {}

NSURLCredential::NSURLCredential(const Ref<SecTrust>& trust)
    : persistence_(NSURLCredentialPersistenceForSession), trust_(trust) {}

Ref<NSURLCredential> NSURLCredential::credentialWithUserPasswordPersistence(const Ref<NSString>& user,
                                                                            const Ref<NSString>& password,
                                                                            NSURLCredentialPersistence persistence) {
    return make<NSURLCredential>(user, password, persistence);
}

Ref<NSURLCredential> NSURLCredential::credentialForTrust(const Ref<SecTrust>& trust) {
    return trust ? make<NSURLCredential>(trust) : nullptr;
}

bool NSURLCredential::isEqual(const id& other) const {
    auto o = cast<NSURLCredential>(other);
    return o && NSObjectsEqual(user_, o->user_) && NSObjectsEqual(password_, o->password_) && trust_ == o->trust_;
}

NSUInteger NSURLCredential::hash() const {
    return user_ ? user_->hash() : std::hash<const void*>()(trust_.get());
}

Ref<NSString> NSURLCredential::description() const {
    return NSString::stringWithFormat("<NSURLCredential: %p>: %@", static_cast<const void*>(this), user_);
}
