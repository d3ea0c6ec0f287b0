#include <Reactive/RXBlockTrampoline.h>

#include <string>

// The trampoline answers "performWith:", "performWith::", ... up to fifteen arguments by selector,
// each calling the block with exactly those arguments.
NS_IMPLEMENT_CLASS(RXBlockTrampoline, NSObject) {
    for (NSUInteger count = 1; count <= 15; ++count) {
        SEL selector = RXBlockTrampoline::selectorForArgumentCount(count);
        b.cls()->replaceInstanceMethod(
            selector,
            [selector](NSObject* self, const std::vector<id>& args) -> id {
                objc_detail::checkArity(selector, selector.argumentCount(), args);
                return static_cast<RXBlockTrampoline*>(self)->block().invoke(args);
            },
            "@@:" + std::string(count, '@'));
    }
}

RXReduceBlock RXReduceBlock::variadic(std::function<id(const std::vector<id>& arguments)> block) {
    RXReduceBlock result;
    result.impl_ = std::move(block);
    result.variadic_ = true;
    return result;
}

id RXReduceBlock::invoke(const std::vector<id>& arguments) const {
    if (!impl_) {
        NSException::raise(NSInvalidArgumentException, "RXReduceBlock: the block is empty");
    }
    if (!variadic_ && arguments.size() != argumentCount_) {
        NSException::raise(NSInvalidArgumentException, "RXReduceBlock: the block takes " +
                                                           std::to_string(argumentCount_) + " arguments, given " +
                                                           std::to_string(arguments.size()));
    }
    return impl_(arguments);
}

id RXBlockTrampoline::invokeBlockWithArguments(const RXReduceBlock& block, const Ref<RXTuple>& arguments) {
    return block.invoke(arguments ? arguments->values() : std::vector<id>{});
}

id RXBlockTrampoline::invokeWithArguments(const Ref<RXTuple>& arguments) const {
    return invokeBlockWithArguments(block_, arguments);
}

SEL RXBlockTrampoline::selectorForArgumentCount(NSUInteger count) {
    if (count == 0) {
        return SEL();
    }
    return SEL("performWith" + std::string(count, ':'));
}
