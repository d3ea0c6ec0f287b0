#include <CoreMotion/CMSampleStream.h>

#include <CoreMotion/CMError.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchSource.h>
#include <Dispatch/DispatchTime.h>

#include <cmath>
#include <mutex>

const Ref<NSString>& CMErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>(NSString::from("CMErrorDomain"));
    return domain;
}

Ref<NSError> CMNotAvailableError() {
    return make<NSError>(CMErrorDomain(), CMErrorNotAvailable);
}

struct CMSampleStream::State {
    std::mutex mutex;
    dispatch_queue_t timerQueue;
    double interval = 0.01;
    bool active = false;
    uint64_t generation = 0;
    double start = 0; // uptime of the start, or of the last change of interval
    Sampler sampler;
    Ref<NSOperationQueue> queue;
    Handler handler;
    dispatch_source_t timer;
    id latest;
    int64_t pulledTick = 0; // pull: the interval whose sample `latest` is
};

namespace {

uint64_t nanoseconds(double seconds) {
    return static_cast<uint64_t>(std::llround(seconds * 1e9));
}

} // namespace

CMSampleStream::CMSampleStream(double defaultInterval, const dispatch_queue_t& timerQueue)
    : state_(std::make_shared<State>()) {
    state_->interval = defaultInterval;
    state_->timerQueue = timerQueue;
}

CMSampleStream::~CMSampleStream() {
    stop();
}

double CMSampleStream::interval() const {
    std::lock_guard lock(state_->mutex);
    return state_->interval;
}

void CMSampleStream::setInterval(double seconds) {
    if (!(seconds >= kMinimumInterval) || !std::isfinite(seconds)) {
        seconds = kMinimumInterval;
    }
    std::lock_guard lock(state_->mutex);
    if (state_->interval == seconds) {
        return;
    }
    state_->interval = seconds;
    if (state_->active) {
        state_->start = DispatchClock::uptime();
        state_->pulledTick = 0;
        if (state_->handler) {
            armLocked();
        }
    }
}

void CMSampleStream::armLocked() {
    State& s = *state_;
    if (s.timer) {
        dispatch_source_cancel(s.timer);
        s.timer = nullptr;
    }
    // Samples for the main queue are taken on the main queue and handed over in the same turn;
    // others are taken on the manager's own queue and queued as operations.
    bool onMain = s.queue == NSOperationQueue::mainQueue();
    s.timer =
        dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, onMain ? dispatch_get_main_queue() : s.timerQueue);
    uint64_t step = nanoseconds(s.interval);
    dispatch_source_set_timer(s.timer, dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(step)), step, 0);
    std::weak_ptr<State> weak = state_;
    uint64_t generation = s.generation;
    dispatch_source_set_event_handler(s.timer, [weak, generation, onMain] {
        auto state = weak.lock();
        if (!state) {
            return;
        }
        Sampler sampler;
        Ref<NSOperationQueue> queue;
        Handler handler;
        {
            std::lock_guard lock(state->mutex);
            if (!state->active || state->generation != generation) {
                return;
            }
            sampler = state->sampler;
            queue = state->queue;
            handler = state->handler;
        }
        Results results = sampler(DispatchClock::uptime(), true);
        bool ended = false;
        for (auto& [sample, error] : results) {
            if (!sample && error) {
                ended = true;
            }
            {
                std::lock_guard lock(state->mutex);
                if (state->generation != generation) {
                    return;
                }
                if (sample) {
                    state->latest = sample;
                }
                if (ended && state->timer) {
                    dispatch_source_cancel(state->timer);
                    state->timer = nullptr;
                }
            }
            if (onMain) {
                handler(sample, error);
                if (ended) {
                    break;
                }
                continue;
            }
            queue->addOperationWithBlock([weak, generation, handler, sample, error] {
                auto live = weak.lock();
                if (!live) {
                    return;
                }
                {
                    std::lock_guard lock(live->mutex);
                    if (!live->active || live->generation != generation) {
                        return;
                    }
                }
                handler(sample, error);
            });
            if (ended) {
                break;
            }
        }
    });
    dispatch_resume(s.timer);
}

void CMSampleStream::start(Sampler sampler, const Ref<NSOperationQueue>& queue, Handler handler) {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    s.generation++;
    s.active = true;
    s.start = DispatchClock::uptime();
    s.pulledTick = 0;
    s.sampler = std::move(sampler);
    if (queue && handler) {
        s.queue = queue;
        s.handler = std::move(handler);
        armLocked();
    } else {
        s.queue = nullptr;
        s.handler = nullptr;
        if (s.timer) {
            dispatch_source_cancel(s.timer);
            s.timer = nullptr;
        }
    }
}

void CMSampleStream::stop() {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    if (!s.active) {
        return;
    }
    s.active = false;
    s.generation++;
    if (s.timer) {
        dispatch_source_cancel(s.timer);
        s.timer = nullptr;
    }
    s.sampler = nullptr;
    s.queue = nullptr;
    s.handler = nullptr;
}

bool CMSampleStream::isActive() const {
    std::lock_guard lock(state_->mutex);
    return state_->active;
}

id CMSampleStream::latest() {
    Sampler sampler;
    double time = 0;
    int64_t tick = 0;
    {
        std::lock_guard lock(state_->mutex);
        State& s = *state_;
        if (!s.active || s.handler) {
            return s.latest;
        }
        tick = static_cast<int64_t>(std::floor((DispatchClock::uptime() - s.start) / s.interval + 1e-9));
        if (tick < 1 || tick == s.pulledTick) {
            return s.latest;
        }
        s.pulledTick = tick;
        time = s.start + static_cast<double>(tick) * s.interval;
        sampler = s.sampler;
    }
    Results results = sampler(time, false);
    std::lock_guard lock(state_->mutex);
    for (auto& [sample, error] : results) {
        if (sample) {
            state_->latest = sample;
        }
    }
    return state_->latest;
}
