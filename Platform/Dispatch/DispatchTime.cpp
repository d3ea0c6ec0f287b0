#include <Dispatch/Clock.h>
#include <Dispatch/DispatchTime.h>

namespace {

// A wall-clock point has the top bit set; the rest counts nanoseconds since 1970 (until 2262).
constexpr uint64_t kWallFlag = 1ULL << 63;
constexpr uint64_t kWallMax = kWallFlag - 1;
constexpr double kReferenceOffset = 978307200.0;

uint64_t moved(uint64_t base, int64_t delta, uint64_t max) {
    if (delta >= 0) {
        uint64_t d = static_cast<uint64_t>(delta);
        return d >= max - base ? max : base + d;
    }
    uint64_t d = static_cast<uint64_t>(-(delta + 1)) + 1;
    return d >= base ? 1 : base - d;
}

uint64_t wallNow() {
    double seconds = DispatchClock::now() + kReferenceOffset;
    return seconds <= 0 ? 1 : static_cast<uint64_t>(seconds * 1e9);
}

} // namespace

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta) {
    if (when == DISPATCH_TIME_FOREVER) {
        return DISPATCH_TIME_FOREVER;
    }
    if (when & kWallFlag) {
        uint64_t wall = moved(when & kWallMax, delta, kWallMax);
        return wall == kWallMax ? DISPATCH_TIME_FOREVER : (wall | kWallFlag);
    }
    uint64_t base = when == DISPATCH_TIME_NOW ? DispatchClock::uptimeNanoseconds() : when;
    // Monotonic points stay below the wall-clock range.
    uint64_t t = moved(base, delta, kWallFlag);
    return t >= kWallFlag ? DISPATCH_TIME_FOREVER : t;
}

dispatch_time_t dispatch_walltime(const struct timespec* when, int64_t delta) {
    uint64_t base;
    if (!when) {
        base = wallNow();
    } else if (when->tv_sec < 0) {
        base = 1;
    } else {
        uint64_t sec = static_cast<uint64_t>(when->tv_sec);
        base = sec >= kWallMax / NSEC_PER_SEC ? kWallMax : sec * NSEC_PER_SEC + static_cast<uint64_t>(when->tv_nsec);
    }
    uint64_t wall = moved(base, delta, kWallMax);
    return wall >= kWallMax ? DISPATCH_TIME_FOREVER : (wall | kWallFlag);
}

namespace dispatch_detail {

uint64_t deadlineForTime(dispatch_time_t when) {
    if (when == DISPATCH_TIME_FOREVER) {
        return UINT64_MAX;
    }
    uint64_t now = DispatchClock::uptimeNanoseconds();
    if (when == DISPATCH_TIME_NOW) {
        return now;
    }
    if (when & kWallFlag) {
        uint64_t wall = when & kWallMax;
        uint64_t current = wallNow();
        if (wall <= current) {
            return now;
        }
        uint64_t ahead = wall - current;
        return ahead >= UINT64_MAX - now ? UINT64_MAX : now + ahead;
    }
    return when;
}

} // namespace dispatch_detail
