#include "ReactiveTestSupport.h"

#include <functional>

using namespace rxtest;

TEST(RXSignalTakeUntil, ATriggerValueCompletesAndDisposesTheSource) {
    auto source = RXSubject::subject();
    auto trigger = RXSubject::subject();
    Recorder r;
    r.subscribe(source->takeUntil(trigger));
    source->sendNext(box(1));
    trigger->sendNext(RXUnit::defaultUnit());
    source->sendNext(box(2));
    EXPECT_EQ(r.events(), (Events{"1", "completed"}));
    EXPECT_TRUE(source->subscribers().empty());
    EXPECT_TRUE(trigger->subscribers().empty());
}

TEST(RXSignalTakeUntil, ASynchronousTriggerNeverSubscribesToTheSource) {
    bool subscribed = false;
    auto source = RXSignal::defer([&] {
        subscribed = true;
        return RXSignal::never();
    });
    Recorder r;
    r.subscribe(source->takeUntil(RXSignal::return_(box(1))));
    EXPECT_FALSE(subscribed);
    EXPECT_EQ(r.events(), (Events{"completed"}));
}

TEST(RXSignalTakeUntil, TriggerCompletionCountsAndTriggerErrorsAreIgnored) {
    auto source = RXSubject::subject();
    Recorder completedByTrigger, ignoringErrors;
    completedByTrigger.subscribe(source->takeUntil(RXSignal::empty()));
    auto failingTrigger = RXSubject::subject();
    ignoringErrors.subscribe(source->takeUntil(failingTrigger));
    failingTrigger->sendError(makeError(1));
    source->sendNext(box(1));
    source->sendCompleted();
    EXPECT_EQ(completedByTrigger.events(), (Events{"completed"}));
    EXPECT_EQ(ignoringErrors.events(), (Events{"1", "completed"}));
}

TEST(RXSignalTakeUntilReplacement, SwitchesToTheReplacementAndHoldsTheSourcesCompletion) {
    auto source = RXSubject::subject();
    auto replacement = RXSubject::subject();
    Recorder r;
    r.subscribe(source->takeUntilReplacement(replacement));
    source->sendNext(box(1));
    source->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"1"}));
    replacement->sendNext(box(2));
    replacement->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"1", "2", "completed"}));
}

TEST(RXSignalCombineLatest, WaitsForEveryInputThenSendsTheLatestOfEach) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    Recorder r;
    r.subscribe(RXSignal::combineLatest({a, b}));
    a->sendNext(box(1));
    a->sendNext(box(2));
    b->sendNext("x"_ns);
    a->sendNext(nullptr);
    b->sendNext("y"_ns);
    a->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"(2,x)", "(nil,x)", "(nil,y)"}));
    b->sendCompleted();
    EXPECT_EQ(r.size(), 4u);
}

TEST(RXSignalCombineLatest, EmptySingleAndThreeSignals) {
    Recorder r;
    r.subscribe(RXSignal::combineLatest(std::vector<Ref<RXSignal>>{}));
    r.subscribe(RXSignal::combineLatest({values(numbers({1, 2}))}));
    auto a = RXSubject::subject(), b = RXSubject::subject(), c = RXSubject::subject();
    r.subscribe(RXSignal::combineLatest({a, b, c}));
    a->sendNext(box(1));
    b->sendNext(box(2));
    c->sendNext(box(3));
    c->sendNext(box(4));
    EXPECT_EQ(r.events(), (Events{"completed", "(1)", "(2)", "completed", "(1,2,3)", "(1,2,4)"}));
}

TEST(RXSignalCombineLatest, ReduceBlockGetsOneArgumentPerSignal) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    Recorder r;
    r.subscribe(
        RXSignal::combineLatestReduce(NSArray::arrayWithObjects({a, b}), [](bool x, bool y) { return x && y; }));
    a->sendNext(box(true));
    b->sendNext(box(false));
    b->sendNext(box(true));
    EXPECT_EQ(r.events(), (Events{"0", "1"}));
}

TEST(RXSignalCombineLatest, AWrongArgumentCountIsAClearError) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    auto combined = RXSignal::combineLatestReduce({a, b}, [](const id& x) { return x; });
    combined->subscribeNext(nullptr);
    a->sendNext(box(1));
    try {
        b->sendNext(box(2));
        FAIL() << "expected an exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
        EXPECT_NE(e.reason().find("takes 1 arguments, given 2"), std::string::npos);
    }
}

TEST(RXSignalCombineLatest, ASideCompletingWithoutAValueMeansNothingIsSent) {
    auto b = RXSubject::subject();
    Recorder r;
    r.subscribe(RXSignal::empty()->combineLatestWith(b));
    b->sendNext(box(1));
    b->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"completed"}));
}

TEST(RXSignalMerge, ForwardsEveryValueCompletesAfterAllAndEndsAtTheFirstError) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    Recorder r;
    r.subscribe(RXSignal::merge({a, b}));
    a->sendNext(box(1));
    b->sendNext(box(2));
    a->sendCompleted();
    b->sendNext(box(3));
    b->sendCompleted();
    Recorder failing;
    auto c = RXSubject::subject();
    failing.subscribe(c->merge(RXSignal::error(makeError(4))));
    c->sendNext(box(1));
    EXPECT_EQ(r.events(), (Events{"1", "2", "3", "completed"}));
    EXPECT_EQ(failing.events(), (Events{"error:4"}));
    EXPECT_TRUE(c->subscribers().empty());
}

TEST(RXSignalFlatten, TheLimitQueuesInnerSignalsUntilOneCompletes) {
    std::vector<Ref<RXSubject>> inner;
    std::vector<int> subscribed(4, 0);
    auto outer = RXSubject::subject();
    Recorder r;
    r.subscribe(outer->flatten(2));
    for (int i = 0; i < 4; ++i) {
        inner.push_back(RXSubject::subject());
        outer->sendNext(RXSignal::defer([&, i] {
            subscribed[static_cast<size_t>(i)] = 1;
            return Ref<RXSignal>(inner[static_cast<size_t>(i)]);
        }));
    }
    EXPECT_EQ(subscribed, (std::vector<int>{1, 1, 0, 0}));
    inner[1]->sendCompleted();
    EXPECT_EQ(subscribed, (std::vector<int>{1, 1, 1, 0}));
    outer->sendCompleted();
    inner[0]->sendCompleted();
    inner[2]->sendCompleted();
    EXPECT_TRUE(r.events().empty());
    inner[3]->sendNext(box(3));
    inner[3]->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"3", "completed"}));
}

TEST(RXSignalFlatten, ConcatRunsInnerSignalsStrictlyInOrder) {
    auto first = RXSubject::subject();
    Recorder r;
    auto outer = values({first, values(numbers({2, 3})), values(numbers({4}))});
    r.subscribe(outer->concat());
    first->sendNext(box(1));
    first->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"1", "2", "3", "4", "completed"}));
}

TEST(RXSignalFlatten, ConcatOfAMillionSignalsThatCompleteAtOnceKeepsTheStackFlat) {
    // Queued behind one open subject; once it completes, each of the others completes as soon as it
    // is subscribed. Subscribing each from inside the previous one's completion overflows the stack.
    constexpr long kCount = 1'000'000;
    auto first = RXSubject::subject();
    auto one = RXSignal::return_(box(1));
    auto outer = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscriber->sendNext(first);
        for (long i = 0; i < kCount; ++i) {
            subscriber->sendNext(one);
        }
        subscriber->sendCompleted();
        return nullptr;
    });
    long sum = 0;
    bool completed = false;
    outer->concat()->subscribeNextCompleted([&](const id& value) { sum += unbox<long>(value); },
                                            [&] { completed = true; });
    EXPECT_EQ(sum, 0);
    first->sendCompleted();
    EXPECT_EQ(sum, kCount);
    EXPECT_TRUE(completed);
}

namespace {
// A concatenation whose first signal sends `first` and completes only after the others were sent, so
// that the others wait in its queue and are subscribed one after another as each one completes.
Ref<RXSignal> concatenationBehindAGate(int first, std::vector<id> rest) {
    return RXSignal::createSignal([first, rest](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               auto gate = RXSubject::subject();
               subscriber->sendNext(gate);
               for (const id& signal : rest) {
                   subscriber->sendNext(signal);
               }
               gate->sendNext(box(first));
               gate->sendCompleted();
               subscriber->sendCompleted();
               return nullptr;
           })
        ->concat();
}
} // namespace

TEST(RXSignalFlatten, AConcatenationStartedFromAnotherOnesQueuedSignalDeliversEveryValueAtOnce) {
    // The outer concatenation subscribes `starter` from its queue; the concatenation that `starter`
    // subscribes must take its own queued signal (a live subject) at once, not when the outer is done.
    auto gate = RXSubject::subject();
    auto live = RXSubject::subject();
    Recorder nested, outer;
    Events afterValue, afterCompletion;
    auto starter = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        nested.subscribe(concatenationBehindAGate(1, {live}));
        live->sendNext(box(2));
        afterValue = nested.events();
        live->sendCompleted();
        afterCompletion = nested.events();
        subscriber->sendCompleted();
        return nullptr;
    });
    outer.subscribe(values({gate, starter})->concat());
    gate->sendCompleted();
    EXPECT_EQ(afterValue, (Events{"1", "2"}));
    EXPECT_EQ(afterCompletion, (Events{"1", "2", "completed"}));
    EXPECT_EQ(nested.events(), (Events{"1", "2", "completed"}));
    EXPECT_EQ(outer.events(), (Events{"completed"}));
}

TEST(RXSignalFlatten, ConcatenationsNestedInEachOthersQueuesDeliverInOrderAndCompleteAtOnce) {
    // Three levels: the outer concatenation's queued signal is a concatenation whose queued signal
    // starts a third one over a live subject. The outer two deliver to one recorder.
    auto gate = RXSubject::subject();
    auto live = RXSubject::subject();
    Recorder all, innermost;
    std::vector<Events> seen;
    auto starter = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        innermost.subscribe(concatenationBehindAGate(3, {live}));
        live->sendNext(box(4));
        seen.push_back(innermost.events());
        live->sendCompleted();
        seen.push_back(innermost.events());
        subscriber->sendNext(box(5));
        seen.push_back(all.events());
        subscriber->sendCompleted();
        return nullptr;
    });
    auto middle = concatenationBehindAGate(1, {values(numbers({2})), starter});
    all.subscribe(values({gate, middle, values(numbers({6}))})->concat());
    gate->sendCompleted();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (Events{"3", "4"}));
    EXPECT_EQ(seen[1], (Events{"3", "4", "completed"}));
    EXPECT_EQ(seen[2], (Events{"1", "2", "5"}));
    EXPECT_EQ(all.events(), (Events{"1", "2", "5", "6", "completed"}));
}

TEST(RXSignalFlatten, AConcatenationReenteredFromItsOwnQueuedSignalKeepsEveryValueInOrder) {
    // A queued signal of the first subscription sends the concatenation's source more signals and
    // subscribes a second time; each subscription runs its own signals at once, in the order sent.
    auto source = RXSubject::subject();
    auto concatenated = source->concat();
    auto gate = RXSubject::subject();
    auto live = RXSubject::subject();
    Recorder first, second;
    std::vector<Events> seen;
    auto reentering = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscriber->sendNext(box(2));
        second.subscribe(concatenated);
        source->sendNext(live); // second: subscribed at once; first: after values(3)
        live->sendNext(box(5));
        source->sendNext(values(numbers({6})));
        seen.push_back(second.events());
        live->sendCompleted(); // second runs values(6) now
        seen.push_back(second.events());
        source->sendCompleted();
        seen.push_back(second.events());
        seen.push_back(first.events());
        subscriber->sendCompleted();
        return nullptr;
    });
    first.subscribe(concatenated);
    source->sendNext(gate);
    source->sendNext(reentering);
    source->sendNext(values(numbers({3})));
    gate->sendNext(box(1));
    gate->sendCompleted();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], (Events{"5"}));
    EXPECT_EQ(seen[1], (Events{"5", "6"}));
    EXPECT_EQ(seen[2], (Events{"5", "6", "completed"}));
    EXPECT_EQ(seen[3], (Events{"1", "2"}));
    // The live subject had already completed when the first subscription reached it.
    EXPECT_EQ(first.events(), (Events{"1", "2", "3", "6", "completed"}));
    EXPECT_EQ(second.events(), (Events{"5", "6", "completed"}));
}

TEST(RXSignalFlatten, AnInnerErrorEndsEverything) {
    auto a = RXSubject::subject();
    Recorder r;
    r.subscribe(values({a, RXSignal::error(makeError(5))})->flatten(0));
    a->sendNext(box(1));
    EXPECT_EQ(r.events(), (Events{"error:5"}));
    EXPECT_TRUE(a->subscribers().empty());
}

namespace {
// The compounds' slot work of ending `count` open inner signals of `flattened(outer)`, oldest first
// (the slowest order for a search from the newest member).
uint64_t slotWorkToEndInnerSignals(size_t count, const std::function<Ref<RXSignal>(const Ref<RXSignal>&)>& flattened) {
    auto outer = RXSubject::subject();
    bool completed = false;
    auto subscription = flattened(outer)->subscribeCompleted([&] { completed = true; });
    std::vector<Ref<RXSubject>> inner;
    for (size_t i = 0; i < count; ++i) {
        inner.push_back(RXSubject::subject());
        outer->sendNext(inner.back());
    }
    outer->sendCompleted();
    uint64_t before = rx_detail::compoundSlotWorkOnThisThread();
    for (const auto& subject : inner) {
        subject->sendCompleted();
    }
    uint64_t work = rx_detail::compoundSlotWorkOnThisThread() - before;
    EXPECT_TRUE(completed);
    return work;
}
} // namespace

TEST(RXSignalFlatten, EndingInnerSignalsCostsWorkInProportionToTheirNumber) {
    std::vector<std::pair<const char*, std::function<Ref<RXSignal>(const Ref<RXSignal>&)>>> kinds = {
        {"flatten", [](const Ref<RXSignal>& outer) { return outer->flatten(); }},
        {"flatten without a limit", [](const Ref<RXSignal>& outer) { return outer->flatten(0); }},
        {"flatten with a limit above the count", [](const Ref<RXSignal>& outer) { return outer->flatten(1u << 20); }},
    };
    constexpr size_t kCount = 10000;
    for (const auto& [name, flattened] : kinds) {
        uint64_t once = slotWorkToEndInnerSignals(kCount, flattened);
        uint64_t twice = slotWorkToEndInnerSignals(2 * kCount, flattened);
        EXPECT_LT(static_cast<double>(twice), 3.0 * static_cast<double>(once)) << name;
        EXPECT_LT(twice, 40 * 2 * kCount) << name << ": slots visited per inner signal";
    }
}

TEST(RXSignalThen, RunsTheBlockOnlyAfterCompletion) {
    bool called = false;
    auto subject = RXSubject::subject();
    Recorder r;
    r.subscribe(subject->then([&] {
        called = true;
        return RXSignal::return_(box(2));
    }));
    subject->sendNext(box(1));
    EXPECT_FALSE(called);
    subject->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"2", "completed"}));
    Recorder failing;
    called = false;
    failing.subscribe(RXSignal::error(makeError(1))->then([&] {
        called = true;
        return RXSignal::empty();
    }));
    EXPECT_FALSE(called);
    EXPECT_EQ(failing.events(), (Events{"error:1"}));
}

TEST(RXSignalSwitchToLatest, ForwardsOnlyTheNewestInnerSignal) {
    auto outer = RXSubject::subject();
    auto first = RXSubject::subject(), second = RXSubject::subject();
    Recorder r;
    r.subscribe(outer->switchToLatest());
    outer->sendNext(first);
    first->sendNext(box(1));
    outer->sendNext(second);
    first->sendNext(box(2));
    second->sendNext(box(3));
    outer->sendCompleted();
    second->sendNext(box(4));
    EXPECT_EQ(r.events(), (Events{"1", "3", "4"}));
    second->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"1", "3", "4", "completed"}));
}

TEST(RXSignalSwitchCases, MapsKeysToSignalsWithDefaultAndErrorCode) {
    auto keys = RXSubject::subject();
    auto cases = NSDictionary::dictionaryWithEntries({{"a"_ns, RXSignal::return_(box(1))}});
    Recorder withDefault, withoutDefault;
    withDefault.subscribe(RXSignal::switchCasesDefault(keys, cases, RXSignal::return_(box(0))));
    Ref<NSError> error;
    RXSignal::switchCasesDefault(keys, cases, nullptr)
        ->subscribeNextError(withoutDefault.next(), [&](const Ref<NSError>& e) { error = e; });
    keys->sendNext("a"_ns);
    keys->sendNext("b"_ns);
    EXPECT_EQ(withDefault.events(), (Events{"1", "0"}));
    EXPECT_EQ(withoutDefault.events(), (Events{"1"}));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString(RXSignalErrorDomain()));
    EXPECT_EQ(error->code(), RXSignalErrorNoMatchingCase);
    EXPECT_EQ(error->localizedDescription()->str(), "No matching signal found for value b");
}

TEST(RXSignalIfThenElse, FollowsTheLatestBoolean) {
    auto condition = RXSubject::subject();
    Recorder r;
    r.subscribe(RXSignal::ifThenElse(condition, RXSignal::return_("yes"_ns), RXSignal::return_("no"_ns)));
    condition->sendNext(box(true));
    condition->sendNext(box(false));
    EXPECT_EQ(r.events(), (Events{"yes", "no"}));
}

TEST(RXSignalSample, SendsTheLatestSourceValueOnEachSamplerValue) {
    auto source = RXSubject::subject(), sampler = RXSubject::subject();
    Recorder r;
    r.subscribe(source->sample(sampler));
    sampler->sendNext(RXUnit::defaultUnit());
    source->sendNext(box(1));
    sampler->sendNext(RXUnit::defaultUnit());
    sampler->sendNext(RXUnit::defaultUnit());
    source->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"1", "1", "completed"}));
    EXPECT_TRUE(sampler->subscribers().empty());
}

TEST(RXSignalSideEffects, DoBlocksRunBeforeForwarding) {
    std::vector<std::string> log;
    auto signal =
        values(numbers({1}))->doNext([&](const id& v) { log.push_back("doNext " + text(v)); })->doCompleted([&] {
            log.push_back("doCompleted");
        });
    signal->subscribeNextCompleted([&](const id& v) { log.push_back("next " + text(v)); },
                                   [&] { log.push_back("completed"); });
    RXSignal::error(makeError(2))
        ->doError([&](const Ref<NSError>& e) { log.push_back("doError"); })
        ->subscribeError([&](const Ref<NSError>&) { log.push_back("error"); });
    EXPECT_EQ(log, (std::vector<std::string>{"doNext 1", "next 1", "doCompleted", "completed", "doError", "error"}));
}

TEST(RXSignalSideEffects, InitiallyRunsAtEachSubscriptionAndFinallyNotOnDisposal) {
    int initially = 0, finally = 0;
    auto subject = RXSubject::subject();
    auto signal = subject->initially([&] { ++initially; })->finally([&] { ++finally; });
    auto first = signal->subscribeNext(nullptr);
    auto second = signal->subscribeNext(nullptr);
    EXPECT_EQ(initially, 2);
    first->dispose();
    EXPECT_EQ(finally, 0);
    subject->sendCompleted();
    EXPECT_EQ(finally, 1);
    RXSignal::error(makeError(1))->finally([&] { ++finally; })->subscribeNext(nullptr);
    EXPECT_EQ(finally, 2);
}
