#include <Reactive/RXGroupedSignal.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXGroupedSignal, RXSubject) {
    b.readonlyProperty("key", &RXGroupedSignal::key);
}

Ref<RXGroupedSignal> RXGroupedSignal::signalWithKey(const id& key) {
    auto signal = make<RXGroupedSignal>();
    signal->key_ = key ? key->copy() : nullptr;
    return signal;
}
