#include <Foundation/NSDate.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSString.h>
#include <Foundation/NSTimer.h>
#include <QuartzCore/CABase.h>
#include <QuartzCore/CADisplayLink.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CADisplayLink, NSObject) {
    b.method("invalidate", &CADisplayLink::invalidate);
    b.property("paused", &CADisplayLink::isPaused, &CADisplayLink::setPaused);
    b.readonlyProperty("timestamp", &CADisplayLink::timestamp);
    b.readonlyProperty("targetTimestamp", &CADisplayLink::targetTimestamp);
    b.readonlyProperty("duration", &CADisplayLink::duration);
}

CADisplayLink::CADisplayLink(const id& target, SEL selector) : target_(target), selector_(selector) {
    if (!target) {
        NSException::raise(NSInvalidArgumentException, "+[CADisplayLink displayLinkWithTarget:selector:]: nil target");
    }
}

CADisplayLink::CADisplayLink(Block block) : block_(std::make_shared<const Block>(std::move(block))) {
    if (!*block_) {
        NSException::raise(NSInvalidArgumentException, "CADisplayLink: the block is empty");
    }
}

CADisplayLink::~CADisplayLink() = default;

Ref<CADisplayLink> CADisplayLink::displayLinkWithTargetSelector(const id& target, SEL selector) {
    return make<CADisplayLink>(target, selector);
}

Ref<CADisplayLink> CADisplayLink::displayLinkWithBlock(Block block) {
    return make<CADisplayLink>(std::move(block));
}

void CADisplayLink::addToRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    if (!runLoop) {
        NSException::raise(NSInvalidArgumentException, "-[CADisplayLink addToRunLoop:forMode:]: the run loop is nil");
    }
    Ref<NSTimer> timer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!valid_) {
            return;
        }
        if (!timer_) {
            // The timer holds the link (and the run loop holds the timer) until invalidate().
            Ref<CADisplayLink> self(this);
            double start =
                paused_ ? NSDate::distantFuture()->timeIntervalSinceReferenceDate() : NSDate::now() + kFrameDuration;
            timer_ =
                make<NSTimer>(make<NSDate>(start), kFrameDuration, true, [self](const Ref<NSTimer>&) { self->tick(); });
        }
        timer = timer_;
    }
    runLoop->addTimerForMode(timer, mode);
}

void CADisplayLink::removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode) {
    Ref<NSTimer> timer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timer = timer_;
    }
    if (runLoop && timer) {
        runLoop->removeTimerForMode(timer, mode);
    }
}

void CADisplayLink::invalidate() {
    Ref<CADisplayLink> self(this);
    Ref<NSTimer> timer;
    id target;
    std::shared_ptr<const Block> block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        valid_ = false;
        timer = std::move(timer_);
        target = std::move(target_);
        block = std::move(block_);
    }
    if (timer) {
        timer->invalidate();
    }
}

bool CADisplayLink::isPaused() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paused_;
}

void CADisplayLink::setPaused(bool paused) {
    Ref<NSTimer> timer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (paused_ == paused) {
            return;
        }
        paused_ = paused;
        timer = timer_;
    }
    // A paused link parks its timer far away instead of ticking for nothing.
    if (timer) {
        timer->setFireDate(paused ? NSDate::distantFuture() : NSDate::dateWithTimeIntervalSinceNow(kFrameDuration));
    }
}

double CADisplayLink::timestamp() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timestamp_;
}

double CADisplayLink::targetTimestamp() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timestamp_ + kFrameDuration;
}

void CADisplayLink::tick() {
    Ref<CADisplayLink> self(this);
    id target;
    SEL selector;
    std::shared_ptr<const Block> block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!valid_ || paused_) {
            return;
        }
        timestamp_ = CACurrentMediaTime();
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
}
