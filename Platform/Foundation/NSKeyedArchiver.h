// Keyed archiving: NSCoder, NSKeyedArchiver, NSKeyedUnarchiver and the NSCoding / NSSecureCoding
// protocols. The archive is a binary property list holding a flat table of objects that refer to
// one another by index, so shared objects stay shared and cycles survive; docs/foundation.md
// describes the format.
//
// A class takes part by deriving from NSCoding (or NSSecureCoding), encoding its state in
// encodeWithCoder, decoding it in a constructor taking the coder, and registering that constructor:
//
//     class DXTestModel : public NSObject, public NSSecureCoding {
//         NS_OBJECT(DXTestModel, NSObject)
//     public:
//         DXTestModel() = default;
//         explicit DXTestModel(NSCoder* coder);                // initWithCoder:
//         void encodeWithCoder(NSCoder* coder) override;
//     };
//     NS_IMPLEMENT_CLASS(DXTestModel, NSObject) { NSCodingRegister(b); }
//
// The value classes (NSString, NSNumber, NSData, NSDate, NSNull, NSArray, NSDictionary, NSSet and
// their mutable kinds) are built in. Malformed archives, classes that are not allowed and values of
// the wrong type give nil (or 0) and an error on the coder; nothing is thrown.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSError.h>
#include <Runtime/ClassBuilder.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <type_traits>
#include <vector>

class NSCoder;

// `@protocol NSCoding`: `encodeWithCoder:` here, `initWithCoder:` as a constructor `T(NSCoder*)`.
class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encodeWithCoder(NSCoder* coder) = 0;
    // `classForCoder`: the class the archive records (its decoder makes the object back); nil for
    // the object's own class.
    virtual Class classForCoder() const { return nullptr; }
};

// `@protocol NSSecureCoding`: the class decodes its objects with decodeObjectOfClass... and may be
// decoded by an unarchiver that requires secure coding.
class NSSecureCoding : public NSCoding {};

// The runtime protocols, for conformsToProtocol.
Protocol* NSCodingProtocol();
Protocol* NSSecureCodingProtocol();

// The key of the root object in an archive's top level.
const Ref<NSString>& NSKeyedArchiveRootObjectKey();

namespace ns_coding {
using Decoder = std::function<id(NSCoder*)>;
void registerDecoder(Class cls, Decoder decoder, bool secure);
} // namespace ns_coding

// Registers the class's decoding constructor and its protocol; call it in NS_IMPLEMENT_CLASS.
template <class T>
void NSCodingRegister(ClassBuilder<T>& b) {
    static_assert(std::is_base_of_v<NSCoding, T>, "an archivable class derives from NSCoding");
    static_assert(std::is_constructible_v<T, NSCoder*>, "an archivable class has a constructor T(NSCoder*)");
    constexpr bool secure = std::is_base_of_v<NSSecureCoding, T>;
    b.conformsTo(secure ? NSSecureCodingProtocol() : NSCodingProtocol());
    ns_coding::registerDecoder(
        b.cls(), [](NSCoder* coder) -> id { return make<T>(coder); }, secure);
}

// The coder an object's encodeWithCoder and decoding constructor talk to. Keys are per object.
class NSCoder : public NSObject {
    NS_OBJECT(NSCoder, NSObject)
public:
    virtual bool allowsKeyedCoding() const { return true; }
    // Whether decoding checks classes (and encoding accepts only NSSecureCoding classes).
    virtual bool requiresSecureCoding() const { return false; }

    // Encoding (NSKeyedArchiver).
    virtual void encodeObjectForKey(const id& object, const Ref<NSString>& key);
    // `encodeConditionalObject:forKey:`: the object is written only if something else in the archive
    // writes it unconditionally (a weak reference: it decodes as the shared object, or as nil).
    virtual void encodeConditionalObjectForKey(const id& object, const Ref<NSString>& key);
    virtual void encodeBoolForKey(bool value, const Ref<NSString>& key);
    virtual void encodeInt64ForKey(int64_t value, const Ref<NSString>& key);
    virtual void encodeDoubleForKey(double value, const Ref<NSString>& key);
    void encodeIntForKey(int value, const Ref<NSString>& key) { encodeInt64ForKey(value, key); }
    void encodeInt32ForKey(int32_t value, const Ref<NSString>& key) { encodeInt64ForKey(value, key); }
    void encodeIntegerForKey(NSInteger value, const Ref<NSString>& key) { encodeInt64ForKey(value, key); }
    void encodeFloatForKey(float value, const Ref<NSString>& key) { encodeDoubleForKey(value, key); }

    // Decoding (NSKeyedUnarchiver). A missing key gives nil or 0.
    virtual bool containsValueForKey(const Ref<NSString>& key) const;
    // Not allowed when secure coding is required (an error, nil).
    virtual id decodeObjectForKey(const Ref<NSString>& key);
    // The object when it is of one of the classes (or a subclass); otherwise nil and an error. The
    // elements of a decoded collection must be of one of the classes too.
    virtual id decodeObjectOfClassesForKey(const std::vector<Class>& classes, const Ref<NSString>& key);
    id decodeObjectOfClassForKey(Class cls, const Ref<NSString>& key) {
        return decodeObjectOfClassesForKey({cls}, key);
    }
    virtual bool decodeBoolForKey(const Ref<NSString>& key);
    virtual int64_t decodeInt64ForKey(const Ref<NSString>& key);
    virtual double decodeDoubleForKey(const Ref<NSString>& key);
    int decodeIntForKey(const Ref<NSString>& key) { return static_cast<int>(decodeInt64ForKey(key)); }
    int32_t decodeInt32ForKey(const Ref<NSString>& key) { return static_cast<int32_t>(decodeInt64ForKey(key)); }
    NSInteger decodeIntegerForKey(const Ref<NSString>& key) { return static_cast<NSInteger>(decodeInt64ForKey(key)); }
    float decodeFloatForKey(const Ref<NSString>& key) { return static_cast<float>(decodeDoubleForKey(key)); }

    // The first failure of this coder (nil while all is well). After a failure every decode gives
    // nil or 0.
    const Ref<NSError>& error() const noexcept { return error_; }
    void failWithError(const Ref<NSError>& error);

protected:
    Ref<NSError> error_;
};

class NSKeyedArchiver : public NSCoder {
    NS_OBJECT(NSKeyedArchiver, NSCoder)
public:
    struct State;
    // `initRequiringSecureCoding:`.
    explicit NSKeyedArchiver(bool requiresSecureCoding);
    NSKeyedArchiver() : NSKeyedArchiver(true) {}
    ~NSKeyedArchiver() override;

    // The archive of `object` (which may be nil), or nil and an error when an object in it cannot be
    // archived (not NSCoding; not NSSecureCoding when secure coding is required).
    static Ref<NSData> archivedDataWithRootObjectRequiringSecureCodingError(const id& object, bool requiresSecureCoding,
                                                                            Ref<NSError>* error);
    // The same without secure coding; raises NSInvalidArgumentException for an object that cannot be
    // archived, as on the platform.
    static Ref<NSData> archivedDataWithRootObject(const id& object);

    bool requiresSecureCoding() const override { return requiresSecureCoding_; }
    // Finishes the archive (no more encoding) and answers it; nil after a failure.
    Ref<NSData> encodedData();
    void finishEncoding();

    void encodeObjectForKey(const id& object, const Ref<NSString>& key) override;
    void encodeConditionalObjectForKey(const id& object, const Ref<NSString>& key) override;
    void encodeBoolForKey(bool value, const Ref<NSString>& key) override;
    void encodeInt64ForKey(int64_t value, const Ref<NSString>& key) override;
    void encodeDoubleForKey(double value, const Ref<NSString>& key) override;

private:
    bool requiresSecureCoding_;
    std::unique_ptr<State> state_;
};

class NSKeyedUnarchiver : public NSCoder {
    NS_OBJECT(NSKeyedUnarchiver, NSCoder)
public:
    struct State;
    // `initForReadingFromData:error:`: a malformed archive leaves error() set, and every decode then
    // gives nil or 0. Secure coding is required unless turned off.
    explicit NSKeyedUnarchiver(const Ref<NSData>& data);
    ~NSKeyedUnarchiver() override;

    // The root object when it is of the class(es); nil and an error otherwise (secure coding).
    static id unarchivedObjectOfClassFromDataError(Class cls, const Ref<NSData>& data, Ref<NSError>* error);
    static id unarchivedObjectOfClassesFromDataError(const std::vector<Class>& classes, const Ref<NSData>& data,
                                                     Ref<NSError>* error);
    // The root object without class checks; nil and an error for a malformed archive.
    static id unarchiveTopLevelObjectWithDataError(const Ref<NSData>& data, Ref<NSError>* error);
    // The root object without class checks; nil for a malformed archive.
    static id unarchiveObjectWithData(const Ref<NSData>& data);

    bool requiresSecureCoding() const override { return requiresSecureCoding_; }
    void setRequiresSecureCoding(bool value) { requiresSecureCoding_ = value; }

    bool containsValueForKey(const Ref<NSString>& key) const override;
    id decodeObjectForKey(const Ref<NSString>& key) override;
    id decodeObjectOfClassesForKey(const std::vector<Class>& classes, const Ref<NSString>& key) override;
    bool decodeBoolForKey(const Ref<NSString>& key) override;
    int64_t decodeInt64ForKey(const Ref<NSString>& key) override;
    double decodeDoubleForKey(const Ref<NSString>& key) override;
    void finishDecoding() {}

private:
    bool requiresSecureCoding_ = true;
    std::unique_ptr<State> state_;
};
