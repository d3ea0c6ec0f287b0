// RXSignal: a push-based stream of events: any number of values, then at most one termination,
// an error (NSError) or completion. A signal made with createSignal is cold: its block runs once
// for every subscription, and disposing the disposable that subscribe returns cancels it.
//
// Every operator returns a new cold signal; building it subscribes to nothing. Operators do not
// change threads unless they say so: events reach the subscriber on the thread on which the source
// delivered them.
#pragma once

#include <Foundation/NSDate.h>
#include <Reactive/RXBlockSubscriber.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXStream.h>
#include <Reactive/RXSubscriber.h>

#include <functional>
#include <vector>

class NSArray;
class NSDictionary;
class NSError;
class RXCommand;
class RXMulticastConnection;
class RXSequence;
class RXScheduler;
class RXSignal;
class RXSubject;

// The block of createSignal: given the subscriber, returns the subscription's clean-up or nil.
using RXSignalCreateBlock = std::function<Ref<RXDisposable>(const Ref<RXSubscriber>& subscriber)>;
// A binding block of bind: takes a value and a stop flag, returns a signal or nil.
using RXSignalBindBlock = std::function<Ref<RXSignal>(const id& value, bool* stop)>;

// The error domain of the signal library and its codes.
const Ref<NSString>& RXSignalErrorDomain();
enum : NSInteger {
    RXSignalErrorTimedOut = 1,      // timeoutOnScheduler
    RXSignalErrorNoMatchingCase = 2 // switchCasesDefault without a case or default for a key
};

class RXSignal : public RXStream {
    NS_OBJECT(RXSignal, RXStream)
public:
    RXSignal() = default;

    // ---- Creation ----
    static Ref<RXSignal> createSignal(RXSignalCreateBlock didSubscribe);
    // The shared signal that completes at once.
    static Ref<RXSignal> empty();
    static Ref<RXSignal> error(const Ref<NSError>& error);
    // Sends the value, then completes. The unit value and nil give shared signals.
    static Ref<RXSignal> return_(const id& value);
    // Sends nothing, ever.
    static Ref<RXSignal> never();
    // Calls the block at each subscription and subscribes to the signal it returns.
    static Ref<RXSignal> defer(std::function<Ref<RXSignal>()> block);

    // ---- Subscribing ----
    // Abstract here: nil. Concrete signals override it.
    virtual Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber);
    Ref<RXDisposable> subscribeNext(RXNextBlock next);
    Ref<RXDisposable> subscribeNextCompleted(RXNextBlock next, RXCompletedBlock completed);
    Ref<RXDisposable> subscribeNextErrorCompleted(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed);
    Ref<RXDisposable> subscribeError(RXErrorBlock error);
    Ref<RXDisposable> subscribeCompleted(RXCompletedBlock completed);
    Ref<RXDisposable> subscribeNextError(RXNextBlock next, RXErrorBlock error);
    Ref<RXDisposable> subscribeErrorCompleted(RXErrorBlock error, RXCompletedBlock completed);

    // "<Class: address> name: name"
    Ref<NSString> description() const override;

    // ---- Primitives ----
    Ref<RXSignal> bind(std::function<RXSignalBindBlock()> block);
    // The receiver's events, then after its completion those of `signal`.
    Ref<RXSignal> concat(const Ref<RXSignal>& signal);
    // Pairs (RXTuple) of the n-th values of the receiver and `signal`.
    Ref<RXSignal> zipWith(const Ref<RXSignal>& signal);

    // ---- Stream operators ----
    Ref<RXSignal> flattenMap(std::function<Ref<RXSignal>(const id& value)> block);
    Ref<RXSignal> flatten();
    Ref<RXSignal> map(std::function<id(const id& value)> block);
    Ref<RXSignal> mapReplace(const id& object);
    Ref<RXSignal> filter(std::function<bool(const id& value)> block);
    Ref<RXSignal> ignore(const id& value);
    Ref<RXSignal> reduceEach(RXReduceBlock block);
    Ref<RXSignal> startWith(const id& value);
    Ref<RXSignal> skip(NSUInteger count);
    Ref<RXSignal> take(NSUInteger count);
    Ref<RXSignal>
    scanWithStartReduceWithIndex(const id& start,
                                 std::function<id(const id& running, const id& next, NSUInteger index)> block);
    Ref<RXSignal> scanWithStartReduce(const id& start, std::function<id(const id& running, const id& next)> block);
    Ref<RXSignal> scanWithStartCombine(const id& start, std::function<id(const id& running, const id& next)> block);
    Ref<RXSignal> combinePreviousWithStartReduce(const id& start,
                                                 std::function<id(const id& previous, const id& current)> block);
    Ref<RXSignal> mapPreviousWithStartReduce(const id& start,
                                             std::function<id(const id& previous, const id& current)> block);
    Ref<RXSignal> takeUntilBlock(std::function<bool(const id& value)> predicate);
    Ref<RXSignal> takeWhileBlock(std::function<bool(const id& value)> predicate);
    Ref<RXSignal> skipUntilBlock(std::function<bool(const id& value)> predicate);
    Ref<RXSignal> skipWhileBlock(std::function<bool(const id& value)> predicate);
    Ref<RXSignal> distinctUntilChanged();
    Ref<RXSignal> sequenceMany(std::function<Ref<RXSignal>()> block);
    // No values pass: only the error or completion.
    Ref<RXSignal> ignoreValues();

    // Joins the signals pairwise with the block; each value of the result is one flat RXTuple.
    static Ref<RXSignal>
    joinBlock(const std::vector<Ref<RXSignal>>& signals,
              std::function<Ref<RXSignal>(const Ref<RXSignal>& left, const Ref<RXSignal>& right)> block);
    static Ref<RXSignal> zip(const std::vector<Ref<RXSignal>>& signals);
    static Ref<RXSignal> zip(const Ref<NSArray>& signals);
    static Ref<RXSignal> zipReduce(const std::vector<Ref<RXSignal>>& signals, RXReduceBlock reduceBlock);
    static Ref<RXSignal> zipReduce(const Ref<NSArray>& signals, RXReduceBlock reduceBlock);
    // Subscribes to each signal in turn when the one before has completed.
    static Ref<RXSignal> concat(const std::vector<Ref<RXSignal>>& signals);
    static Ref<RXSignal> concat(const Ref<NSArray>& signals);

    // ---- Start operations, logging and run-loop waits ----
    static Ref<RXSignal> startEagerlyWithSchedulerBlock(const Ref<RXScheduler>& scheduler,
                                                        std::function<void(const Ref<RXSubscriber>&)> block);
    static Ref<RXSignal> startLazilyWithSchedulerBlock(const Ref<RXScheduler>& scheduler,
                                                       std::function<void(const Ref<RXSubscriber>&)> block);
    // A replay subject handed to the block on the scheduler.
    static Ref<RXSignal> startWithSchedulerSubjectBlock(const Ref<RXScheduler>& scheduler,
                                                        std::function<void(const Ref<RXSubject>&)> block);
    static Ref<RXSignal> startWithSchedulerBlock(const Ref<RXScheduler>& scheduler,
                                                 std::function<id(bool* success, Ref<NSError>* error)> block);
    static Ref<RXSignal> start(std::function<id(bool* success, Ref<NSError>* error)> block);
    Ref<RXSignal> logNext();
    Ref<RXSignal> logError();
    Ref<RXSignal> logCompleted();
    Ref<RXSignal> logAll();
    // Main thread only: spins the main run loop until the first value, the end, or 10 seconds.
    id asynchronousFirstOrDefaultSuccessError(const id& defaultValue, bool* success, Ref<NSError>* error);
    bool asynchronouslyWaitUntilCompleted(Ref<NSError>* error);

    // ---- Side effects ----
    Ref<RXSignal> doNext(RXNextBlock block);
    Ref<RXSignal> doError(RXErrorBlock block);
    Ref<RXSignal> doCompleted(RXCompletedBlock block);
    Ref<RXSignal> initially(std::function<void()> block);
    Ref<RXSignal> finally(std::function<void()> block);

    // ---- Combination and flattening ----
    Ref<RXSignal> combineLatestWith(const Ref<RXSignal>& signal);
    static Ref<RXSignal> combineLatest(const std::vector<Ref<RXSignal>>& signals);
    static Ref<RXSignal> combineLatest(const Ref<NSArray>& signals);
    static Ref<RXSignal> combineLatestReduce(const std::vector<Ref<RXSignal>>& signals, RXReduceBlock reduceBlock);
    static Ref<RXSignal> combineLatestReduce(const Ref<NSArray>& signals, RXReduceBlock reduceBlock);
    Ref<RXSignal> merge(const Ref<RXSignal>& signal);
    static Ref<RXSignal> merge(const std::vector<Ref<RXSignal>>& signals);
    static Ref<RXSignal> merge(const Ref<NSArray>& signals);
    // Flattens a signal of signals with at most `maxConcurrent` inner subscriptions (0: no limit).
    Ref<RXSignal> flatten(NSUInteger maxConcurrent);
    Ref<RXSignal> concat();
    Ref<RXSignal> then(std::function<Ref<RXSignal>()> block);

    // ---- Switching and cutting ----
    Ref<RXSignal> switchToLatest();
    static Ref<RXSignal> switchCasesDefault(const Ref<RXSignal>& signal, const Ref<NSDictionary>& cases,
                                            const Ref<RXSignal>& defaultSignal);
    static Ref<RXSignal> ifThenElse(const Ref<RXSignal>& boolSignal, const Ref<RXSignal>& trueSignal,
                                    const Ref<RXSignal>& falseSignal);
    Ref<RXSignal> takeUntil(const Ref<RXSignal>& trigger);
    Ref<RXSignal> takeUntilReplacement(const Ref<RXSignal>& replacement);
    Ref<RXSignal> sample(const Ref<RXSignal>& sampler);

    // ---- Time and threads ----
    static Ref<RXSignal> intervalOnScheduler(NSTimeInterval interval, const Ref<RXScheduler>& scheduler);
    static Ref<RXSignal> intervalOnSchedulerWithLeeway(NSTimeInterval interval, const Ref<RXScheduler>& scheduler,
                                                       NSTimeInterval leeway);
    Ref<RXSignal> timeoutOnScheduler(NSTimeInterval interval, const Ref<RXScheduler>& scheduler);
    Ref<RXSignal> delay(NSTimeInterval interval);
    Ref<RXSignal> throttle(NSTimeInterval interval);
    Ref<RXSignal> throttleValuesPassingTest(NSTimeInterval interval, std::function<bool(const id& value)> predicate);
    Ref<RXSignal> bufferWithTimeOnScheduler(NSTimeInterval interval, const Ref<RXScheduler>& scheduler);
    Ref<RXSignal> deliverOn(const Ref<RXScheduler>& scheduler);
    Ref<RXSignal> subscribeOn(const Ref<RXScheduler>& scheduler);
    Ref<RXSignal> deliverOnMainThread();

    // ---- Errors, repetition, sharing and waiting ----
    Ref<RXSignal> catch_(std::function<Ref<RXSignal>(const Ref<NSError>& error)> block);
    Ref<RXSignal> catchTo(const Ref<RXSignal>& signal);
    Ref<RXSignal> try_(std::function<bool(const id& value, Ref<NSError>* error)> block);
    Ref<RXSignal> tryMap(std::function<id(const id& value, Ref<NSError>* error)> block);
    Ref<RXSignal> repeat();
    Ref<RXSignal> retry(NSUInteger retryCount);
    Ref<RXSignal> retry();
    Ref<RXMulticastConnection> multicast(const Ref<RXSubject>& subject);
    Ref<RXMulticastConnection> publish();
    Ref<RXSignal> replay();
    Ref<RXSignal> replayLast();
    Ref<RXSignal> replayLazily();
    Ref<RXSignal> takeLast(NSUInteger count);
    // Blocking: must not be called on the thread or serial queue the receiver delivers on.
    id first();
    id firstOrDefault(const id& defaultValue);
    id firstOrDefaultSuccessError(const id& defaultValue, bool* success, Ref<NSError>* error);
    [[nodiscard]] bool waitUntilCompleted(Ref<NSError>* error);

    // ---- Aggregation and logic ----
    Ref<RXSignal>
    aggregateWithStartReduceWithIndex(const id& start,
                                      std::function<id(const id& running, const id& next, NSUInteger index)> block);
    Ref<RXSignal> aggregateWithStartReduce(const id& start, std::function<id(const id& running, const id& next)> block);
    Ref<RXSignal> aggregateWithStartFactoryReduce(std::function<id()> startFactory,
                                                  std::function<id(const id& running, const id& next)> block);
    // Negated booleans (integer NSNumbers 1 or 0).
    Ref<RXSignal> not_();
    // Each RXTuple of booleans to YES when all are YES / when any is YES.
    Ref<RXSignal> and_();
    Ref<RXSignal> or_();

    // ---- Collecting, events, grouping and binding (RXSignal+Binding.cpp) ----
    // One NSMutableArray of every value (nil as NSNull), sent on completion; a new array per subscription.
    Ref<RXSignal> collect();
    // Blocking, like `first`: the values as an immutable array once the receiver completes; nil when it errs.
    Ref<NSArray> toArray();
    // Each event as an RXEvent value, then completion; never errs. `dematerialize` is the inverse.
    Ref<RXSignal> materialize();
    Ref<RXSignal> dematerialize();
    // One NSNumber boolean, then completion: whether some value passes (an error gives NO) / whether
    // every value passes (an error gives NO; an empty receiver YES).
    Ref<RXSignal> any();
    Ref<RXSignal> any(std::function<bool(const id& value)> predicate);
    Ref<RXSignal> all(std::function<bool(const id& value)> predicate);
    // Each RXTuple (RXBlockTrampoline, arguments...) to the trampoline's block called with the arguments.
    Ref<RXSignal> reduceApply();
    // A signal of RXGroupedSignal, one per key (the key block's result, copied), in order of creation.
    Ref<RXSignal> groupByTransform(std::function<id(const id& value)> keyBlock,
                                   std::function<id(const id& value)> transformBlock);
    Ref<RXSignal> groupBy(std::function<id(const id& value)> keyBlock);
    // Subscribes at once and sets each value on the object's key path (nilValue for nil), on the thread
    // that delivers it, until the receiver ends, the object begins to deallocate or the returned
    // disposable is disposed. The object is not retained.
    Ref<RXDisposable> setKeyPathOnObjectNilValue(const Ref<NSString>& keyPath, const id& object, const id& nilValue);
    Ref<RXDisposable> setKeyPathOnObject(const Ref<NSString>& keyPath, const id& object);
    // An RXSignalSequence of the receiver's values (subscribes at once).
    Ref<RXSequence> sequence();

    // ---- Deprecated operations ----
    Ref<RXDisposable> toPropertyOnObject(const Ref<NSString>& keyPath, const id& object);
    static Ref<RXSignal> interval(NSTimeInterval interval);
    static Ref<RXSignal> intervalWithLeeway(NSTimeInterval interval, NSTimeInterval leeway);
    Ref<RXSignal> timeout(NSTimeInterval interval);
    Ref<RXSignal> bufferWithTime(NSTimeInterval interval);
    Ref<RXSignal> ignoreElements();
    Ref<RXSignal> sequenceNext(std::function<Ref<RXSignal>()> block);
    Ref<RXSignal> aggregateWithStartCombine(const id& start,
                                            std::function<id(const id& running, const id& next)> block);
    Ref<RXSignal> aggregateWithStartFactoryCombine(std::function<id()> startFactory,
                                                   std::function<id(const id& running, const id& next)> block);
    Ref<RXSignal> windowWithStartClose(const Ref<RXSignal>& openSignal,
                                       std::function<Ref<RXSignal>(const Ref<RXSubject>& window)> closeBlock);
    // Batches of `count` values as RXTuples; a count of 0 raises NSInvalidArgumentException.
    Ref<RXSignal> buffer(NSUInteger count);
    Ref<RXSignal> let(std::function<Ref<RXSignal>(const Ref<RXSignal>& signal)> block);
    // Subscribes at once and executes the command with each value; the executions' signals are
    // dropped, so a disabled command reports nothing. Returns the subscription.
    Ref<RXDisposable> executeCommand(const Ref<RXCommand>& command);

    // Helpers for the operators: a name set with setNameWithFormat, the result returned.
    template <class... Args>
    Ref<RXSignal> named(std::string_view format, const Args&... args) {
        setNameWithFormat(format, args...);
        return Ref<RXSignal>(this);
    }
    // The signals of an array (each element must be a signal; raises NSInvalidArgumentException).
    static std::vector<Ref<RXSignal>> signalsOfArray(const Ref<NSArray>& signals);
    static Ref<NSArray> arrayOfSignals(const std::vector<Ref<RXSignal>>& signals);

protected:
    // What the subscribe family subscribes: a block subscriber made for this one subscription and
    // held by nobody else. A signal class may give that subscription a cheaper form.
    virtual Ref<RXDisposable> subscribeBlocks(RXNextBlock next, RXErrorBlock error, RXCompletedBlock completed);

    Ref<RXStream> emptyStream() const override;
    Ref<RXStream> returnStream(const id& value) const override;
    Ref<RXStream> bindStream(std::function<RXStreamBindBlock()> block) override;
    Ref<RXStream> concatStream(const Ref<RXStream>& stream) override;
    Ref<RXStream> zipWithStream(const Ref<RXStream>& stream) override;
};
