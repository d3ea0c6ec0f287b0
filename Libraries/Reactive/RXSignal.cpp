// RXSignal: creation, the subscribe family, the primitives (bind, concat, zipWith, defer) and the
// stream operators. The value-by-value stream operators (map, filter, take, ...) run directly on the
// source's subscription instead of binding a one-value signal per value: same events, names and
// disposal, no extra subscription per value, and values never leave the thread that sent them.
#include <Reactive/RXSignal.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSError.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/RXDynamicSignal.h>
#include <Reactive/RXEmptySignal.h>
#include <Reactive/RXErrorSignal.h>
#include <Reactive/RXOperatorSubscriber.h>
#include <Reactive/RXReturnSignal.h>
#include <Reactive/RXSerialDisposable.h>
#include <Reactive/RXTuple.h>
#include <Reactive/RXTupleNil.h>
#include <Runtime/ClassBuilder.h>

#include <deque>
#include <mutex>

NS_IMPLEMENT_CLASS(RXSignal, RXStream) {
    b.classMethod("empty", [] { return RXSignal::empty(); });
    b.classMethod("never", [] { return RXSignal::never(); });
    b.classMethod("return:", [](const id& value) { return RXSignal::return_(value); });
    b.classMethod("error:", [](const Ref<NSError>& error) { return RXSignal::error(error); });
}

const Ref<NSString>& RXSignalErrorDomain() {
    static const Ref<NSString> domain = NSString::from("RXSignalErrorDomain");
    return domain;
}

// ---- Creation ----

Ref<RXSignal> RXSignal::createSignal(RXSignalCreateBlock didSubscribe) {
    return RXDynamicSignal::createSignal(std::move(didSubscribe));
}

Ref<RXSignal> RXSignal::empty() {
    return RXEmptySignal::empty();
}

Ref<RXSignal> RXSignal::error(const Ref<NSError>& error) {
    return RXErrorSignal::error(error);
}

Ref<RXSignal> RXSignal::return_(const id& value) {
    return RXReturnSignal::return_(value);
}

Ref<RXSignal> RXSignal::never() {
    return createSignal([](const Ref<RXSubscriber>&) -> Ref<RXDisposable> { return nullptr; })->named("+never");
}

Ref<RXSignal> RXSignal::defer(std::function<Ref<RXSignal>()> block) {
    return createSignal([block](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               Ref<RXSignal> signal = block ? block() : nullptr;
               return signal ? signal->subscribe(subscriber) : nullptr;
           })
        ->named("+defer:");
}

// ---- Subscribing ----

Ref<RXDisposable> RXSignal::subscribe(const Ref<RXSubscriber>&) {
    return nullptr;
}

Ref<RXDisposable> RXSignal::subscribeBlocks(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed) {
    return subscribe(
        RXBlockSubscriber::subscriberWithNextErrorCompleted(std::move(next), std::move(error), std::move(completed)));
}

Ref<RXDisposable> RXSignal::subscribeNext(RXNextBlock next) {
    return subscribeBlocks(std::move(next), nullptr, nullptr);
}

Ref<RXDisposable> RXSignal::subscribeNextCompleted(RXNextBlock next, RXCompletedBlock completed) {
    return subscribeBlocks(std::move(next), nullptr, std::move(completed));
}

Ref<RXDisposable> RXSignal::subscribeNextErrorCompleted(RXNextBlock next, RXErrorBlock error,
                                                        RXCompletedBlock completed) {
    return subscribeBlocks(std::move(next), std::move(error), std::move(completed));
}

Ref<RXDisposable> RXSignal::subscribeError(RXErrorBlock error) {
    return subscribeBlocks(nullptr, std::move(error), nullptr);
}

Ref<RXDisposable> RXSignal::subscribeCompleted(RXCompletedBlock completed) {
    return subscribeBlocks(nullptr, nullptr, std::move(completed));
}

Ref<RXDisposable> RXSignal::subscribeNextError(RXNextBlock next, RXErrorBlock error) {
    return subscribeBlocks(std::move(next), std::move(error), nullptr);
}

Ref<RXDisposable> RXSignal::subscribeErrorCompleted(RXErrorBlock error, RXCompletedBlock completed) {
    return subscribeBlocks(nullptr, std::move(error), std::move(completed));
}

Ref<NSString> RXSignal::description() const {
    return NSString::stringWithFormat("<%@: %p> name: %@", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), name());
}

std::vector<Ref<RXSignal>> RXSignal::signalsOfArray(const Ref<NSArray>& signals) {
    std::vector<Ref<RXSignal>> result;
    if (!signals) {
        return result;
    }
    result.reserve(signals->count());
    for (const id& element : *signals) {
        auto signal = cast<RXSignal>(element);
        if (!signal) {
            NSException::raise(NSInvalidArgumentException, "RXSignal: " + NSDescription(element)->str() +
                                                               " in a collection of signals is not a signal");
        }
        result.push_back(std::move(signal));
    }
    return result;
}

Ref<NSArray> RXSignal::arrayOfSignals(const std::vector<Ref<RXSignal>>& signals) {
    return NSArray::arrayWithRefs(signals);
}

// ---- Stream hooks ----

Ref<RXStream> RXSignal::emptyStream() const {
    return RXSignal::empty();
}

Ref<RXStream> RXSignal::returnStream(const id& value) const {
    return RXSignal::return_(value);
}

Ref<RXStream> RXSignal::bindStream(std::function<RXStreamBindBlock()> block) {
    return bind([block]() -> RXSignalBindBlock {
        RXStreamBindBlock bindingBlock = block();
        return [bindingBlock](const id& value, bool* stop) -> Ref<RXSignal> {
            Ref<RXStream> stream = bindingBlock(value, stop);
            if (stream && !cast<RXSignal>(stream)) {
                NSException::raise(NSInvalidArgumentException, "-bind: a signal's binding block returned " +
                                                                   NSDescription(id(stream))->str() +
                                                                   ", which is not a signal");
            }
            return cast<RXSignal>(stream);
        };
    });
}

Ref<RXStream> RXSignal::concatStream(const Ref<RXStream>& stream) {
    auto signal = cast<RXSignal>(stream);
    if (stream && !signal) {
        NSException::raise(NSInvalidArgumentException,
                           "-concat: " + NSDescription(id(stream))->str() + " is not a signal");
    }
    return concat(signal);
}

Ref<RXStream> RXSignal::zipWithStream(const Ref<RXStream>& stream) {
    auto signal = cast<RXSignal>(stream);
    if (stream && !signal) {
        NSException::raise(NSInvalidArgumentException,
                           "-zipWith: " + NSDescription(id(stream))->str() + " is not a signal");
    }
    return zipWith(signal);
}

// ---- Primitives ----

namespace {
// One subscription to bind: how many signals it still waits for (the receiver and every live
// inner signal). Only their number matters, so the state holds no signal: an inner signal's
// subscription must not keep the signal (and what it captured) alive.
struct BindState {
    rx_detail::RecursiveLockWord lock;
    NSUInteger active = 1; // guarded by lock
    RXSignalBindBlock bindingBlock;
    Ref<RXSubscriber> downstream;
    Ref<RXCompoundDisposable> compound; // the operator's subscription: every other one is in it

    // A signal finished (`finished`: an inner signal's subscription, nil for the receiver): the
    // completion goes out once none is left.
    void finishOne(const Ref<RXCompoundDisposable>& finished) {
        {
            rx_detail::LockWordGuard guard(lock);
            if (--active == 0) {
                downstream->sendCompleted();
                compound->dispose();
                return;
            }
        }
        if (finished) {
            compound->removeDisposable(finished);
            finished->dispose();
        }
    }
    void fail(const Ref<NSError>& error) {
        compound->dispose(); // every other subscription first
        downstream->sendError(error);
    }
};

// An inner signal's events: values pass straight on (the downstream subscriber serialises what
// several inner signals send at once).
struct BindInnerStep {
    std::shared_ptr<BindState> state;
    void next(const id& value, rx_detail::OperatorSubscriberBase& op) { op.forwardNext(value); }
    void error(const Ref<NSError>& error, rx_detail::OperatorSubscriberBase&) { state->fail(error); }
    void completed(rx_detail::OperatorSubscriberBase& op) { state->finishOne(op.outer()); }
};

// The receiver's events: each value is bound to a signal, subscribed at once.
struct BindSourceStep {
    std::shared_ptr<BindState> state;
    bool stopped = false; // by the binding block: the receiver's later events count no more
    void next(const id& value, rx_detail::OperatorSubscriberBase& op) {
        if (stopped) {
            return;
        }
        bool stop = false;
        Ref<RXSignal> signal = state->bindingBlock ? state->bindingBlock(value, &stop) : nullptr;
        if (signal) {
            {
                rx_detail::LockWordGuard guard(state->lock);
                ++state->active;
            }
            auto inner = make<RXCompoundDisposable>();
            state->compound->addDisposable(inner);
            rx_detail::subscribeStep(signal, state->downstream, inner, BindInnerStep{state});
        }
        if (!signal || stop) {
            stopped = true;
            op.endSource();
            state->finishOne(nullptr);
        }
    }
    void error(const Ref<NSError>& error, rx_detail::OperatorSubscriberBase&) {
        if (!stopped) {
            state->fail(error);
        }
    }
    void completed(rx_detail::OperatorSubscriberBase&) {
        if (!stopped) {
            stopped = true;
            state->finishOne(nullptr);
        }
    }
};
} // namespace

Ref<RXSignal> RXSignal::bind(std::function<RXSignalBindBlock()> block) {
    Ref<RXSignal> self(this);
    return make<rx_detail::OperatorSignal>(
               [self, block](const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer) {
                   auto state = std::make_shared<BindState>();
                   state->bindingBlock = block();
                   state->downstream = downstream;
                   state->compound = outer;
                   rx_detail::subscribeStep(self, downstream, outer, BindSourceStep{state});
               })
        ->named("[%@] -bind:", name());
}

Ref<RXSignal> RXSignal::concat(const Ref<RXSignal>& signal) {
    Ref<RXSignal> self(this);
    return createSignal([self, signal](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               // One disposable for both subscriptions, whichever order they come in.
               auto disposable = make<RXCompoundDisposable>();
               disposable->addDisposable(rx_detail::subscribeNextErrorCompleted(
                   self, [subscriber](const id& value) { subscriber->sendNext(value); },
                   [subscriber](const Ref<NSError>& error) { subscriber->sendError(error); },
                   [subscriber, signal, disposable] {
                       if (signal) {
                           disposable->addDisposable(signal->subscribe(subscriber));
                       } else {
                           subscriber->sendCompleted();
                       }
                   }));
               return disposable;
           })
        ->named("[%@] -concat: %@", name(), signal);
}

namespace {
// One subscription to a zip: the values each source sent that are not paired yet, under one lock
// for all the sources' events.
struct ZipAllState : rx_detail::CombiningState {
    std::vector<std::deque<id>> queues; // nil as RXTupleNil
    std::vector<bool> completed;
    std::vector<id> row; // the values of the tuple being sent

    // With the lock held: no source that completed has a value left to pair.
    bool exhausted() const {
        for (size_t i = 0; i < queues.size(); ++i) {
            if (completed[i] && queues[i].empty()) {
                return true;
            }
        }
        return false;
    }
};

struct ZipAllStep : rx_detail::CombiningStep<ZipAllState> {
    void next(const id& value, rx_detail::OperatorSubscriberBase& op) {
        rx_detail::LockWordGuard guard(state->lock);
        if (state->done) {
            return;
        }
        auto& queues = state->queues;
        queues[index].push_back(RXTupleNil::wrap(value));
        for (const auto& queue : queues) {
            if (queue.empty()) {
                return;
            }
        }
        for (size_t i = 0; i < queues.size(); ++i) {
            state->row[i] = std::move(queues[i].front());
            queues[i].pop_front();
        }
        Ref<RXTuple> tuple = state->tuple.update(state->row, std::vector<id>::size_type(-1));
        for (auto& item : state->row) {
            item = nullptr; // the tuple holds them now
        }
        op.forwardNext(tuple);
        if (!state->done && state->exhausted()) {
            state->complete(op.downstream());
        }
    }
    void completed(rx_detail::OperatorSubscriberBase& op) {
        rx_detail::LockWordGuard guard(state->lock);
        if (state->done) {
            return;
        }
        state->completed[index] = true;
        if (state->queues[index].empty()) {
            state->complete(op.downstream());
        }
    }
};

// The tuples of the sources' n-th values, n = 1, 2, ...: one flat tuple per event, the previous
// one reused when the subscriber did not keep it. Completes once a source that completed has no
// value left to pair.
Ref<RXSignal> zipAll(const std::vector<Ref<RXSignal>>& signals) {
    return make<rx_detail::OperatorSignal>(
        [signals](const Ref<RXSubscriber>& downstream, const Ref<RXCompoundDisposable>& outer) {
            const size_t count = signals.size();
            auto state = std::make_shared<ZipAllState>();
            state->queues.resize(count);
            state->completed.assign(count, false);
            state->row.resize(count);
            rx_detail::subscribeCombining<ZipAllStep>(signals, downstream, outer, state);
        },
        true); // every event goes out under the state's lock
}
} // namespace

// The pairs of both signals' n-th values; without a signal to pair with, nothing is sent and the
// result completes once the receiver has (a value never finds its pair).
Ref<RXSignal> RXSignal::zipWith(const Ref<RXSignal>& signal) {
    return zipAll({Ref<RXSignal>(this), signal ? signal : RXSignal::never()})
        ->named("[%@] -zipWith: %@", name(), signal);
}

// ---- Stream operators ----

namespace {
using Op = rx_detail::OperatorSubscriberBase;

// A value-by-value step: F answers false to finish (the source's subscription ends, then the
// completion goes out).
template <class F>
struct ValueStep {
    F f;
    void next(const id& value, Op& op) {
        if (!f(value, op)) {
            op.finish();
        }
    }
};

template <class Factory>
Ref<RXSignal> stepSignal(const Ref<RXSignal>& source, Factory factory) {
    return rx_detail::operatorSignal(source, [factory] { return ValueStep<decltype(factory())>{factory()}; });
}
} // namespace

Ref<RXSignal> RXSignal::flattenMap(std::function<Ref<RXSignal>(const id& value)> block) {
    return bind([block] {
               return RXSignalBindBlock([block](const id& value, bool*) -> Ref<RXSignal> {
                   Ref<RXSignal> signal = block(value);
                   return signal ? signal : RXSignal::empty();
               });
           })
        ->named("[%@] -flattenMap:", name());
}

Ref<RXSignal> RXSignal::flatten() {
    return flattenMap([](const id& value) -> Ref<RXSignal> {
               if (value && !cast<RXSignal>(value)) {
                   NSException::raise(NSInvalidArgumentException,
                                      "-flatten: the value " + NSDescription(value)->str() + " is not a signal");
               }
               return cast<RXSignal>(value);
           })
        ->named("[%@] -flatten", name());
}

Ref<RXSignal> RXSignal::map(std::function<id(const id& value)> block) {
    return stepSignal(Ref<RXSignal>(this),
                      [block] {
                          return ([block](const id& value, Op& op) {
                              op.forwardNext(block(value));
                              return true;
                          });
                      })
        ->named("[%@] -map:", name());
}

Ref<RXSignal> RXSignal::mapReplace(const id& object) {
    return map([object](const id&) { return object; })->named("[%@] -mapReplace: %@", name(), rx_description(object));
}

Ref<RXSignal> RXSignal::filter(std::function<bool(const id& value)> block) {
    return stepSignal(Ref<RXSignal>(this),
                      [block] {
                          return ([block](const id& value, Op& op) {
                              if (block(value)) {
                                  op.forwardNext(value);
                              }
                              return true;
                          });
                      })
        ->named("[%@] -filter:", name());
}

Ref<RXSignal> RXSignal::ignore(const id& value) {
    return filter([value](const id& next) { return !(next.get() == value.get() || (next && next->isEqual(value))); })
        ->named("[%@] -ignore: %@", name(), rx_description(value));
}

Ref<RXSignal> RXSignal::reduceEach(RXReduceBlock block) {
    return map([block](const id& value) -> id {
               auto tuple = cast<RXTuple>(value);
               if (!tuple) {
                   NSException::raise(NSInvalidArgumentException,
                                      "-reduceEach: the value " + NSDescription(value)->str() + " is not an RXTuple");
               }
               return RXBlockTrampoline::invokeBlockWithArguments(block, tuple);
           })
        ->named("[%@] -reduceEach:", name());
}

Ref<RXSignal> RXSignal::startWith(const id& value) {
    return RXSignal::return_(value)
        ->concat(Ref<RXSignal>(this))
        ->named("[%@] -startWith: %@", name(), rx_description(value));
}

Ref<RXSignal> RXSignal::skip(NSUInteger count) {
    return stepSignal(Ref<RXSignal>(this),
                      [count] {
                          return ([count, skipped = NSUInteger(0)](const id& value, Op& op) mutable {
                              if (skipped < count) {
                                  ++skipped;
                              } else {
                                  op.forwardNext(value);
                              }
                              return true;
                          });
                      })
        ->named("[%@] -skip: %lu", name(), count);
}

Ref<RXSignal> RXSignal::take(NSUInteger count) {
    if (count == 0) {
        return RXSignal::empty();
    }
    return stepSignal(Ref<RXSignal>(this),
                      [count] {
                          return ([count, taken = NSUInteger(0)](const id& value, Op& op) mutable {
                              op.forwardNext(value);
                              return ++taken < count;
                          });
                      })
        ->named("[%@] -take: %lu", name(), count);
}

Ref<RXSignal>
RXSignal::scanWithStartReduceWithIndex(const id& start,
                                       std::function<id(const id& running, const id& next, NSUInteger index)> block) {
    return stepSignal(Ref<RXSignal>(this),
                      [start, block] {
                          return ([block, running = start, index = NSUInteger(0)](const id& value, Op& op) mutable {
                              running = block(running, value, index++);
                              op.forwardNext(running);
                              return true;
                          });
                      })
        ->named("[%@] -scanWithStart: %@ reduceWithIndex:", name(), rx_description(start));
}

Ref<RXSignal> RXSignal::scanWithStartReduce(const id& start,
                                            std::function<id(const id& running, const id& next)> block) {
    return scanWithStartReduceWithIndex(
               start, [block](const id& running, const id& next, NSUInteger) { return block(running, next); })
        ->named("[%@] -scanWithStart: %@ reduce:", name(), rx_description(start));
}

Ref<RXSignal> RXSignal::scanWithStartCombine(const id& start,
                                             std::function<id(const id& running, const id& next)> block) {
    return scanWithStartReduce(start, std::move(block));
}

Ref<RXSignal> RXSignal::combinePreviousWithStartReduce(const id& start,
                                                       std::function<id(const id& previous, const id& current)> block) {
    return stepSignal(Ref<RXSignal>(this),
                      [start, block] {
                          return ([block, previous = start](const id& value, Op& op) mutable {
                              id combined = block(previous, value);
                              previous = value;
                              op.forwardNext(combined);
                              return true;
                          });
                      })
        ->named("[%@] -combinePreviousWithStart: %@ reduce:", name(), rx_description(start));
}

Ref<RXSignal> RXSignal::mapPreviousWithStartReduce(const id& start,
                                                   std::function<id(const id& previous, const id& current)> block) {
    return combinePreviousWithStartReduce(start, std::move(block));
}

Ref<RXSignal> RXSignal::takeUntilBlock(std::function<bool(const id& value)> predicate) {
    return stepSignal(Ref<RXSignal>(this),
                      [predicate] {
                          return ([predicate](const id& value, Op& op) {
                              if (predicate(value)) {
                                  return false;
                              }
                              op.forwardNext(value);
                              return true;
                          });
                      })
        ->named("[%@] -takeUntilBlock:", name());
}

Ref<RXSignal> RXSignal::takeWhileBlock(std::function<bool(const id& value)> predicate) {
    return takeUntilBlock([predicate](const id& value) { return !predicate(value); })
        ->named("[%@] -takeWhileBlock:", name());
}

Ref<RXSignal> RXSignal::skipUntilBlock(std::function<bool(const id& value)> predicate) {
    return stepSignal(Ref<RXSignal>(this),
                      [predicate] {
                          return ([predicate, skipping = true](const id& value, Op& op) mutable {
                              if (skipping && predicate(value)) {
                                  skipping = false;
                              }
                              if (!skipping) {
                                  op.forwardNext(value);
                              }
                              return true;
                          });
                      })
        ->named("[%@] -skipUntilBlock:", name());
}

Ref<RXSignal> RXSignal::skipWhileBlock(std::function<bool(const id& value)> predicate) {
    return skipUntilBlock([predicate](const id& value) { return !predicate(value); })
        ->named("[%@] -skipWhileBlock:", name());
}

Ref<RXSignal> RXSignal::distinctUntilChanged() {
    return stepSignal(Ref<RXSignal>(this),
                      [] {
                          return ([last = id(), first = true](const id& value, Op& op) mutable {
                              if (!first && (value.get() == last.get() || (value && value->isEqual(last)))) {
                                  return true;
                              }
                              first = false;
                              last = value;
                              op.forwardNext(value);
                              return true;
                          });
                      })
        ->named("[%@] -distinctUntilChanged", name());
}

Ref<RXSignal> RXSignal::sequenceMany(std::function<Ref<RXSignal>()> block) {
    return flattenMap([block](const id&) { return block(); })->named("[%@] -sequenceMany:", name());
}

Ref<RXSignal> RXSignal::ignoreValues() {
    return filter([](const id&) { return false; })->named("[%@] -ignoreValues", name());
}

Ref<RXSignal>
RXSignal::joinBlock(const std::vector<Ref<RXSignal>>& signals,
                    std::function<Ref<RXSignal>(const Ref<RXSignal>& left, const Ref<RXSignal>& right)> block) {
    if (signals.empty()) {
        return RXSignal::empty();
    }
    Ref<RXSignal> current;
    for (const auto& signal : signals) {
        if (!current) {
            current = signal->map([](const id& value) { return id(RXTuple::tupleWithObjects({value})); });
        } else {
            current = block(current, signal);
        }
    }
    return current->map([](const id& value) { return flattenJoinedTuple(value); });
}

// The result is that of joining the signals pairwise with zipWith and flattening the nested pairs,
// computed in one step.
Ref<RXSignal> RXSignal::zip(const std::vector<Ref<RXSignal>>& signals) {
    if (signals.empty()) {
        return RXSignal::empty();
    }
    return zipAll(signals)->named("+zip: %@", arrayOfSignals(signals));
}

Ref<RXSignal> RXSignal::zip(const Ref<NSArray>& signals) {
    return zip(signalsOfArray(signals));
}

Ref<RXSignal> RXSignal::zipReduce(const std::vector<Ref<RXSignal>>& signals, RXReduceBlock reduceBlock) {
    Ref<RXSignal> result = zip(signals);
    if (reduceBlock) {
        result = result->reduceEach(std::move(reduceBlock));
    }
    return result->named("+zip: %@ reduce:", arrayOfSignals(signals));
}

Ref<RXSignal> RXSignal::zipReduce(const Ref<NSArray>& signals, RXReduceBlock reduceBlock) {
    return zipReduce(signalsOfArray(signals), std::move(reduceBlock));
}

Ref<RXSignal> RXSignal::concat(const std::vector<Ref<RXSignal>>& signals) {
    Ref<RXSignal> result = RXSignal::empty();
    for (const auto& signal : signals) {
        result = result->concat(signal);
    }
    return result->named("+concat: %@", arrayOfSignals(signals));
}

Ref<RXSignal> RXSignal::concat(const Ref<NSArray>& signals) {
    return concat(signalsOfArray(signals));
}
