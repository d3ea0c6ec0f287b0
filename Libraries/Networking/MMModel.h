// MMModel: the base of value objects whose state is their declared properties. The base finds a
// subclass's properties at run time (the runtime's property reflection), builds an instance from a
// dictionary of property values with key-value validation, gives it back as a dictionary, merges,
// compares, hashes, describes and copies by property values, and archives with a version number.
//
// A model class declares its properties as usual and registers with MMModelRegister last in its
// class block:
//
//     class DXLoginModel : public MMModel {
//         NS_OBJECT(DXLoginModel, MMModel)
//         NS_PROPERTY(Ref<NSString>, token, setToken)
//     public:
//         static NSUInteger modelVersion() { return 1; }     // class operations it overrides
//     };
//     NS_IMPLEMENT_CLASS(DXLoginModel, MMModel) {
//         b.property("token", &DXLoginModel::token, &DXLoginModel::setToken, "copy");
//         MMModelRegister(b);
//     }
//
// Class operations that a subclass may override are static members of the same name; the ones that
// depend on the class they are asked of take it as their first argument (`self`), and an override
// calls the superclass's with `super::name(self, ...)`. MMModelRegister records the subclass's
// statics, so the base reaches the override for the class and its subclasses.
//
// Optional per-key instance hooks, found by selector as on the platform:
//   - `merge<Key>FromModel:` (the other model), used by mergeValueForKeyFromModel;
//   - `decode<Key>WithCoder:modelVersion:` (coder, version) -> value, used when decoding;
//   - `validate<Key>:error:`, key-value validation; register it with MMAddValidationMethod.
#pragma once

#include <Networking/NSError+MMModelException.h>

#include <Foundation/NSDictionary.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSSet.h>
#include <Runtime/ProtocolBuilder.h>

#include <functional>

// Whether and how a property is part of the model.
enum MMPropertyStorage : NSUInteger {
    MMPropertyStorageNone = 0,
    MMPropertyStorageTransitory = 1,
    MMPropertyStoragePermanent = 2,
};
using MMStorageBehavior = MMPropertyStorage;

// How a property is archived.
enum MMModelEncodingBehavior : NSUInteger {
    MMModelEncodingBehaviorExcluded = 0,
    MMModelEncodingBehaviorUnconditional = 1,
    MMModelEncodingBehaviorConditional = 2,
};
using MMEncodingBehavior = MMModelEncodingBehavior;

// `@protocol MMModel`.
NS_DECLARE_PROTOCOL(MMModel);

class MMModel : public NSObject, public NSCoding {
    NS_OBJECT(MMModel, NSObject)
public:
    MMModel() = default;

    // MARK: Class operations (the class they are asked of comes first)

    // The property keys: the name of every property declared from the class up to (not including)
    // MMModel whose storage behaviour is not none. Computed once per class.
    static Ref<NSSet> propertyKeys(Class self);
    // Walks the declared properties from the class up to MMModel; the block may set *stop.
    static void enumeratePropertiesUsingBlock(Class self,
                                              const std::function<void(const ObjCProperty*, bool* stop)>& block);
    // The base behaviour: none for a key that names no property, or a property with neither storage,
    // accessors nor a dynamic implementation; for a read-only property without storage the
    // superclass's answer (none at MMModel); permanent otherwise. Overridable.
    static MMStorageBehavior storageBehaviorForPropertyWithKey(Class self, const Ref<NSString>& key);
    static Ref<NSSet> transitoryPropertyKeys(Class self);
    static Ref<NSSet> permanentPropertyKeys(Class self);
    // A new instance of the class by initWithDictionaryError; nil (and the error) when it fails.
    static Ref<MMModel> modelWithDictionaryError(Class self, const Ref<NSDictionary>& dictionary, Ref<NSError>* error);
    template <class T>
    static Ref<T> modelWithDictionaryError(const Ref<NSDictionary>& dictionary, Ref<NSError>* error) {
        return cast<T>(modelWithDictionaryError(T::class_(), dictionary, error));
    }
    // The archive format version: 0 here. Overridable.
    static NSUInteger modelVersion() { return 0; }
    // NO here; a subclass opts in to secure archiving. Overridable.
    static bool supportsSecureCoding() { return false; }
    // Every property key to an NSNumber of its encoding behaviour: conditional for a weak property,
    // unconditional otherwise. Overridable; not cached.
    static Ref<NSDictionary> encodingBehaviorsByPropertyKey(Class self);
    // Property key to an array of the classes its archived value may have. Overridable.
    static Ref<NSDictionary> allowedSecureCodingClassesByPropertyKey(Class self);
    // Property values from an archive of the older format, or nil (here). Overridable.
    static Ref<NSDictionary> dictionaryValueFromArchivedExternalRepresentationVersion(Class self,
                                                                                      const id& externalRepresentation,
                                                                                      NSUInteger fromVersion);

    // MARK: Instance operations

    // `initWithDictionary:error:` on an instance made with init: sets every entry (NSNull as nil)
    // through validation, in the dictionary's order; false (and the error) at the first failure.
    virtual bool initWithDictionaryError(const Ref<NSDictionary>& dictionary, Ref<NSError>* error);
    // The values of the transitory and permanent keys; nil values as NSNull.
    Ref<NSDictionary> dictionaryValue();
    // Validates every property's current value; the first failure answers NO.
    bool validate(Ref<NSError>* error);
    void mergeValueForKeyFromModel(const Ref<NSString>& key, const Ref<MMModel>& model);
    void mergeValuesForKeysFromModel(const Ref<MMModel>& model);

    // Key-value validation (`validateValue:forKey:error:`): calls `validate<Key>:error:` when the
    // class has it (it may replace *value); YES otherwise.
    virtual bool validateValueForKeyError(id* value, const Ref<NSString>& key, Ref<NSError>* error);

    // A new instance of the same class given this one's values without validation.
    id copy() const override;
    // "<Class: 0x...> {permanent key values}"
    Ref<NSString> description() const override;
    NSUInteger hash() const override;
    // Same class exactly, and equal values of every permanent key.
    bool isEqual(const id& other) const override;

    // MARK: Archiving

    // Raises NSInvalidArgumentException when secure coding is required and a key lacks its allowed
    // classes.
    void encodeWithCoder(NSCoder* coder) override;
    // `initWithCoder:` on an instance made with init; false for an archive of a newer version, an
    // old-format archive that cannot be converted, or values that do not make a valid model.
    virtual bool initWithCoder(NSCoder* coder);
    // One archived value: the `decode<Key>WithCoder:modelVersion:` hook, else the coder's object.
    id decodeValueForKeyWithCoderModelVersion(const Ref<NSString>& key, NSCoder* coder, NSUInteger modelVersion);

    // Internal: the class hooks that MMModelRegister records.
    struct ClassHooks {
        std::function<NSUInteger()> modelVersion;
        std::function<bool()> supportsSecureCoding;
        std::function<MMStorageBehavior(Class, const Ref<NSString>&)> storageBehavior;
        std::function<Ref<NSDictionary>(Class)> encodingBehaviors;
        std::function<Ref<NSDictionary>(Class)> allowedSecureCodingClasses;
        std::function<Ref<NSDictionary>(Class, const id&, NSUInteger)>
            dictionaryValueFromArchivedExternalRepresentation;
    };
    static void registerClassHooks(Class cls, ClassHooks hooks);
    static const ClassHooks& hooksFor(Class cls);
    // Decodes a model of the class from the coder (the archiver's decoder for model classes).
    static id decodeModel(Class cls, NSCoder* coder);
};

// Registers a model class: its class hooks, its archiving and the MMModel protocol. Call it last in
// the class's NS_IMPLEMENT_CLASS block.
template <class T>
void MMModelRegister(ClassBuilder<T>& b) {
    static_assert(std::is_base_of_v<MMModel, T>, "a model class derives from MMModel");
    MMModel::ClassHooks hooks;
    hooks.modelVersion = [] { return static_cast<NSUInteger>(T::modelVersion()); };
    hooks.supportsSecureCoding = [] { return static_cast<bool>(T::supportsSecureCoding()); };
    hooks.storageBehavior = [](Class self, const Ref<NSString>& key) {
        return T::storageBehaviorForPropertyWithKey(self, key);
    };
    hooks.encodingBehaviors = [](Class self) { return T::encodingBehaviorsByPropertyKey(self); };
    hooks.allowedSecureCodingClasses = [](Class self) { return T::allowedSecureCodingClassesByPropertyKey(self); };
    hooks.dictionaryValueFromArchivedExternalRepresentation = [](Class self, const id& old, NSUInteger version) {
        return T::dictionaryValueFromArchivedExternalRepresentationVersion(self, old, version);
    };
    Class cls = b.cls();
    MMModel::registerClassHooks(cls, std::move(hooks));
    b.conformsTo(NS_PROTOCOL(MMModel));
    b.conformsTo(T::supportsSecureCoding() ? NSSecureCodingProtocol() : NSCodingProtocol());
    ns_coding::registerDecoder(
        cls, [cls](NSCoder* coder) -> id { return MMModel::decodeModel(cls, coder); }, T::supportsSecureCoding());
}

// Adds the key-value validation method `validate<Key>:error:` for a property:
//     MMAddValidationMethod(b, "name", [](DXModel* self, id& value, Ref<NSError>* error) { ... return true; });
// The block may replace `value`; on failure it answers false and sets *error when error is given.
template <class T, class F>
void MMAddValidationMethod(ClassBuilder<T>& b, const char* key, F block) {
    std::string name = key;
    if (!name.empty()) {
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    }
    b.methodBlock(SEL("validate" + name + ":error:"), [block](T* self, const void* value, const void* error) -> bool {
        return block(self, *static_cast<id*>(const_cast<void*>(value)),
                     static_cast<Ref<NSError>*>(const_cast<void*>(error)));
    });
}
