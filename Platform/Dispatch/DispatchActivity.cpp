#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Runtime/Runtime.h>

#include <chrono>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace dispatch_detail {

namespace {

pid_t currentTid() noexcept {
    thread_local pid_t tid = gettid();
    return tid;
}

std::atomic<pid_t>& mainTid() noexcept {
    static std::atomic<pid_t> tid{getpid()};
    return tid;
}

// (main-bound units << 32) + all counted units, in one word so that both are read together.
constexpr int64_t kMainUnit = int64_t(1) << 32;

struct ActivityState {
    std::atomic<int64_t> word{0};
    std::atomic<uint64_t> epoch{0};
    std::atomic<bool> driverWaiting{false};
    std::mutex mutex;
    std::condition_variable cv;
    // Open while the driver is blocked in driverWait (see Activity::waitAtGate).
    std::mutex gateMutex;
    std::condition_variable gateCv;
    bool gateOpen = false;
};

// Never destroyed: detached platform threads may still use it while the process exits.
ActivityState& state() noexcept {
    static ActivityState* s = new ActivityState;
    return *s;
}

void notifyDriver(ActivityState& s) noexcept {
    if (s.driverWaiting.load()) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.cv.notify_all();
    }
}

int64_t mainPart(int64_t word) noexcept {
    return word >> 32;
}
int64_t totalPart(int64_t word) noexcept {
    return word - (mainPart(word) << 32);
}
int64_t backgroundPart(int64_t word) noexcept {
    return totalPart(word) - mainPart(word);
}

// The driver waits for background work to end (or to start, when nothing is scheduled), for
// main-bound work, or for a poke. A change of the background count that neither starts nor ends
// it cannot be what it waits for, so it is not worth a wake-up: with work handed from thread to
// thread at every step, those wake-ups outnumbered the useful one.
void notifyDriverOfChange(ActivityState& s, int64_t before, int64_t after) noexcept {
    bool edge = backgroundPart(before) == 0 || backgroundPart(after) == 0 || mainPart(before) != mainPart(after);
    if (edge) {
        notifyDriver(s);
    }
}

void setGate(ActivityState& s, bool open) {
    {
        std::lock_guard<std::mutex> lock(s.gateMutex);
        if (s.gateOpen == open) {
            return;
        }
        s.gateOpen = open;
    }
    if (open) {
        s.gateCv.notify_all();
    }
}

std::chrono::steady_clock::time_point steadyDeadline(uint64_t deadline) {
    // uptimeNanoseconds() on real time is the steady clock's count plus one.
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadline - 1));
}

} // namespace

bool isMainThread() noexcept {
    return currentTid() == mainTid().load(std::memory_order_relaxed);
}

void adoptCurrentThreadAsMain() noexcept {
    mainTid().store(currentTid());
}

bool isDriverThread() noexcept {
    return isMainThread() && DispatchClock::isVirtual();
}

void Activity::add(int64_t units, bool mainBound) noexcept {
    auto& s = state();
    int64_t delta = units + (mainBound ? units * kMainUnit : 0);
    int64_t before = s.word.fetch_add(delta);
    notifyDriverOfChange(s, before, before + delta);
}

void Activity::mainStarted() noexcept {
    auto& s = state();
    s.word.fetch_sub(kMainUnit);
    notifyDriver(s);
}

void Activity::done(int64_t units) noexcept {
    auto& s = state();
    int64_t before = s.word.fetch_sub(units);
    notifyDriverOfChange(s, before, before - units);
}

void Activity::poke() noexcept {
    auto& s = state();
    s.epoch.fetch_add(1);
    notifyDriver(s);
}

int64_t Activity::background() noexcept {
    int64_t w = state().word.load();
    return totalPart(w) - mainPart(w);
}

int64_t Activity::mainBound() noexcept {
    return mainPart(state().word.load());
}

int64_t Activity::total() noexcept {
    return totalPart(state().word.load());
}

void Activity::driverWait(const std::function<bool()>& ready) {
    auto& s = state();
    // A wait inside another's condition (an operator's look that runs the main loop) leaves the
    // outer one still waiting: it must go on being woken.
    const bool outer = s.driverWaiting.load();
    for (;;) {
        s.driverWaiting.store(true);
        int64_t word = s.word.load();
        uint64_t epoch = s.epoch.load();
        if (ready()) {
            s.driverWaiting.store(outer);
            return;
        }
        setGate(s, true);
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            s.cv.wait(lock, [&] { return s.word.load() != word || s.epoch.load() != epoch; });
        }
        setGate(s, false);
    }
}

void Activity::waitAtGate() {
    if (!DispatchClock::isVirtual()) {
        return;
    }
    auto& s = state();
    std::unique_lock<std::mutex> lock(s.gateMutex);
    s.gateCv.wait(lock, [&] { return s.gateOpen || !DispatchClock::isVirtual(); });
}

void Activity::openGateForRealTime() {
    auto& s = state();
    { std::lock_guard<std::mutex> lock(s.gateMutex); }
    s.gateCv.notify_all();
}

int64_t& heldUnits() noexcept {
    thread_local int64_t units = 0;
    return units;
}

ReleasedUnits::ReleasedUnits() noexcept : units_(heldUnits()) {
    heldUnits() = 0;
    if (units_) {
        Activity::done(units_);
    }
}

ReleasedUnits::~ReleasedUnits() {
    if (units_) {
        Activity::add(units_);
    }
    heldUnits() = units_;
}

bool backgroundIdle() noexcept {
    return !isDriverThread() || Activity::background() == heldUnits();
}

void waitForBackgroundWork() {
    if (backgroundIdle()) {
        return;
    }
    ReleasedUnits released;
    Activity::driverWait([] { return Activity::background() == 0; });
}

BlockingHooks& currentBlockingHooks() noexcept {
    thread_local BlockingHooks hooks;
    return hooks;
}

bool wake(const WaiterRef& w, bool timedOut) {
    bool driver;
    std::shared_ptr<TimerToken> timeout;
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        if (w->woken) {
            return false;
        }
        w->woken = true;
        w->timedOut = timedOut;
        w->done.store(true);
        driver = w->driver;
        if (w->parked && !driver && w->released) {
            Activity::add(w->released);
        }
        timeout = std::move(w->timeout);
    }
    // Outside the lock (the caller's reference keeps the waiter alive), so that the woken thread
    // does not at once block on the waiter's mutex.
    w->cv.notify_one();
    if (driver) {
        Activity::poke();
    }
    if (timeout && !timedOut) {
        TimerHeap::cancel(timeout);
    }
    return true;
}

bool park(const WaiterRef& w, uint64_t deadline) {
    const bool driver = isDriverThread();
    const bool isVirtual = DispatchClock::isVirtual();
    const int64_t held = heldUnits();
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        if (w->woken) {
            return !w->timedOut;
        }
        if (deadline != TimerHeap::kNever && deadline <= DispatchClock::uptimeNanoseconds()) {
            w->woken = true;
            w->timedOut = true;
            w->done.store(true);
            return false;
        }
        w->parked = true;
        w->driver = driver;
        w->released = driver ? 0 : held;
    }
    auto hooks = currentBlockingHooks();
    if (hooks.willBlock) {
        hooks.willBlock(hooks.context);
    }
    struct Unblock {
        BlockingHooks& h;
        ~Unblock() {
            if (h.didUnblock) {
                h.didUnblock(h.context);
            }
        }
    } unblock{hooks};

    if (driver) {
        ReleasedUnits released;
        drive(deadline, [&] { return w->done.load(); });
        std::lock_guard<std::mutex> lock(w->mutex);
        if (!w->woken) {
            w->woken = true;
            w->timedOut = true;
            w->done.store(true);
        }
        return !w->timedOut;
    }

    // On virtual time the time-out entry is in place before the units are given up, so that the
    // driver, seeing the process idle, also sees this deadline.
    if (isVirtual && deadline != TimerHeap::kNever) {
        auto token = TimerHeap::schedule(
            deadline, [w] { wake(w, true); }, true);
        std::lock_guard<std::mutex> lock(w->mutex);
        if (w->woken) {
            TimerHeap::cancel(token);
        } else {
            w->timeout = std::move(token);
        }
    }
    if (held) {
        Activity::done(held);
    }
    std::unique_lock<std::mutex> lock(w->mutex);
    if (isVirtual) {
        w->cv.wait(lock, [&] { return w->woken; });
        return !w->timedOut;
    }
    while (!w->woken) {
        if (deadline == TimerHeap::kNever) {
            w->cv.wait(lock);
        } else if (w->cv.wait_until(lock, steadyDeadline(deadline)) == std::cv_status::timeout && !w->woken) {
            w->woken = true;
            w->timedOut = true;
            w->done.store(true);
            if (held) {
                Activity::add(held);
            }
        }
    }
    return !w->timedOut;
}

uintptr_t currentThreadToken() noexcept {
    thread_local char marker;
    return reinterpret_cast<uintptr_t>(&marker);
}

bool ParkingLock::lock(uint64_t deadline, bool recursive, const char* what) {
    const uintptr_t self = currentThreadToken();
    for (;;) {
        WaiterRef waiter;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (owner_ == 0) {
                owner_ = self;
                depth_ = 1;
                return true;
            }
            if (owner_ == self) {
                if (!recursive) {
                    NSException::raise(NSInternalInconsistencyException,
                                       std::string(what) +
                                           ": the lock is already held by this thread (it would wait for ever)");
                }
                ++depth_;
                return true;
            }
            waiter = waiters_.enqueue();
        }
        if (!park(waiter, deadline)) {
            std::lock_guard<std::mutex> lock(mutex_);
            waiters_.remove(waiter);
            // Pass on a wake-up this waiter may have taken.
            if (owner_ == 0) {
                waiters_.wakeOne();
            }
            return false;
        }
    }
}

bool ParkingLock::tryLock(bool recursive) {
    const uintptr_t self = currentThreadToken();
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ == 0) {
        owner_ = self;
        depth_ = 1;
        return true;
    }
    if (owner_ == self && recursive) {
        ++depth_;
        return true;
    }
    return false;
}

void ParkingLock::unlock(const char* what) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != currentThreadToken()) {
        NSException::raise(NSInternalInconsistencyException,
                           std::string(what) + ": the lock is not held by this thread");
    }
    if (--depth_ == 0) {
        owner_ = 0;
        waiters_.wakeOne();
    }
}

bool ParkingLock::heldByCurrentThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return owner_ == currentThreadToken();
}

int ParkingLock::releaseAll(const char* what) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != currentThreadToken()) {
        NSException::raise(NSInternalInconsistencyException,
                           std::string(what) + ": the lock is not held by this thread");
    }
    int depth = depth_;
    depth_ = 0;
    owner_ = 0;
    waiters_.wakeOne();
    return depth;
}

void ParkingLock::reacquire(int depth) {
    lock(UINT64_MAX, true, "reacquire");
    std::lock_guard<std::mutex> lock(mutex_);
    depth_ = depth;
}

} // namespace dispatch_detail
