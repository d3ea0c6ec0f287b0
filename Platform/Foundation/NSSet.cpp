#include <Foundation/CollectionDescription.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSSet.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(NSSet, NSObject) {
    b.readonlyProperty("count", &NSSet::count);
}
NS_IMPLEMENT_CLASS(NSMutableSet, NSSet) {}
NS_IMPLEMENT_CLASS(NSCountedSet, NSMutableSet) {}

namespace {
void checkNotNil(const id& object, const char* op) {
    if (!object) {
        NSException::raise(NSInvalidArgumentException, std::string("-[NSMutableSet ") + op + "]: object cannot be nil");
    }
}
} // namespace

NSSet::NSSet(const std::vector<id>& objects) {
    for (const auto& o : objects) {
        checkNotNil(o, "initWithObjects:");
        insert(o);
    }
}

std::ptrdiff_t NSSet::find(const id& object) const {
    if (!object) {
        return -1;
    }
    auto [lo, hi] = index_.equal_range(object->hash());
    for (auto it = lo; it != hi; ++it) {
        if (items_[it->second]->isEqual(object)) {
            return static_cast<std::ptrdiff_t>(it->second);
        }
    }
    return -1;
}

size_t NSSet::insert(const id& object) {
    auto at = find(object);
    if (at >= 0) {
        return static_cast<size_t>(at);
    }
    index_.emplace(object->hash(), items_.size());
    items_.push_back(object);
    return items_.size() - 1;
}

void NSSet::erase(size_t at) {
    id gone = std::move(items_[at]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    rebuildIndex();
}

void NSSet::rebuildIndex() {
    index_.clear();
    for (size_t i = 0; i < items_.size(); ++i) {
        index_.emplace(items_[i]->hash(), i);
    }
}

Ref<NSSet> NSSet::set() {
    return make<NSSet>();
}
Ref<NSSet> NSSet::setWithObject(const id& object) {
    return make<NSSet>(std::vector<id>{object});
}
Ref<NSSet> NSSet::setWithObjects(std::initializer_list<id> objects) {
    return make<NSSet>(std::vector<id>(objects));
}
Ref<NSSet> NSSet::setWithArray(const Ref<NSArray>& array) {
    return make<NSSet>(array ? array->objects() : std::vector<id>());
}
Ref<NSSet> NSSet::setWithSet(const Ref<NSSet>& other) {
    return make<NSSet>(other ? other->items_ : std::vector<id>());
}

bool NSSet::containsObject(const id& object) const {
    return find(object) >= 0;
}

id NSSet::member(const id& object) const {
    auto at = find(object);
    return at < 0 ? nullptr : items_[static_cast<size_t>(at)];
}

id NSSet::anyObject() const {
    return items_.empty() ? nullptr : items_.front();
}

Ref<NSArray> NSSet::allObjects() const {
    return NSArray::arrayWithVector(items_);
}

bool NSSet::intersectsSet(const Ref<NSSet>& other) const {
    return other && std::any_of(items_.begin(), items_.end(), [&](const id& o) { return other->containsObject(o); });
}

bool NSSet::isSubsetOfSet(const Ref<NSSet>& other) const {
    if (!other) {
        return items_.empty();
    }
    return std::all_of(items_.begin(), items_.end(), [&](const id& o) { return other->containsObject(o); });
}

bool NSSet::isEqualToSet(const Ref<NSSet>& other) const {
    return other && other->count() == count() && isSubsetOfSet(other);
}

Ref<NSSet> NSSet::setByAddingObject(const id& object) const {
    checkNotNil(object, "setByAddingObject:");
    auto v = items_;
    v.push_back(object);
    return make<NSSet>(v);
}

Ref<NSSet> NSSet::setByAddingObjectsFromSet(const Ref<NSSet>& other) const {
    auto v = items_;
    if (other) {
        v.insert(v.end(), other->items_.begin(), other->items_.end());
    }
    return make<NSSet>(v);
}

Ref<NSSet> NSSet::setByAddingObjectsFromArray(const Ref<NSArray>& other) const {
    auto v = items_;
    if (other) {
        v.insert(v.end(), other->begin(), other->end());
    }
    return make<NSSet>(v);
}

Ref<NSSet> NSSet::filteredSetUsingBlock(const std::function<bool(const id&)>& keep) const {
    std::vector<id> v;
    for (const auto& o : items_) {
        if (keep(o)) {
            v.push_back(o);
        }
    }
    return make<NSSet>(v);
}

void NSSet::enumerateObjectsUsingBlock(const std::function<void(const id&, bool*)>& block) const {
    auto snapshot = items_;
    bool stop = false;
    for (size_t i = 0; i < snapshot.size() && !stop; ++i) {
        block(snapshot[i], &stop);
    }
}

id NSSet::valueForKey(const Ref<NSString>& key) {
    if (key && key->str() == "@count") {
        return box(static_cast<NSUInteger>(items_.size()));
    }
    std::vector<id> values;
    for (const auto& o : items_) {
        if (id v = o->valueForKey(key)) {
            values.push_back(v);
        }
    }
    return make<NSSet>(values);
}

bool NSSet::isEqual(const id& other) const {
    auto s = cast<NSSet>(other);
    return s && isEqualToSet(s);
}

NSUInteger NSSet::hash() const {
    return items_.size();
}

Ref<NSString> NSSet::description() const {
    std::string out;
    std::string indent;
    foundation_detail::appendDescription(out, id(const_cast<NSSet*>(this)), indent);
    return NSString::from(out);
}

id NSSet::copy() const {
    if (getClass() == NSSet::class_()) {
        return id(const_cast<NSSet*>(this));
    }
    return make<NSSet>(items_);
}

id NSSet::mutableCopy() const {
    return make<NSMutableSet>(items_);
}

// MARK: - NSMutableSet

Ref<NSMutableSet> NSMutableSet::set() {
    return make<NSMutableSet>();
}
Ref<NSMutableSet> NSMutableSet::setWithCapacity(NSUInteger capacity) {
    auto s = make<NSMutableSet>();
    s->items_.reserve(capacity);
    return s;
}
Ref<NSMutableSet> NSMutableSet::setWithArray(const Ref<NSArray>& array) {
    return make<NSMutableSet>(array ? array->objects() : std::vector<id>());
}
Ref<NSMutableSet> NSMutableSet::setWithSet(const Ref<NSSet>& other) {
    return make<NSMutableSet>(other ? other->objects() : std::vector<id>());
}
Ref<NSMutableSet> NSMutableSet::setWithObjects(std::initializer_list<id> objects) {
    return make<NSMutableSet>(std::vector<id>(objects));
}

void NSMutableSet::addObject(const id& object) {
    checkNotNil(object, "addObject:");
    insert(object);
}

void NSMutableSet::addObjectsFromArray(const Ref<NSArray>& array) {
    if (!array) {
        return;
    }
    auto snapshot = array->objects();
    for (const auto& o : snapshot) {
        addObject(o);
    }
}

void NSMutableSet::removeObject(const id& object) {
    auto at = find(object);
    if (at >= 0) {
        erase(static_cast<size_t>(at));
    }
}

void NSMutableSet::removeAllObjects() {
    std::vector<id> gone;
    gone.swap(items_);
    index_.clear();
}

void NSMutableSet::unionSet(const Ref<NSSet>& other) {
    if (!other) {
        return;
    }
    auto snapshot = other->objects();
    for (const auto& o : snapshot) {
        addObject(o);
    }
}

void NSMutableSet::minusSet(const Ref<NSSet>& other) {
    if (!other) {
        return;
    }
    auto snapshot = other->objects();
    for (const auto& o : snapshot) {
        removeObject(o);
    }
}

void NSMutableSet::intersectSet(const Ref<NSSet>& other) {
    auto snapshot = items_;
    for (const auto& o : snapshot) {
        if (!other || !other->containsObject(o)) {
            removeObject(o);
        }
    }
}

void NSMutableSet::setSet(const Ref<NSSet>& other) {
    auto snapshot = other ? other->objects() : std::vector<id>();
    removeAllObjects();
    for (const auto& o : snapshot) {
        addObject(o);
    }
}

id NSMutableSet::copy() const {
    return make<NSSet>(items_);
}

// MARK: - NSCountedSet

NSUInteger NSCountedSet::countForObject(const id& object) const {
    auto at = find(object);
    return at < 0 ? 0 : counts_[static_cast<size_t>(at)];
}

void NSCountedSet::addObject(const id& object) {
    checkNotNil(object, "addObject:");
    size_t before = items_.size();
    size_t at = insert(object);
    if (items_.size() > before) {
        counts_.push_back(1);
    } else {
        ++counts_[at];
    }
}

void NSCountedSet::removeObject(const id& object) {
    auto at = find(object);
    if (at < 0) {
        return;
    }
    auto i = static_cast<size_t>(at);
    if (--counts_[i] == 0) {
        counts_.erase(counts_.begin() + at);
        erase(i);
    }
}

void NSCountedSet::removeAllObjects() {
    NSMutableSet::removeAllObjects();
    counts_.clear();
}

id NSCountedSet::copy() const {
    auto c = make<NSCountedSet>();
    c->items_ = items_;
    c->counts_ = counts_;
    c->rebuildIndex();
    return c;
}
