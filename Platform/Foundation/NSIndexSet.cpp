#include <Foundation/NSIndexSet.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(NSIndexSet, NSObject) {
    b.readonlyProperty("count", &NSIndexSet::count);
    b.readonlyProperty("firstIndex", &NSIndexSet::firstIndex);
    b.readonlyProperty("lastIndex", &NSIndexSet::lastIndex);
}
NS_IMPLEMENT_CLASS(NSMutableIndexSet, NSIndexSet) {}

namespace {
constexpr NSUInteger kNotFound = static_cast<NSUInteger>(NSNotFound);

// A range is valid when every index in it is below NSNotFound.
void checkRange(NSRange range, const char* op) {
    if (range.location >= kNotFound || range.length > kNotFound - range.location) {
        NSException::raise(NSRangeException, std::string("-[NSMutableIndexSet ") + op + "]: range {" +
                                                 std::to_string(range.location) + ", " + std::to_string(range.length) +
                                                 "} exceeds the maximum index value");
    }
}
} // namespace

NSIndexSet::NSIndexSet(NSUInteger index) {
    checkRange({index, 1}, "initWithIndex:");
    ranges_.push_back({index, 1});
}

NSIndexSet::NSIndexSet(NSRange range) {
    checkRange(range, "initWithIndexesInRange:");
    if (range.length) {
        ranges_.push_back(range);
    }
}

NSIndexSet::NSIndexSet(const NSIndexSet& other) : NSObject(), ranges_(other.ranges_) {}

Ref<NSIndexSet> NSIndexSet::indexSet() {
    return make<NSIndexSet>();
}
Ref<NSIndexSet> NSIndexSet::indexSetWithIndex(NSUInteger index) {
    return make<NSIndexSet>(index);
}
Ref<NSIndexSet> NSIndexSet::indexSetWithIndexesInRange(NSRange range) {
    return make<NSIndexSet>(range);
}
Ref<NSIndexSet> NSIndexSet::indexSetWithIndexSet(const Ref<NSIndexSet>& other) {
    return other ? make<NSIndexSet>(*other) : make<NSIndexSet>();
}

NSUInteger NSIndexSet::count() const noexcept {
    NSUInteger n = 0;
    for (const auto& r : ranges_) {
        n += r.length;
    }
    return n;
}

NSUInteger NSIndexSet::firstIndex() const noexcept {
    return ranges_.empty() ? kNotFound : ranges_.front().location;
}

NSUInteger NSIndexSet::lastIndex() const noexcept {
    return ranges_.empty() ? kNotFound : NSMaxRange(ranges_.back()) - 1;
}

NSUInteger NSIndexSet::indexGreaterThanOrEqualToIndex(NSUInteger index) const noexcept {
    // The first range that ends after `index`.
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), index,
                               [](NSUInteger i, const NSRange& r) { return i < NSMaxRange(r); });
    if (it == ranges_.end()) {
        return kNotFound;
    }
    return std::max(index, it->location);
}

NSUInteger NSIndexSet::indexGreaterThanIndex(NSUInteger index) const noexcept {
    return index >= kNotFound - 1 ? kNotFound : indexGreaterThanOrEqualToIndex(index + 1);
}

NSUInteger NSIndexSet::indexLessThanOrEqualToIndex(NSUInteger index) const noexcept {
    // The last range that starts at or before `index`.
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), index,
                               [](NSUInteger i, const NSRange& r) { return i < r.location; });
    if (it == ranges_.begin()) {
        return kNotFound;
    }
    --it;
    return std::min(index, NSMaxRange(*it) - 1);
}

NSUInteger NSIndexSet::indexLessThanIndex(NSUInteger index) const noexcept {
    return index == 0 ? kNotFound : indexLessThanOrEqualToIndex(index - 1);
}

bool NSIndexSet::containsIndex(NSUInteger index) const noexcept {
    return indexGreaterThanOrEqualToIndex(index) == index;
}

bool NSIndexSet::containsIndexesInRange(NSRange range) const noexcept {
    if (range.length == 0) {
        return false;
    }
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), range.location,
                               [](NSUInteger i, const NSRange& r) { return i < NSMaxRange(r); });
    return it != ranges_.end() && it->location <= range.location && NSMaxRange(range) <= NSMaxRange(*it);
}

bool NSIndexSet::containsIndexes(const Ref<NSIndexSet>& other) const noexcept {
    if (!other) {
        return false;
    }
    return std::all_of(other->ranges_.begin(), other->ranges_.end(),
                       [this](const NSRange& r) { return containsIndexesInRange(r); });
}

NSUInteger NSIndexSet::countOfIndexesInRange(NSRange range) const noexcept {
    NSUInteger n = 0;
    NSUInteger end = range.location + std::min(range.length, kNotFound - range.location);
    for (const auto& r : ranges_) {
        NSUInteger lo = std::max(r.location, range.location);
        NSUInteger hi = std::min(NSMaxRange(r), end);
        if (lo < hi) {
            n += hi - lo;
        }
    }
    return n;
}

bool NSIndexSet::intersectsIndexesInRange(NSRange range) const noexcept {
    return countOfIndexesInRange(range) > 0;
}

void NSIndexSet::enumerateIndexesUsingBlock(const std::function<void(NSUInteger, bool*)>& block) const {
    enumerateIndexesWithOptionsUsingBlock(0, block);
}

void NSIndexSet::enumerateIndexesWithOptionsUsingBlock(NSUInteger options,
                                                       const std::function<void(NSUInteger, bool*)>& block) const {
    auto snapshot = ranges_;
    bool stop = false;
    if (options & NSEnumerationReverse) {
        for (auto r = snapshot.rbegin(); r != snapshot.rend() && !stop; ++r) {
            for (NSUInteger i = NSMaxRange(*r); i > r->location && !stop;) {
                block(--i, &stop);
            }
        }
        return;
    }
    for (const auto& r : snapshot) {
        for (NSUInteger i = r.location; i < NSMaxRange(r) && !stop; ++i) {
            block(i, &stop);
        }
        if (stop) {
            break;
        }
    }
}

void NSIndexSet::enumerateRangesUsingBlock(const std::function<void(NSRange, bool*)>& block) const {
    auto snapshot = ranges_;
    bool stop = false;
    for (size_t i = 0; i < snapshot.size() && !stop; ++i) {
        block(snapshot[i], &stop);
    }
}

bool NSIndexSet::isEqualToIndexSet(const Ref<NSIndexSet>& other) const noexcept {
    return other && other->ranges_ == ranges_;
}

std::vector<NSUInteger> NSIndexSet::indexes() const {
    std::vector<NSUInteger> out;
    out.reserve(count());
    for (const auto& r : ranges_) {
        for (NSUInteger i = r.location; i < NSMaxRange(r); ++i) {
            out.push_back(i);
        }
    }
    return out;
}

bool NSIndexSet::isEqual(const id& other) const {
    auto s = cast<NSIndexSet>(other);
    return s && isEqualToIndexSet(s);
}

NSUInteger NSIndexSet::hash() const {
    NSUInteger h = count();
    for (const auto& r : ranges_) {
        h = h * 31 + r.location;
        h = h * 31 + r.length;
    }
    return h;
}

Ref<NSString> NSIndexSet::description() const {
    std::string list;
    for (const auto& r : ranges_) {
        if (!list.empty()) {
            list += ' ';
        }
        list += std::to_string(r.location);
        if (r.length > 1) {
            list += '-' + std::to_string(NSMaxRange(r) - 1);
        }
    }
    std::string out = "<" + getClass()->name() + ">[number of indexes: " + std::to_string(count()) + " (in " +
                      std::to_string(ranges_.size()) + (ranges_.size() == 1 ? " range" : " ranges") + ")";
    if (!ranges_.empty()) {
        out += ", indexes: (" + list + ")";
    }
    return NSString::from(out + "]");
}

id NSIndexSet::copy() const {
    if (getClass() == NSIndexSet::class_()) {
        return id(const_cast<NSIndexSet*>(this));
    }
    return make<NSIndexSet>(*this);
}

id NSIndexSet::mutableCopy() const {
    return make<NSMutableIndexSet>(*this);
}

void NSIndexSet::addRange(NSRange range) {
    if (range.length == 0) {
        return;
    }
    NSUInteger lo = range.location, hi = NSMaxRange(range);
    // Ranges that touch or overlap [lo, hi) merge with it.
    auto first = std::lower_bound(ranges_.begin(), ranges_.end(), lo,
                                  [](const NSRange& r, NSUInteger i) { return NSMaxRange(r) < i; });
    auto last = first;
    while (last != ranges_.end() && last->location <= hi) {
        lo = std::min(lo, last->location);
        hi = std::max(hi, NSMaxRange(*last));
        ++last;
    }
    auto at = ranges_.erase(first, last);
    ranges_.insert(at, NSRange{lo, hi - lo});
}

void NSIndexSet::removeRange(NSRange range) {
    if (range.length == 0) {
        return;
    }
    NSUInteger lo = range.location, hi = NSMaxRange(range);
    std::vector<NSRange> out;
    out.reserve(ranges_.size() + 1);
    for (const auto& r : ranges_) {
        NSUInteger rlo = r.location, rhi = NSMaxRange(r);
        if (rhi <= lo || rlo >= hi) {
            out.push_back(r);
            continue;
        }
        if (rlo < lo) {
            out.push_back({rlo, lo - rlo});
        }
        if (rhi > hi) {
            out.push_back({hi, rhi - hi});
        }
    }
    ranges_ = std::move(out);
}

void NSIndexSet::shift(NSUInteger startIndex, NSInteger delta) {
    if (delta == 0 || ranges_.empty()) {
        return;
    }
    std::vector<NSRange> keep, moved;
    for (const auto& r : ranges_) {
        NSUInteger rlo = r.location, rhi = NSMaxRange(r);
        if (rhi <= startIndex) {
            keep.push_back(r);
        } else if (rlo >= startIndex) {
            moved.push_back(r);
        } else {
            keep.push_back({rlo, startIndex - rlo});
            moved.push_back({startIndex, rhi - startIndex});
        }
    }
    if (delta < 0) {
        // Moving down: the indexes in [startIndex + delta, startIndex) are overwritten.
        NSUInteger down = static_cast<NSUInteger>(-delta);
        NSUInteger floor = startIndex >= down ? startIndex - down : 0;
        ranges_ = std::move(keep);
        removeRange({floor, startIndex - floor});
        for (const auto& r : moved) {
            NSUInteger rlo = r.location, rhi = NSMaxRange(r);
            // Indexes that would fall below zero are dropped.
            NSUInteger newLo = rlo >= down ? rlo - down : 0;
            NSUInteger newHi = rhi >= down ? rhi - down : 0;
            addRange({newLo, newHi - newLo});
        }
        return;
    }
    NSUInteger up = static_cast<NSUInteger>(delta);
    ranges_ = std::move(keep);
    for (const auto& r : moved) {
        NSUInteger rlo = r.location;
        if (rlo >= kNotFound - up) {
            continue; // pushed past the largest index
        }
        NSUInteger len = std::min(r.length, kNotFound - up - rlo);
        addRange({rlo + up, len});
    }
}

// MARK: - NSMutableIndexSet

Ref<NSMutableIndexSet> NSMutableIndexSet::indexSet() {
    return make<NSMutableIndexSet>();
}
Ref<NSMutableIndexSet> NSMutableIndexSet::indexSetWithIndex(NSUInteger index) {
    return make<NSMutableIndexSet>(index);
}
Ref<NSMutableIndexSet> NSMutableIndexSet::indexSetWithIndexesInRange(NSRange range) {
    return make<NSMutableIndexSet>(range);
}

void NSMutableIndexSet::addIndex(NSUInteger index) {
    checkRange({index, 1}, "addIndex:");
    addRange({index, 1});
}

void NSMutableIndexSet::addIndexesInRange(NSRange range) {
    checkRange(range, "addIndexesInRange:");
    addRange(range);
}

void NSMutableIndexSet::addIndexes(const Ref<NSIndexSet>& other) {
    if (!other) {
        return;
    }
    auto snapshot = other->ranges();
    for (const auto& r : snapshot) {
        addRange(r);
    }
}

void NSMutableIndexSet::removeIndex(NSUInteger index) {
    if (index < kNotFound) {
        removeRange({index, 1});
    }
}

void NSMutableIndexSet::removeIndexesInRange(NSRange range) {
    if (range.location < kNotFound) {
        removeRange({range.location, std::min(range.length, kNotFound - range.location)});
    }
}

void NSMutableIndexSet::removeIndexes(const Ref<NSIndexSet>& other) {
    if (!other) {
        return;
    }
    auto snapshot = other->ranges();
    for (const auto& r : snapshot) {
        removeRange(r);
    }
}

void NSMutableIndexSet::removeAllIndexes() {
    ranges_.clear();
}

void NSMutableIndexSet::shiftIndexesStartingAtIndexBy(NSUInteger index, NSInteger delta) {
    shift(index, delta);
}

id NSMutableIndexSet::copy() const {
    return make<NSIndexSet>(*this);
}
