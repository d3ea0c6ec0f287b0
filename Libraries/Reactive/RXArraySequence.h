// RXArraySequence: a sequence over an array, from an offset. Tails share the array and only move
// the offset.
#pragma once

#include <Reactive/RXSequence.h>

class RXArraySequence : public RXSequence {
    NS_OBJECT(RXArraySequence, RXSequence)
public:
    // Over `array` (held as given) from `offset`.
    RXArraySequence(Ref<NSArray> backingArray, NSUInteger offset);
    // `initWithCoder:`: the array under "array", from offset 0.
    explicit RXArraySequence(NSCoder* coder);

    // The shared empty sequence when the offset equals the count; else a new sequence over a copy of
    // the array. Raises NSInvalidArgumentException for an offset beyond the count.
    static Ref<RXSequence> sequenceWithArrayOffset(const Ref<NSArray>& array, NSUInteger offset);

    const Ref<NSArray>& backingArray() const noexcept { return backingArray_; }
    NSUInteger offset() const noexcept { return offset_; }

    id head() const override;
    Ref<RXSequence> tail() const override;
    Ref<NSArray> array() const override;
    Ref<NSString> description() const override;
    // Hands out array elements directly, keeping the absolute array position in the state.
    NSUInteger countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                       NSUInteger length) const override;

protected:
    // A sequence of the receiver's class over the same array at `offset` (< count).
    virtual Ref<RXSequence> sequenceOverBackingArrayAt(NSUInteger offset) const;
    static void checkOffset(const Ref<NSArray>& array, NSUInteger offset);

private:
    Ref<NSArray> backingArray_;
    NSUInteger offset_;
};
