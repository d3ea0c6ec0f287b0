// RXTuple: the library's fixed, ordered collection of objects, used for combined values and for
// the arguments of selector signals. A nil element is stored as the RXTupleNil placeholder and read
// back as nil.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSKeyedArchiver.h>

#include <initializer_list>
#include <vector>

class RXTuple : public NSObject, public NSCoding {
    NS_OBJECT(RXTuple, NSObject)
public:
    // `init`: an empty tuple.
    RXTuple();
    // The backing array as given (RXTupleNil placeholders included).
    explicit RXTuple(Ref<NSArray> backingArray);
    // `initWithCoder:`: the backing array under "backingArray".
    explicit RXTuple(NSCoder* coder);
    void encodeWithCoder(NSCoder* coder) override;

    static Ref<RXTuple> tupleWithObjectsFromArray(const Ref<NSArray>& array);
    // With conversion, every NSNull of the array becomes a nil element.
    static Ref<RXTuple> tupleWithObjectsFromArrayConvertNullsToNils(const Ref<NSArray>& array, bool convert);
    // The objects in order; nil entries become nil elements.
    static Ref<RXTuple> tupleWithObjects(std::initializer_list<id> objects);
    static Ref<RXTuple> tupleWithObjectsFromVector(const std::vector<id>& objects);

    const Ref<NSArray>& backingArray() const noexcept { return backingArray_; }
    NSUInteger count() const noexcept;
    // The element at the index; nil beyond the count and for nil elements.
    id objectAtIndex(NSUInteger index) const;
    id objectAtIndexedSubscript(NSUInteger index) const { return objectAtIndex(index); }
    id operator[](NSUInteger index) const { return objectAtIndex(index); }
    id first() const { return objectAtIndex(0); }
    id second() const { return objectAtIndex(1); }
    id third() const { return objectAtIndex(2); }
    id fourth() const { return objectAtIndex(3); }
    id fifth() const { return objectAtIndex(4); }
    id last() const;
    // The elements with nil elements as NSNull.
    Ref<NSArray> allObjects() const;
    // The elements as values (nil elements as nil).
    std::vector<id> values() const;
    // A new tuple with the object appended.
    Ref<RXTuple> tupleByAddingObject(const id& object) const;

    // Enumeration walks the backing array (a nil element is the placeholder itself).
    std::vector<id>::const_iterator begin() const { return backingArray_->begin(); }
    std::vector<id>::const_iterator end() const { return backingArray_->end(); }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override;

private:
    Ref<NSArray> backingArray_;
};
