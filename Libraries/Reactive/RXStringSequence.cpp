#include <Reactive/RXStringSequence.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXStringSequence, RXSequence) {}

RXStringSequence::RXStringSequence(Ref<NSString> string, NSUInteger offset)
    : string_(string ? std::move(string) : NSString::string()), offset_(offset), length_(string_->length()) {}

Ref<RXSequence> RXStringSequence::sequenceWithStringOffset(const Ref<NSString>& string, NSUInteger offset) {
    NSUInteger length = string ? string->length() : 0;
    if (offset > length) {
        NSException::raise(NSInvalidArgumentException, "sequenceWithString:offset: the offset " +
                                                           std::to_string(offset) + " is beyond the length " +
                                                           std::to_string(length));
    }
    if (offset == length) {
        return RXSequence::empty();
    }
    return make<RXStringSequence>(cast<NSString>(string->copy()), offset);
}

id RXStringSequence::head() const {
    return offset_ < length_ ? string_->substringWithRange(NSMakeRange(offset_, 1)) : nullptr;
}

Ref<RXSequence> RXStringSequence::tail() const {
    if (offset_ + 1 >= length_) {
        return RXSequence::empty();
    }
    return make<RXStringSequence>(string_, offset_ + 1)->withNameOf(this);
}

Ref<NSArray> RXStringSequence::array() const {
    std::vector<id> characters;
    NSUInteger index = offset_;
    while (index < length_) {
        NSRange range = string_->rangeOfComposedCharacterSequenceAtIndex(index);
        NSUInteger end = NSMaxRange(range);
        // A sequence that starts before the offset (the offset cuts a character) keeps its part
        // from the offset on.
        characters.push_back(string_->substringWithRange(NSMakeRange(index, end - index)));
        index = end;
    }
    return NSArray::arrayWithVector(std::move(characters));
}

NSUInteger RXStringSequence::countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                                     NSUInteger length) const {
    if (state.state == 0) {
        state.state = offset_ + 1; // the UTF-16 position, one up
    }
    if (state.state == RXSequenceEnumerationFinished) {
        return 0;
    }
    NSUInteger index = state.state - 1;
    NSUInteger count = 0;
    while (count < length && index < length_) {
        NSUInteger end = NSMaxRange(string_->rangeOfComposedCharacterSequenceAtIndex(index));
        buffer[count++] = string_->substringWithRange(NSMakeRange(index, end - index));
        index = end;
    }
    state.state = index < length_ ? index + 1 : RXSequenceEnumerationFinished;
    return count;
}

Ref<NSString> RXStringSequence::description() const {
    return NSString::stringWithFormat("<%@: %p>{ name = %@, string = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), string_->substringFromIndex(offset_));
}
