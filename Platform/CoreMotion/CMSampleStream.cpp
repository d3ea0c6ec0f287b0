#include <CoreMotion/CMSampleStream.h>

#include <CoreMotion/CMError.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchSource.h>
#include <Dispatch/DispatchTime.h>

#include <algorithm>
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
    int64_t pulledTick = 0;  // pull: the interval whose sample `latest` is
    bool handedOver = false; // push to another queue through the shared hand-over
    bool ended = false;      // handed over: the sensor has gone, nothing more comes
    int64_t handedTick = 0;  // handed over: the last interval whose sample was taken
};

// The shared hand-over of samples to operation queues other than the main queue (see the header).
struct CMSampleStream::Handover {
    struct Delivery {
        std::weak_ptr<State> stream;
        uint64_t generation = 0;
        Handler handler;
        id sample;
        Ref<NSError> error;
        double time = 0;
    };

    std::mutex mutex;
    dispatch_queue_t queue = dispatch_queue_create("CMSampleStream.handover", nullptr);
    dispatch_source_t timer;
    std::vector<std::weak_ptr<State>> streams;

    // Never destroyed: streams of detached threads may still leave it while the process exits.
    static Handover& shared() {
        static Handover* handover = new Handover;
        return *handover;
    }

    void join(const std::shared_ptr<State>& stream);
    void leave(const State* stream);
    void fire();
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
    // others are taken on the manager's own queue and queued as operations, through the shared
    // hand-over when they come faster than it goes.
    bool onMain = s.queue == NSOperationQueue::mainQueue();
    s.ended = false;
    s.handedTick = 0;
    if (!onMain && s.interval < kHandoverPeriod) {
        s.handedOver = true;
        Handover::shared().join(state_);
        return;
    }
    if (s.handedOver) {
        s.handedOver = false;
        Handover::shared().leave(state_.get());
    }
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
            // Named copies: a lambda may not capture structured bindings before C++20's clang 16.
            queue->addOperationWithBlock([weak, generation, handler, sample = sample, error = error] {
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
        if (s.handedOver) {
            s.handedOver = false;
            Handover::shared().leave(&s);
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
    if (s.handedOver) {
        s.handedOver = false;
        Handover::shared().leave(&s);
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

// The shared hand-over.

void CMSampleStream::Handover::join(const std::shared_ptr<State>& stream) {
    std::lock_guard lock(mutex);
    for (const auto& known : streams) {
        if (known.lock() == stream) {
            return;
        }
    }
    streams.push_back(stream);
    if (!timer) {
        timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue);
        uint64_t step = nanoseconds(kHandoverPeriod);
        dispatch_source_set_timer(timer, dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(step)), step, 0);
        dispatch_source_set_event_handler(timer, [] { shared().fire(); });
        dispatch_resume(timer);
    }
}

void CMSampleStream::Handover::leave(const State* stream) {
    std::lock_guard lock(mutex);
    std::erase_if(streams, [stream](const std::weak_ptr<State>& known) {
        auto live = known.lock();
        return !live || live.get() == stream;
    });
    if (streams.empty() && timer) {
        dispatch_source_cancel(timer);
        timer = nullptr;
    }
}

void CMSampleStream::Handover::fire() {
    std::vector<std::shared_ptr<State>> live;
    {
        std::lock_guard lock(mutex);
        for (const auto& known : streams) {
            if (auto stream = known.lock()) {
                live.push_back(std::move(stream));
            }
        }
    }
    // Each queue's deliveries, queues in the order met.
    std::vector<std::pair<Ref<NSOperationQueue>, std::vector<Delivery>>> perQueue;
    double now = DispatchClock::uptime();
    for (const auto& stream : live) {
        Sampler sampler;
        Handler handler;
        Ref<NSOperationQueue> target;
        uint64_t generation = 0;
        std::vector<double> instants;
        {
            std::lock_guard lock(stream->mutex);
            if (!stream->active || !stream->handedOver || stream->ended || !stream->handler) {
                continue;
            }
            auto last = static_cast<int64_t>(std::floor((now - stream->start) / stream->interval + 1e-9));
            for (int64_t tick = stream->handedTick + 1; tick <= last; ++tick) {
                instants.push_back(stream->start + static_cast<double>(tick) * stream->interval);
            }
            stream->handedTick = std::max(stream->handedTick, last);
            sampler = stream->sampler;
            handler = stream->handler;
            target = stream->queue;
            generation = stream->generation;
        }
        if (instants.empty()) {
            continue;
        }
        std::vector<Delivery> taken;
        bool ended = false;
        for (double time : instants) {
            for (auto& [sample, error] : sampler(time, true)) {
                ended = !sample && error;
                taken.push_back(Delivery{stream, generation, handler, sample, error, time});
                if (ended) {
                    break;
                }
            }
            if (ended) {
                break;
            }
        }
        {
            std::lock_guard lock(stream->mutex);
            if (stream->generation != generation) {
                continue;
            }
            for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
                if (it->sample) {
                    stream->latest = it->sample;
                    break;
                }
            }
            stream->ended = ended;
        }
        if (taken.empty()) {
            continue;
        }
        auto slot =
            std::find_if(perQueue.begin(), perQueue.end(), [&](const auto& entry) { return entry.first == target; });
        if (slot == perQueue.end()) {
            perQueue.emplace_back(target, std::vector<Delivery>{});
            slot = perQueue.end() - 1;
        }
        slot->second.insert(slot->second.end(), std::make_move_iterator(taken.begin()),
                            std::make_move_iterator(taken.end()));
    }
    for (auto& [target, deliveries] : perQueue) {
        std::stable_sort(deliveries.begin(), deliveries.end(),
                         [](const Delivery& a, const Delivery& b) { return a.time < b.time; });
        auto batch = std::make_shared<const std::vector<Delivery>>(std::move(deliveries));
        target->addOperationWithBlock([batch] {
            for (const Delivery& delivery : *batch) {
                // A stop or a restart ends a stream's part of the batch where it happens.
                auto stream = delivery.stream.lock();
                if (!stream) {
                    continue;
                }
                {
                    std::lock_guard lock(stream->mutex);
                    if (!stream->active || stream->generation != delivery.generation) {
                        continue;
                    }
                }
                delivery.handler(delivery.sample, delivery.error);
            }
        });
    }
}
