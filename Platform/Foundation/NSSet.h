// NSSet, NSMutableSet and NSCountedSet: unordered collections of distinct objects, compared with
// isEqual/hash. Enumeration follows insertion order, so it is deterministic.
#pragma once

#include <Foundation/NSArray.h>

#include <functional>
#include <initializer_list>
#include <unordered_map>
#include <vector>

class NSSet : public NSObject {
    NS_OBJECT(NSSet, NSObject)
public:
    NSSet() = default;
    // A repeated object is kept once (the first one); raises NSInvalidArgumentException for nil.
    explicit NSSet(const std::vector<id>& objects);

    static Ref<NSSet> set();
    static Ref<NSSet> setWithObject(const id& object);
    static Ref<NSSet> setWithObjects(std::initializer_list<id> objects);
    static Ref<NSSet> setWithArray(const Ref<NSArray>& array);
    static Ref<NSSet> setWithSet(const Ref<NSSet>& other);

    NSUInteger count() const noexcept { return items_.size(); }
    bool containsObject(const id& object) const;
    // The set's own object equal to `object`, or nil.
    id member(const id& object) const;
    // Some object of the set (the first inserted), nil when empty.
    id anyObject() const;
    Ref<NSArray> allObjects() const;
    bool intersectsSet(const Ref<NSSet>& other) const;
    bool isSubsetOfSet(const Ref<NSSet>& other) const;
    bool isEqualToSet(const Ref<NSSet>& other) const;
    Ref<NSSet> setByAddingObject(const id& object) const;
    Ref<NSSet> setByAddingObjectsFromSet(const Ref<NSSet>& other) const;
    Ref<NSSet> setByAddingObjectsFromArray(const Ref<NSArray>& other) const;
    Ref<NSSet> filteredSetUsingBlock(const std::function<bool(const id&)>& keep) const;
    // Visits a snapshot, so the block may change a mutable set.
    void enumerateObjectsUsingBlock(const std::function<void(const id&, bool*)>& block) const;

    // The objects in insertion order.
    const std::vector<id>& objects() const noexcept { return items_; }
    std::vector<id>::const_iterator begin() const { return items_.begin(); }
    std::vector<id>::const_iterator end() const { return items_.end(); }

    // Key-value coding on a set answers a set of the elements' values.
    id valueForKey(const Ref<NSString>& key) override;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;
    id mutableCopy() const override;

protected:
    std::ptrdiff_t find(const id& object) const;
    // Adds when absent; answers the position of the set's equal object.
    size_t insert(const id& object);
    void erase(size_t at);
    void rebuildIndex();

    std::vector<id> items_;
    std::unordered_multimap<NSUInteger, size_t> index_;
};

class NSMutableSet : public NSSet {
    NS_OBJECT(NSMutableSet, NSSet)
public:
    NSMutableSet() = default;
    explicit NSMutableSet(const std::vector<id>& objects) : NSSet(objects) {}

    static Ref<NSMutableSet> set();
    static Ref<NSMutableSet> setWithCapacity(NSUInteger capacity);
    static Ref<NSMutableSet> setWithArray(const Ref<NSArray>& array);
    static Ref<NSMutableSet> setWithSet(const Ref<NSSet>& other);
    static Ref<NSMutableSet> setWithObjects(std::initializer_list<id> objects);

    // Raises NSInvalidArgumentException for nil.
    virtual void addObject(const id& object);
    void addObjectsFromArray(const Ref<NSArray>& array);
    virtual void removeObject(const id& object);
    virtual void removeAllObjects();
    void unionSet(const Ref<NSSet>& other);
    void minusSet(const Ref<NSSet>& other);
    void intersectSet(const Ref<NSSet>& other);
    void setSet(const Ref<NSSet>& other);

    id copy() const override;
};

// A set that counts how often each distinct object was added; removeObject takes one away.
class NSCountedSet : public NSMutableSet {
    NS_OBJECT(NSCountedSet, NSMutableSet)
public:
    NSCountedSet() = default;

    NSUInteger countForObject(const id& object) const;
    void addObject(const id& object) override;
    void removeObject(const id& object) override;
    void removeAllObjects() override;

    id copy() const override;

private:
    std::vector<NSUInteger> counts_; // parallel to items_
};
