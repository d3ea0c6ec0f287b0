// RXValueTransformer: a value transformer made from a block; one way only.
#pragma once

#include <Foundation/NSString.h>

#include <functional>

class RXValueTransformer : public NSObject {
    NS_OBJECT(RXValueTransformer, NSObject)
public:
    using TransformBlock = std::function<id(const id& value)>;

    explicit RXValueTransformer(TransformBlock block = nullptr) : transformBlock_(std::move(block)) {}
    static Ref<RXValueTransformer> transformerWithBlock(TransformBlock block);

    const TransformBlock& transformBlock() const noexcept { return transformBlock_; }
    void setTransformBlock(TransformBlock block) { transformBlock_ = std::move(block); }

    static bool allowsReverseTransformation() { return false; }
    // The block's result for the value (nil without a block).
    id transformedValue(const id& value) const;

private:
    TransformBlock transformBlock_;
};
