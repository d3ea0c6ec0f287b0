#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchTimerHeap.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace dispatch_detail {

namespace {

struct Entry {
    uint64_t deadline;
    uint64_t seq;
    std::function<void()> action;
    std::shared_ptr<TimerToken> token;
};

// A min-heap on (deadline, seq): std::push_heap builds a max-heap, so the comparison is reversed.
struct Later {
    bool operator()(const Entry& a, const Entry& b) const noexcept {
        return a.deadline != b.deadline ? a.deadline > b.deadline : a.seq > b.seq;
    }
};

struct HeapState {
    std::mutex mutex;
    std::condition_variable cv; // wakes the clock thread
    std::vector<Entry> heap;
    uint64_t seq = 0;
    size_t live = 0;
    bool threadStarted = false;
    std::atomic<uint64_t> version{0};
};

// Never destroyed: the clock thread may still wait on it while the process exits.
HeapState& state() {
    static HeapState* s = new HeapState;
    return *s;
}

bool isCancelled(const Entry& e) noexcept {
    return e.token && e.token->cancelled.load(std::memory_order_acquire);
}

// Drops cancelled entries from the top. Caller holds the mutex.
void dropCancelledTop(HeapState& s) {
    while (!s.heap.empty() && isCancelled(s.heap.front())) {
        std::pop_heap(s.heap.begin(), s.heap.end(), Later());
        s.heap.pop_back();
    }
}

Entry popTop(HeapState& s) {
    std::pop_heap(s.heap.begin(), s.heap.end(), Later());
    Entry e = std::move(s.heap.back());
    s.heap.pop_back();
    return e;
}

// The real-time clock thread: fires each entry when its deadline passes; sleeps on virtual time.
void clockThreadMain() {
    pthread_setname_np(pthread_self(), "dispatch.clock");
    auto& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    for (;;) {
        dropCancelledTop(s);
        if (DispatchClock::isVirtual() || s.heap.empty()) {
            s.cv.wait(lock);
            continue;
        }
        uint64_t now = DispatchClock::uptimeNanoseconds();
        uint64_t next = s.heap.front().deadline;
        if (next > now) {
            s.cv.wait_for(lock, std::chrono::nanoseconds(next - now));
            continue;
        }
        Entry e = popTop(s);
        if (e.token && e.token->cancelled.exchange(true)) {
            continue;
        }
        --s.live;
        lock.unlock();
        e.action();
        e = Entry{};
        lock.lock();
    }
}

} // namespace

std::shared_ptr<TimerToken> TimerHeap::schedule(uint64_t deadline, std::function<void()> action, bool cancellable) {
    auto& s = state();
    std::shared_ptr<TimerToken> token = cancellable ? std::make_shared<TimerToken>() : nullptr;
    bool notify;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.heap.push_back(Entry{deadline, s.seq++, std::move(action), token});
        std::push_heap(s.heap.begin(), s.heap.end(), Later());
        ++s.live;
        notify = s.heap.front().seq == s.seq - 1; // the new entry is the earliest
        if (!s.threadStarted) {
            s.threadStarted = true;
            std::thread(clockThreadMain).detach();
        }
    }
    s.version.fetch_add(1);
    if (notify) {
        s.cv.notify_one();
    }
    Activity::poke();
    return token;
}

bool TimerHeap::cancel(const std::shared_ptr<TimerToken>& token) {
    if (!token || token->cancelled.exchange(true)) {
        return false;
    }
    auto& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    --s.live;
    return true;
}

uint64_t TimerHeap::nextDeadline() {
    auto& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    dropCancelledTop(s);
    return s.heap.empty() ? kNever : s.heap.front().deadline;
}

bool TimerHeap::fireNext(uint64_t now) {
    auto& s = state();
    Entry e;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (;;) {
            dropCancelledTop(s);
            if (s.heap.empty() || s.heap.front().deadline > now) {
                return false;
            }
            e = popTop(s);
            // A token is claimed here, so that cancel() after this point reports false.
            if (e.token && e.token->cancelled.exchange(true)) {
                continue;
            }
            --s.live;
            break;
        }
    }
    e.action();
    return true;
}

size_t TimerHeap::liveCount() {
    auto& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.live;
}

void TimerHeap::discardAll() {
    auto& s = state();
    std::vector<Entry> dropped;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        dropped.swap(s.heap);
        for (auto& e : dropped) {
            if (e.token) {
                e.token->cancelled.store(true);
            }
        }
        s.live = 0;
    }
    s.version.fetch_add(1);
    // The actions (and what they hold) are released here, outside the lock.
}

void TimerHeap::clockModeChanged() {
    auto& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
    }
    s.cv.notify_one();
}

uint64_t TimerHeap::version() {
    return state().version.load();
}

} // namespace dispatch_detail
