// Key-value observing.
//
// An observed object keeps a KVOState: the registrations made on it and, per key, the entries that
// watch that key on it. An entry is (observation, depth): the observation of "a.b.c" registered on
// T has an entry for "a" on T (depth 0), one for "b" on T's a (depth 1) and one for "c" on that
// object's b (depth 2). When a value along the path changes, the observation is re-linked from T:
// the entries on the objects it no longer passes through are removed, entries on the new ones added.
//
// Every reference from an observation to an object is weak, so observing never keeps the target,
// the observer or an object along the path alive. A deallocating target or observer takes its
// registrations with it; an intermediate object takes its entries with it.
//
// Locks: an observation's mutex may be held while taking an object's KVOState mutex, never the
// reverse. No lock is held while user code runs (getters, observers' callbacks).
//
// willChange records the old values on a per-thread stack; didChange pops the latest record for the
// same object and key, so nested pairs match.
#include <Runtime/ClassBuilder.h>
#include <Runtime/ObjectExtras.h>

#include <Foundation/NSDictionary.h>
#include <Foundation/NSIndexSet.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

using namespace objc_detail;

namespace objc_detail {

namespace {

struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
};

std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        parts.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

} // namespace

// One registration: an observer watching a key path of a target.
struct Observation {
    Weak<NSObject> observer;
    const void* observerIdentity = nullptr;
    Weak<NSObject> target;
    const void* targetIdentity = nullptr;
    Ref<NSString> keyPath;
    std::vector<Ref<NSString>> keys;  // the components of the key path
    std::vector<Ref<NSString>> tails; // tails[i]: the key path from component i on
    NSKeyValueObservingOptions options = 0;
    void* context = nullptr;

    std::mutex mutex; // guards the fields below
    bool active = true;
    uint64_t relinksStarted = 0;
    uint64_t relinkInstalled = 0;
    std::vector<Weak<NSObject>> links; // links[i] (i >= 1): the object holding entry i
    uint64_t observerHook = 0;         // the observer's deallocation hook

    size_t depthCount() const noexcept { return keys.size(); }
    bool wants(NSKeyValueObservingOptions option) const noexcept { return (options & option) != 0; }
};

struct Entry {
    std::shared_ptr<Observation> observation;
    size_t depth;
};

struct KVOState {
    std::mutex mutex;
    std::vector<std::shared_ptr<Observation>> registrations; // made on this object, oldest first
    std::unordered_map<std::string, std::vector<Entry>, StringHash, std::equal_to<>> entries;
    std::atomic<size_t> entryCount{0};
};

namespace {

struct PendingItem {
    std::shared_ptr<Observation> observation;
    size_t depth;
    id old;
};

// A willChange waiting for its didChange.
struct PendingChange {
    const NSObject* object = nullptr;
    std::string key;
    NSKeyValueChange kind = NSKeyValueChangeSetting;
    Ref<NSIndexSet> indexes;
    std::vector<PendingItem> items;
};

thread_local std::vector<PendingChange> pendingChanges;

} // namespace

struct KVOAccess {
    static KVOState* stateIfAny(const NSObject* object) noexcept {
        ObjectExtras* x = object->extrasIfAny();
        return x ? x->kvo.load(std::memory_order_acquire) : nullptr;
    }

    static KVOState& state(const NSObject* object) {
        ObjectExtras& x = object->extras();
        KVOState* s = x.kvo.load(std::memory_order_acquire);
        if (s) {
            return *s;
        }
        auto* fresh = new KVOState;
        if (x.kvo.compare_exchange_strong(s, fresh, std::memory_order_acq_rel)) {
            return *fresh;
        }
        delete fresh;
        return *s;
    }

    static bool observesKey(const NSObject* object, std::string_view key) {
        KVOState* s = stateIfAny(object);
        if (!s || s->entryCount.load(std::memory_order_acquire) == 0) {
            return false;
        }
        std::lock_guard lock(s->mutex);
        return s->entries.find(key) != s->entries.end();
    }

    static void attach(NSObject* object, const std::shared_ptr<Observation>& o, size_t depth) {
        KVOState& s = state(object);
        std::lock_guard lock(s.mutex);
        s.entries[o->keys[depth]->str()].push_back({o, depth});
        s.entryCount.fetch_add(1, std::memory_order_acq_rel);
    }

    static void detach(NSObject* object, const Observation* o, size_t depth) {
        KVOState* s = stateIfAny(object);
        if (!s) {
            return;
        }
        std::shared_ptr<Observation> gone; // released after the lock
        std::lock_guard lock(s->mutex);
        auto it = s->entries.find(o->keys[depth]->str());
        if (it == s->entries.end()) {
            return;
        }
        auto& list = it->second;
        auto e = std::find_if(list.begin(), list.end(),
                              [&](const Entry& x) { return x.observation.get() == o && x.depth == depth; });
        if (e == list.end()) {
            return;
        }
        gone = std::move(e->observation);
        list.erase(e);
        s->entryCount.fetch_sub(1, std::memory_order_acq_rel);
        if (list.empty()) {
            s->entries.erase(it);
        }
    }

    // Removes a registration and its entry at depth 0 from the object it was made on. Harmless when
    // it is already gone.
    static void unregister(NSObject* target, const Observation* o) {
        KVOState* s = stateIfAny(target);
        if (!s) {
            return;
        }
        std::shared_ptr<Observation> gone;
        {
            std::lock_guard lock(s->mutex);
            auto r = std::find_if(s->registrations.begin(), s->registrations.end(),
                                  [&](const auto& x) { return x.get() == o; });
            if (r == s->registrations.end()) {
                return;
            }
            gone = std::move(*r);
            s->registrations.erase(r);
        }
        detach(target, o, 0);
    }

    // Ends an observation: no more notifications, and no entries left on objects along its path.
    static void finish(const std::shared_ptr<Observation>& o, bool removeObserverHook) {
        std::vector<Weak<NSObject>> links;
        uint64_t hook = 0;
        {
            std::lock_guard lock(o->mutex);
            if (!o->active) {
                return;
            }
            o->active = false;
            links.swap(o->links);
            hook = std::exchange(o->observerHook, 0);
        }
        for (size_t i = 1; i < links.size(); ++i) {
            if (id object = links[i].lock()) {
                detach(object.get(), o.get(), i);
            }
        }
        if (hook && removeObserverHook) {
            if (id observer = o->observer.lock()) {
                observer->removeDeallocHook(hook);
            }
        }
    }

    // Links the observation to the objects its key path passes through now. Of concurrent re-links
    // the one that started last wins: it read the values after every change that preceded it.
    static void relink(const std::shared_ptr<Observation>& o) {
        size_t n = o->depthCount();
        if (n < 2) {
            return;
        }
        uint64_t ticket;
        {
            std::lock_guard lock(o->mutex);
            if (!o->active) {
                return;
            }
            ticket = ++o->relinksStarted;
        }
        id root = o->target.lock();
        if (!root) {
            return;
        }
        std::vector<id> objects(n);
        objects[0] = root;
        for (size_t i = 0; i + 1 < n && objects[i]; ++i) {
            objects[i + 1] = objects[i]->valueForKey(o->keys[i]);
        }
        std::vector<id> previous; // released after the lock: a release may deallocate
        std::lock_guard lock(o->mutex);
        if (!o->active || ticket < o->relinkInstalled) {
            return;
        }
        o->relinkInstalled = ticket;
        for (size_t i = 1; i < n; ++i) {
            id old = o->links[i].lock();
            if (old == objects[i]) {
                continue;
            }
            if (old) {
                detach(old.get(), o.get(), i);
                previous.push_back(std::move(old));
            }
            o->links[i] = objects[i];
            if (objects[i]) {
                attach(objects[i].get(), o, i);
            }
        }
    }

    // Whether `object` is where the observation's entry at `depth` belongs now.
    static bool isLinked(Observation& o, size_t depth, const NSObject* object) {
        std::lock_guard lock(o.mutex);
        if (!o.active) {
            return false;
        }
        if (depth == 0) {
            return o.targetIdentity == object;
        }
        return depth < o.links.size() && o.links[depth].unsafePointer() == object;
    }

    // The value of the rest of the key path from `object`; for a to-many change, the objects at the
    // changed indexes.
    static id valueFrom(NSObject* object, const Observation& o, size_t depth, NSKeyValueChange kind,
                        const Ref<NSIndexSet>& indexes) {
        id value = object->valueForKeyPath(o.tails[depth]);
        if (kind == NSKeyValueChangeSetting) {
            return value;
        }
        auto array = cast<NSArray>(value);
        if (!array || !indexes) {
            return nullptr;
        }
        std::vector<id> picked;
        for (NSRange r : indexes->ranges()) {
            for (NSUInteger i = r.location; i < NSMaxRange(r); ++i) {
                picked.push_back(array->objectAtIndex(i));
            }
        }
        return NSArray::arrayWithVector(std::move(picked));
    }

    static Ref<NSDictionary> makeChange(NSKeyValueChange kind, const Ref<NSIndexSet>& indexes, bool hasNew,
                                        const id& newValue, bool hasOld, const id& oldValue, bool prior) {
        std::vector<NSDictionary::Entry> entries;
        entries.emplace_back(NSKeyValueChangeKindKey(), NSNumber::numberWithUnsignedInteger(kind));
        auto orNull = [](const id& v) -> id { return v ? v : id(NSNull::null()); };
        if (hasNew) {
            entries.emplace_back(NSKeyValueChangeNewKey(), orNull(newValue));
        }
        if (hasOld) {
            entries.emplace_back(NSKeyValueChangeOldKey(), orNull(oldValue));
        }
        if (indexes) {
            entries.emplace_back(NSKeyValueChangeIndexesKey(), indexes);
        }
        if (prior) {
            entries.emplace_back(NSKeyValueChangeNotificationIsPriorKey(), NSNumber::numberWithBool(true));
        }
        return make<NSDictionary>(entries);
    }

    static void deliver(const std::shared_ptr<Observation>& o, const Ref<NSDictionary>& change) {
        id target = o->target.lock();
        if (!target) {
            return;
        }
        id observer = o->observer.lock();
        if (!observer) {
            unregister(target.get(), o.get());
            finish(o, false);
            return;
        }
        {
            std::lock_guard lock(o->mutex);
            if (!o->active) {
                return;
            }
        }
        observer->observeValueForKeyPathOfObjectChangeContext(o->keyPath, target, change, o->context);
    }

    // `recorded` is set once a record waits for the didChange (before any prior notification).
    static void willChange(NSObject* object, std::string_view key, NSKeyValueChange kind,
                           const Ref<NSIndexSet>& indexes, bool* recorded = nullptr) {
        if (object->isDeallocating()) {
            return;
        }
        KVOState* s = stateIfAny(object);
        if (!s || s->entryCount.load(std::memory_order_acquire) == 0) {
            return;
        }
        std::vector<Entry> entries;
        {
            std::lock_guard lock(s->mutex);
            auto it = s->entries.find(key);
            if (it == s->entries.end()) {
                return;
            }
            entries = it->second;
        }
        bool toMany = kind != NSKeyValueChangeSetting;
        PendingChange change{object, std::string(key), kind, toMany ? indexes : nullptr, {}};
        for (auto& e : entries) {
            if (!isLinked(*e.observation, e.depth, object)) {
                continue;
            }
            bool wantsOld = e.observation->wants(NSKeyValueObservingOptionOld) &&
                            (!toMany || kind == NSKeyValueChangeRemoval || kind == NSKeyValueChangeReplacement);
            id old = wantsOld ? valueFrom(object, *e.observation, e.depth, kind, change.indexes) : nullptr;
            change.items.push_back({std::move(e.observation), e.depth, std::move(old)});
        }
        if (change.items.empty()) {
            return;
        }
        std::vector<PendingItem> priors;
        for (const auto& item : change.items) {
            if (item.observation->wants(NSKeyValueObservingOptionPrior)) {
                priors.push_back(item);
            }
        }
        Ref<NSIndexSet> changeIndexes = change.indexes;
        pendingChanges.push_back(std::move(change));
        if (recorded) {
            *recorded = true;
        }
        for (const auto& item : priors) {
            bool hasOld = item.observation->wants(NSKeyValueObservingOptionOld) &&
                          (!toMany || kind == NSKeyValueChangeRemoval || kind == NSKeyValueChangeReplacement);
            deliver(item.observation, makeChange(kind, changeIndexes, false, nullptr, hasOld, item.old, true));
        }
    }

    static bool popPending(const NSObject* object, std::string_view key, PendingChange& out) {
        auto& stack = pendingChanges;
        for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
            if (it->object == object && it->key == key) {
                out = std::move(*it);
                stack.erase(std::next(it).base());
                return true;
            }
        }
        return false;
    }

    static void didChange(NSObject* object, std::string_view key) {
        PendingChange change;
        if (!popPending(object, key, change) || object->isDeallocating()) {
            return;
        }
        bool toMany = change.kind != NSKeyValueChangeSetting;
        std::vector<const Observation*> relinked;
        for (const auto& item : change.items) {
            const auto& o = item.observation;
            if (item.depth + 1 < o->depthCount() &&
                std::find(relinked.begin(), relinked.end(), o.get()) == relinked.end()) {
                relinked.push_back(o.get());
                relink(o);
            }
        }
        for (const auto& item : change.items) {
            const auto& o = item.observation;
            {
                std::lock_guard lock(o->mutex);
                if (!o->active) {
                    continue;
                }
            }
            bool hasNew =
                o->wants(NSKeyValueObservingOptionNew) &&
                (!toMany || change.kind == NSKeyValueChangeInsertion || change.kind == NSKeyValueChangeReplacement);
            bool hasOld =
                o->wants(NSKeyValueObservingOptionOld) &&
                (!toMany || change.kind == NSKeyValueChangeRemoval || change.kind == NSKeyValueChangeReplacement);
            id now = hasNew ? valueFrom(object, *o, item.depth, change.kind, change.indexes) : nullptr;
            deliver(o, makeChange(change.kind, change.indexes, hasNew, now, hasOld, item.old, false));
        }
    }

    // Drops the pending record of a change that failed half-way.
    static void discard(const NSObject* object, std::string_view key) {
        PendingChange change;
        popPending(object, key, change);
    }

    static void add(NSObject* target, NSObject* observer, const Ref<NSString>& keyPath,
                    NSKeyValueObservingOptions options, void* context) {
        if (!observer) {
            NSException::raise(NSInvalidArgumentException,
                               "addObserver:forKeyPath:options:context: with a nil observer");
        }
        if (!keyPath) {
            NSException::raise(NSInvalidArgumentException,
                               "addObserver:forKeyPath:options:context: with a nil key path");
        }
        auto o = std::make_shared<Observation>();
        o->observer = observer;
        o->observerIdentity = observer;
        o->target = target;
        o->targetIdentity = target;
        o->keyPath = cast<NSString>(keyPath->copy());
        o->options = options;
        o->context = context;
        auto parts = splitKeyPath(keyPath->str());
        for (size_t i = 0; i < parts.size(); ++i) {
            if (parts[i].empty()) {
                NSException::raise(NSInvalidArgumentException,
                                   "the key path \"" + keyPath->str() + "\" has an empty component");
            }
            o->keys.push_back(NSString::from(parts[i]));
            std::string tail = parts[i];
            for (size_t j = i + 1; j < parts.size(); ++j) {
                tail += "." + parts[j];
            }
            o->tails.push_back(NSString::from(tail));
        }
        o->links.resize(parts.size());

        {
            // The registration and its first entry appear together, so that a removal on another
            // thread finds both or neither.
            KVOState& s = state(target);
            std::lock_guard lock(s.mutex);
            s.registrations.push_back(o);
            s.entries[o->keys[0]->str()].push_back({o, 0});
            s.entryCount.fetch_add(1, std::memory_order_acq_rel);
        }
        // Reading the key path may raise (a key the class does not know): then nothing stays behind.
        bool initial = (options & NSKeyValueObservingOptionInitial) != 0;
        bool initialHasNew = initial && o->wants(NSKeyValueObservingOptionNew);
        id initialValue;
        try {
            relink(o);
            if (initialHasNew) {
                initialValue = target->valueForKeyPath(o->keyPath);
            }
        } catch (...) {
            unregister(target, o.get());
            finish(o, false);
            throw;
        }

        std::weak_ptr<Observation> weakObservation = o;
        uint64_t hook = observer->addDeallocHook([weakObservation](NSObject*) {
            auto observation = weakObservation.lock();
            if (!observation) {
                return;
            }
            {
                std::lock_guard lock(observation->mutex);
                observation->observerHook = 0;
            }
            if (id t = observation->target.lock()) {
                unregister(t.get(), observation.get());
            }
            finish(observation, false);
        });
        bool removed;
        {
            std::lock_guard lock(o->mutex);
            removed = !o->active;
            if (!removed) {
                o->observerHook = hook;
            }
        }
        if (removed) {
            observer->removeDeallocHook(hook);
            return;
        }

        if (initial) {
            deliver(o,
                    makeChange(NSKeyValueChangeSetting, nullptr, initialHasNew, initialValue, false, nullptr, false));
        }
    }

    static void remove(NSObject* target, NSObject* observer, const Ref<NSString>& keyPath, bool anyContext,
                       void* context) {
        std::shared_ptr<Observation> found;
        if (KVOState* s = stateIfAny(target); s && keyPath) {
            std::lock_guard lock(s->mutex);
            for (auto r = s->registrations.rbegin(); r != s->registrations.rend(); ++r) {
                const auto& o = *r;
                if (o->observerIdentity == observer && o->keyPath->isEqualToString(keyPath) &&
                    (anyContext || o->context == context)) {
                    found = o;
                    break;
                }
            }
        }
        if (!found) {
            char text[160];
            std::snprintf(text, sizeof text, "<%s %p>", observer ? observer->getClass()->name().c_str() : "nil",
                          static_cast<const void*>(observer));
            std::string who = text;
            std::snprintf(text, sizeof text, "<%s %p>", target->getClass()->name().c_str(),
                          static_cast<const void*>(target));
            NSException::raise(NSRangeException, "Cannot remove an observer " + who + " for the key path \"" +
                                                     (keyPath ? keyPath->str() : std::string("(null)")) + "\" from " +
                                                     text + " because it is not registered as an observer.");
        }
        unregister(target, found.get());
        finish(found, true);
    }
};

void destroyKVOState(KVOState* state) noexcept {
    if (!state) {
        return;
    }
    // The object is gone: nobody else can reach this state any more.
    std::vector<std::shared_ptr<Observation>> registrations;
    std::unordered_map<std::string, std::vector<Entry>, StringHash, std::equal_to<>> entries;
    {
        std::lock_guard lock(state->mutex);
        registrations.swap(state->registrations);
        entries.swap(state->entries);
    }
    entries.clear();
    for (const auto& o : registrations) {
        KVOAccess::finish(o, true);
    }
    delete state;
}

} // namespace objc_detail

// Never destroyed: threads that outlive main() may still read them while the process exits.
const Ref<NSString>& NSKeyValueChangeKindKey() {
    static const Ref<NSString>& key = *new Ref<NSString>(NSString::from("kind"));
    return key;
}
const Ref<NSString>& NSKeyValueChangeNewKey() {
    static const Ref<NSString>& key = *new Ref<NSString>(NSString::from("new"));
    return key;
}
const Ref<NSString>& NSKeyValueChangeOldKey() {
    static const Ref<NSString>& key = *new Ref<NSString>(NSString::from("old"));
    return key;
}
const Ref<NSString>& NSKeyValueChangeIndexesKey() {
    static const Ref<NSString>& key = *new Ref<NSString>(NSString::from("indexes"));
    return key;
}
const Ref<NSString>& NSKeyValueChangeNotificationIsPriorKey() {
    static const Ref<NSString>& key = *new Ref<NSString>(NSString::from("notificationIsPrior"));
    return key;
}

bool NSObject::hasKeyValueObservers() const noexcept {
    KVOState* s = KVOAccess::stateIfAny(this);
    return s && s->entryCount.load(std::memory_order_acquire) > 0;
}

void NSObject::changeValueForKeySlow(const char* key, const std::function<void()>& apply) {
    std::string_view k(key);
    if (!KVOAccess::observesKey(this, k) || !getClass()->automaticallyNotifiesObserversForKey(k)) {
        apply();
        return;
    }
    bool recorded = false;
    try {
        KVOAccess::willChange(this, k, NSKeyValueChangeSetting, nullptr, &recorded);
        apply();
    } catch (...) {
        if (recorded) {
            KVOAccess::discard(this, k); // the change failed half-way: no didChange will come
        }
        throw;
    }
    KVOAccess::didChange(this, k);
}

void NSObject::addObserverForKeyPathOptionsContext(NSObject* observer, const Ref<NSString>& keyPath,
                                                   NSKeyValueObservingOptions options, void* context) {
    KVOAccess::add(this, observer, keyPath, options, context);
}

void NSObject::removeObserverForKeyPathContext(NSObject* observer, const Ref<NSString>& keyPath, void* context) {
    KVOAccess::remove(this, observer, keyPath, false, context);
}

void NSObject::removeObserverForKeyPath(NSObject* observer, const Ref<NSString>& keyPath) {
    KVOAccess::remove(this, observer, keyPath, true, nullptr);
}

void NSObject::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                           const Ref<NSDictionary>&, void*) {
    NSException::raise(NSInternalInconsistencyException,
                       "<" + getClass()->name() +
                           ">: An -observeValueForKeyPath:ofObject:change:context: message was received but not "
                           "handled. Key path: " +
                           (keyPath ? keyPath->str() : std::string("(null)")) +
                           ", observed object: " + (object ? object->getClass()->name() : std::string("nil")));
}

void NSObject::willChangeValueForKey(const Ref<NSString>& key) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "willChangeValueForKey: with a nil key");
    }
    KVOAccess::willChange(this, key->str(), NSKeyValueChangeSetting, nullptr);
}

void NSObject::didChangeValueForKey(const Ref<NSString>& key) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "didChangeValueForKey: with a nil key");
    }
    KVOAccess::didChange(this, key->str());
}

namespace {
void checkToMany(NSKeyValueChange change, const Ref<NSIndexSet>& indexes, const Ref<NSString>& key) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "a to-many change with a nil key");
    }
    if (change != NSKeyValueChangeInsertion && change != NSKeyValueChangeRemoval &&
        change != NSKeyValueChangeReplacement) {
        NSException::raise(NSInvalidArgumentException, "a to-many change of the key " + key->str() +
                                                           " must be an insertion, a removal or a replacement");
    }
    if (!indexes) {
        NSException::raise(NSInvalidArgumentException,
                           "a to-many change of the key " + key->str() + " without indexes");
    }
}
} // namespace

void NSObject::willChangeValuesAtIndexesForKey(NSKeyValueChange change, const Ref<NSIndexSet>& indexes,
                                               const Ref<NSString>& key) {
    checkToMany(change, indexes, key);
    KVOAccess::willChange(this, key->str(), change, indexes);
}

void NSObject::didChangeValuesAtIndexesForKey(NSKeyValueChange change, const Ref<NSIndexSet>& indexes,
                                              const Ref<NSString>& key) {
    checkToMany(change, indexes, key);
    KVOAccess::didChange(this, key->str());
}
