// MMJSONAdapter: converts between JSON dictionaries (as NSJSONSerialization makes them) and models
// whose class adopts MMJSONSerializing.
//
// A model class adopts the protocol with MMJSONSerializingRegister in its class block (after
// MMModelRegister) and declares, as static members:
//   - `static Ref<NSDictionary> JSONKeyPathsByPropertyKey()` (required): property key to a JSON key
//     path ("a.b") or an NSArray of key paths; a property without an entry is not mapped;
//   - `static Ref<NSValueTransformer> JSONTransformerForKey(const Ref<NSString>& key)` (optional);
//   - `static Class classForParsingJSONDictionary(const Ref<NSDictionary>& json)` (optional): the
//     class to build for a dictionary, or nullptr when none fits.
// Per-key transformers are class operations found by selector, `<key>JSONTransformer`:
//     b.classMethod("siteJSONTransformer", [] { return ...; });
#pragma once

#include <Networking/MMModel.h>
#include <Networking/MMValueTransformer.h>

#include <Foundation/NSArray.h>

#include <mutex>
#include <unordered_map>

const Ref<NSString>& MMJSONAdapterErrorDomain();
enum : NSInteger {
    // An exception was raised while a value was transformed.
    MMJSONAdapterErrorExceptionThrown = 1,
    // classForParsingJSONDictionary answered nil.
    MMJSONAdapterErrorNoClassFound = 2,
    // A JSON array was missing or was not an array; or a key path met a value that is not a dictionary.
    MMJSONAdapterErrorInvalidJSONDictionary = 3,
    // The model class's key-path mapping names something that is not a property, or a value that is
    // not a key path: no adapter can be made for it.
    MMJSONAdapterErrorInvalidJSONMapping = 4,
};
// The user-information key of the exception (an MMThrownException) behind error 1.
const Ref<NSString>& MMJSONAdapterThrownExceptionErrorKey();

// `@protocol MMJSONSerializing` (extends MMModel).
NS_DECLARE_PROTOCOL(MMJSONSerializing);

class MMJSONAdapter : public NSObject {
    NS_OBJECT(MMJSONAdapter, NSObject)
public:
    // The hooks MMJSONSerializingRegister records for a model class.
    struct SerializingHooks {
        std::function<Ref<NSDictionary>()> JSONKeyPathsByPropertyKey;
        std::function<Ref<NSValueTransformer>(const Ref<NSString>&)> JSONTransformerForKey; // may be empty
        std::function<Class(const Ref<NSDictionary>&)> classForParsingJSONDictionary;       // may be empty
    };
    static void registerSerializingHooks(Class cls, SerializingHooks hooks);
    // The hooks of the class (or of its nearest superclass that has them); nullptr when none.
    static const SerializingHooks* serializingHooksFor(Class cls);

    // Not usable until initWithModelClass succeeded (`init` makes no adapter on the platform).
    MMJSONAdapter() = default;
    // `initWithModelClass:`: false when the class's mapping is invalid (a key that is not a property,
    // a value that is neither a key path nor an array of key paths); the error, when asked for, says
    // which entry.
    bool initWithModelClass(Class modelClass, Ref<NSError>* error = nullptr);
    // A new adapter for the class, or nil (with the mapping error).
    static Ref<MMJSONAdapter> adapterWithModelClass(Class modelClass, Ref<NSError>* error = nullptr);

    Class modelClass() const noexcept { return modelClass_; }
    const Ref<NSDictionary>& JSONKeyPathsByPropertyKey() const noexcept { return JSONKeyPathsByPropertyKey_; }
    const Ref<NSDictionary>& valueTransformersByPropertyKey() const noexcept { return valueTransformersByPropertyKey_; }

    // MARK: Class operations
    // nil and an "Invalid JSON dictionary" error (never a model) when the JSON is nil or not a
    // dictionary, as a reply of the wrong shape is.
    static Ref<MMModel> modelOfClassFromJSONDictionaryError(Class modelClass, const id& JSONDictionary,
                                                            Ref<NSError>* error);
    static Ref<NSArray> modelsOfClassFromJSONArrayError(Class modelClass, const id& JSONArray, Ref<NSError>* error);
    static Ref<NSDictionary> JSONDictionaryFromModelError(const Ref<MMModel>& model, Ref<NSError>* error);
    static Ref<NSArray> JSONArrayFromModelsError(const Ref<NSArray>& models, Ref<NSError>* error);
    static Ref<NSDictionary> JSONDictionaryFromModel(const Ref<MMModel>& model);
    static Ref<NSArray> JSONArrayFromModels(const Ref<NSArray>& models);
    template <class T>
    static Ref<T> modelOfClassFromJSONDictionaryError(const id& JSONDictionary, Ref<NSError>* error) {
        return cast<T>(modelOfClassFromJSONDictionaryError(T::class_(), JSONDictionary, error));
    }

    // The transformer per property key for a model class, as an adapter of this class looks them up.
    Ref<NSDictionary> valueTransformersForModelClass(Class modelClass);
    // The adapter class's `<ClassName>JSONTransformer` class operation, when it has one; the base
    // answers the URL transformer for NSURL.
    Ref<NSValueTransformer> transformerForModelPropertiesOfClass(Class cls);
    // The boolean transformer for the encoding "B"; nil otherwise.
    Ref<NSValueTransformer> transformerForModelPropertiesOfObjCType(const char* typeEncoding);
    static Ref<NSValueTransformer> dictionaryTransformerWithModelClass(Class modelClass);
    static Ref<NSValueTransformer> arrayTransformerWithModelClass(Class modelClass);

    // MARK: Instance operations
    // nil and an "Invalid JSON dictionary" error when the JSON is nil or not a dictionary.
    Ref<MMModel> modelFromJSONDictionaryError(const id& JSON, Ref<NSError>* error);
    // `-JSONDictionaryFromModel:error:` (C++ cannot give the class operation of the same name and this
    // member one name).
    Ref<NSDictionary> instanceJSONDictionaryFromModelError(const Ref<MMModel>& model, Ref<NSError>* error);
    // The cached or new adapter (of this adapter's class) for another model class; nil and the
    // mapping error when none can be made.
    Ref<MMJSONAdapter> JSONAdapterForModelClassError(Class modelClass, Ref<NSError>* error);
    // The keys to write for a model: all of them here; a subclass may narrow the set.
    virtual Ref<NSSet> serializablePropertyKeysForModel(const Ref<NSSet>& propertyKeys, const Ref<MMModel>& model);

private:
    Class modelClass_ = nullptr;
    Ref<NSDictionary> JSONKeyPathsByPropertyKey_;
    Ref<NSDictionary> valueTransformersByPropertyKey_;
    std::recursive_mutex adaptersLock_;
    std::unordered_map<Class, Ref<MMJSONAdapter>> JSONAdaptersByModelClass_;
};

// Registers the class's MMJSONSerializing hooks (its static JSONKeyPathsByPropertyKey and the
// optional statics above) and the protocol. Call it in the class block after MMModelRegister.
template <class T>
void MMJSONSerializingRegister(ClassBuilder<T>& b) {
    MMJSONAdapter::SerializingHooks hooks;
    hooks.JSONKeyPathsByPropertyKey = [] { return Ref<NSDictionary>(T::JSONKeyPathsByPropertyKey()); };
    if constexpr (requires(const Ref<NSString>& key) { T::JSONTransformerForKey(key); }) {
        hooks.JSONTransformerForKey = [](const Ref<NSString>& key) {
            return Ref<NSValueTransformer>(T::JSONTransformerForKey(key));
        };
    }
    if constexpr (requires(const Ref<NSDictionary>& json) { T::classForParsingJSONDictionary(json); }) {
        hooks.classForParsingJSONDictionary = [](const Ref<NSDictionary>& json) -> Class {
            return T::classForParsingJSONDictionary(json);
        };
    }
    MMJSONAdapter::registerSerializingHooks(b.cls(), std::move(hooks));
    b.conformsTo(NS_PROTOCOL(MMJSONSerializing));
}
