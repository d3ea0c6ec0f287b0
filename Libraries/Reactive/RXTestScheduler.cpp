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

Ref<RXDisposable> RXTestScheduler::add(Ref<NSDate> date, RXSchedulerBlock block) {
    auto action = make<RXTestSchedulerAction>(std::move(date), std::move(block));
    std::lock_guard<std::recursive_mutex> guard(lock_);
    heap_.push_back(Entry{action->date()->timeIntervalSinceReferenceDate(), sequence_++, action});
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

// Every run removes its own unit from the owner and adds the next one to it, so a timer that has run
// any number of times holds one waiting unit.
void RXTestScheduler::scheduleRepetition(NSTimeInterval time, NSTimeInterval interval,
                                         const Ref<RXCompoundDisposable>& owner,
                                         const std::shared_ptr<RXSchedulerBlock>& block) {
    if (owner->isDisposed()) {
        return;
    }
    Weak<RXTestScheduler> weakSelf(this);
    auto current = std::make_shared<Ref<RXDisposable>>();
    *current =
        add(NSDate::dateWithTimeIntervalSinceReferenceDate(time), [weakSelf, owner, current, time, interval, block] {
            auto self = weakSelf.lock();
            if (!self) {
                return;
            }
            owner->removeDisposable(*current);
            self->scheduleRepetition(time + interval, interval, owner, block);
            (*block)();
        });
    owner->addDisposable(*current);
}

Ref<RXDisposable> RXTestScheduler::afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date,
                                                                         NSTimeInterval interval, NSTimeInterval,
                                                                         RXSchedulerBlock block) {
    auto owner = make<RXCompoundDisposable>();
    double start = date ? date->timeIntervalSinceReferenceDate() : NSDate::now();
    scheduleRepetition(start, interval, owner, std::make_shared<RXSchedulerBlock>(std::move(block)));
    return owner;
}

void RXTestScheduler::step(NSUInteger count) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (NSUInteger i = 0; i < count && !heap_.empty(); ++i) {
        std::pop_heap(heap_.begin(), heap_.end(), Later());
        Ref<RXTestSchedulerAction> action = std::move(heap_.back().action);
        heap_.pop_back();
        if (action->disposable()->isDisposed()) {
            continue;
        }
        performAsCurrentScheduler(action->block());
    }
}

void RXTestScheduler::stepAll() {
    step(std::numeric_limits<NSUInteger>::max());
}
