#include <Reactive/RXTupleUnpackingTrampoline.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTupleUnpackingTrampoline, NSObject) {}

const Ref<RXTupleUnpackingTrampoline>& RXTupleUnpackingTrampoline::trampoline() {
    static const Ref<RXTupleUnpackingTrampoline> shared = make<RXTupleUnpackingTrampoline>();
    return shared;
}

void RXTupleUnpackingTrampoline::setObjectForKeyedSubscript(const Ref<RXTuple>& tuple,
                                                            const std::vector<id*>& variables) const {
    for (size_t i = 0; i < variables.size(); ++i) {
        if (variables[i]) {
            *variables[i] = tuple ? tuple->objectAtIndex(i) : id();
        }
    }
}
