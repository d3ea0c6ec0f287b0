#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchMainQueue.h>
#include <Dispatch/DispatchTimerHeap.h>
#include <Runtime/Runtime.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

using namespace dispatch_detail;

namespace {

// Seconds between the Unix epoch and 1 January 2001.
constexpr double kReferenceOffset = 978307200.0;
constexpr uint64_t kNever = TimerHeap::kNever;
// Where a virtual clock puts the monotonic reading when nothing has read the real one yet: a phone
// that has been up for an hour.
constexpr uint64_t kVirtualStartUptime = 3600ULL * 1000000000ULL;

struct ClockState {
    std::atomic<bool> isVirtual{false};
    std::atomic<uint64_t> virtualNanos{0};
    std::atomic<uint64_t> virtualStartNanos{0};
    std::atomic<double> virtualStartDate{0};
    std::atomic<MainLoopRunner> runner{nullptr};
    // Whether anything has read the real monotonic clock (a deadline, a time stamp) in this process.
    std::atomic<bool> realUptimeSeen{false};
    // Whether virtual time waits for outside work, and the units of it begun on virtual time and
    // counted as activity, not yet ended.
    std::atomic<bool> waitForOutside{false};
    std::atomic<int64_t> outsideUnits{0};
};

ClockState& clockState() {
    static ClockState* s = new ClockState;
    return *s;
}

uint64_t realUptime() noexcept {
    auto ticks = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(ticks).count()) + 1;
}

double realNow() noexcept {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count() - kReferenceOffset;
}

// Nanoseconds for a positive, finite number of seconds, saturating below kNever.
uint64_t nanosFor(double seconds) noexcept {
    double ns = std::ceil(seconds * 1e9);
    if (ns >= 1.8e19) {
        return kNever - 1;
    }
    return static_cast<uint64_t>(ns);
}

uint64_t addSaturating(uint64_t a, uint64_t b) noexcept {
    return b >= kNever - a ? kNever : a + b;
}

void requireMainThread(const char* what) {
    if (!isMainThread()) {
        NSException::raise(NSInternalInconsistencyException,
                           std::string("DispatchClock::") + what + " must be called on the main thread");
    }
}

void setVirtualNanos(uint64_t t) noexcept {
    auto& c = clockState();
    if (t > c.virtualNanos.load()) {
        c.virtualNanos.store(t);
    }
}

// Used when no run loop has registered: drains only the main dispatch queue.
bool runMainQueueOnly(uint64_t deadline, const std::function<bool()>* stop) {
    for (;;) {
        if (stop && (*stop)()) {
            return true;
        }
        if (drainMainQueue()) {
            continue;
        }
        if (!drive(deadline, [&] { return mainQueueHasWork() || (stop && (*stop)()); })) {
            return false;
        }
    }
}

bool runMainLoop(uint64_t deadline, const std::function<bool()>* stop) {
    MainLoopRunner runner = clockState().runner.load();
    return (runner ? runner : runMainQueueOnly)(deadline, stop);
}

} // namespace

double DispatchClock::now() {
    auto& c = clockState();
    if (c.isVirtual.load(std::memory_order_acquire)) {
        return c.virtualStartDate.load() +
               static_cast<double>(c.virtualNanos.load() - c.virtualStartNanos.load()) / 1e9;
    }
    return realNow();
}

uint64_t DispatchClock::uptimeNanoseconds() {
    auto& c = clockState();
    if (c.isVirtual.load(std::memory_order_acquire)) {
        return c.virtualNanos.load();
    }
    c.realUptimeSeen.store(true, std::memory_order_relaxed);
    return realUptime();
}

double DispatchClock::uptime() {
    return static_cast<double>(uptimeNanoseconds()) / 1e9;
}

bool DispatchClock::isVirtual() {
    return clockState().isVirtual.load(std::memory_order_acquire);
}

void DispatchClock::useVirtualTime(double startDate) {
    if (!std::isfinite(startDate)) {
        NSException::raise(NSInvalidArgumentException, "DispatchClock::useVirtualTime: the start date must be finite");
    }
    auto& c = clockState();
    // The virtual count goes on from the real one, so that what was stamped or scheduled before the
    // switch keeps its distance from now; a virtual clock started again goes on from where it stands.
    // But when nothing has read the real clock yet (a test's first step, a simulator run that starts
    // virtual) nothing can tell, and the count starts at a fixed reading instead: how long the machine
    // has been up then does not reach the run, which computes with the same numbers every time (an
    // operator's "a second on screen", the sensors' noise).
    uint64_t start;
    if (c.isVirtual.load()) {
        start = c.virtualNanos.load();
    } else if (!c.realUptimeSeen.load() && TimerHeap::liveCount() == 0) {
        start = kVirtualStartUptime;
    } else {
        start = realUptime();
    }
    c.virtualStartNanos.store(start);
    c.virtualNanos.store(start);
    c.virtualStartDate.store(startDate);
    c.waitForOutside.store(false); // a fresh clock moves on meanwhile until its host asks otherwise
    c.isVirtual.store(true, std::memory_order_release);
    TimerHeap::clockModeChanged();
    Activity::poke();
}

void DispatchClock::useRealTime() {
    clockState().isVirtual.store(false, std::memory_order_release);
    TimerHeap::clockModeChanged();
    Activity::openGateForRealTime();
    Activity::poke();
}

void DispatchClock::advance(double seconds) {
    if (std::isnan(seconds) || std::isinf(seconds) || seconds < 0) {
        NSException::raise(NSInvalidArgumentException,
                           "DispatchClock::advance: the interval must be a finite, non-negative number of seconds");
    }
    requireMainThread("advance");
    if (!isVirtual()) {
        NSException::raise(NSInternalInconsistencyException, "DispatchClock::advance needs virtual time");
    }
    uint64_t target = addSaturating(uptimeNanoseconds(), nanosFor(seconds));
    runMainLoop(target, nullptr);
}

bool DispatchClock::advanceUntil(const std::function<bool()>& condition, double seconds) {
    if (std::isnan(seconds) || seconds < 0) {
        NSException::raise(NSInvalidArgumentException,
                           "DispatchClock::advanceUntil: the interval must be a non-negative number of seconds");
    }
    requireMainThread("advanceUntil");
    uint64_t target = std::isinf(seconds) ? kNever : addSaturating(uptimeNanoseconds(), nanosFor(seconds));
    return advanceUntilUptime(condition, target);
}

bool DispatchClock::advanceUntilUptime(const std::function<bool()>& condition, uint64_t uptimeNanoseconds) {
    requireMainThread("advanceUntilUptime");
    // On virtual time the condition is asked only while no background work is under way, as the
    // main thread's own work runs: a condition that acts on the app (an operator's look) finds the
    // same state every run.
    const std::function<bool()> quiet = [&] { return backgroundIdle() && condition(); };
    waitForBackgroundWork();
    if (quiet()) {
        return true;
    }
    runMainLoop(uptimeNanoseconds, &quiet);
    waitForBackgroundWork();
    return condition();
}

void DispatchClock::runUntilIdle() {
    requireMainThread("runUntilIdle");
    runMainLoop(uptimeNanoseconds(), nullptr);
}

void DispatchClock::setWaitForOutsideWork(bool wait) {
    clockState().waitForOutside.store(wait);
}

void DispatchClock::beginOutsideWork() {
    auto& c = clockState();
    if (!isVirtual() || !c.waitForOutside.load()) {
        return;
    }
    c.outsideUnits.fetch_add(1);
    Activity::add(1);
}

void DispatchClock::endOutsideWork() {
    // Work begun on real time (or while nobody waited for it) was never counted: only what was
    // counted is given back, so a switch while a request is on its way leaves no unit behind.
    auto& c = clockState();
    int64_t units = c.outsideUnits.load();
    while (units > 0 && !c.outsideUnits.compare_exchange_weak(units, units - 1)) {
    }
    if (units > 0) {
        Activity::done(1);
    }
}

size_t DispatchClock::pendingTimerCount() {
    return TimerHeap::liveCount();
}

void DispatchClock::discardPendingTimers() {
    TimerHeap::discardAll();
}

namespace {
struct TestEndHandlers {
    std::mutex lock;
    std::vector<std::function<void()>> handlers;
};
TestEndHandlers& testEndHandlers() {
    static auto* handlers = new TestEndHandlers;
    return *handlers;
}
} // namespace

void DispatchClock::addTestEndHandler(std::function<void()> handler) {
    auto& h = testEndHandlers();
    std::lock_guard<std::mutex> guard(h.lock);
    h.handlers.push_back(std::move(handler));
}

void DispatchClock::endTest() {
    std::vector<std::function<void()>> handlers;
    {
        auto& h = testEndHandlers();
        std::lock_guard<std::mutex> guard(h.lock);
        handlers = h.handlers;
    }
    for (const auto& handler : handlers) {
        handler();
    }
}

namespace dispatch_detail {

void setMainLoopRunner(MainLoopRunner runner) noexcept {
    clockState().runner.store(runner);
}

bool drive(uint64_t deadline, const std::function<bool()>& stop, bool (*settled)()) {
    ReleasedUnits released;
    if (!DispatchClock::isVirtual()) {
        bool stopped = false;
        Activity::driverWait([&] {
            stopped = stop();
            return stopped || Activity::background() == 0;
        });
        return stopped;
    }
    // `stop` may consume what it reports (a run loop's wake-up), so its answer is taken once.
    bool stopped = false;
    auto stopOrIdle = [&] {
        stopped = stop();
        return stopped || Activity::background() == 0;
    };
    // Whether `settled` has run at this instant with nothing run since.
    bool settledNow = false;
    for (;;) {
        Activity::driverWait(stopOrIdle);
        if (stopped) {
            return true;
        }
        if (settled && !settledNow && TimerHeap::nextDeadline() > DispatchClock::uptimeNanoseconds()) {
            settledNow = true;
            if (settled()) {
                continue;
            }
        }
        uint64_t due = 0;
        if (auto action = TimerHeap::popEarliest(deadline, due)) {
            settledNow = false;
            setVirtualNanos(due);
            action();
            continue;
        }
        if (deadline != kNever) {
            setVirtualNanos(deadline);
            return stop();
        }
        // Nothing is scheduled and there is no deadline: only a thread the clock does not count can
        // end this wait.
        uint64_t version = TimerHeap::version();
        Activity::driverWait([&] {
            stopped = stop();
            return stopped || Activity::background() != 0 || TimerHeap::version() != version;
        });
        if (stopped) {
            return true;
        }
    }
}

uint64_t deadlineAfter(double seconds) {
    if (std::isnan(seconds)) {
        NSException::raise(NSInvalidArgumentException, "a time interval is NaN");
    }
    uint64_t now = DispatchClock::uptimeNanoseconds();
    if (seconds <= 0) {
        return now;
    }
    if (std::isinf(seconds)) {
        return kNever;
    }
    return addSaturating(now, nanosFor(seconds));
}

uint64_t deadlineForDate(double date) {
    if (std::isnan(date)) {
        NSException::raise(NSInvalidArgumentException, "a date is NaN");
    }
    return deadlineAfter(date - DispatchClock::now());
}

double dateForDeadline(uint64_t deadline) {
    double now = DispatchClock::now();
    uint64_t up = DispatchClock::uptimeNanoseconds();
    if (deadline >= up) {
        return now + static_cast<double>(deadline - up) / 1e9;
    }
    return now - static_cast<double>(up - deadline) / 1e9;
}

} // namespace dispatch_detail
