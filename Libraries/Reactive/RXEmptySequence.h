// RXEmptySequence: the sequence with no elements; one shared instance per process.
#pragma once

#include <Reactive/RXSequence.h>

class RXEmptySequence : public RXSequence {
    NS_OBJECT(RXEmptySequence, RXSequence)
public:
    RXEmptySequence() = default;

    // The shared instance.
    static const Ref<RXSequence>& empty();

    id head() const override { return nullptr; }
    Ref<RXSequence> tail() const override { return nullptr; }
    Ref<NSArray> array() const override { return NSArray::array(); }
    // The pass-through sequence when there is one, else the receiver.
    Ref<RXSequence> bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                         const Ref<RXSequence>& passthrough) override;
    Ref<NSString> description() const override;
    // Archived as itself, with nothing in it; decodes to the shared instance.
    void encodeWithCoder(NSCoder*) override {}
    Class classForCoder() const override { return RXEmptySequence::class_(); }
};
