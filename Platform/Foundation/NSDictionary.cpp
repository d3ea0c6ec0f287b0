#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSDictionary, NSObject) {
    b.readonlyProperty("count", &NSDictionary::count);
}
NS_IMPLEMENT_CLASS(NSMutableDictionary, NSDictionary) {}

namespace {
void checkEntry(const id& key, const id& value) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "-[NSMutableDictionary setObject:forKey:]: key cannot be nil");
    }
    if (!value) {
        NSException::raise(
            NSInvalidArgumentException,
            "-[NSMutableDictionary setObject:forKey:]: object cannot be nil (key: " + NSDescription(key)->str() + ")");
    }
}
} // namespace

NSDictionary::NSDictionary(const std::vector<Entry>& entries) {
    for (const auto& [k, v] : entries) {
        checkEntry(k, v);
        set(k, v);
    }
}

std::ptrdiff_t NSDictionary::find(const id& key) const {
    if (!key) {
        return -1;
    }
    auto [lo, hi] = index_.equal_range(key->hash());
    for (auto it = lo; it != hi; ++it) {
        if (NSObjectsEqual(entries_[it->second].first, key)) {
            return static_cast<std::ptrdiff_t>(it->second);
        }
    }
    return -1;
}

void NSDictionary::set(const id& key, const id& value) {
    auto at = find(key);
    if (at >= 0) {
        id old = std::exchange(entries_[static_cast<size_t>(at)].second, value);
        return;
    }
    id copiedKey = key->copy();
    index_.emplace(copiedKey->hash(), entries_.size());
    entries_.emplace_back(copiedKey, value);
}

void NSDictionary::remove(const id& key) {
    auto at = find(key);
    if (at < 0) {
        return;
    }
    Entry gone = std::move(entries_[static_cast<size_t>(at)]);
    entries_.erase(entries_.begin() + at);
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) {
        index_.emplace(entries_[i].first->hash(), i);
    }
}

Ref<NSDictionary> NSDictionary::dictionary() {
    return make<NSDictionary>();
}

Ref<NSDictionary> NSDictionary::dictionaryWithEntries(std::initializer_list<Entry> entries) {
    return make<NSDictionary>(std::vector<Entry>(entries));
}

Ref<NSDictionary> NSDictionary::dictionaryWithObjectsForKeys(const Ref<NSArray>& objects, const Ref<NSArray>& keys) {
    NSUInteger n = objects ? objects->count() : 0;
    if (n != (keys ? keys->count() : 0)) {
        NSException::raise(NSInvalidArgumentException, "dictionaryWithObjects:forKeys: count of objects (" +
                                                           std::to_string(n) + ") differs from count of keys");
    }
    std::vector<Entry> entries;
    for (NSUInteger i = 0; i < n; ++i) {
        entries.emplace_back(keys->objectAtIndex(i), objects->objectAtIndex(i));
    }
    return make<NSDictionary>(entries);
}

Ref<NSDictionary> NSDictionary::dictionaryWithDictionary(const Ref<NSDictionary>& other) {
    return make<NSDictionary>(other ? other->entries_ : std::vector<Entry>());
}

id NSDictionary::objectForKey(const id& key) const {
    auto at = find(key);
    return at < 0 ? nullptr : entries_[static_cast<size_t>(at)].second;
}

Ref<NSArray> NSDictionary::allKeys() const {
    std::vector<id> v;
    for (const auto& e : entries_) {
        v.push_back(e.first);
    }
    return NSArray::arrayWithVector(std::move(v));
}

Ref<NSArray> NSDictionary::allValues() const {
    std::vector<id> v;
    for (const auto& e : entries_) {
        v.push_back(e.second);
    }
    return NSArray::arrayWithVector(std::move(v));
}

Ref<NSArray> NSDictionary::allKeysForObject(const id& object) const {
    std::vector<id> v;
    for (const auto& e : entries_) {
        if (NSObjectsEqual(e.second, object)) {
            v.push_back(e.first);
        }
    }
    return NSArray::arrayWithVector(std::move(v));
}

void NSDictionary::enumerateKeysAndObjectsUsingBlock(
    const std::function<void(const id&, const id&, bool*)>& block) const {
    auto snapshot = entries_;
    bool stop = false;
    for (size_t i = 0; i < snapshot.size() && !stop; ++i) {
        block(snapshot[i].first, snapshot[i].second, &stop);
    }
}

bool NSDictionary::isEqualToDictionary(const Ref<NSDictionary>& other) const {
    if (!other || other->count() != count()) {
        return false;
    }
    for (const auto& [k, v] : entries_) {
        if (!NSObjectsEqual(other->objectForKey(k), v)) {
            return false;
        }
    }
    return true;
}

id NSDictionary::valueForKey(const Ref<NSString>& key) {
    if (key && !key->str().empty() && key->str()[0] == '@') {
        return NSObject::valueForKey(key->substringFromIndex(1));
    }
    return objectForKey(key);
}

bool NSDictionary::isEqual(const id& other) const {
    auto d = cast<NSDictionary>(other);
    return d && isEqualToDictionary(d);
}

NSUInteger NSDictionary::hash() const {
    return entries_.size();
}

Ref<NSString> NSDictionary::description() const {
    std::string out = "{\n";
    for (const auto& [k, v] : entries_) {
        std::string d = NSDescription(v)->str();
        std::string indented;
        for (char c : d) {
            indented += c;
            if (c == '\n') {
                indented += "    ";
            }
        }
        out += "    " + NSDescription(k)->str() + " = " + indented + ";\n";
    }
    return NSString::from(out + "}");
}

id NSDictionary::copy() const {
    if (getClass() == NSDictionary::class_()) {
        return id(const_cast<NSDictionary*>(this));
    }
    return make<NSDictionary>(entries_);
}

id NSDictionary::mutableCopy() const {
    return make<NSMutableDictionary>(entries_);
}

// MARK: - NSMutableDictionary

Ref<NSMutableDictionary> NSMutableDictionary::dictionary() {
    return make<NSMutableDictionary>();
}

Ref<NSMutableDictionary> NSMutableDictionary::dictionaryWithDictionary(const Ref<NSDictionary>& other) {
    return make<NSMutableDictionary>(other ? other->entries() : std::vector<Entry>());
}

void NSMutableDictionary::setObjectForKey(const id& object, const id& key) {
    checkEntry(key, object);
    set(key, object);
}

void NSMutableDictionary::setObjectForKeyedSubscript(const id& object, const id& key) {
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    setObjectForKey(object, key);
}

void NSMutableDictionary::setValueForKey(const id& value, const Ref<NSString>& key) {
    setObjectForKeyedSubscript(value, key);
}

void NSMutableDictionary::removeObjectForKey(const id& key) {
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "-[NSMutableDictionary removeObjectForKey:]: key cannot be nil");
    }
    remove(key);
}

void NSMutableDictionary::removeObjectsForKeys(const Ref<NSArray>& keys) {
    if (keys) {
        for (const auto& k : *keys) {
            remove(k);
        }
    }
}

void NSMutableDictionary::removeAllObjects() {
    std::vector<Entry> gone;
    gone.swap(entries_);
    index_.clear();
}

void NSMutableDictionary::addEntriesFromDictionary(const Ref<NSDictionary>& other) {
    if (other) {
        auto copy = other->entries();
        for (const auto& [k, v] : copy) {
            set(k, v);
        }
    }
}

id NSMutableDictionary::copy() const {
    return make<NSDictionary>(entries_);
}
