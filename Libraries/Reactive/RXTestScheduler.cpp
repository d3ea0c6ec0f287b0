#include <Reactive/RXTestScheduler.h>

#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <limits>

NS_IMPLEMENT_CLASS(RXTestScheduler, RXScheduler) {
    b.method("step", static_cast<void (RXTestScheduler::*)()>(&RXTestScheduler::step));
    b.method("step:", static_cast<void (RXTestScheduler::*)(NSUInteger)>(&RXTestScheduler::step));
    b.method("stepAll", &RXTestScheduler::stepAll);
}

RXTestScheduler::RXTestScheduler() : RXScheduler(label("testScheduler")) {}

RXTestScheduler::~RXTestScheduler() {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        tearingDown_ = true;
    }
    stepAll();
}

uint64_t RXTestScheduler::numberOfDirectlyScheduledBlocks() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return numberOfDirectlyScheduledBlocks_;
}

NSUInteger RXTestScheduler::numberOfScheduledActions() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return heap_.size();
}

Ref<RXDisposable> RXTestScheduler::add(Ref<NSDate> date, RXSchedulerBlock block, double interval, bool repeats) {
    auto action = make<RXTestSchedulerAction>(std::move(date), std::move(block));
    std::lock_guard<std::recursive_mutex> guard(lock_);
    heap_.push_back(Entry{action->date()->timeIntervalSinceReferenceDate(), sequence_++, action, interval, repeats});
    std::push_heap(heap_.begin(), heap_.end(), Later());
    return action->disposable();
}

Ref<RXDisposable> RXTestScheduler::schedule(RXSchedulerBlock block) {
    Ref<NSDate> date;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        date = NSDate::dateWithTimeIntervalSinceReferenceDate(static_cast<double>(numberOfDirectlyScheduledBlocks_++));
        return add(std::move(date), std::move(block));
    }
}

Ref<RXDisposable> RXTestScheduler::afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) {
    return add(date ? date : NSDate::date(), std::move(block));
}

// A repeating unit is one unit put back for its next date each time it is taken off (before its
// block runs, as a newly scheduled unit would be): however often it has run, one unit waits, and a
// tick allocates nothing. Its date property stays the date of its first run.
Ref<RXDisposable> RXTestScheduler::afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date,
                                                                         NSTimeInterval interval, NSTimeInterval,
                                                                         RXSchedulerBlock block) {
    return add(date ? date : NSDate::date(), std::move(block), interval, true);
}

void RXTestScheduler::step(NSUInteger count) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (NSUInteger i = 0; i < count && !heap_.empty(); ++i) {
        std::pop_heap(heap_.begin(), heap_.end(), Later());
        Ref<RXTestSchedulerAction> action = std::move(heap_.back().action);
        const double time = heap_.back().time, interval = heap_.back().interval;
        const bool repeats = heap_.back().repeats;
        heap_.pop_back();
        if (action->disposable()->isDisposed() || (repeats && tearingDown_)) {
            continue;
        }
        if (repeats) {
            heap_.push_back(Entry{time + interval, sequence_++, action, interval, true});
            std::push_heap(heap_.begin(), heap_.end(), Later());
        }
        performAsCurrentScheduler(action->block());
    }
}

void RXTestScheduler::stepAll() {
    step(std::numeric_limits<NSUInteger>::max());
}
