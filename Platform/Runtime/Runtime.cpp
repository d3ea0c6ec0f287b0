// The object runtime's tables. What is where:
//   NSException        raising with a call stack
//   Selectors          interned selector names
//   Protocols          method descriptions, conformance, registration by name
//   Classes            method tables with a per-thread method cache (emptied by an epoch on any change),
//                      class methods, properties and their attribute strings, key-value observing opt-outs
//   Registry           classes by name, NSClassFromString, reflection (class_copyPropertyList & co.)
#include <Runtime/ClassBuilder.h>
#include <Runtime/Runtime.h>

#include <Foundation/NSString.h>

#include <cxxabi.h>
#include <execinfo.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <unordered_set>

// MARK: - NSException

void NSException::raise(std::string name, std::string reason) {
    NSException e(std::move(name), std::move(reason));
    void* frames[64];
    int n = backtrace(frames, 64);
    if (char** symbols = backtrace_symbols(frames, n)) {
        for (int i = 0; i < n; ++i) {
            e.callStack_.emplace_back(symbols[i]);
        }
        free(symbols);
    }
    throw e;
}

// MARK: - Selectors

namespace {
// Selector names are looked up far more often than added: readers share the lock.
struct SelectorTable {
    std::shared_mutex mutex;
    std::unordered_map<std::string_view, std::unique_ptr<objc_detail::SelectorName>> names;
};
SelectorTable& selectorTable() {
    static SelectorTable* table = new SelectorTable; // lives for the whole process
    return *table;
}
} // namespace

const std::string& objc_detail::emptySelectorName() noexcept {
    static const std::string empty;
    return empty;
}

SEL::SEL(const char* name) : SEL(std::string_view(name ? name : "")) {}

SEL::SEL(std::string_view name) {
    auto& table = selectorTable();
    {
        std::shared_lock lock(table.mutex);
        auto it = table.names.find(name);
        if (it != table.names.end()) {
            name_ = it->second.get();
            return;
        }
    }
    auto fresh = std::make_unique<objc_detail::SelectorName>(
        objc_detail::SelectorName{std::string(name), static_cast<size_t>(std::count(name.begin(), name.end(), ':'))});
    std::unique_lock lock(table.mutex);
    auto [it, added] = table.names.try_emplace(std::string_view(fresh->name), nullptr);
    if (added) {
        it->second = std::move(fresh);
    }
    name_ = it->second.get();
}

// MARK: - Protocols

Protocol::Protocol(std::string name, std::vector<ObjCMethodDescription> required,
                   std::vector<ObjCMethodDescription> optional, std::vector<Protocol*> inherits)
    : name_(std::move(name)), required_(std::move(required)), optional_(std::move(optional)),
      inherits_(std::move(inherits)) {}

const ObjCMethodDescription* Protocol::methodDescription(SEL selector, bool required) const {
    const auto& list = required ? required_ : optional_;
    for (const auto& m : list) {
        if (m.selector == selector) {
            return &m;
        }
    }
    for (const Protocol* p : inherits_) {
        if (const auto* m = p->methodDescription(selector, required)) {
            return m;
        }
    }
    return nullptr;
}

bool Protocol::conformsToProtocol(const Protocol* other) const {
    if (other == this) {
        return true;
    }
    return std::any_of(inherits_.begin(), inherits_.end(), [&](Protocol* p) { return p->conformsToProtocol(other); });
}

namespace {
struct ProtocolTable {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<Protocol>, std::less<>> byName;
};
ProtocolTable& protocolTable() {
    static ProtocolTable* table = new ProtocolTable;
    return *table;
}
} // namespace

Protocol* objc_registerProtocol(Protocol* protocol) {
    auto& table = protocolTable();
    std::lock_guard lock(table.mutex);
    auto it = table.byName.find(protocol->name());
    if (it != table.byName.end()) {
        delete protocol;
        return it->second.get();
    }
    auto* raw = protocol;
    table.byName.emplace(protocol->name(), std::unique_ptr<Protocol>(protocol));
    return raw;
}

Protocol* NSProtocolFromString(std::string_view name) {
    auto& table = protocolTable();
    std::lock_guard lock(table.mutex);
    auto it = table.byName.find(name);
    return it == table.byName.end() ? nullptr : it->second.get();
}

// MARK: - Classes

ObjCClass::ObjCClass(std::string name, ObjCClass* superclass, std::function<id()> factory)
    : name_(std::move(name)), superclass_(superclass), factory_(std::move(factory)) {}

bool ObjCClass::isSubclassOfClass(const ObjCClass* other) const noexcept {
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        if (c == other) {
            return true;
        }
    }
    return false;
}

id ObjCClass::createInstance() const {
    return factory_ ? factory_() : nullptr;
}

const ObjCMethod* ObjCClass::ownInstanceMethod(SEL selector) const {
    std::shared_lock lock(mutex_);
    auto it = methods_.find(selector);
    return it == methods_.end() ? nullptr : it->second.get();
}

namespace {
// Each thread remembers its recent method look-ups, found or not, as (class, selector) -> method.
// Any change to any method table moves the epoch on, which empties every cache at once. A cached
// method stays valid after a replacement: replaced methods are never freed.
std::atomic<uint64_t> methodTablesEpoch{1};

struct MethodCacheEntry {
    const ObjCClass* cls;
    const void* selector;
    uint64_t epoch;
    const ObjCMethod* method;
};
constexpr size_t kMethodCacheSize = 512;
thread_local MethodCacheEntry methodCache[kMethodCacheSize];

void methodTablesChanged() noexcept {
    methodTablesEpoch.fetch_add(1, std::memory_order_acq_rel);
}
} // namespace

const ObjCMethod* ObjCClass::instanceMethod(SEL selector) const {
    uint64_t epoch = methodTablesEpoch.load(std::memory_order_acquire);
    auto hash = (reinterpret_cast<uintptr_t>(this) >> 4) ^ (reinterpret_cast<uintptr_t>(selector.key()) >> 3);
    MethodCacheEntry& entry = methodCache[hash % kMethodCacheSize];
    if (entry.cls == this && entry.selector == selector.key() && entry.epoch == epoch) {
        return entry.method;
    }
    const ObjCMethod* found = nullptr;
    for (const ObjCClass* c = this; c && !found; c = c->superclass_) {
        found = c->ownInstanceMethod(selector);
    }
    entry = {this, selector.key(), epoch, found};
    return found;
}

const ObjCClassMethod* ObjCClass::classMethod(SEL selector) const {
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        std::shared_lock lock(c->mutex_);
        auto it = c->classMethods_.find(selector);
        if (it != c->classMethods_.end()) {
            return it->second.get();
        }
    }
    return nullptr;
}

namespace {
// Replaced methods stay alive: a caller on another thread may still be running one.
std::mutex graveyardMutex;
std::vector<std::unique_ptr<ObjCMethod>>& methodGraveyard() {
    static auto* graveyard = new std::vector<std::unique_ptr<ObjCMethod>>;
    return *graveyard;
}
} // namespace

bool ObjCClass::addInstanceMethod(SEL selector, IMP imp, std::string types) {
    std::unique_lock lock(mutex_);
    if (methods_.count(selector)) {
        return false;
    }
    methods_.emplace(selector, std::make_unique<ObjCMethod>(ObjCMethod{selector, std::move(types), std::move(imp)}));
    methodTablesChanged();
    return true;
}

IMP ObjCClass::replaceInstanceMethod(SEL selector, IMP imp, std::string types) {
    std::unique_lock lock(mutex_);
    auto& slot = methods_[selector];
    IMP previous;
    if (slot) {
        previous = slot->imp;
        if (types.empty()) {
            types = slot->types;
        }
        std::lock_guard g(graveyardMutex);
        methodGraveyard().push_back(std::move(slot));
    }
    slot = std::make_unique<ObjCMethod>(ObjCMethod{selector, std::move(types), std::move(imp)});
    methodTablesChanged();
    return previous;
}

bool ObjCClass::addClassMethod(SEL selector, ClassIMP imp, std::string types) {
    std::unique_lock lock(mutex_);
    if (classMethods_.count(selector)) {
        return false;
    }
    classMethods_.emplace(
        selector, std::make_unique<ObjCClassMethod>(ObjCClassMethod{selector, std::move(types), std::move(imp)}));
    return true;
}

id ObjCClass::performClassSelector(SEL selector, const std::vector<id>& args) const {
    const auto* m = classMethod(selector);
    if (!m) {
        NSException::raise(NSInvalidArgumentException,
                           "+[" + name_ + " " + selector.name() + "]: unrecognized selector sent to class");
    }
    objc_detail::checkArity(selector, selector.argumentCount(), args);
    return m->imp(args);
}

const ObjCProperty* ObjCClass::property(std::string_view name) const {
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        std::shared_lock lock(c->mutex_);
        for (const auto& p : c->properties_) {
            if (p->name == name) {
                return p.get();
            }
        }
    }
    return nullptr;
}

std::string objc_detail::defaultSetterName(const std::string& name) {
    std::string setter = "set" + name + ":";
    if (!name.empty()) {
        setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
    }
    return setter;
}

namespace {
// Replaced properties stay alive too: a getter may be running on another thread.
std::vector<std::unique_ptr<ObjCProperty>>& propertyGraveyard() {
    static auto* graveyard = new std::vector<std::unique_ptr<ObjCProperty>>;
    return *graveyard;
}

std::string attributeStringOf(const ObjCProperty& p) {
    std::string s = "T" + p.type;
    if (p.type == "@" && !p.className.empty()) {
        s += "\"" + p.className + "\"";
    }
    if (p.readonly) {
        s += ",R";
    }
    if (p.copy) {
        s += ",C";
    } else if (p.weak) {
        s += ",W";
    } else if (!p.type.empty() && p.type[0] == '@') {
        s += ",&";
    }
    if (p.nonatomic) {
        s += ",N";
    }
    if (p.getterName != p.name) {
        s += ",G" + p.getterName;
    }
    if (p.setterName != objc_detail::defaultSetterName(p.name)) {
        s += ",S" + p.setterName;
    }
    if (p.dynamic) {
        s += ",D";
    } else if (!p.ivar.empty()) {
        s += ",V" + p.ivar;
    }
    return s;
}
} // namespace

void ObjCClass::addProperty(ObjCProperty property) {
    if (property.getterName.empty()) {
        property.getterName = property.name;
    }
    if (property.setterName.empty()) {
        property.setterName = objc_detail::defaultSetterName(property.name);
    }
    if (property.attributes.empty()) {
        property.attributes = attributeStringOf(property);
    }
    auto fresh = std::make_unique<ObjCProperty>(std::move(property));
    std::unique_lock lock(mutex_);
    for (auto& p : properties_) {
        if (p->name == fresh->name) {
            std::lock_guard g(graveyardMutex);
            propertyGraveyard().push_back(std::exchange(p, std::move(fresh)));
            return;
        }
    }
    properties_.push_back(std::move(fresh));
}

std::vector<const ObjCProperty*> ObjCClass::ownProperties() const {
    std::shared_lock lock(mutex_);
    std::vector<const ObjCProperty*> out;
    for (const auto& p : properties_) {
        out.push_back(p.get());
    }
    return out;
}

bool ObjCClass::automaticallyNotifiesObserversForKey(std::string_view key) const {
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        std::shared_lock lock(c->mutex_);
        auto it = c->manualKeys_.find(key);
        if (it != c->manualKeys_.end()) {
            return it->second;
        }
    }
    return true;
}

void ObjCClass::setAutomaticallyNotifiesObserversForKey(std::string_view key, bool automatic) {
    std::unique_lock lock(mutex_);
    manualKeys_[std::string(key)] = automatic;
}

void ObjCClass::addProtocol(Protocol* protocol) {
    std::unique_lock lock(mutex_);
    if (std::find(protocols_.begin(), protocols_.end(), protocol) == protocols_.end()) {
        protocols_.push_back(protocol);
    }
}

bool ObjCClass::conformsToProtocol(const Protocol* protocol) const {
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        std::shared_lock lock(c->mutex_);
        for (Protocol* p : c->protocols_) {
            if (p->conformsToProtocol(protocol)) {
                return true;
            }
        }
    }
    return false;
}

// MARK: - Registry

namespace {
struct ClassTable {
    std::shared_mutex mutex;
    std::map<std::string, std::unique_ptr<ObjCClass>, std::less<>> byName;
};
ClassTable& classTable() {
    static ClassTable* table = new ClassTable;
    return *table;
}
} // namespace

Class objc_registerClass(std::unique_ptr<ObjCClass> cls) {
    auto& table = classTable();
    std::unique_lock lock(table.mutex);
    auto it = table.byName.find(cls->name());
    if (it != table.byName.end()) {
        return it->second.get();
    }
    Class raw = cls.get();
    table.byName.emplace(cls->name(), std::move(cls));
    return raw;
}

Class NSClassFromString(std::string_view name) {
    auto& table = classTable();
    std::shared_lock lock(table.mutex);
    auto it = table.byName.find(name);
    return it == table.byName.end() ? nullptr : it->second.get();
}

Class NSClassFromString(const Ref<NSString>& name) {
    return name ? NSClassFromString(name->str()) : nullptr;
}

Ref<NSString> NSStringFromClass(Class cls) {
    return cls ? NSString::from(cls->name()) : nullptr;
}

SEL NSSelectorFromString(const Ref<NSString>& name) {
    return name ? SEL(name->str()) : SEL();
}

Ref<NSString> NSStringFromSelector(SEL selector) {
    return selector.isNull() ? nullptr : NSString::from(selector.name());
}

std::vector<const ObjCProperty*> class_copyPropertyList(Class cls) {
    return cls ? cls->ownProperties() : std::vector<const ObjCProperty*>{};
}

const ObjCProperty* class_getProperty(Class cls, std::string_view name) {
    return cls ? cls->property(name) : nullptr;
}

const char* property_getName(const ObjCProperty* property) {
    return property ? property->name.c_str() : nullptr;
}

const char* property_getAttributes(const ObjCProperty* property) {
    return property ? property->attributes.c_str() : nullptr;
}

std::vector<Class> objc_copyClassList() {
    auto& table = classTable();
    std::shared_lock lock(table.mutex);
    std::vector<Class> out;
    for (auto& [name, cls] : table.byName) {
        out.push_back(cls.get());
    }
    return out;
}

namespace objc_detail {

Class registerClass(const char* name, Class superclass, std::function<id()> factory,
                    const std::function<void(Class)>& setup) {
    Class cls = objc_registerClass(std::make_unique<ObjCClass>(name, superclass, std::move(factory)));
    setup(cls);
    return cls;
}

void applyPropertyAttributes(ObjCProperty& property, std::string_view attributes) {
    auto trim = [](std::string_view t) {
        while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) {
            t.remove_prefix(1);
        }
        while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) {
            t.remove_suffix(1);
        }
        return t;
    };
    while (!attributes.empty()) {
        auto comma = attributes.find(',');
        std::string_view token = trim(attributes.substr(0, comma));
        attributes = comma == std::string_view::npos ? std::string_view() : attributes.substr(comma + 1);
        auto eq = token.find('=');
        std::string_view word = trim(token.substr(0, eq));
        std::string value = eq == std::string_view::npos ? std::string() : std::string(trim(token.substr(eq + 1)));
        if (word.empty()) {
            continue;
        } else if (word == "readonly") {
            property.readonly = true;
        } else if (word == "readwrite") {
            property.readonly = false;
        } else if (word == "weak") {
            property.weak = true;
        } else if (word == "copy") {
            property.copy = true;
        } else if (word == "strong" || word == "retain" || word == "assign" || word == "unsafe_unretained") {
            // the defaults: strong for objects, plain storage for scalars
        } else if (word == "atomic") {
            property.nonatomic = false;
        } else if (word == "nonatomic") {
            property.nonatomic = true;
        } else if (word == "dynamic") {
            property.dynamic = true;
        } else if (word == "class" && !value.empty()) {
            property.className = value;
        } else if (word == "getter" && !value.empty()) {
            property.getterName = value;
        } else if (word == "setter" && !value.empty()) {
            property.setterName = value;
        } else if (word == "ivar") {
            property.ivar = value.empty() ? property.name + "_" : value;
        } else {
            NSException::raise(NSInvalidArgumentException, "unknown attribute \"" + std::string(token) +
                                                               "\" in the declaration of property " + property.name);
        }
    }
}

std::string classNameOfType(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    if (name.find('<') != std::string::npos) {
        return {}; // a template names no runtime class
    }
    auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

void raiseArgumentType(const char* expected, const id& got) {
    NSException::raise(NSInvalidArgumentException, std::string("argument of the wrong type: expected ") + expected +
                                                       ", got " + (got ? got->getClass()->name() : "nil"));
}

void checkArity(SEL selector, size_t expected, const std::vector<id>& args) {
    if (args.size() != expected) {
        NSException::raise(NSInvalidArgumentException, "-" + selector.name() + ": expected " +
                                                           std::to_string(expected) + " arguments, got " +
                                                           std::to_string(args.size()));
    }
}

} // namespace objc_detail
