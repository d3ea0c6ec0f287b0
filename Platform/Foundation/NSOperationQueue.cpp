#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSBlockOperation.h>
#include <Foundation/NSOperation.h>
#include <Foundation/NSOperationQueue.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <vector>

using namespace dispatch_detail;

NS_IMPLEMENT_CLASS(NSOperationQueue, NSObject) {
    b.method("cancelAllOperations", &NSOperationQueue::cancelAllOperations);
    b.method("waitUntilAllOperationsAreFinished", &NSOperationQueue::waitUntilAllOperationsAreFinished);
    b.readonlyProperty("operations", &NSOperationQueue::operations);
    b.readonlyProperty("operationCount", &NSOperationQueue::operationCount);
    b.property("maxConcurrentOperationCount", &NSOperationQueue::maxConcurrentOperationCount,
               &NSOperationQueue::setMaxConcurrentOperationCount);
    b.property("suspended", &NSOperationQueue::isSuspended, &NSOperationQueue::setSuspended);
    b.property("name", &NSOperationQueue::name, &NSOperationQueue::setName);
}

namespace {

struct Entry {
    Ref<NSOperation> operation;
    bool launched = false;
    uint64_t order = 0;
};

NSOperationQueue*& currentOperationQueue() {
    thread_local NSOperationQueue* queue = nullptr;
    return queue;
}

class CurrentQueueScope {
public:
    explicit CurrentQueueScope(NSOperationQueue* queue) : previous_(currentOperationQueue()) {
        currentOperationQueue() = queue;
    }
    ~CurrentQueueScope() { currentOperationQueue() = previous_; }
    CurrentQueueScope(const CurrentQueueScope&) = delete;
    CurrentQueueScope& operator=(const CurrentQueueScope&) = delete;

private:
    NSOperationQueue* previous_;
};

} // namespace

struct NSOperationQueue::State {
    mutable std::mutex mutex;
    std::vector<Entry> entries;
    uint64_t order = 0;
    NSInteger running = 0;
    NSInteger maxConcurrent = NSOperationQueueDefaultMaxConcurrentOperationCount;
    bool suspended = false;
    Ref<NSString> name;
    WaitList idleWaiters;
};

NSOperationQueue::NSOperationQueue() : isMain_(false), state_(std::make_unique<State>()) {}

NSOperationQueue::NSOperationQueue(MainKey) : isMain_(true), state_(std::make_unique<State>()) {
    state_->maxConcurrent = 1;
    state_->name = "NSOperationQueue Main Queue"_ns;
}

NSOperationQueue::~NSOperationQueue() = default;

Ref<NSOperationQueue> NSOperationQueue::mainQueue() {
    // Never destroyed: it lives for the whole process.
    static NSOperationQueue* queue = make<NSOperationQueue>(MainKey{}).leak();
    return queue;
}

Ref<NSOperationQueue> NSOperationQueue::currentQueue() {
    if (auto* queue = currentOperationQueue()) {
        return queue;
    }
    return isMainThread() ? mainQueue() : nullptr;
}

void NSOperationQueue::addOperation(const Ref<NSOperation>& operation) {
    if (!operation) {
        NSException::raise(NSInvalidArgumentException, "-[NSOperationQueue addOperation:]: the operation is nil");
    }
    if (operation->isExecuting() || operation->isFinished()) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSOperationQueue addOperation:]: the operation is executing or has finished");
    }
    {
        std::lock_guard<std::mutex> lock(operation->mutex_);
        if (operation->enqueued_) {
            NSException::raise(NSInvalidArgumentException,
                               "-[NSOperationQueue addOperation:]: the operation is already in a queue");
        }
        operation->enqueued_ = true;
        operation->queue_ = Ref<NSOperationQueue>(this);
    }
    operation->observeSelf();
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->entries.push_back(Entry{operation, false, state_->order++});
    }
    schedule();
}

void NSOperationQueue::addOperationsWaitUntilFinished(const Ref<NSArray>& operations, bool wait) {
    if (!operations) {
        return;
    }
    std::vector<Ref<NSOperation>> list;
    for (NSUInteger i = 0; i < operations->count(); ++i) {
        auto operation = cast<NSOperation>(operations->objectAtIndex(i));
        if (!operation) {
            NSException::raise(NSInvalidArgumentException,
                               "-[NSOperationQueue addOperations:waitUntilFinished:]: an element is not an operation");
        }
        list.push_back(operation);
    }
    for (const auto& operation : list) {
        addOperation(operation);
    }
    if (wait) {
        for (const auto& operation : list) {
            operation->waitUntilFinished();
        }
    }
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block) {
    addOperation(NSBlockOperation::blockOperationWithBlock(std::move(block)));
}

Ref<NSArray> NSOperationQueue::operations() const {
    std::vector<Ref<NSOperation>> list;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        for (const auto& entry : state_->entries) {
            list.push_back(entry.operation);
        }
    }
    return NSArray::arrayWithRefs(list);
}

NSUInteger NSOperationQueue::operationCount() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->entries.size();
}

NSInteger NSOperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->maxConcurrent;
}

void NSOperationQueue::setMaxConcurrentOperationCount(NSInteger count) {
    if (count < NSOperationQueueDefaultMaxConcurrentOperationCount) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSOperationQueue setMaxConcurrentOperationCount:]: the count must be -1 or more");
    }
    if (isMain_) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->maxConcurrent = count;
    }
    schedule();
}

bool NSOperationQueue::isSuspended() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->suspended;
}

void NSOperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->suspended = suspended;
    }
    if (!suspended) {
        schedule();
    }
}

void NSOperationQueue::cancelAllOperations() {
    std::vector<Ref<NSOperation>> list;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        for (const auto& entry : state_->entries) {
            list.push_back(entry.operation);
        }
    }
    for (const auto& operation : list) {
        operation->cancel();
    }
}

void NSOperationQueue::waitUntilAllOperationsAreFinished() {
    for (;;) {
        WaiterRef waiter;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            if (state_->entries.empty()) {
                return;
            }
            waiter = state_->idleWaiters.enqueue();
        }
        park(waiter, TimerHeap::kNever);
    }
}

Ref<NSString> NSOperationQueue::name() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->name;
}

void NSOperationQueue::setName(const Ref<NSString>& name) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->name = name;
}

Ref<NSString> NSOperationQueue::description() const {
    return NSString::stringWithFormat("<NSOperationQueue: %p>{name = '%@'}", static_cast<const void*>(this), name());
}

void NSOperationQueue::schedule() {
    auto& s = *state_;
    for (;;) {
        std::vector<Entry> candidates;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.suspended || (s.maxConcurrent >= 0 && s.running >= s.maxConcurrent)) {
                return;
            }
            for (const auto& entry : s.entries) {
                if (!entry.launched) {
                    candidates.push_back(entry);
                }
            }
        }
        if (candidates.empty()) {
            return;
        }
        // Highest priority first, then in the order added. Readiness is asked outside the lock: a
        // subclass answers it under its own lock, which may be held while it announces changes.
        std::stable_sort(candidates.begin(), candidates.end(), [](const Entry& a, const Entry& b) {
            return a.operation->queuePriority() > b.operation->queuePriority();
        });
        Ref<NSOperation> chosen;
        for (const auto& entry : candidates) {
            if (entry.operation->isReady()) {
                chosen = entry.operation;
                break;
            }
        }
        if (!chosen) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.suspended || (s.maxConcurrent >= 0 && s.running >= s.maxConcurrent)) {
                return;
            }
            auto it =
                std::find_if(s.entries.begin(), s.entries.end(), [&](const Entry& e) { return e.operation == chosen; });
            if (it == s.entries.end() || it->launched) {
                continue;
            }
            it->launched = true;
            ++s.running;
        }
        launch(chosen);
    }
}

void NSOperationQueue::launch(const Ref<NSOperation>& operation) {
    Ref<NSOperationQueue> self(this);
    auto start = [self, operation] {
        CurrentQueueScope scope(self.get());
        operation->start();
    };
    if (isMain_) {
        dispatch_async(dispatch_get_main_queue(), std::move(start));
    } else {
        operation->submitStart(std::move(start));
    }
}

void NSOperationQueue::operationDidFinish(NSOperation* operation) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        auto it = std::find_if(state_->entries.begin(), state_->entries.end(),
                               [&](const Entry& e) { return e.operation.get() == operation; });
        if (it == state_->entries.end()) {
            return;
        }
        if (it->launched) {
            --state_->running;
        }
        state_->entries.erase(it);
        if (state_->entries.empty()) {
            state_->idleWaiters.wakeAll();
        }
    }
    schedule();
}
