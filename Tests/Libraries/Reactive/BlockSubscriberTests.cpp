// The block subscriber's subscriptions: kept by themselves until a compound is asked for, and ended
// together however they were reported (before, during or after the subscriber's end).
#include "ReactiveTestSupport.h"

#include <atomic>
#include <future>
#include <thread>

using namespace rxtest;

namespace {
// A signal whose every subscription counts its clean-up.
Ref<RXSignal> countingSignal(std::atomic<int>& cleanUps) {
    return RXSignal::createSignal([&cleanUps](const Ref<RXSubscriber>&) {
        return RXDisposable::disposableWithBlock([&cleanUps] { cleanUps.fetch_add(1); });
    });
}
// A signal that hands each subscription's subscriber to the test and counts its clean-ups.
Ref<RXSignal> handingSignal(Ref<RXSubscriber>& held, std::atomic<int>& cleanUps) {
    return RXSignal::createSignal([&held, &cleanUps](const Ref<RXSubscriber>& subscriber) {
        held = subscriber;
        return RXDisposable::disposableWithBlock([&cleanUps] { cleanUps.fetch_add(1); });
    });
}
} // namespace

TEST(RXBlockSubscriberSubscriptions, ASubscriptionReportedAfterTheEndIsDisposedAtOnce) {
    std::atomic<int> cleanUps{0};
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
    subscriber->sendCompleted();
    auto late = countingSignal(cleanUps)->subscribe(subscriber);
    EXPECT_EQ(cleanUps.load(), 1);
    EXPECT_TRUE(late->isDisposed());
    EXPECT_TRUE(subscriber->disposable()->isDisposed());
    auto later = countingSignal(cleanUps)->subscribe(subscriber); // now through the compound
    EXPECT_EQ(cleanUps.load(), 2);
    EXPECT_TRUE(later->isDisposed());
}

TEST(RXBlockSubscriberSubscriptions, DisposingTheAskedForCompoundEndsTheSubscriptionKeptBefore) {
    std::atomic<int> cleanUps{0};
    Recorder recorder;
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(recorder.next(), nullptr, nullptr);
    auto subject = RXSubject::subject();
    auto first = countingSignal(cleanUps)->subscribe(subscriber);
    subject->subscribe(subscriber);
    subject->sendNext(box(1));
    subscriber->disposable()->dispose();
    EXPECT_EQ(cleanUps.load(), 1);
    EXPECT_TRUE(first->isDisposed());
    EXPECT_FALSE(subscriber->next());
    subject->sendNext(box(2));
    EXPECT_EQ(recorder.events(), (Events{"1"}));
}

TEST(RXBlockSubscriberSubscriptions, TheCompoundAskedForAfterOneSubscriptionHoldsIt) {
    std::atomic<int> cleanUps{0};
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
    auto subscription = countingSignal(cleanUps)->subscribe(subscriber);
    const Ref<RXCompoundDisposable>& compound = subscriber->disposable();
    EXPECT_EQ(compound.get(), subscriber->disposable().get()); // the same object on every call
    EXPECT_FALSE(compound->isDisposed());
    subscriber->sendError(makeError(1));
    EXPECT_EQ(cleanUps.load(), 1);
    EXPECT_TRUE(subscription->isDisposed());
    EXPECT_TRUE(compound->isDisposed());
}

TEST(RXBlockSubscriberSubscriptions, ManySubscriptionsEndOnceEachWhetherEndedByTheCallerOrTheSubscriber) {
    std::atomic<int> cleanUps{0};
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
    auto signal = countingSignal(cleanUps);
    std::vector<Ref<RXDisposable>> subscriptions;
    for (int i = 0; i < 100; ++i) {
        subscriptions.push_back(signal->subscribe(subscriber));
    }
    for (size_t i = 0; i < subscriptions.size(); i += 2) {
        subscriptions[i]->dispose();
    }
    EXPECT_EQ(cleanUps.load(), 50);
    subscriber->sendCompleted();
    EXPECT_EQ(cleanUps.load(), 100);
    for (const auto& subscription : subscriptions) {
        EXPECT_TRUE(subscription->isDisposed());
    }
}

TEST(RXBlockSubscriberSubscriptions, AFinishedOnlySubscriptionMakesRoomForTheNextWithoutACompound) {
    std::atomic<int> cleanUps{0};
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
    auto signal = countingSignal(cleanUps);
    signal->subscribe(subscriber)->dispose();
    auto second = signal->subscribe(subscriber);
    EXPECT_EQ(cleanUps.load(), 1);
    subscriber->sendCompleted();
    EXPECT_EQ(cleanUps.load(), 2);
    EXPECT_TRUE(second->isDisposed());
}

TEST(RXBlockSubscriberSubscriptions, SubscriptionsReportedWhileTheSubscriberEndsOnOtherThreadsAllEndOnce) {
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> cleanUps{0};
        std::atomic<int> made{0};
        auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([&] {
                while (!go.load()) {
                    std::this_thread::yield();
                }
                for (int i = 0; i < 20; ++i) {
                    auto subscription = RXCompoundDisposable::compoundDisposable();
                    subscription->addDisposable(
                        RXDisposable::disposableWithBlock([&cleanUps] { cleanUps.fetch_add(1); }));
                    made.fetch_add(1);
                    subscriber->didSubscribeWithDisposable(subscription);
                }
            });
        }
        std::thread asker([&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            EXPECT_TRUE(subscriber->disposable());
        });
        go = true;
        subscriber->sendCompleted();
        for (auto& thread : threads) {
            thread.join();
        }
        asker.join();
        EXPECT_EQ(cleanUps.load(), made.load());
        EXPECT_TRUE(subscriber->disposable()->isDisposed());
    }
}

TEST(RXBlockSubscriberSubscriptions, ABlockThatDisposesItsOnlySubscriptionGetsNothingMore) {
    std::atomic<int> cleanUps{0};
    Ref<RXSubscriber> sink;
    Ref<RXDisposable> subscription;
    std::vector<std::string> seen;
    subscription = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
                       sink = subscriber;
                       return RXDisposable::disposableWithBlock([&] { cleanUps.fetch_add(1); });
                   })
                       ->subscribeNextCompleted(
                           [&](const id& value) {
                               seen.push_back(text(value));
                               subscription->dispose();
                               seen.push_back("after");
                           },
                           [&] { seen.push_back("completed"); });
    sink->sendNext(box(1));
    sink->sendNext(box(2));
    sink->sendCompleted();
    EXPECT_EQ(seen, (Events{"1", "after"}));
    EXPECT_EQ(cleanUps.load(), 1);
}

TEST(RXBlockSubscriberSubscriptions, DisposalFromAnotherThreadDuringDeliveryStopsABlockSignalOnce) {
    for (int round = 0; round < 10; ++round) {
        std::atomic<int> cleanUps{0};
        Ref<RXSubscriber> sink;
        DisposalDuringDelivery check;
        auto subscription = handingSignal(sink, cleanUps)->subscribeNext([&](const id& v) { check.received(v); });
        check.run([sink](int i) { sink->sendNext(box(i)); }, subscription);
        EXPECT_EQ(cleanUps.load(), 1);
        check.expectNothingSentAfterTheDisposal();
    }
}

TEST(RXBlockSubscriberSubscriptions, ACombineLatestTupleASubscriberKeepsIsNeverChangedByLaterEvents) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    std::vector<Ref<RXTuple>> kept;
    std::vector<std::string> seen;
    auto subscription = RXSignal::combineLatest({Ref<RXSignal>(a), Ref<RXSignal>(b)})->subscribeNext([&](const id& v) {
        seen.push_back(text(v));
        if (seen.size() == 1 || seen.size() == 3) {
            kept.push_back(cast<RXTuple>(v));
        }
    });
    a->sendNext(box(1));
    b->sendNext(box(10));
    a->sendNext(box(2));
    b->sendNext(id());
    a->sendNext(box(3));
    a->sendNext(box(4));
    EXPECT_EQ(seen, (Events{"(1,10)", "(2,10)", "(2,nil)", "(3,nil)", "(4,nil)"}));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(text(kept[0]), "(1,10)");
    EXPECT_EQ(text(kept[1]), "(2,nil)");
    EXPECT_NE(kept[0].get(), kept[1].get());
    subscription->dispose();
}

// ---- The subscriber a block signal's block is given by the subscribe family ----

TEST(RXBlockSignalSubscriber, ASubscriptionMadeWithTheGivenSubscriberEndsWithTheOuterOne) {
    auto subject = RXSubject::subject();
    Recorder recorder;
    auto subscription = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
                            subject->subscribe(subscriber); // told to the subscriber, not returned
                            return nullptr;
                        })->subscribeNextCompleted(recorder.next(), recorder.completed());
    subject->sendNext(box(1));
    EXPECT_EQ(subject->subscribers().size(), 1u);
    subscription->dispose();
    EXPECT_TRUE(subject->subscribers().empty());
    subject->sendNext(box(2));
    subject->sendCompleted();
    EXPECT_EQ(recorder.events(), (Events{"1"}));
}

TEST(RXBlockSignalSubscriber, ATerminationThroughTheGivenSubscriberEndsTheSubscriptionOnce) {
    std::atomic<int> cleanUps{0};
    Ref<RXSubscriber> held;
    Recorder recorder;
    auto subscription = handingSignal(held, cleanUps)
                            ->subscribeNextErrorCompleted(recorder.next(), recorder.error(), recorder.completed());
    held->sendNext(box(1));
    held->sendError(makeError(7));
    held->sendNext(box(2)); // after the termination: dropped
    EXPECT_EQ(recorder.events(), (Events{"1", "error:7"}));
    EXPECT_EQ(cleanUps.load(), 1);
    EXPECT_TRUE(subscription->isDisposed());
    held = nullptr;
    EXPECT_EQ(cleanUps.load(), 1);
}

namespace {
struct CountingTracer : RXTracer {
    std::atomic<int> nexts{0}, completions{0};
    void signalNext(const std::string&, const std::string&, const std::string&) override { nexts.fetch_add(1); }
    void signalCompleted(const std::string&, const std::string&) override { completions.fetch_add(1); }
};
} // namespace

TEST(RXBlockSignalSubscriber, ATracerInstalledDuringASubscriptionSeesItsLaterEvents) {
    Ref<RXSubscriber> held;
    auto subscription = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
                            held = subscriber;
                            return nullptr;
                        })->subscribeNext([](const id&) {});
    held->sendNext(box(1));
    CountingTracer tracer;
    RXTracer::setTracer(&tracer);
    held->sendNext(box(2));
    held->sendCompleted();
    held->sendNext(box(3)); // dropped: no probe either
    RXTracer::setTracer(nullptr);
    EXPECT_EQ(tracer.nexts.load(), 1);
    EXPECT_EQ(tracer.completions.load(), 1);
}
