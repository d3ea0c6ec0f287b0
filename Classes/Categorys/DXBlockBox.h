// DXBlockBox: a block kept as an object, so that a category can store it on a control as an
// associated object.
#pragma once

#include <Runtime/NSObject.h>

#include <functional>

template <class F>
class DXBlockBox : public NSObject {
public:
    explicit DXBlockBox(std::function<F> block) : block_(std::move(block)) {}
    const std::function<F>& block() const noexcept { return block_; }

    // The block stored under `key` on `object`, or an empty one.
    static std::function<F> blockOf(const NSObject* object, const void* key) {
        auto box = object ? cast<DXBlockBox<F>>(object->associatedObject(key)) : nullptr;
        return box ? box->block_ : std::function<F>();
    }
    // Stores the block (nil for an empty one) under `key` on `object`.
    static void store(NSObject* object, const void* key, std::function<F> block, objc_AssociationPolicy policy) {
        object->setAssociatedObject(key, block ? id(make<DXBlockBox<F>>(std::move(block))) : id(), policy);
    }

private:
    std::function<F> block_;
};
