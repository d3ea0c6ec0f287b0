// NSValue, NSNumber and NSNull: scalars and plain bytes carried as objects.
#pragma once

#include <Foundation/NSString.h>

#include <cstring>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

// The type encoding of a C++ type, as NSValue records it. Structs of the platform specialise it
// (CGRect is "{CGRect={CGPoint=dd}{CGSize=dd}}"); any other type gets its C++ type name in braces.
template <class T>
struct NSObjCType {
    static std::string encoding() { return std::string("{") + typeid(T).name() + "}"; }
};

class NSValue : public NSObject {
    NS_OBJECT(NSValue, NSObject)
public:
    NSValue() = default;
    NSValue(const void* bytes, size_t size, std::string objCType);

    template <class T>
    static Ref<NSValue> valueWithValue(const T& value) {
        return make<NSValue>(&value, sizeof(T), NSObjCType<T>::encoding());
    }
    static Ref<NSValue> valueWithBytesObjCType(const void* bytes, size_t size, const char* type) {
        return make<NSValue>(bytes, size, type);
    }
    static Ref<NSValue> valueWithPointer(const void* pointer);
    static Ref<NSValue> valueWithNonretainedObject(const NSObject* object);
    static Ref<NSValue> valueWithRange(NSRange range);

    const char* objCType() const noexcept { return type_.c_str(); }
    std::span<const unsigned char> bytes() const noexcept {
        return {reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size()};
    }
    // Copies the bytes out; false (and nothing written) when the type encoding differs.
    template <class T>
    bool getValue(T& out) const {
        if (type_ != NSObjCType<T>::encoding() || bytes_.size() != sizeof(T)) {
            return false;
        }
        std::memcpy(static_cast<void*>(&out), bytes_.data(), sizeof(T));
        return true;
    }
    template <class T>
    T value() const {
        T out{};
        getValue(out);
        return out;
    }
    const void* pointerValue() const;
    NSRange rangeValue() const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

protected:
    // Held in a string, so that a scalar (a number's eight bytes) needs no allocation of its own.
    std::string bytes_;
    std::string type_;
};

template <>
struct NSObjCType<NSRange> {
    static std::string encoding() { return "{_NSRange=QQ}"; }
};
template <>
struct NSObjCType<const void*> {
    static std::string encoding() { return "^v"; }
};

class NSNumber : public NSValue {
    NS_OBJECT(NSNumber, NSValue)
public:
    // The scalar kind the number was made from; it decides its type encoding and description.
    enum class Kind {
        Bool,
        Char,
        Short,
        Int,
        Long,
        LongLong,
        UnsignedChar,
        UnsignedShort,
        UnsignedInt,
        UnsignedLong,
        UnsignedLongLong,
        Float,
        Double
    };

    NSNumber(Kind kind, long long i, unsigned long long u, double d);

    static Ref<NSNumber> numberWithBool(bool v);
    static Ref<NSNumber> numberWithChar(char v);
    static Ref<NSNumber> numberWithShort(short v);
    static Ref<NSNumber> numberWithInt(int v);
    static Ref<NSNumber> numberWithLong(long v);
    static Ref<NSNumber> numberWithLongLong(long long v);
    static Ref<NSNumber> numberWithInteger(NSInteger v);
    static Ref<NSNumber> numberWithUnsignedChar(unsigned char v);
    static Ref<NSNumber> numberWithUnsignedShort(unsigned short v);
    static Ref<NSNumber> numberWithUnsignedInt(unsigned int v);
    static Ref<NSNumber> numberWithUnsignedLong(unsigned long v);
    static Ref<NSNumber> numberWithUnsignedLongLong(unsigned long long v);
    static Ref<NSNumber> numberWithUnsignedInteger(NSUInteger v);
    static Ref<NSNumber> numberWithFloat(float v);
    static Ref<NSNumber> numberWithDouble(double v);

    Kind kind() const noexcept { return kind_; }
    bool isBool() const noexcept { return kind_ == Kind::Bool; }
    bool isFloatingPoint() const noexcept { return kind_ == Kind::Float || kind_ == Kind::Double; }
    bool isUnsigned() const noexcept;

    bool boolValue() const;
    char charValue() const { return static_cast<char>(longLongValue()); }
    short shortValue() const { return static_cast<short>(longLongValue()); }
    int intValue() const { return static_cast<int>(longLongValue()); }
    long longValue() const { return static_cast<long>(longLongValue()); }
    long long longLongValue() const;
    NSInteger integerValue() const { return static_cast<NSInteger>(longLongValue()); }
    unsigned char unsignedCharValue() const { return static_cast<unsigned char>(unsignedLongLongValue()); }
    unsigned short unsignedShortValue() const { return static_cast<unsigned short>(unsignedLongLongValue()); }
    unsigned int unsignedIntValue() const { return static_cast<unsigned int>(unsignedLongLongValue()); }
    unsigned long unsignedLongValue() const { return static_cast<unsigned long>(unsignedLongLongValue()); }
    unsigned long long unsignedLongLongValue() const;
    NSUInteger unsignedIntegerValue() const { return static_cast<NSUInteger>(unsignedLongLongValue()); }
    float floatValue() const { return static_cast<float>(doubleValue()); }
    double doubleValue() const;
    Ref<NSString> stringValue() const;

    NSComparisonResult compare(const Ref<NSNumber>& other) const;
    bool isEqualToNumber(const Ref<NSNumber>& other) const;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;

private:
    Kind kind_;
    long long i_ = 0;
    unsigned long long u_ = 0;
    double d_ = 0;
};

class NSNull : public NSObject {
    NS_OBJECT(NSNull, NSObject)
public:
    static Ref<NSNull> null();
    Ref<NSString> description() const override;
    id copy() const override;
};

// Boxing: box(true), box(42), box(3.5), box("text") and unbox<T>(object).
inline Ref<NSNumber> box(bool v) {
    return NSNumber::numberWithBool(v);
}
inline Ref<NSNumber> box(char v) {
    return NSNumber::numberWithChar(v);
}
inline Ref<NSNumber> box(short v) {
    return NSNumber::numberWithShort(v);
}
inline Ref<NSNumber> box(int v) {
    return NSNumber::numberWithInt(v);
}
inline Ref<NSNumber> box(long v) {
    return NSNumber::numberWithLong(v);
}
inline Ref<NSNumber> box(long long v) {
    return NSNumber::numberWithLongLong(v);
}
inline Ref<NSNumber> box(unsigned char v) {
    return NSNumber::numberWithUnsignedChar(v);
}
inline Ref<NSNumber> box(unsigned short v) {
    return NSNumber::numberWithUnsignedShort(v);
}
inline Ref<NSNumber> box(unsigned int v) {
    return NSNumber::numberWithUnsignedInt(v);
}
inline Ref<NSNumber> box(unsigned long v) {
    return NSNumber::numberWithUnsignedLong(v);
}
inline Ref<NSNumber> box(unsigned long long v) {
    return NSNumber::numberWithUnsignedLongLong(v);
}
inline Ref<NSNumber> box(float v) {
    return NSNumber::numberWithFloat(v);
}
inline Ref<NSNumber> box(double v) {
    return NSNumber::numberWithDouble(v);
}
inline Ref<NSString> box(const char* v) {
    return v ? NSString::from(v) : nullptr;
}
inline Ref<NSString> box(const std::string& v) {
    return NSString::from(v);
}
template <class T>
Ref<T> box(const Ref<T>& v) {
    return v;
}

// The scalar in a boxed number (0 for nil); NSString answers its numeric value too.
template <class T>
T unbox(const id& object) {
    static_assert(std::is_arithmetic_v<T>, "unbox reads numbers");
    if (auto n = cast<NSNumber>(object)) {
        if constexpr (std::is_same_v<T, bool>) {
            return n->boolValue();
        } else if constexpr (std::is_floating_point_v<T>) {
            return static_cast<T>(n->doubleValue());
        } else if constexpr (std::is_unsigned_v<T>) {
            return static_cast<T>(n->unsignedLongLongValue());
        } else {
            return static_cast<T>(n->longLongValue());
        }
    }
    if (auto s = cast<NSString>(object)) {
        if constexpr (std::is_same_v<T, bool>) {
            return s->boolValue();
        } else if constexpr (std::is_floating_point_v<T>) {
            return static_cast<T>(s->doubleValue());
        } else {
            return static_cast<T>(s->longLongValue());
        }
    }
    return T{};
}
