// Trace probes of the signal library: signal events (`next`, `error`, `completed`) and members
// added to or removed from compound disposables. Nothing is formatted and nothing is called while
// no tracer is installed: a probe costs one atomic load.
#pragma once

#include <Foundation/NSString.h>

#include <atomic>
#include <string>

class RXTracer {
public:
    virtual ~RXTracer() = default;

    // Provider RXSignal. The strings are descriptions with whitespace runs folded to one blank.
    virtual void signalNext(const std::string& signal, const std::string& subscriber, const std::string& value) {}
    virtual void signalError(const std::string& signal, const std::string& subscriber, const std::string& error) {}
    virtual void signalCompleted(const std::string& signal, const std::string& subscriber) {}
    // Provider RXCompoundDisposable.
    virtual void compoundAdded(const std::string& compound, const std::string& member, NSUInteger count) {}
    virtual void compoundRemoved(const std::string& compound, const std::string& member, NSUInteger count) {}

    // Installs the tracer (nil switches tracing off) and returns the one it replaces. The tracer is
    // not owned and must outlive its installation.
    static RXTracer* setTracer(RXTracer* tracer) noexcept;
    static RXTracer* tracer() noexcept { return current_.load(std::memory_order_acquire); }
    static bool isTracing() noexcept { return current_.load(std::memory_order_relaxed) != nullptr; }

    // The description of an object for a probe: whitespace runs folded to one blank; "(null)" for nil.
    static std::string probeDescription(const id& object);
    // The same for a signal, with the first " name:" removed.
    static std::string signalProbeDescription(const id& signal);

private:
    static std::atomic<RXTracer*> current_;
};
