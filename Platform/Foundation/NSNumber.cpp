#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

NS_IMPLEMENT_CLASS(NSValue, NSObject) {}
NS_IMPLEMENT_CLASS(NSNumber, NSValue) {}
NS_IMPLEMENT_CLASS(NSNull, NSObject) {}

// MARK: - NSValue

NSValue::NSValue(const void* bytes, size_t size, std::string objCType)
    : bytes_(bytes ? std::string(static_cast<const char*>(bytes), size) : std::string()), type_(std::move(objCType)) {}

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
    return std::hash<std::string_view>()(bytes_);
}

Ref<NSString> NSValue::description() const {
    std::string hex = "<";
    char buf[4];
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i && i % 4 == 0) {
            hex += ' ';
        }
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes_[i]));
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

// Small integers and the two booleans are shared, as on the platform. Each integer kind has its own
// table, so a shared number keeps the kind it was asked for.
constexpr int kCacheLow = -1, kCacheHigh = 32;
constexpr size_t kKindCount = static_cast<size_t>(NSNumber::Kind::Double) + 1;

Ref<NSNumber> makeNumber(NSNumber::Kind k, long long i, unsigned long long u, double d) {
    return make<NSNumber>(k, i, u, d);
}

const Ref<NSNumber>* cacheSlot(NSNumber::Kind kind, long long v) {
    if (v < kCacheLow || v > kCacheHigh) {
        return nullptr;
    }
    // Made once, never freed: shared numbers outlive every static that may still hold one.
    static const auto* cache = [] {
        auto* c = new std::vector<std::vector<Ref<NSNumber>>>(kKindCount);
        for (size_t k = 0; k < kKindCount; ++k) {
            auto kind = static_cast<NSNumber::Kind>(k);
            if (kind == NSNumber::Kind::Bool || kind == NSNumber::Kind::Float || kind == NSNumber::Kind::Double) {
                continue;
            }
            for (int n = kCacheLow; n <= kCacheHigh; ++n) {
                (*c)[k].push_back(makeNumber(kind, n, static_cast<unsigned long long>(n), n));
            }
        }
        return c;
    }();
    const auto& table = (*cache)[static_cast<size_t>(kind)];
    return table.empty() ? nullptr : &table[static_cast<size_t>(v - kCacheLow)];
}

Ref<NSNumber> cachedInteger(NSNumber::Kind kind, long long v) {
    if (const auto* slot = cacheSlot(kind, v)) {
        return *slot;
    }
    return makeNumber(kind, v, static_cast<unsigned long long>(v), static_cast<double>(v));
}

Ref<NSNumber> unsignedNumber(NSNumber::Kind kind, unsigned long long v) {
    if (v <= static_cast<unsigned long long>(kCacheHigh)) {
        if (const auto* slot = cacheSlot(kind, static_cast<long long>(v))) {
            return *slot;
        }
    }
    return makeNumber(kind, static_cast<long long>(v), v, static_cast<double>(v));
}

// Conversions of a double that stay defined for NaN, infinities and out-of-range values.
long long toLongLong(double d) {
    if (std::isnan(d)) {
        return 0;
    }
    if (d >= 9.2233720368547758e18) {
        return INT64_MAX;
    }
    if (d <= -9.2233720368547758e18) {
        return INT64_MIN;
    }
    return static_cast<long long>(d);
}

unsigned long long toUnsignedLongLong(double d) {
    if (std::isnan(d)) {
        return 0;
    }
    if (d >= 1.8446744073709552e19) {
        return UINT64_MAX;
    }
    if (d < 0) {
        // As a negative integer reinterpreted, the way a C cast through long long reads it.
        return static_cast<unsigned long long>(toLongLong(d));
    }
    return static_cast<unsigned long long>(d);
}

template <class T>
NSComparisonResult order(T a, T b) {
    return a < b ? NSOrderedAscending : (a > b ? NSOrderedDescending : NSOrderedSame);
}

// Exact comparison of an integer (signed `i`, or unsigned `u` when `isUnsigned`) with a double.
NSComparisonResult compareIntegerWithDouble(bool isUnsigned, long long i, unsigned long long u, double d) {
    if (std::isnan(d)) {
        return NSOrderedAscending; // NaN sorts above every number
    }
    if (d >= 1.8446744073709552e19) {
        return NSOrderedAscending;
    }
    if (d < -9.2233720368547758e18) {
        return NSOrderedDescending;
    }
    double whole = std::trunc(d);
    double fraction = d - whole;
    if (whole < 0) {
        if (isUnsigned) {
            return NSOrderedDescending;
        }
        auto t = static_cast<long long>(whole);
        if (i != t) {
            return order(i, t);
        }
    } else if (whole >= 9.2233720368547758e18) {
        auto t = static_cast<unsigned long long>(whole);
        if (!isUnsigned && i < 0) {
            return NSOrderedAscending;
        }
        unsigned long long v = isUnsigned ? u : static_cast<unsigned long long>(i);
        if (v != t) {
            return order(v, t);
        }
    } else {
        auto t = static_cast<long long>(whole);
        if (isUnsigned) {
            if (u > static_cast<unsigned long long>(INT64_MAX)) {
                return NSOrderedDescending;
            }
            i = static_cast<long long>(u);
        }
        if (i != t) {
            return order(i, t);
        }
    }
    return fraction > 0 ? NSOrderedAscending : (fraction < 0 ? NSOrderedDescending : NSOrderedSame);
}
} // namespace

NSNumber::NSNumber(Kind kind, long long i, unsigned long long u, double d)
    : NSValue(nullptr, 0, encodingFor(kind)), kind_(kind), i_(i), u_(u), d_(d) {
    switch (kind) {
    case Kind::Float:
    case Kind::Double:
        bytes_.assign(reinterpret_cast<const char*>(&d_), 8);
        break;
    default:
        bytes_.assign(reinterpret_cast<const char*>(&i_), 8);
    }
}

Ref<NSNumber> NSNumber::numberWithBool(bool v) {
    // Never destroyed, as the cached integers: a thread may still read JSON while the process exits.
    static const Ref<NSNumber>& yes = *new Ref<NSNumber>(makeNumber(Kind::Bool, 1, 1, 1));
    static const Ref<NSNumber>& no = *new Ref<NSNumber>(makeNumber(Kind::Bool, 0, 0, 0));
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
    return makeNumber(Kind::Float, toLongLong(v), toUnsignedLongLong(v), v);
}
Ref<NSNumber> NSNumber::numberWithDouble(double v) {
    return makeNumber(Kind::Double, toLongLong(v), toUnsignedLongLong(v), v);
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
    return isFloatingPoint() ? toLongLong(d_) : i_;
}
unsigned long long NSNumber::unsignedLongLongValue() const {
    return isFloatingPoint() ? toUnsignedLongLong(d_) : u_;
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
    if (isFloatingPoint() && other->isFloatingPoint()) {
        double a = d_, b = other->d_;
        if (std::isnan(a) || std::isnan(b)) {
            // NaN equals NaN and sorts above every number, so that sorting and equality stay sound.
            return std::isnan(a) && std::isnan(b) ? NSOrderedSame
                                                  : (std::isnan(a) ? NSOrderedDescending : NSOrderedAscending);
        }
        return order(a, b);
    }
    if (other->isFloatingPoint()) {
        return compareIntegerWithDouble(isUnsigned(), i_, u_, other->d_);
    }
    if (isFloatingPoint()) {
        NSComparisonResult r = compareIntegerWithDouble(other->isUnsigned(), other->i_, other->u_, d_);
        return static_cast<NSComparisonResult>(-static_cast<NSInteger>(r));
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
    // Equal numbers of any kind hash alike: integral values hash as integers, the rest as doubles.
    if (!isFloatingPoint()) {
        if (isUnsigned() && u_ > static_cast<unsigned long long>(INT64_MAX)) {
            return std::hash<unsigned long long>()(u_);
        }
        return std::hash<long long>()(i_);
    }
    double d = d_;
    if (std::isnan(d)) {
        return 0x7ff8;
    }
    if (d == std::trunc(d)) {
        if (d >= -9.2233720368547758e18 && d < 9.2233720368547758e18) {
            return std::hash<long long>()(static_cast<long long>(d));
        }
        if (d >= 0 && d < 1.8446744073709552e19) {
            return std::hash<unsigned long long>()(static_cast<unsigned long long>(d));
        }
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
    static const Ref<NSNull>& shared = *new Ref<NSNull>(make<NSNull>()); // never destroyed, as the numbers
    return shared;
}

Ref<NSString> NSNull::description() const {
    return NSString::from("<null>");
}

id NSNull::copy() const {
    return id(const_cast<NSNull*>(this));
}
