// RXBlockTrampoline: calls a block with the elements of an RXTuple as separate arguments. It is the
// engine of reduceEach, reduceApply, the reducing forms of the combining operators and lifting.
//
// Blocks are RXReduceBlock values, made from any callable with a fixed parameter list. Parameters
// may be `id`, `Ref<T>` (the element must be a T or nil), or scalars (unboxed from NSNumber); the
// result may be `id`, `Ref<T>`, a scalar (boxed) or void (nil):
//
//     RXReduceBlock sum = [](const Ref<NSNumber>& a, const Ref<NSNumber>& b) { return box(a->intValue() +
//     b->intValue()); };
//
// A tuple whose count differs from the block's parameter count raises NSInvalidArgumentException.
// There is no limit on the number of arguments.
#pragma once

#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>

#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

class RXReduceBlock {
public:
    RXReduceBlock() = default;
    RXReduceBlock(std::nullptr_t) {}
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, RXReduceBlock> &&
                                                !std::is_same_v<std::decay_t<F>, std::nullptr_t>>>
    RXReduceBlock(F f) {
        using Traits = objc_detail::LambdaTraits<std::decay_t<F>>;
        using Args = typename Traits::Args;
        using R = typename Traits::Result;
        argumentCount_ = std::tuple_size_v<Args>;
        impl_ = [f = std::move(f)](const std::vector<id>& args) mutable -> id {
            return call<R, Args>(f, args, std::make_index_sequence<std::tuple_size_v<Args>>{});
        };
    }

    // A block that takes any number of arguments, as one vector.
    static RXReduceBlock variadic(std::function<id(const std::vector<id>& arguments)> block);

    explicit operator bool() const noexcept { return static_cast<bool>(impl_); }
    size_t argumentCount() const noexcept { return argumentCount_; }
    bool isVariadic() const noexcept { return variadic_; }

    // Calls the block; raises NSInvalidArgumentException for a wrong count or argument type, and for
    // an empty block.
    id invoke(const std::vector<id>& arguments) const;

private:
    template <class R, class Args, class F, size_t... I>
    static id call(F& f, const std::vector<id>& args, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            f(objc_detail::fromArgument<std::tuple_element_t<I, Args>>(args[I])...);
            return nullptr;
        } else {
            return objc_detail::toResult(f(objc_detail::fromArgument<std::tuple_element_t<I, Args>>(args[I])...));
        }
    }

    std::function<id(const std::vector<id>&)> impl_;
    size_t argumentCount_ = 0;
    bool variadic_ = false;
};

class RXBlockTrampoline : public NSObject {
    NS_OBJECT(RXBlockTrampoline, NSObject)
public:
    explicit RXBlockTrampoline(RXReduceBlock block = nullptr) : block_(std::move(block)) {}

    // Calls the block with the tuple's elements (nil for nil elements).
    static id invokeBlockWithArguments(const RXReduceBlock& block, const Ref<RXTuple>& arguments);

    const RXReduceBlock& block() const noexcept { return block_; }
    id invokeWithArguments(const Ref<RXTuple>& arguments) const;
    // "performWith:" for 1, "performWith::" for 2, and so on; a null selector for 0.
    static SEL selectorForArgumentCount(NSUInteger count);

private:
    RXReduceBlock block_;
};
