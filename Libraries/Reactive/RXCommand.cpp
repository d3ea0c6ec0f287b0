#include <Reactive/RXCommand.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSError.h>
#include <Foundation/NSIndexSet.h>
#include <Foundation/NSNumber.h>
#include <Reactive/NSArray+RXSequenceAdditions.h>
#include <Reactive/NSObject+RXDeallocatingPrivate.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/RXMulticastConnection.h>
#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>

#include <deque>
#include <mutex>
#include <optional>

NS_IMPLEMENT_CLASS(RXCommand, NSObject) {
    b.readonlyProperty("activeExecutionSignals", &RXCommand::activeExecutionSignals);
    b.property("allowsConcurrentExecution", &RXCommand::allowsConcurrentExecution,
               &RXCommand::setAllowsConcurrentExecution, "dynamic");
    // The command posts its own change notifications.
    b.manualNotification("activeExecutionSignals");
    b.manualNotification("allowsConcurrentExecution");
    b.method("execute:", &RXCommand::execute);
}

const Ref<NSString>& RXCommandErrorDomain() {
    static const Ref<NSString> domain = NSString::from("RXCommandErrorDomain");
    return domain;
}

const Ref<NSString>& RXUnderlyingCommandErrorKey() {
    static const Ref<NSString> key = NSString::from("RXUnderlyingCommandErrorKey");
    return key;
}

namespace {
const Ref<NSString>& activeExecutionSignalsKey() {
    static const Ref<NSString> key = NSString::from("activeExecutionSignals");
    return key;
}
const Ref<NSString>& allowsConcurrentExecutionKey() {
    static const Ref<NSString> key = NSString::from("allowsConcurrentExecution");
    return key;
}
} // namespace

// What execute: decides from, kept under a private lock (never the command's monitor, and never held
// while anything else runs).
struct RXCommand::State {
    std::mutex lock;
    // Decision state: executions recorded and not yet ended, and executions being started (their
    // signal block is running).
    std::vector<Ref<RXSignal>> running;
    size_t starting = 0;
    // The latest value of the enabled input; unknown until its subscription has delivered.
    bool inputEnabled = true;
    bool inputKnown = false;
    // What observers see: the list as of the last posted change, and the changes still to post.
    std::vector<Ref<RXSignal>> published;
    struct Change {
        NSKeyValueChange kind;
        Ref<RXSignal> signal;
    };
    std::deque<Change> pending;
    bool posting = false;
};

RXCommand::RXCommand(RXCommandSignalBlock signalBlock) : RXCommand(nullptr, std::move(signalBlock)) {}

RXCommand::RXCommand(const Ref<RXSignal>& enabledSignal, RXCommandSignalBlock signalBlock)
    : state_(std::make_shared<State>()), signalBlock_(std::move(signalBlock)) {
    // Every observation below is made on behalf of the command and holds it weakly: they end when it
    // begins to deallocate.
    id self(this);

    Ref<RXSignal> newActiveExecutionSignals =
        rx_valuesAndChangesForKeyPathOptionsObserver(self, activeExecutionSignalsKey(), NSKeyValueObservingOptionNew,
                                                     nullptr)
            ->reduceEach([](const id&, const Ref<NSDictionary>& change) -> Ref<RXSignal> {
                auto inserted = change ? cast<NSArray>(change->objectForKey(NSKeyValueChangeNewKey())) : nullptr;
                if (!inserted) {
                    return RXSignal::empty();
                }
                return rx_sequence(inserted)->signalWithScheduler(RXScheduler::immediateScheduler());
            })
            ->concat()
            ->publish()
            ->autoconnect();

    executionSignals_ =
        newActiveExecutionSignals
            ->map([](const id& signal) -> id { return cast<RXSignal>(signal)->catchTo(RXSignal::empty()); })
            ->deliverOn(RXScheduler::mainThreadScheduler())
            ->named("%@ -executionSignals", self);

    // The execution signals are subscribed for their errors on the main queue, not inside the
    // change notification: an execution's replay subject takes its own lock when subscribed to and
    // when it completes (and its completion ends the execution, which posts a notification).
    // Replay subjects keep their error, so nothing is missed by subscribing a turn later.
    Ref<RXMulticastConnection> errorsConnection =
        newActiveExecutionSignals->deliverOn(RXScheduler::mainThreadScheduler())
            ->flattenMap([](const id& signal) -> Ref<RXSignal> {
                return cast<RXSignal>(signal)->ignoreValues()->catch_(
                    [](const Ref<NSError>& error) { return RXSignal::return_(error); });
            })
            ->deliverOn(RXScheduler::mainThreadScheduler())
            ->publish();
    errors_ = errorsConnection->signal()->named("%@ -errors", self);
    errorsConnection->connect();

    Ref<RXSignal> immediateExecuting =
        rx_valuesForKeyPathObserver(self, activeExecutionSignalsKey(), self)->map([](const id& signals) -> id {
            auto array = cast<NSArray>(signals);
            return NSNumber::numberWithInt(array && array->count() > 0 ? 1 : 0);
        });

    executing_ = immediateExecuting->deliverOn(RXScheduler::mainThreadScheduler())
                     ->startWith(NSNumber::numberWithBool(false))
                     ->distinctUntilChanged()
                     ->replayLast()
                     ->named("%@ -executing", self);

    Ref<RXSignal> moreExecutionsAllowed =
        RXSignal::ifThenElse(rx_valuesForKeyPathObserver(self, allowsConcurrentExecutionKey(), self),
                             RXSignal::return_(NSNumber::numberWithBool(true)), immediateExecuting->not_());

    Ref<RXSignal> enabledInput;
    if (enabledSignal) {
        enabledInput = enabledSignal->startWith(NSNumber::numberWithBool(true))
                           ->takeUntil(rx_detail::deallocationSignal({self}))
                           ->replayLast();
    } else {
        enabledInput = RXSignal::return_(NSNumber::numberWithBool(true));
    }

    immediateEnabled_ = RXSignal::combineLatest({enabledInput, moreExecutionsAllowed})->and_();

    // execute: reads the enabled input from here rather than waiting for the combined state.
    if (enabledSignal) {
        enabledInput_ = enabledInput;
        enabledInput->subscribeNext([state = state_](const id& value) {
            std::lock_guard<std::mutex> guard(state->lock);
            state->inputEnabled = unbox<bool>(value);
            state->inputKnown = true;
        });
    } else {
        state_->inputKnown = true;
    }

    // The first state passes at once, on this thread; later states are moved to the main thread.
    // Both halves share one subscription to the enabled state, made once both listen: a second
    // subscription started from inside the first one's delivery would run while the combining
    // operator and the enabled input's replay subject hold their locks.
    Ref<RXMulticastConnection> state = immediateEnabled_->publish();
    enabled_ = RXSignal::merge(
                   {state->signal()->take(1), state->signal()->skip(1)->deliverOn(RXScheduler::mainThreadScheduler())})
                   ->distinctUntilChanged()
                   ->replayLast()
                   ->named("%@ -enabled", self);
    state->connect();
}

Ref<NSArray> RXCommand::activeExecutionSignals() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return NSArray::arrayWithRefs(state_->published);
}

bool RXCommand::allowsConcurrentExecution() const {
    return allowsConcurrentExecution_.load(std::memory_order_seq_cst) != 0;
}

void RXCommand::setAllowsConcurrentExecution(bool allows) {
    willChangeValueForKey(allowsConcurrentExecutionKey());
    if (allows) {
        allowsConcurrentExecution_.fetch_or(1, std::memory_order_seq_cst);
    } else {
        allowsConcurrentExecution_.fetch_and(0, std::memory_order_seq_cst);
    }
    didChangeValueForKey(allowsConcurrentExecutionKey());
}

void RXCommand::addActiveExecutionSignal(const Ref<RXSignal>& signal) {
    if (!signal) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->running.push_back(signal);
        state_->pending.push_back({NSKeyValueChangeInsertion, signal});
    }
    postChanges();
}

void RXCommand::removeActiveExecutionSignal(const Ref<RXSignal>& signal) {
    std::vector<Ref<RXSignal>> removed; // released after the lock
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        auto& running = state_->running;
        for (size_t i = running.size(); i-- > 0;) {
            if (running[i].get() == signal.get()) {
                removed.push_back(std::move(running[i]));
                running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (removed.empty()) {
            return;
        }
        state_->pending.push_back({NSKeyValueChangeRemoval, signal});
    }
    postChanges();
}

namespace {
// The commands whose changes wait on this thread for the notification under way to return.
struct ThreadPosting {
    bool active = false;
    std::deque<Ref<RXCommand>> waiting;
};
ThreadPosting& threadPosting() {
    thread_local ThreadPosting posting;
    return posting;
}
} // namespace

// A thread posts one notification at a time: a change made from inside an observer, of this command
// or of another, is posted once the notification under way has returned. Observers' locks are thus
// never taken nested in one another's deliveries (two commands starting each other from their
// observers would otherwise take them in both orders).
void RXCommand::postChanges() {
    ThreadPosting& thread = threadPosting();
    if (thread.active) {
        thread.waiting.push_back(Ref<RXCommand>(this));
        return;
    }
    thread.active = true;
    struct Reset {
        ThreadPosting& thread;
        ~Reset() {
            thread.active = false;
            thread.waiting.clear();
        }
    } reset{thread};
    postPendingChanges();
    while (!thread.waiting.empty()) {
        Ref<RXCommand> command = std::move(thread.waiting.front());
        thread.waiting.pop_front();
        command->postPendingChanges();
    }
}

void RXCommand::postPendingChanges() {
    State& state = *state_;
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.posting) {
            return; // the thread posting now posts this change too
        }
        state.posting = true;
    }
    struct Done {
        State& state;
        ~Done() {
            std::lock_guard<std::mutex> guard(state.lock);
            state.posting = false;
        }
    };
    while (true) {
        State::Change change;
        Ref<NSIndexSet> indexes;
        {
            std::unique_lock<std::mutex> guard(state.lock);
            if (state.pending.empty()) {
                state.posting = false;
                return;
            }
            change = std::move(state.pending.front());
            state.pending.pop_front();
            if (change.kind == NSKeyValueChangeInsertion) {
                indexes = NSIndexSet::indexSetWithIndex(state.published.size());
            } else {
                auto removal = make<NSMutableIndexSet>();
                for (size_t i = 0; i < state.published.size(); ++i) {
                    if (state.published[i].get() == change.signal.get()) {
                        removal->addIndex(i);
                    }
                }
                if (removal->count() == 0) {
                    continue;
                }
                indexes = removal;
            }
        }
        std::vector<Ref<RXSignal>> removed; // released outside the lock
        try {
            willChangeValuesAtIndexesForKey(change.kind, indexes, activeExecutionSignalsKey());
            {
                std::lock_guard<std::mutex> guard(state.lock);
                auto& published = state.published;
                if (change.kind == NSKeyValueChangeInsertion) {
                    published.push_back(change.signal);
                } else {
                    for (size_t i = published.size(); i-- > 0;) {
                        if (published[i].get() == change.signal.get()) {
                            removed.push_back(std::move(published[i]));
                            published.erase(published.begin() + static_cast<std::ptrdiff_t>(i));
                        }
                    }
                }
            }
            didChangeValuesAtIndexesForKey(change.kind, indexes, activeExecutionSignalsKey());
        } catch (...) {
            Done{state};
            throw;
        }
    }
}

Ref<RXSignal> RXCommand::execute(const id& input) {
    // The enabled input's first value may still be on its way when the command was made on a
    // thread without a scheduler; then it is waited for once.
    bool known = false;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        known = state_->inputKnown;
    }
    bool input0 = known || !enabledInput_ || unbox<bool>(enabledInput_->first());
    bool enabled = false;
    {
        // Decided and recorded in one step: two threads never both start a non-concurrent command.
        std::lock_guard<std::mutex> guard(state_->lock);
        bool inputEnabled = state_->inputKnown ? state_->inputEnabled : input0;
        enabled = inputEnabled && (allowsConcurrentExecution() || (state_->running.empty() && state_->starting == 0));
        if (enabled) {
            ++state_->starting;
        }
    }
    if (!enabled) {
        Ref<NSString> description = NSBundle::mainBundle()->localizedStringForKeyValueTable(
            NSString::from("The command is disabled and cannot be executed"), NSString::string(), nullptr);
        auto userInfo = NSDictionary::dictionaryWithEntries({
            {NSLocalizedDescriptionKey(), description},
            {RXUnderlyingCommandErrorKey(), id(this)},
        });
        return RXSignal::error(
            NSError::errorWithDomainCodeUserInfo(RXCommandErrorDomain(), RXCommandErrorNotEnabled, userInfo));
    }
    // The reservation lasts until the execution is recorded (or starting it fails), so that the
    // decision state never shows no execution in between.
    struct Reservation {
        explicit Reservation(State& s) : state(s) {}
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        State& state;
        ~Reservation() {
            std::lock_guard<std::mutex> guard(state.lock);
            --state.starting;
        }
    };
    std::optional<Reservation> reservation(std::in_place, *state_);
    Ref<RXSignal> signal = signalBlock_ ? signalBlock_(input) : nullptr;
    if (!signal) {
        NSException::raise(NSInternalInconsistencyException,
                           "RXCommand: the signal block returned nil for " + NSDescription(input)->str());
    }
    Ref<RXMulticastConnection> connection =
        signal->subscribeOn(RXScheduler::mainThreadScheduler())->multicast(RXReplaySubject::subject());

    Ref<RXSignal> execution = connection->signal();
    addActiveExecutionSignal(execution);
    reservation.reset();
    Weak<RXCommand> weakSelf(this);
    // The handlers hold the execution weakly too: the replay subject keeps its subscribers, so a
    // strong reference would keep the execution's subject alive through itself.
    Weak<RXSignal> weakExecution(execution);
    auto finished = [weakSelf, weakExecution] {
        Ref<RXCommand> self = weakSelf.lock();
        Ref<RXSignal> finishedSignal = weakExecution.lock();
        if (self && finishedSignal) {
            self->removeActiveExecutionSignal(finishedSignal);
        }
    };
    execution->subscribeErrorCompleted([finished](const Ref<NSError>&) { finished(); }, finished);
    connection->connect();
    return execution->named("%@ -execute: %@", id(this), rx_description(input));
}
