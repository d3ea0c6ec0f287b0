#include <Reactive/RXTupleNil.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTupleNil, NSObject) {
    b.classMethod("tupleNil", [] { return RXTupleNil::tupleNil(); });
    b.conformsTo(NSSecureCodingProtocol());
    ns_coding::registerDecoder(
        b.cls(), [](NSCoder*) -> id { return RXTupleNil::tupleNil(); }, true);
}

const Ref<RXTupleNil>& RXTupleNil::tupleNil() {
    static const Ref<RXTupleNil> shared = make<RXTupleNil>();
    return shared;
}

id RXTupleNil::copy() const {
    return tupleNil();
}
