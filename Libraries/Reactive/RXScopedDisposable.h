// RXScopedDisposable: a disposable that disposes itself when its last reference goes.
#pragma once

#include <Reactive/RXDisposable.h>

class RXScopedDisposable : public RXDisposable {
    NS_OBJECT(RXScopedDisposable, RXDisposable)
public:
    RXScopedDisposable() noexcept = default;
    explicit RXScopedDisposable(RXDisposableBlock block) : RXDisposable(std::move(block)) {}
    ~RXScopedDisposable() override;

    // A scoped disposable whose disposal disposes `disposable`.
    static Ref<RXScopedDisposable> scopedDisposableWithDisposable(const Ref<RXDisposable>& disposable);

    Ref<RXScopedDisposable> asScopedDisposable() override;
};
