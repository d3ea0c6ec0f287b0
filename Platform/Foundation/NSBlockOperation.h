// NSBlockOperation: an operation that runs one or more blocks, in the order they were added, on the
// thread that runs the operation.
#pragma once

#include <Foundation/NSOperation.h>

#include <functional>
#include <vector>

class NSBlockOperation : public NSOperation {
    NS_OBJECT(NSBlockOperation, NSOperation)
public:
    NSBlockOperation() = default;
    // Raises NSInvalidArgumentException for an empty block.
    static Ref<NSBlockOperation> blockOperationWithBlock(std::function<void()> block);

    // Raises NSInvalidArgumentException for an empty block and once the operation is executing or
    // has finished.
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;

    void main() override;

private:
    mutable std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};
