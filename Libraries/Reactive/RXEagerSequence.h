// RXEagerSequence: an array sequence whose operators evaluate at once: bind and concat build their
// whole result when called.
#pragma once

#include <Reactive/RXArraySequence.h>

class RXEagerSequence : public RXArraySequence {
    NS_OBJECT(RXEagerSequence, RXArraySequence)
public:
    RXEagerSequence(Ref<NSArray> backingArray, NSUInteger offset) : RXArraySequence(std::move(backingArray), offset) {}
    explicit RXEagerSequence(NSCoder* coder) : RXArraySequence(coder) {}

    // As RXArraySequence's, making an eager sequence.
    static Ref<RXSequence> sequenceWithArrayOffset(const Ref<NSArray>& array, NSUInteger offset);
    // A one-element eager sequence, named "+return: %@".
    static Ref<RXSequence> return_(const id& value);

    Ref<RXSequence> bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                         const Ref<RXSequence>& passthrough) override;
    Ref<RXSequence> concat(const Ref<RXSequence>& sequence) override;
    Ref<RXSequence> eagerSequence() override { return Ref<RXSequence>(this); }
    Ref<RXSequence> lazySequence() override;
    // Hands the block its rest as an eager sequence, so the whole fold is always computed.
    id foldRightWithStartReduce(const id& start,
                                std::function<id(const id& first, const Ref<RXSequence>& rest)> reduce) const override;

protected:
    Ref<RXStream> returnStream(const id& value) const override;
    Ref<RXSequence> sequenceOverBackingArrayAt(NSUInteger offset) const override;
};
