#include <Foundation/NSLog.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace {
std::mutex& logLock() {
    static auto* lock = new std::mutex; // never destroyed: logging may happen during exit
    return *lock;
}
NSLogHook& logHook() {
    static auto* hook = new NSLogHook;
    return *hook;
}
} // namespace

NSLogHook NSLogSetHook(NSLogHook hook) {
    std::lock_guard lock(logLock());
    return std::exchange(logHook(), std::move(hook));
}

void NSLogv(const std::string& message) {
    auto now = std::chrono::system_clock::now();
    auto since = now.time_since_epoch();
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count();
    std::time_t t = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    std::string text = message;
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    char prefix[160];
    std::snprintf(prefix, sizeof prefix, "%s.%03d Celvix[%d:%ld] ", stamp, static_cast<int>(millis),
                  static_cast<int>(::getpid()), static_cast<long>(::syscall(SYS_gettid)));
    std::string line = prefix + text + "\n";

    NSLogHook hook;
    {
        std::lock_guard lock(logLock());
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        hook = logHook();
    }
    if (hook) {
        hook(text);
    }
}
