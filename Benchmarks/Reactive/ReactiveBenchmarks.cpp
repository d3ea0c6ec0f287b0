// Benchmarks of the signal library. Every allocation of the process is counted, so each benchmark
// also reports allocations (and bytes) per event or per subscription.
#include <Foundation/Foundation.h>
#include <Reactive/Reactive.h>

#include <benchmark/benchmark.h>

#include <Dispatch/Dispatch.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <new>

namespace {
std::atomic<long long> allocations{0};
std::atomic<long long> liveBytes{0};

// Each block carries its size in front of it, so that frees can be counted in bytes.
constexpr size_t kHeader = alignof(std::max_align_t);

void* countedAlloc(size_t size) {
    void* raw = std::malloc(size + kHeader);
    if (!raw) {
        throw std::bad_alloc();
    }
    *static_cast<size_t*>(raw) = size;
    allocations.fetch_add(1, std::memory_order_relaxed);
    liveBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
    return static_cast<char*>(raw) + kHeader;
}

void countedFree(void* p) noexcept {
    if (!p) {
        return;
    }
    void* raw = static_cast<char*>(p) - kHeader;
    liveBytes.fetch_sub(static_cast<long long>(*static_cast<size_t*>(raw)), std::memory_order_relaxed);
    std::free(raw);
}
} // namespace

void* operator new(size_t size) {
    return countedAlloc(size);
}
void* operator new[](size_t size) {
    return countedAlloc(size);
}
void operator delete(void* p) noexcept {
    countedFree(p);
}
void operator delete[](void* p) noexcept {
    countedFree(p);
}
void operator delete(void* p, size_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, size_t) noexcept {
    countedFree(p);
}

namespace {

void reportAllocations(benchmark::State& state, long long before, const char* name) {
    double per = static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
    state.counters[name] = per;
}

// (1) Events per second through map -> filter -> take, delivered synchronously (the subscription
// runs on the immediate path: the main thread has a current scheduler).
void BM_MapFilterTake(benchmark::State& state) {
    auto subject = RXSubject::subject();
    long long received = 0;
    auto subscription = subject->map([](const id& v) { return v; })
                            ->filter([](const id& v) { return static_cast<bool>(v); })
                            ->take(~0UL)
                            ->subscribeNext([&](const id&) { ++received; });
    id value = box(42);
    long long before = allocations.load();
    for (auto _ : state) {
        subject->sendNext(value);
    }
    reportAllocations(state, before, "allocs/event");
    state.SetItemsProcessed(state.iterations());
    subscription->dispose();
    benchmark::DoNotOptimize(received);
}
BENCHMARK(BM_MapFilterTake);

// (2) Create a createSignal signal, subscribe, dispose.
void BM_CreateSubscribeDispose(benchmark::State& state) {
    long long before = allocations.load();
    for (auto _ : state) {
        auto signal = RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) {
            subscriber->sendNext(nullptr);
            return RXDisposable::disposableWithBlock([] {});
        });
        auto subscription = signal->subscribeNext([](const id&) {});
        subscription->dispose();
    }
    reportAllocations(state, before, "allocs/subscription");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreateSubscribeDispose);

// (3) Events through a merge of 100 subjects.
void BM_MergeOf100Subjects(benchmark::State& state) {
    std::vector<Ref<RXSubject>> subjects;
    std::vector<Ref<RXSignal>> signals;
    for (int i = 0; i < 100; ++i) {
        subjects.push_back(RXSubject::subject());
        signals.push_back(subjects.back());
    }
    long long received = 0;
    auto subscription = RXSignal::merge(signals)->subscribeNext([&](const id&) { ++received; });
    id value = box(1);
    size_t i = 0;
    long long before = allocations.load();
    for (auto _ : state) {
        subjects[i++ % 100]->sendNext(value);
    }
    reportAllocations(state, before, "allocs/event");
    state.SetItemsProcessed(state.iterations());
    subscription->dispose();
    benchmark::DoNotOptimize(received);
}
BENCHMARK(BM_MergeOf100Subjects);

// (4) Events through combineLatest of 10 subjects (each event makes one 10-element tuple).
void BM_CombineLatestOf10Subjects(benchmark::State& state) {
    std::vector<Ref<RXSubject>> subjects;
    std::vector<Ref<RXSignal>> signals;
    for (int i = 0; i < 10; ++i) {
        subjects.push_back(RXSubject::subject());
        signals.push_back(subjects.back());
    }
    long long received = 0;
    auto subscription = RXSignal::combineLatest(signals)->subscribeNext([&](const id&) { ++received; });
    id value = box(1);
    for (auto& subject : subjects) {
        subject->sendNext(value);
    }
    size_t i = 0;
    long long before = allocations.load();
    for (auto _ : state) {
        subjects[i++ % 10]->sendNext(value);
    }
    reportAllocations(state, before, "allocs/event");
    state.SetItemsProcessed(state.iterations());
    subscription->dispose();
    benchmark::DoNotOptimize(received);
}
BENCHMARK(BM_CombineLatestOf10Subjects);

// (5) 1,000,000 interval ticks on the test scheduler.
void BM_MillionIntervalTicksOnTestScheduler(benchmark::State& state) {
    for (auto _ : state) {
        auto scheduler = make<RXTestScheduler>();
        long long ticks = 0;
        auto subscription = RXSignal::intervalOnScheduler(1.0, scheduler)->subscribeNext([&](const id&) { ++ticks; });
        long long before = allocations.load();
        scheduler->step(1000000);
        state.counters["allocs/tick"] = static_cast<double>(allocations.load() - before) / 1e6;
        subscription->dispose();
        if (ticks != 1000000) {
            state.SkipWithError("wrong tick count");
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_MillionIntervalTicksOnTestScheduler)->Unit(benchmark::kMillisecond)->Iterations(3);

// (6) Memory held by one live subscription: a subscribeNext on a subject, and one through map.
void BM_MemoryPerLiveSubscription(benchmark::State& state) {
    constexpr int kSubscriptions = 10000;
    const bool throughMap = state.range(0) != 0;
    for (auto _ : state) {
        auto subject = RXSubject::subject();
        Ref<RXSignal> signal = throughMap ? subject->map([](const id& v) { return v; }) : Ref<RXSignal>(subject);
        std::vector<Ref<RXDisposable>> subscriptions;
        subscriptions.reserve(kSubscriptions);
        long long bytesBefore = liveBytes.load();
        long long allocsBefore = allocations.load();
        for (int i = 0; i < kSubscriptions; ++i) {
            subscriptions.push_back(signal->subscribeNext([](const id&) {}));
        }
        state.counters["bytes/subscription"] = static_cast<double>(liveBytes.load() - bytesBefore) / kSubscriptions;
        state.counters["allocs/subscription"] = static_cast<double>(allocations.load() - allocsBefore) / kSubscriptions;
        for (auto& subscription : subscriptions) {
            subscription->dispose();
        }
    }
}
BENCHMARK(BM_MemoryPerLiveSubscription)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// (7) Ending many inner signals of a flatten, and many running executions of a command, must cost
// time linear in their number. Each iteration ends n and then 2n of them, oldest first (the order in
// which a search from the newest member is slowest), and reports the ratio of the two times: about 2
// when each ending costs constant time, about 4 when it costs the number still running. The times
// are of the processor time of this thread, which does all the work, so that other processes on a
// shared machine move them less.
using ThreadTime = double;
ThreadTime threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}
double secondsSince(ThreadTime start) {
    return threadSeconds() - start;
}

// Subscribes to `flattened(outer)`, sends it n open subjects, then times completing them in order.
double secondsToEndInnerSignals(long n, const std::function<Ref<RXSignal>(const Ref<RXSignal>&)>& flattened) {
    auto outer = RXSubject::subject();
    long completed = 0;
    auto subscription = flattened(outer)->subscribeCompleted([&] { ++completed; });
    std::vector<Ref<RXSubject>> inner;
    inner.reserve(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) {
        inner.push_back(RXSubject::subject());
        outer->sendNext(inner.back());
    }
    outer->sendCompleted();
    ThreadTime start = threadSeconds();
    for (auto& subject : inner) {
        subject->sendCompleted();
    }
    double seconds = secondsSince(start);
    subscription->dispose();
    return completed == 1 ? seconds : -1.0;
}

// Starts n executions of a concurrent command, each running until its subject completes, then times
// completing them in order until the command has taken in every ending.
double secondsToEndExecutions(long n) {
    std::vector<Ref<RXSubject>> runs;
    runs.reserve(static_cast<size_t>(n));
    auto command = make<RXCommand>([&](const id&) {
        runs.push_back(RXSubject::subject());
        return Ref<RXSignal>(runs.back());
    });
    command->setAllowsConcurrentExecution(true);
    for (long i = 0; i < n; ++i) {
        command->execute(nullptr);
    }
    DispatchClock::runUntilIdle(); // the executions are subscribed on the main thread
    ThreadTime start = threadSeconds();
    for (auto& run : runs) {
        run->sendCompleted();
    }
    DispatchClock::runUntilIdle();
    double seconds = secondsSince(start);
    return command->activeExecutionSignals()->count() == 0 && runs.size() == static_cast<size_t>(n) ? seconds : -1.0;
}

void reportEndingRatio(benchmark::State& state, const std::function<double(long)>& secondsToEnd) {
    static const bool mainThread = [] {
        dispatch_adopt_current_thread_as_main();
        DispatchClock::useRealTime();
        return true;
    }();
    (void)mainThread;
    const long n = state.range(0);
    double once = 0, twice = 0;
    for (auto _ : state) {
        double a = secondsToEnd(n), b = secondsToEnd(2 * n);
        if (a < 0 || b < 0) {
            state.SkipWithError("not every ending arrived");
            return;
        }
        once += a;
        twice += b;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["CPU ms at n"] = 1e3 * once / iterations;
    state.counters["CPU ms at 2n"] = 1e3 * twice / iterations;
    state.counters["ratio 2n/n"] = twice / once;
}

void BM_EndInnerSignalsOfFlatten(benchmark::State& state) {
    reportEndingRatio(state, [](long n) {
        return secondsToEndInnerSignals(n, [](const Ref<RXSignal>& outer) { return outer->flatten(); });
    });
}
BENCHMARK(BM_EndInnerSignalsOfFlatten)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_EndInnerSignalsOfFlattenWithLimit(benchmark::State& state) {
    reportEndingRatio(state, [](long n) {
        return secondsToEndInnerSignals(n, [](const Ref<RXSignal>& outer) { return outer->flatten(0); });
    });
}
BENCHMARK(BM_EndInnerSignalsOfFlattenWithLimit)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_EndCommandExecutions(benchmark::State& state) {
    reportEndingRatio(state, secondsToEndExecutions);
}
BENCHMARK(BM_EndCommandExecutions)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
