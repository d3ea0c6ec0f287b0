#include <Networking/MMModel.h>
#include <Networking/MMReflection.h>

#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

NS_IMPLEMENT_PROTOCOL(MMModel) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.inherits(NS_PROTOCOL(NSCopying));
    p.required("initWithDictionary:error:", "@@:@^@");
    p.required("dictionaryValue", "@@:");
    p.required("mergeValueForKey:fromModel:", "v@:@@");
    p.required("validate:", "B@:^@");
}

NS_IMPLEMENT_CLASS(MMModel, NSObject) {
    b.method("dictionaryValue", &MMModel::dictionaryValue);
    b.method("mergeValueForKey:fromModel:", &MMModel::mergeValueForKeyFromModel);
    b.method("mergeValuesForKeysFromModel:", &MMModel::mergeValuesForKeysFromModel);
}

namespace {

const Ref<NSString>& versionKey() {
    static const Ref<NSString> key = NSString::from("MMModelVersion");
    return key;
}

const Ref<NSString>& externalRepresentationKey() {
    static const Ref<NSString> key = NSString::from("externalRepresentation");
    return key;
}

// Per-class tables: the hooks each model class registered, and the caches computed on first use.
// Nothing is ever removed; two threads that miss together may both compute, and the last store wins
// (the results are equal).
struct ClassTables {
    std::shared_mutex lock;
    std::unordered_map<Class, MMModel::ClassHooks> hooks;
    std::unordered_map<Class, Ref<NSSet>> propertyKeys;
    std::unordered_map<Class, std::pair<Ref<NSSet>, Ref<NSSet>>> storage; // transitory, permanent
    std::unordered_map<Class, Ref<NSDictionary>> allowedClasses;
};

ClassTables& tables() {
    static auto* t = new ClassTables;
    return *t;
}

template <class Map>
typename Map::mapped_type cached(Map ClassTables::*map, Class cls) {
    auto& t = tables();
    std::shared_lock lock(t.lock);
    auto it = (t.*map).find(cls);
    return it == (t.*map).end() ? typename Map::mapped_type{} : it->second;
}

template <class Map>
void store(Map ClassTables::*map, Class cls, typename Map::mapped_type value) {
    auto& t = tables();
    std::unique_lock lock(t.lock);
    (t.*map)[cls] = std::move(value);
}

MMStorageBehavior storageBehaviorOf(Class cls, const Ref<NSString>& key) {
    return MMModel::hooksFor(cls).storageBehavior(cls, key);
}

void generateAndCacheStorageBehaviors(Class cls) {
    auto transitory = NSMutableSet::set();
    auto permanent = NSMutableSet::set();
    Ref<NSSet> keys = MMModel::propertyKeys(cls);
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        switch (storageBehaviorOf(cls, k)) {
        case MMPropertyStorageTransitory:
            transitory->addObject(k);
            break;
        case MMPropertyStoragePermanent:
            permanent->addObject(k);
            break;
        default:
            break;
        }
    }
    store(&ClassTables::storage, cls,
          std::make_pair(Ref<NSSet>(cast<NSSet>(transitory->copy())), Ref<NSSet>(cast<NSSet>(permanent->copy()))));
}

// The values of the keys, nil as NSNull (`dictionaryWithValuesForKeys:`).
Ref<NSMutableDictionary> valuesForKeys(NSObject* object, const Ref<NSSet>& keys) {
    auto result = NSMutableDictionary::dictionary();
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        id value = object->valueForKey(k);
        result->setObjectForKey(value ? value : id(NSNull::null()), k);
    }
    return result;
}

bool isNull(const id& value) {
    return value && value.get() == NSNull::null().get();
}

// Sets a validated value: validation first (it may replace the value), then the setter when forced
// or when validation replaced the value. An NSException from either becomes a model error.
bool setValidatedValue(MMModel* model, const Ref<NSString>& key, id value, bool forceUpdate, Ref<NSError>* error) {
    try {
        id validated = value;
        if (!model->validateValueForKeyError(&validated, key, error)) {
            return false;
        }
        if (forceUpdate || validated.get() != value.get()) {
            model->setValueForKey(validated, key);
        }
        return true;
    } catch (const NSException& e) {
        NSLog("*** Caught exception setting key \"%@\" : %@", key, NSString::from(e.reason()));
        if (error) {
            *error = mm_modelErrorWithException(e);
        }
        return false;
    }
}

bool coderRequiresSecureCoding(NSCoder* coder) {
    return coder && coder->requiresSecureCoding();
}

void verifyAllowedClassesByPropertyKey(Class cls) {
    auto allowed = MMModel::hooksFor(cls).allowedSecureCodingClasses(cls);
    auto missing = NSMutableSet::set();
    Ref<NSDictionary> behaviors = MMModel::hooksFor(cls).encodingBehaviors(cls);
    for (const auto& [key, behavior] : *behaviors) {
        auto number = cast<NSNumber>(behavior);
        if (number && number->unsignedIntegerValue() != MMModelEncodingBehaviorExcluded &&
            !(allowed && allowed->objectForKey(key))) {
            missing->addObject(key);
        }
    }
    if (missing->count() > 0) {
        NSException::raise(NSInvalidArgumentException,
                           NSString::stringWithFormat("Cannot encode %@ securely, because keys are missing from "
                                                      "+allowedSecureCodingClassesByPropertyKey: %@",
                                                      NSStringFromClass(cls), missing)
                               ->str());
    }
}

} // namespace

// MARK: - Class hooks

void MMModel::registerClassHooks(Class cls, ClassHooks hooks) {
    store(&ClassTables::hooks, cls, std::move(hooks));
}

const MMModel::ClassHooks& MMModel::hooksFor(Class cls) {
    static const ClassHooks base = [] {
        ClassHooks h;
        h.modelVersion = [] { return MMModel::modelVersion(); };
        h.supportsSecureCoding = [] { return MMModel::supportsSecureCoding(); };
        h.storageBehavior = &MMModel::storageBehaviorForPropertyWithKey;
        h.encodingBehaviors = &MMModel::encodingBehaviorsByPropertyKey;
        h.allowedSecureCodingClasses = &MMModel::allowedSecureCodingClassesByPropertyKey;
        h.dictionaryValueFromArchivedExternalRepresentation =
            &MMModel::dictionaryValueFromArchivedExternalRepresentationVersion;
        return h;
    }();
    auto& t = tables();
    std::shared_lock lock(t.lock);
    // A class that did not register takes the hooks of its nearest registered superclass. Entries are
    // never removed or replaced once a class has run, so the reference stays valid.
    for (Class c = cls; c; c = c->superclass()) {
        auto it = t.hooks.find(c);
        if (it != t.hooks.end()) {
            return it->second;
        }
    }
    return base;
}

// MARK: - Properties

void MMModel::enumeratePropertiesUsingBlock(Class self,
                                            const std::function<void(const ObjCProperty*, bool* stop)>& block) {
    bool stop = false;
    Class cls = self;
    while (!stop && cls && cls != MMModel::class_()) {
        auto list = class_copyPropertyList(cls);
        cls = cls->superclass();
        for (const ObjCProperty* property : list) {
            block(property, &stop);
            if (stop) {
                break;
            }
        }
    }
}

Ref<NSSet> MMModel::propertyKeys(Class self) {
    if (auto keys = cached(&ClassTables::propertyKeys, self)) {
        return keys;
    }
    auto keys = NSMutableSet::set();
    enumeratePropertiesUsingBlock(self, [&](const ObjCProperty* property, bool*) {
        auto key = NSString::from(property_getName(property));
        if (storageBehaviorOf(self, key) != MMPropertyStorageNone) {
            keys->addObject(key);
        }
    });
    Ref<NSSet> result = cast<NSSet>(keys->copy());
    store(&ClassTables::propertyKeys, self, result);
    return result;
}

MMStorageBehavior MMModel::storageBehaviorForPropertyWithKey(Class self, const Ref<NSString>& key) {
    if (!self || !key) {
        return MMPropertyStorageNone;
    }
    const ObjCProperty* property = class_getProperty(self, key->str());
    if (!property) {
        return MMPropertyStorageNone;
    }
    MMPropertyAttributesPtr attributes(mm_parsePropertyAttributes(property));
    if (!attributes) {
        return MMPropertyStorageNone; // a property without a record counts as no model property
    }
    bool hasGetter = self->instancesRespondToSelector(attributes->getter);
    bool hasSetter = self->instancesRespondToSelector(attributes->setter);
    if (!attributes->dynamic && !attributes->ivarName && !hasGetter && !hasSetter) {
        return MMPropertyStorageNone;
    }
    if (attributes->readonly && !attributes->ivarName) {
        if (self == MMModel::class_()) {
            return MMPropertyStorageNone;
        }
        Class super = self->superclass();
        return super ? storageBehaviorOf(super, key) : MMPropertyStorageNone;
    }
    return MMPropertyStoragePermanent;
}

Ref<NSSet> MMModel::transitoryPropertyKeys(Class self) {
    auto entry = cached(&ClassTables::storage, self);
    if (!entry.first) {
        generateAndCacheStorageBehaviors(self);
        entry = cached(&ClassTables::storage, self);
    }
    return entry.first;
}

Ref<NSSet> MMModel::permanentPropertyKeys(Class self) {
    auto entry = cached(&ClassTables::storage, self);
    if (!entry.second) {
        generateAndCacheStorageBehaviors(self);
        entry = cached(&ClassTables::storage, self);
    }
    return entry.second;
}

Ref<NSDictionary> MMModel::encodingBehaviorsByPropertyKey(Class self) {
    auto result = NSMutableDictionary::dictionary();
    Ref<NSSet> keys = propertyKeys(self);
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        const ObjCProperty* property = class_getProperty(self, k->str());
        MMPropertyAttributesPtr attributes(mm_parsePropertyAttributes(property));
        MMEncodingBehavior behavior =
            attributes && attributes->weak ? MMModelEncodingBehaviorConditional : MMModelEncodingBehaviorUnconditional;
        result->setObjectForKey(NSNumber::numberWithUnsignedInteger(behavior), k);
    }
    return result;
}

Ref<NSDictionary> MMModel::allowedSecureCodingClassesByPropertyKey(Class self) {
    if (auto cachedClasses = cached(&ClassTables::allowedClasses, self)) {
        return cachedClasses;
    }
    auto result = NSMutableDictionary::dictionary();
    Ref<NSDictionary> behaviors = hooksFor(self).encodingBehaviors(self);
    for (const auto& [key, behavior] : *behaviors) {
        auto number = cast<NSNumber>(behavior);
        if (!number || number->unsignedIntegerValue() == MMModelEncodingBehaviorExcluded) {
            continue;
        }
        auto k = cast<NSString>(key);
        const ObjCProperty* property = k ? class_getProperty(self, k->str()) : nullptr;
        MMPropertyAttributesPtr attributes(mm_parsePropertyAttributes(property));
        if (!attributes) {
            continue;
        }
        char first = attributes->typeEncoding[0];
        if (first == '@' || first == '#') {
            if (attributes->objectClass) {
                result->setObjectForKey(NSArray::arrayWithObjects({NSStringFromClass(attributes->objectClass)}), k);
            }
        } else {
            result->setObjectForKey(NSArray::arrayWithObjects({NSStringFromClass(NSValue::class_())}), k);
        }
    }
    Ref<NSDictionary> stored = cast<NSDictionary>(result->copy());
    store(&ClassTables::allowedClasses, self, stored);
    return stored;
}

Ref<NSDictionary> MMModel::dictionaryValueFromArchivedExternalRepresentationVersion(Class, const id&, NSUInteger) {
    return nullptr;
}

// MARK: - Instances

Ref<MMModel> MMModel::modelWithDictionaryError(Class self, const Ref<NSDictionary>& dictionary, Ref<NSError>* error) {
    auto model = self ? cast<MMModel>(self->createInstance()) : nullptr;
    if (!model) {
        return nullptr;
    }
    return model->initWithDictionaryError(dictionary, error) ? model : nullptr;
}

bool MMModel::initWithDictionaryError(const Ref<NSDictionary>& dictionary, Ref<NSError>* error) {
    if (!dictionary) {
        return true;
    }
    for (const auto& [key, value] : *dictionary) {
        auto k = cast<NSString>(key);
        if (!k) {
            NSException e(NSInvalidArgumentException, "a model's dictionary has a key that is not a string");
            if (error) {
                *error = mm_modelErrorWithException(e);
            }
            return false;
        }
        if (!setValidatedValue(this, k, isNull(value) ? id() : value, true, error)) {
            return false;
        }
    }
    return true;
}

Ref<NSDictionary> MMModel::dictionaryValue() {
    Class cls = getClass();
    auto keys = NSMutableSet::setWithSet(transitoryPropertyKeys(cls));
    keys->unionSet(permanentPropertyKeys(cls));
    return valuesForKeys(this, keys);
}

bool MMModel::validate(Ref<NSError>* error) {
    Ref<NSSet> keys = propertyKeys(getClass());
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        id value;
        try {
            value = valueForKey(k);
        } catch (const NSException& e) {
            if (error) {
                *error = mm_modelErrorWithException(e);
            }
            return false;
        }
        if (!setValidatedValue(this, k, value, false, error)) {
            return false;
        }
    }
    return true;
}

bool MMModel::validateValueForKeyError(id* value, const Ref<NSString>& key, Ref<NSError>* error) {
    SEL selector = MMSelectorFromPrefixKeyAndSuffix("validate", key, ":error:");
    if (selector.isNull() || !respondsToSelector(selector)) {
        return true;
    }
    Ref<NSError> ignored;
    id answer = performSelectorWithArguments(
        selector, {NSValue::valueWithPointer(value), NSValue::valueWithPointer(error ? error : &ignored)});
    auto ok = cast<NSNumber>(answer);
    return ok && ok->boolValue();
}

void MMModel::mergeValueForKeyFromModel(const Ref<NSString>& key, const Ref<MMModel>& model) {
    SEL selector = MMSelectorFromPrefixKeyAndSuffix("merge", key, "FromModel:");
    if (!selector.isNull() && respondsToSelector(selector)) {
        performSelectorWithObject(selector, model);
        return;
    }
    if (model) {
        setValueForKey(model->valueForKey(key), key);
    }
}

void MMModel::mergeValuesForKeysFromModel(const Ref<MMModel>& model) {
    if (!model) {
        return;
    }
    auto theirs = propertyKeys(model->getClass());
    Ref<NSSet> keys = propertyKeys(getClass());
    for (const id& key : *keys) {
        if (theirs->containsObject(key)) {
            mergeValueForKeyFromModel(cast<NSString>(key), model);
        }
    }
}

id MMModel::copy() const {
    auto self = const_cast<MMModel*>(this);
    auto copy = cast<MMModel>(getClass()->createInstance());
    if (!copy) {
        return NSObject::copy();
    }
    Ref<NSDictionary> values = self->dictionaryValue();
    for (const auto& [key, value] : *values) {
        copy->setValueForKey(isNull(value) ? id() : value, cast<NSString>(key));
    }
    return copy;
}

Ref<NSString> MMModel::description() const {
    auto self = const_cast<MMModel*>(this);
    return NSString::stringWithFormat("<%@: %p> %@", NSStringFromClass(getClass()), static_cast<const void*>(this),
                                      valuesForKeys(self, permanentPropertyKeys(getClass())));
}

NSUInteger MMModel::hash() const {
    auto self = const_cast<MMModel*>(this);
    NSUInteger value = 0;
    Ref<NSSet> keys = permanentPropertyKeys(getClass());
    for (const id& key : *keys) {
        id v = self->valueForKey(cast<NSString>(key));
        value ^= v ? v->hash() : 0;
    }
    return value;
}

bool MMModel::isEqual(const id& other) const {
    if (other.get() == this) {
        return true;
    }
    if (!other || !other->isMemberOfClass(getClass())) {
        return false;
    }
    auto self = const_cast<MMModel*>(this);
    Ref<NSSet> keys = permanentPropertyKeys(getClass());
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        id mine = self->valueForKey(k);
        id theirs = other->valueForKey(k);
        if ((mine || theirs) && !(mine && mine->isEqual(theirs))) {
            return false;
        }
    }
    return true;
}

// MARK: - Archiving

void MMModel::encodeWithCoder(NSCoder* coder) {
    Class cls = getClass();
    if (coderRequiresSecureCoding(coder)) {
        verifyAllowedClassesByPropertyKey(cls);
    }
    coder->encodeObjectForKey(NSNumber::numberWithUnsignedInteger(hooksFor(cls).modelVersion()), versionKey());
    auto behaviors = hooksFor(cls).encodingBehaviors(cls);
    Ref<NSDictionary> values = dictionaryValue();
    for (const auto& [key, value] : *values) {
        auto k = cast<NSString>(key);
        try {
            if (isNull(value)) {
                continue;
            }
            auto behavior = cast<NSNumber>(behaviors->objectForKey(k));
            switch (behavior ? behavior->unsignedIntegerValue() : MMModelEncodingBehaviorExcluded) {
            case MMModelEncodingBehaviorUnconditional:
                coder->encodeObjectForKey(value, k);
                break;
            case MMModelEncodingBehaviorConditional:
                // A weak value is archived only when its owner is in the archive too.
                coder->encodeConditionalObjectForKey(value, k);
                break;
            default:
                break;
            }
        } catch (const NSException& e) {
            NSLog("*** Caught exception encoding value for key \"%@\" on class %@: %@", k, NSStringFromClass(cls),
                  NSString::from(e.reason()));
            throw;
        }
    }
}

id MMModel::decodeValueForKeyWithCoderModelVersion(const Ref<NSString>& key, NSCoder* coder, NSUInteger modelVersion) {
    Class cls = getClass();
    try {
        SEL selector = MMSelectorFromPrefixKeyAndSuffix("decode", key, "WithCoder:modelVersion:");
        if (!selector.isNull() && respondsToSelector(selector)) {
            return performSelectorWithArguments(selector,
                                                {id(coder), NSNumber::numberWithUnsignedInteger(modelVersion)});
        }
        if (coderRequiresSecureCoding(coder)) {
            std::vector<Class> classes;
            if (auto names = cast<NSArray>(hooksFor(cls).allowedSecureCodingClasses(cls)->objectForKey(key))) {
                for (const id& name : *names) {
                    if (Class c = NSClassFromString(cast<NSString>(name))) {
                        classes.push_back(c);
                    }
                }
            }
            if (classes.empty()) {
                return nullptr; // nothing may be decoded for a key without allowed classes
            }
            return coder->decodeObjectOfClassesForKey(classes, key);
        }
        return coder->decodeObjectForKey(key);
    } catch (const NSException& e) {
        NSLog("*** Caught exception decoding value for key \"%@\" on class %@: %@", key, NSStringFromClass(cls),
              NSString::from(e.reason()));
        throw;
    }
}

bool MMModel::initWithCoder(NSCoder* coder) {
    Class cls = getClass();
    bool secure = coderRequiresSecureCoding(coder);
    id stored = secure ? coder->decodeObjectOfClassForKey(NSNumber::class_(), versionKey())
                       : coder->decodeObjectForKey(versionKey());
    auto version = cast<NSNumber>(stored);
    if (stored && !version) {
        return false; // a version that is not a number: a corrupt archive
    }
    NSUInteger modelVersion = 0;
    if (!version) {
        NSLog("Warning: decoding an archive of %@ without a version, assuming 0", NSStringFromClass(cls));
    } else {
        if (version->isFloatingPoint() || version->longLongValue() < 0) {
            return false; // no version a model could have written
        }
        modelVersion = version->unsignedIntegerValue();
        if (modelVersion > hooksFor(cls).modelVersion()) {
            return false;
        }
    }

    if (secure) {
        verifyAllowedClassesByPropertyKey(cls);
    } else if (coder->containsValueForKey(externalRepresentationKey())) {
        id old = coder->decodeObjectForKey(externalRepresentationKey());
        auto values = hooksFor(cls).dictionaryValueFromArchivedExternalRepresentation(cls, old, modelVersion);
        if (!values) {
            return false;
        }
        Ref<NSError> error;
        if (!initWithDictionaryError(values, &error)) {
            NSLog("*** Could not decode old %@ archive: %@", NSStringFromClass(cls), error);
            return false;
        }
        return true;
    }

    auto values = NSMutableDictionary::dictionary();
    Ref<NSSet> keys = propertyKeys(cls);
    for (const id& key : *keys) {
        auto k = cast<NSString>(key);
        if (id value = decodeValueForKeyWithCoderModelVersion(k, coder, modelVersion)) {
            values->setObjectForKey(value, k);
        }
    }
    if (coder->error()) {
        return false; // a value of a class that is not allowed, or a damaged archive
    }
    Ref<NSError> error;
    if (!initWithDictionaryError(values, &error)) {
        NSLog("*** Could not unarchive %@: %@", NSStringFromClass(cls), error);
        return false;
    }
    return true;
}

id MMModel::decodeModel(Class cls, NSCoder* coder) {
    auto model = cast<MMModel>(cls->createInstance());
    if (!model || !model->initWithCoder(coder)) {
        return nullptr;
    }
    return model;
}
