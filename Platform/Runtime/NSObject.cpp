#include <Runtime/ClassBuilder.h>
#include <Runtime/ObjectExtras.h>
#include <Runtime/ProtocolBuilder.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>

#include <cstdio>
#include <cstdlib>

using namespace objc_detail;

namespace {
// Once the last strong reference is gone the count is parked far above any real count, so that a
// reference taken and dropped by a deallocation hook never starts a second deallocation.
constexpr uint64_t kDeallocating = uint64_t(1) << 62;

// Deallocating an object releases what it holds, which may deallocate that in turn: a chain of
// objects each holding the next (an array in an array, a hundred thousand deep) would be freed by
// recursion, a few stack frames per level, and overflow the stack. Past this many deallocations
// under way on one thread, a further one waits in the thread's queue and runs when the outermost one
// has finished. Each object still deallocates whole and in the runtime's order (its weak references
// already answer nil while it waits, as its count is 0); only the moment moves, and only that deep.
constexpr int kNestedDeallocations = 256;
thread_local int deallocationsUnderWay = 0;
// Allocated for the first object that has to wait and freed once they are all done, so that nothing
// with a destructor is left in the thread's storage (a release at thread exit may still come here).
thread_local std::vector<const NSObject*>* waitingDeallocations = nullptr;
} // namespace

namespace objc_detail {

uint64_t nextToken() noexcept {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

void retain(const NSObject* object) noexcept {
    object->retain();
}
void release(const NSObject* object) noexcept {
    object->release();
}

WeakControl* weakControlFor(const NSObject* object) {
    WeakControl* control = object->weak_.load(std::memory_order_acquire);
    if (control) {
        return control;
    }
    auto* fresh = new WeakControl(object->isDeallocating() ? nullptr : const_cast<NSObject*>(object));
    if (object->weak_.compare_exchange_strong(control, fresh, std::memory_order_acq_rel)) {
        return fresh;
    }
    delete fresh;
    return control;
}

void weakControlRetain(WeakControl* control) noexcept {
    control->count.fetch_add(1, std::memory_order_relaxed);
}

void weakControlRelease(WeakControl* control) noexcept {
    if (control->count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete control;
    }
}

NSObject* weakControlLoad(WeakControl* control) noexcept {
    std::lock_guard lock(control->mutex);
    NSObject* object = control->object;
    if (!object) {
        return nullptr;
    }
    uint64_t current = object->refs_.load(std::memory_order_relaxed);
    while (current != 0 && current < kDeallocating) {
        if (object->refs_.compare_exchange_weak(current, current + 1, std::memory_order_acq_rel)) {
            return object;
        }
    }
    return nullptr;
}

} // namespace objc_detail

// NSObject is the root: it has no superclass, so it is registered by hand.
Class NSObject::class_() {
    static Class cls = [] {
        Class c = objc_registerClass(std::make_unique<ObjCClass>("NSObject", nullptr, [] { return make<NSObject>(); }));
        c->addProtocol(NS_PROTOCOL(NSObject));
        return c;
    }();
    return cls;
}
[[maybe_unused]] static const Class dx_registered_NSObject = NSObject::class_();

// MARK: - Lifetime

NSObject::NSObject() = default;

NSObject::~NSObject() {
    if (ObjectExtras* x = extras_.load(std::memory_order_acquire)) {
        // Associated objects go after the object's own destructors, as on the platform.
        std::unordered_map<const void*, Association> associations;
        {
            std::lock_guard lock(x->lock);
            associations.swap(x->associations);
        }
        associations.clear();
        delete x;
    }
    if (WeakControl* w = weak_.load(std::memory_order_acquire)) {
        weakControlRelease(w);
    }
}

void NSObject::retain() const noexcept {
    refs_.fetch_add(1, std::memory_order_relaxed);
}

void NSObject::release() const noexcept {
    uint64_t before = refs_.fetch_sub(1, std::memory_order_acq_rel);
#ifndef NDEBUG
    // 0: released after its last reference went; kDeallocating: released by its own deallocation more
    // often than it was retained there.
    if (before == kDeallocating) {
        std::fprintf(stderr, "NSObject: over-release of a %s at %p during its deallocation\n",
                     getClass()->name().c_str(), static_cast<const void*>(this));
        std::abort();
    }
    if (before == 0) {
        std::fprintf(stderr, "NSObject: over-release of a deallocated object at %p\n", static_cast<const void*>(this));
        std::abort();
    }
#endif
    if (before == 1) {
        dealloc();
    }
}

uint64_t NSObject::retainCount() const noexcept {
    uint64_t n = refs_.load(std::memory_order_relaxed);
    return n >= kDeallocating ? 0 : n;
}

bool NSObject::isDeallocating() const noexcept {
    uint64_t n = refs_.load(std::memory_order_acquire);
    return n == 0 || n >= kDeallocating;
}

void NSObject::dealloc() const noexcept {
    if (deallocationsUnderWay >= kNestedDeallocations) {
        if (!waitingDeallocations) {
            waitingDeallocations = new std::vector<const NSObject*>;
        }
        waitingDeallocations->push_back(this);
        return;
    }
    ++deallocationsUnderWay;
    refs_.store(kDeallocating, std::memory_order_release);
    if (WeakControl* w = weak_.load(std::memory_order_acquire)) {
        std::lock_guard lock(w->mutex);
        w->object = nullptr;
    }
    if (ObjectExtras* x = extras_.load(std::memory_order_acquire)) {
        for (;;) {
            std::vector<std::pair<uint64_t, std::function<void(NSObject*)>>> hooks;
            {
                std::lock_guard lock(x->lock);
                hooks.swap(x->deallocHooks);
            }
            if (hooks.empty()) {
                break;
            }
            for (auto& [token, hook] : hooks) {
                try {
                    hook(const_cast<NSObject*>(this));
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "exception in a deallocation hook: %s\n", e.what());
                }
            }
        }
    }
    delete this;
    if (deallocationsUnderWay == 1 && waitingDeallocations) {
        // The outermost deallocation runs those that waited, each of which may queue more.
        while (!waitingDeallocations->empty()) {
            const NSObject* next = waitingDeallocations->back();
            waitingDeallocations->pop_back();
            next->dealloc();
        }
        delete waitingDeallocations;
        waitingDeallocations = nullptr;
    }
    --deallocationsUnderWay;
}

ObjectExtras* NSObject::extrasIfAny() const noexcept {
    return extras_.load(std::memory_order_acquire);
}

ObjectExtras& NSObject::extras() const {
    ObjectExtras* x = extras_.load(std::memory_order_acquire);
    if (x) {
        return *x;
    }
    auto* fresh = new ObjectExtras;
    if (extras_.compare_exchange_strong(x, fresh, std::memory_order_acq_rel)) {
        return *fresh;
    }
    delete fresh;
    return *x;
}

uint64_t NSObject::addDeallocHook(std::function<void(NSObject*)> hook) {
    auto& x = extras();
    uint64_t token = nextToken();
    std::lock_guard lock(x.lock);
    x.deallocHooks.emplace_back(token, std::move(hook));
    return token;
}

void NSObject::removeDeallocHook(uint64_t token) {
    ObjectExtras* x = extrasIfAny();
    if (!x) {
        return;
    }
    std::lock_guard lock(x->lock);
    std::erase_if(x->deallocHooks, [&](auto& h) { return h.first == token; });
}

std::recursive_mutex& NSObject::monitor() const {
    return extras().monitor;
}

// MARK: - Associated objects

void NSObject::setAssociatedObject(const void* key, const id& value, objc_AssociationPolicy policy) {
    Association fresh;
    if (value) {
        switch (policy) {
        case objc_AssociationPolicy::Assign:
            fresh.isWeak = true;
            fresh.weak = value;
            break;
        case objc_AssociationPolicy::CopyNonatomic:
        case objc_AssociationPolicy::Copy:
            fresh.strong = value->copy(); // before anything changes: copying may raise
            break;
        case objc_AssociationPolicy::RetainNonatomic:
        case objc_AssociationPolicy::Retain:
            fresh.strong = value;
            break;
        }
    }
    auto& x = extras();
    Association old;
    {
        std::lock_guard lock(x.lock);
        auto it = x.associations.find(key);
        if (it != x.associations.end()) {
            old = std::move(it->second);
            x.associations.erase(it);
        }
        if (value) {
            x.associations.emplace(key, std::move(fresh));
        }
    }
    // `old` is released here, outside the lock, since its deallocation may run arbitrary code.
}

id NSObject::associatedObject(const void* key) const {
    ObjectExtras* x = extrasIfAny();
    if (!x) {
        return nullptr;
    }
    std::lock_guard lock(x->lock);
    auto it = x->associations.find(key);
    if (it == x->associations.end()) {
        return nullptr;
    }
    return it->second.isWeak ? it->second.weak.lock() : it->second.strong;
}

void NSObject::removeAssociatedObjects() {
    ObjectExtras* x = extrasIfAny();
    if (!x) {
        return;
    }
    std::unordered_map<const void*, Association> gone;
    {
        std::lock_guard lock(x->lock);
        gone.swap(x->associations);
    }
}

// MARK: - Classes and messages

Class NSObject::superclass() const {
    return getClass()->superclass();
}

bool NSObject::isKindOfClass(Class cls) const {
    return cls && getClass()->isSubclassOfClass(cls);
}

bool NSObject::isMemberOfClass(Class cls) const {
    return getClass() == cls;
}

bool NSObject::conformsToProtocol(const Protocol* protocol) const {
    return protocol && getClass()->conformsToProtocol(protocol);
}

bool NSObject::respondsToSelector(SEL selector) const {
    if (getClass()->instanceMethod(selector)) {
        return true;
    }
    ObjectExtras* x = extrasIfAny();
    if (!x) {
        return false;
    }
    std::lock_guard lock(x->lock);
    for (const auto& o : x->observers) {
        if (o.selector == selector && o.respondIfMissing) {
            return true;
        }
    }
    return false;
}

id NSObject::forwardingTargetForSelector(SEL) const {
    return nullptr;
}

void NSObject::doesNotRecognizeSelector(SEL selector) const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    NSException::raise(NSInvalidArgumentException, "-[" + getClass()->name() + " " + selector.name() +
                                                       "]: unrecognized selector sent to instance " + address);
}

id NSObject::performSelector(SEL selector) {
    return performSelectorWithArguments(selector, {});
}

id NSObject::performSelectorWithObject(SEL selector, const id& object) {
    return performSelectorWithArguments(selector, {object});
}

id NSObject::performSelectorWithObjectWithObject(SEL selector, const id& object1, const id& object2) {
    return performSelectorWithArguments(selector, {object1, object2});
}

id NSObject::performSelectorWithArguments(SEL selector, const std::vector<id>& args) {
    if (selector.isNull()) {
        NSException::raise(NSInvalidArgumentException, "a nil selector was sent to " + getClass()->name());
    }
    objc_detail::checkArity(selector, selector.argumentCount(), args);
    id keep(this); // the object stays alive for the whole call
    const ObjCMethod* method = getClass()->instanceMethod(selector);
    std::vector<std::shared_ptr<InvocationObserver>> observers;
    bool stubbed = false;
    if (ObjectExtras* x = extrasIfAny()) {
        std::lock_guard lock(x->lock);
        for (const auto& o : x->observers) {
            if (o.selector == selector) {
                observers.push_back(o.observer);
                stubbed = stubbed || o.respondIfMissing;
            }
        }
    }
    id result;
    if (method) {
        result = method->imp(this, args);
    } else if (!stubbed) {
        if (id target = forwardingTargetForSelector(selector)) {
            return target->performSelectorWithArguments(selector, args);
        }
        doesNotRecognizeSelector(selector);
    }
    for (const auto& o : observers) {
        (*o)(this, args);
    }
    return result;
}

uint64_t NSObject::addInvocationObserver(SEL selector, InvocationObserver observer, bool respondIfMissing) {
    auto& x = extras();
    uint64_t token = nextToken();
    std::lock_guard lock(x.lock);
    x.observers.push_back(
        {token, selector, std::make_shared<InvocationObserver>(std::move(observer)), respondIfMissing});
    return token;
}

void NSObject::removeInvocationObserver(uint64_t token) {
    ObjectExtras* x = extrasIfAny();
    if (!x) {
        return;
    }
    std::shared_ptr<InvocationObserver> gone;
    std::lock_guard lock(x->lock);
    for (auto it = x->observers.begin(); it != x->observers.end(); ++it) {
        if (it->token == token) {
            gone = it->observer;
            x->observers.erase(it);
            break;
        }
    }
}

bool NSObject::hasInvocationObservers(SEL selector) const {
    ObjectExtras* x = extrasIfAny();
    if (!x) {
        return false;
    }
    std::lock_guard lock(x->lock);
    for (const auto& o : x->observers) {
        if (o.selector == selector) {
            return true;
        }
    }
    return false;
}

// MARK: - Equality, description, copying

bool NSObject::isEqual(const id& other) const {
    return other.get() == this;
}

NSUInteger NSObject::hash() const {
    return reinterpret_cast<NSUInteger>(this);
}

Ref<NSString> NSObject::debugDescription() const {
    return description();
}

Ref<NSString> NSObject::description() const {
    return NSString::stringWithFormat("<%s: %p>", getClass()->name(), static_cast<const void*>(this));
}

id NSObject::copy() const {
    doesNotRecognizeSelector("copyWithZone:");
}

id NSObject::mutableCopy() const {
    doesNotRecognizeSelector("mutableCopyWithZone:");
}

bool NSObjectsEqual(const id& a, const id& b) {
    if (a.get() == b.get()) {
        return true;
    }
    return a && b && a->isEqual(b);
}

// MARK: - Key-value coding

id NSObject::valueForKey(const Ref<NSString>& key) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "valueForKey: with a nil key");
    }
    if (const ObjCProperty* p = getClass()->property(key->str())) {
        return p->getter(this);
    }
    return valueForUndefinedKey(key);
}

void NSObject::setValueForKey(const id& value, const Ref<NSString>& key) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "setValue:forKey: with a nil key");
    }
    const ObjCProperty* p = getClass()->property(key->str());
    if (p && p->setter) {
        p->setter(this, value);
        return;
    }
    setValueForUndefinedKey(value, key);
}

id NSObject::valueForUndefinedKey(const Ref<NSString>& key) {
    NSException::raise(NSUndefinedKeyException, "[<" + getClass()->name() +
                                                    "> valueForUndefinedKey:]: this class is not key value "
                                                    "coding-compliant for the key " +
                                                    key->str() + ".");
}

void NSObject::setValueForUndefinedKey(const id&, const Ref<NSString>& key) {
    NSException::raise(NSUndefinedKeyException, "[<" + getClass()->name() +
                                                    "> setValue:forUndefinedKey:]: this class is not key value "
                                                    "coding-compliant for the key " +
                                                    key->str() + ".");
}

void NSObject::setNilValueForKey(const Ref<NSString>& key) {
    NSException::raise(NSInvalidArgumentException,
                       "[<" + getClass()->name() + "> setNilValueForKey]: could not set nil as the value for the key " +
                           key->str() + ".");
}

id NSObject::valueForKeyPath(const Ref<NSString>& keyPath) {
    if (!keyPath) {
        NSException::raise(NSInvalidArgumentException, "valueForKeyPath: with a nil key path");
    }
    const std::string& path = keyPath->str();
    auto dot = path.find('.');
    if (dot == std::string::npos) {
        return valueForKey(keyPath);
    }
    id head = valueForKey(NSString::from(path.substr(0, dot)));
    return head ? head->valueForKeyPath(NSString::from(path.substr(dot + 1))) : nullptr;
}

void NSObject::setValueForKeyPath(const id& value, const Ref<NSString>& keyPath) {
    if (!keyPath) {
        NSException::raise(NSInvalidArgumentException, "setValue:forKeyPath: with a nil key path");
    }
    const std::string& path = keyPath->str();
    auto dot = path.rfind('.');
    if (dot == std::string::npos) {
        setValueForKey(value, keyPath);
        return;
    }
    id owner = valueForKeyPath(NSString::from(path.substr(0, dot)));
    if (owner) {
        owner->setValueForKey(value, NSString::from(path.substr(dot + 1)));
    }
}
