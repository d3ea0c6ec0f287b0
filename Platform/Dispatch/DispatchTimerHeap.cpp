#include <Dispatch/Clock.h>
#include <Dispatch/DispatchActivity.h>
#include <Dispatch/DispatchTimerHeap.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>
#include <vector>

namespace dispatch_detail {

namespace {

// What an entry does, kept out of the heap so that the heap moves only small plain records.
struct Payload {
    std::function<void()> action;
    std::shared_ptr<TimerToken> token;
};

struct Entry {
    uint64_t deadline;
    uint64_t seq;
    Payload* payload; // owned by the heap while the entry is in it
};

// A 4-ary min-heap on (deadline, seq): shallower than a binary heap, and the children of a node
// share one or two cache lines, which matters with a million entries.
class EntryHeap {
public:
    bool empty() const noexcept { return v_.empty(); }
    const Entry& top() const noexcept { return v_.front(); }
    void push(const Entry& e) {
        v_.push_back(e);
        siftUp(v_.size() - 1);
    }
    Entry pop() {
        Entry top = v_.front();
        Entry last = v_.back();
        v_.pop_back();
        if (!v_.empty()) {
            siftDown(last);
        }
        return top;
    }
    std::vector<Entry> takeAll() { return std::exchange(v_, {}); }

private:
    static bool before(const Entry& a, const Entry& b) noexcept {
        return a.deadline != b.deadline ? a.deadline < b.deadline : a.seq < b.seq;
    }
    void siftUp(size_t i) {
        Entry e = v_[i];
        while (i > 0) {
            size_t parent = (i - 1) / 4;
            if (!before(e, v_[parent])) {
                break;
            }
            v_[i] = v_[parent];
            i = parent;
        }
        v_[i] = e;
    }
    void siftDown(const Entry& e) {
        size_t i = 0;
        const size_t n = v_.size();
        for (;;) {
            size_t first = 4 * i + 1;
            if (first >= n) {
                break;
            }
            size_t best = first;
            size_t end = std::min(first + 4, n);
            for (size_t k = first + 1; k < end; ++k) {
                if (before(v_[k], v_[best])) {
                    best = k;
                }
            }
            if (!before(v_[best], e)) {
                break;
            }
            v_[i] = v_[best];
            i = best;
        }
        v_[i] = e;
    }
    std::vector<Entry> v_;
};

struct HeapState {
    std::mutex mutex;
    std::condition_variable cv; // wakes the clock thread
    EntryHeap heap;
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
    return e.payload->token && e.payload->token->cancelled.load(std::memory_order_acquire);
}

// Drops cancelled entries from the top. Caller holds the mutex; the payloads are freed by the
// caller after unlocking (a payload may hold the last reference to an object).
void dropCancelledTop(HeapState& s, std::vector<std::unique_ptr<Payload>>& dropped) {
    while (!s.heap.empty() && isCancelled(s.heap.top())) {
        dropped.emplace_back(s.heap.pop().payload);
    }
}

std::unique_ptr<Payload> popTop(HeapState& s) {
    return std::unique_ptr<Payload>(s.heap.pop().payload);
}

// The real-time clock thread: fires each entry when its deadline passes; sleeps on virtual time.
void clockThreadMain() {
    pthread_setname_np(pthread_self(), "dispatch.clock");
    auto& s = state();
    std::vector<std::unique_ptr<Payload>> dropped;
    std::unique_lock<std::mutex> lock(s.mutex);
    for (;;) {
        dropCancelledTop(s, dropped);
        if (!dropped.empty()) {
            lock.unlock();
            dropped.clear();
            lock.lock();
            continue;
        }
        if (DispatchClock::isVirtual() || s.heap.empty()) {
            s.cv.wait(lock);
            continue;
        }
        uint64_t now = DispatchClock::uptimeNanoseconds();
        uint64_t next = s.heap.top().deadline;
        if (next > now) {
            s.cv.wait_for(lock, std::chrono::nanoseconds(next - now));
            continue;
        }
        auto payload = popTop(s);
        if (payload->token && payload->token->cancelled.exchange(true)) {
            lock.unlock();
            payload.reset();
            lock.lock();
            continue;
        }
        --s.live;
        lock.unlock();
        payload->action();
        payload.reset();
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
        s.heap.push(Entry{deadline, s.seq++, new Payload{std::move(action), token}});
        ++s.live;
        notify = s.heap.top().seq == s.seq - 1; // the new entry is the earliest
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
    std::vector<std::unique_ptr<Payload>> dropped;
    std::lock_guard<std::mutex> lock(s.mutex);
    dropCancelledTop(s, dropped);
    uint64_t next = s.heap.empty() ? kNever : s.heap.top().deadline;
    // `dropped` is freed after the lock (declared before it).
    return next;
}

std::function<void()> TimerHeap::popEarliest(uint64_t limit, uint64_t& deadline) {
    auto& s = state();
    std::vector<std::unique_ptr<Payload>> dropped;
    std::unique_ptr<Payload> payload;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (;;) {
            dropCancelledTop(s, dropped);
            if (s.heap.empty() || s.heap.top().deadline > limit) {
                return nullptr;
            }
            deadline = s.heap.top().deadline;
            payload = popTop(s);
            // A token is claimed here, so that cancel() after this point reports false.
            if (payload->token && payload->token->cancelled.exchange(true)) {
                dropped.push_back(std::move(payload));
                continue;
            }
            --s.live;
            break;
        }
    }
    return std::move(payload->action);
}

size_t TimerHeap::liveCount() {
    auto& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.live;
}

void TimerHeap::discardAll() {
    auto& s = state();
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        entries = s.heap.takeAll();
        s.live = 0;
    }
    s.version.fetch_add(1);
    // The actions (and what they hold) are released here, outside the lock.
    for (auto& e : entries) {
        std::unique_ptr<Payload> payload(e.payload);
        if (payload->token) {
            payload->token->cancelled.store(true);
        }
    }
}

void TimerHeap::clockModeChanged() {
    auto& s = state();
    { std::lock_guard<std::mutex> lock(s.mutex); }
    s.cv.notify_one();
}

uint64_t TimerHeap::version() {
    return state().version.load();
}

} // namespace dispatch_detail
