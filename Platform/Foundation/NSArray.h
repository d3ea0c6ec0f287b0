// NSArray and NSMutableArray: ordered collections of non-nil objects.
#pragma once

#include <Foundation/NSString.h>

#include <functional>
#include <initializer_list>
#include <vector>

class NSArray : public NSObject {
    NS_OBJECT(NSArray, NSObject)
public:
    NSArray() = default;
    // Raises NSInvalidArgumentException for a nil element.
    explicit NSArray(std::vector<id> objects);

    static Ref<NSArray> array();
    static Ref<NSArray> arrayWithObjects(std::initializer_list<id> objects);
    static Ref<NSArray> arrayWithVector(std::vector<id> objects);
    static Ref<NSArray> arrayWithArray(const Ref<NSArray>& other);
    template <class T>
    static Ref<NSArray> arrayWithRefs(const std::vector<Ref<T>>& objects) {
        return make<NSArray>(std::vector<id>(objects.begin(), objects.end()));
    }

    NSUInteger count() const noexcept { return items_.size(); }
    // Raises NSRangeException past the end.
    id objectAtIndex(NSUInteger index) const;
    id operator[](NSUInteger index) const { return objectAtIndex(index); }
    id firstObject() const;
    id lastObject() const;
    bool containsObject(const id& object) const;
    NSUInteger indexOfObject(const id& object) const; // NSNotFound when absent
    NSUInteger indexOfObjectIdenticalTo(const id& object) const;
    Ref<NSArray> arrayByAddingObject(const id& object) const;
    Ref<NSArray> arrayByAddingObjectsFromArray(const Ref<NSArray>& other) const;
    Ref<NSArray> subarrayWithRange(NSRange range) const;
    Ref<NSString> componentsJoinedByString(const Ref<NSString>& separator) const;
    Ref<NSArray> sortedArrayUsingComparator(const std::function<NSComparisonResult(const id&, const id&)>& cmp) const;
    Ref<NSArray> filteredArrayUsingBlock(const std::function<bool(const id&)>& keep) const;
    void enumerateObjectsUsingBlock(const std::function<void(const id&, NSUInteger, bool*)>& block) const;
    bool isEqualToArray(const Ref<NSArray>& other) const;

    const std::vector<id>& objects() const noexcept { return items_; }
    std::vector<id>::const_iterator begin() const { return items_.begin(); }
    std::vector<id>::const_iterator end() const { return items_.end(); }

    // Key-value coding on an array answers an array of the elements' values.
    id valueForKey(const Ref<NSString>& key) override;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    std::vector<id> items_;
};

class NSMutableArray : public NSArray {
    NS_OBJECT(NSMutableArray, NSArray)
public:
    NSMutableArray() = default;
    explicit NSMutableArray(std::vector<id> objects) : NSArray(std::move(objects)) {}
    static Ref<NSMutableArray> array();
    static Ref<NSMutableArray> arrayWithCapacity(NSUInteger capacity);
    static Ref<NSMutableArray> arrayWithArray(const Ref<NSArray>& other);
    static Ref<NSMutableArray> arrayWithObjects(std::initializer_list<id> objects);

    void addObject(const id& object);
    void addObjectsFromArray(const Ref<NSArray>& other);
    void insertObjectAtIndex(const id& object, NSUInteger index);
    void removeObjectAtIndex(NSUInteger index);
    void removeObject(const id& object);
    void removeObjectIdenticalTo(const id& object);
    void removeLastObject();
    void removeAllObjects();
    void replaceObjectAtIndexWithObject(NSUInteger index, const id& object);
    void exchangeObjectAtIndexWithObjectAtIndex(NSUInteger a, NSUInteger b);
    void sortUsingComparator(const std::function<NSComparisonResult(const id&, const id&)>& cmp);

    id copy() const override;
};
