#include <Reactive/RXTupleNil.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTupleNil, NSObject) {
    b.classMethod("tupleNil", [] { return RXTupleNil::tupleNil(); });
}

const Ref<RXTupleNil>& RXTupleNil::tupleNil() {
    static const Ref<RXTupleNil> shared = make<RXTupleNil>();
    return shared;
}

id RXTupleNil::copy() const {
    return tupleNil();
}
