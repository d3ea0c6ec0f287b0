#include <Reactive/RXTupleSequence.h>

#include <Foundation/NSNumber.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTupleSequence, RXSequence) {}

namespace {
id nullForNil(const id& element) {
    return element.get() == RXTupleNil::tupleNil().get() ? id(NSNull::null()) : element;
}
} // namespace

RXTupleSequence::RXTupleSequence(Ref<NSArray> tupleBackingArray, NSUInteger offset)
    : tupleBackingArray_(tupleBackingArray ? std::move(tupleBackingArray) : NSArray::array()), offset_(offset) {}

Ref<RXSequence> RXTupleSequence::sequenceWithTupleBackingArrayOffset(const Ref<NSArray>& backingArray,
                                                                     NSUInteger offset) {
    NSUInteger count = backingArray ? backingArray->count() : 0;
    if (offset > count) {
        NSException::raise(NSInvalidArgumentException, "sequenceWithTupleBackingArray:offset: the offset " +
                                                           std::to_string(offset) + " is beyond the " +
                                                           std::to_string(count) + " elements");
    }
    if (offset == count) {
        return RXSequence::empty();
    }
    return make<RXTupleSequence>(backingArray, offset);
}

id RXTupleSequence::head() const {
    return offset_ < tupleBackingArray_->count() ? nullForNil(tupleBackingArray_->objectAtIndex(offset_)) : nullptr;
}

Ref<RXSequence> RXTupleSequence::tail() const {
    if (offset_ + 1 >= tupleBackingArray_->count()) {
        return RXSequence::empty();
    }
    return make<RXTupleSequence>(tupleBackingArray_, offset_ + 1)->withNameOf(this);
}

Ref<NSArray> RXTupleSequence::array() const {
    std::vector<id> items;
    const auto& elements = tupleBackingArray_->objects();
    for (size_t i = offset_; i < elements.size(); ++i) {
        items.push_back(nullForNil(elements[i]));
    }
    return NSArray::arrayWithVector(std::move(items));
}

Ref<NSString> RXTupleSequence::description() const {
    return NSString::stringWithFormat("<%@: %p>{ name = %@, tuple = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), tupleBackingArray_);
}

Ref<RXSequence> rx_sequence(const Ref<RXTuple>& tuple) {
    return RXTupleSequence::sequenceWithTupleBackingArrayOffset(tuple ? tuple->backingArray() : nullptr, 0);
}
