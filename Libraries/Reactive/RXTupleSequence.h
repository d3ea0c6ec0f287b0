// RXTupleSequence: a sequence over the elements of a tuple, from an offset; a nil element of the
// tuple (RXTupleNil) is given as NSNull.
#pragma once

#include <Reactive/RXSequence.h>

class RXTuple;

class RXTupleSequence : public RXSequence {
    NS_OBJECT(RXTupleSequence, RXSequence)
public:
    RXTupleSequence(Ref<NSArray> tupleBackingArray, NSUInteger offset);

    // The shared empty sequence when the offset equals the count; else a new sequence holding the
    // array itself (a tuple's backing array never changes). Raises NSInvalidArgumentException for an
    // offset beyond the count.
    static Ref<RXSequence> sequenceWithTupleBackingArrayOffset(const Ref<NSArray>& backingArray, NSUInteger offset);

    id head() const override;
    Ref<RXSequence> tail() const override;
    Ref<NSArray> array() const override;
    Ref<NSString> description() const override;

private:
    Ref<NSArray> tupleBackingArray_;
    NSUInteger offset_;
};

// `-[RXTuple rx_sequence]`: the tuple's elements as a sequence.
Ref<RXSequence> rx_sequence(const Ref<RXTuple>& tuple);
