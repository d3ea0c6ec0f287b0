// Dispatch sources. Only timer sources exist here: a timer source calls its event handler on its
// queue at `start` and then every `interval`, until it is cancelled.
//
// A source is made suspended and starts with dispatch_resume(). Fires that come while the handler
// is still busy (or while the source is suspended) are merged: the handler runs once and
// dispatch_source_get_data() tells how many fires it stands for. After dispatch_source_cancel()
// the event handler is never called again (a call already running finishes), and the cancel
// handler runs once on the queue, after any event handler (while the source is suspended, on the
// resume that lets it run); both handlers are then released, so a handler that captures its own
// source does not keep it alive. Cancelling from the handler itself or from another thread while
// the handler runs is safe.
//
// Times follow the process clock. An interval of DISPATCH_TIME_FOREVER makes a one-shot timer; an
// interval below 100 microseconds (0 included) is raised to 100 microseconds. The leeway is kept
// but not used: timers fire at their deadline.
#pragma once

#include <Dispatch/DispatchQueue.h>

#include <memory>

struct dispatch_source_type_s;
using dispatch_source_type_t = const dispatch_source_type_s*;
extern const dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER;

class DispatchSource : public NSObject {
    NS_OBJECT(DispatchSource, NSObject)
public:
    DispatchSource(dispatch_source_type_t type, const dispatch_queue_t& queue);
    ~DispatchSource() override;

    static constexpr uint64_t kMinimumInterval = 100000; // nanoseconds

    void setTimer(dispatch_time_t start, uint64_t interval, uint64_t leeway);
    void setEventHandler(dispatch_block_t handler);
    void setCancelHandler(dispatch_block_t handler);
    void resume();
    void suspend();
    void cancel();
    bool isCancelled() const;
    // The number of fires the running event handler stands for.
    unsigned long data() const;
    uint64_t interval() const;
    uint64_t leeway() const;

private:
    struct State;
    void armLocked();
    void deliverCancelLocked();
    void enqueueFireLocked();
    void timerFired(uint64_t generation);
    void runEventHandler();
    std::shared_ptr<State> state_;
};

using dispatch_source_t = Ref<DispatchSource>;

// `handle` and `mask` must be 0 for timers; a nil queue means the default global queue. Raises
// NSInvalidArgumentException for an unknown type.
dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle, unsigned long mask,
                                         const dispatch_queue_t& queue);
void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start, uint64_t interval,
                               uint64_t leeway);
void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler);
void dispatch_source_cancel(const dispatch_source_t& source);
long dispatch_source_testcancel(const dispatch_source_t& source);
unsigned long dispatch_source_get_data(const dispatch_source_t& source);
// Raises NSInternalInconsistencyException for a resume without a matching suspend.
void dispatch_resume(const dispatch_source_t& source);
void dispatch_suspend(const dispatch_source_t& source);
