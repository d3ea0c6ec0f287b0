#include <Reactive/RXValueTransformer.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXValueTransformer, NSObject) {
    b.method("transformedValue:", &RXValueTransformer::transformedValue);
    b.classMethod("allowsReverseTransformation", [] { return RXValueTransformer::allowsReverseTransformation(); });
}

Ref<RXValueTransformer> RXValueTransformer::transformerWithBlock(TransformBlock block) {
    return make<RXValueTransformer>(std::move(block));
}

id RXValueTransformer::transformedValue(const id& value) const {
    return transformBlock_ ? transformBlock_(value) : id();
}
