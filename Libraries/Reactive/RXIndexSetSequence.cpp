#include <Reactive/RXIndexSetSequence.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <cstring>

#include <vector>

NS_IMPLEMENT_CLASS(RXIndexSetSequence, RXSequence) {}

RXIndexSetSequence::RXIndexSetSequence(Ref<NSData> data, const uint64_t* indexes, NSUInteger count)
    : data_(std::move(data)), indexes_(indexes), count_(count) {}

Ref<RXSequence> RXIndexSetSequence::sequenceWithIndexSet(const Ref<NSIndexSet>& indexSet) {
    if (!indexSet || indexSet->count() == 0) {
        return RXSequence::empty();
    }
    std::vector<uint8_t> bytes(indexSet->count() * sizeof(uint64_t));
    uint64_t word;
    size_t at = 0;
    for (const NSRange& range : indexSet->ranges()) {
        for (NSUInteger i = range.location; i < NSMaxRange(range); ++i) {
            word = i;
            std::memcpy(bytes.data() + at, &word, sizeof word);
            at += sizeof word;
        }
    }
    auto data = NSData::dataWithVector(std::move(bytes));
    // The buffer comes from the allocator, which aligns it for any scalar.
    const auto* indexes = reinterpret_cast<const uint64_t*>(data->bytes());
    return make<RXIndexSetSequence>(data, indexes, indexSet->count());
}

Ref<RXSequence> RXIndexSetSequence::sequenceWithIndexSetSequenceOffset(const Ref<RXIndexSetSequence>& sequence,
                                                                       NSUInteger offset) {
    if (!sequence || offset > sequence->count_) {
        NSException::raise(NSInvalidArgumentException, "sequenceWithIndexSetSequence:offset: the offset " +
                                                           std::to_string(offset) + " is beyond the sequence");
    }
    return make<RXIndexSetSequence>(sequence->data_, sequence->indexes_ + offset, sequence->count_ - offset);
}

id RXIndexSetSequence::head() const {
    return count_ > 0 ? id(NSNumber::numberWithUnsignedInteger(static_cast<NSUInteger>(indexes_[0]))) : nullptr;
}

Ref<RXSequence> RXIndexSetSequence::tail() const {
    if (count_ <= 1) {
        return RXSequence::empty();
    }
    return make<RXIndexSetSequence>(data_, indexes_ + 1, count_ - 1);
}

NSUInteger RXIndexSetSequence::countByEnumeratingWithStateObjectsCount(RXSequenceEnumerationState& state, id* buffer,
                                                                       NSUInteger length) const {
    if (state.state == RXSequenceEnumerationFinished) {
        return 0;
    }
    NSUInteger position = state.state == 0 ? 0 : state.state - 1; // stored one up
    NSUInteger count = 0;
    while (count < length && position < count_) {
        buffer[count++] = NSNumber::numberWithUnsignedInteger(static_cast<NSUInteger>(indexes_[position++]));
    }
    state.state = position < count_ ? position + 1 : RXSequenceEnumerationFinished;
    return count;
}

Ref<NSString> RXIndexSetSequence::description() const {
    std::string indexes;
    for (NSUInteger i = 0; i < count_; ++i) {
        indexes += (i ? ", " : "") + std::to_string(indexes_[i]);
    }
    return NSString::stringWithFormat("<%@: %p>{ name = %@, indexes = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), NSString::from(indexes));
}
