#include <Foundation/NSLocale.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSLocale, NSObject) {
    b.readonlyProperty("localeIdentifier", &NSLocale::localeIdentifier);
}

NSLocale::NSLocale(Ref<NSString> identifier) : identifier_(identifier ? std::move(identifier) : NSString::string()) {}

Ref<NSLocale> NSLocale::localeWithLocaleIdentifier(const Ref<NSString>& identifier) {
    return make<NSLocale>(identifier ? cast<NSString>(identifier->copy()) : nullptr);
}

Ref<NSLocale> NSLocale::currentLocale() {
    static Ref<NSLocale> current = make<NSLocale>(NSString::from("en_US"));
    return current;
}

bool NSLocale::isEqual(const id& other) const {
    auto l = cast<NSLocale>(other);
    return l && l->identifier_->isEqualToString(identifier_);
}

NSUInteger NSLocale::hash() const {
    return identifier_->hash();
}

Ref<NSString> NSLocale::description() const {
    return NSString::stringWithFormat("<NSLocale %@>", identifier_);
}

id NSLocale::copy() const {
    return Ref<NSObject>(const_cast<NSLocale*>(this));
}
