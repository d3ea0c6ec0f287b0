// NSIndexPath: a path of indexes; tables use two, a section and a row.
#pragma once

#include <Foundation/NSString.h>

#include <vector>

class NSIndexPath : public NSObject {
    NS_OBJECT(NSIndexPath, NSObject)
public:
    NSIndexPath() = default;
    explicit NSIndexPath(std::vector<NSUInteger> indexes) : indexes_(std::move(indexes)) {}

    static Ref<NSIndexPath> indexPathWithIndex(NSUInteger index);
    static Ref<NSIndexPath> indexPathWithIndexes(std::vector<NSUInteger> indexes);
    static Ref<NSIndexPath> indexPathForRowInSection(NSInteger row, NSInteger section);
    static Ref<NSIndexPath> indexPathForItemInSection(NSInteger item, NSInteger section);

    NSUInteger length() const noexcept { return indexes_.size(); }
    // Raises NSRangeException past the end.
    NSUInteger indexAtPosition(NSUInteger position) const;
    const std::vector<NSUInteger>& indexes() const noexcept { return indexes_; }
    Ref<NSIndexPath> indexPathByAddingIndex(NSUInteger index) const;
    Ref<NSIndexPath> indexPathByRemovingLastIndex() const;

    // Table paths: section is index 0, row (or item) index 1.
    NSInteger section() const;
    NSInteger row() const;
    NSInteger item() const { return row(); }

    NSComparisonResult compare(const Ref<NSIndexPath>& other) const;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    std::vector<NSUInteger> indexes_;
};
