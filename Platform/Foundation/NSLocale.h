// NSLocale: a locale identifier. The formatters of this platform write and read the fixed
// "en_US_POSIX" forms (Gregorian calendar, English names, "." decimal point) whatever the locale.
#pragma once

#include <Foundation/NSString.h>

class NSLocale : public NSObject {
    NS_OBJECT(NSLocale, NSObject)
public:
    // `initWithLocaleIdentifier:`.
    explicit NSLocale(Ref<NSString> identifier);
    static Ref<NSLocale> localeWithLocaleIdentifier(const Ref<NSString>& identifier);
    // The device's locale: "en_US".
    static Ref<NSLocale> currentLocale();
    static Ref<NSLocale> systemLocale() { return currentLocale(); }

    const Ref<NSString>& localeIdentifier() const noexcept { return identifier_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSString> identifier_;
};
