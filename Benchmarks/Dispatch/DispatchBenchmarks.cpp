// Dispatch and clock benchmarks. Build in a non-sanitized Release folder:
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build/bench --target
//   DispatchBenchmarks
#include <Dispatch/Dispatch.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSTimer.h>

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

// The benchmark's thread is the main thread, as in a test.
struct MainThread {
    MainThread() { dispatch_adopt_current_thread_as_main(); }
};

void realTime() {
    static MainThread main;
    DispatchClock::useRealTime();
}

void virtualTime() {
    static MainThread main;
    DispatchClock::useVirtualTime();
}

void BM_AsyncToSerialQueue(benchmark::State& state) {
    realTime();
    const int64_t blocks = state.range(0);
    auto queue = dispatch_queue_create("bench.serial", DISPATCH_QUEUE_SERIAL);
    int64_t sum = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < blocks; ++i) {
            dispatch_async(queue, [&sum, i] { sum += i; });
        }
        dispatch_sync(queue, [] {});
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * blocks);
}
BENCHMARK(BM_AsyncToSerialQueue)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AsyncToMainQueue(benchmark::State& state) {
    realTime();
    const int64_t blocks = state.range(0);
    int64_t sum = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < blocks; ++i) {
            dispatch_async(dispatch_get_main_queue(), [&sum, i] { sum += i; });
        }
        DispatchClock::runUntilIdle();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * blocks);
}
BENCHMARK(BM_AsyncToMainQueue)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AsyncToMainQueueFromBackground(benchmark::State& state) {
    realTime();
    const int64_t blocks = state.range(0);
    std::atomic<int64_t> ran{0};
    for (auto _ : state) {
        ran = 0;
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            for (int64_t i = 0; i < blocks; ++i) {
                dispatch_async(dispatch_get_main_queue(), [&] { ran.fetch_add(1, std::memory_order_relaxed); });
            }
        });
        DispatchClock::advanceUntil([&] { return ran.load() == blocks; }, 60);
    }
    state.SetItemsProcessed(state.iterations() * blocks);
}
BENCHMARK(BM_AsyncToMainQueueFromBackground)->Arg(10000)->Unit(benchmark::kMillisecond);

// Timers: scheduling and firing, on virtual time (every timer has its own deadline).
void BM_DispatchAfterScheduleAndFire(benchmark::State& state) {
    virtualTime();
    const int64_t timers = state.range(0);
    int64_t fired = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < timers; ++i) {
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, (i * 7919 % timers + 1) * 1000), dispatch_get_main_queue(),
                           [&fired] { ++fired; });
        }
        DispatchClock::advance(1);
    }
    benchmark::DoNotOptimize(fired);
    state.SetItemsProcessed(state.iterations() * timers);
}
BENCHMARK(BM_DispatchAfterScheduleAndFire)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DispatchAfterOnASerialQueue(benchmark::State& state) {
    virtualTime();
    const int64_t timers = state.range(0);
    auto queue = dispatch_queue_create("bench.timers", DISPATCH_QUEUE_SERIAL);
    std::atomic<int64_t> fired{0};
    for (auto _ : state) {
        for (int64_t i = 0; i < timers; ++i) {
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, (i + 1) * 1000), queue,
                           [&fired] { fired.fetch_add(1, std::memory_order_relaxed); });
        }
        DispatchClock::advance(1);
    }
    state.SetItemsProcessed(state.iterations() * timers);
}
BENCHMARK(BM_DispatchAfterOnASerialQueue)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NSTimerScheduleAndFire(benchmark::State& state) {
    virtualTime();
    const int64_t timers = state.range(0);
    int64_t fired = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < timers; ++i) {
            NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock((i * 7919 % timers + 1) * 1e-6, false,
                                                                [&fired](const Ref<NSTimer>&) { ++fired; });
        }
        DispatchClock::advance(1);
    }
    benchmark::DoNotOptimize(fired);
    state.SetItemsProcessed(state.iterations() * timers);
}
BENCHMARK(BM_NSTimerScheduleAndFire)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_TimerSourceTicks(benchmark::State& state) {
    virtualTime();
    const int64_t ticks = state.range(0);
    int64_t fired = 0;
    for (auto _ : state) {
        auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
        uint64_t interval = DispatchSource::kMinimumInterval;
        dispatch_source_set_timer(source, dispatch_time(DISPATCH_TIME_NOW, interval), interval, 0);
        dispatch_source_set_event_handler(source, [&fired] { ++fired; });
        dispatch_resume(source);
        DispatchClock::advance(ticks * interval * 1e-9);
        dispatch_source_cancel(source);
        DispatchClock::runUntilIdle();
    }
    benchmark::DoNotOptimize(fired);
    state.SetItemsProcessed(state.iterations() * ticks);
}
BENCHMARK(BM_TimerSourceTicks)->Arg(100000)->Unit(benchmark::kMillisecond);

// Moving virtual time over a million due items, each at its own instant.
void BM_VirtualAdvanceOverAMillionItems(benchmark::State& state) {
    virtualTime();
    const int64_t items = state.range(0);
    int64_t fired = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int64_t i = 0; i < items; ++i) {
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, (i + 1) * 1000), dispatch_get_main_queue(),
                           [&fired] { ++fired; });
        }
        state.ResumeTiming();
        DispatchClock::advance(items * 1e-6 + 1);
    }
    benchmark::DoNotOptimize(fired);
    state.SetItemsProcessed(state.iterations() * items);
}
BENCHMARK(BM_VirtualAdvanceOverAMillionItems)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
