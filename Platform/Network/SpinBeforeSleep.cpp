#include <Network/SpinBeforeSleep.h>

#include <algorithm>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>

namespace ns_net {

SpinBeforeSleep::Environment SpinBeforeSleep::system() {
    return Environment{
        [] { return Clock::now(); },
        [] {
            double load = -1;
            return getloadavg(&load, 1) == 1 ? load : -1.0;
        },
        [] {
            rusage usage{};
            return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nivcsw : 0L;
        },
        std::max(1u, std::thread::hardware_concurrency()),
    };
}

SpinBeforeSleep::Clock::duration SpinBeforeSleep::budget(Clock::time_point now) {
    if (now < quietUntil_ || std::none_of(shortWaits_.begin(), shortWaits_.end(), [](bool s) { return s; })) {
        return Clock::duration::zero();
    }
    if (!loadRead_ || now - loadReadAt_ >= kLoadInterval) {
        const double load = env_.oneMinuteLoad();
        busy_ = load < 0 || load >= static_cast<double>(env_.processors);
        loadReadAt_ = now;
        loadRead_ = true;
    }
    return busy_ ? Clock::duration::zero() : Clock::duration(kLimit);
}

void SpinBeforeSleep::record(Clock::duration waited) {
    shortWaits_[next_] = waited <= kLimit;
    next_ = (next_ + 1) % kHistory;
}

} // namespace ns_net
