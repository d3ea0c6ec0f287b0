// RXStringSequence: a sequence over a string, from an offset in UTF-16 units. `head` and `tail` step
// by single UTF-16 units (one-unit strings), while `array` and enumeration hand out whole composed
// character sequences (user-perceived characters: a letter with its accents is one element there).
#pragma once

#include <Reactive/RXSequence.h>

class RXStringSequence : public RXSequence {
    NS_OBJECT(RXStringSequence, RXSequence)
public:
    RXStringSequence(Ref<NSString> string, NSUInteger offset);

    // The shared empty sequence when the offset equals the length; else a new sequence over a copy
    // of the string. Raises NSInvalidArgumentException for an offset beyond the length.
    static Ref<RXSequence> sequenceWithStringOffset(const Ref<NSString>& string, NSUInteger offset);

    const Ref<NSString>& string() const noexcept { return string_; }
    NSUInteger offset() const noexcept { return offset_; }

    id head() const override;
    Ref<RXSequence> tail() const override;
    Ref<NSArray> array() const override;
    Ref<NSString> description() const override;
    NSUInteger countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                       NSUInteger length) const override;

private:
    Ref<NSString> string_;
    NSUInteger offset_;
    NSUInteger length_;
};
