// NSTimer: a one-shot or repeating timer that fires on a run loop.
//
// A scheduled timer fires on the run loop it was added to, in the modes it was added for, when the
// clock passes its fire date; a repeating timer then moves its fire date on by whole intervals
// (fires that a busy run loop missed are skipped, not queued). The timer holds its target, its
// block and its user info until it is invalidated; a one-shot timer invalidates itself after it has
// fired. invalidate() may be called from the timer's own callback or from any thread, also while
// the timer fires: the callback that runs finishes, no later one starts.
//
// Intervals: a value <= 0 becomes 0.1 milliseconds (as on the platform); NaN or an infinite value
// raises NSInvalidArgumentException. The tolerance is kept but not used: timers fire on time.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class NSDate;
class NSRunLoop;

class NSTimer : public NSObject {
    NS_OBJECT(NSTimer, NSObject)
public:
    using Block = std::function<void(const Ref<NSTimer>& timer)>;

    // `initWithFireDate:interval:target:selector:userInfo:repeats:`. The selector is sent to the
    // target with the timer as its argument (or with none when it takes none).
    NSTimer(const Ref<NSDate>& fireDate, double interval, const id& target, SEL selector, const id& userInfo,
            bool repeats);
    // `initWithFireDate:interval:repeats:block:`.
    NSTimer(const Ref<NSDate>& fireDate, double interval, bool repeats, Block block);
    ~NSTimer() override;

    // Timers that fire `interval` seconds from now; the scheduled ones are added to the current
    // run loop in the default mode.
    static Ref<NSTimer> timerWithTimeIntervalTargetSelectorUserInfoRepeats(double interval, const id& target,
                                                                           SEL selector, const id& userInfo,
                                                                           bool repeats);
    static Ref<NSTimer> scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats(double interval, const id& target,
                                                                                    SEL selector, const id& userInfo,
                                                                                    bool repeats);
    static Ref<NSTimer> timerWithTimeIntervalRepeatsBlock(double interval, bool repeats, Block block);
    static Ref<NSTimer> scheduledTimerWithTimeIntervalRepeatsBlock(double interval, bool repeats, Block block);

    // Runs the callback now, on the calling thread, without changing the schedule; a one-shot timer
    // is invalidated afterwards. Does nothing once invalid.
    void fire();
    void invalidate();
    bool isValid() const;
    Ref<NSDate> fireDate() const;
    // Moves the next fire; raises NSInvalidArgumentException for nil.
    void setFireDate(const Ref<NSDate>& date);
    double timeInterval() const noexcept { return repeats_ ? interval_ : 0.0; }
    id userInfo() const;
    double tolerance() const;
    // Raises NSInvalidArgumentException for NaN; a negative tolerance is stored as 0.
    void setTolerance(double tolerance);
    Ref<NSString> description() const override;

    // The smallest interval, in seconds.
    static constexpr double kMinimumInterval = 0.0001;

private:
    friend class NSRunLoop;
    void init(const Ref<NSDate>& fireDate, double interval, bool repeats);
    // Runs the callback; false when the timer was invalid.
    bool invokeCallback();

    mutable std::mutex mutex_; // guards valid_, the callback, userInfo_, tolerance_, runLoop_
    bool valid_ = true;
    bool repeats_ = false;
    double interval_ = 0;
    uint64_t intervalNanos_ = 0;
    double tolerance_ = 0;
    id target_;
    SEL selector_;
    id userInfo_;
    std::shared_ptr<const Block> block_;
    Weak<NSRunLoop> runLoop_;
    std::atomic<uint64_t> fireNanos_{0};
    // Guarded by the run loop's mutex.
    uint64_t seq_ = 0;
    bool scheduled_ = false;
    std::vector<const std::string*> modes_; // interned mode names
};
