#include <Foundation/NSNumberFormatter.h>
#include <Runtime/ClassBuilder.h>

#include <charconv>
#include <cmath>
#include <limits>

NS_IMPLEMENT_CLASS(NSNumberFormatter, NSObject) {}

NSNumberFormatterStyle NSNumberFormatter::numberStyle() const {
    std::lock_guard lock(lock_);
    return style_;
}

void NSNumberFormatter::setNumberStyle(NSNumberFormatterStyle style) {
    std::lock_guard lock(lock_);
    style_ = style;
    minimumFractionDigits_ = 0;
    maximumFractionDigits_ = style == NSNumberFormatterDecimalStyle ? 3 : 0;
    usesGrouping_ = style != NSNumberFormatterNoStyle;
}

#define DX_ACCESSORS(Type, getter, setter, field)                                                                      \
    Type NSNumberFormatter::getter() const {                                                                           \
        std::lock_guard lock(lock_);                                                                                   \
        return field;                                                                                                  \
    }                                                                                                                  \
    void NSNumberFormatter::setter(Type value) {                                                                       \
        std::lock_guard lock(lock_);                                                                                   \
        field = value;                                                                                                 \
    }

DX_ACCESSORS(NSUInteger, minimumIntegerDigits, setMinimumIntegerDigits, minimumIntegerDigits_)
DX_ACCESSORS(bool, usesGroupingSeparator, setUsesGroupingSeparator, usesGrouping_)
#undef DX_ACCESSORS

NSUInteger NSNumberFormatter::minimumFractionDigits() const {
    std::lock_guard lock(lock_);
    return minimumFractionDigits_;
}

void NSNumberFormatter::setMinimumFractionDigits(NSUInteger digits) {
    std::lock_guard lock(lock_);
    minimumFractionDigits_ = digits;
    maximumFractionDigits_ = std::max(maximumFractionDigits_, digits);
}

NSUInteger NSNumberFormatter::maximumFractionDigits() const {
    std::lock_guard lock(lock_);
    return maximumFractionDigits_;
}

void NSNumberFormatter::setMaximumFractionDigits(NSUInteger digits) {
    std::lock_guard lock(lock_);
    maximumFractionDigits_ = digits;
    minimumFractionDigits_ = std::min(minimumFractionDigits_, digits);
}

Ref<NSString> NSNumberFormatter::groupingSeparator() const {
    std::lock_guard lock(lock_);
    return NSString::from(grouping_);
}

void NSNumberFormatter::setGroupingSeparator(const Ref<NSString>& separator) {
    std::lock_guard lock(lock_);
    grouping_ = separator ? separator->str() : std::string();
}

Ref<NSString> NSNumberFormatter::decimalSeparator() const {
    std::lock_guard lock(lock_);
    return NSString::from(decimal_);
}

void NSNumberFormatter::setDecimalSeparator(const Ref<NSString>& separator) {
    std::lock_guard lock(lock_);
    decimal_ = separator && separator->length() ? separator->str() : std::string(".");
}

Ref<NSLocale> NSNumberFormatter::locale() const {
    std::lock_guard lock(lock_);
    return locale_;
}

void NSNumberFormatter::setLocale(const Ref<NSLocale>& locale) {
    std::lock_guard lock(lock_);
    locale_ = locale ? locale : NSLocale::currentLocale();
}

Ref<NSString> NSNumberFormatter::stringFromNumber(const Ref<NSNumber>& number) const {
    if (!number) {
        return nullptr;
    }
    std::lock_guard lock(lock_);
    std::string digits; // the number without sign, rounded: "1234.50"
    bool negative = false;
    bool percent = style_ == NSNumberFormatterPercentStyle;
    if (!number->isFloatingPoint() && !percent) {
        if (number->isUnsigned() || number->isBool()) {
            digits = std::to_string(number->unsignedLongLongValue());
        } else {
            long long v = number->longLongValue();
            negative = v < 0;
            digits = std::to_string(v);
            if (negative) {
                digits.erase(0, 1);
            }
        }
    } else {
        double v = number->doubleValue() * (percent ? 100.0 : 1.0);
        if (std::isnan(v)) {
            return NSString::from("NaN");
        }
        if (std::isinf(v)) {
            return NSString::from(v < 0 ? "-\u221E" : "+\u221E");
        }
        negative = std::signbit(v);
        char buffer[512];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v), std::chars_format::fixed,
                               static_cast<int>(std::min<NSUInteger>(maximumFractionDigits_, 100)));
        digits.assign(buffer, r.ptr);
    }
    std::string integer = digits, fraction;
    if (auto dot = digits.find('.'); dot != std::string::npos) {
        integer = digits.substr(0, dot);
        fraction = digits.substr(dot + 1);
    }
    while (fraction.size() > minimumFractionDigits_ && !fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    while (fraction.size() < minimumFractionDigits_) {
        fraction += '0';
    }
    while (integer.size() > 1 && integer[0] == '0') {
        integer.erase(0, 1);
    }
    if (integer.size() < minimumIntegerDigits_) {
        integer.insert(0, minimumIntegerDigits_ - integer.size(), '0');
    } else if (minimumIntegerDigits_ == 0 && integer == "0" && !fraction.empty()) {
        integer.clear();
    }
    if (negative && integer.find_first_not_of('0') == std::string::npos &&
        fraction.find_first_not_of('0') == std::string::npos) {
        negative = false; // no "-0"
    }
    std::string grouped;
    if (usesGrouping_ && !grouping_.empty()) {
        for (size_t i = 0; i < integer.size(); ++i) {
            if (i > 0 && (integer.size() - i) % 3 == 0) {
                grouped += grouping_;
            }
            grouped += integer[i];
        }
    } else {
        grouped = integer;
    }
    std::string out = (negative ? "-" : "") + grouped;
    if (!fraction.empty()) {
        out += decimal_ + fraction;
    }
    if (percent) {
        out += "%";
    }
    return NSString::from(out);
}

Ref<NSNumber> NSNumberFormatter::numberFromString(const Ref<NSString>& string) const {
    if (!string) {
        return nullptr;
    }
    std::lock_guard lock(lock_);
    std::string s = string->str();
    auto trim = [](std::string& t) {
        size_t a = t.find_first_not_of(" \t\n\r"), b = t.find_last_not_of(" \t\n\r");
        t = a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
    };
    trim(s);
    bool percent = style_ == NSNumberFormatterPercentStyle;
    if (percent) {
        if (s.empty() || s.back() != '%') {
            return nullptr;
        }
        s.pop_back();
        trim(s);
    }
    std::string plain;
    bool negative = false, sawDigit = false, sawDecimal = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    while (i < s.size()) {
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            plain += s[i++];
            sawDigit = true;
        } else if (!sawDecimal && s.compare(i, decimal_.size(), decimal_) == 0) {
            plain += '.';
            sawDecimal = true;
            i += decimal_.size();
        } else if (!sawDecimal && usesGrouping_ && !grouping_.empty() && sawDigit &&
                   s.compare(i, grouping_.size(), grouping_) == 0) {
            i += grouping_.size();
        } else {
            return nullptr;
        }
    }
    if (!sawDigit) {
        return nullptr;
    }
    std::string text = (negative ? "-" : "") + plain;
    if (!sawDecimal && !percent) {
        long long v = 0;
        auto r = std::from_chars(text.data(), text.data() + text.size(), v);
        if (r.ec == std::errc() && r.ptr == text.data() + text.size()) {
            return NSNumber::numberWithLongLong(v);
        }
    }
    double d = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), d);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) {
        return nullptr;
    }
    if (percent) {
        d /= 100.0;
    }
    if (d == std::floor(d) && std::fabs(d) < 9.0e15) {
        return NSNumber::numberWithLongLong(static_cast<long long>(d));
    }
    return NSNumber::numberWithDouble(d);
}
