// The object runtime: selectors, classes by name, method tables, protocols and the one exception
// type that the platform raises.
#pragma once

#include <Runtime/Ref.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class NSString;
class NSObject;

// The platform's exceptions, raised as one C++ exception type. `name` is the platform's exception
// name ("NSInvalidArgumentException", "NSRangeException", "NSUndefinedKeyException",
// "NSInternalInconsistencyException", "NSGenericException"), `reason` the message.
class NSException : public std::exception {
public:
    NSException(std::string name, std::string reason) : name_(std::move(name)), reason_(std::move(reason)) {}
    [[noreturn]] static void raise(std::string name, std::string reason);
    const std::string& name() const noexcept { return name_; }
    const std::string& reason() const noexcept { return reason_; }
    const char* what() const noexcept override { return reason_.c_str(); }
    // The call stack at the raise, as text lines (for crash records).
    const std::vector<std::string>& callStackSymbols() const noexcept { return callStack_; }

private:
    std::string name_;
    std::string reason_;
    std::vector<std::string> callStack_;
};

inline constexpr const char* NSInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* NSRangeException = "NSRangeException";
inline constexpr const char* NSUndefinedKeyException = "NSUndefinedKeyException";
inline constexpr const char* NSInternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* NSGenericException = "NSGenericException";

namespace objc_detail {
// The interned record of a selector name; one per name, alive for the whole process.
struct SelectorName {
    std::string name;
    size_t argumentCount;
};
const std::string& emptySelectorName() noexcept;
} // namespace objc_detail

// A selector: an interned name such as "tableView:cellForRowAtIndexPath:". Two selectors with the
// same name are the same pointer, so comparison is cheap.
class SEL {
public:
    SEL() noexcept = default;
    SEL(const char* name);
    SEL(std::string_view name);
    SEL(const std::string& name) : SEL(std::string_view(name)) {}
    const std::string& name() const noexcept { return name_ ? name_->name : objc_detail::emptySelectorName(); }
    const char* c_str() const noexcept { return name().c_str(); }
    // The number of arguments the selector takes: its count of ':'.
    size_t argumentCount() const noexcept { return name_ ? name_->argumentCount : 0; }
    bool isNull() const noexcept { return name_ == nullptr; }
    bool operator==(const SEL& o) const noexcept { return name_ == o.name_; }
    const void* key() const noexcept { return name_; }

private:
    const objc_detail::SelectorName* name_ = nullptr;
};

template <>
struct std::hash<SEL> {
    size_t operator()(const SEL& s) const noexcept { return std::hash<const void*>()(s.key()); }
};

using IMP = std::function<id(NSObject* self, const std::vector<id>& args)>;
using ClassIMP = std::function<id(const std::vector<id>& args)>;

struct ObjCMethod {
    SEL selector;
    std::string types; // type encoding, such as "v@:@q"
    IMP imp;
};

struct ObjCClassMethod {
    SEL selector;
    std::string types;
    ClassIMP imp;
};

// A property that key-value coding reaches by name.
struct ObjCProperty {
    std::string name;
    std::string type;      // type encoding of the value: "@", "B", "q", "d", ...
    std::string className; // for objects, the class named in the declaration (may be empty)
    bool readonly = false;
    bool weak = false;
    bool copy = false;
    std::function<id(NSObject*)> getter;
    std::function<void(NSObject*, const id&)> setter; // empty when read-only
    // The rest of the declaration, as the platform's attribute string tells it. Filled in with
    // defaults when the property is added to its class.
    bool nonatomic = true;
    bool dynamic = false;
    std::string getterName; // selector of the getter; the property's name by default
    std::string setterName; // selector of the setter; "setName:" by default
    std::string ivar;       // the storage behind the property; empty for a computed property
    // The platform's attribute string, such as `T@"NSString",C,N,Vtitle_` or `TB,R,N,GisEnabled`:
    // T type (with the class name for objects), R read-only, C copy, & strong, W weak, N
    // non-atomic, G getter, S setter, D dynamic, V storage.
    std::string attributes;
};

struct ObjCMethodDescription {
    SEL selector;
    std::string types;
};

// A protocol: a named set of required and optional methods with their type encodings.
class Protocol {
public:
    Protocol(std::string name, std::vector<ObjCMethodDescription> required, std::vector<ObjCMethodDescription> optional,
             std::vector<Protocol*> inherits = {});
    const std::string& name() const noexcept { return name_; }
    // The description of a method of the protocol, or nullptr.
    const ObjCMethodDescription* methodDescription(SEL selector, bool required) const;
    const std::vector<ObjCMethodDescription>& requiredMethods() const noexcept { return required_; }
    const std::vector<ObjCMethodDescription>& optionalMethods() const noexcept { return optional_; }
    bool conformsToProtocol(const Protocol* other) const;

private:
    std::string name_;
    std::vector<ObjCMethodDescription> required_;
    std::vector<ObjCMethodDescription> optional_;
    std::vector<Protocol*> inherits_;
};

// Registers a protocol once per process and returns it; later calls with the same name return the
// first registration.
Protocol* objc_registerProtocol(Protocol* protocol);
Protocol* NSProtocolFromString(std::string_view name);

// A class: its name, superclass, factory, method tables and properties. Made once per process.
class ObjCClass {
public:
    ObjCClass(std::string name, ObjCClass* superclass, std::function<id()> factory);

    const std::string& name() const noexcept { return name_; }
    ObjCClass* superclass() const noexcept { return superclass_; }
    bool isSubclassOfClass(const ObjCClass* other) const noexcept;
    // A new instance made by the class's plain initialiser (+new), or nil for a class that has none.
    id createInstance() const;
    bool canCreateInstances() const noexcept { return static_cast<bool>(factory_); }

    // Method tables. Look-ups walk the superclass chain.
    const ObjCMethod* instanceMethod(SEL selector) const;
    const ObjCMethod* ownInstanceMethod(SEL selector) const;
    const ObjCClassMethod* classMethod(SEL selector) const;
    bool instancesRespondToSelector(SEL selector) const { return instanceMethod(selector) != nullptr; }
    bool respondsToSelector(SEL selector) const { return classMethod(selector) != nullptr; }
    // Adds a method; false when the class itself already has one for the selector.
    bool addInstanceMethod(SEL selector, IMP imp, std::string types = {});
    // Replaces (or adds) a method and returns the implementation it replaced (empty when none).
    IMP replaceInstanceMethod(SEL selector, IMP imp, std::string types = {});
    bool addClassMethod(SEL selector, ClassIMP imp, std::string types = {});
    // Calls a class operation by selector; raises NSInvalidArgumentException when there is none.
    id performClassSelector(SEL selector, const std::vector<id>& args = {}) const;

    // Properties for key-value coding, walking the superclass chain.
    const ObjCProperty* property(std::string_view name) const;
    void addProperty(ObjCProperty property);
    std::vector<const ObjCProperty*> ownProperties() const;

    // Key-value observing: whether changes of a key are announced automatically.
    bool automaticallyNotifiesObserversForKey(std::string_view key) const;
    void setAutomaticallyNotifiesObserversForKey(std::string_view key, bool automatic);

    void addProtocol(Protocol* protocol);
    bool conformsToProtocol(const Protocol* protocol) const;

private:
    std::string name_;
    ObjCClass* superclass_;
    std::function<id()> factory_;
    mutable std::shared_mutex mutex_;
    std::unordered_map<SEL, std::unique_ptr<ObjCMethod>> methods_;
    std::unordered_map<SEL, std::unique_ptr<ObjCClassMethod>> classMethods_;
    std::vector<std::unique_ptr<ObjCProperty>> properties_;
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
    };
    std::unordered_map<std::string, bool, KeyHash, std::equal_to<>> manualKeys_;
    std::vector<Protocol*> protocols_;
};

using Class = ObjCClass*;

// Registers a class under its name. The first registration of a name wins.
Class objc_registerClass(std::unique_ptr<ObjCClass> cls);
// The class registered under a name, or nil.
Class NSClassFromString(std::string_view name);
Class NSClassFromString(const Ref<NSString>& name);
Ref<NSString> NSStringFromClass(Class cls);
SEL NSSelectorFromString(const Ref<NSString>& name);
Ref<NSString> NSStringFromSelector(SEL selector);
std::vector<Class> objc_copyClassList();

// Property reflection. class_copyPropertyList lists the properties the class itself declares, in
// declaration order (superclasses are not included); class_getProperty also searches superclasses.
std::vector<const ObjCProperty*> class_copyPropertyList(Class cls);
const ObjCProperty* class_getProperty(Class cls, std::string_view name);
const char* property_getName(const ObjCProperty* property);
const char* property_getAttributes(const ObjCProperty* property);
