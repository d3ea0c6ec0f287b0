#include <Foundation/CollectionDescription.h>
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

NSDictionary::NSDictionary(const std::vector<Entry>& entries) : NSDictionary(std::vector<Entry>(entries)) {}

NSDictionary::NSDictionary(std::vector<Entry>&& entries) : entries_(std::move(entries)) {
    // The entries are taken over in place: [0, kept) is the dictionary so far, a repeated key
    // updates the value of its first entry and leaves a hole that the next entries close.
    const size_t n = entries_.size();
    hashes_.reserve(n);
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
        Entry& e = entries_[i];
        checkEntry(e.first, e.second);
        NSUInteger hash = e.first->hash();
        if (auto at = findHashed(e.first, hash); at >= 0) {
            entries_[static_cast<size_t>(at)].second = std::move(e.second);
            continue;
        }
        if (id copiedKey = e.first->copy(); copiedKey.get() != e.first.get()) {
            hash = copiedKey->hash();
            e.first = std::move(copiedKey);
        }
        if (kept != i) {
            entries_[kept] = std::move(e);
        }
        ++kept;
        hashes_.push_back(hash);
        indexEntry(kept - 1);
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(kept), entries_.end());
}

namespace {
size_t slotFor(NSUInteger hash, size_t mask) {
    uint64_t x = static_cast<uint64_t>(hash) * 0x9E3779B97F4A7C15ULL;
    return static_cast<size_t>(x ^ (x >> 29)) & mask;
}
} // namespace

std::ptrdiff_t NSDictionary::findHashed(const id& key, NSUInteger hash) const {
    if (table_.empty()) {
        for (size_t i = 0; i < hashes_.size(); ++i) {
            if (hashes_[i] == hash && NSObjectsEqual(entries_[i].first, key)) {
                return static_cast<std::ptrdiff_t>(i);
            }
        }
        return -1;
    }
    const size_t mask = table_.size() - 1;
    for (size_t slot = slotFor(hash, mask);; slot = (slot + 1) & mask) {
        uint32_t stored = table_[slot];
        if (stored == 0) {
            return -1;
        }
        size_t at = stored - 1;
        if (hashes_[at] == hash && NSObjectsEqual(entries_[at].first, key)) {
            return static_cast<std::ptrdiff_t>(at);
        }
    }
}

// Called once hashes_[at] is set for the entry at `at`, the last one.
void NSDictionary::indexEntry(size_t at) {
    const size_t count = hashes_.size();
    if (count <= kLinearLimit) {
        return;
    }
    if (table_.size() < 2 * count) {
        rebuildIndex();
        return;
    }
    const size_t mask = table_.size() - 1;
    size_t slot = slotFor(hashes_[at], mask);
    while (table_[slot] != 0) {
        slot = (slot + 1) & mask;
    }
    table_[slot] = static_cast<uint32_t>(at + 1);
}

void NSDictionary::rebuildIndex() {
    const size_t count = hashes_.size();
    if (count <= kLinearLimit) {
        table_.clear();
        table_.shrink_to_fit();
        return;
    }
    size_t size = 32;
    while (size < 2 * count) {
        size *= 2;
    }
    table_.assign(size, 0);
    const size_t mask = size - 1;
    for (size_t at = 0; at < count; ++at) {
        size_t slot = slotFor(hashes_[at], mask);
        while (table_[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        table_[slot] = static_cast<uint32_t>(at + 1);
    }
}

std::ptrdiff_t NSDictionary::find(const id& key) const {
    if (!key) {
        return -1;
    }
    return findHashed(key, key->hash());
}

void NSDictionary::set(const id& key, const id& value) {
    NSUInteger hash = key->hash();
    auto at = findHashed(key, hash);
    if (at >= 0) {
        id old = std::exchange(entries_[static_cast<size_t>(at)].second, value);
        return;
    }
    id copiedKey = key->copy();
    if (copiedKey.get() != key.get()) {
        hash = copiedKey->hash();
    }
    entries_.emplace_back(std::move(copiedKey), value);
    hashes_.push_back(hash);
    indexEntry(entries_.size() - 1);
}

void NSDictionary::remove(const id& key) {
    auto at = find(key);
    if (at < 0) {
        return;
    }
    Entry gone = std::move(entries_[static_cast<size_t>(at)]);
    entries_.erase(entries_.begin() + at);
    hashes_.erase(hashes_.begin() + at);
    rebuildIndex();
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
    std::string out;
    std::string indent;
    foundation_detail::appendDescription(out, id(const_cast<NSDictionary*>(this)), indent);
    return NSString::from(out);
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
    hashes_.clear();
    table_.clear();
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
