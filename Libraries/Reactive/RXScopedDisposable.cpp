#include <Reactive/RXScopedDisposable.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXScopedDisposable, RXDisposable) {}

RXScopedDisposable::~RXScopedDisposable() {
    dispose();
}

Ref<RXScopedDisposable> RXScopedDisposable::scopedDisposableWithDisposable(const Ref<RXDisposable>& disposable) {
    return make<RXScopedDisposable>([disposable] {
        if (disposable) {
            disposable->dispose();
        }
    });
}

Ref<RXScopedDisposable> RXScopedDisposable::asScopedDisposable() {
    return Ref<RXScopedDisposable>(this);
}
