#include <Runtime/ClassBuilder.h>
#include <UIKit/NSIndexPath.h>

NS_IMPLEMENT_CLASS(NSIndexPath, NSObject) {
    b.readonlyProperty("section", &NSIndexPath::section);
    b.readonlyProperty("row", &NSIndexPath::row);
    b.readonlyProperty("item", &NSIndexPath::row);
    b.readonlyProperty("length", &NSIndexPath::length);
}

Ref<NSIndexPath> NSIndexPath::indexPathWithIndex(NSUInteger index) {
    return make<NSIndexPath>(std::vector<NSUInteger>{index});
}

Ref<NSIndexPath> NSIndexPath::indexPathWithIndexes(std::vector<NSUInteger> indexes) {
    return make<NSIndexPath>(std::move(indexes));
}

Ref<NSIndexPath> NSIndexPath::indexPathForRowInSection(NSInteger row, NSInteger section) {
    return make<NSIndexPath>(std::vector<NSUInteger>{static_cast<NSUInteger>(section), static_cast<NSUInteger>(row)});
}

Ref<NSIndexPath> NSIndexPath::indexPathForItemInSection(NSInteger item, NSInteger section) {
    return indexPathForRowInSection(item, section);
}

NSUInteger NSIndexPath::indexAtPosition(NSUInteger position) const {
    if (position >= indexes_.size()) {
        NSException::raise(NSRangeException, "index path position " + std::to_string(position) + " beyond length " +
                                                 std::to_string(indexes_.size()));
    }
    return indexes_[position];
}

Ref<NSIndexPath> NSIndexPath::indexPathByAddingIndex(NSUInteger index) const {
    auto copy = indexes_;
    copy.push_back(index);
    return make<NSIndexPath>(std::move(copy));
}

Ref<NSIndexPath> NSIndexPath::indexPathByRemovingLastIndex() const {
    auto copy = indexes_;
    if (!copy.empty()) {
        copy.pop_back();
    }
    return make<NSIndexPath>(std::move(copy));
}

NSInteger NSIndexPath::section() const {
    return indexes_.empty() ? NSNotFound : static_cast<NSInteger>(indexes_[0]);
}

NSInteger NSIndexPath::row() const {
    return indexes_.size() < 2 ? NSNotFound : static_cast<NSInteger>(indexes_[1]);
}

NSComparisonResult NSIndexPath::compare(const Ref<NSIndexPath>& other) const {
    if (!other) {
        return NSOrderedDescending;
    }
    size_t n = std::min(indexes_.size(), other->indexes_.size());
    for (size_t i = 0; i < n; ++i) {
        if (indexes_[i] != other->indexes_[i]) {
            return indexes_[i] < other->indexes_[i] ? NSOrderedAscending : NSOrderedDescending;
        }
    }
    if (indexes_.size() == other->indexes_.size()) {
        return NSOrderedSame;
    }
    return indexes_.size() < other->indexes_.size() ? NSOrderedAscending : NSOrderedDescending;
}

bool NSIndexPath::isEqual(const id& other) const {
    auto o = cast<NSIndexPath>(other);
    return o && o->indexes_ == indexes_;
}

NSUInteger NSIndexPath::hash() const {
    NSUInteger h = indexes_.size();
    for (NSUInteger i : indexes_) {
        h = h * 31 + i;
    }
    return h;
}

Ref<NSString> NSIndexPath::description() const {
    std::string text;
    for (size_t i = 0; i < indexes_.size(); ++i) {
        text += (i ? " - " : "") + std::to_string(indexes_[i]);
    }
    return NSString::stringWithFormat("<NSIndexPath: %p> {length = %lu, path = %s}", static_cast<const void*>(this),
                                      static_cast<unsigned long>(indexes_.size()), text);
}

id NSIndexPath::copy() const {
    return id(const_cast<NSIndexPath*>(this));
}
