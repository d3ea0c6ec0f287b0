#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

NS_IMPLEMENT_CLASS(NSValue, NSObject) {}
NS_IMPLEMENT_CLASS(NSNumber, NSValue) {}
NS_IMPLEMENT_CLASS(NSNull, NSObject) {}

// MARK: - NSValue

NSValue::NSValue(const void* bytes, size_t size, std::string objCType)
    : bytes_(static_cast<const unsigned char*>(bytes), static_cast<const unsigned char*>(bytes) + size),
      type_(std::move(objCType)) {}

Ref<NSValue> NSValue::valueWithPointer(const void* pointer) {
    return valueWithValue(pointer);
}

Ref<NSValue> NSValue::valueWithNonretainedObject(const NSObject* object) {
    return valueWithValue(static_cast<const void*>(object));
}

Ref<NSValue> NSValue::valueWithRange(NSRange range) {
    return valueWithValue(range);
}

const void* NSValue::pointerValue() const {
    return value<const void*>();
}

NSRange NSValue::rangeValue() const {
    return value<NSRange>();
}

bool NSValue::isEqual(const id& other) const {
    auto v = cast<NSValue>(other);
    if (!v || cast<NSNumber>(other)) {
        return false;
    }
    return v->type_ == type_ && v->bytes_ == bytes_;
}

NSUInteger NSValue::hash() const {
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

Ref<NSString> NSValue::description() const {
    std::string hex = "<";
    char buf[4];
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i && i % 4 == 0) {
            hex += ' ';
        }
        std::snprintf(buf, sizeof buf, "%02x", bytes_[i]);
        hex += buf;
    }
    return NSString::from(hex + ">");
}

id NSValue::copy() const {
    return id(const_cast<NSValue*>(this));
}

// MARK: - NSNumber

namespace {
std::string encodingFor(NSNumber::Kind k) {
    switch (k) {
    case NSNumber::Kind::Bool:
        return "c";
    case NSNumber::Kind::Char:
        return "c";
    case NSNumber::Kind::Short:
        return "s";
    case NSNumber::Kind::Int:
        return "i";
    case NSNumber::Kind::Long:
    case NSNumber::Kind::LongLong:
        return "q";
    case NSNumber::Kind::UnsignedChar:
        return "C";
    case NSNumber::Kind::UnsignedShort:
        return "S";
    case NSNumber::Kind::UnsignedInt:
        return "I";
    case NSNumber::Kind::UnsignedLong:
    case NSNumber::Kind::UnsignedLongLong:
        return "Q";
    case NSNumber::Kind::Float:
        return "f";
    case NSNumber::Kind::Double:
        return "d";
    }
    return "q";
}

// Small integers and the two booleans are shared, as on the platform.
constexpr int kCacheLow = -1, kCacheHigh = 32;

Ref<NSNumber> makeNumber(NSNumber::Kind k, long long i, unsigned long long u, double d) {
    return make<NSNumber>(k, i, u, d);
}

Ref<NSNumber> cachedInteger(NSNumber::Kind kind, long long v) {
    if (v >= kCacheLow && v <= kCacheHigh && kind == NSNumber::Kind::Int) {
        static const auto* cache = [] {
            auto* c = new std::vector<Ref<NSNumber>>;
            for (int k = kCacheLow; k <= kCacheHigh; ++k) {
                c->push_back(makeNumber(NSNumber::Kind::Int, k, static_cast<unsigned long long>(k), k));
            }
            return c;
        }();
        return (*cache)[static_cast<size_t>(v - kCacheLow)];
    }
    return makeNumber(kind, v, static_cast<unsigned long long>(v), static_cast<double>(v));
}

Ref<NSNumber> unsignedNumber(NSNumber::Kind kind, unsigned long long v) {
    return makeNumber(kind, static_cast<long long>(v), v, static_cast<double>(v));
}
} // namespace

NSNumber::NSNumber(Kind kind, long long i, unsigned long long u, double d)
    : NSValue(nullptr, 0, encodingFor(kind)), kind_(kind), i_(i), u_(u), d_(d) {
    switch (kind) {
    case Kind::Float:
    case Kind::Double:
        bytes_.assign(reinterpret_cast<const unsigned char*>(&d_), reinterpret_cast<const unsigned char*>(&d_) + 8);
        break;
    default:
        bytes_.assign(reinterpret_cast<const unsigned char*>(&i_), reinterpret_cast<const unsigned char*>(&i_) + 8);
    }
}

Ref<NSNumber> NSNumber::numberWithBool(bool v) {
    static const Ref<NSNumber> yes = makeNumber(Kind::Bool, 1, 1, 1);
    static const Ref<NSNumber> no = makeNumber(Kind::Bool, 0, 0, 0);
    return v ? yes : no;
}
Ref<NSNumber> NSNumber::numberWithChar(char v) {
    return cachedInteger(Kind::Char, v);
}
Ref<NSNumber> NSNumber::numberWithShort(short v) {
    return cachedInteger(Kind::Short, v);
}
Ref<NSNumber> NSNumber::numberWithInt(int v) {
    return cachedInteger(Kind::Int, v);
}
Ref<NSNumber> NSNumber::numberWithLong(long v) {
    return cachedInteger(Kind::Long, v);
}
Ref<NSNumber> NSNumber::numberWithLongLong(long long v) {
    return cachedInteger(Kind::LongLong, v);
}
Ref<NSNumber> NSNumber::numberWithInteger(NSInteger v) {
    return cachedInteger(Kind::Long, v);
}
Ref<NSNumber> NSNumber::numberWithUnsignedChar(unsigned char v) {
    return unsignedNumber(Kind::UnsignedChar, v);
}
Ref<NSNumber> NSNumber::numberWithUnsignedShort(unsigned short v) {
    return unsignedNumber(Kind::UnsignedShort, v);
}
Ref<NSNumber> NSNumber::numberWithUnsignedInt(unsigned int v) {
    return unsignedNumber(Kind::UnsignedInt, v);
}
Ref<NSNumber> NSNumber::numberWithUnsignedLong(unsigned long v) {
    return unsignedNumber(Kind::UnsignedLong, v);
}
Ref<NSNumber> NSNumber::numberWithUnsignedLongLong(unsigned long long v) {
    return unsignedNumber(Kind::UnsignedLongLong, v);
}
Ref<NSNumber> NSNumber::numberWithUnsignedInteger(NSUInteger v) {
    return unsignedNumber(Kind::UnsignedLong, v);
}
Ref<NSNumber> NSNumber::numberWithFloat(float v) {
    return makeNumber(Kind::Float, static_cast<long long>(v), static_cast<unsigned long long>(v), v);
}
Ref<NSNumber> NSNumber::numberWithDouble(double v) {
    long long i = std::isfinite(v) && std::fabs(v) < 9.2e18 ? static_cast<long long>(v) : 0;
    return makeNumber(Kind::Double, i, static_cast<unsigned long long>(i), v);
}

bool NSNumber::isUnsigned() const noexcept {
    switch (kind_) {
    case Kind::UnsignedChar:
    case Kind::UnsignedShort:
    case Kind::UnsignedInt:
    case Kind::UnsignedLong:
    case Kind::UnsignedLongLong:
        return true;
    default:
        return false;
    }
}

bool NSNumber::boolValue() const {
    return isFloatingPoint() ? d_ != 0 : u_ != 0;
}
long long NSNumber::longLongValue() const {
    return isFloatingPoint() ? static_cast<long long>(d_) : i_;
}
unsigned long long NSNumber::unsignedLongLongValue() const {
    return isFloatingPoint() ? static_cast<unsigned long long>(static_cast<long long>(d_)) : u_;
}
double NSNumber::doubleValue() const {
    if (isFloatingPoint()) {
        return d_;
    }
    return isUnsigned() ? static_cast<double>(u_) : static_cast<double>(i_);
}

Ref<NSString> NSNumber::stringValue() const {
    return description();
}

NSComparisonResult NSNumber::compare(const Ref<NSNumber>& other) const {
    if (!other) {
        NSException::raise(NSInvalidArgumentException, "compare: nil argument");
    }
    if (isFloatingPoint() || other->isFloatingPoint()) {
        double a = doubleValue(), b = other->doubleValue();
        return a < b ? NSOrderedAscending : (a > b ? NSOrderedDescending : NSOrderedSame);
    }
    bool au = isUnsigned() && u_ > static_cast<unsigned long long>(INT64_MAX);
    bool bu = other->isUnsigned() && other->u_ > static_cast<unsigned long long>(INT64_MAX);
    if (au || bu) {
        if (au && bu) {
            return u_ < other->u_ ? NSOrderedAscending : (u_ > other->u_ ? NSOrderedDescending : NSOrderedSame);
        }
        return au ? NSOrderedDescending : NSOrderedAscending;
    }
    return i_ < other->i_ ? NSOrderedAscending : (i_ > other->i_ ? NSOrderedDescending : NSOrderedSame);
}

bool NSNumber::isEqualToNumber(const Ref<NSNumber>& other) const {
    return other && compare(other) == NSOrderedSame;
}

bool NSNumber::isEqual(const id& other) const {
    auto n = cast<NSNumber>(other);
    return n && isEqualToNumber(n);
}

NSUInteger NSNumber::hash() const {
    double d = doubleValue();
    if (d == std::floor(d) && std::fabs(d) < 9.2e18) {
        return std::hash<long long>()(static_cast<long long>(d));
    }
    return std::hash<double>()(d);
}

Ref<NSString> NSNumber::description() const {
    char buf[64];
    switch (kind_) {
    case Kind::Float:
        std::snprintf(buf, sizeof buf, "%.7g", d_);
        break;
    case Kind::Double:
        // The shortest text that reads back as the same double.
        for (int precision = 1; precision <= 17; ++precision) {
            std::snprintf(buf, sizeof buf, "%.*g", precision, d_);
            if (std::strtod(buf, nullptr) == d_) {
                break;
            }
        }
        break;
    default:
        if (isUnsigned()) {
            std::snprintf(buf, sizeof buf, "%llu", u_);
        } else {
            std::snprintf(buf, sizeof buf, "%lld", i_);
        }
    }
    return NSString::from(buf);
}

// MARK: - NSNull

Ref<NSNull> NSNull::null() {
    static const Ref<NSNull> shared = make<NSNull>();
    return shared;
}

Ref<NSString> NSNull::description() const {
    return NSString::from("<null>");
}

id NSNull::copy() const {
    return id(const_cast<NSNull*>(this));
}
