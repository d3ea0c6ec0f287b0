// Internal: the bookkeeping that lets the virtual clock know when the process has nothing left to
// do at the current instant, and the one way every platform wait blocks a thread.
//
// Counted work. A unit of work is counted from the moment it becomes runnable until it has run:
// every task handed to the main queue or to a global queue's thread pool (a serial queue's drain
// is one such task), every running NSThread body, and every thread that has been woken but has not
// resumed yet. Work that only the main thread can run (the main queue, and so the queues that
// target it) is also counted as "main-bound" while it waits. Blocks waiting behind the running
// block of a serial queue, performs and port messages for a run loop are not counted: they cannot
// run before a thread that is already counted (or that is woken, with its units, to run them). On
// virtual time the main thread is the driver: it moves the clock only when every counted unit
// other than main-bound work waiting for it is done, so background work at one instant finishes
// before the next instant.
//
// Waiting. A thread that blocks in a platform wait (semaphore, group, lock, condition, run loop,
// sync, sleep) gives up the units it holds; whoever wakes it hands them back before it runs again,
// so there is never a moment at which the process looks idle while a woken thread is about to run.
// On the main thread on virtual time a wait drives the clock instead of sleeping.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace dispatch_detail {

struct TimerToken;

// The main thread: the process's first thread unless a host adopts another one.
bool isMainThread() noexcept;
void adoptCurrentThreadAsMain() noexcept;

// True on the main thread while virtual time is on: waits there drive the clock.
bool isDriverThread() noexcept;

class Activity {
public:
    // Counts `units` new units of work; `mainBound` when only the main thread can run them.
    static void add(int64_t units, bool mainBound = false) noexcept;
    // A main-bound unit has started running on the main thread (it stays counted until done).
    static void mainStarted() noexcept;
    // `units` units have finished.
    static void done(int64_t units = 1) noexcept;
    // Tells a waiting driver that something it may be waiting for has changed.
    static void poke() noexcept;

    // Counted units that are neither main-bound nor held by the driver (which releases its own).
    static int64_t background() noexcept;
    static int64_t mainBound() noexcept;
    static int64_t total() noexcept;

    // Blocks the driver until `ready()` answers true. `ready` is checked again after every change
    // of the counts and after every poke; it must not block.
    static void driverWait(const std::function<bool()>& ready);

    // A worker about to start a task waits here on virtual time until the driver waits: work that
    // main-thread code hands to the background starts once that code is done (or waits for it),
    // never beside it, so what either side finds does not depend on how far the other got. Any
    // thread; at once on real time.
    static void waitAtGate();
    // Lets the workers waiting at the gate go (the clock has gone back to real time).
    static void openGateForRealTime();
};

// The units the current thread holds: one per counted block it is running (nested runs add up)
// and one for an NSThread body.
int64_t& heldUnits() noexcept;

// Whether no background work is under way but the calling thread's own. Always true off the driver.
bool backgroundIdle() noexcept;

// On virtual time, on the driver thread: waits until the background work under way at this instant
// has finished (the caller's own units aside), so that main-thread work never runs beside it and
// what it finds does not depend on how far the other threads got. Elsewhere it returns at once.
void waitForBackgroundWork();

// Holds one unit for the current thread while a counted unit of work runs, and reports it done.
class RunningUnit {
public:
    RunningUnit() noexcept { ++heldUnits(); }
    ~RunningUnit() {
        --heldUnits();
        Activity::done(1);
    }
    RunningUnit(const RunningUnit&) = delete;
    RunningUnit& operator=(const RunningUnit&) = delete;
};

// Gives up the current thread's units for a scope (the driver while it drives) and takes them back.
class ReleasedUnits {
public:
    ReleasedUnits() noexcept;
    ~ReleasedUnits();
    ReleasedUnits(const ReleasedUnits&) = delete;
    ReleasedUnits& operator=(const ReleasedUnits&) = delete;

private:
    int64_t units_;
};

// One blocked thread. Registered in the wait list of whatever it waits for, then parked.
struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool woken = false;
    bool timedOut = false;
    bool parked = false;
    bool driver = false;
    int64_t released = 0;
    std::atomic<bool> done{false}; // mirror of `woken`, read by the driver without the mutex
    std::shared_ptr<TimerToken> timeout;
};

using WaiterRef = std::shared_ptr<Waiter>;

// Wakes a waiter and hands its units back; false when it had already been woken or timed out.
bool wake(const WaiterRef& waiter, bool timedOut = false);

// Blocks the calling thread until the waiter is woken or `deadline` (uptime nanoseconds, or
// UINT64_MAX for none) passes. Returns false on time-out. The waiter must already be registered
// where its waker finds it.
bool park(const WaiterRef& waiter, uint64_t deadline);

// A FIFO of waiters, guarded by its owner's mutex.
class WaitList {
public:
    WaiterRef enqueue() {
        auto w = std::make_shared<Waiter>();
        list_.push_back(w);
        return w;
    }
    // Wakes the first waiter that is still waiting; false when there was none.
    bool wakeOne() {
        while (!list_.empty()) {
            auto w = std::move(list_.front());
            list_.pop_front();
            if (wake(w)) {
                return true;
            }
        }
        return false;
    }
    size_t wakeAll() {
        size_t n = 0;
        while (wakeOne()) {
            ++n;
        }
        return n;
    }
    void remove(const WaiterRef& w) {
        for (auto it = list_.begin(); it != list_.end(); ++it) {
            if (*it == w) {
                list_.erase(it);
                return;
            }
        }
    }
    bool empty() const noexcept { return list_.empty(); }

private:
    std::deque<WaiterRef> list_;
};

// A mutual-exclusion lock whose waits are platform waits (a thread waiting for it counts as idle
// for virtual time, and a deadline follows the clock). Misuse raises NSInternalInconsistencyException
// with `what` in the reason: unlocking a lock the thread does not hold, or taking a non-recursive
// lock the thread already holds (which would wait for ever).
class ParkingLock {
public:
    // Takes the lock; false when `deadline` (uptime ns, UINT64_MAX for none) passed first.
    bool lock(uint64_t deadline, bool recursive, const char* what);
    bool tryLock(bool recursive);
    void unlock(const char* what);
    bool heldByCurrentThread() const;
    // For conditions: gives the lock up entirely and answers how deep it was held ...
    int releaseAll(const char* what);
    // ... and takes it again that deep.
    void reacquire(int depth);

private:
    mutable std::mutex mutex_;
    uintptr_t owner_ = 0;
    int depth_ = 0;
    WaitList waiters_;
};

// A token for the calling thread (stable while it lives).
uintptr_t currentThreadToken() noexcept;

// Hooks a worker pool installs so that a worker blocked in a wait lets another thread take over.
struct BlockingHooks {
    void (*willBlock)(void* context) = nullptr;
    void (*didUnblock)(void* context) = nullptr;
    void* context = nullptr;
};
BlockingHooks& currentBlockingHooks() noexcept;

} // namespace dispatch_detail
