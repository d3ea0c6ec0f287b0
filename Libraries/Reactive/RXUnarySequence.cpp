#include <Reactive/RXUnarySequence.h>

#include <Reactive/NSObject+RXDescription.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXUnarySequence, RXSequence) {
    b.conformsTo(NSCodingProtocol());
    ns_coding::registerDecoder(
        b.cls(), [](NSCoder* coder) -> id { return RXUnarySequence::return_(coder->decodeObjectForKey("head"_ns)); },
        false);
}

Ref<RXSequence> RXUnarySequence::return_(const id& value) {
    return make<RXUnarySequence>(value)->named("+return: %@", rx_description(value));
}

Ref<RXSequence> RXUnarySequence::bindPassingThroughValuesFromSequence(RXStreamBindBlock bindBlock,
                                                                      const Ref<RXSequence>& passthrough) {
    if (passthrough) {
        // Values already under way come first: the general lazy binding handles that.
        return RXSequence::bindPassingThroughValuesFromSequence(std::move(bindBlock), passthrough);
    }
    bool stop = false;
    Ref<RXSequence> result = head_ && bindBlock ? asSequence(bindBlock(head_, &stop), "-bind:") : nullptr;
    return result ? result : RXSequence::empty();
}

Ref<NSString> RXUnarySequence::description() const {
    return NSString::stringWithFormat("<%@: %p>{ name = %@, head = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name(), head_);
}

void RXUnarySequence::encodeWithCoder(NSCoder* coder) {
    if (head_) {
        coder->encodeObjectForKey(head_, "head"_ns);
    }
}
