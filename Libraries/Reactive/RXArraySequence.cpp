#include <Reactive/RXArraySequence.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXArraySequence, RXSequence) {
    NSCodingRegister(b);
}

RXArraySequence::RXArraySequence(Ref<NSArray> backingArray, NSUInteger offset)
    : backingArray_(backingArray ? std::move(backingArray) : NSArray::array()), offset_(offset) {}

RXArraySequence::RXArraySequence(NSCoder* coder)
    : RXArraySequence(cast<NSArray>(coder->decodeObjectForKey("array"_ns)), 0) {}

void RXArraySequence::checkOffset(const Ref<NSArray>& array, NSUInteger offset) {
    NSUInteger count = array ? array->count() : 0;
    if (offset > count) {
        NSException::raise(NSInvalidArgumentException, "sequenceWithArray:offset: the offset " +
                                                           std::to_string(offset) + " is beyond the " +
                                                           std::to_string(count) + " elements");
    }
}

Ref<RXSequence> RXArraySequence::sequenceWithArrayOffset(const Ref<NSArray>& array, NSUInteger offset) {
    checkOffset(array, offset);
    if (!array || offset == array->count()) {
        return RXSequence::empty();
    }
    return make<RXArraySequence>(cast<NSArray>(array->copy()), offset);
}

Ref<RXSequence> RXArraySequence::sequenceOverBackingArrayAt(NSUInteger offset) const {
    return make<RXArraySequence>(backingArray_, offset);
}

id RXArraySequence::head() const {
    return offset_ < backingArray_->count() ? backingArray_->objectAtIndex(offset_) : nullptr;
}

Ref<RXSequence> RXArraySequence::tail() const {
    if (offset_ + 1 >= backingArray_->count()) {
        return RXSequence::empty();
    }
    return sequenceOverBackingArrayAt(offset_ + 1)->withNameOf(this);
}

Ref<NSArray> RXArraySequence::array() const {
    NSUInteger count = backingArray_->count();
    if (offset_ == 0) {
        return backingArray_;
    }
    return backingArray_->subarrayWithRange(NSMakeRange(offset_, count > offset_ ? count - offset_ : 0));
}

Ref<NSString> RXArraySequence::description() const {
    return NSString::stringWithFormat("<%@: %p>{ name = %@, array = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), backingArray_);
}

NSUInteger RXArraySequence::countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                                    NSUInteger length) const {
    const auto& items = backingArray_->objects();
    if (state.state == 0) {
        state.state = offset_ + 1; // positions are stored one up, so that 0 stays "not started"
    }
    if (state.state == RXSequenceEnumerationFinished) {
        return 0;
    }
    NSUInteger position = state.state - 1;
    NSUInteger count = 0;
    while (count < length && position < items.size()) {
        buffer[count++] = items[position++];
    }
    state.state = position < items.size() ? position + 1 : RXSequenceEnumerationFinished;
    return count;
}
