// NSNumberFormatter: numbers to text and back in the plain English form ("1,234.5", "12%").
//
// Styles: none (no grouping, no fraction digits by default), decimal (grouped, up to 3 fraction
// digits), percent (times 100, grouped, no fraction digits). Rounding is half-even.
#pragma once

#include <Foundation/NSLocale.h>
#include <Foundation/NSNumber.h>

#include <mutex>

enum NSNumberFormatterStyle : NSUInteger {
    NSNumberFormatterNoStyle = 0,
    NSNumberFormatterDecimalStyle = 1,
    NSNumberFormatterPercentStyle = 3,
};

class NSNumberFormatter : public NSObject {
    NS_OBJECT(NSNumberFormatter, NSObject)
public:
    NSNumberFormatter() = default;

    NSNumberFormatterStyle numberStyle() const;
    // Also resets the digits and grouping to the style's defaults.
    void setNumberStyle(NSNumberFormatterStyle style);
    NSUInteger minimumFractionDigits() const;
    void setMinimumFractionDigits(NSUInteger digits);
    NSUInteger maximumFractionDigits() const;
    void setMaximumFractionDigits(NSUInteger digits);
    NSUInteger minimumIntegerDigits() const;
    void setMinimumIntegerDigits(NSUInteger digits);
    bool usesGroupingSeparator() const;
    void setUsesGroupingSeparator(bool uses);
    Ref<NSString> groupingSeparator() const;
    void setGroupingSeparator(const Ref<NSString>& separator);
    Ref<NSString> decimalSeparator() const;
    void setDecimalSeparator(const Ref<NSString>& separator);
    Ref<NSLocale> locale() const;
    void setLocale(const Ref<NSLocale>& locale);

    // nil for a nil number; "NaN" and "+∞"/"-∞" for those values.
    Ref<NSString> stringFromNumber(const Ref<NSNumber>& number) const;
    // An integer number when the text has no fraction, else a double; nil when the text is not a
    // number in this style.
    Ref<NSNumber> numberFromString(const Ref<NSString>& string) const;

private:
    mutable std::mutex lock_;
    NSNumberFormatterStyle style_ = NSNumberFormatterNoStyle;
    NSUInteger minimumFractionDigits_ = 0;
    NSUInteger maximumFractionDigits_ = 0;
    NSUInteger minimumIntegerDigits_ = 1;
    bool usesGrouping_ = false;
    std::string grouping_ = ",";
    std::string decimal_ = ".";
    Ref<NSLocale> locale_ = NSLocale::currentLocale();
};
