// RXIndexSetSequence: the indexes of an index set, ascending, as NSNumbers. The indexes are copied
// once into one buffer that every tail shares; a tail only moves a pointer and a count.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSIndexSet.h>
#include <Reactive/RXSequence.h>

#include <cstdint>

class RXIndexSetSequence : public RXSequence {
    NS_OBJECT(RXIndexSetSequence, RXSequence)
public:
    RXIndexSetSequence(Ref<NSData> data, const uint64_t* indexes, NSUInteger count);

    // The shared empty sequence for an empty (or nil) set.
    static Ref<RXSequence> sequenceWithIndexSet(const Ref<NSIndexSet>& indexSet);
    // A sequence sharing the other's buffer, `offset` words further on. Raises
    // NSInvalidArgumentException for an offset beyond the other's count.
    static Ref<RXSequence> sequenceWithIndexSetSequenceOffset(const Ref<RXIndexSetSequence>& sequence,
                                                              NSUInteger offset);

    NSUInteger count() const noexcept { return count_; }

    id head() const override;
    Ref<RXSequence> tail() const override;
    Ref<NSString> description() const override;
    NSUInteger countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                       NSUInteger length) const override;

private:
    Ref<NSData> data_;        // owns the buffer
    const uint64_t* indexes_; // inside data_
    NSUInteger count_;
};
