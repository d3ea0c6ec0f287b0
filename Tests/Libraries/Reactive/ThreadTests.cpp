// Operators used from several threads at once (run under the thread sanitizer too).
#include "ReactiveTestSupport.h"

#include <atomic>
#include <mutex>
#include <thread>

using namespace rxtest;

namespace {
// Runs `body(index)` on `count` threads started together, and waits for them.
void onThreads(int count, const std::function<void(int)>& body) {
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            ready.fetch_add(1);
            while (ready.load() < count) {
                std::this_thread::yield();
            }
            body(i);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
}
} // namespace

TEST(RXThreads, ASubjectFedFromManyThreadsDeliversEveryValueThroughAChain) {
    auto subject = RXSubject::subject();
    std::atomic<int> received{0};
    std::atomic<long> sum{0};
    auto subscription = subject->map([](const id& v) { return id(box(unbox<int>(v) * 2)); })
                            ->filter([](const id& v) { return unbox<int>(v) % 4 == 0; })
                            ->subscribeNext([&](const id& v) {
                                received.fetch_add(1);
                                sum.fetch_add(unbox<int>(v));
                            });
    onThreads(4, [&](int t) {
        for (int i = 0; i < 1000; ++i) {
            subject->sendNext(box(t * 1000 + i));
        }
    });
    subscription->dispose();
    EXPECT_EQ(received.load(), 2000); // the even values
    long expected = 0;
    for (int v = 0; v < 4000; v += 2) {
        expected += 2L * v;
    }
    EXPECT_EQ(sum.load(), expected);
}

TEST(RXThreads, ABlockSubscriberNeverRunsTwoEventsAtOnce) {
    auto subject = RXSubject::subject();
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    int count = 0; // guarded by the subscriber's own lock
    auto subscription = subject->subscribeNext([&](const id&) {
        if (inside.fetch_add(1) != 0) {
            overlapped = true;
        }
        ++count;
        inside.fetch_sub(1);
    });
    onThreads(4, [&](int) {
        for (int i = 0; i < 500; ++i) {
            subject->sendNext(box(i));
        }
    });
    subscription->dispose();
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(count, 2000);
}

TEST(RXThreads, DisposingWhileOtherThreadsSendStopsDeliveryAndCleansUpOnce) {
    for (int round = 0; round < 20; ++round) {
        auto subject = RXSubject::subject();
        std::atomic<int> cleanUps{0};
        auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
            auto inner = subject->subscribe(subscriber);
            return RXDisposable::disposableWithBlock([&, inner] {
                cleanUps.fetch_add(1);
                inner->dispose();
            });
        });
        std::atomic<bool> disposed{false};
        std::atomic<int> afterDisposal{0};
        auto subscription = signal->subscribeNext([&](const id&) {
            if (disposed.load()) {
                afterDisposal.fetch_add(1);
            }
        });
        onThreads(3, [&](int t) {
            if (t == 0) {
                subscription->dispose();
                disposed = true;
                subscription->dispose();
                return;
            }
            for (int i = 0; i < 200; ++i) {
                subject->sendNext(box(i));
            }
        });
        EXPECT_EQ(cleanUps.load(), 1);
        afterDisposal = 0;
        subject->sendNext(box(0));
        EXPECT_EQ(afterDisposal.load(), 0);
    }
}

TEST(RXThreads, TheFlattenLimitHoldsWhenInnerSignalsCompleteConcurrently) {
    constexpr int kSignals = 200;
    constexpr NSUInteger kLimit = 3;
    std::atomic<int> active{0};
    std::atomic<int> maxActive{0};
    std::atomic<int> completedInner{0};
    std::vector<Ref<RXSignal>> inner;
    for (int i = 0; i < kSignals; ++i) {
        // Each inner signal completes on a background queue, so completions race with each other and
        // with new values of the outer signal.
        inner.push_back(RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
            int now = active.fetch_add(1) + 1;
            int seen = maxActive.load();
            while (now > seen && !maxActive.compare_exchange_weak(seen, now)) {
            }
            dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&, subscriber] {
                active.fetch_sub(1);
                completedInner.fetch_add(1);
                subscriber->sendCompleted();
            });
            return Ref<RXDisposable>();
        }));
    }
    auto outer = RXSubject::subject();
    std::atomic<bool> done{false};
    auto subscription = outer->flatten(kLimit)->subscribeCompleted([&] { done = true; });
    onThreads(4, [&](int t) {
        for (int i = t; i < kSignals; i += 4) {
            outer->sendNext(inner[static_cast<size_t>(i)]);
        }
    });
    outer->sendCompleted();
    DispatchClock::advanceUntil([&] { return done.load(); }, 20.0);
    EXPECT_TRUE(done.load());
    EXPECT_EQ(completedInner.load(), kSignals);
    EXPECT_LE(maxActive.load(), static_cast<int>(kLimit));
}

TEST(RXThreads, ConcatOfSignalsCompletingOnOtherThreadsKeepsTheOrderAndOneAtATime) {
    // Every other inner signal completes on a background queue, so the next one is subscribed from
    // there while this thread keeps sending; the others complete as soon as they are subscribed.
    constexpr int kSignals = 300;
    std::atomic<int> active{0};
    std::atomic<bool> overlapped{false};
    std::vector<Ref<RXSignal>> inner;
    for (int i = 0; i < kSignals; ++i) {
        inner.push_back(RXSignal::createSignal([&, i](const Ref<RXSubscriber>& subscriber) {
            if (active.fetch_add(1) != 0) {
                overlapped = true;
            }
            subscriber->sendNext(box(i));
            auto finish = [&active, subscriber] {
                active.fetch_sub(1);
                subscriber->sendCompleted();
            };
            if (i % 2 == 0) {
                finish();
            } else {
                dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), finish);
            }
            return Ref<RXDisposable>();
        }));
    }
    auto outer = RXSubject::subject();
    std::mutex lock;
    std::vector<int> received;
    std::atomic<bool> done{false};
    bool completedAfterTheLast = false;
    auto subscription = outer->concat()->subscribeNextCompleted(
        [&](const id& value) {
            std::lock_guard<std::mutex> guard(lock);
            received.push_back(unbox<int>(value));
        },
        [&] {
            {
                std::lock_guard<std::mutex> guard(lock);
                completedAfterTheLast = received.size() == static_cast<size_t>(kSignals);
            }
            done = true;
        });
    for (const auto& signal : inner) {
        outer->sendNext(signal);
    }
    outer->sendCompleted();
    DispatchClock::advanceUntil([&] { return done.load(); }, 20.0);
    ASSERT_TRUE(done.load());
    EXPECT_TRUE(completedAfterTheLast);
    EXPECT_FALSE(overlapped.load());
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(received.size(), static_cast<size_t>(kSignals));
    for (int i = 0; i < kSignals; ++i) {
        EXPECT_EQ(received[static_cast<size_t>(i)], i);
    }
}

TEST(RXThreads, CombineLatestFromTwoThreadsSendsConsistentPairs) {
    auto a = RXSubject::subject(), b = RXSubject::subject();
    std::atomic<int> pairs{0};
    std::atomic<bool> bad{false};
    auto subscription = RXSignal::combineLatest({a, b})->subscribeNext([&](const id& v) {
        auto tuple = cast<RXTuple>(v);
        if (!tuple || tuple->count() != 2 || !tuple->first() || !tuple->second()) {
            bad = true;
        }
        pairs.fetch_add(1);
    });
    a->sendNext(box(0));
    b->sendNext(box(0));
    onThreads(2, [&](int t) {
        for (int i = 1; i <= 500; ++i) {
            (t == 0 ? a : b)->sendNext(box(i));
        }
    });
    subscription->dispose();
    EXPECT_FALSE(bad.load());
    EXPECT_EQ(pairs.load(), 1001);
}

TEST(RXThreads, MergeOfSubjectsFedFromTheirOwnThreadsCompletesOnce) {
    std::vector<Ref<RXSignal>> subjects;
    for (int i = 0; i < 8; ++i) {
        subjects.push_back(RXSubject::subject());
    }
    std::atomic<int> values{0};
    std::atomic<int> completions{0};
    auto subscription = RXSignal::merge(subjects)->subscribeNextCompleted([&](const id&) { values.fetch_add(1); },
                                                                          [&] { completions.fetch_add(1); });
    onThreads(8, [&](int t) {
        auto subject = cast<RXSubject>(subjects[static_cast<size_t>(t)]);
        for (int i = 0; i < 250; ++i) {
            subject->sendNext(box(i));
        }
        subject->sendCompleted();
    });
    EXPECT_EQ(values.load(), 2000);
    EXPECT_EQ(completions.load(), 1);
}

TEST(RXThreads, AReplaySubjectNeverLosesOrRepeatsAValueForALateSubscriber) {
    for (int round = 0; round < 10; ++round) {
        auto subject = RXReplaySubject::subject();
        std::vector<int> seen;
        std::mutex lock;
        Ref<RXDisposable> subscription;
        onThreads(2, [&](int t) {
            if (t == 0) {
                for (int i = 0; i < 300; ++i) {
                    subject->sendNext(box(i));
                }
                subject->sendCompleted();
            } else {
                make<RXTestScheduler>()->performAsCurrentScheduler([&] {
                    subscription = subject->subscribeNext([&](const id& v) {
                        std::lock_guard<std::mutex> guard(lock);
                        seen.push_back(unbox<int>(v));
                    });
                });
            }
        });
        std::lock_guard<std::mutex> guard(lock);
        ASSERT_EQ(seen.size(), 300u);
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(seen[static_cast<size_t>(i)], i);
        }
    }
}

TEST(RXThreads, TakeUntilFromAnotherThreadEndsTheSubscription) {
    auto source = RXSubject::subject(), trigger = RXSubject::subject();
    std::atomic<bool> completed{false};
    std::atomic<int> afterCompletion{0};
    auto subscription = source->takeUntil(trigger)->subscribeNextCompleted(
        [&](const id&) {
            if (completed.load()) {
                afterCompletion.fetch_add(1);
            }
        },
        [&] { completed = true; });
    onThreads(2, [&](int t) {
        if (t == 0) {
            for (int i = 0; i < 1000; ++i) {
                source->sendNext(box(i));
            }
        } else {
            trigger->sendNext(RXUnit::defaultUnit());
        }
    });
    EXPECT_TRUE(completed.load());
    EXPECT_EQ(afterCompletion.load(), 0);
    EXPECT_TRUE(source->subscribers().empty());
}

TEST(RXThreads, SubscribingFromBackgroundThreadsRunsEveryBlock) {
    std::atomic<int> runs{0};
    auto signal = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        runs.fetch_add(1);
        subscriber->sendNext(box(1));
        subscriber->sendCompleted();
        return nullptr;
    });
    std::atomic<int> completions{0};
    onThreads(4, [&](int) {
        for (int i = 0; i < 25; ++i) {
            signal->map([](const id& v) { return v; })->subscribeCompleted([&] { completions.fetch_add(1); });
        }
    });
    DispatchClock::advanceUntil([&] { return completions.load() == 100; }, 20.0);
    EXPECT_EQ(runs.load(), 100);
    EXPECT_EQ(completions.load(), 100);
}
