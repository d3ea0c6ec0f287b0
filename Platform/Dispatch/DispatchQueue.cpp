// Dispatch queues. What is where:
//   queue attributes and State; the stack of queues the current thread runs (for dispatch_get_specific
//   and the dead-lock check of dispatch_sync)
//   the main queue (drained by the main run loop) and the global queues (thread pools)
//   DispatchQueue::submit / scheduleDrain / drain: serial queues pass a bounded batch to their target
//   the C interface: dispatch_async, dispatch_sync, dispatch_after, queue-specific values,
//   dispatch_assert_queue
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchGroup.h>
#include <Dispatch/DispatchMainQueue.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTask.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Dispatch/DispatchWorkerPool.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <exception>
#include <optional>
#include <unordered_map>
#include <vector>

using namespace dispatch_detail;

struct dispatch_detail::QueueAccess {
    static void submit(DispatchQueue* queue, Task task) { queue->submit(std::move(task)); }
    static DispatchQueue::State& state(DispatchQueue* queue) noexcept { return queue->state(); }
};

struct dispatch_queue_attr_s {
    bool concurrent;
};
namespace {
const dispatch_queue_attr_s kConcurrentAttr{true};
}
const dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT = &kConcurrentAttr;

struct DispatchQueue::State {
    std::mutex mutex;
    Ref<DispatchQueue> target;
    std::deque<Task> items;        // main and serial queues
    bool draining = false;         // serial: a drain is scheduled or running
    std::atomic<size_t> queued{0}; // main: items waiting
    WorkerPool* pool = nullptr;    // global queues (never destroyed)
    std::unordered_map<const void*, std::pair<void*, dispatch_function_t>> specifics;
};

NS_IMPLEMENT_CLASS(DispatchQueue, NSObject) {}

namespace {

// Serial queues run up to this many blocks before they give their thread back to the target.
constexpr int kDrainBatch = 64;

// The queues whose blocks the current thread is running, outermost first.
std::vector<DispatchQueue*>& queueStack() {
    thread_local std::vector<DispatchQueue*> stack;
    return stack;
}

class QueueScope {
public:
    explicit QueueScope(DispatchQueue* q) { queueStack().push_back(q); }
    ~QueueScope() { queueStack().pop_back(); }
    QueueScope(const QueueScope&) = delete;
    QueueScope& operator=(const QueueScope&) = delete;
};

std::atomic<void (*)()>& mainWakeHandler() {
    static std::atomic<void (*)()> handler{nullptr};
    return handler;
}

DispatchQueue* mainQueue() {
    static DispatchQueue* q = make<DispatchQueue>(DispatchQueue::Kind::Main, "com.apple.main-thread").leak();
    return q;
}

DispatchQueue* globalQueue(int index) {
    static DispatchQueue* queues[4] = {
        make<DispatchQueue>(DispatchQueue::Kind::Global, "com.apple.root.high-priority").leak(),
        make<DispatchQueue>(DispatchQueue::Kind::Global, "com.apple.root.default-priority").leak(),
        make<DispatchQueue>(DispatchQueue::Kind::Global, "com.apple.root.low-priority").leak(),
        make<DispatchQueue>(DispatchQueue::Kind::Global, "com.apple.root.background-priority").leak(),
    };
    return queues[index];
}

DispatchQueue* defaultGlobalQueue() {
    return globalQueue(1);
}

void requireQueue(const dispatch_queue_t& queue, const char* function) {
    if (!queue) {
        NSException::raise(NSInvalidArgumentException, std::string(function) + ": the queue is nil");
    }
}

void requireBlock(const dispatch_block_t& block, const char* function) {
    if (!block) {
        NSException::raise(NSInvalidArgumentException, std::string(function) + ": the block is empty");
    }
}

// The queue that runs the current block, or the main queue on the main thread outside blocks.
DispatchQueue* currentQueue() {
    auto& stack = queueStack();
    if (!stack.empty()) {
        return stack.back();
    }
    return isMainThread() ? mainQueue() : nullptr;
}

// The serial queues a block on `queue` has to pass through (the queue and its targets).
std::vector<DispatchQueue*> serialChain(DispatchQueue* queue) {
    std::vector<DispatchQueue*> chain;
    Ref<DispatchQueue> q(queue);
    while (q) {
        if (q->isSerial()) {
            chain.push_back(q.get());
        }
        q = q->targetQueue();
    }
    return chain;
}

} // namespace

namespace dispatch_detail {

void terminateForUncaughtException(const char* where) noexcept {
    try {
        throw;
    } catch (const NSException& e) {
        std::fprintf(stderr, "*** Terminating app due to uncaught exception '%s', reason: '%s' (on %s)\n",
                     e.name().c_str(), e.reason().c_str(), where);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "*** Terminating app due to uncaught exception: %s (on %s)\n", e.what(), where);
    } catch (...) {
        std::fprintf(stderr, "*** Terminating app due to an uncaught exception (on %s)\n", where);
    }
    std::terminate();
}

void runTask(Task& task) {
    struct GroupLeave {
        Ref<DispatchGroup>& group;
        ~GroupLeave() {
            if (group) {
                group->leave();
            }
        }
    } leave{task.group};
    task.block();
}

void enqueue(DispatchQueue* queue, std::function<void()> block, Ref<DispatchGroup> group) {
    QueueAccess::submit(queue, Task{std::move(block), std::move(group)});
}

bool drainMainQueue() {
    auto* q = mainQueue();
    auto& s = QueueAccess::state(q);
    size_t n = s.queued.load();
    if (n == 0) {
        return false;
    }
    QueueScope scope(q);
    for (size_t i = 0; i < n; ++i) {
        // On virtual time each block starts once the background work of this instant is done: the
        // order in which blocks reach the main queue, and what they find, never depends on how
        // fast another thread was.
        waitForBackgroundWork();
        Task task;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.items.empty()) {
                break;
            }
            task = std::move(s.items.front());
            s.items.pop_front();
            s.queued.fetch_sub(1);
        }
        Activity::mainStarted();
        RunningUnit unit;
        runTask(task);
    }
    return true;
}

bool mainQueueHasWork() noexcept {
    return QueueAccess::state(mainQueue()).queued.load() != 0;
}

void setMainQueueWakeHandler(void (*handler)()) noexcept {
    mainWakeHandler().store(handler);
}

} // namespace dispatch_detail

DispatchQueue::DispatchQueue(Kind kind, std::string label)
    : label_(std::move(label)), kind_(kind), state_(std::make_unique<State>()) {
    if (kind == Kind::Global) {
        state_->pool = new WorkerPool(label_.substr(label_.rfind('.') + 1));
    } else if (kind == Kind::Serial || kind == Kind::Concurrent) {
        state_->target = defaultGlobalQueue();
    }
}

DispatchQueue::~DispatchQueue() {
    for (auto& [key, value] : state_->specifics) {
        if (value.second && value.first) {
            value.second(value.first);
        }
    }
}

Ref<DispatchQueue> DispatchQueue::targetQueue() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->target;
}

bool DispatchQueue::targetsMainQueue() const {
    Ref<DispatchQueue> q(const_cast<DispatchQueue*>(this));
    while (q->kind_ == Kind::Serial || q->kind_ == Kind::Concurrent) {
        q = q->targetQueue();
    }
    return q->kind_ == Kind::Main;
}

Ref<NSString> DispatchQueue::description() const {
    static const char* kinds[] = {"main", "global", "serial", "concurrent"};
    return NSString::stringWithFormat("<DispatchQueue: %p> %s (%s)", static_cast<const void*>(this), label_,
                                      kinds[static_cast<int>(kind_)]);
}

void DispatchQueue::submit(Task task) {
    auto& s = *state_;
    switch (kind_) {
    case Kind::Main: {
        Activity::add(1, true);
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.items.push_back(std::move(task));
            s.queued.fetch_add(1);
        }
        if (auto handler = mainWakeHandler().load()) {
            handler();
        }
        break;
    }
    case Kind::Global: {
        Activity::add(1);
        auto shared = std::make_shared<Task>(std::move(task));
        s.pool->submit([this, shared] {
            try {
                QueueScope scope(this);
                RunningUnit unit;
                // The block and what it captured are let go before the unit ends, so that a
                // thread waiting for the process to be idle never finds them still held.
                Task running = std::move(*shared);
                runTask(running);
            } catch (...) {
                terminateForUncaughtException(label_.c_str());
            }
        });
        break;
    }
    case Kind::Serial: {
        bool schedule = false;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.items.push_back(std::move(task));
            if (!s.draining) {
                s.draining = true;
                schedule = true;
            }
        }
        if (schedule) {
            scheduleDrain();
        }
        break;
    }
    case Kind::Concurrent: {
        auto shared = std::make_shared<Task>(std::move(task));
        Ref<DispatchQueue> self(this);
        targetQueue()->submit(Task{[self, shared] {
                                       QueueScope scope(self.get());
                                       runTask(*shared);
                                   },
                                   nullptr});
        break;
    }
    }
}

void DispatchQueue::scheduleDrain() {
    Ref<DispatchQueue> self(this);
    targetQueue()->submit(Task{[self] { self->drain(); }, nullptr});
}

void DispatchQueue::drain() {
    auto& s = *state_;
    QueueScope scope(this);
    for (int i = 0; i < kDrainBatch; ++i) {
        Task task;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.items.empty()) {
                s.draining = false;
                return;
            }
            task = std::move(s.items.front());
            s.items.pop_front();
        }
        try {
            runTask(task);
        } catch (...) {
            // Only the main thread lets exceptions through: keep the queue going after it.
            bool more;
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                more = !s.items.empty();
                s.draining = more;
            }
            if (more) {
                scheduleDrain();
            }
            throw;
        }
    }
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.items.empty()) {
            s.draining = false;
            return;
        }
    }
    // More work: give the thread back to the target and continue in a later turn.
    scheduleDrain();
}

dispatch_queue_t dispatch_get_main_queue() {
    return mainQueue();
}

dispatch_queue_t dispatch_get_global_queue(dispatch_queue_priority_t priority, unsigned long flags) {
    if (flags != 0) {
        NSException::raise(NSInvalidArgumentException, "dispatch_get_global_queue: flags must be 0");
    }
    switch (priority) {
    case DISPATCH_QUEUE_PRIORITY_HIGH:
        return globalQueue(0);
    case DISPATCH_QUEUE_PRIORITY_DEFAULT:
        return globalQueue(1);
    case DISPATCH_QUEUE_PRIORITY_LOW:
        return globalQueue(2);
    case DISPATCH_QUEUE_PRIORITY_BACKGROUND:
        return globalQueue(3);
    default:
        NSException::raise(NSInvalidArgumentException,
                           "dispatch_get_global_queue: unknown priority " + std::to_string(priority));
    }
}

dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr) {
    auto kind = attr && attr->concurrent ? DispatchQueue::Kind::Concurrent : DispatchQueue::Kind::Serial;
    return make<DispatchQueue>(kind, label ? label : "");
}

void dispatch_set_target_queue(const dispatch_queue_t& queue, const dispatch_queue_t& target) {
    requireQueue(queue, "dispatch_set_target_queue");
    if (queue->kind() == DispatchQueue::Kind::Main || queue->kind() == DispatchQueue::Kind::Global) {
        NSException::raise(NSInvalidArgumentException,
                           "dispatch_set_target_queue: the main queue and the global queues cannot be retargeted");
    }
    Ref<DispatchQueue> newTarget = target ? target : Ref<DispatchQueue>(defaultGlobalQueue());
    for (Ref<DispatchQueue> q = newTarget; q; q = q->targetQueue()) {
        if (q == queue) {
            NSException::raise(NSInvalidArgumentException, "dispatch_set_target_queue: the change would make a cycle");
        }
    }
    auto& s = dispatch_detail::QueueAccess::state(queue.get());
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.items.empty() || s.draining) {
        NSException::raise(NSInternalInconsistencyException,
                           "dispatch_set_target_queue: the queue has blocks waiting; set the target before use");
    }
    s.target = std::move(newTarget);
}

const char* dispatch_queue_get_label(const dispatch_queue_t& queue) {
    DispatchQueue* q = queue ? queue.get() : currentQueue();
    return q ? q->label().c_str() : "";
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block) {
    requireQueue(queue, "dispatch_async");
    requireBlock(block, "dispatch_async");
    enqueue(queue.get(), std::move(block));
}

void dispatch_sync(const dispatch_queue_t& queue, const dispatch_block_t& block) {
    requireQueue(queue, "dispatch_sync");
    requireBlock(block, "dispatch_sync");
    auto chain = serialChain(queue.get());
    if (chain.empty()) {
        // Nothing serial on the way: run it here, as a block of that queue.
        QueueScope scope(queue.get());
        block();
        return;
    }
    for (DispatchQueue* serial : chain) {
        bool busyHere = serial->kind() == DispatchQueue::Kind::Main && isMainThread();
        for (DispatchQueue* running : queueStack()) {
            busyHere = busyHere || running == serial;
        }
        if (busyHere) {
            NSException::raise(NSInternalInconsistencyException,
                               "dispatch_sync onto queue '" + queue->label() +
                                   "' would deadlock: the calling thread is running a block of serial queue '" +
                                   serial->label() + "', which the block would wait for");
        }
    }
    struct Completion {
        WaiterRef waiter = std::make_shared<Waiter>();
        std::exception_ptr error;
    };
    auto completion = std::make_shared<Completion>();
    enqueue(queue.get(), [completion, &block] {
        struct Wake {
            Completion& c;
            ~Wake() { wake(c.waiter); }
        } wakeCaller{*completion};
        try {
            block();
        } catch (...) {
            completion->error = std::current_exception();
        }
    });
    park(completion->waiter, TimerHeap::kNever);
    // Taken out, so that the exception is released on this thread, not with the completion record.
    if (std::exception_ptr error = std::move(completion->error)) {
        std::rethrow_exception(error);
    }
}

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block) {
    requireQueue(queue, "dispatch_after");
    requireBlock(block, "dispatch_after");
    uint64_t deadline = deadlineForTime(when);
    if (deadline == TimerHeap::kNever) {
        return;
    }
    // On virtual time even a block that is due now waits for the clock's driver, so that blocks due
    // at one instant reach their queues one at a time, in the order they were scheduled.
    if (deadline <= DispatchClock::uptimeNanoseconds() && !DispatchClock::isVirtual()) {
        enqueue(queue.get(), std::move(block));
        return;
    }
    TimerHeap::schedule(deadline,
                        [queue, block = std::move(block)]() mutable { enqueue(queue.get(), std::move(block)); });
}

void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context,
                                 dispatch_function_t destructor) {
    requireQueue(queue, "dispatch_queue_set_specific");
    if (!key) {
        NSException::raise(NSInvalidArgumentException, "dispatch_queue_set_specific: the key is null");
    }
    std::pair<void*, dispatch_function_t> old{nullptr, nullptr};
    {
        auto& s = dispatch_detail::QueueAccess::state(queue.get());
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.specifics.find(key);
        if (it != s.specifics.end()) {
            old = it->second;
            s.specifics.erase(it);
        }
        if (context) {
            s.specifics[key] = {context, destructor};
        }
    }
    if (old.first && old.second) {
        old.second(old.first);
    }
}

void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key) {
    requireQueue(queue, "dispatch_queue_get_specific");
    auto& s = dispatch_detail::QueueAccess::state(queue.get());
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.specifics.find(key);
    return it == s.specifics.end() ? nullptr : it->second.first;
}

void* dispatch_get_specific(const void* key) {
    for (Ref<DispatchQueue> q(currentQueue()); q; q = q->targetQueue()) {
        if (void* value = dispatch_queue_get_specific(q, key)) {
            return value;
        }
    }
    return nullptr;
}

void dispatch_assert_queue(const dispatch_queue_t& queue) {
    requireQueue(queue, "dispatch_assert_queue");
    if (queue->kind() == DispatchQueue::Kind::Main && isMainThread()) {
        return;
    }
    for (DispatchQueue* running : queueStack()) {
        if (running == queue.get()) {
            return;
        }
    }
    NSException::raise(NSInternalInconsistencyException,
                       "dispatch_assert_queue: not running on queue '" + queue->label() + "'");
}

void dispatch_assert_main() {
    if (!isMainThread()) {
        NSException::raise(NSInternalInconsistencyException, "this must run on the main thread");
    }
}

void dispatch_adopt_current_thread_as_main() {
    adoptCurrentThreadAsMain();
}
