// NSObject: the root of every object. Reference counting, class identity, messages by selector,
// invocation observers, associated objects, the per-object monitor, deallocation hooks, equality,
// description, copying, and key-value coding and observing.
#pragma once

#include <Runtime/Ref.h>
#include <Runtime/Runtime.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class NSString;
class NSDictionary;
class NSIndexSet;

typedef long NSInteger;
typedef unsigned long NSUInteger;
using BOOL = bool;
inline constexpr NSInteger NSNotFound = static_cast<NSInteger>(~0UL >> 1);

enum class objc_AssociationPolicy {
    Assign,          // held weakly (a dangling pointer is never handed out)
    RetainNonatomic, // policy 1
    CopyNonatomic,
    Retain, // 769: retain, atomic
    Copy,
};
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_ASSIGN = objc_AssociationPolicy::Assign;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_RETAIN_NONATOMIC = objc_AssociationPolicy::RetainNonatomic;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_COPY_NONATOMIC = objc_AssociationPolicy::CopyNonatomic;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_RETAIN = objc_AssociationPolicy::Retain;
inline constexpr objc_AssociationPolicy OBJC_ASSOCIATION_COPY = objc_AssociationPolicy::Copy;

// Key-value observing options and change kinds, with the platform's values.
using NSKeyValueObservingOptions = NSUInteger;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionNew = 0x01;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionOld = 0x02;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionInitial = 0x04;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionPrior = 0x08;

enum NSKeyValueChange : NSUInteger {
    NSKeyValueChangeSetting = 1,
    NSKeyValueChangeInsertion = 2,
    NSKeyValueChangeRemoval = 3,
    NSKeyValueChangeReplacement = 4,
};

// The keys of a change dictionary.
extern const Ref<NSString>& NSKeyValueChangeKindKey();
extern const Ref<NSString>& NSKeyValueChangeNewKey();
extern const Ref<NSString>& NSKeyValueChangeOldKey();
extern const Ref<NSString>& NSKeyValueChangeIndexesKey();
extern const Ref<NSString>& NSKeyValueChangeNotificationIsPriorKey();

// Observes calls of one selector on one object, after the method has run.
using InvocationObserver = std::function<void(NSObject* self, const std::vector<id>& args)>;

namespace objc_detail {
struct ObjectExtras;
struct KVOAccess;
}

// Declares the runtime class of a C++ class, inside its body:
//     class DXTestModel : public NSObject {
//         NS_OBJECT(DXTestModel, NSObject)
//     public: ...
// and in its source file NS_IMPLEMENT_CLASS (see ClassBuilder.h).
#define NS_OBJECT(Name, Super)                                                                                         \
public:                                                                                                                \
    using super = Super;                                                                                               \
    static Class class_();                                                                                             \
    Class getClass() const override {                                                                                  \
        return Name::class_();                                                                                         \
    }                                                                                                                  \
                                                                                                                       \
private:

class NSObject {
public:
    NSObject();
    virtual ~NSObject();
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    static Class class_();
    // The object's class (`[obj class]`); `T::class_()` is the class operation.
    virtual Class getClass() const { return NSObject::class_(); }
    Class superclass() const;
    bool isKindOfClass(Class cls) const;
    bool isMemberOfClass(Class cls) const;
    bool conformsToProtocol(const Protocol* protocol) const;

    // Messages by selector. The method is looked up in the class's table; an object that forwards
    // (forwardingTargetForSelector) passes unknown selectors on. Invocation observers registered
    // for the selector run after the method, with the same arguments.
    virtual bool respondsToSelector(SEL selector) const;
    id performSelector(SEL selector);
    id performSelectorWithObject(SEL selector, const id& object);
    id performSelectorWithObjectWithObject(SEL selector, const id& object1, const id& object2);
    // Any number of boxed arguments; raises NSInvalidArgumentException for an unknown selector or
    // a wrong argument count or type.
    id performSelectorWithArguments(SEL selector, const std::vector<id>& args);
    // Where to send a selector this object does not implement; nil by default.
    virtual id forwardingTargetForSelector(SEL selector) const;
    [[noreturn]] void doesNotRecognizeSelector(SEL selector) const;

    // Invocation observers: `observer` runs after every call of `selector` dispatched on this object.
    // With `respondIfMissing`, the object also answers the selector when its class does not
    // implement it (the call then only notifies). Returns a token for removal.
    uint64_t addInvocationObserver(SEL selector, InvocationObserver observer, bool respondIfMissing = false);
    void removeInvocationObserver(uint64_t token);
    bool hasInvocationObservers(SEL selector) const;

    // Associated objects.
    void setAssociatedObject(const void* key, const id& value, objc_AssociationPolicy policy);
    id associatedObject(const void* key) const;
    void removeAssociatedObjects();

    // The recursive per-object monitor (`@synchronized (obj)`).
    std::recursive_mutex& monitor() const;

    // Deallocation hooks run when the last strong reference goes: after weak references have stopped
    // resolving and while the object is still whole, before its destructor. Returns a token.
    uint64_t addDeallocHook(std::function<void(NSObject*)> hook);
    void removeDeallocHook(uint64_t token);
    bool isDeallocating() const noexcept;

    // Identity, equality, description, copying.
    virtual bool isEqual(const id& other) const;
    virtual NSUInteger hash() const;
    virtual Ref<NSString> description() const;
    virtual Ref<NSString> debugDescription() const;
    // An immutable copy; raises for a class that cannot be copied.
    virtual id copy() const;
    virtual id mutableCopy() const;
    virtual bool isProxy() const { return false; }

    // Key-value coding. Keys are the properties the class registers; an unknown key raises
    // NSUndefinedKeyException through valueForUndefinedKey / setValueForUndefinedKey.
    virtual id valueForKey(const Ref<NSString>& key);
    virtual void setValueForKey(const id& value, const Ref<NSString>& key);
    id valueForKeyPath(const Ref<NSString>& keyPath);
    void setValueForKeyPath(const id& value, const Ref<NSString>& keyPath);
    virtual id valueForUndefinedKey(const Ref<NSString>& key);
    virtual void setValueForUndefinedKey(const id& value, const Ref<NSString>& key);
    // Called when nil is set for a scalar property; raises NSInvalidArgumentException by default.
    virtual void setNilValueForKey(const Ref<NSString>& key);

    // Key-value observing. The observer is held weakly: once it deallocates its observations are
    // dropped silently; so are the observations of a target that deallocates. A dotted key path is
    // observed through every object along it and follows a change of any of them. The observer's
    // observeValueForKeyPathOfObjectChangeContext is called on the thread that made the change,
    // outside the runtime's locks, with the key path as registered and the observed object.
    // Raises NSInvalidArgumentException for a nil observer or an empty key path component.
    void addObserverForKeyPathOptionsContext(NSObject* observer, const Ref<NSString>& keyPath,
                                             NSKeyValueObservingOptions options, void* context);
    // Remove the most recent matching registration; raise NSRangeException when there is none.
    void removeObserverForKeyPathContext(NSObject* observer, const Ref<NSString>& keyPath, void* context);
    void removeObserverForKeyPath(NSObject* observer, const Ref<NSString>& keyPath);
    // An observer overrides this; the root's version raises NSInternalInconsistencyException, since a
    // notification that nobody handles is a mistake.
    virtual void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                             const Ref<NSDictionary>& change, void* context);
    // Manual notification. Each did pairs with the latest unpaired will for the same key on the same
    // thread, so nested pairs each notify with their own old value. The to-many forms take the kind
    // NSKeyValueChangeInsertion, Removal or Replacement and the indexes concerned.
    void willChangeValueForKey(const Ref<NSString>& key);
    void didChangeValueForKey(const Ref<NSString>& key);
    void willChangeValuesAtIndexesForKey(NSKeyValueChange change, const Ref<NSIndexSet>& indexes,
                                         const Ref<NSString>& key);
    void didChangeValuesAtIndexesForKey(NSKeyValueChange change, const Ref<NSIndexSet>& indexes,
                                        const Ref<NSString>& key);
    // Used by the property accessors: announces a change of `key` around `apply`, when the class
    // notifies automatically for that key and anybody observes this object.
    template <class F>
    void changeValueForKey(const char* key, F&& apply) {
        if (!hasKeyValueObservers()) {
            apply();
            return;
        }
        changeValueForKeySlow(key, std::function<void()>(std::forward<F>(apply)));
    }
    bool hasKeyValueObservers() const noexcept;

    // The strong references held now (0 once deallocation has begun).
    uint64_t retainCount() const noexcept;

private:
    // Reference counting is reached only through Ref and Weak. In debug builds a release that the
    // object never had (one more than its retains) stops the process with a message.
    friend void objc_detail::retain(const NSObject*) noexcept;
    friend void objc_detail::release(const NSObject*) noexcept;
    void retain() const noexcept;
    void release() const noexcept;
    friend struct objc_detail::KVOAccess;
    friend objc_detail::WeakControl* objc_detail::weakControlFor(const NSObject*);
    friend NSObject* objc_detail::weakControlLoad(objc_detail::WeakControl*) noexcept;
    void dealloc() const noexcept;
    void changeValueForKeySlow(const char* key, const std::function<void()>& apply);
    objc_detail::ObjectExtras& extras() const;
    objc_detail::ObjectExtras* extrasIfAny() const noexcept;

    mutable std::atomic<uint64_t> refs_{1};
    mutable std::atomic<objc_detail::WeakControl*> weak_{nullptr};
    mutable std::atomic<objc_detail::ObjectExtras*> extras_{nullptr};
};

// `@synchronized (obj) { ... }` becomes `NS_SYNCHRONIZED(obj) { ... }`.
#define NS_SYNCHRONIZED(obj) if (std::lock_guard<std::recursive_mutex> dx_sync_guard_{(obj)->monitor()}; true)

// Declares an observable property inside a class body: the field `name_`, the getter `name()` and
// the setter (named as given, e.g. setTitle), which announces the change to key-value observers.
// Register it for key-value coding in the class's NS_IMPLEMENT_CLASS block with b.property(...).
#define NS_PROPERTY(Type, name, setter)                                                                                \
public:                                                                                                                \
    Type name() const {                                                                                                \
        return name##_;                                                                                                \
    }                                                                                                                  \
    void setter(Type value) {                                                                                          \
        changeValueForKey(#name, [&] { name##_ = std::move(value); });                                                 \
    }                                                                                                                  \
                                                                                                                       \
protected:                                                                                                             \
    Type name##_{};                                                                                                    \
                                                                                                                       \
public:

// Declares a weak observable property of class `Type`: the field `Weak<Type> name_`, the getter
// `Ref<Type> name()` (nil once the object is gone) and the notifying setter. Register it with
// b.property("name", &T::name, &T::setName, "weak").
#define NS_WEAK_PROPERTY(Type, name, setter)                                                                           \
public:                                                                                                                \
    Ref<Type> name() const {                                                                                           \
        return name##_.lock();                                                                                         \
    }                                                                                                                  \
    void setter(const Ref<Type>& value) {                                                                              \
        changeValueForKey(#name, [&] { name##_ = value; });                                                            \
    }                                                                                                                  \
                                                                                                                       \
protected:                                                                                                             \
    Weak<Type> name##_;                                                                                                \
                                                                                                                       \
public:

// Equality that treats two nils as equal.
bool NSObjectsEqual(const id& a, const id& b);
