#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchTask.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSString.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>

#include <pthread.h>
#include <thread>

using namespace dispatch_detail;

NS_IMPLEMENT_CLASS(NSThread, NSObject) {
    b.method("main", &NSThread::main);
    b.method("start", &NSThread::start);
    b.method("cancel", &NSThread::cancel);
    b.readonlyProperty("isExecuting", &NSThread::isExecuting);
    b.readonlyProperty("isFinished", &NSThread::isFinished);
    b.readonlyProperty("isCancelled", &NSThread::isCancelled);
    b.property("name", &NSThread::name, &NSThread::setName);
}

namespace {

std::atomic<bool> gMultiThreaded{false};

// The NSThread of a thread that is not the main thread; released when the thread ends.
Ref<NSThread>& threadSlot() {
    thread_local Ref<NSThread> slot;
    return slot;
}

} // namespace

NSThread::NSThread() = default;

NSThread::NSThread(std::function<void()> block) : block_(std::move(block)) {}

NSThread::NSThread(const id& target, SEL selector, const id& argument)
    : target_(target), selector_(selector), argument_(argument) {}

NSThread::~NSThread() = default;

Ref<NSThread> NSThread::adoptingCurrentThread() {
    auto thread = make<NSThread>();
    thread->started_ = true;
    thread->hasSystemThread_ = true;
    thread->systemThread_ = pthread_self();
    thread->executing_.store(true);
    return thread;
}

Ref<NSThread> NSThread::mainThread() {
    // Never destroyed: it stands for the main thread for the whole process.
    static NSThread* main = [] {
        auto thread = make<NSThread>();
        thread->started_ = true;
        thread->executing_.store(true);
        thread->name_ = "main"_ns;
        return thread.leak();
    }();
    return main;
}

Ref<NSThread> NSThread::currentThread() {
    if (dispatch_detail::isMainThread()) {
        return mainThread();
    }
    auto& slot = threadSlot();
    if (!slot) {
        slot = adoptingCurrentThread();
    }
    return slot;
}

bool NSThread::isMainThread() {
    return dispatch_detail::isMainThread();
}

bool NSThread::isMultiThreaded() {
    return gMultiThreaded.load();
}

void NSThread::detachNewThreadWithBlock(std::function<void()> block) {
    make<NSThread>(std::move(block))->start();
}

void NSThread::detachNewThreadSelectorToTargetWithObject(SEL selector, const id& target, const id& argument) {
    make<NSThread>(target, selector, argument)->start();
}

void NSThread::sleepForTimeInterval(double seconds) {
    uint64_t deadline = deadlineAfter(seconds);
    if (deadline <= DispatchClock::uptimeNanoseconds()) {
        return;
    }
    park(std::make_shared<Waiter>(), deadline);
}

void NSThread::sleepUntilDate(const Ref<NSDate>& date) {
    if (!date) {
        NSException::raise(NSInvalidArgumentException, "+[NSThread sleepUntilDate:]: the date is nil");
    }
    uint64_t deadline = deadlineForDate(date->timeIntervalSinceReferenceDate());
    if (deadline <= DispatchClock::uptimeNanoseconds()) {
        return;
    }
    park(std::make_shared<Waiter>(), deadline);
}

void NSThread::start() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (started_) {
            NSException::raise(NSInvalidArgumentException, "-[NSThread start]: the thread was started before");
        }
        started_ = true;
    }
    gMultiThreaded.store(true);
    // The body is counted from now on, so virtual time waits for it to reach its first wait.
    Activity::add(1);
    Ref<NSThread> self(this);
    try {
        std::thread([self] { self->run(); }).detach();
    } catch (...) {
        Activity::done(1);
        throw;
    }
}

void NSThread::run() {
    threadSlot() = Ref<NSThread>(this);
    heldUnits() = 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasSystemThread_ = true;
        systemThread_ = pthread_self();
    }
    applySystemName();
    executing_.store(true);
    try {
        main();
    } catch (...) {
        auto n = name();
        terminateForUncaughtException(n ? n->UTF8String() : "an NSThread");
    }
    executing_.store(false);
    finished_.store(true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        block_ = nullptr;
        target_ = nullptr;
        argument_ = nullptr;
    }
    heldUnits() = 0;
    Activity::done(1);
    threadSlot() = nullptr;
}

void NSThread::main() {
    std::function<void()> block;
    id target;
    id argument;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        block = block_;
        target = target_;
        argument = argument_;
    }
    if (block) {
        block();
    } else if (target) {
        if (selector_.argumentCount() > 0) {
            target->performSelectorWithArguments(selector_, {argument});
        } else {
            target->performSelectorWithArguments(selector_, {});
        }
    }
}

void NSThread::cancel() {
    cancelled_.store(true);
}

Ref<NSString> NSThread::name() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return name_;
}

void NSThread::setName(const Ref<NSString>& name) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        name_ = name ? NSString::from(name->str()) : nullptr;
    }
    applySystemName();
}

void NSThread::applySystemName() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!hasSystemThread_ || !name_ || finished_.load()) {
        return;
    }
    std::string n = name_->str().substr(0, 15);
    pthread_setname_np(static_cast<pthread_t>(systemThread_), n.c_str());
}

Ref<NSMutableDictionary> NSThread::threadDictionary() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!dictionary_) {
        dictionary_ = NSMutableDictionary::dictionary();
    }
    return dictionary_;
}

Ref<NSRunLoop> NSThread::runLoop() {
    if (this == mainThread().get()) {
        return NSRunLoop::mainRunLoop();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!runLoop_) {
        runLoop_ = make<NSRunLoop>(NSRunLoop::Key{}, false);
    }
    return runLoop_;
}

Ref<NSString> NSThread::description() const {
    auto n = name();
    return NSString::stringWithFormat("<NSThread: %p>{name = %@}", static_cast<const void*>(this), n);
}
