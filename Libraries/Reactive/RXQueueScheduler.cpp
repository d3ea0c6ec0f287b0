#include <Reactive/RXQueueScheduler.h>

#include <Dispatch/DispatchSource.h>

#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <ctime>
#include <limits>

NS_IMPLEMENT_CLASS(RXQueueScheduler, RXScheduler) {}

RXQueueScheduler::RXQueueScheduler(const Ref<NSString>& name, dispatch_queue_t queue)
    : RXScheduler(name), queue_(std::move(queue)) {}

dispatch_time_t RXQueueScheduler::wallTimeWithDate(const Ref<NSDate>& date) {
    double since1970 = date ? date->timeIntervalSince1970() : NSDate::now() + NSTimeIntervalSince1970;
    double whole = 0;
    double fraction = std::modf(since1970, &whole);
    auto clamp = [](double value) -> int64_t {
        if (std::isnan(value)) {
            return 0;
        }
        if (value >= static_cast<double>(std::numeric_limits<int64_t>::max())) {
            return std::numeric_limits<int64_t>::max();
        }
        if (value <= static_cast<double>(std::numeric_limits<int64_t>::min())) {
            return std::numeric_limits<int64_t>::min();
        }
        return static_cast<int64_t>(value);
    };
    struct timespec time {};
    time.tv_sec = static_cast<time_t>(clamp(whole));
    time.tv_nsec = static_cast<long>(clamp(fraction * 1e9));
    if (time.tv_nsec < 0) { // a date before 1970
        time.tv_sec -= 1;
        time.tv_nsec += 1000000000L;
    }
    return dispatch_walltime(&time, 0);
}

Ref<RXDisposable> RXQueueScheduler::schedule(RXSchedulerBlock block) {
    auto disposable = make<RXDisposable>();
    Ref<RXQueueScheduler> self(this);
    dispatch_async(queue_, [self, disposable, block = std::move(block)] {
        if (disposable->isDisposed()) {
            return;
        }
        self->performAsCurrentScheduler(block);
    });
    return disposable;
}

Ref<RXDisposable> RXQueueScheduler::afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) {
    auto disposable = make<RXDisposable>();
    Ref<RXQueueScheduler> self(this);
    dispatch_after(wallTimeWithDate(date), queue_, [self, disposable, block = std::move(block)] {
        if (disposable->isDisposed()) {
            return;
        }
        self->performAsCurrentScheduler(block);
    });
    return disposable;
}

Ref<RXDisposable> RXQueueScheduler::afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date,
                                                                          NSTimeInterval interval,
                                                                          NSTimeInterval leeway,
                                                                          RXSchedulerBlock block) {
    auto nanoseconds = [](NSTimeInterval seconds) -> uint64_t {
        double value = seconds * 1e9;
        if (!(value > 0)) {
            return 0;
        }
        return value >= 1.8e19 ? std::numeric_limits<uint64_t>::max() : static_cast<uint64_t>(value);
    };
    dispatch_source_t timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue_);
    dispatch_source_set_timer(timer, wallTimeWithDate(date), nanoseconds(interval), nanoseconds(leeway));
    dispatch_source_set_event_handler(timer, std::move(block));
    dispatch_resume(timer);
    return RXDisposable::disposableWithBlock([timer] { dispatch_source_cancel(timer); });
}
