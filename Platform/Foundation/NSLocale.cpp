#include <Foundation/NSLocale.h>

#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSLocale, NSObject) {
    b.readonlyProperty("localeIdentifier", &NSLocale::localeIdentifier);
}

NSLocale::NSLocale(Ref<NSString> identifier) : identifier_(identifier ? std::move(identifier) : NSString::string()) {}

Ref<NSLocale> NSLocale::localeWithLocaleIdentifier(const Ref<NSString>& identifier) {
    return make<NSLocale>(identifier ? cast<NSString>(identifier->copy()) : nullptr);
}

#define DX_LOCALE_KEY(name, text)                                                                                      \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& key = *new Ref<NSString>(NSString::from(text));                                    \
        return key;                                                                                                    \
    }
DX_LOCALE_KEY(NSLocaleIdentifier, "locale:id")
DX_LOCALE_KEY(NSLocaleLanguageCode, "locale:language")
DX_LOCALE_KEY(NSLocaleCountryCode, "locale:country")
DX_LOCALE_KEY(NSLocaleCurrencySymbol, "locale:currencySymbol")
DX_LOCALE_KEY(NSLocaleCurrencyCode, "locale:currencyCode")
DX_LOCALE_KEY(NSLocaleMeasurementSystem, "locale:measurementSystem")
#undef DX_LOCALE_KEY

Ref<NSLocale> NSLocale::currentLocale() {
    auto device = SimDevice::current().locale();
    auto locale = make<NSLocale>(NSString::from(device.identifier.empty() ? "en_US" : device.identifier));
    auto values = NSMutableDictionary::dictionary();
    auto put = [&](const Ref<NSString>& key, const std::string& value) {
        if (!value.empty()) {
            values->setObjectForKey(NSString::from(value), key);
        }
    };
    put(NSLocaleCurrencySymbol(), device.currencySymbol);
    put(NSLocaleCurrencyCode(), device.currencyCode);
    put(NSLocaleMeasurementSystem(), device.measurementSystem);
    locale->values_ = values;
    return locale;
}

Ref<NSArray> NSLocale::preferredLanguages() {
    std::vector<id> languages;
    for (const auto& language : SimDevice::current().locale().preferredLanguages) {
        languages.push_back(NSString::from(language));
    }
    return NSArray::arrayWithVector(std::move(languages));
}

id NSLocale::objectForKey(const id& key) const {
    auto k = cast<NSString>(key);
    if (!k) {
        return nullptr;
    }
    const std::string& identifier = identifier_->str();
    size_t separator = identifier.find_first_of("_-");
    if (k->isEqualToString(NSLocaleIdentifier())) {
        return identifier_;
    }
    if (k->isEqualToString(NSLocaleLanguageCode())) {
        return identifier.empty() ? nullptr : NSString::from(identifier.substr(0, separator));
    }
    if (k->isEqualToString(NSLocaleCountryCode())) {
        return separator == std::string::npos ? nullptr : NSString::from(identifier.substr(separator + 1));
    }
    return values_ ? values_->objectForKey(k) : nullptr;
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
