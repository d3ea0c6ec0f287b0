#include <Reactive/RXEagerSequence.h>

#include <Reactive/NSObject+RXDescription.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXEagerSequence, RXArraySequence) {
    NSCodingRegister(b);
}

Ref<RXSequence> RXEagerSequence::sequenceWithArrayOffset(const Ref<NSArray>& array, NSUInteger offset) {
    checkOffset(array, offset);
    if (!array || offset == array->count()) {
        return RXSequence::empty();
    }
    return make<RXEagerSequence>(cast<NSArray>(array->copy()), offset);
}

Ref<RXSequence> RXEagerSequence::return_(const id& value) {
    Ref<NSArray> items = value ? NSArray::arrayWithObjects({value}) : NSArray::array();
    return make<RXEagerSequence>(items, 0)->named("+return: %@", rx_description(value));
}

Ref<RXStream> RXEagerSequence::returnStream(const id& value) const {
    return RXEagerSequence::return_(value);
}

Ref<RXSequence> RXEagerSequence::sequenceOverBackingArrayAt(NSUInteger offset) const {
    return make<RXEagerSequence>(backingArray(), offset);
}

Ref<RXSequence> RXEagerSequence::bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                                      const Ref<RXSequence>& passthrough) {
    std::vector<id> collected;
    if (passthrough) {
        for (const id& value : *passthrough) {
            collected.push_back(value);
        }
    }
    if (bindBlock) {
        Ref<NSArray> values = array();
        for (const id& value : *values) {
            bool stop = false;
            Ref<RXSequence> bound = asSequence(bindBlock(value, &stop), "-bind:");
            if (!bound) {
                break;
            }
            for (const id& element : *bound) {
                collected.push_back(element);
            }
            if (stop) {
                break;
            }
        }
    }
    return sequenceWithArrayOffset(NSArray::arrayWithVector(std::move(collected)), 0);
}

Ref<RXSequence> RXEagerSequence::concat(const Ref<RXSequence>& sequence) {
    std::vector<id> both = array()->objects();
    if (sequence) {
        for (const id& value : *sequence) {
            both.push_back(value);
        }
    }
    return sequenceWithArrayOffset(NSArray::arrayWithVector(std::move(both)), 0)
        ->named("[%@] -concat: %@", name(), sequence);
}

Ref<RXSequence> RXEagerSequence::lazySequence() {
    return RXArraySequence::sequenceWithArrayOffset(array(), 0);
}

id RXEagerSequence::foldRightWithStartReduce(
    const id& start, std::function<id(const id& first, const Ref<RXSequence>& rest)> reduce) const {
    id first = head();
    if (!first) {
        return start;
    }
    Ref<RXSequence> remaining = tail();
    id folded = remaining ? remaining->eagerSequence()->foldRightWithStartReduce(start, reduce) : start;
    return reduce(first, RXEagerSequence::return_(folded));
}
