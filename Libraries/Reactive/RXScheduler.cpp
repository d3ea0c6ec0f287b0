#include <Reactive/RXScheduler.h>

#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXImmediateScheduler.h>
#include <Reactive/RXSubscriptionScheduler.h>
#include <Runtime/ClassBuilder.h>

#include <mutex>

NS_IMPLEMENT_CLASS(RXScheduler, NSObject) {
    b.readonlyProperty("name", &RXScheduler::name);
    b.classMethod("immediateScheduler", [] { return RXScheduler::immediateScheduler(); });
    b.classMethod("mainThreadScheduler", [] { return RXScheduler::mainThreadScheduler(); });
    b.classMethod("subscriptionScheduler", [] { return RXScheduler::subscriptionScheduler(); });
    b.classMethod("scheduler", [] { return RXScheduler::scheduler(); });
    b.classMethod("currentScheduler", [] { return RXScheduler::currentScheduler(); });
}

namespace {
// The thread's current scheduler, as set by performAsCurrentScheduler.
thread_local Ref<RXScheduler> currentOfThread;
} // namespace

Ref<NSString> RXScheduler::label(const char* role) {
    return NSString::stringWithFormat("com.celvix.reactive.scheduler.%s", role);
}

RXScheduler::RXScheduler(const Ref<NSString>& name) {
    if (name) {
        name_ = cast<NSString>(name->copy());
    } else {
        name_ = NSString::from("com.celvix.reactive.scheduler.anonymous");
    }
}

Ref<RXScheduler> RXScheduler::immediateScheduler() {
    static const Ref<RXScheduler> shared = make<RXImmediateScheduler>();
    return shared;
}

Ref<RXScheduler> RXScheduler::subscriptionScheduler() {
    static const Ref<RXScheduler> shared = make<RXSubscriptionScheduler>();
    return shared;
}

Ref<RXScheduler> RXScheduler::schedulerWithPriority(RXSchedulerPriority priority) {
    return schedulerWithPriorityName(priority, label("background"));
}

Ref<RXScheduler> RXScheduler::scheduler() {
    return schedulerWithPriority(RXSchedulerPriorityDefault);
}

Ref<RXScheduler> RXScheduler::currentScheduler() {
    if (currentOfThread) {
        return currentOfThread;
    }
    if (isOnMainThread()) {
        return mainThreadScheduler();
    }
    return nullptr;
}

bool RXScheduler::hasCurrentScheduler() {
    return currentOfThread || isOnMainThread();
}

Ref<NSString> RXScheduler::description() const {
    return NSString::stringWithFormat("<%@: %p> %@", NSStringFromClass(getClass()), static_cast<const void*>(this),
                                      name_);
}

Ref<RXDisposable> RXScheduler::schedule(RXSchedulerBlock) {
    return nullptr;
}

Ref<RXDisposable> RXScheduler::afterSchedule(const Ref<NSDate>&, RXSchedulerBlock) {
    return nullptr;
}

Ref<RXDisposable> RXScheduler::afterDelaySchedule(NSTimeInterval delay, RXSchedulerBlock block) {
    return afterSchedule(NSDate::dateWithTimeIntervalSinceNow(delay), std::move(block));
}

Ref<RXDisposable> RXScheduler::afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>&, NSTimeInterval, NSTimeInterval,
                                                                     RXSchedulerBlock) {
    return nullptr;
}

Ref<RXDisposable> RXScheduler::scheduleRecursiveBlock(RXSchedulerRecursiveBlock block) {
    auto disposable = make<RXCompoundDisposable>();
    scheduleRecursiveBlockAddingToDisposable(block, disposable);
    return disposable;
}

namespace {
// The reschedule requests of one run of a recursive block.
struct RecursionState {
    std::mutex lock;
    NSUInteger count = 0;
    bool rescheduleImmediately = false;
};
} // namespace

void RXScheduler::scheduleRecursiveBlockAddingToDisposable(const RXSchedulerRecursiveBlock& block,
                                                           const Ref<RXCompoundDisposable>& disposable) {
    auto turn = make<RXCompoundDisposable>();
    disposable->addDisposable(turn);
    Weak<RXCompoundDisposable> weakTurn(turn);
    Ref<RXScheduler> self(this);
    auto scheduled = schedule([self, block, disposable, weakTurn] {
        if (auto turn = weakTurn.lock()) {
            disposable->removeDisposable(turn);
        }
        if (disposable->isDisposed()) {
            return;
        }
        auto reschedule = [self, block, disposable] {
            if (!disposable->isDisposed()) {
                self->scheduleRecursiveBlockAddingToDisposable(block, disposable);
            }
        };
        auto state = std::make_shared<RecursionState>();
        block([state, reschedule] {
            bool now;
            {
                std::lock_guard<std::mutex> guard(state->lock);
                now = state->rescheduleImmediately;
                if (!now) {
                    ++state->count;
                }
            }
            if (now) {
                reschedule();
            }
        });
        NSUInteger count;
        {
            std::lock_guard<std::mutex> guard(state->lock);
            count = state->count;
            state->rescheduleImmediately = true;
        }
        for (NSUInteger i = 0; i < count; ++i) {
            reschedule();
        }
    });
    turn->addDisposable(scheduled);
}

void RXScheduler::performAsCurrentScheduler(const std::function<void()>& block) {
    struct Restore {
        Ref<RXScheduler> previous;
        ~Restore() { currentOfThread = std::move(previous); }
    } restore{std::exchange(currentOfThread, Ref<RXScheduler>(this))};
    block();
}
