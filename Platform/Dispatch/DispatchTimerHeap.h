// Internal: the one list of timed work behind dispatch_after, timer sources and the time-outs of
// waits. Entries are ordered by deadline (uptime nanoseconds), then by the order they were made.
//
// On real time a clock thread fires each entry when its deadline passes. On virtual time nothing
// fires by itself: the driver (DispatchClock) fires the entries as it moves the clock. Firing runs
// an entry's action, which must be short and must not block: it hands work to a queue or wakes a
// waiter.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace dispatch_detail {

struct TimerToken {
    std::atomic<bool> cancelled{false};
};

class TimerHeap {
public:
    static constexpr uint64_t kNever = UINT64_MAX;

    // Schedules `action` at `deadline`. With `cancellable`, returns a token for cancel().
    static std::shared_ptr<TimerToken> schedule(uint64_t deadline, std::function<void()> action,
                                                bool cancellable = false);
    // Stops an entry from firing; false when it has fired or was cancelled already.
    static bool cancel(const std::shared_ptr<TimerToken>& token);

    // The earliest deadline of a live entry, or kNever.
    static uint64_t nextDeadline();
    // Takes the earliest live entry if its deadline is at or before `limit`, answering its action
    // (to be run by the caller) and its deadline; an empty function when there is none.
    static std::function<void()> popEarliest(uint64_t limit, uint64_t& deadline);

    static size_t liveCount();
    static void discardAll();
    // Wakes the clock thread so that it notices a change of clock mode.
    static void clockModeChanged();
    // A counter that changes whenever an entry is added (the driver watches it).
    static uint64_t version();
};

} // namespace dispatch_detail
