#include <Network/NSProgress.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSProgress, NSObject) {
    b.property("totalUnitCount", &NSProgress::totalUnitCount, &NSProgress::setTotalUnitCount);
    b.property("completedUnitCount", &NSProgress::completedUnitCount, &NSProgress::setCompletedUnitCount);
    b.readonlyProperty("fractionCompleted", &NSProgress::fractionCompleted);
    b.readonlyProperty("cancelled", &NSProgress::isCancelled);
    b.readonlyProperty("paused", &NSProgress::isPaused);
    b.manualNotification("totalUnitCount");
    b.manualNotification("completedUnitCount");
    b.manualNotification("fractionCompleted");
}

Ref<NSProgress> NSProgress::progressWithTotalUnitCount(int64_t unitCount) {
    auto progress = make<NSProgress>();
    progress->setTotalUnitCount(unitCount);
    return progress;
}

int64_t NSProgress::totalUnitCount() const {
    std::lock_guard lock(mutex_);
    return total_;
}

void NSProgress::setTotalUnitCount(int64_t count) {
    setCount(total_, "totalUnitCount"_ns, count);
}

int64_t NSProgress::completedUnitCount() const {
    std::lock_guard lock(mutex_);
    return completed_;
}

void NSProgress::setCompletedUnitCount(int64_t count) {
    setCount(completed_, "completedUnitCount"_ns, count);
}

// Either count changes the fraction completed as well; observers hear of both.
void NSProgress::setCount(int64_t& field, const Ref<NSString>& key, int64_t count) {
    willChangeValueForKey(key);
    willChangeValueForKey("fractionCompleted"_ns);
    {
        std::lock_guard lock(mutex_);
        field = count;
    }
    didChangeValueForKey("fractionCompleted"_ns);
    didChangeValueForKey(key);
}

double NSProgress::fractionCompleted() const {
    std::lock_guard lock(mutex_);
    return total_ > 0 ? static_cast<double>(completed_) / static_cast<double>(total_) : 0.0;
}

bool NSProgress::isCancellable() const {
    std::lock_guard lock(mutex_);
    return cancellable_;
}

void NSProgress::setCancellable(bool cancellable) {
    std::lock_guard lock(mutex_);
    cancellable_ = cancellable;
}

bool NSProgress::isPausable() const {
    std::lock_guard lock(mutex_);
    return pausable_;
}

void NSProgress::setPausable(bool pausable) {
    std::lock_guard lock(mutex_);
    pausable_ = pausable;
}

bool NSProgress::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool NSProgress::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

void NSProgress::cancel() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) {
            return;
        }
        cancelled_ = true;
        handler = cancellationHandler_;
    }
    if (handler) {
        handler();
    }
}

void NSProgress::pause() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (paused_ || cancelled_) {
            return;
        }
        paused_ = true;
        handler = pausingHandler_;
    }
    if (handler) {
        handler();
    }
}

void NSProgress::resume() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (!paused_) {
            return;
        }
        paused_ = false;
        handler = resumingHandler_;
    }
    if (handler) {
        handler();
    }
}

void NSProgress::setCancellationHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    cancellationHandler_ = std::move(handler);
}

void NSProgress::setPausingHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    pausingHandler_ = std::move(handler);
}

void NSProgress::setResumingHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    resumingHandler_ = std::move(handler);
}

Ref<NSString> NSProgress::description() const {
    std::lock_guard lock(mutex_);
    return NSString::stringWithFormat("<NSProgress: %p> : Fraction completed: %.4f / Completed: %lld of %lld",
                                      static_cast<const void*>(this),
                                      total_ > 0 ? static_cast<double>(completed_) / static_cast<double>(total_) : 0.0,
                                      static_cast<long long>(completed_), static_cast<long long>(total_));
}
