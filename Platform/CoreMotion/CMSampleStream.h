// CMSampleStream: one sensor's stream of samples at a fixed interval on the platform clock, the
// engine behind every update of CMMotionManager and CMAltimeter (internal to CoreMotion).
//
// Push: samples are taken at every interval and handed to the handler on the given operation
// queue. For the main queue a timer takes each sample and hands it over in the same turn. For
// another queue, streams faster than the hand-over period share one timer that, every
// kHandoverPeriod, takes each stream's samples of the intervals that have passed (each for its own
// instant) and hands them to each queue as one operation, in time order: a hand-over to another
// thread costs far more than a sample (on virtual time the clock waits for it at every step), so it
// is paid once per period and queue, not once per sample. Slower streams hand over each sample.
// Pull (no handler): nothing runs; the latest sample is worked out when it is read, as the one of
// the latest interval that has passed. Either way there is no sample before
// the first interval has passed, and a sensor that gives none (dead) leaves the latest as it was.
// No handler runs once the stream has stopped or restarted, even for a sample already queued.
#pragma once

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSError.h>
#include <Foundation/NSOperationQueue.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CMSampleStream {
public:
    // What a sensor gives at one instant: nothing (no sample), one sample, several (a burst), or an
    // error without a sample, which ends the stream (the sensor has gone).
    using Results = std::vector<std::pair<id, Ref<NSError>>>;
    using Sampler = std::function<Results(double time, bool push)>;
    using Handler = std::function<void(const id& sample, const Ref<NSError>& error)>;

    static constexpr double kMinimumInterval = 0.01;
    static constexpr double kHandoverPeriod = 0.1;

    CMSampleStream(double defaultInterval, const dispatch_queue_t& timerQueue);
    ~CMSampleStream();
    CMSampleStream(const CMSampleStream&) = delete;
    CMSampleStream& operator=(const CMSampleStream&) = delete;

    double interval() const;
    // Below the minimum, NaN or not positive: the minimum. A running stream goes on at the new
    // interval from now.
    void setInterval(double seconds);

    // Starts (or restarts) the stream; without a queue or handler it is a pull stream.
    void start(Sampler sampler, const Ref<NSOperationQueue>& queue, Handler handler);
    void stop();
    bool isActive() const;
    // The latest sample (nil before the first); kept after the stream stops.
    id latest();

private:
    struct State;
    struct Handover;
    void armLocked();
    std::shared_ptr<State> state_;
};

// The error of a sensor that is not there.
Ref<NSError> CMNotAvailableError();
