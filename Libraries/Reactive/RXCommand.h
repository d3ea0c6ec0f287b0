// RXCommand: turns a user action into signal work. It holds a block that makes a signal from an
// input and runs that signal each time it is executed; it publishes whether it is enabled, whether
// an execution is under way, the signals of the executions and their errors.
//
// - `enabled` is YES while the enabled input (if any) last sent YES and, unless concurrent
//   execution is allowed, no execution is active. Its first value is taken synchronously when the
//   command is made; later values come on the main thread.
// - `executing` sends NO, then YES/NO as executions start and end (no repeated values), on the main
//   thread; a late subscriber receives the current state at once.
// - `executionSignals` sends each execution's signal (its error replaced by completion) on the main
//   thread; `errors` sends the error of each failed execution on the main thread (hot: only
//   executions that fail after subscribing; it never completes).
// - `execute` returns the execution's signal, which replays its events to late subscribers; the
//   execution starts on the main-thread scheduler whether or not anyone subscribes. A disabled
//   command returns an error signal (RXCommandErrorDomain, RXCommandErrorNotEnabled) and runs nothing.
//
// A command has no plain initialiser: `RXCommand::class_()->createInstance()` answers nil.
#pragma once

#include <Reactive/RXSignal.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// The error domain of commands, its code and the user-info key holding the command.
const Ref<NSString>& RXCommandErrorDomain();
enum : NSInteger {
    RXCommandErrorNotEnabled = 1,
};
const Ref<NSString>& RXUnderlyingCommandErrorKey();

using RXCommandSignalBlock = std::function<Ref<RXSignal>(const id& input)>;

class RXCommand : public NSObject {
    NS_OBJECT(RXCommand, NSObject)
public:
    // `initWithSignalBlock:`: always enabled unless executing.
    explicit RXCommand(RXCommandSignalBlock signalBlock);
    // `initWithEnabled:signalBlock:`: enabled also needs the latest value of `enabledSignal` (NSNumber
    // booleans; nil for none) to be YES. The block must return a signal for every input.
    RXCommand(const Ref<RXSignal>& enabledSignal, RXCommandSignalBlock signalBlock);

    const Ref<RXSignal>& executionSignals() const noexcept { return executionSignals_; }
    const Ref<RXSignal>& executing() const noexcept { return executing_; }
    const Ref<RXSignal>& enabled() const noexcept { return enabled_; }
    const Ref<RXSignal>& errors() const noexcept { return errors_; }
    // The enabled state, not moved to the main thread.
    const Ref<RXSignal>& immediateEnabled() const noexcept { return immediateEnabled_; }
    const RXCommandSignalBlock& signalBlock() const noexcept { return signalBlock_; }
    // A copy of the signals of the executions that have not ended yet.
    Ref<NSArray> activeExecutionSignals() const;

    bool allowsConcurrentExecution() const;
    void setAllowsConcurrentExecution(bool allows);

    // Runs the command with the input; see above.
    Ref<RXSignal> execute(const id& input);

    // The active-execution list. The change notifications (to-many insertion and removal of
    // "activeExecutionSignals") are posted with no lock held, one at a time and in the order of the
    // changes: a change made while another is being posted (from an observer, or on another thread)
    // is posted by the thread already posting, once the notification under way has returned.
    void addActiveExecutionSignal(const Ref<RXSignal>& signal);
    // Removes every entry identical to the signal; nothing when there is none.
    void removeActiveExecutionSignal(const Ref<RXSignal>& signal);

private:
    struct State;
    // Posts the queued changes unless another thread (or an outer frame of this one) already does.
    void postChanges();
    void postPendingChanges();

    std::shared_ptr<State> state_;
    std::atomic<uint32_t> allowsConcurrentExecution_{0};
    Ref<RXSignal> executionSignals_;
    Ref<RXSignal> executing_;
    Ref<RXSignal> enabled_;
    Ref<RXSignal> errors_;
    Ref<RXSignal> immediateEnabled_;
    Ref<RXSignal> enabledInput_;
    RXCommandSignalBlock signalBlock_;
};
