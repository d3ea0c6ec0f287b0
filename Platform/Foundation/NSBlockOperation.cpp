#include <Foundation/NSBlockOperation.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSBlockOperation, NSOperation) {}

Ref<NSBlockOperation> NSBlockOperation::blockOperationWithBlock(std::function<void()> block) {
    auto operation = make<NSBlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void NSBlockOperation::addExecutionBlock(std::function<void()> block) {
    if (!block) {
        NSException::raise(NSInvalidArgumentException, "-[NSBlockOperation addExecutionBlock:]: the block is empty");
    }
    if (isExecuting() || isFinished()) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSBlockOperation addExecutionBlock:]: the operation is executing or has finished");
    }
    std::lock_guard<std::mutex> lock(blocksMutex_);
    blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> NSBlockOperation::executionBlocks() const {
    std::lock_guard<std::mutex> lock(blocksMutex_);
    return blocks_;
}

void NSBlockOperation::main() {
    std::vector<std::function<void()>> blocks;
    {
        std::lock_guard<std::mutex> lock(blocksMutex_);
        blocks.swap(blocks_);
    }
    for (auto& block : blocks) {
        block();
    }
}
