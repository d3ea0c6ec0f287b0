#include "ReactiveTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace rxtest;

TEST(RXSignalSubscription, OnTheMainThreadTheBlockRunsBeforeSubscribeReturns) {
    Recorder recorder;
    bool ran = false;
    auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        ran = true;
        subscriber->sendNext(box(1));
        subscriber->sendCompleted();
        return nullptr;
    });
    recorder.subscribe(signal);
    EXPECT_TRUE(ran);
    EXPECT_EQ(recorder.events(), (Events{"1", "completed"}));
}

TEST(RXSignalSubscription, TheBlockRunsOncePerSubscription) {
    int runs = 0;
    auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>&) -> Ref<RXDisposable> {
        ++runs;
        return nullptr;
    });
    signal->subscribeNext(nullptr);
    signal->subscribeNext(nullptr);
    EXPECT_EQ(runs, 2);
}

TEST(RXSignalSubscription, AfterDisposalValuesAreDroppedAndTheCleanUpRanOnce) {
    Ref<RXSubscriber> captured;
    int cleanUps = 0;
    auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
        captured = subscriber;
        return RXDisposable::disposableWithBlock([&] { ++cleanUps; });
    });
    Recorder recorder;
    auto disposable = recorder.subscribe(signal);
    captured->sendNext(box(1));
    disposable->dispose();
    captured->sendNext(box(2));
    captured->sendCompleted();
    disposable->dispose();
    EXPECT_EQ(recorder.events(), (Events{"1"}));
    EXPECT_EQ(cleanUps, 1);
    captured = nullptr;
}

TEST(RXSignalSubscription, NothingIsDeliveredAfterCompletionAndTheCleanUpRunsAtCompletion) {
    int cleanUps = 0;
    int cleanUpsSeenByCompletion = -1;
    auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
        auto cleanUp = RXDisposable::disposableWithBlock([&] { ++cleanUps; });
        // Sent after the block returned, as an asynchronous source would.
        RXScheduler::mainThreadScheduler()->schedule([subscriber] {
            subscriber->sendNext(box(1));
            subscriber->sendCompleted();
            subscriber->sendNext(box(2));
            subscriber->sendError(makeError(5));
        });
        return cleanUp;
    });
    Recorder recorder;
    signal->subscribeNextErrorCompleted(recorder.next(), recorder.error(), [&] {
        cleanUpsSeenByCompletion = cleanUps;
        recorder.add("completed");
    });
    DispatchClock::runUntilIdle();
    EXPECT_EQ(recorder.events(), (Events{"1", "completed"}));
    EXPECT_EQ(cleanUps, 1);
    EXPECT_EQ(cleanUpsSeenByCompletion, 1); // the subscription ended before the block ran
}

TEST(RXSignalSubscription, NothingIsDeliveredAfterAnError) {
    auto signal = RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscriber->sendError(makeError(1));
        subscriber->sendNext(box(1));
        subscriber->sendCompleted();
        subscriber->sendError(makeError(2));
        return nullptr;
    });
    Recorder recorder;
    recorder.subscribe(signal);
    EXPECT_EQ(recorder.events(), (Events{"error:1"}));
}

TEST(RXSignalSubscription, ASubscriberWithOnlyANextBlockIgnoresTerminations) {
    Recorder recorder;
    RXSignal::error(makeError(3))->subscribeNext(recorder.next());
    RXSignal::empty()->subscribeNext(recorder.next());
    RXSignal::return_(box(7))->subscribeNext(recorder.next());
    EXPECT_EQ(recorder.events(), (Events{"7"}));
}

TEST(RXSignalSubscription, EverySubscribeVariantRoutesTheRightEvents) {
    Recorder r;
    auto value = RXSignal::return_(box(1));
    auto failing = RXSignal::error(makeError(9));
    value->subscribeNextCompleted(r.next(), r.completed());
    failing->subscribeNextError(r.next(), r.error());
    failing->subscribeError(r.error());
    value->subscribeCompleted(r.completed());
    failing->subscribeErrorCompleted(r.error(), r.completed());
    value->subscribeErrorCompleted(r.error(), r.completed());
    EXPECT_EQ(r.events(), (Events{"1", "completed", "error:9", "error:9", "completed", "error:9", "completed"}));
}

TEST(RXSignalSubscription, OffTheMainThreadWithoutACurrentSchedulerTheBlockRunsLater) {
    // The block is handed to a background queue: it never runs inside subscribeNext on the
    // subscribing thread (whether it has started by the time subscribeNext returns is up to the
    // queue).
    std::atomic<bool> ran{false};
    std::mutex lock;
    std::thread::id ranOn, subscribedOn;
    auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>&) -> Ref<RXDisposable> {
        {
            std::lock_guard<std::mutex> guard(lock);
            ranOn = std::this_thread::get_id();
        }
        ran = true;
        return nullptr;
    });
    std::thread([&] {
        {
            std::lock_guard<std::mutex> guard(lock);
            subscribedOn = std::this_thread::get_id();
        }
        signal->subscribeNext(nullptr);
    }).join();
    DispatchClock::advanceUntil([&] { return ran.load(); }, 5.0);
    ASSERT_TRUE(ran.load());
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_NE(ranOn, subscribedOn);
}

TEST(RXSignalSubscription, InsidePerformAsCurrentSchedulerTheBlockRunsAtOnceOnAnyThread) {
    bool ranBeforeReturn = false;
    std::thread([&] {
        bool ran = false;
        auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>&) -> Ref<RXDisposable> {
            ran = true;
            return nullptr;
        });
        make<RXTestScheduler>()->performAsCurrentScheduler([&] { signal->subscribeNext(nullptr); });
        ranBeforeReturn = ran;
    }).join();
    EXPECT_TRUE(ranBeforeReturn);
}

TEST(RXSignalSubscription, ABlockReturningNilAndANilSubscriberBlockAreFine) {
    auto signal = RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        subscriber->sendNext(box(1));
        return nullptr;
    });
    auto disposable = signal->subscribeNext(nullptr);
    ASSERT_TRUE(disposable);
    disposable->dispose();
    EXPECT_TRUE(disposable->isDisposed());
}

TEST(RXBuiltInSignals, SharedReturnSignalsForUnitAndNil) {
    EXPECT_EQ(RXSignal::return_(RXUnit::defaultUnit()).get(), RXSignal::return_(RXUnit::defaultUnit()).get());
    EXPECT_EQ(RXSignal::return_(nullptr).get(), RXSignal::return_(nullptr).get());
    EXPECT_NE(RXSignal::return_(box(1)).get(), RXSignal::return_(box(1)).get());
    EXPECT_EQ(RXSignal::empty().get(), RXSignal::empty().get());
}

TEST(RXBuiltInSignals, EmptyReturnErrorAndNever) {
    Recorder r;
    r.subscribe(RXSignal::empty());
    r.subscribe(RXSignal::return_(nullptr));
    r.subscribe(RXSignal::error(makeError(4)));
    auto never = r.subscribe(RXSignal::never());
    EXPECT_EQ(r.events(), (Events{"completed", "nil", "completed", "error:4"}));
    never->dispose();
    EXPECT_TRUE(never->isDisposed());
    EXPECT_EQ(cast<RXErrorSignal>(RXSignal::error(makeError(4)))->error()->code(), 4);
    EXPECT_EQ(unbox<int>(cast<RXReturnSignal>(RXSignal::return_(box(8)))->value()), 8);
}

TEST(RXSignalNames, WithoutDebugNamesNamesStayEmpty) {
    RXStream::setDebugSignalNamesEnabled(false);
    ASSERT_FALSE(RXStream::debugSignalNamesEnabled());
    auto signal = RXSignal::createSignal([](const Ref<RXSubscriber>&) -> Ref<RXDisposable> { return nullptr; });
    EXPECT_EQ(signal->name()->str(), "");
    EXPECT_EQ(signal->map([](const id& v) { return v; })->name()->str(), "");
    EXPECT_EQ(RXSignal::empty()->name()->str(), "+empty");
    EXPECT_EQ(RXSignal::return_(box(1))->name()->str(), "+return:");
    EXPECT_EQ(RXSignal::error(makeError(1))->name()->str(), "+error:");
    EXPECT_EQ(rx_description(make<NSObject>())->str(), "(description skipped)");
    EXPECT_EQ(rx_description(RXTuple::tupleWithObjects({box(1)}))->str(), "(description skipped)");
    EXPECT_EQ(rx_description("text"_ns)->str(), "text");
    EXPECT_EQ(rx_description(box(3))->str(), "3");
}

TEST(RXSignalNames, WithDebugNamesOperatorsNameTheirResults) {
    RXStream::setDebugSignalNamesEnabled(true);
    auto signal = RXSignal::createSignal([](const Ref<RXSubscriber>&) -> Ref<RXDisposable> { return nullptr; });
    EXPECT_EQ(signal->name()->str(), "+createSignal:");
    EXPECT_EQ(signal->take(2)->name()->str(), "[+createSignal:] -take: 2");
    EXPECT_EQ(
        signal->takeUntil(RXSignal::empty())->name()->str().rfind("[+createSignal:] -takeUntil: <RXEmptySignal: ", 0),
        0u);
    EXPECT_EQ(signal->mapReplace(box(5))->name()->str(), "[+createSignal:] -mapReplace: 5");
    EXPECT_EQ(RXSignal::never()->name()->str(), "+never");
    EXPECT_EQ(rx_description(make<NSObject>())->str().rfind("<NSObject: ", 0), 0u);
    EXPECT_EQ(rx_description(RXTuple::tupleWithObjects({box(1)}))->str(),
              NSArray::arrayWithObjects({box(1)})->description()->str());
    // The empty and return signals keep their fixed names.
    RXSignal::empty()->setName("other"_ns);
    EXPECT_EQ(RXSignal::empty()->name()->str(), "+empty");
    RXStream::setDebugSignalNamesEnabled(false);
}

// The variable is read at the first signal of a process: the test runs in a process started for it.
TEST(RXSignalNames, TheEnvironmentIsReadOnceAndTheSwitchHoldsFromThenOn) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto create = [] {
                return RXSignal::createSignal([](const Ref<RXSubscriber>&) -> Ref<RXDisposable> { return nullptr; });
            };
            setenv("RX_DEBUG_SIGNAL_NAMES", "1", 1);
            bool named = create()->name()->str() == "+createSignal:";
            unsetenv("RX_DEBUG_SIGNAL_NAMES");
            bool stillNamed = create()->name()->str() == "+createSignal:"; // read at the first signal
            RXStream::setDebugSignalNamesEnabled(false);
            bool switchedOff =
                create()->name()->str().empty() && rx_description(make<NSObject>())->str() == "(description skipped)";
            RXStream::setDebugSignalNamesEnabled(true);
            bool switchedOn = create()->take(1)->name()->str() == "[+createSignal:] -take: 1";
            std::fprintf(stderr, "named %d, still %d, off %d, on %d\n", named, stillNamed, switchedOff, switchedOn);
            std::exit(named && stillNamed && switchedOff && switchedOn ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "named 1, still 1, off 1, on 1");
}

TEST(RXSignalNames, DescriptionCarriesClassAndName) {
    auto signal = RXSignal::never();
    signal->setName("ticks"_ns);
    std::string description = signal->description()->str();
    EXPECT_EQ(description.rfind("<RXDynamicSignal: ", 0), 0u);
    EXPECT_NE(description.find(" name: ticks"), std::string::npos);
}

TEST(RXBlockSubscriber, TerminationClearsTheBlocksAndDisposesItsSubscriptions) {
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted([](const id&) {}, nullptr, [] {});
    bool cleanedUp = false;
    auto signal = RXSignal::createSignal(
        [&](const Ref<RXSubscriber>&) { return RXDisposable::disposableWithBlock([&] { cleanedUp = true; }); });
    signal->subscribe(subscriber);
    EXPECT_TRUE(subscriber->next());
    subscriber->sendCompleted();
    EXPECT_TRUE(cleanedUp);
    EXPECT_FALSE(subscriber->next());
    EXPECT_FALSE(subscriber->completed());
    EXPECT_TRUE(subscriber->disposable()->isDisposed());
}

TEST(RXBlockSubscriber, AFinishedSubscriptionLeavesTheSubscribersCompound) {
    Recorder recorder;
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(recorder.next(), nullptr, nullptr);
    auto subject = RXSubject::subject();
    auto first = subject->subscribe(subscriber);
    first->dispose();
    auto second = subject->subscribe(subscriber);
    subject->sendNext(box(1));
    EXPECT_EQ(recorder.events(), (Events{"1"}));
    EXPECT_FALSE(subscriber->disposable()->isDisposed());
}

TEST(RXBlockSubscriber, ABlockMayDisposeItsOwnSubscriptionWhileRunning) {
    auto subject = RXSubject::subject();
    Ref<RXDisposable> disposable;
    int calls = 0;
    disposable = subject->subscribeNext([&](const id&) {
        ++calls;
        disposable->dispose();
    });
    subject->sendNext(box(1));
    subject->sendNext(box(2));
    EXPECT_EQ(calls, 1);
}

TEST(RXBlockSubscriber, ReleasingTheSubscriberDisposesItsSubscriptions) {
    bool cleanedUp = false;
    auto signal = RXSignal::createSignal(
        [&](const Ref<RXSubscriber>&) { return RXDisposable::disposableWithBlock([&] { cleanedUp = true; }); });
    {
        auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
        signal->subscribe(subscriber);
    }
    EXPECT_TRUE(cleanedUp);
}

namespace {
struct EventTracer : RXTracer {
    std::vector<std::string> lines;
    void signalNext(const std::string& signal, const std::string&, const std::string& value) override {
        lines.push_back("next " + value + " from " + signal.substr(0, signal.find(':')));
    }
    void signalCompleted(const std::string& signal, const std::string&) override {
        lines.push_back("completed " + std::string(signal.find(" name") == std::string::npos ? "unnamed" : "named"));
    }
};
} // namespace

TEST(RXPassthroughSubscriber, TraceProbesSeeEveryDeliveredEvent) {
    EventTracer tracer;
    RXTracer::setTracer(&tracer);
    values({box(1)})->subscribeNext(nullptr);
    RXTracer::setTracer(nullptr);
    EXPECT_EQ(tracer.lines, (std::vector<std::string>{"next 1 from <RXDynamicSignal", "completed unnamed"}));
}
