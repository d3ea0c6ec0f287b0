#include <Dispatch/Clock.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSString.h>
#include <Foundation/NSTimer.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

using namespace dispatch_detail;

NS_IMPLEMENT_CLASS(NSTimer, NSObject) {
    b.method("fire", &NSTimer::fire);
    b.method("invalidate", &NSTimer::invalidate);
    b.readonlyProperty("isValid", &NSTimer::isValid);
    b.readonlyProperty("timeInterval", &NSTimer::timeInterval);
    b.readonlyProperty("userInfo", &NSTimer::userInfo);
    b.property("fireDate", &NSTimer::fireDate, &NSTimer::setFireDate);
    b.property("tolerance", &NSTimer::tolerance, &NSTimer::setTolerance);
}

namespace {

double checkedInterval(double interval) {
    if (!std::isfinite(interval)) {
        NSException::raise(NSInvalidArgumentException, "NSTimer: the time interval must be a finite number of seconds");
    }
    return interval <= 0 ? NSTimer::kMinimumInterval : interval;
}

} // namespace

NSTimer::NSTimer(const Ref<NSDate>& fireDate, double interval, const id& target, SEL selector, const id& userInfo,
                 bool repeats)
    : target_(target), selector_(selector), userInfo_(userInfo) {
    if (!target) {
        NSException::raise(NSInvalidArgumentException, "NSTimer: the target is nil");
    }
    init(fireDate, interval, repeats);
}

NSTimer::NSTimer(const Ref<NSDate>& fireDate, double interval, bool repeats, Block block)
    : block_(std::make_shared<const Block>(std::move(block))) {
    if (!*block_) {
        NSException::raise(NSInvalidArgumentException, "NSTimer: the block is empty");
    }
    init(fireDate, interval, repeats);
}

void NSTimer::init(const Ref<NSDate>& fireDate, double interval, bool repeats) {
    if (!fireDate) {
        NSException::raise(NSInvalidArgumentException, "NSTimer: the fire date is nil");
    }
    interval_ = checkedInterval(interval);
    intervalNanos_ = std::max<uint64_t>(1, static_cast<uint64_t>(std::llround(interval_ * 1e9)));
    repeats_ = repeats;
    fireNanos_.store(deadlineForDate(fireDate->timeIntervalSinceReferenceDate()));
}

NSTimer::~NSTimer() = default;

Ref<NSTimer> NSTimer::timerWithTimeIntervalTargetSelectorUserInfoRepeats(double interval, const id& target,
                                                                         SEL selector, const id& userInfo,
                                                                         bool repeats) {
    double seconds = checkedInterval(interval);
    return make<NSTimer>(NSDate::dateWithTimeIntervalSinceNow(seconds), seconds, target, selector, userInfo, repeats);
}

Ref<NSTimer> NSTimer::scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats(double interval, const id& target,
                                                                                  SEL selector, const id& userInfo,
                                                                                  bool repeats) {
    auto timer = timerWithTimeIntervalTargetSelectorUserInfoRepeats(interval, target, selector, userInfo, repeats);
    NSRunLoop::currentRunLoop()->addTimerForMode(timer, NSDefaultRunLoopMode());
    return timer;
}

Ref<NSTimer> NSTimer::timerWithTimeIntervalRepeatsBlock(double interval, bool repeats, Block block) {
    double seconds = checkedInterval(interval);
    return make<NSTimer>(NSDate::dateWithTimeIntervalSinceNow(seconds), seconds, repeats, std::move(block));
}

Ref<NSTimer> NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(double interval, bool repeats, Block block) {
    auto timer = timerWithTimeIntervalRepeatsBlock(interval, repeats, std::move(block));
    NSRunLoop::currentRunLoop()->addTimerForMode(timer, NSDefaultRunLoopMode());
    return timer;
}

bool NSTimer::invokeCallback() {
    Ref<NSTimer> self(this);
    id target;
    SEL selector;
    std::shared_ptr<const Block> block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!valid_) {
            return false;
        }
        target = target_;
        selector = selector_;
        block = block_;
    }
    if (block) {
        (*block)(self);
    } else if (target) {
        if (selector.argumentCount() > 0) {
            target->performSelectorWithArguments(selector, {id(self)});
        } else {
            target->performSelectorWithArguments(selector, {});
        }
    }
    return true;
}

void NSTimer::fire() {
    Ref<NSTimer> self(this);
    if (invokeCallback() && !repeats_) {
        invalidate();
    }
}

void NSTimer::invalidate() {
    Ref<NSTimer> self(this);
    Ref<NSRunLoop> runLoop;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runLoop = runLoop_.lock();
    }
    if (runLoop) {
        runLoop->invalidateTimer(this);
        return;
    }
    id target;
    std::shared_ptr<const Block> block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        valid_ = false;
        target = std::move(target_);
        block = std::move(block_);
    }
}

bool NSTimer::isValid() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return valid_;
}

Ref<NSDate> NSTimer::fireDate() const {
    return make<NSDate>(dateForDeadline(fireNanos_.load()));
}

void NSTimer::setFireDate(const Ref<NSDate>& date) {
    if (!date) {
        NSException::raise(NSInvalidArgumentException, "-[NSTimer setFireDate:]: the date is nil");
    }
    uint64_t fire = deadlineForDate(date->timeIntervalSinceReferenceDate());
    Ref<NSRunLoop> runLoop;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runLoop = runLoop_.lock();
    }
    if (runLoop) {
        runLoop->timerFireDateChanged(this, fire);
    } else {
        fireNanos_.store(fire);
    }
}

id NSTimer::userInfo() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return userInfo_;
}

double NSTimer::tolerance() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tolerance_;
}

void NSTimer::setTolerance(double tolerance) {
    if (std::isnan(tolerance)) {
        NSException::raise(NSInvalidArgumentException, "-[NSTimer setTolerance:]: the tolerance is NaN");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    tolerance_ = std::max(0.0, tolerance);
}

Ref<NSString> NSTimer::description() const {
    return NSString::stringWithFormat("<NSTimer: %p> fire date %@, interval %g, %s", static_cast<const void*>(this),
                                      fireDate(), timeInterval(), isValid() ? "valid" : "invalid");
}
