// What the cheap delivery paths must keep: a chain of operators locks once at its head, a subject
// sends to a counted list, a subscription leaves its subscriber's compound by itself, and a
// disposable keeps its block in the cheapest place. Run under the thread sanitizer too.
#include "ReactiveTestSupport.h"

#include <atomic>
#include <future>
#include <thread>

using namespace rxtest;

namespace {
void joinAll(std::vector<std::thread>& threads) {
    for (auto& thread : threads) {
        thread.join();
    }
}
} // namespace

// ---- One lock at the head of a chain ----

TEST(RXFastPaths, OperatorsBehindTheHeadOfAChainSeeOneEventAtATimeFromSeveralThreads) {
    auto subject = RXSubject::subject();
    constexpr int kThreads = 4, kPerThread = 1500, kTaken = 5000;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<int> counts; // written by the subscriber's block only
    std::atomic<int> completions{0};
    // scan: and take: keep state without a lock of their own: the map at the head serialises.
    auto subscription = subject->map([](const id& v) { return v; })
                            ->scanWithStartReduce(box(0),
                                                  [&](const id& running, const id&) {
                                                      if (inside.fetch_add(1) != 0) {
                                                          overlapped = true;
                                                      }
                                                      id next = box(unbox<int>(running) + 1);
                                                      inside.fetch_sub(1);
                                                      return next;
                                                  })
                            ->take(kTaken)
                            ->subscribeNextCompleted([&](const id& v) { counts.push_back(unbox<int>(v)); },
                                                     [&] { completions.fetch_add(1); });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                subject->sendNext(box(i));
            }
        });
    }
    joinAll(threads);
    EXPECT_FALSE(overlapped.load());
    ASSERT_EQ(counts.size(), static_cast<size_t>(kTaken));
    for (int i = 0; i < kTaken; ++i) {
        ASSERT_EQ(counts[static_cast<size_t>(i)], i + 1);
    }
    EXPECT_EQ(completions.load(), 1);
    EXPECT_TRUE(subject->subscribers().empty());
    subscription->dispose();
}

TEST(RXFastPaths, AnOperatorOverAMergeStillSerialisesWhatTheMergedSignalsSendAtOnce) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    int last = 0;
    auto subscription = RXSignal::merge({Ref<RXSignal>(a), Ref<RXSignal>(b)})
                            ->scanWithStartReduce(box(0),
                                                  [&](const id& running, const id&) {
                                                      if (inside.fetch_add(1) != 0) {
                                                          overlapped = true;
                                                      }
                                                      id next = box(unbox<int>(running) + 1);
                                                      inside.fetch_sub(1);
                                                      return next;
                                                  })
                            ->subscribeNext([&](const id& v) { last = unbox<int>(v); });
    std::thread other([&] {
        for (int i = 0; i < 2000; ++i) {
            b->sendNext(box(i));
        }
    });
    for (int i = 0; i < 2000; ++i) {
        a->sendNext(box(i));
    }
    other.join();
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(last, 4000);
    subscription->dispose();
}

TEST(RXFastPaths, DisposingFromAnotherThreadDuringDeliveryStopsTheChainAndCleansUpOnce) {
    for (int round = 0; round < 10; ++round) {
        auto subject = RXSubject::subject();
        std::atomic<int> cleanUps{0};
        auto source = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
            auto inner = subject->subscribe(subscriber);
            return RXDisposable::disposableWithBlock([&, inner] {
                cleanUps.fetch_add(1);
                inner->dispose();
            });
        });
        DisposalDuringDelivery check;
        auto subscription = source->map([](const id& v) { return v; })
                                ->filter([](const id&) { return true; })
                                ->subscribeNext([&](const id& v) { check.received(v); });
        check.run([&](int i) { subject->sendNext(box(i)); }, subscription);
        EXPECT_EQ(cleanUps.load(), 1);
        EXPECT_TRUE(subject->subscribers().empty());
        check.expectNothingSentAfterTheDisposal();
    }
}

// ---- The subject's counted list ----

TEST(RXFastPaths, ASubscriberChangingTheListDuringDeliveryAffectsOnlyLaterEvents) {
    auto subject = RXSubject::subject();
    std::vector<std::string> seen;
    Ref<RXDisposable> second, late;
    auto first = subject->subscribeNext([&](const id& v) {
        seen.push_back("first " + text(v));
        if (unbox<int>(v) == 1) {
            second->dispose(); // later in the list: it must not get this value
            late = subject->subscribeNext([&](const id& w) { seen.push_back("late " + text(w)); });
            subject->sendNext(box(2)); // sent from inside the delivery
        }
    });
    second = subject->subscribeNext([&](const id& v) { seen.push_back("second " + text(v)); });
    subject->sendNext(box(1));
    subject->sendNext(box(3));
    EXPECT_EQ(seen, (std::vector<std::string>{"first 1", "first 2", "late 2", "first 3", "late 3"}));
    EXPECT_EQ(subject->subscribers().size(), 2u);
    first->dispose();
    late->dispose();
    EXPECT_TRUE(subject->subscribers().empty());
}

TEST(RXFastPaths, SubscribersComingAndGoingWhileThreadsSendLoseNothingForTheOnesThatStay) {
    auto subject = RXSubject::subject();
    constexpr int kThreads = 3, kPerThread = 2000;
    std::atomic<int> stayed{0};
    long sum = 0; // the block subscriber serialises its block
    auto subscription = subject->subscribeNext([&](const id& v) {
        stayed.fetch_add(1);
        sum += unbox<int>(v);
    });
    std::atomic<bool> sending{true};
    std::thread churn([&] {
        while (sending.load()) {
            auto passing = subject->subscribeNext([](const id&) {});
            passing->dispose();
        }
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                subject->sendNext(box(t * kPerThread + i));
            }
        });
    }
    joinAll(senders);
    sending = false;
    churn.join();
    EXPECT_EQ(stayed.load(), kThreads * kPerThread);
    const long n = kThreads * kPerThread;
    EXPECT_EQ(sum, n * (n - 1) / 2);
    EXPECT_EQ(subject->subscribers().size(), 1u);
    subscription->dispose();
}

// ---- A block subscriber's own compound ----

TEST(RXFastPaths, ASubscriptionEndedByItsCallerNoLongerEndsWithTheSubscriber) {
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(nullptr, nullptr, nullptr);
    int firstCleanUps = 0, secondCleanUps = 0;
    auto first = RXSignal::createSignal([&](const Ref<RXSubscriber>&) {
                     return RXDisposable::disposableWithBlock([&] { ++firstCleanUps; });
                 })->subscribe(subscriber);
    auto subject = RXSubject::subject();
    auto second = RXSignal::createSignal([&](const Ref<RXSubscriber>& s) {
                      auto inner = subject->subscribe(s);
                      return RXDisposable::disposableWithBlock([&, inner] {
                          ++secondCleanUps;
                          inner->dispose();
                      });
                  })->subscribe(subscriber);
    first->dispose();
    EXPECT_EQ(firstCleanUps, 1);
    subject->sendCompleted(); // the subscriber's termination disposes what it still holds
    EXPECT_EQ(secondCleanUps, 1);
    EXPECT_EQ(firstCleanUps, 1);
    EXPECT_TRUE(subscriber->disposable()->isDisposed());
    EXPECT_TRUE(second->isDisposed());
}

TEST(RXFastPaths, ASubscriberLeftWithoutItsSubscriptionEndsIt) {
    int cleanUps = 0;
    Ref<RXSubscriber> held;
    auto subscription = RXSignal::createSignal([&](const Ref<RXSubscriber>& s) {
                            held = s;
                            return RXDisposable::disposableWithBlock([&] { ++cleanUps; });
                        })->subscribeNext([](const id&) {});
    EXPECT_EQ(cleanUps, 0);
    held = nullptr; // the last reference to the subscriber goes: its compound ends the subscription
    EXPECT_EQ(cleanUps, 1);
    EXPECT_TRUE(subscription->isDisposed());
}

// ---- Disposables with blocks ----

TEST(RXFastPaths, ADisposableMadeWithABlockRunsItOnceFromManyThreadsOrNeverWhenLeft) {
    std::atomic<int> runs{0};
    auto disposable = make<RXDisposable>(RXDisposableBlock([&] { runs.fetch_add(1); }));
    EXPECT_FALSE(disposable->isDisposed());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] { disposable->dispose(); });
    }
    joinAll(threads);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(disposable->isDisposed());

    auto kept = std::make_shared<int>(0);
    {
        auto left = RXDisposable::disposableWithBlock([kept] { ++*kept; });
        auto leftToo = make<RXDisposable>(RXDisposableBlock([kept] { ++*kept; }));
        EXPECT_EQ(kept.use_count(), 3);
    }
    EXPECT_EQ(kept.use_count(), 1); // both blocks released without running
    EXPECT_EQ(*kept, 0);
    EXPECT_TRUE(make<RXDisposable>(RXDisposableBlock())->isDisposed());
}

// ---- Reused tuples ----

TEST(RXFastPaths, AZipTupleASubscriberKeepsIsNeverChangedByLaterPairs) {
    auto a = RXSubject::subject(), b = RXSubject::subject(), c = RXSubject::subject();
    std::vector<Ref<RXTuple>> kept;
    std::vector<std::string> seen;
    auto subscription =
        RXSignal::zip({Ref<RXSignal>(a), Ref<RXSignal>(b), Ref<RXSignal>(c)})->subscribeNext([&](const id& v) {
            seen.push_back(text(v));
            if (seen.size() % 2 == 0) {
                kept.push_back(cast<RXTuple>(v));
            }
        });
    for (int i = 1; i <= 6; ++i) {
        a->sendNext(box(i));
        b->sendNext(i == 3 ? id() : box(10 * i));
        c->sendNext(box(100 * i));
    }
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[2], "(3,nil,300)");
    ASSERT_EQ(kept.size(), 3u);
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(text(kept[i]), seen[2 * i + 1]);
    }
    subscription->dispose();
}

TEST(RXFastPaths, ZipWithPairsInOrderAndCompletesWhenAFinishedSideHasNothingLeft) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    std::vector<std::string> seen;
    auto subscription = a->zipWith(b)->subscribeNextCompleted([&](const id& v) { seen.push_back(text(v)); },
                                                              [&] { seen.push_back("completed"); });
    a->sendNext(box(1));
    a->sendNext(box(2));
    a->sendCompleted(); // 2 still waits for its pair
    EXPECT_TRUE(seen.empty());
    b->sendNext(box(10));
    b->sendNext(box(20));
    EXPECT_EQ(seen, (std::vector<std::string>{"(1,10)", "(2,20)", "completed"}));
    EXPECT_TRUE(b->subscribers().empty()); // the other side released before the completion
    subscription->dispose();

    std::vector<std::string> alone;
    a = RXSubject::subject();
    a->zipWith(nullptr)->subscribeNextCompleted([&](const id& v) { alone.push_back(text(v)); },
                                                [&] { alone.push_back("completed"); });
    a->sendCompleted();
    EXPECT_EQ(alone, (std::vector<std::string>{"completed"}));
}

// ---- Operators built from blocks ----

TEST(RXFastPaths, ASourceThatEndsFromInsideItsOwnValueLeavesTheOperatorsSound) {
    auto first = RXSubject::subject(), second = RXSubject::subject(), trigger = RXSubject::subject();
    std::vector<std::string> seen;
    auto subscription = first->concat(second)->takeUntil(trigger)->subscribeNextCompleted(
        [&](const id& v) {
            seen.push_back(text(v));
            if (unbox<int>(v) == 1) {
                first->sendCompleted(); // ends the source while its value is delivered
                second->sendNext(box(2));
            } else {
                trigger->sendNext(box(0)); // ends the whole chain from inside a value
                second->sendNext(box(4));
            }
        },
        [&] { seen.push_back("completed"); });
    first->sendNext(box(1));
    second->sendNext(box(3));
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "completed"}));
    EXPECT_TRUE(first->subscribers().empty());
    EXPECT_TRUE(second->subscribers().empty());
    EXPECT_TRUE(trigger->subscribers().empty());
    subscription->dispose();
}
