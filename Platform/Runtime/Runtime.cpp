#include <Runtime/ClassBuilder.h>
#include <Runtime/Runtime.h>

#include <Foundation/NSString.h>

#include <execinfo.h>

#include <algorithm>
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
struct SelectorTable {
    std::mutex mutex;
    std::unordered_set<std::string> names;
};
SelectorTable& selectorTable() {
    static SelectorTable* table = new SelectorTable; // lives for the whole process
    return *table;
}
const std::string& emptyName() {
    static const std::string empty;
    return empty;
}
} // namespace

SEL::SEL(const char* name) : SEL(std::string_view(name ? name : "")) {}

SEL::SEL(std::string_view name) {
    auto& table = selectorTable();
    std::lock_guard lock(table.mutex);
    name_ = &*table.names.emplace(name).first;
}

const std::string& SEL::name() const noexcept {
    return name_ ? *name_ : emptyName();
}

size_t SEL::argumentCount() const noexcept {
    return name_ ? static_cast<size_t>(std::count(name_->begin(), name_->end(), ':')) : 0;
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

const ObjCMethod* ObjCClass::instanceMethod(SEL selector) const {
    for (const ObjCClass* c = this; c; c = c->superclass_) {
        if (const auto* m = c->ownInstanceMethod(selector)) {
            return m;
        }
    }
    return nullptr;
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

void ObjCClass::addProperty(ObjCProperty property) {
    std::unique_lock lock(mutex_);
    for (auto& p : properties_) {
        if (p->name == property.name) {
            *p = std::move(property);
            return;
        }
    }
    properties_.push_back(std::make_unique<ObjCProperty>(std::move(property)));
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
        auto it = c->manualKeys_.find(std::string(key));
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
