// Dispatch time: points on the clock's monotonic scale in nanoseconds, or wall-clock points.
//
//   dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC)   two seconds from now (monotonic)
//   dispatch_walltime(&ts, 0)                            a wall-clock instant (seconds since 1970)
//   DISPATCH_TIME_FOREVER                                never
//
// Both follow DispatchClock, so on virtual time they are virtual. A wall-clock point is turned into
// a monotonic deadline when it is used (when a block is scheduled or a wait starts). Arithmetic
// saturates: an overflow gives DISPATCH_TIME_FOREVER, a point before now means "now".
#pragma once

#include <cstdint>
#include <ctime>

using dispatch_time_t = uint64_t;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ULL;

inline constexpr uint64_t NSEC_PER_SEC = 1000000000ULL;
inline constexpr uint64_t NSEC_PER_MSEC = 1000000ULL;
inline constexpr uint64_t NSEC_PER_USEC = 1000ULL;
inline constexpr uint64_t USEC_PER_SEC = 1000000ULL;

// `when` moved by `delta` nanoseconds (which may be negative).
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
// A wall-clock point: `when` (nullptr: now) moved by `delta` nanoseconds.
dispatch_time_t dispatch_walltime(const struct timespec* when, int64_t delta);

namespace dispatch_detail {
// The monotonic deadline (uptime nanoseconds, UINT64_MAX for never) of a dispatch time.
uint64_t deadlineForTime(dispatch_time_t when);
} // namespace dispatch_detail
