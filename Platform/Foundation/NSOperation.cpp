#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSOperation.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

using namespace dispatch_detail;

NS_IMPLEMENT_CLASS(NSOperation, NSObject) {
    b.method("start", &NSOperation::start);
    b.method("main", &NSOperation::main);
    b.method("cancel", &NSOperation::cancel);
    b.method("waitUntilFinished", &NSOperation::waitUntilFinished);
    b.readonlyProperty("isReady", &NSOperation::isReady);
    b.readonlyProperty("isExecuting", &NSOperation::isExecuting);
    b.readonlyProperty("isFinished", &NSOperation::isFinished);
    b.readonlyProperty("isCancelled", &NSOperation::isCancelled);
    b.readonlyProperty("isConcurrent", &NSOperation::isConcurrent);
    b.readonlyProperty("isAsynchronous", &NSOperation::isAsynchronous);
    b.readonlyProperty("dependencies", &NSOperation::dependencies);
    b.property("queuePriority", &NSOperation::queuePriority, &NSOperation::setQueuePriority);
    b.property("name", &NSOperation::name, &NSOperation::setName);
}

namespace {

char kSelfObservation;

// Never destroyed: threads that outlive main() may still read them while the process exits.
const Ref<NSString>& keyReady() {
    static const Ref<NSString>& key = *new Ref<NSString>("isReady"_ns);
    return key;
}
const Ref<NSString>& keyExecuting() {
    static const Ref<NSString>& key = *new Ref<NSString>("isExecuting"_ns);
    return key;
}
const Ref<NSString>& keyFinished() {
    static const Ref<NSString>& key = *new Ref<NSString>("isFinished"_ns);
    return key;
}
const Ref<NSString>& keyCancelled() {
    static const Ref<NSString>& key = *new Ref<NSString>("isCancelled"_ns);
    return key;
}

} // namespace

struct NSOperation::Waiters {
    std::mutex mutex;
    WaitList list;
};

NSOperation::NSOperation() : waiters_(std::make_unique<Waiters>()) {}

NSOperation::~NSOperation() = default;

bool NSOperation::isCancelled() const {
    return cancelled_.load();
}

bool NSOperation::isExecuting() const {
    return state_.load() == Executing;
}

bool NSOperation::isFinished() const {
    return state_.load() == Finished;
}

bool NSOperation::isReady() const {
    if (cancelled_.load()) {
        return true;
    }
    std::vector<Ref<NSOperation>> dependencies;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dependencies = dependencies_;
    }
    return std::all_of(dependencies.begin(), dependencies.end(), [](const auto& d) { return d->isFinished(); });
}

void NSOperation::main() {}

void NSOperation::start() {
    Ref<NSOperation> self(this);
    if (isFinished()) {
        return;
    }
    if (state_.load() != Ready) {
        NSException::raise(NSInvalidArgumentException, "-[NSOperation start]: the operation is already executing");
    }
    if (!isReady()) {
        NSException::raise(NSInvalidArgumentException, "-[NSOperation start]: the operation is not yet ready");
    }
    if (isCancelled()) {
        int expected = Ready;
        willChangeValueForKey(keyFinished());
        bool won = state_.compare_exchange_strong(expected, Finished);
        didChangeValueForKey(keyFinished());
        if (won) {
            didFinish();
        }
        return;
    }
    willChangeValueForKey(keyExecuting());
    int expected = Ready;
    bool won = state_.compare_exchange_strong(expected, Executing);
    didChangeValueForKey(keyExecuting());
    if (!won) {
        NSException::raise(NSInvalidArgumentException, "-[NSOperation start]: the operation is already executing");
    }
    runningThread_.store(currentThreadToken());
    try {
        main();
    } catch (...) {
        runningThread_.store(0);
        finishExecution();
        throw;
    }
    runningThread_.store(0);
    finishExecution();
}

void NSOperation::submitStart(std::function<void()> start) {
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(start));
}

void NSOperation::finishExecution() {
    willChangeValueForKey(keyExecuting());
    willChangeValueForKey(keyFinished());
    state_.store(Finished);
    didChangeValueForKey(keyExecuting());
    didChangeValueForKey(keyFinished());
    didFinish();
}

void NSOperation::cancel() {
    Ref<NSOperation> self(this);
    if (cancelled_.load() || isFinished()) {
        return;
    }
    bool wasReady = isReady();
    willChangeValueForKey(keyCancelled());
    if (!wasReady) {
        willChangeValueForKey(keyReady());
    }
    bool first = !cancelled_.exchange(true);
    if (!wasReady) {
        didChangeValueForKey(keyReady());
    }
    didChangeValueForKey(keyCancelled());
    if (first && !wasReady) {
        Ref<NSOperationQueue> queue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue = queue_.lock();
        }
        if (queue) {
            queue->schedule();
        }
    }
}

void NSOperation::announceReadiness(const std::function<void()>& change) {
    willChangeValueForKey(keyReady());
    change();
    didChangeValueForKey(keyReady());
    Ref<NSOperationQueue> queue;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue = queue_.lock();
    }
    if (queue) {
        queue->schedule();
    }
}

void NSOperation::addDependency(const Ref<NSOperation>& operation) {
    if (!operation || operation.get() == this) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSOperation addDependency:]: the operation is nil or the receiver itself");
    }
    if (isExecuting()) {
        NSException::raise(NSInvalidArgumentException, "-[NSOperation addDependency:]: the receiver is executing");
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::find(dependencies_.begin(), dependencies_.end(), operation) != dependencies_.end()) {
            return;
        }
    }
    {
        std::lock_guard<std::mutex> lock(operation->mutex_);
        operation->dependents_.push_back(Weak<NSOperation>(Ref<NSOperation>(this)));
    }
    operation->observeSelf();
    bool becomesUnready = !isCancelled() && !isFinished() && !operation->isFinished() && isReady();
    auto add = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        dependencies_.push_back(operation);
    };
    if (becomesUnready) {
        willChangeValueForKey(keyReady());
        add();
        didChangeValueForKey(keyReady());
    } else {
        add();
    }
}

void NSOperation::removeDependency(const Ref<NSOperation>& operation) {
    if (!operation) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(operation->mutex_);
        auto& dependents = operation->dependents_;
        dependents.erase(std::remove_if(dependents.begin(), dependents.end(),
                                        [&](const Weak<NSOperation>& w) { return w.unsafePointer() == this; }),
                         dependents.end());
    }
    bool wasReady = isReady();
    auto remove = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        dependencies_.erase(std::remove(dependencies_.begin(), dependencies_.end(), operation), dependencies_.end());
    };
    if (!wasReady) {
        announceReadiness(remove);
    } else {
        remove();
    }
}

Ref<NSArray> NSOperation::dependencies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return NSArray::arrayWithRefs(dependencies_);
}

void NSOperation::dependencyFinished() {
    if (!isFinished() && isReady()) {
        announceReadiness([] {});
    }
}

NSOperationQueuePriority NSOperation::queuePriority() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return priority_;
}

void NSOperation::setQueuePriority(NSOperationQueuePriority priority) {
    std::lock_guard<std::mutex> lock(mutex_);
    priority_ = priority;
}

std::function<void()> NSOperation::completionBlock() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return completionBlock_;
}

void NSOperation::setCompletionBlock(std::function<void()> block) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        completionBlock_ = std::move(block);
    }
    observeSelf();
}

Ref<NSString> NSOperation::name() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return name_;
}

void NSOperation::setName(const Ref<NSString>& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
}

void NSOperation::observeSelf() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (observingSelf_) {
            return;
        }
        observingSelf_ = true;
    }
    addObserverForKeyPathOptionsContext(this, keyFinished(), 0, &kSelfObservation);
    addObserverForKeyPathOptionsContext(this, keyReady(), 0, &kSelfObservation);
}

void NSOperation::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                              const Ref<NSDictionary>& change, void* context) {
    if (context != &kSelfObservation) {
        NSObject::observeValueForKeyPathOfObjectChangeContext(keyPath, object, change, context);
        return;
    }
    if (keyPath->isEqualToString(keyFinished())) {
        if (isFinished()) {
            didFinish();
        }
    } else if (keyPath->isEqualToString(keyReady())) {
        Ref<NSOperationQueue> queue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue = queue_.lock();
        }
        if (queue) {
            queue->schedule();
        }
    }
}

void NSOperation::didFinish() {
    if (finishHandled_.exchange(true)) {
        return;
    }
    Ref<NSOperation> self(this);
    std::vector<Weak<NSOperation>> dependents;
    Ref<NSOperationQueue> queue;
    std::function<void()> completion;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dependents = dependents_;
        queue = queue_.lock();
        completion = std::move(completionBlock_);
        completionBlock_ = nullptr;
    }
    for (const auto& weak : dependents) {
        if (auto dependent = weak.lock()) {
            dependent->dependencyFinished();
        }
    }
    if (queue) {
        queue->operationDidFinish(this);
    }
    {
        std::lock_guard<std::mutex> lock(waiters_->mutex);
        waiters_->list.wakeAll();
    }
    if (completion) {
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(completion));
    }
}

void NSOperation::waitUntilFinished() {
    if (runningThread_.load() == currentThreadToken()) {
        NSException::raise(NSInternalInconsistencyException,
                           "-[NSOperation waitUntilFinished] called from the operation itself: it would wait for ever");
    }
    observeSelf();
    for (;;) {
        if (finishHandled_.load()) {
            return;
        }
        if (isFinished()) {
            didFinish();
            return;
        }
        WaiterRef waiter;
        {
            std::lock_guard<std::mutex> lock(waiters_->mutex);
            if (finishHandled_.load()) {
                return;
            }
            waiter = waiters_->list.enqueue();
        }
        park(waiter, TimerHeap::kNever);
    }
}

Ref<NSString> NSOperation::description() const {
    const char* state = isFinished() ? "finished" : isExecuting() ? "executing" : isReady() ? "ready" : "pending";
    return NSString::stringWithFormat("<%s: %p>{name = %@, %s%s}", getClass()->name(), static_cast<const void*>(this),
                                      name(), state, isCancelled() ? ", cancelled" : "");
}
