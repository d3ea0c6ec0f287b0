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

RXCommand::RXCommand(RXCommandSignalBlock signalBlock) : RXCommand(nullptr, std::move(signalBlock)) {}

RXCommand::RXCommand(const Ref<RXSignal>& enabledSignal, RXCommandSignalBlock signalBlock)
    : signalBlock_(std::move(signalBlock)) {
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
    // change notification: that notification is posted under the command's monitor, and an
    // execution's replay subject takes its own lock when subscribed to and when it completes (and
    // its completion takes the monitor to end the execution). Replay subjects keep their error, so
    // nothing is missed by subscribing a turn later.
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
    NS_SYNCHRONIZED(this) {
        return NSArray::arrayWithRefs(activeExecutionSignals_);
    }
    return nullptr;
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
    NS_SYNCHRONIZED(this) {
        auto indexes = NSIndexSet::indexSetWithIndex(activeExecutionSignals_.size());
        willChangeValuesAtIndexesForKey(NSKeyValueChangeInsertion, indexes, activeExecutionSignalsKey());
        activeExecutionSignals_.push_back(signal);
        didChangeValuesAtIndexesForKey(NSKeyValueChangeInsertion, indexes, activeExecutionSignalsKey());
    }
}

void RXCommand::removeActiveExecutionSignal(const Ref<RXSignal>& signal) {
    std::vector<Ref<RXSignal>> removed; // released after the monitor
    NS_SYNCHRONIZED(this) {
        auto indexes = make<NSMutableIndexSet>();
        for (size_t i = 0; i < activeExecutionSignals_.size(); ++i) {
            if (activeExecutionSignals_[i].get() == signal.get()) {
                indexes->addIndex(i);
            }
        }
        if (indexes->count() == 0) {
            return;
        }
        willChangeValuesAtIndexesForKey(NSKeyValueChangeRemoval, indexes, activeExecutionSignalsKey());
        for (size_t i = activeExecutionSignals_.size(); i-- > 0;) {
            if (activeExecutionSignals_[i].get() == signal.get()) {
                removed.push_back(std::move(activeExecutionSignals_[i]));
                activeExecutionSignals_.erase(activeExecutionSignals_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        didChangeValuesAtIndexesForKey(NSKeyValueChangeRemoval, indexes, activeExecutionSignalsKey());
    }
}

Ref<RXSignal> RXCommand::execute(const id& input) {
    bool enabled = unbox<bool>(immediateEnabled_->first());
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

    Ref<RXSignal> signal = signalBlock_ ? signalBlock_(input) : nullptr;
    if (!signal) {
        NSException::raise(NSInternalInconsistencyException,
                           "RXCommand: the signal block returned nil for " + NSDescription(input)->str());
    }
    Ref<RXMulticastConnection> connection =
        signal->subscribeOn(RXScheduler::mainThreadScheduler())->multicast(RXReplaySubject::subject());

    Ref<RXSignal> execution = connection->signal();
    addActiveExecutionSignal(execution);
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
