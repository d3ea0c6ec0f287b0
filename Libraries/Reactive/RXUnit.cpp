#include <Reactive/RXUnit.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXUnit, NSObject) {
    b.classMethod("defaultUnit", [] { return RXUnit::defaultUnit(); });
}

const Ref<RXUnit>& RXUnit::defaultUnit() {
    static const Ref<RXUnit> shared = make<RXUnit>();
    return shared;
}
