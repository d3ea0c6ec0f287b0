// RXUnarySequence: a sequence of one element.
#pragma once

#include <Reactive/RXSequence.h>

class RXUnarySequence : public RXSequence {
    NS_OBJECT(RXUnarySequence, RXSequence)
public:
    explicit RXUnarySequence(id head = nullptr) : head_(std::move(head)) {}

    // `+return:`: named "+return: %@".
    static Ref<RXSequence> return_(const id& value);

    id head() const override { return head_; }
    Ref<RXSequence> tail() const override { return nullptr; }
    // Calls the bind block once, on the head.
    Ref<RXSequence> bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                         const Ref<RXSequence>& passthrough) override;
    Ref<NSString> description() const override;
    // Archived as itself: the head under "head".
    void encodeWithCoder(NSCoder* coder) override;
    Class classForCoder() const override { return RXUnarySequence::class_(); }

private:
    id head_;
};
