// NSLocale: a locale identifier. The formatters of this platform write and read the fixed
// "en_US_POSIX" forms (Gregorian calendar, English names, "." decimal point) whatever the locale.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

class NSLocale : public NSObject {
    NS_OBJECT(NSLocale, NSObject)
public:
    // `initWithLocaleIdentifier:`.
    explicit NSLocale(Ref<NSString> identifier);
    static Ref<NSLocale> localeWithLocaleIdentifier(const Ref<NSString>& identifier);
    // The simulated device's locale ("en_US" unless its profile says otherwise), with its currency
    // and measurement system.
    static Ref<NSLocale> currentLocale();
    static Ref<NSLocale> systemLocale() { return currentLocale(); }
    // The user's languages, most preferred first ("en-US"), from the simulated device.
    static Ref<NSArray> preferredLanguages();

    const Ref<NSString>& localeIdentifier() const noexcept { return identifier_; }
    // A component or property of the locale under one of the keys below; nil when the locale does
    // not know it (a locale made from an identifier knows its identifier, language and country).
    id objectForKey(const id& key) const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> identifier_;
    Ref<NSDictionary> values_; // what the device says of its own locale
};

// Keys of objectForKey.
const Ref<NSString>& NSLocaleIdentifier();
const Ref<NSString>& NSLocaleLanguageCode();
const Ref<NSString>& NSLocaleCountryCode();
const Ref<NSString>& NSLocaleCurrencySymbol();
const Ref<NSString>& NSLocaleCurrencyCode();
const Ref<NSString>& NSLocaleMeasurementSystem();
