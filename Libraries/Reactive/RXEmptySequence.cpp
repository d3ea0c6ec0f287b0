#include <Reactive/RXEmptySequence.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXEmptySequence, RXSequence) {
    b.conformsTo(NSCodingProtocol());
    ns_coding::registerDecoder(
        b.cls(), [](NSCoder*) -> id { return RXEmptySequence::empty(); }, false);
}

const Ref<RXSequence>& RXEmptySequence::empty() {
    static const Ref<RXSequence> shared = make<RXEmptySequence>();
    return shared;
}

Ref<RXSequence> RXEmptySequence::bindPassingThroughValuesFromSequence(RXStreamBindBlock,
                                                                      const Ref<RXSequence>& passthrough) {
    return passthrough ? passthrough : Ref<RXSequence>(this);
}

Ref<NSString> RXEmptySequence::description() const {
    return NSString::stringWithFormat("<%@: %p>{ name = %@ }", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name());
}
