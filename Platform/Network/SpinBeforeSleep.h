// Internal: whether the network thread looks for its next piece of work for a moment before it
// sleeps, and how long.
//
// A thread that sleeps on an idle processor is woken through that processor. On a virtual machine
// that costs tens of microseconds on both sides, and a run of short requests pays it twice a
// request (for the server's reply and for the caller's next request). A look that does not wait (a
// poll with no time-out), repeated for up to `kLimit`, catches work that comes back that soon
// without any of it. The thread looks only while that pays and the machine can spare a processor:
// - one of its last `kHistory` waits ended within `kLimit` (an idle app's waits are long, so it
//   sleeps at once);
// - the machine's one-minute load is below its processor count (read at most every
//   `kLoadInterval`);
// - no look lost its processor lately (a gap of `kPreempted` between two looks, with the thread's
//   count of involuntary context switches risen): other threads wanted it, and then the thread
//   sleeps at once for `kQuiet`.
//
// One object per waiting thread; not thread-safe.
#pragma once

#include <array>
#include <chrono>

namespace ns_net {

class SpinBeforeSleep {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::microseconds kLimit{100};
    static constexpr std::chrono::microseconds kPreempted{30};
    static constexpr std::chrono::milliseconds kQuiet{20};
    static constexpr std::chrono::milliseconds kLoadInterval{100};
    static constexpr size_t kHistory = 4;

    // What the policy reads of the world; tests give their own.
    struct Environment {
        Clock::time_point (*now)();
        double (*oneMinuteLoad)();     // below zero: unknown, taken as busy
        long (*involuntarySwitches)(); // how often this thread lost its processor so far
        unsigned processors;
    };
    static Environment system();

    explicit SpinBeforeSleep(Environment environment = system()) : env_(environment) {}

    // Starts a wait. Calls `ready` (a look that does not wait) until it returns true or the look's
    // budget is spent; true means work turned up and the thread need not sleep. After false the
    // thread sleeps and calls `woke()` when it wakes.
    template <class Ready>
    [[nodiscard]] bool lookBeforeSleeping(Ready&& ready) {
        started_ = env_.now();
        const Clock::time_point until = started_ + budget(started_);
        Clock::time_point last = started_;
        if (until == started_) {
            return false;
        }
        const long switches = env_.involuntarySwitches();
        for (;;) {
            if (ready()) {
                record(env_.now() - started_);
                return true;
            }
            const Clock::time_point now = env_.now();
            if (now - last >= kPreempted && env_.involuntarySwitches() != switches) {
                quietUntil_ = now + kQuiet;
                return false;
            }
            if (now >= until) {
                return false;
            }
            last = now;
        }
    }
    // Ends a wait that slept.
    void woke() { record(env_.now() - started_); }

private:
    [[nodiscard]] Clock::duration budget(Clock::time_point now);
    void record(Clock::duration waited);

    Environment env_;
    std::array<bool, kHistory> shortWaits_{}; // a ring of the last waits: did each end within kLimit?
    size_t next_ = 0;
    Clock::time_point started_{};
    Clock::time_point quietUntil_{};
    Clock::time_point loadReadAt_{};
    bool loadRead_ = false;
    bool busy_ = true;
};

} // namespace ns_net
