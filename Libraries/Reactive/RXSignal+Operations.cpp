// RXSignal operators for side effects, combination and switching.
#include <Reactive/RXSignal.h>

#include <Reactive/RXInternal.h>

#include <Foundation/NSBundle.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSNumber.h>
#include <Reactive/RXMulticastConnection.h>
#include <Reactive/RXOperatorSubscriber.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXSubject.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>

#include <deque>
#include <mutex>

// ---- Side effects ----

namespace {
using Op = rx_detail::OperatorSubscriberBase;

struct DoNextStep {
    RXNextBlock block;
    void next(const id& value, Op& op) {
        if (block) {
            block(value);
        }
        op.forwardNext(value);
    }
};
struct DoErrorStep {
    RXErrorBlock block;
    void next(const id& value, Op& op) { op.forwardNext(value); }
    void error(const Ref<NSError>& error, Op& op) {
        if (block) {
            block(error);
        }
        op.forwardError(error);
    }
};
struct DoCompletedStep {
    RXCompletedBlock block;
    void next(const id& value, Op& op) { op.forwardNext(value); }
    void completed(Op& op) {
        if (block) {
            block();
        }
        op.forwardCompleted();
    }
};
} // namespace

Ref<RXSignal> RXSignal::doNext(RXNextBlock block) {
    return rx_detail::operatorSignal(Ref<RXSignal>(this), [block] { return DoNextStep{block}; })
        ->named("[%@] -doNext:", name());
}

Ref<RXSignal> RXSignal::doError(RXErrorBlock block) {
    return rx_detail::operatorSignal(Ref<RXSignal>(this), [block] { return DoErrorStep{block}; })
        ->named("[%@] -doError:", name());
}

Ref<RXSignal> RXSignal::doCompleted(RXCompletedBlock block) {
    return rx_detail::operatorSignal(Ref<RXSignal>(this), [block] { return DoCompletedStep{block}; })
        ->named("[%@] -doCompleted:", name());
}

Ref<RXSignal> RXSignal::initially(std::function<void()> block) {
    Ref<RXSignal> self(this);
    return defer([self, block] {
               if (block) {
                   block();
               }
               return self;
           })
        ->named("[%@] -initially:", name());
}

Ref<RXSignal> RXSignal::finally(std::function<void()> block) {
    return doError([block](const Ref<NSError>&) {
               if (block) {
                   block();
               }
           })
        ->doCompleted([block] {
            if (block) {
                block();
            }
        })
        ->named("[%@] -finally:", name());
}

// ---- Combination and flattening ----

namespace {
struct CombineState {
    std::recursive_mutex lock;
    id latest[2];
    bool hasValue[2] = {false, false};
    bool completed[2] = {false, false};
};
} // namespace

Ref<RXSignal> RXSignal::combineLatestWith(const Ref<RXSignal>& signal) {
    Ref<RXSignal> self(this);
    return createSignal([self, signal](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto disposable = make<RXCompoundDisposable>();
               auto state = std::make_shared<CombineState>();
               auto side = [state, subscriber](int index, const Ref<RXSignal>& source) {
                   return rx_detail::subscribeNextErrorCompleted(
                       source,
                       [state, subscriber, index](const id& value) {
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           state->latest[index] = RXTupleNil::wrap(value);
                           state->hasValue[index] = true;
                           if (state->hasValue[0] && state->hasValue[1]) {
                               subscriber->sendNext(
                                   make<RXTuple>(NSArray::arrayWithObjects({state->latest[0], state->latest[1]})));
                           }
                       },
                       [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                       [state, subscriber, index] {
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           state->completed[index] = true;
                           if (state->completed[0] && state->completed[1]) {
                               subscriber->sendCompleted();
                           }
                       });
               };
               disposable->addDisposable(side(0, self));
               if (signal) {
                   disposable->addDisposable(side(1, signal));
               }
               return disposable;
           })
        ->named("[%@] -combineLatestWith: %@", name(), signal);
}

namespace {
// One subscription to combineLatest: one lock for all the sources' events.
struct CombineAllState : rx_detail::CombiningState {
    std::vector<id> latest; // nil as RXTupleNil
    std::vector<bool> hasValue, completed;
    size_t valueCount = 0, completedCount = 0;
};

struct CombineAllStep : rx_detail::CombiningStep<CombineAllState> {
    void next(const id& value, rx_detail::OperatorSubscriberBase& op) {
        rx_detail::LockWordGuard guard(state->lock);
        if (state->done) {
            return;
        }
        state->latest[index] = RXTupleNil::wrap(value);
        if (!state->hasValue[index]) {
            state->hasValue[index] = true;
            ++state->valueCount;
        }
        if (state->valueCount == state->latest.size()) {
            op.forwardNext(state->tuple.update(state->latest, index));
        }
    }
    void completed(rx_detail::OperatorSubscriberBase& op) {
        rx_detail::LockWordGuard guard(state->lock);
        if (state->done || state->completed[index]) {
            return;
        }
        state->completed[index] = true;
        if (++state->completedCount == state->latest.size()) {
            state->complete(op.downstream());
        }
    }
};
} // namespace

// The result is that of joining the signals pairwise with combineLatestWith and flattening the
// nested pairs, computed in one step: every event makes one flat tuple instead of a pair per
// signal, and reuses the previous tuple when the subscriber did not keep it.
Ref<RXSignal> RXSignal::combineLatest(const std::vector<Ref<RXSignal>>& signals) {
    if (signals.empty()) {
        return RXSignal::empty();
    }
    std::vector<Ref<RXSignal>> copy = signals;
    return make<rx_detail::OperatorSignal>(
               [copy](const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer) {
                   const size_t count = copy.size();
                   auto state = std::make_shared<CombineAllState>();
                   state->latest.resize(count);
                   state->hasValue.assign(count, false);
                   state->completed.assign(count, false);
                   rx_detail::subscribeCombining<CombineAllStep>(copy, downstream, outer, state);
               },
               true) // every event goes out under the state's lock
        ->named("+combineLatest: %@", arrayOfSignals(signals));
}

Ref<RXSignal> RXSignal::combineLatest(const Ref<NSArray>& signals) {
    return combineLatest(signalsOfArray(signals));
}

Ref<RXSignal> RXSignal::combineLatestReduce(const std::vector<Ref<RXSignal>>& signals, RXReduceBlock reduceBlock) {
    Ref<RXSignal> result = combineLatest(signals);
    if (reduceBlock) {
        result = result->reduceEach(std::move(reduceBlock));
    }
    return result->named("+combineLatest: %@ reduce:", arrayOfSignals(signals));
}

Ref<RXSignal> RXSignal::combineLatestReduce(const Ref<NSArray>& signals, RXReduceBlock reduceBlock) {
    return combineLatestReduce(signalsOfArray(signals), std::move(reduceBlock));
}

Ref<RXSignal> RXSignal::merge(const Ref<RXSignal>& signal) {
    return merge(std::vector<Ref<RXSignal>>{Ref<RXSignal>(this), signal})->named("[%@] -merge: %@", name(), signal);
}

Ref<RXSignal> RXSignal::merge(const std::vector<Ref<RXSignal>>& signals) {
    std::vector<Ref<RXSignal>> copy = signals;
    return createSignal([copy](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               for (const auto& signal : copy) {
                   subscriber->sendNext(signal);
               }
               subscriber->sendCompleted();
               return nullptr;
           })
        ->flatten()
        ->named("+merge: %@", arrayOfSignals(signals));
}

Ref<RXSignal> RXSignal::merge(const Ref<NSArray>& signals) {
    return merge(signalsOfArray(signals));
}

namespace {
struct FlattenState;
void subscribeInner(const std::shared_ptr<FlattenState>& state, const Ref<RXSignal>& signal,
                    const Ref<RXSerialDisposable>& slot);

// The state of one subscription to flatten(maxConcurrent). A slot is claimed (counted in `active`)
// under the lock together with the check of the limit, so concurrent values and completions can never
// run more than `maxConcurrent` inner subscriptions at once. Each slot is the inner subscription's
// disposable, a member of the compound until the inner signal ends.
struct FlattenState {
    std::recursive_mutex lock;
    NSUInteger maxConcurrent = 0;
    Ref<RXCompoundDisposable> compound;
    size_t active = 0;               // claimed slots
    std::deque<Ref<RXSignal>> queue; // waiting for a slot
    bool sourceCompleted = false;
    bool completedSent = false;
    Ref<RXSubscriber> subscriber;
    // Queued signals that were given a slot when an inner signal completed, subscribed one after
    // another by the drain under way rather than from inside the completion of the one before: a
    // queue of signals that complete as soon as they are subscribed would otherwise nest a
    // subscription per signal on the stack. The drain belongs to this subscription alone, so the
    // drain of another flatten or concat (an enclosing one, or one this subscription's signals start)
    // never holds back this one's next signal.
    struct Ready {
        Ref<RXSignal> signal;
        Ref<RXSerialDisposable> slot;
    };
    std::deque<Ready> ready;
    bool draining = false;

    // With the lock held.
    void completeIfAllowed() {
        if (sourceCompleted && active == 0 && !completedSent) {
            completedSent = true;
            subscriber->sendCompleted();
        }
    }
    // With the lock held: a new slot for an inner signal.
    Ref<RXSerialDisposable> claimSlot() {
        ++active;
        return make<RXSerialDisposable>();
    }
};

// Subscribes a queued signal that has been given a slot: at once when no drain of this subscription
// is under way, else by that drain once the subscription it is making has returned (whichever thread
// the drain runs on).
void subscribeQueuedInner(const std::shared_ptr<FlattenState>& state, Ref<RXSignal> signal,
                          Ref<RXSerialDisposable> slot) {
    {
        std::lock_guard<std::recursive_mutex> guard(state->lock);
        state->ready.push_back({std::move(signal), std::move(slot)});
        if (state->draining) {
            return;
        }
        state->draining = true;
    }
    struct Reset {
        FlattenState& state;
        bool finished = false;
        ~Reset() {
            if (!finished) { // a subscription threw: what it left is dropped
                std::lock_guard<std::recursive_mutex> guard(state.lock);
                state.draining = false;
                state.ready.clear();
            }
        }
    } reset{*state};
    while (true) {
        FlattenState::Ready item;
        {
            std::lock_guard<std::recursive_mutex> guard(state->lock);
            if (state->ready.empty()) {
                state->draining = false;
                reset.finished = true;
                return;
            }
            item = std::move(state->ready.front());
            state->ready.pop_front();
        }
        if (!state->compound->isDisposed()) {
            subscribeInner(state, item.signal, item.slot);
        }
    }
}

// An inner signal's events: values pass straight on (the downstream subscriber serialises what
// several inner signals send at once), an error ends everything first, a completion frees the slot.
struct FlattenInnerStep {
    std::weak_ptr<FlattenState> weakState;
    Ref<RXSerialDisposable> slot;

    void next(const id& value, rx_detail::OperatorSubscriberBase& op) { op.forwardNext(value); }
    void error(const Ref<NSError>& error, rx_detail::OperatorSubscriberBase& op) {
        if (auto state = weakState.lock()) {
            state->compound->dispose();
        }
        op.downstream()->sendError(error);
    }
    void completed(rx_detail::OperatorSubscriberBase&) {
        auto state = weakState.lock();
        if (!state) {
            return;
        }
        Ref<RXSignal> next;
        Ref<RXSerialDisposable> nextSlot;
        {
            std::lock_guard<std::recursive_mutex> guard(state->lock);
            state->compound->removeDisposable(slot);
            --state->active;
            if (state->queue.empty()) {
                state->completeIfAllowed();
            } else {
                next = std::move(state->queue.front());
                state->queue.pop_front();
                nextSlot = state->claimSlot();
            }
        }
        slot->dispose();
        if (next) {
            subscribeQueuedInner(state, std::move(next), std::move(nextSlot));
        }
    }
};

void subscribeInner(const std::shared_ptr<FlattenState>& state, const Ref<RXSignal>& signal,
                    const Ref<RXSerialDisposable>& slot) {
    state->compound->addDisposable(slot);
    // The inner subscription's own compound, held by the slot.
    auto inner = make<RXCompoundDisposable>();
    slot->setDisposable(inner);
    auto op = make<rx_detail::OperatorSubscriber<FlattenInnerStep, false>>(state->subscriber, inner,
                                                                           FlattenInnerStep{state, slot});
    op->attach(signal->subscribe(op));
}
} // namespace

Ref<RXSignal> RXSignal::flatten(NSUInteger maxConcurrent) {
    Ref<RXSignal> self(this);
    return createSignal([self, maxConcurrent](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto state = std::make_shared<FlattenState>();
               state->maxConcurrent = maxConcurrent;
               state->compound = make<RXCompoundDisposable>();
               state->subscriber = subscriber;
               // The subscription owns the state; the inner handlers refer to it weakly.
               state->compound->addDisposable(RXDisposable::disposableWithBlock([state] {
                   std::lock_guard<std::recursive_mutex> guard(state->lock);
                   state->queue.clear();
                   state->ready.clear();
               }));
               std::weak_ptr<FlattenState> weakState = state;
               Ref<RXDisposable> sourceDisposable = rx_detail::subscribeNextErrorCompleted(
                   self,
                   [weakState](const id& value) {
                       auto state = weakState.lock();
                       auto signal = cast<RXSignal>(value);
                       if (!state || !value) {
                           return;
                       }
                       if (!signal) {
                           NSException::raise(NSInvalidArgumentException, "-flatten: the value " +
                                                                              NSDescription(value)->str() +
                                                                              " is not a signal");
                       }
                       Ref<RXSerialDisposable> slot;
                       {
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           if (state->maxConcurrent != 0 && state->active >= state->maxConcurrent) {
                               state->queue.push_back(signal);
                               return;
                           }
                           slot = state->claimSlot();
                       }
                       subscribeInner(state, signal, slot);
                   },
                   [weakState, subscriber](const Ref<NSError>& error) {
                       if (auto state = weakState.lock()) {
                           state->compound->dispose();
                       }
                       subscriber->sendError(error);
                   },
                   [weakState] {
                       if (auto state = weakState.lock()) {
                           std::lock_guard<std::recursive_mutex> guard(state->lock);
                           state->sourceCompleted = true;
                           state->completeIfAllowed();
                       }
                   });
               state->compound->addDisposable(sourceDisposable);
               return state->compound;
           })
        ->named("[%@] -flatten: %lu", name(), maxConcurrent);
}

Ref<RXSignal> RXSignal::concat() {
    return flatten(1)->named("[%@] -concat", name());
}

Ref<RXSignal> RXSignal::then(std::function<Ref<RXSignal>()> block) {
    return ignoreValues()->concat(defer(std::move(block)))->named("[%@] -then:", name());
}

// ---- Switching and cutting ----

Ref<RXSignal> RXSignal::switchToLatest() {
    Ref<RXSignal> self(this);
    return createSignal([self](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               Ref<RXMulticastConnection> connection = self->publish();
               Ref<RXSignal> shared = connection->signal();
               // The mapping block runs only while the shared signal delivers, so it holds it weakly:
               // a strong reference from the subject's own subscriber would keep both alive forever.
               Weak<RXSignal> weakShared(shared);
               Ref<RXDisposable> subscription =
                   shared
                       ->flattenMap([weakShared](const id& value) -> Ref<RXSignal> {
                           Ref<RXSignal> shared = weakShared.lock();
                           auto inner = cast<RXSignal>(value);
                           if (value && !inner) {
                               NSException::raise(NSInvalidArgumentException, "-switchToLatest: the value " +
                                                                                  NSDescription(value)->str() +
                                                                                  " is not a signal");
                           }
                           if (!inner || !shared) {
                               return nullptr;
                           }
                           return inner->takeUntil(shared->concat(RXSignal::never()));
                       })
                       ->subscribe(subscriber);
               Ref<RXDisposable> connectionDisposable = connection->connect();
               return RXDisposable::disposableWithBlock([subscription, connectionDisposable] {
                   rx_detail::dispose(subscription);
                   connectionDisposable->dispose();
               });
           })
        ->named("[%@] -switchToLatest", name());
}

Ref<RXSignal> RXSignal::switchCasesDefault(const Ref<RXSignal>& signal, const Ref<NSDictionary>& cases,
                                           const Ref<RXSignal>& defaultSignal) {
    Ref<NSDictionary> copy = cases ? cast<NSDictionary>(cases->copy()) : NSDictionary::dictionary();
    return signal
        ->map([copy, defaultSignal](const id& key) -> id {
            Ref<RXSignal> chosen = cast<RXSignal>(copy->objectForKey(RXTupleNil::wrap(key)));
            if (chosen) {
                return chosen;
            }
            if (defaultSignal) {
                return defaultSignal;
            }
            Ref<NSString> format = NSBundle::mainBundle()->localizedStringForKeyValueTable(
                NSString::from("No matching signal found for value %@"), NSString::from(""), nullptr);
            auto userInfo = NSDictionary::dictionaryWithEntries(
                {{NSLocalizedDescriptionKey(), NSString::stringWithFormat(format->str(), key)}});
            return RXSignal::error(
                NSError::errorWithDomainCodeUserInfo(RXSignalErrorDomain(), RXSignalErrorNoMatchingCase, userInfo));
        })
        ->switchToLatest()
        ->named("+switch: %@ cases: %@ default: %@", signal, copy, defaultSignal);
}

Ref<RXSignal> RXSignal::ifThenElse(const Ref<RXSignal>& boolSignal, const Ref<RXSignal>& trueSignal,
                                   const Ref<RXSignal>& falseSignal) {
    return boolSignal
        ->map([trueSignal, falseSignal](const id& value) -> id {
            auto number = cast<NSNumber>(value);
            if (value && !number) {
                NSException::raise(NSInvalidArgumentException,
                                   "+if:then:else: the value " + NSDescription(value)->str() + " is not an NSNumber");
            }
            return (number && number->boolValue()) ? trueSignal : falseSignal;
        })
        ->switchToLatest()
        ->named("+if: %@ then: %@ else: %@", boolSignal, trueSignal, falseSignal);
}

Ref<RXSignal> RXSignal::takeUntil(const Ref<RXSignal>& trigger) {
    Ref<RXSignal> self(this);
    return createSignal([self, trigger](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto disposable = make<RXCompoundDisposable>();
               auto triggered = [disposable, subscriber] {
                   disposable->dispose();
                   subscriber->sendCompleted();
               };
               if (trigger) {
                   disposable->addDisposable(rx_detail::subscribeNextCompleted(
                       trigger, [triggered](const id&) { triggered(); }, triggered));
               }
               if (!disposable->isDisposed()) {
                   disposable->addDisposable(rx_detail::subscribeNextErrorCompleted(
                       self, [subscriber](const id& value) { subscriber->sendNext(value); },
                       [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                       [disposable, subscriber] {
                           disposable->dispose();
                           subscriber->sendCompleted();
                       }));
               }
               return disposable;
           })
        ->named("[%@] -takeUntil: %@", name(), trigger);
}

Ref<RXSignal> RXSignal::takeUntilReplacement(const Ref<RXSignal>& replacement) {
    Ref<RXSignal> self(this);
    return createSignal([self, replacement](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto selfDisposable = make<RXSerialDisposable>();
        Ref<RXSignal> other = replacement ? replacement : RXSignal::never();
        Ref<RXDisposable> replacementDisposable = rx_detail::subscribeNextErrorCompleted(
            other,
            [selfDisposable, subscriber](const id& value) {
                selfDisposable->dispose();
                subscriber->sendNext(value);
            },
            [selfDisposable, subscriber](const Ref<NSError>& error) {
                selfDisposable->dispose();
                subscriber->sendError(error);
            },
            [selfDisposable, subscriber] {
                selfDisposable->dispose();
                subscriber->sendCompleted();
            });
        if (!selfDisposable->isDisposed()) {
            selfDisposable->setDisposable(self->concat(RXSignal::never())->subscribe(subscriber));
        }
        return RXDisposable::disposableWithBlock([selfDisposable, replacementDisposable] {
            selfDisposable->dispose();
            rx_detail::dispose(replacementDisposable);
        });
    });
}

namespace {
struct SampleState {
    std::mutex lock;
    id latest;
    bool hasValue = false;
};
} // namespace

Ref<RXSignal> RXSignal::sample(const Ref<RXSignal>& sampler) {
    Ref<RXSignal> self(this);
    return createSignal([self, sampler](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto state = std::make_shared<SampleState>();
               auto samplerDisposable = make<RXSerialDisposable>();
               auto sourceDisposable = make<RXSerialDisposable>();
               sourceDisposable->setDisposable(rx_detail::subscribeNextErrorCompleted(
                   self,
                   [state](const id& value) {
                       std::lock_guard<std::mutex> guard(state->lock);
                       state->latest = value;
                       state->hasValue = true;
                   },
                   [samplerDisposable, subscriber](const Ref<NSError>& error) {
                       samplerDisposable->dispose();
                       subscriber->sendError(error);
                   },
                   [samplerDisposable, subscriber] {
                       samplerDisposable->dispose();
                       subscriber->sendCompleted();
                   }));
               samplerDisposable->setDisposable(rx_detail::subscribeNextErrorCompleted(
                   sampler,
                   [state, subscriber](const id&) {
                       id value;
                       bool hasValue;
                       {
                           std::lock_guard<std::mutex> guard(state->lock);
                           value = state->latest;
                           hasValue = state->hasValue;
                       }
                       if (hasValue) {
                           subscriber->sendNext(value);
                       }
                   },
                   [sourceDisposable, subscriber](const Ref<NSError>& error) {
                       sourceDisposable->dispose();
                       subscriber->sendError(error);
                   },
                   [sourceDisposable, subscriber] {
                       sourceDisposable->dispose();
                       subscriber->sendCompleted();
                   }));
               return RXDisposable::disposableWithBlock([samplerDisposable, sourceDisposable] {
                   samplerDisposable->dispose();
                   sourceDisposable->dispose();
               });
           })
        ->named("[%@] -sample: %@", name(), sampler);
}
