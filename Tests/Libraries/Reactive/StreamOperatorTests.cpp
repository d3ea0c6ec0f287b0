#include "ReactiveTestSupport.h"

using namespace rxtest;

namespace {
Ref<RXSignal> oneTwoThree() {
    return values(numbers({1, 2, 3}));
}
int intOf(const id& v) {
    return unbox<int>(v);
}
} // namespace

TEST(RXSignalTake, ZeroIsTheEmptySignal) {
    Recorder r;
    EXPECT_EQ(oneTwoThree()->take(0).get(), RXSignal::empty().get());
    r.subscribe(oneTwoThree()->take(0));
    EXPECT_EQ(r.events(), (Events{"completed"}));
}

TEST(RXSignalTake, DeliversTheCountThenCompletesAndDisposesTheSource) {
    auto subject = RXSubject::subject();
    bool cleanedUp = false;
    auto source = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
        auto inner = subject->subscribe(subscriber);
        return RXDisposable::disposableWithBlock([&, inner] {
            cleanedUp = true;
            inner->dispose();
        });
    });
    Ref<RXSignal> taken = source->take(2);
    Recorder first, second;
    first.subscribe(taken);
    subject->sendNext(box(1));
    subject->sendNext(box(2));
    EXPECT_TRUE(cleanedUp);
    subject->sendNext(box(3));
    EXPECT_EQ(first.events(), (Events{"1", "2", "completed"}));
    second.subscribe(oneTwoThree()->take(2)); // every subscription counts from zero
    second.subscribe(oneTwoThree()->take(2));
    EXPECT_EQ(second.events(), (Events{"1", "2", "completed", "1", "2", "completed"}));
}

TEST(RXSignalStreamOperators, SkipThenTakeAndMapFilter) {
    Recorder r;
    r.subscribe(oneTwoThree()->skip(1)->take(1));
    r.subscribe(oneTwoThree()->map([](const id& v) { return id(box(intOf(v) * 10)); })->filter([](const id& v) {
        return intOf(v) != 20;
    }));
    r.subscribe(oneTwoThree()->mapReplace("x"_ns));
    EXPECT_EQ(r.events(), (Events{"2", "completed", "10", "30", "completed", "x", "x", "x", "completed"}));
}

TEST(RXSignalStreamOperators, DistinctUntilChanged) {
    Recorder r;
    r.subscribe(values(numbers({1, 1, 2, 1}))->distinctUntilChanged());
    r.subscribe(values({nullptr, nullptr})->distinctUntilChanged());
    EXPECT_EQ(r.events(), (Events{"1", "2", "1", "completed", "nil", "completed"}));
}

TEST(RXSignalStreamOperators, TakeUntilBlockAndTakeWhileBlock) {
    Recorder r;
    r.subscribe(values(numbers({1, 2, 3, 4}))->takeUntilBlock([](const id& v) { return intOf(v) == 3; }));
    r.subscribe(values(numbers({1, 2, 3, 1}))->takeWhileBlock([](const id& v) { return intOf(v) < 3; }));
    EXPECT_EQ(r.events(), (Events{"1", "2", "completed", "1", "2", "completed"}));
}

TEST(RXSignalStreamOperators, SkipUntilBlockAndSkipWhileBlock) {
    Recorder r;
    r.subscribe(values(numbers({1, 2, 3, 1}))->skipUntilBlock([](const id& v) { return intOf(v) == 2; }));
    r.subscribe(values(numbers({1, 2, 3, 1}))->skipWhileBlock([](const id& v) { return intOf(v) < 3; }));
    EXPECT_EQ(r.events(), (Events{"2", "3", "1", "completed", "3", "1", "completed"}));
}

TEST(RXSignalStreamOperators, IgnoreDropsEqualValuesAndNilOnlyForNil) {
    Recorder r;
    r.subscribe(values({"a"_ns, NSString::from("b"), NSMutableString::stringWithString("a"_ns)})->ignore("a"_ns));
    r.subscribe(values({nullptr, box(1), nullptr})->ignore(nullptr));
    r.subscribe(values({nullptr, box(1)})->ignore(box(1)));
    EXPECT_EQ(r.events(), (Events{"b", "completed", "1", "completed", "nil", "completed"}));
}

TEST(RXSignalStreamOperators, ScanAndCombinePrevious) {
    Recorder r;
    auto add = [](const id& a, const id& b) { return id(box(intOf(a) + intOf(b))); };
    r.subscribe(oneTwoThree()->scanWithStartReduce(box(0), add));
    r.subscribe(oneTwoThree()->combinePreviousWithStartReduce(box(0), add));
    r.subscribe(
        oneTwoThree()->scanWithStartReduceWithIndex(box(0), [](const id& running, const id& next, NSUInteger i) {
            return id(box(intOf(running) + intOf(next) * static_cast<int>(i)));
        }));
    EXPECT_EQ(r.events(), (Events{"1", "3", "6", "completed", "1", "3", "5", "completed", "0", "2", "8", "completed"}));
}

TEST(RXSignalStreamOperators, StartWithReduceEachAndIgnoreValues) {
    Recorder r;
    r.subscribe(oneTwoThree()->startWith(box(0)));
    r.subscribe(
        RXSignal::zip({oneTwoThree(), oneTwoThree()})->reduceEach([](const Ref<NSNumber>& a, const Ref<NSNumber>& b) {
            return a->intValue() * b->intValue();
        }));
    r.subscribe(oneTwoThree()->ignoreValues());
    EXPECT_EQ(r.events(), (Events{"0", "1", "2", "3", "completed", "1", "4", "9", "completed", "completed"}));
}

TEST(RXSignalStreamOperators, FlattenMapForwardsInnerValuesAndANilResultIsEmpty) {
    Recorder r;
    r.subscribe(oneTwoThree()->flattenMap([](const id& v) -> Ref<RXSignal> {
        if (intOf(v) == 2) {
            return nullptr;
        }
        return values({v, v});
    }));
    EXPECT_EQ(r.events(), (Events{"1", "1", "3", "3", "completed"}));
}

TEST(RXSignalStreamOperators, SequenceManyReplacesEveryValue) {
    Recorder r;
    r.subscribe(values(numbers({1, 2}))->sequenceMany([] { return RXSignal::return_("x"_ns); }));
    EXPECT_EQ(r.events(), (Events{"x", "x", "completed"}));
}

TEST(RXSignalStreamOperators, ErrorsPassThroughTheValueOperators) {
    auto failing = RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscriber->sendNext(box(1));
        subscriber->sendError(makeError(2));
        return nullptr;
    });
    Recorder r;
    r.subscribe(failing->map([](const id& v) { return v; })->filter([](const id&) { return true; })->take(5));
    EXPECT_EQ(r.events(), (Events{"1", "error:2"}));
}

TEST(RXSignalZip, PairsTheNthValuesAndCompletesWithTheShorterSide) {
    Recorder r;
    r.subscribe(oneTwoThree()->zipWith(values({"a"_ns, "b"_ns})));
    r.subscribe(values({nullptr})->zipWith(values({box(1)})));
    EXPECT_EQ(r.events(), (Events{"(1,a)", "(2,b)", "completed", "(nil,1)", "completed"}));
}

TEST(RXSignalZip, ClassZipOfEmptyIsEmptyOfThreeIsFlat) {
    Recorder r;
    EXPECT_EQ(RXSignal::zip(std::vector<Ref<RXSignal>>{}).get(), RXSignal::empty().get());
    r.subscribe(RXSignal::zip({oneTwoThree(), oneTwoThree(), values({"a"_ns})}));
    r.subscribe(RXSignal::zipReduce(NSArray::arrayWithObjects({oneTwoThree(), oneTwoThree()}),
                                    [](const id& a, const id& b) { return box(intOf(a) + intOf(b)); }));
    EXPECT_EQ(r.events(), (Events{"(1,1,a)", "completed", "2", "4", "6", "completed"}));
}

TEST(RXSignalConcat, SubscribesToTheNextOnlyAfterCompletionAndStopsAtAnError) {
    bool secondSubscribed = false;
    auto second = RXSignal::defer([&] {
        secondSubscribed = true;
        return RXSignal::return_(box(9));
    });
    auto subject = RXSubject::subject();
    Recorder r;
    r.subscribe(subject->concat(second));
    subject->sendNext(box(1));
    EXPECT_FALSE(secondSubscribed);
    subject->sendCompleted();
    EXPECT_TRUE(secondSubscribed);
    secondSubscribed = false;
    r.subscribe(RXSignal::error(makeError(3))->concat(second));
    EXPECT_FALSE(secondSubscribed);
    r.subscribe(RXSignal::concat({RXSignal::return_(box(1)), RXSignal::return_(box(2))}));
    EXPECT_EQ(r.events(), (Events{"1", "9", "completed", "error:3", "1", "2", "completed"}));
}

TEST(RXSignalBind, NilFromTheBindingBlockCompletesAtOnce) {
    Recorder r;
    r.subscribe(oneTwoThree()->bind(
        [] { return RXSignalBindBlock([](const id&, bool*) -> Ref<RXSignal> { return nullptr; }); }));
    EXPECT_EQ(r.events(), (Events{"completed"}));
}

TEST(RXSignalBind, CompletesOnlyAfterTheReceiverAndEveryInnerSignal) {
    auto inner = RXSubject::subject();
    Recorder r;
    r.subscribe(oneTwoThree()->bind([inner] {
        return RXSignalBindBlock([inner](const id& v, bool*) -> Ref<RXSignal> {
            return unbox<int>(v) == 2 ? Ref<RXSignal>(inner) : RXSignal::return_(v);
        });
    }));
    EXPECT_EQ(r.events(), (Events{"1", "3"}));
    inner->sendNext(box(7));
    inner->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"1", "3", "7", "completed"}));
}

TEST(RXSignalBind, TheStopFlagEndsAfterThatValuesSignal) {
    Recorder r;
    r.subscribe(oneTwoThree()->bind([] {
        return RXSignalBindBlock([](const id& v, bool* stop) -> Ref<RXSignal> {
            *stop = unbox<int>(v) == 2;
            return RXSignal::return_(v);
        });
    }));
    EXPECT_EQ(r.events(), (Events{"1", "2", "completed"}));
}

TEST(RXSignalDefer, CallsItsBlockAtEachSubscriptionOnly) {
    int calls = 0;
    auto deferred = RXSignal::defer([&] {
        ++calls;
        return RXSignal::return_(box(calls));
    });
    EXPECT_EQ(calls, 0);
    Recorder r;
    r.subscribe(deferred);
    r.subscribe(deferred);
    EXPECT_EQ(r.events(), (Events{"1", "completed", "2", "completed"}));
}

// The generic stream operators, reached through RXStream, give the same results as the signal's own.
TEST(RXStreamOperators, GenericOperatorsOverTheSignalPrimitives) {
    Ref<RXStream> stream = oneTwoThree();
    Recorder r;
    auto add = [](const id& a, const id& b) { return id(box(intOf(a) + intOf(b))); };
    auto run = [&](const Ref<RXStream>& result) { r.subscribe(cast<RXSignal>(result)); };
    run(stream->take(2));
    run(stream->skip(1)->take(1));
    run(stream->map([](const id& v) { return id(box(intOf(v) * 2)); }));
    run(stream->filter([](const id& v) { return intOf(v) % 2 == 1; }));
    run(stream->combinePreviousWithStartReduce(box(0), add));
    run(values(numbers({1, 1, 2, 1}))->RXStream::distinctUntilChanged());
    run(stream->takeUntilBlock([](const id& v) { return intOf(v) == 3; }));
    run(stream->skipWhileBlock([](const id& v) { return intOf(v) < 2; }));
    run(stream->startWith(box(0)));
    run(stream->mapReplace(box(5))->take(1));
    run(stream->ignore(box(2)));
    EXPECT_EQ(
        r.events(),
        (Events{"1",         "2", "completed", "2",         "completed", "2", "4", "6", "completed", "1", "3",
                "completed", "1", "3",         "5",         "completed", "1", "2", "1", "completed", "1", "2",
                "completed", "2", "3",         "completed", "0",         "1", "2", "3", "completed", "5", "completed",
                "1",         "3", "completed"}));
    EXPECT_FALSE(RXStream::empty());
    EXPECT_FALSE(make<RXStream>()->take(1));
}

TEST(RXStreamOperators, GenericJoinZipAndConcat) {
    Recorder r;
    Ref<RXStream> a = oneTwoThree(), b = values({"x"_ns, "y"_ns});
    r.subscribe(cast<RXSignal>(RXStream::zip({a, b})));
    r.subscribe(cast<RXSignal>(RXStream::concat({b, b})));
    r.subscribe(
        cast<RXSignal>(RXStream::zipReduce({a, a}, [](const id& x, const id& y) { return box(intOf(x) * intOf(y)); })));
    EXPECT_EQ(r.events(),
              (Events{"(1,x)", "(2,y)", "completed", "x", "y", "x", "y", "completed", "1", "4", "9", "completed"}));
}
