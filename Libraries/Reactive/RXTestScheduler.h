// RXTestScheduler: a scheduler on virtual time for tests. Nothing runs until the test steps it;
// each step runs the earliest waiting unit (units with equal dates in the order scheduled), with the
// test scheduler as the thread's current scheduler. Units scheduled with `schedule` get the dates
// 1 January 2001 + 0 s, + 1 s, ... so they run in the order scheduled and before any unit scheduled
// for a real date.
#pragma once

#include <Reactive/RXScheduler.h>
#include <Reactive/RXTestSchedulerAction.h>

#include <cstdint>
#include <mutex>
#include <vector>

class RXTestScheduler : public RXScheduler {
    NS_OBJECT(RXTestScheduler, RXScheduler)
public:
    RXTestScheduler();
    // Runs every waiting unit first.
    ~RXTestScheduler() override;

    uint64_t numberOfDirectlyScheduledBlocks() const;
    // The number of units waiting (cancelled ones included until they are stepped over).
    NSUInteger numberOfScheduledActions() const;

    Ref<RXDisposable> schedule(RXSchedulerBlock block) override;
    Ref<RXDisposable> afterSchedule(const Ref<NSDate>& date, RXSchedulerBlock block) override;
    // The first run at `date`, then every `interval` seconds of virtual time until disposed.
    Ref<RXDisposable> afterRepeatingEveryWithLeewaySchedule(const Ref<NSDate>& date, NSTimeInterval interval,
                                                            NSTimeInterval leeway, RXSchedulerBlock block) override;

    // Takes up to `count` units off, earliest first, and runs those not cancelled.
    void step(NSUInteger count);
    void step() { step(1); }
    void stepAll();

private:
    struct Entry {
        double time;
        uint64_t sequence;
        Ref<RXTestSchedulerAction> action;
        double interval = 0; // a repeating unit's period
        bool repeats = false;
    };
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.time != b.time ? a.time > b.time : a.sequence > b.sequence;
        }
    };
    Ref<RXDisposable> add(Ref<NSDate> date, RXSchedulerBlock block, double interval = 0, bool repeats = false);

    mutable std::recursive_mutex lock_;
    std::vector<Entry> heap_;
    uint64_t numberOfDirectlyScheduledBlocks_ = 0;
    uint64_t sequence_ = 0;
    bool tearingDown_ = false; // repeating units no longer run
};
