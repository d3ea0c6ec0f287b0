// NSOperation: a unit of work with a life cycle (ready, executing, finished), cancellation,
// dependencies, a priority and a completion block.
//
// The base start() runs main() on the calling thread: it announces isExecuting, runs main(), then
// announces isExecuting and isFinished, all through key-value observing. A concurrent
// (asynchronous) subclass overrides start(), isExecuting(), isFinished() (and maybe isReady()) and
// announces its own changes of "isReady", "isExecuting" and "isFinished" with
// willChangeValueForKey/didChangeValueForKey: the operation observes itself, so that its queue,
// the operations that depend on it, waitUntilFinished() and the completion block learn of them.
//
// The completion block runs once, on a global queue, after the operation has finished; it is then
// released (a block that captures its operation does not keep it alive). An operation that is
// cancelled becomes ready, so its queue starts it and it finishes at once without running main().
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSArray;
class NSOperationQueue;
class NSString;

enum NSOperationQueuePriority : NSInteger {
    NSOperationQueuePriorityVeryLow = -8,
    NSOperationQueuePriorityLow = -4,
    NSOperationQueuePriorityNormal = 0,
    NSOperationQueuePriorityHigh = 4,
    NSOperationQueuePriorityVeryHigh = 8,
};

class NSOperation : public NSObject {
    NS_OBJECT(NSOperation, NSObject)
public:
    NSOperation();
    ~NSOperation() override;

    // Raises NSInvalidArgumentException when the operation is executing or not ready; does nothing
    // once it has finished.
    virtual void start();
    virtual void main();
    // Marks the operation cancelled (announcing "isCancelled" and "isReady"); it is up to main() to
    // look at isCancelled(). Cancelling twice or after the end changes nothing.
    virtual void cancel();
    virtual bool isCancelled() const;
    virtual bool isExecuting() const;
    virtual bool isFinished() const;
    // Cancelled, or every dependency has finished.
    virtual bool isReady() const;
    virtual bool isConcurrent() const { return false; }
    virtual bool isAsynchronous() const { return isConcurrent(); }

    // Raises NSInvalidArgumentException for nil, for the operation itself, and while executing.
    void addDependency(const Ref<NSOperation>& operation);
    void removeDependency(const Ref<NSOperation>& operation);
    Ref<NSArray> dependencies() const;

    NSOperationQueuePriority queuePriority() const;
    void setQueuePriority(NSOperationQueuePriority priority);
    std::function<void()> completionBlock() const;
    void setCompletionBlock(std::function<void()> block);
    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

    // Blocks until the operation has finished. Raises NSInternalInconsistencyException when called
    // from the operation's own main().
    void waitUntilFinished();

    Ref<NSString> description() const override;
    // The operation's own observation of "isFinished" and "isReady". A subclass that observes
    // something itself must pass the notifications it does not own on to this one.
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override;

protected:
    // Where a queue other than the main one has start() called: by default on a thread of the
    // default global queue. An asynchronous operation whose start() only hands its work to a thread
    // of its own, and never blocks there, may have start() called on that thread instead, which
    // spares the load one hand-over between threads.
    virtual void submitStart(std::function<void()> start);

private:
    friend class NSOperationQueue;
    void finishExecution();
    // Once isFinished is YES: tells the dependents and the queue, wakes waiters, runs the
    // completion block. Runs once.
    void didFinish();
    void dependencyFinished();
    void announceReadiness(const std::function<void()>& change);
    void observeSelf();

    enum State : int { Ready, Executing, Finished };
    mutable std::mutex mutex_;
    std::atomic<int> state_{Ready};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finishHandled_{false};
    std::atomic<uintptr_t> runningThread_{0};
    std::vector<Ref<NSOperation>> dependencies_;
    std::vector<Weak<NSOperation>> dependents_;
    std::function<void()> completionBlock_;
    NSOperationQueuePriority priority_ = NSOperationQueuePriorityNormal;
    Ref<NSString> name_;
    Weak<NSOperationQueue> queue_;
    bool enqueued_ = false;
    bool observingSelf_ = false;
    struct Waiters;
    std::unique_ptr<Waiters> waiters_;
};
