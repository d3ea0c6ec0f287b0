#include <Reactive/RXCommand.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSError.h>
#include <Foundation/NSIndexSet.h>
#include <Foundation/NSNumber.h>
#include <Reactive/NSObject+RXDeallocatingPrivate.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/RXBehaviorSubject.h>
#include <Reactive/RXMulticastConnection.h>
#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>

#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>

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

namespace {
// The active executions as observers see them, in the order they were added. Each change costs what
// it changes: an entry is appended in amortised constant time, and the indexes of a signal's entries
// (which a removal's change notification names) are found through its positions and a Fenwick tree of
// the live entries, in logarithmic time. Removed entries leave a hole that a compaction takes away
// once holes outnumber the entries.
class ExecutionList {
public:
    size_t size() const noexcept { return live_; }

    void append(const Ref<RXSignal>& signal) {
        size_t position = slots_.size();
        slots_.push_back(signal);
        // The new node covers (position + 1 - lowbit, position + 1]; all but its own entry are counted
        // by the nodes below it.
        size_t node = position + 1;
        size_t low = node & (~node + 1);
        tree_.push_back(static_cast<int64_t>(prefix(node - 1) - prefix(node - low)) + 1);
        positions_[signal.get()].push_back(position);
        ++live_;
    }

    // The indexes of the signal's entries, ascending.
    std::vector<size_t> indexesOf(const RXSignal* signal) const {
        std::vector<size_t> indexes;
        auto it = positions_.find(signal);
        if (it == positions_.end()) {
            return indexes;
        }
        for (size_t position : it->second) {
            indexes.push_back(prefix(position)); // the live entries before it
        }
        return indexes;
    }

    // Removes every entry of the signal, handing the references to `removed`.
    void removeAll(const RXSignal* signal, std::vector<Ref<RXSignal>>& removed) {
        auto it = positions_.find(signal);
        if (it == positions_.end()) {
            return;
        }
        for (size_t position : it->second) {
            removed.push_back(std::move(slots_[position]));
            for (size_t node = position + 1; node <= tree_.size(); node += node & (~node + 1)) {
                --tree_[node - 1];
            }
            --live_;
        }
        positions_.erase(it);
        if (live_ == 0) {
            slots_.clear();
            tree_.clear();
        } else if (slots_.size() > 2 * live_ + 64) {
            compact();
        }
    }

    std::vector<Ref<RXSignal>> entries() const {
        std::vector<Ref<RXSignal>> out;
        out.reserve(live_);
        for (const auto& slot : slots_) {
            if (slot) {
                out.push_back(slot);
            }
        }
        return out;
    }

private:
    // The live entries among the first `count` positions.
    size_t prefix(size_t count) const {
        int64_t sum = 0;
        for (size_t node = count; node > 0; node -= node & (~node + 1)) {
            sum += tree_[node - 1];
        }
        return static_cast<size_t>(sum);
    }

    void compact() {
        std::vector<Ref<RXSignal>> kept = entries();
        slots_.clear();
        tree_.clear();
        positions_.clear();
        live_ = 0;
        for (const auto& signal : kept) {
            append(signal);
        }
    }

    std::vector<Ref<RXSignal>> slots_; // by position; nil once removed
    std::vector<int64_t> tree_;        // Fenwick tree over the live flags of the positions
    std::unordered_map<const RXSignal*, std::vector<size_t>> positions_;
    size_t live_ = 0;
};
} // namespace

// What execute: decides from, kept under a private lock (never the command's monitor, and never held
// while anything else runs).
struct RXCommand::State {
    std::mutex lock;
    // Decision state: executions recorded and not yet ended (each with its number of entries), and
    // executions being started (their signal block is running).
    struct Running {
        Ref<RXSignal> signal;
        size_t count = 0;
    };
    std::unordered_map<const RXSignal*, Running> running;
    size_t starting = 0;
    // The latest value of the enabled input; unknown until its subscription has delivered.
    bool inputEnabled = true;
    bool inputKnown = false;
    // What observers see: the list as of the last posted change, and the changes still to post.
    ExecutionList published;
    struct Change {
        NSKeyValueChange kind;
        Ref<RXSignal> signal;
    };
    std::deque<Change> pending;
    bool posting = false;
    // The command's own view of the posted changes, sent by the posting thread after each change:
    // every execution as it is added, and whether any is active (sent when that changes). The
    // command's signals are built on these rather than on observing its own list, which would copy
    // the whole list for every change.
    Ref<RXSubject> added = RXSubject::subject();
    Ref<RXBehaviorSubject> anyActive =
        RXBehaviorSubject::behaviorSubjectWithDefaultValue(NSNumber::numberWithBool(false));
    bool anyActiveSent = false; // posting thread only
};

RXCommand::RXCommand(RXCommandSignalBlock signalBlock) : RXCommand(nullptr, std::move(signalBlock)) {}

RXCommand::RXCommand(const Ref<RXSignal>& enabledSignal, RXCommandSignalBlock signalBlock)
    : state_(std::make_shared<State>()), signalBlock_(std::move(signalBlock)) {
    // Every observation below is made on behalf of the command and holds it weakly: they end when it
    // begins to deallocate.
    id self(this);

    Ref<RXSignal> commandEnds = rx_detail::deallocationSignal({self});
    Ref<RXSignal> newActiveExecutionSignals = state_->added->takeUntil(commandEnds)->publish()->autoconnect();

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

    Ref<RXSignal> immediateExecuting = state_->anyActive->takeUntil(commandEnds);

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
    std::vector<Ref<RXSignal>> entries;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        entries = state_->published.entries();
    }
    return NSArray::arrayWithRefs(entries);
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
        auto& entry = state_->running[signal.get()];
        entry.signal = signal;
        ++entry.count;
        state_->pending.push_back({NSKeyValueChangeInsertion, signal});
    }
    postChanges();
}

void RXCommand::removeActiveExecutionSignal(const Ref<RXSignal>& signal) {
    Ref<RXSignal> removed; // released after the lock
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        auto it = state_->running.find(signal.get());
        if (it == state_->running.end()) {
            return;
        }
        removed = std::move(it->second.signal);
        state_->running.erase(it);
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
                std::vector<size_t> found = state.published.indexesOf(change.signal.get());
                if (found.empty()) {
                    continue;
                }
                if (found.size() == 1) {
                    indexes = NSIndexSet::indexSetWithIndex(found[0]);
                } else {
                    auto removal = make<NSMutableIndexSet>();
                    for (size_t index : found) {
                        removal->addIndex(index);
                    }
                    indexes = removal;
                }
            }
        }
        std::vector<Ref<RXSignal>> removed; // released outside the lock
        bool active = false;
        try {
            willChangeValuesAtIndexesForKey(change.kind, indexes, activeExecutionSignalsKey());
            {
                std::lock_guard<std::mutex> guard(state.lock);
                if (change.kind == NSKeyValueChangeInsertion) {
                    state.published.append(change.signal);
                } else {
                    state.published.removeAll(change.signal.get(), removed);
                }
                active = state.published.size() > 0;
            }
            didChangeValuesAtIndexesForKey(change.kind, indexes, activeExecutionSignalsKey());
            if (change.kind == NSKeyValueChangeInsertion) {
                state.added->sendNext(change.signal);
            }
            if (active != state.anyActiveSent) {
                state.anyActiveSent = active;
                state.anyActive->sendNext(NSNumber::numberWithBool(active));
            }
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
