// Motion samples through the physical model and a motion manager's handlers, on virtual time:
// every motion sensor at 100 Hz at once while the body moves. Reports samples per second of wall
// time and how many times faster than real time the stream runs.
#include <CoreMotion/CMMotionManager.h>
#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSRunLoop.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>

namespace {

void setUpMainThread() {
    static bool done = false;
    if (!done) {
        dispatch_adopt_current_thread_as_main();
        DispatchClock::useVirtualTime();
        NSRunLoop::mainRunLoop();
        done = true;
    }
}

// The model alone: one reading of each sensor per step.
void BM_ModelReadings(benchmark::State& state) {
    SimSensors& sensors = SimSensors::current();
    sensors.shake({1, 0, 0}, 1, 5, 1e9);
    double t = DispatchClock::uptime();
    int64_t samples = 0;
    for (auto _ : state) {
        t += 0.01;
        benchmark::DoNotOptimize(sensors.accelerometer(t));
        benchmark::DoNotOptimize(sensors.gyroscope(t));
        benchmark::DoNotOptimize(sensors.magnetometer(t));
        benchmark::DoNotOptimize(sensors.deviceMotion(t));
        samples += 4;
    }
    state.counters["samples/s"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ModelReadings);

// One million samples pushed by a motion manager: accelerometer, gyroscope, magnetometer and
// device motion, each at 100 Hz, to handlers on the main queue (argument 0, what the screens use)
// or on an operation queue of their own (argument 1).
void BM_MillionPushedSamples(benchmark::State& state) {
    setUpMainThread();
    constexpr int64_t kSamples = 1000000;
    constexpr double kRate = 100;
    SimSensors& sensors = SimSensors::current();
    for (auto _ : state) {
        sensors.reset();
        sensors.shake({0, 1, 0}, 0.8, 3, 1e9);
        auto manager = make<CMMotionManager>();
        Ref<NSOperationQueue> queue = NSOperationQueue::mainQueue();
        if (state.range(0) == 1) {
            queue = make<NSOperationQueue>();
            queue->setMaxConcurrentOperationCount(1);
        }
        std::atomic<int64_t> received{0};
        double sum = 0;
        manager->setAccelerometerUpdateInterval(1 / kRate);
        manager->setGyroUpdateInterval(1 / kRate);
        manager->setMagnetometerUpdateInterval(1 / kRate);
        manager->setDeviceMotionUpdateInterval(1 / kRate);
        manager->startAccelerometerUpdatesToQueueWithHandler(queue, [&](const auto& d, const auto&) {
            sum += d->acceleration().y;
            received++;
        });
        manager->startGyroUpdatesToQueueWithHandler(queue, [&](const auto& d, const auto&) {
            sum += d->rotationRate().x;
            received++;
        });
        manager->startMagnetometerUpdatesToQueueWithHandler(queue, [&](const auto& d, const auto&) {
            sum += d->magneticField().x;
            received++;
        });
        manager->startDeviceMotionUpdatesToQueueWithHandler(queue, [&](const auto& d, const auto&) {
            sum += d->userAcceleration().y;
            received++;
        });
        double virtualStart = DispatchClock::uptime();
        auto wallStart = std::chrono::steady_clock::now();
        while (received.load() < kSamples) {
            DispatchClock::advance(10);
        }
        if (state.range(0) == 1) {
            queue->waitUntilAllOperationsAreFinished();
        }
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        double simulated = DispatchClock::uptime() - virtualStart;
        manager->stopAccelerometerUpdates();
        manager->stopGyroUpdates();
        manager->stopMagnetometerUpdates();
        manager->stopDeviceMotionUpdates();
        benchmark::DoNotOptimize(sum);
        state.counters["samples"] = static_cast<double>(received.load());
        state.counters["samples/s"] = static_cast<double>(received.load()) / wall;
        state.counters["x real time"] = simulated / wall;
    }
}
BENCHMARK(BM_MillionPushedSamples)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
