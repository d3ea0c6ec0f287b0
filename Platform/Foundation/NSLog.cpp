#include <Foundation/NSDate.h>
#include <Foundation/NSLog.h>

#include <Dispatch/Clock.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {
// The hook and the calls of it in flight. A call runs outside the lock (a hook may log, or take
// locks of its own), so replacing the hook waits until every call of the old one has returned:
// whoever removes a hook may then free what it points at.
struct HookEntry {
    NSLogHook function;
    int calls = 0; // guarded by LogState::lock
};
struct LogState {
    std::mutex lock;
    std::condition_variable callsEnded;
    std::shared_ptr<HookEntry> hook; // guarded by lock
    FILE* file = nullptr;            // guarded by lock; null: standard error
    std::string path;                // guarded by lock: the file's path
};
LogState& logState() {
    static auto* state = new LogState; // never destroyed: logging may happen during exit
    return *state;
}
// The hook calls running on this thread, innermost first, each on its caller's stack (nothing to
// destroy at thread exit): a hook that replaces the hook does not wait for itself.
struct RunningHook {
    const HookEntry* entry;
    const RunningHook* outer;
};
thread_local const RunningHook* hooksRunningHere = nullptr;
} // namespace

NSLogHook NSLogSetHook(NSLogHook hook) {
    auto& state = logState();
    auto entry = hook ? std::make_shared<HookEntry>() : nullptr;
    if (entry) {
        entry->function = std::move(hook);
    }
    std::unique_lock lock(state.lock);
    auto old = std::exchange(state.hook, std::move(entry));
    if (!old) {
        return nullptr;
    }
    int own = 0;
    for (auto* running = hooksRunningHere; running; running = running->outer) {
        own += running->entry == old.get() ? 1 : 0;
    }
    state.callsEnded.wait(lock, [&] { return old->calls == own; });
    return old->function;
}

bool NSLogSetFile(const std::string& path, std::string* error) {
    FILE* opened = nullptr;
    if (!path.empty()) {
        // Close-on-exec: a process the app starts does not hold the log open.
        opened = std::fopen(path.c_str(), "ae");
        if (!opened) {
            if (error) {
                *error = std::error_code(errno, std::generic_category()).message();
            }
            return false;
        }
    }
    auto& state = logState();
    FILE* old = nullptr;
    {
        std::lock_guard lock(state.lock);
        old = std::exchange(state.file, opened);
        state.path = path;
    }
    if (old) {
        std::fclose(old);
    }
    return true;
}

std::string NSLogFile() {
    auto& state = logState();
    std::lock_guard lock(state.lock);
    return state.path;
}

namespace {
// Writes one whole line where the log goes; called with the state's lock held. A line the file does not
// take goes to standard error, after a line that says why, and so does the rest of the log.
void writeLine(LogState& state, const std::string& line) {
    if (state.file) {
        if (std::fwrite(line.data(), 1, line.size(), state.file) == line.size() && std::fflush(state.file) == 0) {
            return;
        }
        auto reason = std::error_code(errno, std::generic_category()).message();
        std::fprintf(stderr, "NSLog: cannot write to %s (%s): the log goes on here\n", state.path.c_str(),
                     reason.c_str());
        std::fclose(state.file);
        state.file = nullptr;
        state.path.clear();
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
} // namespace

void NSLogv(const std::string& message) {
    // The stamp reads the platform's clock, as dates do: on virtual time a line says when it happened
    // in the run, and the same run logs the same stamps (the wall clock would say only how fast the
    // machine was).
    double since1970 = DispatchClock::now() + NSTimeIntervalSince1970;
    double whole = std::floor(since1970);
    auto millis = std::min(999L, static_cast<long>((since1970 - whole) * 1000));
    std::time_t t = static_cast<std::time_t>(whole);
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

    auto& state = logState();
    std::shared_ptr<HookEntry> hook;
    {
        std::lock_guard lock(state.lock);
        writeLine(state, line);
        hook = state.hook;
        if (hook) {
            ++hook->calls;
        }
    }
    if (!hook) {
        return;
    }
    struct CallEnd {
        HookEntry& entry;
        RunningHook running;
        ~CallEnd() {
            hooksRunningHere = running.outer;
            auto& state = logState();
            std::lock_guard lock(state.lock);
            --entry.calls;
            state.callsEnded.notify_all();
        }
    };
    CallEnd end{*hook, {hook.get(), hooksRunningHere}};
    hooksRunningHere = &end.running;
    hook->function(text);
}
