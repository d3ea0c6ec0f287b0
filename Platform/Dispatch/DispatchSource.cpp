#include <Dispatch/Clock.h>
#include <Dispatch/DispatchSource.h>
#include <Dispatch/DispatchTask.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <mutex>

using namespace dispatch_detail;

struct dispatch_source_type_s {
    const char* name;
};
namespace {
const dispatch_source_type_s kTimerType{"timer"};
constexpr uint64_t kNever = TimerHeap::kNever;
} // namespace
const dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER = &kTimerType;

struct DispatchSource::State {
    mutable std::mutex mutex;
    Ref<DispatchQueue> queue; // a private serial queue on the given queue: handlers never overlap
    std::shared_ptr<const dispatch_block_t> eventHandler;
    std::shared_ptr<const dispatch_block_t> cancelHandler;
    bool timerSet = false;
    uint64_t nextFire = kNever;
    uint64_t interval = 0; // 0: one-shot
    uint64_t leeway = 0;
    int suspendCount = 1;
    bool armed = false;
    bool cancelled = false;
    bool cancelDelivered = false;
    uint64_t generation = 0;
    std::shared_ptr<TimerToken> token;
    unsigned long pendingData = 0;
    bool firePending = false;
    unsigned long currentData = 0;
};

NS_IMPLEMENT_CLASS(DispatchSource, NSObject) {}

DispatchSource::DispatchSource(dispatch_source_type_t type, const dispatch_queue_t& queue)
    : state_(std::make_shared<State>()) {
    if (type != DISPATCH_SOURCE_TYPE_TIMER) {
        NSException::raise(NSInvalidArgumentException, "dispatch_source_create: unknown source type");
    }
    Ref<DispatchQueue> target = queue ? queue : dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    state_->queue = dispatch_queue_create(("source." + target->label()).c_str(), DISPATCH_QUEUE_SERIAL);
    dispatch_set_target_queue(state_->queue, target);
}

DispatchSource::~DispatchSource() = default;

void DispatchSource::armLocked() {
    auto& s = *state_;
    if (!s.timerSet || s.cancelled || s.nextFire == kNever) {
        return;
    }
    s.armed = true;
    Ref<DispatchSource> self(this);
    uint64_t generation = s.generation;
    s.token = TimerHeap::schedule(
        s.nextFire, [self, generation] { self->timerFired(generation); }, true);
}

void DispatchSource::timerFired(uint64_t generation) {
    auto& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (generation != s.generation || s.cancelled) {
        return;
    }
    unsigned long fires = 1;
    if (s.interval == 0) {
        s.nextFire = kNever;
        s.armed = false;
        s.token.reset();
    } else {
        uint64_t now = DispatchClock::uptimeNanoseconds();
        uint64_t next = s.nextFire + s.interval;
        if (next <= now) {
            // Fell behind (real time only): count the fires that were missed and resume the beat.
            uint64_t missed = (now - s.nextFire) / s.interval;
            fires += static_cast<unsigned long>(missed);
            next = s.nextFire + (missed + 1) * s.interval;
        }
        s.nextFire = next;
        armLocked();
    }
    s.pendingData += fires;
    if (s.suspendCount == 0) {
        enqueueFireLocked();
    }
}

void DispatchSource::enqueueFireLocked() {
    auto& s = *state_;
    if (s.firePending || s.pendingData == 0) {
        return;
    }
    s.firePending = true;
    Ref<DispatchSource> self(this);
    enqueue(s.queue.get(), [self] { self->runEventHandler(); });
}

void DispatchSource::runEventHandler() {
    auto& s = *state_;
    std::shared_ptr<const dispatch_block_t> handler;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.firePending = false;
        if (s.cancelled || s.suspendCount > 0 || s.pendingData == 0) {
            return;
        }
        s.currentData = s.pendingData;
        s.pendingData = 0;
        handler = s.eventHandler;
    }
    if (handler && *handler) {
        (*handler)();
    }
}

void DispatchSource::deliverCancelLocked() {
    auto& s = *state_;
    if (s.cancelDelivered) {
        return;
    }
    s.cancelDelivered = true;
    auto state = state_;
    enqueue(s.queue.get(), [state] {
        std::shared_ptr<const dispatch_block_t> handler;
        std::shared_ptr<const dispatch_block_t> event;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            handler = std::move(state->cancelHandler);
            event = std::move(state->eventHandler);
        }
        event.reset();
        if (handler && *handler) {
            (*handler)();
        }
    });
}

void DispatchSource::setTimer(dispatch_time_t start, uint64_t interval, uint64_t leeway) {
    auto& s = *state_;
    std::shared_ptr<TimerToken> old;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.cancelled) {
            return;
        }
        ++s.generation;
        old = std::move(s.token);
        s.armed = false;
        s.timerSet = true;
        s.nextFire = deadlineForTime(start);
        s.interval = interval == DISPATCH_TIME_FOREVER ? 0 : std::max(interval, kMinimumInterval);
        s.leeway = leeway;
        s.pendingData = 0;
        if (s.suspendCount == 0) {
            armLocked();
        }
    }
    TimerHeap::cancel(old);
}

void DispatchSource::setEventHandler(dispatch_block_t handler) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->cancelled) {
        state_->eventHandler = std::make_shared<const dispatch_block_t>(std::move(handler));
    }
}

void DispatchSource::setCancelHandler(dispatch_block_t handler) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->cancelDelivered) {
        state_->cancelHandler = std::make_shared<const dispatch_block_t>(std::move(handler));
    }
}

void DispatchSource::resume() {
    auto& s = *state_;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.suspendCount == 0) {
        NSException::raise(NSInternalInconsistencyException, "dispatch_resume: the source is not suspended");
    }
    if (--s.suspendCount > 0) {
        return;
    }
    if (s.cancelled) {
        deliverCancelLocked();
        return;
    }
    if (!s.armed) {
        armLocked();
    }
    enqueueFireLocked();
}

void DispatchSource::suspend() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->suspendCount;
}

void DispatchSource::cancel() {
    auto& s = *state_;
    std::shared_ptr<TimerToken> token;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.cancelled) {
            return;
        }
        s.cancelled = true;
        ++s.generation;
        s.armed = false;
        token = std::move(s.token);
        if (s.suspendCount == 0) {
            deliverCancelLocked();
        }
    }
    TimerHeap::cancel(token);
}

bool DispatchSource::isCancelled() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->cancelled;
}

unsigned long DispatchSource::data() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->currentData;
}

uint64_t DispatchSource::interval() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->interval;
}

uint64_t DispatchSource::leeway() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->leeway;
}

namespace {
void requireSource(const dispatch_source_t& source, const char* function) {
    if (!source) {
        NSException::raise(NSInvalidArgumentException, std::string(function) + ": the source is nil");
    }
}
} // namespace

dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle, unsigned long mask,
                                         const dispatch_queue_t& queue) {
    if (handle != 0 || mask != 0) {
        NSException::raise(NSInvalidArgumentException, "dispatch_source_create: a timer takes no handle and no mask");
    }
    return make<DispatchSource>(type, queue);
}

void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start, uint64_t interval,
                               uint64_t leeway) {
    requireSource(source, "dispatch_source_set_timer");
    source->setTimer(start, interval, leeway);
}

void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler) {
    requireSource(source, "dispatch_source_set_event_handler");
    source->setEventHandler(std::move(handler));
}

void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler) {
    requireSource(source, "dispatch_source_set_cancel_handler");
    source->setCancelHandler(std::move(handler));
}

void dispatch_source_cancel(const dispatch_source_t& source) {
    requireSource(source, "dispatch_source_cancel");
    source->cancel();
}

long dispatch_source_testcancel(const dispatch_source_t& source) {
    requireSource(source, "dispatch_source_testcancel");
    return source->isCancelled() ? 1 : 0;
}

unsigned long dispatch_source_get_data(const dispatch_source_t& source) {
    requireSource(source, "dispatch_source_get_data");
    return source->data();
}

void dispatch_resume(const dispatch_source_t& source) {
    requireSource(source, "dispatch_resume");
    source->resume();
}

void dispatch_suspend(const dispatch_source_t& source) {
    requireSource(source, "dispatch_suspend");
    source->suspend();
}
