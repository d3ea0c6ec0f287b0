// NSIndexSet and NSMutableIndexSet: sets of unsigned indexes kept as sorted, disjoint, non-adjacent
// ranges, so that large runs cost one entry.
#pragma once

#include <Foundation/NSString.h>

#include <functional>
#include <vector>

class NSIndexSet : public NSObject {
    NS_OBJECT(NSIndexSet, NSObject)
public:
    NSIndexSet() = default;
    explicit NSIndexSet(NSUInteger index);
    // Raises NSRangeException for a range that runs past the largest index (NSNotFound - 1).
    explicit NSIndexSet(NSRange range);
    NSIndexSet(const NSIndexSet& other);

    static Ref<NSIndexSet> indexSet();
    static Ref<NSIndexSet> indexSetWithIndex(NSUInteger index);
    static Ref<NSIndexSet> indexSetWithIndexesInRange(NSRange range);
    static Ref<NSIndexSet> indexSetWithIndexSet(const Ref<NSIndexSet>& other);

    NSUInteger count() const noexcept;
    // NSNotFound when the set is empty.
    NSUInteger firstIndex() const noexcept;
    NSUInteger lastIndex() const noexcept;
    // The closest index above / below `index` in the set, NSNotFound when there is none.
    NSUInteger indexGreaterThanIndex(NSUInteger index) const noexcept;
    NSUInteger indexLessThanIndex(NSUInteger index) const noexcept;
    NSUInteger indexGreaterThanOrEqualToIndex(NSUInteger index) const noexcept;
    NSUInteger indexLessThanOrEqualToIndex(NSUInteger index) const noexcept;

    bool containsIndex(NSUInteger index) const noexcept;
    bool containsIndexesInRange(NSRange range) const noexcept;
    bool containsIndexes(const Ref<NSIndexSet>& other) const noexcept;
    bool intersectsIndexesInRange(NSRange range) const noexcept;
    NSUInteger countOfIndexesInRange(NSRange range) const noexcept;

    // Visits the indexes in ascending order (descending with NSEnumerationReverse); setting *stop
    // ends the walk. The block sees a snapshot, so it may change a mutable set safely.
    void enumerateIndexesUsingBlock(const std::function<void(NSUInteger, bool*)>& block) const;
    void enumerateIndexesWithOptionsUsingBlock(NSUInteger options,
                                               const std::function<void(NSUInteger, bool*)>& block) const;
    void enumerateRangesUsingBlock(const std::function<void(NSRange, bool*)>& block) const;

    bool isEqualToIndexSet(const Ref<NSIndexSet>& other) const noexcept;

    // The ranges of the set, ascending, disjoint and never adjacent.
    const std::vector<NSRange>& ranges() const noexcept { return ranges_; }
    // Every index, ascending.
    std::vector<NSUInteger> indexes() const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    // "<NSIndexSet>[number of indexes: 3 (in 2 ranges), indexes: (1-2 5)]"
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    void addRange(NSRange range);
    void removeRange(NSRange range);
    void shift(NSUInteger startIndex, NSInteger delta);

    std::vector<NSRange> ranges_;
};

// Options of the enumeration methods (NSEnumerationOptions).
using NSEnumerationOptions = NSUInteger;
inline constexpr NSEnumerationOptions NSEnumerationConcurrent = 1UL << 0;
inline constexpr NSEnumerationOptions NSEnumerationReverse = 1UL << 1;

class NSMutableIndexSet : public NSIndexSet {
    NS_OBJECT(NSMutableIndexSet, NSIndexSet)
public:
    NSMutableIndexSet() = default;
    explicit NSMutableIndexSet(NSUInteger index) : NSIndexSet(index) {}
    explicit NSMutableIndexSet(NSRange range) : NSIndexSet(range) {}
    NSMutableIndexSet(const NSIndexSet& other) : NSIndexSet(other) {}

    static Ref<NSMutableIndexSet> indexSet();
    static Ref<NSMutableIndexSet> indexSetWithIndex(NSUInteger index);
    static Ref<NSMutableIndexSet> indexSetWithIndexesInRange(NSRange range);

    // Raise NSRangeException for NSNotFound or a range that runs past it.
    void addIndex(NSUInteger index);
    void addIndexesInRange(NSRange range);
    void addIndexes(const Ref<NSIndexSet>& other);
    void removeIndex(NSUInteger index);
    void removeIndexesInRange(NSRange range);
    void removeIndexes(const Ref<NSIndexSet>& other);
    void removeAllIndexes();
    // Moves every index at or above `index` by `delta` (indexes pushed below `index` are dropped),
    // as an array's indexes move when objects are inserted or removed.
    void shiftIndexesStartingAtIndexBy(NSUInteger index, NSInteger delta);

    id copy() const override;
};
