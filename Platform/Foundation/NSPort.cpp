#include <Foundation/NSPort.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSPort, NSObject) {
    b.method("invalidate", &NSPort::invalidate);
    b.readonlyProperty("isValid", &NSPort::isValid);
}

NS_IMPLEMENT_CLASS(NSMachPort, NSPort) {}

Ref<NSPort> NSPort::port() {
    return make<NSPort>();
}

Ref<NSMachPort> NSMachPort::port() {
    return make<NSMachPort>();
}

void NSPort::invalidate() {
    Ref<NSPort> self(this);
    if (!valid_.exchange(false)) {
        return;
    }
    pending_.store(0);
    Ref<NSRunLoop> runLoop;
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runLoop = runLoop_.lock();
        runLoop_ = nullptr;
        handler.swap(handler_);
    }
    if (runLoop) {
        runLoop->portInvalidated(this);
        runLoop->wakeUp();
    }
}

void NSPort::scheduleInRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    if (!runLoop) {
        NSException::raise(NSInvalidArgumentException, "-[NSPort scheduleInRunLoop:forMode:]: the run loop is nil");
    }
    runLoop->addPortForMode(Ref<NSPort>(this), mode);
}

void NSPort::removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    if (runLoop) {
        runLoop->removePortForMode(Ref<NSPort>(this), mode);
    }
}

void NSPort::setMessageHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

bool NSPort::sendMessage() {
    if (!valid_.load()) {
        return false;
    }
    pending_.fetch_add(1);
    Ref<NSRunLoop> runLoop;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runLoop = runLoop_.lock();
    }
    if (runLoop) {
        runLoop->wakeUp();
    }
    return true;
}

bool NSPort::takeMessage(std::function<void()>& handler) {
    size_t pending = pending_.load();
    do {
        if (pending == 0 || !valid_.load()) {
            return false;
        }
    } while (!pending_.compare_exchange_weak(pending, pending - 1));
    std::lock_guard<std::mutex> lock(mutex_);
    handler = handler_;
    return true;
}
