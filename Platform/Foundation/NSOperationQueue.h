// NSOperationQueue: runs operations as they become ready, by priority and then in the order they
// were added, up to a number at a time. The main queue runs its operations one at a time on the
// main thread (through the main dispatch queue); other queues run them on the default global queue
// (or on the thread an operation names through NSOperation::submitStart).
//
// A queue holds its operations until they finish. It starts an operation by calling start() on a
// thread of its own (the main thread for the main queue); an operation whose start() returns before
// it has finished keeps its slot until it announces isFinished.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <functional>
#include <memory>

class NSArray;
class NSOperation;
class NSString;

inline constexpr NSInteger NSOperationQueueDefaultMaxConcurrentOperationCount = -1;

class NSOperationQueue : public NSObject {
    NS_OBJECT(NSOperationQueue, NSObject)
public:
    NSOperationQueue();
    // The main queue is made once, by mainQueue(); the key can be made only there.
    class MainKey {
        friend class NSOperationQueue;
        MainKey() = default;
    };
    explicit NSOperationQueue(MainKey);
    ~NSOperationQueue() override;

    static Ref<NSOperationQueue> mainQueue();
    // The queue running the current operation; on the main thread outside operations the main queue;
    // otherwise nil.
    static Ref<NSOperationQueue> currentQueue();

    // Raises NSInvalidArgumentException for nil, for an operation already in a queue, and for one
    // that is executing or has finished.
    void addOperation(const Ref<NSOperation>& operation);
    void addOperationsWaitUntilFinished(const Ref<NSArray>& operations, bool wait);
    void addOperationWithBlock(std::function<void()> block);

    // The operations not finished yet, in the order they were added.
    Ref<NSArray> operations() const;
    NSUInteger operationCount() const;

    NSInteger maxConcurrentOperationCount() const;
    // -1 (the default) leaves the number to the system; 0 runs nothing; below -1 raises
    // NSInvalidArgumentException. The main queue stays at 1.
    void setMaxConcurrentOperationCount(NSInteger count);
    // A suspended queue starts no operation (those running go on).
    bool isSuspended() const;
    void setSuspended(bool suspended);
    void cancelAllOperations();
    // Blocks until the queue has no operations left.
    void waitUntilAllOperationsAreFinished();

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);
    Ref<NSString> description() const override;

private:
    friend class NSOperation;
    void operationDidFinish(NSOperation* operation);
    void schedule();
    void launch(const Ref<NSOperation>& operation);

    struct State;
    const bool isMain_;
    std::unique_ptr<State> state_;
};
