#include <Dispatch/Clock.h>

#include <chrono>

namespace {
// Seconds between the Unix epoch and 1 January 2001.
constexpr double kReferenceOffset = 978307200.0;
} // namespace

double DispatchClock::now() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count() - kReferenceOffset;
}
