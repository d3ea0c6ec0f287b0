#include <Networking/MMJSONAdapter.h>
#include <Networking/MMReflection.h>
#include <Networking/NSDictionary+MMJSONKeyPath.h>
#include <Networking/NSValueTransformer+MMPredefinedTransformerAdditions.h>

#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>

#include <shared_mutex>

NS_IMPLEMENT_PROTOCOL(MMJSONSerializing) {
    p.inherits(NS_PROTOCOL(MMModel));
    p.required("JSONKeyPathsByPropertyKey", "@@:");
    p.optional("JSONTransformerForKey:", "@@:@");
    p.optional("classForParsingJSONDictionary:", "#@:@");
}

NS_IMPLEMENT_CLASS(MMJSONAdapter, NSObject) {
    b.classMethod("NSURLJSONTransformer", []() -> Ref<NSValueTransformer> {
        mm_registerPredefinedTransformers();
        return NSValueTransformer::valueTransformerForName(MMURLValueTransformerName());
    });
}

const Ref<NSString>& MMJSONAdapterErrorDomain() {
    static const Ref<NSString> domain = NSString::from("MMJSONAdapterErrorDomain");
    return domain;
}

const Ref<NSString>& MMJSONAdapterThrownExceptionErrorKey() {
    static const Ref<NSString> key = NSString::from("MMJSONAdapterThrownException");
    return key;
}

namespace {

struct HookTable {
    std::shared_mutex lock;
    std::unordered_map<Class, MMJSONAdapter::SerializingHooks> hooks;
};

HookTable& hookTable() {
    static auto* t = new HookTable;
    return *t;
}

bool isNull(const id& value) {
    return value && value.get() == NSNull::null().get();
}

Ref<NSError> adapterError(NSInteger code, const Ref<NSString>& description, const Ref<NSString>& reason) {
    auto info = NSMutableDictionary::dictionary();
    if (description) {
        info->setObjectForKey(description, NSLocalizedDescriptionKey());
    }
    if (reason) {
        info->setObjectForKey(reason, NSLocalizedFailureReasonErrorKey());
    }
    return make<NSError>(MMJSONAdapterErrorDomain(), code, info);
}

Ref<NSString> format(const char* text, const std::vector<NSFormatArgument>& args) {
    return NSString::from(NSFormat(mm_localized(text)->str(), args));
}

Ref<NSError> mappingError(Class modelClass, const id& key, const id& value) {
    return adapterError(MMJSONAdapterErrorInvalidJSONMapping, mm_localized("Invalid JSON mapping"),
                        format("%1$@ could not be parsed because its JSON mapping is invalid: %2$@ maps to %3$@",
                               {NSStringFromClass(modelClass), key, value}));
}

Ref<NSError> noMappingError(Class modelClass) {
    return adapterError(MMJSONAdapterErrorInvalidJSONMapping, mm_localized("Invalid JSON mapping"),
                        format("%@ does not adopt MMJSONSerializing", {NSStringFromClass(modelClass)}));
}

bool conformsToSerializing(const id& object) {
    return object && object->conformsToProtocol(NS_PROTOCOL(MMModel)) &&
           object->conformsToProtocol(NS_PROTOCOL(MMJSONSerializing));
}

// Writes a value at a key path of the result, making the dictionaries on the way. A component that
// already holds something other than a mutable dictionary cannot be stepped into: false.
bool writeKeyPath(const Ref<NSMutableDictionary>& result, const Ref<NSString>& keyPath, const id& value) {
    Ref<NSArray> components = keyPath->componentsSeparatedByString("."_ns);
    Ref<NSMutableDictionary> container = result;
    for (NSUInteger i = 0; i + 1 < components->count(); ++i) {
        id component = components->objectAtIndex(i);
        id existing = container->objectForKey(component);
        if (!existing) {
            auto made = NSMutableDictionary::dictionary();
            container->setObjectForKey(made, component);
            container = made;
            continue;
        }
        auto next = cast<NSMutableDictionary>(existing);
        if (!next) {
            return false;
        }
        container = next;
    }
    id last = components->lastObject();
    if (value) {
        container->setObjectForKey(value, last);
    } else {
        container->removeObjectForKey(last);
    }
    return true;
}

// The JSON given for a model is not a dictionary (or is nil).
Ref<NSError> invalidDictionaryError(Class modelClass, const id& JSON) {
    return adapterError(MMJSONAdapterErrorInvalidJSONDictionary, mm_localized("Invalid JSON dictionary"),
                        format("%@ could not be created because an invalid JSON dictionary was provided: %@",
                               {NSStringFromClass(modelClass), JSON ? NSStringFromClass(JSON->getClass()) : nullptr}));
}

Ref<NSError> unwritableError(Class modelClass, const id& keyPath, const id& value) {
    return adapterError(MMJSONAdapterErrorInvalidJSONDictionary, mm_localized("Invalid JSON dictionary"),
                        format("%1$@ could not be written to JSON: the value %2$@ does not fit the key path %3$@",
                               {NSStringFromClass(modelClass), value, keyPath}));
}

// A nested model is read (and written) by recursion: a model's transformer runs an adapter for the
// model inside it, many stack frames a level. JSON from the reader nests at most its bound deep, but
// a dictionary built by code (or a chain of models) has no such bound, so past the same depth the
// adapter refuses rather than exhaust the stack.
constexpr int kMaximumModelNesting = NSJSONSerialization::maximumDepth;
thread_local int modelsUnderWay = 0;

class ModelNesting {
public:
    ModelNesting() { ++modelsUnderWay; }
    ~ModelNesting() { --modelsUnderWay; }
    ModelNesting(const ModelNesting&) = delete;
    ModelNesting& operator=(const ModelNesting&) = delete;
    bool tooDeep() const { return modelsUnderWay > kMaximumModelNesting; }
};

Ref<NSError> nestingError(Class modelClass, bool reading) {
    return adapterError(MMJSONAdapterErrorInvalidJSONDictionary, mm_localized("Invalid JSON dictionary"),
                        format(reading
                                   ? "%1$@ could not be created because its models nest more than %2$d deep"
                                   : "%1$@ could not be written to JSON because its models nest more than %2$d deep",
                               {NSStringFromClass(modelClass), kMaximumModelNesting}));
}

} // namespace

// MARK: - Hooks

void MMJSONAdapter::registerSerializingHooks(Class cls, SerializingHooks hooks) {
    auto& t = hookTable();
    std::unique_lock lock(t.lock);
    t.hooks[cls] = std::move(hooks);
}

const MMJSONAdapter::SerializingHooks* MMJSONAdapter::serializingHooksFor(Class cls) {
    auto& t = hookTable();
    std::shared_lock lock(t.lock);
    for (Class c = cls; c; c = c->superclass()) {
        auto it = t.hooks.find(c);
        if (it != t.hooks.end()) {
            return &it->second; // entries are never removed
        }
    }
    return nullptr;
}

// MARK: - Making an adapter

bool MMJSONAdapter::initWithModelClass(Class modelClass, Ref<NSError>* error) {
    const SerializingHooks* hooks = modelClass ? serializingHooksFor(modelClass) : nullptr;
    if (!hooks || !modelClass->isSubclassOfClass(MMModel::class_())) {
        if (error) {
            *error = noMappingError(modelClass);
        }
        return false;
    }
    modelClass_ = modelClass;
    Ref<NSDictionary> mapping = hooks->JSONKeyPathsByPropertyKey();
    JSONKeyPathsByPropertyKey_ = mapping ? cast<NSDictionary>(mapping->copy()) : NSDictionary::dictionary();
    Ref<NSSet> propertyKeys = MMModel::propertyKeys(modelClass);
    for (const auto& [key, value] : *JSONKeyPathsByPropertyKey_) {
        bool valid = propertyKeys->containsObject(key);
        if (valid && !cast<NSString>(value)) {
            auto paths = cast<NSArray>(value);
            valid = paths != nullptr;
            for (NSUInteger i = 0; valid && i < paths->count(); ++i) {
                valid = cast<NSString>(paths->objectAtIndex(i)) != nullptr;
            }
        }
        if (!valid) {
            if (error) {
                *error = mappingError(modelClass, key, value);
            }
            modelClass_ = nullptr;
            return false;
        }
    }
    valueTransformersByPropertyKey_ = valueTransformersForModelClass(modelClass);
    return true;
}

Ref<MMJSONAdapter> MMJSONAdapter::adapterWithModelClass(Class modelClass, Ref<NSError>* error) {
    auto adapter = make<MMJSONAdapter>();
    return adapter->initWithModelClass(modelClass, error) ? adapter : nullptr;
}

Ref<MMJSONAdapter> MMJSONAdapter::JSONAdapterForModelClassError(Class modelClass, Ref<NSError>* error) {
    std::lock_guard lock(adaptersLock_);
    auto it = JSONAdaptersByModelClass_.find(modelClass);
    if (it != JSONAdaptersByModelClass_.end()) {
        return it->second;
    }
    auto adapter = cast<MMJSONAdapter>(getClass()->createInstance());
    if (!adapter || !adapter->initWithModelClass(modelClass, error)) {
        return nullptr;
    }
    JSONAdaptersByModelClass_.emplace(modelClass, adapter);
    return adapter;
}

// MARK: - Transformers

Ref<NSValueTransformer> MMJSONAdapter::transformerForModelPropertiesOfClass(Class cls) {
    if (!cls) {
        return nullptr;
    }
    SEL selector(cls->name() + "JSONTransformer");
    if (!getClass()->respondsToSelector(selector)) {
        return nullptr;
    }
    return cast<NSValueTransformer>(getClass()->performClassSelector(selector));
}

Ref<NSValueTransformer> MMJSONAdapter::transformerForModelPropertiesOfObjCType(const char* typeEncoding) {
    if (typeEncoding && std::string_view(typeEncoding) == "B") {
        mm_registerPredefinedTransformers();
        return NSValueTransformer::valueTransformerForName(MMBooleanValueTransformerName());
    }
    return nullptr;
}

Ref<NSDictionary> MMJSONAdapter::valueTransformersForModelClass(Class modelClass) {
    auto result = NSMutableDictionary::dictionary();
    const SerializingHooks* hooks = serializingHooksFor(modelClass);
    Ref<NSSet> keys = MMModel::propertyKeys(modelClass);
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        SEL perKey = MMSelectorFromKeyAndSuffix(k, "JSONTransformer");
        if (!perKey.isNull() && modelClass->respondsToSelector(perKey)) {
            if (auto transformer = cast<NSValueTransformer>(modelClass->performClassSelector(perKey))) {
                result->setObjectForKey(transformer, k);
            }
            continue;
        }
        if (hooks && hooks->JSONTransformerForKey) {
            if (auto transformer = hooks->JSONTransformerForKey(k)) {
                result->setObjectForKey(transformer, k);
                continue;
            }
        }
        const ObjCProperty* property = class_getProperty(modelClass, k->str());
        if (!property) {
            continue;
        }
        MMPropertyAttributesPtr attributes(mm_parsePropertyAttributes(property));
        if (!attributes) {
            continue;
        }
        Ref<NSValueTransformer> transformer;
        if (attributes->typeEncoding[0] == '@') {
            Class objectClass = attributes->objectClass;
            if (objectClass) {
                transformer = transformerForModelPropertiesOfClass(objectClass);
            }
            if (!transformer && objectClass && serializingHooksFor(objectClass) &&
                objectClass->isSubclassOfClass(MMModel::class_())) {
                transformer = dictionaryTransformerWithModelClass(objectClass);
            }
            if (!transformer) {
                transformer = mm_validatingTransformerForClass(objectClass ? objectClass : NSObject::class_());
            }
        } else {
            transformer = transformerForModelPropertiesOfObjCType(attributes->typeEncoding);
            if (!transformer) {
                transformer = mm_validatingTransformerForClass(NSValue::class_());
            }
        }
        if (transformer) {
            result->setObjectForKey(transformer, k);
        }
    }
    return result;
}

// MARK: - JSON to model

Ref<MMModel> MMJSONAdapter::modelFromJSONDictionaryError(const id& JSON, Ref<NSError>* error) {
    if (!modelClass_) {
        if (error) {
            *error = noMappingError(nullptr);
        }
        return nullptr;
    }
    ModelNesting nesting;
    if (nesting.tooDeep()) {
        if (error) {
            *error = nestingError(modelClass_, true);
        }
        return nullptr;
    }
    auto JSONDictionary = cast<NSDictionary>(JSON);
    if (!JSONDictionary) {
        // A reply of the wrong shape (an array, a string, nothing) is not an empty model.
        if (error) {
            *error = invalidDictionaryError(modelClass_, JSON);
        }
        return nullptr;
    }
    const SerializingHooks* hooks = serializingHooksFor(modelClass_);
    if (hooks && hooks->classForParsingJSONDictionary) {
        Class cls = hooks->classForParsingJSONDictionary(JSONDictionary);
        if (!cls) {
            if (error) {
                *error = adapterError(MMJSONAdapterErrorNoClassFound, mm_localized("Could not parse JSON"),
                                      mm_localized("No model class could be found to parse the JSON dictionary."));
            }
            return nullptr;
        }
        if (cls != modelClass_) {
            auto other = JSONAdapterForModelClassError(cls, error);
            return other ? other->modelFromJSONDictionaryError(JSONDictionary, error) : nullptr;
        }
    }

    auto values = NSMutableDictionary::dictionary();
    Ref<NSSet> keys = MMModel::propertyKeys(modelClass_);
    for (const id& key : *keys) {
        id keyPaths = JSONKeyPathsByPropertyKey_->objectForKey(key);
        if (!keyPaths) {
            continue;
        }
        id value;
        if (auto paths = cast<NSArray>(keyPaths)) {
            auto read = NSMutableDictionary::dictionary();
            for (const id& path : *paths) {
                bool ok = true;
                id v = mm_valueForJSONKeyPathSuccessError(JSONDictionary, cast<NSString>(path), &ok, error);
                if (!ok) {
                    return nullptr;
                }
                if (v) {
                    read->setObjectForKey(v, path);
                }
            }
            value = read;
        } else {
            bool ok = true;
            value = mm_valueForJSONKeyPathSuccessError(JSONDictionary, cast<NSString>(keyPaths), &ok, error);
            if (!ok) {
                return nullptr;
            }
        }
        if (!value) {
            continue;
        }
        try {
            auto transformer = cast<NSValueTransformer>(valueTransformersByPropertyKey_->objectForKey(key));
            if (transformer) {
                id input = isNull(value) ? id() : value;
                if (MMTransformerErrorHandling* handling = mm_errorHandling(transformer)) {
                    bool ok = true;
                    value = handling->transformedValueSuccessError(input, &ok, error);
                    if (!ok) {
                        return nullptr;
                    }
                } else {
                    value = transformer->transformedValue(input);
                }
                if (!value) {
                    value = NSNull::null();
                }
            }
        } catch (const NSException& e) {
            NSLog("*** Caught exception %@ parsing JSON key path \"%@\" from: %@", NSString::from(e.reason()), keyPaths,
                  JSONDictionary);
            if (error) {
                auto thrown = make<MMThrownException>(e);
                auto info = NSMutableDictionary::dictionary();
                info->setObjectForKey(
                    NSString::stringWithFormat("Caught exception parsing JSON key path \"%@\" for model class: %@",
                                               keyPaths, NSStringFromClass(modelClass_)),
                    NSLocalizedDescriptionKey());
                info->setObjectForKey(thrown->description(), NSLocalizedRecoverySuggestionErrorKey());
                if (!e.reason().empty()) {
                    info->setObjectForKey(thrown->reason(), NSLocalizedFailureReasonErrorKey());
                }
                info->setObjectForKey(thrown, MMJSONAdapterThrownExceptionErrorKey());
                *error = make<NSError>(MMJSONAdapterErrorDomain(), MMJSONAdapterErrorExceptionThrown, info);
            }
            return nullptr;
        }
        values->setObjectForKey(value, key);
    }

    auto model = MMModel::modelWithDictionaryError(modelClass_, values, error);
    if (!model || !model->validate(error)) {
        return nullptr;
    }
    return model;
}

// MARK: - Model to JSON

Ref<NSSet> MMJSONAdapter::serializablePropertyKeysForModel(const Ref<NSSet>& propertyKeys, const Ref<MMModel>&) {
    return propertyKeys;
}

Ref<NSDictionary> MMJSONAdapter::instanceJSONDictionaryFromModelError(const Ref<MMModel>& model, Ref<NSError>* error) {
    if (!model || !modelClass_) {
        if (error && !modelClass_) {
            *error = noMappingError(nullptr);
        }
        return nullptr;
    }
    ModelNesting nesting;
    if (nesting.tooDeep()) {
        if (error) {
            *error = nestingError(modelClass_, false);
        }
        return nullptr;
    }
    if (model->getClass() != modelClass_) {
        auto other = JSONAdapterForModelClassError(model->getClass(), error);
        return other ? other->instanceJSONDictionaryFromModelError(model, error) : nullptr;
    }

    auto keys = serializablePropertyKeysForModel(NSSet::setWithArray(JSONKeyPathsByPropertyKey_->allKeys()), model);
    auto values = NSMutableDictionary::dictionary();
    Ref<NSDictionary> all = model->dictionaryValue();
    for (const id& key : *keys) {
        id value = all->objectForKey(key);
        values->setObjectForKey(value ? value : id(NSNull::null()), key);
    }

    auto result = NSMutableDictionary::dictionary();
    for (const auto& [key, stored] : *values) {
        id keyPaths = JSONKeyPathsByPropertyKey_->objectForKey(key);
        if (!keyPaths) {
            continue;
        }
        id value = stored;
        auto transformer = cast<NSValueTransformer>(valueTransformersByPropertyKey_->objectForKey(key));
        if (transformer && transformer->allowsReverseTransformation()) {
            id input = isNull(value) ? id() : value;
            MMTransformerErrorHandling* handling = mm_errorHandling(transformer);
            if (handling && handling->respondsToReverseTransformedValueSuccessError()) {
                bool ok = true;
                Ref<NSError> failure;
                value = handling->reverseTransformedValueSuccessError(input, &ok, &failure);
                if (!ok) {
                    if (error) {
                        *error = failure;
                    }
                    return nullptr;
                }
            } else {
                value = transformer->reverseTransformedValue(input);
                if (!value) {
                    value = NSNull::null();
                }
            }
        }
        if (auto paths = cast<NSArray>(keyPaths)) {
            auto parts = cast<NSDictionary>(value);
            if (!parts && value && !isNull(value)) {
                if (error) {
                    *error = unwritableError(modelClass_, keyPaths, value);
                }
                return nullptr;
            }
            for (const id& path : *paths) {
                // A value without an entry for a path (or none at all) leaves the path unwritten.
                id part = parts ? parts->objectForKey(path) : id();
                if (!part) {
                    continue;
                }
                if (!writeKeyPath(result, cast<NSString>(path), part)) {
                    if (error) {
                        *error = unwritableError(modelClass_, path, part);
                    }
                    return nullptr;
                }
            }
        } else if (!writeKeyPath(result, cast<NSString>(keyPaths), value)) {
            if (error) {
                *error = unwritableError(modelClass_, keyPaths, value);
            }
            return nullptr;
        }
    }
    return result;
}

// MARK: - Class operations

Ref<MMModel> MMJSONAdapter::modelOfClassFromJSONDictionaryError(Class modelClass, const id& JSONDictionary,
                                                                Ref<NSError>* error) {
    auto adapter = adapterWithModelClass(modelClass, error);
    return adapter ? adapter->modelFromJSONDictionaryError(JSONDictionary, error) : nullptr;
}

Ref<NSArray> MMJSONAdapter::modelsOfClassFromJSONArrayError(Class modelClass, const id& JSONArray,
                                                            Ref<NSError>* error) {
    auto array = cast<NSArray>(JSONArray);
    if (!array) {
        if (error) {
            *error = adapterError(MMJSONAdapterErrorInvalidJSONDictionary, mm_localized("Missing JSON array"),
                                  format("%@ could not be created because an invalid JSON array was provided: %@",
                                         {NSStringFromClass(modelClass),
                                          JSONArray ? NSStringFromClass(JSONArray->getClass()) : nullptr}));
        }
        return nullptr;
    }
    auto models = NSMutableArray::arrayWithCapacity(array->count());
    for (const id& element : *array) {
        // An element that is not a dictionary cannot be read as a model (the adapter says so).
        auto model = modelOfClassFromJSONDictionaryError(modelClass, element, error);
        if (!model) {
            return nullptr;
        }
        models->addObject(model);
    }
    return models;
}

Ref<NSDictionary> MMJSONAdapter::JSONDictionaryFromModelError(const Ref<MMModel>& model, Ref<NSError>* error) {
    if (!model) {
        return nullptr;
    }
    auto adapter = adapterWithModelClass(model->getClass(), error);
    return adapter ? adapter->instanceJSONDictionaryFromModelError(model, error) : nullptr;
}

Ref<NSArray> MMJSONAdapter::JSONArrayFromModelsError(const Ref<NSArray>& models, Ref<NSError>* error) {
    if (!models) {
        return nullptr;
    }
    auto result = NSMutableArray::arrayWithCapacity(models->count());
    for (const id& element : *models) {
        auto dictionary = JSONDictionaryFromModelError(cast<MMModel>(element), error);
        if (!dictionary) {
            return nullptr;
        }
        result->addObject(dictionary);
    }
    return result;
}

Ref<NSDictionary> MMJSONAdapter::JSONDictionaryFromModel(const Ref<MMModel>& model) {
    return JSONDictionaryFromModelError(model, nullptr);
}

Ref<NSArray> MMJSONAdapter::JSONArrayFromModels(const Ref<NSArray>& models) {
    return JSONArrayFromModelsError(models, nullptr);
}

// MARK: - Nesting transformers

namespace {
// The adapter that both directions of a nesting transformer share, made on first use.
struct SharedAdapter {
    Class modelClass;
    std::mutex lock;
    Ref<MMJSONAdapter> adapter;
    Ref<MMJSONAdapter> get(Ref<NSError>* error) {
        std::lock_guard guard(lock);
        if (!adapter) {
            adapter = MMJSONAdapter::adapterWithModelClass(modelClass, error);
        }
        return adapter;
    }
};
} // namespace

Ref<NSValueTransformer> MMJSONAdapter::dictionaryTransformerWithModelClass(Class modelClass) {
    auto shared = std::make_shared<SharedAdapter>();
    shared->modelClass = modelClass;
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [shared](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto dictionary = cast<NSDictionary>(value);
            if (!dictionary) {
                return mm_failTransformation(mm_localized("Could not convert JSON dictionary to model object"),
                                             format("Expected an NSDictionary, got: %@", {value}), value, success,
                                             error);
            }
            auto adapter = shared->get(error);
            id model = adapter ? adapter->modelFromJSONDictionaryError(dictionary, error) : nullptr;
            if (!model) {
                *success = false;
            }
            return model;
        },
        [shared](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            if (!conformsToSerializing(value) || !cast<MMModel>(value)) {
                return mm_failTransformation(
                    mm_localized("Could not convert model object to JSON dictionary"),
                    format("Expected a MMModel object conforming to <MMJSONSerializing>, got: %@.", {value}), value,
                    success, error);
            }
            auto adapter = shared->get(error);
            id json = adapter ? adapter->instanceJSONDictionaryFromModelError(cast<MMModel>(value), error) : nullptr;
            if (!json) {
                *success = false;
            }
            return json;
        });
}

Ref<NSValueTransformer> MMJSONAdapter::arrayTransformerWithModelClass(Class modelClass) {
    Ref<NSValueTransformer> inner = dictionaryTransformerWithModelClass(modelClass);
    return MMValueTransformer::transformerUsingForwardBlockReverseBlock(
        [inner](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto array = cast<NSArray>(value);
            if (!array) {
                return mm_failTransformation(mm_localized("Could not convert JSON array to model array"),
                                             format("Expected an NSArray, got: %@.", {value}), value, success, error);
            }
            auto models = NSMutableArray::arrayWithCapacity(array->count());
            for (const id& element : *array) {
                if (isNull(element)) {
                    models->addObject(element);
                    continue;
                }
                if (!cast<NSDictionary>(element)) {
                    return mm_failTransformation(mm_localized("Could not convert JSON array to model array"),
                                                 format("Expected an NSDictionary or an NSNull, got: %@.", {element}),
                                                 element, success, error);
                }
                id model = mm_errorHandling(inner)->transformedValueSuccessError(element, success, error);
                if (!*success) {
                    return nullptr;
                }
                if (model) {
                    models->addObject(model);
                }
            }
            return models;
        },
        [inner](const id& value, bool* success, Ref<NSError>* error) -> id {
            if (!value) {
                return nullptr;
            }
            auto array = cast<NSArray>(value);
            if (!array) {
                return mm_failTransformation(mm_localized("Could not convert model array to JSON array"),
                                             format("Expected an NSArray, got: %@.", {value}), value, success, error);
            }
            auto dictionaries = NSMutableArray::arrayWithCapacity(array->count());
            for (const id& element : *array) {
                if (isNull(element)) {
                    dictionaries->addObject(element);
                    continue;
                }
                if (!cast<MMModel>(element)) {
                    return mm_failTransformation(mm_localized("Could not convert model array to JSON array"),
                                                 format("Expected a MMModel or an NSNull, got: %@.", {element}),
                                                 element, success, error);
                }
                id json = mm_errorHandling(inner)->reverseTransformedValueSuccessError(element, success, error);
                if (!*success) {
                    return nullptr;
                }
                if (json) {
                    dictionaries->addObject(json);
                }
            }
            return dictionaries;
        });
}
