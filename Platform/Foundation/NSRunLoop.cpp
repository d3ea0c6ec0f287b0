// NSRunLoop: one per thread. What is where:
//   modes and common modes; the per-loop State (timers by fire date, ports, queued performs)
//   timers      add/remove/invalidate, firing what is due and rescheduling repeating ones
//   ports       message ports that wake the loop
//   performs    blocks queued with performBlock / performInModesBlock
//   turns       waiting for work (the dispatch clock on virtual time, a condition on real time), one turn,
//               runModeBeforeDate, runUntilDate, run
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchMainQueue.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSPort.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSString.h>
#include <Foundation/NSThread.h>
#include <Foundation/NSTimer.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_set>
#include <vector>

using namespace dispatch_detail;

namespace {

using Mode = NSRunLoop::Mode;

Mode intern(const std::string& name) {
    // Never destroyed: mode names live for the whole process.
    static std::mutex* mutex = new std::mutex;
    static auto* names = new std::unordered_set<std::string>;
    std::lock_guard<std::mutex> lock(*mutex);
    return &*names->insert(name).first;
}

Mode defaultMode() {
    static const Mode mode = intern("kCFRunLoopDefaultMode");
    return mode;
}

Mode commonModesMode() {
    static const Mode mode = intern("kCFRunLoopCommonModes");
    return mode;
}

constexpr uint64_t kNever = UINT64_MAX;
// On real time, a turn that also watches a condition looks at it at least this often.
constexpr uint64_t kConditionPollNanos = 10 * 1000 * 1000;

bool contains(const std::vector<Mode>& modes, Mode mode) {
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

// Whether an item added for `modes` is active when the run loop runs `mode`.
bool activeIn(const std::vector<Mode>& modes, Mode mode, const std::vector<Mode>& common) {
    for (Mode m : modes) {
        if (m == mode || (m == commonModesMode() && contains(common, mode))) {
            return true;
        }
    }
    return false;
}

void addMode(std::vector<Mode>& modes, Mode mode) {
    if (!contains(modes, mode)) {
        modes.push_back(mode);
    }
}

void removeMode(std::vector<Mode>& modes, Mode mode) {
    modes.erase(std::remove(modes.begin(), modes.end(), mode), modes.end());
}

Mode requireMode(const Ref<NSString>& mode, const char* method) {
    if (!mode) {
        NSException::raise(NSInvalidArgumentException, std::string("-[NSRunLoop ") + method + "]: the mode is nil");
    }
    return intern(mode->str());
}

NSRunLoop* mainRunLoopObject() {
    static NSRunLoop* runLoop = NSRunLoop::mainRunLoop().get(); // never destroyed
    return runLoop;
}

void wakeMainRunLoop() {
    mainRunLoopObject()->wakeUp();
}

bool registerRunLoopHooks() {
    setMainQueueWakeHandler(&wakeMainRunLoop);
    setMainLoopRunner(&runMainRunLoopUntil);
    return true;
}

[[maybe_unused]] const bool gHooksRegistered = registerRunLoopHooks();

std::atomic<bool (*)()>& beforeWaitingObserver() {
    static std::atomic<bool (*)()> observer{nullptr};
    return observer;
}

// The main run loop has nothing left to run now: tells the observer; answers whether it did anything.
bool mainRunLoopBeforeWaiting() {
    auto observer = beforeWaitingObserver().load(std::memory_order_acquire);
    return observer && observer();
}

// What a drive of the main run loop runs when it has settled: nothing while nobody observes it.
bool (*settleHook())() {
    return beforeWaitingObserver().load(std::memory_order_acquire) ? &mainRunLoopBeforeWaiting : nullptr;
}

struct Perform {
    std::function<void()> block;
    std::vector<Mode> modes;
};

struct PortEntry {
    Ref<NSPort> port;
    std::vector<Mode> modes;
};

} // namespace

struct NSRunLoop::State {
    mutable std::mutex mutex;
    // Scheduled timers by (fire deadline, order of scheduling).
    std::map<std::pair<uint64_t, uint64_t>, Ref<NSTimer>> timers;
    uint64_t timerSeq = 0;
    std::vector<PortEntry> ports;
    std::deque<Perform> performs;
    std::vector<Mode> modeStack;
    WaiterRef sleeper;
    bool wakePending = false;
    std::atomic<uint64_t> version{0}; // changes when timers are added or moved
    std::vector<Mode> commonModes{defaultMode()};
    // Sizes of the lists above, read without the mutex to skip empty lists on every turn.
    std::atomic<size_t> timerCount{0};
    std::atomic<size_t> portCount{0};
    std::atomic<size_t> performCount{0};

    bool active(const std::vector<Mode>& modes, Mode mode) const { return activeIn(modes, mode, commonModes); }
    bool isCommon(Mode mode) const { return contains(commonModes, mode); }
};

NS_IMPLEMENT_CLASS(NSRunLoop, NSObject) {}

void foundation_detail::setMainRunLoopBeforeWaitingObserver(bool (*observer)()) {
    beforeWaitingObserver().store(observer, std::memory_order_release);
}

const Ref<NSString>& NSDefaultRunLoopMode() {
    static const Ref<NSString> mode = NSString::from(*defaultMode());
    return mode;
}

const Ref<NSString>& NSRunLoopCommonModes() {
    static const Ref<NSString> mode = NSString::from(*commonModesMode());
    return mode;
}

NSRunLoop::NSRunLoop(Key, bool isMain) : isMain_(isMain), state_(std::make_unique<State>()) {}

NSRunLoop::~NSRunLoop() {
    // Timers still scheduled here can never fire again.
    for (auto& [key, timer] : state_->timers) {
        timer->scheduled_ = false;
    }
}

Ref<NSRunLoop> NSRunLoop::currentRunLoop() {
    if (isMainThread()) {
        return mainRunLoopObject();
    }
    return NSThread::currentThread()->runLoop();
}

Ref<NSRunLoop> NSRunLoop::mainRunLoop() {
    // Never destroyed: the main run loop lives for the whole process.
    static NSRunLoop* runLoop = make<NSRunLoop>(Key{}, true).leak();
    return runLoop;
}

void NSRunLoop::requireOwnThread(const char* method) const {
    bool own = isMain_ ? isMainThread() : (!isMainThread() && NSThread::currentThread()->runLoop().get() == this);
    if (!own) {
        NSException::raise(NSInternalInconsistencyException,
                           std::string("-[NSRunLoop ") + method + "] must be called on the run loop's own thread");
    }
}

Ref<NSString> NSRunLoop::currentMode() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->modeStack.empty()) {
        return nullptr;
    }
    return NSString::from(*state_->modeStack.back());
}

void NSRunLoop::addCommonMode(const Ref<NSString>& mode) {
    Mode m = requireMode(mode, "addCommonMode:");
    if (m == commonModesMode()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        addMode(state_->commonModes, m);
    }
    changed();
}

void NSRunLoop::changed() {
    state_->version.fetch_add(1);
    wakeUp();
}

void NSRunLoop::wakeUp() {
    WaiterRef sleeper;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        sleeper = std::move(state_->sleeper);
        if (!sleeper) {
            state_->wakePending = true;
        }
    }
    if (sleeper) {
        wake(sleeper);
    }
    if (isMain_) {
        Activity::poke();
    }
}

// Timers.

void NSRunLoop::scheduleTimerLocked(NSTimer* timer) {
    timer->seq_ = ++state_->timerSeq;
    state_->timers.emplace(std::make_pair(timer->fireNanos_.load(), timer->seq_), Ref<NSTimer>(timer));
    timer->scheduled_ = true;
    state_->timerCount.store(state_->timers.size());
}

void NSRunLoop::unscheduleTimerLocked(NSTimer* timer) {
    if (timer->scheduled_) {
        timer->scheduled_ = false;
        state_->timers.erase(std::make_pair(timer->fireNanos_.load(), timer->seq_));
        state_->timerCount.store(state_->timers.size());
    }
}

void NSRunLoop::addTimerForMode(const Ref<NSTimer>& timer, const Ref<NSString>& mode) {
    if (!timer) {
        NSException::raise(NSInvalidArgumentException, "-[NSRunLoop addTimer:forMode:]: the timer is nil");
    }
    Mode m = requireMode(mode, "addTimer:forMode:");
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        std::lock_guard<std::mutex> timerLock(timer->mutex_);
        if (!timer->valid_) {
            return;
        }
        auto owner = timer->runLoop_.lock();
        if (owner && owner.get() != this) {
            NSException::raise(NSInvalidArgumentException,
                               "-[NSRunLoop addTimer:forMode:]: the timer is scheduled on another run loop");
        }
        timer->runLoop_ = Ref<NSRunLoop>(this);
        addMode(timer->modes_, m);
        if (!timer->scheduled_) {
            scheduleTimerLocked(timer.get());
        }
    }
    changed();
}

void NSRunLoop::removeTimerForMode(const Ref<NSTimer>& timer, const Ref<NSString>& mode) {
    if (!timer) {
        return;
    }
    Mode m = requireMode(mode, "removeTimer:forMode:");
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::lock_guard<std::mutex> timerLock(timer->mutex_);
    if (timer->runLoop_.unsafePointer() != this) {
        return;
    }
    removeMode(timer->modes_, m);
    if (timer->modes_.empty()) {
        unscheduleTimerLocked(timer.get());
    }
}

void NSRunLoop::invalidateTimer(NSTimer* timer) {
    id target;
    std::shared_ptr<const NSTimer::Block> block;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        std::lock_guard<std::mutex> timerLock(timer->mutex_);
        timer->valid_ = false;
        unscheduleTimerLocked(timer);
        target = std::move(timer->target_);
        block = std::move(timer->block_);
    }
    // The target and the block are released here, outside the locks.
}

void NSRunLoop::timerFireDateChanged(NSTimer* timer, uint64_t fire) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        bool reschedule = timer->scheduled_;
        if (!reschedule) {
            std::lock_guard<std::mutex> timerLock(timer->mutex_);
            reschedule = timer->valid_ && !timer->modes_.empty();
        }
        unscheduleTimerLocked(timer);
        timer->fireNanos_.store(fire);
        if (reschedule) {
            scheduleTimerLocked(timer);
        }
    }
    changed();
}

void NSRunLoop::rescheduleAfterFire(const Ref<NSTimer>& timer, uint64_t firedAt) {
    bool invalidate = false;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        std::lock_guard<std::mutex> timerLock(timer->mutex_);
        if (!timer->valid_) {
            return;
        }
        if (!timer->repeats_) {
            invalidate = true;
        } else if (!timer->scheduled_ && !timer->modes_.empty()) {
            uint64_t interval = timer->intervalNanos_;
            uint64_t now = DispatchClock::uptimeNanoseconds();
            uint64_t next = firedAt + interval;
            if (next <= now) {
                next = firedAt + interval * ((now - firedAt) / interval + 1);
            }
            timer->fireNanos_.store(next);
            scheduleTimerLocked(timer.get());
        }
    }
    if (invalidate) {
        timer->invalidate();
    }
}

bool NSRunLoop::fireDueTimers(Mode mode, const std::function<bool()>* stop) {
    auto& s = *state_;
    bool fired = false;
    for (;;) {
        if (s.timerCount.load() == 0) {
            return fired;
        }
        Ref<NSTimer> timer;
        uint64_t firedAt = 0;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            uint64_t now = DispatchClock::uptimeNanoseconds();
            for (auto it = s.timers.begin(); it != s.timers.end() && it->first.first <= now; ++it) {
                if (s.active(it->second->modes_, mode)) {
                    timer = it->second;
                    firedAt = it->first.first;
                    timer->scheduled_ = false;
                    s.timers.erase(it);
                    s.timerCount.store(s.timers.size());
                    break;
                }
            }
        }
        if (!timer) {
            return fired;
        }
        fired = true;
        try {
            timer->invokeCallback();
        } catch (...) {
            rescheduleAfterFire(timer, firedAt);
            throw;
        }
        rescheduleAfterFire(timer, firedAt);
        if (stop && (*stop)()) {
            return fired;
        }
    }
}

uint64_t NSRunLoop::nextTimerLocked(Mode mode) const {
    for (const auto& [key, timer] : state_->timers) {
        if (state_->active(timer->modes_, mode)) {
            return key.first;
        }
    }
    return kNever;
}

// Ports.

void NSRunLoop::addPortForMode(const Ref<NSPort>& port, const Ref<NSString>& mode) {
    if (!port) {
        NSException::raise(NSInvalidArgumentException, "-[NSRunLoop addPort:forMode:]: the port is nil");
    }
    Mode m = requireMode(mode, "addPort:forMode:");
    if (!port->isValid()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        std::lock_guard<std::mutex> portLock(port->mutex_);
        auto owner = port->runLoop_.lock();
        if (owner && owner.get() != this) {
            NSException::raise(NSInvalidArgumentException,
                               "-[NSRunLoop addPort:forMode:]: the port is scheduled on another run loop");
        }
        port->runLoop_ = Ref<NSRunLoop>(this);
        auto it = std::find_if(state_->ports.begin(), state_->ports.end(),
                               [&](const PortEntry& e) { return e.port.get() == port.get(); });
        if (it == state_->ports.end()) {
            state_->ports.push_back(PortEntry{port, {m}});
            state_->portCount.store(state_->ports.size());
        } else {
            addMode(it->modes, m);
        }
    }
    changed();
}

void NSRunLoop::removePortForMode(const Ref<NSPort>& port, const Ref<NSString>& mode) {
    if (!port) {
        return;
    }
    Mode m = requireMode(mode, "removePort:forMode:");
    Ref<NSPort> removed;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        auto it = std::find_if(state_->ports.begin(), state_->ports.end(),
                               [&](const PortEntry& e) { return e.port.get() == port.get(); });
        if (it == state_->ports.end()) {
            return;
        }
        removeMode(it->modes, m);
        if (it->modes.empty()) {
            removed = std::move(it->port);
            state_->ports.erase(it);
            state_->portCount.store(state_->ports.size());
            std::lock_guard<std::mutex> portLock(port->mutex_);
            port->runLoop_ = nullptr;
        }
    }
}

void NSRunLoop::portInvalidated(NSPort* port) {
    Ref<NSPort> removed;
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = std::find_if(state_->ports.begin(), state_->ports.end(),
                           [&](const PortEntry& e) { return e.port.get() == port; });
    if (it != state_->ports.end()) {
        removed = std::move(it->port);
        state_->ports.erase(it);
        state_->portCount.store(state_->ports.size());
    }
}

bool NSRunLoop::handlePorts(Mode mode) {
    if (state_->portCount.load() == 0) {
        return false;
    }
    std::vector<Ref<NSPort>> ready;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        for (const auto& entry : state_->ports) {
            if (entry.port->pendingMessages() > 0 && state_->active(entry.modes, mode)) {
                ready.push_back(entry.port);
            }
        }
    }
    bool handled = false;
    for (const auto& port : ready) {
        std::function<void()> handler;
        while (port->takeMessage(handler)) {
            handled = true;
            if (handler) {
                handler();
            }
        }
    }
    return handled;
}

// Performs.

void NSRunLoop::performBlock(std::function<void()> block) {
    performInModesBlock(NSArray::arrayWithObjects({NSRunLoopCommonModes()}), std::move(block));
}

void NSRunLoop::performInModesBlock(const Ref<NSArray>& modes, std::function<void()> block) {
    if (!block) {
        NSException::raise(NSInvalidArgumentException, "-[NSRunLoop performInModes:block:]: the block is empty");
    }
    if (!modes || modes->count() == 0) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSRunLoop performInModes:block:]: no modes given (the block would never run)");
    }
    Perform perform{std::move(block), {}};
    for (NSUInteger i = 0; i < modes->count(); ++i) {
        auto mode = cast<NSString>(modes->objectAtIndex(i));
        if (!mode) {
            NSException::raise(NSInvalidArgumentException,
                               "-[NSRunLoop performInModes:block:]: a mode is not a string");
        }
        addMode(perform.modes, intern(mode->str()));
    }
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->performs.push_back(std::move(perform));
        state_->performCount.store(state_->performs.size());
    }
    wakeUp();
}

bool NSRunLoop::runPerforms(Mode mode) {
    if (state_->performCount.load() == 0) {
        return false;
    }
    std::vector<Perform> ready;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        auto& performs = state_->performs;
        if (performs.empty()) {
            return false;
        }
        for (auto it = performs.begin(); it != performs.end();) {
            if (state_->active(it->modes, mode)) {
                ready.push_back(std::move(*it));
                it = performs.erase(it);
            } else {
                ++it;
            }
        }
        state_->performCount.store(performs.size());
    }
    if (ready.empty()) {
        return false;
    }
    for (size_t i = 0; i < ready.size(); ++i) {
        try {
            ready[i].block();
        } catch (...) {
            // The ones not run yet stay first in line.
            std::lock_guard<std::mutex> lock(state_->mutex);
            state_->performs.insert(state_->performs.begin(), std::make_move_iterator(ready.begin() + i + 1),
                                    std::make_move_iterator(ready.end()));
            state_->performCount.store(state_->performs.size());
            throw;
        }
    }
    return true;
}

// Turns.

bool NSRunLoop::hasSourcesLocked(Mode mode) const {
    if (isMain_ && state_->isCommon(mode)) {
        return true;
    }
    for (const auto& perform : state_->performs) {
        if (state_->active(perform.modes, mode)) {
            return true;
        }
    }
    for (const auto& entry : state_->ports) {
        if (state_->active(entry.modes, mode)) {
            return true;
        }
    }
    for (const auto& [key, timer] : state_->timers) {
        if (state_->active(timer->modes_, mode)) {
            return true;
        }
    }
    return false;
}

bool NSRunLoop::hasWorkLocked(Mode mode, uint64_t now) {
    if (isMain_ && state_->isCommon(mode) && mainQueueHasWork()) {
        return true;
    }
    for (const auto& perform : state_->performs) {
        if (state_->active(perform.modes, mode)) {
            return true;
        }
    }
    for (const auto& entry : state_->ports) {
        if (entry.port->pendingMessages() > 0 && state_->active(entry.modes, mode)) {
            return true;
        }
    }
    return nextTimerLocked(mode) <= now;
}

bool NSRunLoop::hasWorkForMode(Mode mode) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return hasWorkLocked(mode, DispatchClock::uptimeNanoseconds());
}

void NSRunLoop::waitForWork(Mode mode, uint64_t deadline, const std::function<bool()>* stop) {
    auto& s = *state_;
    if (isMain_ && isDriverThread()) {
        uint64_t version = s.version.load();
        drive(
            deadline,
            [&] {
                if (stop && (*stop)()) {
                    return true;
                }
                std::lock_guard<std::mutex> lock(s.mutex);
                if (s.wakePending) {
                    s.wakePending = false;
                    return true;
                }
                return s.version.load() != version || hasWorkLocked(mode, DispatchClock::uptimeNanoseconds());
            },
            settleHook());
        return;
    }
    if (isMain_ && mainRunLoopBeforeWaiting()) {
        return;
    }
    uint64_t now = DispatchClock::uptimeNanoseconds();
    if (stop && !DispatchClock::isVirtual() && deadline - now > kConditionPollNanos) {
        deadline = now + kConditionPollNanos;
    }
    auto waiter = std::make_shared<Waiter>();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.wakePending || hasWorkLocked(mode, now)) {
            s.wakePending = false;
            return;
        }
        s.sleeper = waiter;
    }
    park(waiter, deadline);
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.sleeper == waiter) {
        s.sleeper.reset();
    }
    s.wakePending = false;
}

bool NSRunLoop::turn(Mode mode, uint64_t limit, const std::function<bool()>* stop) {
    for (;;) {
        if (isMain_) {
            // Timers, performs and ports run on virtual time once the background work of this
            // instant is done, as main-queue blocks do (drainMainQueue).
            waitForBackgroundWork();
        }
        fireDueTimers(mode, stop);
        if (stop && (*stop)()) {
            return false;
        }
        bool handled = runPerforms(mode);
        if (isMain_ && state_->isCommon(mode)) {
            handled = drainMainQueue() || handled;
        }
        handled = handlePorts(mode) || handled;
        if (handled) {
            return true;
        }
        uint64_t now = DispatchClock::uptimeNanoseconds();
        if (now >= limit) {
            return false;
        }
        uint64_t deadline;
        {
            std::lock_guard<std::mutex> lock(state_->mutex);
            if (!hasSourcesLocked(mode)) {
                return false;
            }
            deadline = std::min(limit, nextTimerLocked(mode));
        }
        if (deadline <= now) {
            continue;
        }
        waitForWork(mode, deadline, stop);
    }
}

namespace {

class ModeScope {
public:
    ModeScope(std::mutex& mutex, std::vector<Mode>& stack, Mode mode) : mutex_(mutex), stack_(stack) {
        std::lock_guard<std::mutex> lock(mutex_);
        stack_.push_back(mode);
    }
    ~ModeScope() {
        std::lock_guard<std::mutex> lock(mutex_);
        stack_.pop_back();
    }
    ModeScope(const ModeScope&) = delete;
    ModeScope& operator=(const ModeScope&) = delete;

private:
    std::mutex& mutex_;
    std::vector<Mode>& stack_;
};

} // namespace

Ref<NSDate> NSRunLoop::limitDateForMode(const Ref<NSString>& mode) {
    Mode m = requireMode(mode, "limitDateForMode:");
    requireOwnThread("limitDateForMode:");
    fireDueTimers(m, nullptr);
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!hasSourcesLocked(m)) {
        return nullptr;
    }
    uint64_t next = nextTimerLocked(m);
    return next == kNever ? NSDate::distantFuture() : make<NSDate>(dateForDeadline(next));
}

bool NSRunLoop::runModeBeforeDate(const Ref<NSString>& mode, const Ref<NSDate>& limitDate) {
    Mode m = requireMode(mode, "runMode:beforeDate:");
    if (!limitDate) {
        NSException::raise(NSInvalidArgumentException, "-[NSRunLoop runMode:beforeDate:]: the date is nil");
    }
    if (m == commonModesMode()) {
        NSException::raise(NSInvalidArgumentException,
                           "-[NSRunLoop runMode:beforeDate:]: NSRunLoopCommonModes is not a mode that can run");
    }
    requireOwnThread("runMode:beforeDate:");
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (!hasSourcesLocked(m)) {
            return false;
        }
    }
    uint64_t limit = deadlineForDate(limitDate->timeIntervalSinceReferenceDate());
    ModeScope scope(state_->mutex, state_->modeStack, m);
    turn(m, limit, nullptr);
    return true;
}

void NSRunLoop::runUntilDate(const Ref<NSDate>& limitDate) {
    if (!limitDate) {
        NSException::raise(NSInvalidArgumentException, "-[NSRunLoop runUntilDate:]: the date is nil");
    }
    uint64_t limit = deadlineForDate(limitDate->timeIntervalSinceReferenceDate());
    do {
        if (!runModeBeforeDate(NSDefaultRunLoopMode(), limitDate)) {
            return;
        }
    } while (DispatchClock::uptimeNanoseconds() < limit);
}

void NSRunLoop::run() {
    auto future = NSDate::distantFuture();
    while (runModeBeforeDate(NSDefaultRunLoopMode(), future)) {
    }
}

bool runMainRunLoopUntil(uint64_t deadline, const std::function<bool()>* stop) {
    NSRunLoop* runLoop = mainRunLoopObject();
    runLoop->requireOwnThread("run");
    auto& s = *runLoop->state_;
    ModeScope scope(s.mutex, s.modeStack, defaultMode());
    for (;;) {
        if (stop && (*stop)()) {
            return true;
        }
        if (runLoop->turn(defaultMode(), deadline, stop)) {
            continue;
        }
        if (stop && (*stop)()) {
            return true;
        }
        // At the deadline: let the background and the entries due at this instant finish; go on
        // while that brings work for the main thread.
        if (!drive(
                deadline, [&] { return runLoop->hasWorkForMode(defaultMode()) || (stop && (*stop)()); },
                settleHook())) {
            return false;
        }
    }
}
