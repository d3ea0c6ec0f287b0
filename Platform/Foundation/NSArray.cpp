#include <Foundation/CollectionDescription.h>
#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(NSArray, NSObject) {
    b.readonlyProperty("count", &NSArray::count);
}
NS_IMPLEMENT_CLASS(NSMutableArray, NSArray) {}

namespace {
[[noreturn]] void raiseIndex(const char* op, NSUInteger index, NSUInteger count) {
    NSException::raise(NSRangeException, std::string("-[NSArray ") + op + "]: index " + std::to_string(index) +
                                             " beyond bounds [0 .. " +
                                             (count ? std::to_string(count - 1) : std::string("-1")) + "]");
}
void checkNotNil(const id& object, const char* op) {
    if (!object) {
        NSException::raise(NSInvalidArgumentException,
                           std::string("-[NSMutableArray ") + op + "]: object cannot be nil");
    }
}
} // namespace

NSArray::NSArray(std::vector<id> objects) : items_(std::move(objects)) {
    for (const auto& o : items_) {
        checkNotNil(o, "initWithObjects:");
    }
}

Ref<NSArray> NSArray::array() {
    return make<NSArray>();
}
Ref<NSArray> NSArray::arrayWithObjects(std::initializer_list<id> objects) {
    return make<NSArray>(std::vector<id>(objects));
}
Ref<NSArray> NSArray::arrayWithVector(std::vector<id> objects) {
    return make<NSArray>(std::move(objects));
}
Ref<NSArray> NSArray::arrayWithArray(const Ref<NSArray>& other) {
    return make<NSArray>(other ? other->items_ : std::vector<id>());
}

id NSArray::objectAtIndex(NSUInteger index) const {
    if (index >= items_.size()) {
        raiseIndex("objectAtIndex:", index, items_.size());
    }
    return items_[index];
}

id NSArray::firstObject() const {
    return items_.empty() ? nullptr : items_.front();
}
id NSArray::lastObject() const {
    return items_.empty() ? nullptr : items_.back();
}

bool NSArray::containsObject(const id& object) const {
    return indexOfObject(object) != static_cast<NSUInteger>(NSNotFound);
}

NSUInteger NSArray::indexOfObject(const id& object) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (NSObjectsEqual(items_[i], object)) {
            return i;
        }
    }
    return static_cast<NSUInteger>(NSNotFound);
}

NSUInteger NSArray::indexOfObjectIdenticalTo(const id& object) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] == object) {
            return i;
        }
    }
    return static_cast<NSUInteger>(NSNotFound);
}

Ref<NSArray> NSArray::arrayByAddingObject(const id& object) const {
    checkNotNil(object, "arrayByAddingObject:");
    auto v = items_;
    v.push_back(object);
    return make<NSArray>(std::move(v));
}

Ref<NSArray> NSArray::arrayByAddingObjectsFromArray(const Ref<NSArray>& other) const {
    auto v = items_;
    if (other) {
        v.insert(v.end(), other->items_.begin(), other->items_.end());
    }
    return make<NSArray>(std::move(v));
}

Ref<NSArray> NSArray::subarrayWithRange(NSRange range) const {
    if (range.location > items_.size() || range.length > items_.size() - range.location) {
        raiseIndex("subarrayWithRange:", NSMaxRange(range), items_.size());
    }
    return make<NSArray>(std::vector<id>(items_.begin() + static_cast<std::ptrdiff_t>(range.location),
                                         items_.begin() + static_cast<std::ptrdiff_t>(NSMaxRange(range))));
}

Ref<NSString> NSArray::componentsJoinedByString(const Ref<NSString>& separator) const {
    std::string out;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i && separator) {
            out += separator->str();
        }
        out += NSDescription(items_[i])->str();
    }
    return NSString::from(out);
}

Ref<NSArray>
NSArray::sortedArrayUsingComparator(const std::function<NSComparisonResult(const id&, const id&)>& cmp) const {
    auto v = items_;
    std::stable_sort(v.begin(), v.end(), [&](const id& a, const id& b) { return cmp(a, b) == NSOrderedAscending; });
    return make<NSArray>(std::move(v));
}

Ref<NSArray> NSArray::filteredArrayUsingBlock(const std::function<bool(const id&)>& keep) const {
    std::vector<id> v;
    for (const auto& o : items_) {
        if (keep(o)) {
            v.push_back(o);
        }
    }
    return make<NSArray>(std::move(v));
}

void NSArray::enumerateObjectsUsingBlock(const std::function<void(const id&, NSUInteger, bool*)>& block) const {
    auto snapshot = items_;
    bool stop = false;
    for (size_t i = 0; i < snapshot.size() && !stop; ++i) {
        block(snapshot[i], i, &stop);
    }
}

bool NSArray::isEqualToArray(const Ref<NSArray>& other) const {
    if (!other || other->items_.size() != items_.size()) {
        return false;
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!NSObjectsEqual(items_[i], other->items_[i])) {
            return false;
        }
    }
    return true;
}

id NSArray::valueForKey(const Ref<NSString>& key) {
    if (key && key->str() == "@count") {
        return box(static_cast<NSUInteger>(items_.size()));
    }
    std::vector<id> values;
    for (const auto& o : items_) {
        id v = o->valueForKey(key);
        values.push_back(v ? v : id(NSNull::null()));
    }
    return make<NSArray>(std::move(values));
}

bool NSArray::isEqual(const id& other) const {
    auto a = cast<NSArray>(other);
    return a && isEqualToArray(a);
}

NSUInteger NSArray::hash() const {
    return items_.size();
}

Ref<NSString> NSArray::description() const {
    std::string out;
    std::string indent;
    foundation_detail::appendDescription(out, id(const_cast<NSArray*>(this)), indent);
    return NSString::from(out);
}

id NSArray::copy() const {
    if (getClass() == NSArray::class_()) {
        return id(const_cast<NSArray*>(this));
    }
    return make<NSArray>(items_);
}

id NSArray::mutableCopy() const {
    return make<NSMutableArray>(items_);
}

// MARK: - NSMutableArray

Ref<NSMutableArray> NSMutableArray::array() {
    return make<NSMutableArray>();
}
Ref<NSMutableArray> NSMutableArray::arrayWithCapacity(NSUInteger capacity) {
    auto a = make<NSMutableArray>();
    a->items_.reserve(capacity);
    return a;
}
Ref<NSMutableArray> NSMutableArray::arrayWithArray(const Ref<NSArray>& other) {
    return make<NSMutableArray>(other ? other->objects() : std::vector<id>());
}
Ref<NSMutableArray> NSMutableArray::arrayWithObjects(std::initializer_list<id> objects) {
    return make<NSMutableArray>(std::vector<id>(objects));
}

void NSMutableArray::addObject(const id& object) {
    checkNotNil(object, "addObject:");
    items_.push_back(object);
}

void NSMutableArray::addObjectsFromArray(const Ref<NSArray>& other) {
    if (other) {
        auto copy = other->objects();
        items_.insert(items_.end(), copy.begin(), copy.end());
    }
}

void NSMutableArray::insertObjectAtIndex(const id& object, NSUInteger index) {
    checkNotNil(object, "insertObject:atIndex:");
    if (index > items_.size()) {
        raiseIndex("insertObject:atIndex:", index, items_.size());
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), object);
}

void NSMutableArray::removeObjectAtIndex(NSUInteger index) {
    if (index >= items_.size()) {
        raiseIndex("removeObjectAtIndex:", index, items_.size());
    }
    id gone = std::move(items_[index]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void NSMutableArray::removeObject(const id& object) {
    std::vector<id> gone;
    std::erase_if(items_, [&](const id& o) {
        if (NSObjectsEqual(o, object)) {
            gone.push_back(o);
            return true;
        }
        return false;
    });
}

void NSMutableArray::removeObjectIdenticalTo(const id& object) {
    std::vector<id> gone;
    std::erase_if(items_, [&](const id& o) {
        if (o == object) {
            gone.push_back(o);
            return true;
        }
        return false;
    });
}

void NSMutableArray::removeLastObject() {
    if (!items_.empty()) {
        id gone = std::move(items_.back());
        items_.pop_back();
    }
}

void NSMutableArray::removeAllObjects() {
    std::vector<id> gone;
    gone.swap(items_);
}

void NSMutableArray::replaceObjectAtIndexWithObject(NSUInteger index, const id& object) {
    checkNotNil(object, "replaceObjectAtIndex:withObject:");
    if (index >= items_.size()) {
        raiseIndex("replaceObjectAtIndex:withObject:", index, items_.size());
    }
    id gone = std::exchange(items_[index], object);
}

void NSMutableArray::exchangeObjectAtIndexWithObjectAtIndex(NSUInteger a, NSUInteger b) {
    if (a >= items_.size() || b >= items_.size()) {
        raiseIndex("exchangeObjectAtIndex:withObjectAtIndex:", std::max(a, b), items_.size());
    }
    std::swap(items_[a], items_[b]);
}

void NSMutableArray::sortUsingComparator(const std::function<NSComparisonResult(const id&, const id&)>& cmp) {
    std::stable_sort(items_.begin(), items_.end(),
                     [&](const id& a, const id& b) { return cmp(a, b) == NSOrderedAscending; });
}

id NSMutableArray::copy() const {
    return make<NSArray>(items_);
}
