// Operators that finish before their sources do: every subscription to a source is ended before
// the completion goes out, whatever the subscriber does with its own subscription.
#include "ReactiveTestSupport.h"

#include <atomic>
#include <mutex>
#include <thread>

using namespace rxtest;

namespace {
// A subscriber that keeps its subscriptions (it never disposes them) and, when the completion
// arrives, asks whether the sources still have it subscribed.
class KeepingSubscriber : public NSObject, public RXSubscriber {
    NS_OBJECT(KeepingSubscriber, NSObject)
public:
    KeepingSubscriber() : RXSubscriber(this) {}
    std::function<bool()> sourcesReleased;
    std::vector<std::string> events;
    bool releasedAtCompletion = false;

    void sendNext(const id& value) override { events.push_back(text(value)); }
    void sendError(const Ref<NSError>&) override { events.push_back("error"); }
    void sendCompleted() override {
        events.push_back("completed");
        releasedAtCompletion = sourcesReleased();
    }
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>&) override {}
};
NS_IMPLEMENT_CLASS(KeepingSubscriber, NSObject) {
    b.conformsTo(RXSubscriber::protocol());
}

struct EarlyFinish {
    const char* name;
    // Builds the operator over two subjects and drives it to completion.
    std::function<Ref<RXSignal>(const Ref<RXSubject>& a, const Ref<RXSubject>& b)> build;
    std::function<void(const Ref<RXSubject>& a, const Ref<RXSubject>& b)> finish;
};

bool isOne(const id& value) {
    return unbox<int>(value) == 1;
}

std::vector<EarlyFinish> earlyFinishes() {
    using S = const Ref<RXSubject>&;
    auto sendOne = [](S a, S) { a->sendNext(box(1)); };
    return {
        {"take:", [](S a, S) { return a->take(1); }, sendOne},
        {"takeUntil:", [](S a, S b) { return a->takeUntil(b); }, [](S, S b) { b->sendNext(box(0)); }},
        {"takeUntil: (trigger completes)", [](S a, S b) { return a->takeUntil(b); },
         [](S, S b) { b->sendCompleted(); }},
        {"takeUntilBlock:", [](S a, S) { return a->takeUntilBlock(isOne); }, sendOne},
        {"takeWhileBlock:", [](S a, S) { return a->takeWhileBlock([](const id& v) { return !isOne(v); }); }, sendOne},
        {"any", [](S a, S) { return a->any(); }, sendOne},
        {"any:", [](S a, S) { return a->any(isOne); }, sendOne},
        {"all:", [](S a, S) { return a->all([](const id& v) { return !isOne(v); }); }, sendOne},
        {"zipWith:", [](S a, S b) { return a->zipWith(b); },
         [](S a, S b) {
             a->sendNext(box(1));
             b->sendNext(box(1));
             a->sendCompleted();
         }},
        {"zip:",
         [](S a, S b) {
             return RXSignal::zip({Ref<RXSignal>(a), Ref<RXSignal>(b)});
         },
         [](S a, S b) {
             b->sendNext(box(1));
             a->sendNext(box(1));
             b->sendCompleted();
         }},
        {"takeUntilReplacement:", [](S a, S b) { return a->takeUntilReplacement(b); },
         [](S, S b) { b->sendCompleted(); }},
        {"switchToLatest",
         [](S a, S b) { return a->map([b](const id&) -> id { return b; })->switchToLatest()->take(1); },
         [](S a, S b) {
             a->sendNext(box(0));
             b->sendNext(box(1));
         }},
        {"flattenMap: then take:",
         [](S a, S b) { return a->flattenMap([b](const id&) { return Ref<RXSignal>(b); })->take(1); },
         [](S a, S b) {
             a->sendNext(box(0));
             b->sendNext(box(1));
         }},
        {"combineLatest then take:",
         [](S a, S b) {
             return RXSignal::combineLatest({Ref<RXSignal>(a), Ref<RXSignal>(b)})->take(1);
         },
         [](S a, S b) {
             a->sendNext(box(1));
             b->sendNext(box(1));
         }},
        {"merge then take:",
         [](S a, S b) {
             return RXSignal::merge({Ref<RXSignal>(a), Ref<RXSignal>(b)})->take(1);
         },
         sendOne},
        {"map then take:", [](S a, S) { return a->map([](const id& v) { return v; })->take(1); }, sendOne},
        {"startWith: then take: 2", [](S a, S) { return a->startWith(box(0))->take(2); }, sendOne},
        {"materialize then take:", [](S a, S) { return a->materialize()->take(1); }, sendOne},
        {"doNext: then take:", [](S a, S) { return a->doNext([](const id&) {})->take(1); }, sendOne},
        {"distinctUntilChanged then take:", [](S a, S) { return a->distinctUntilChanged()->take(1); }, sendOne},
        {"catchTo: then take:", [](S a, S) { return a->catchTo(RXSignal::never())->take(1); }, sendOne},
    };
}
} // namespace

TEST(RXEarlyFinish, EveryOperatorReleasesItsSourcesBeforeItCompletes) {
    for (const auto& op : earlyFinishes()) {
        SCOPED_TRACE(op.name);
        auto a = RXSubject::subject(), b = RXSubject::subject();
        auto subscriber = make<KeepingSubscriber>();
        subscriber->sourcesReleased = [a, b] { return a->subscribers().empty() && b->subscribers().empty(); };
        Ref<RXDisposable> subscription = op.build(a, b)->subscribe(subscriber);
        ASSERT_FALSE(a->subscribers().empty());
        op.finish(a, b);
        ASSERT_FALSE(subscriber->events.empty());
        EXPECT_EQ(subscriber->events.back(), "completed");
        EXPECT_TRUE(subscriber->releasedAtCompletion);
        if (subscription) {
            subscription->dispose();
        }
    }
}

TEST(RXEarlyFinish, ASynchronousSourceIsReleasedBeforeTheCompletionToo) {
    // The source sends from inside its subscription, before it has handed back its disposable.
    for (int count : {1, 2}) {
        auto released = std::make_shared<bool>(false);
        auto source = RXSignal::createSignal([released](const Ref<RXSubscriber>& s) -> Ref<RXDisposable> {
            for (int i = 0; i < 5; ++i) {
                s->sendNext(box(i));
            }
            s->sendCompleted();
            return RXDisposable::disposableWithBlock([released] { *released = true; });
        });
        auto subject = RXSubject::subject();
        auto subscriber = make<KeepingSubscriber>();
        // The source's own subscription is a subject's here, so it can be asked about.
        subscriber->sourcesReleased = [subject] { return subject->subscribers().empty(); };
        Ref<RXSignal> chain = RXSignal::merge({source, Ref<RXSignal>(subject)})->take(static_cast<NSUInteger>(count));
        chain->subscribe(subscriber);
        EXPECT_EQ(subscriber->events.back(), "completed");
        EXPECT_TRUE(subscriber->releasedAtCompletion);
        EXPECT_TRUE(*released);
    }
}

// ---- What the operators' fast paths must not change ----

TEST(RXOperatorDelivery, ATupleASubscriberKeepsIsNeverChangedByLaterEvents) {
    auto a = RXSubject::subject(), b = RXSubject::subject(), c = RXSubject::subject();
    std::vector<Ref<RXTuple>> kept;
    std::vector<std::string> seen;
    auto subscription = RXSignal::combineLatest({Ref<RXSignal>(a), Ref<RXSignal>(b), Ref<RXSignal>(c)})
                            ->subscribeNext([&](const id& v) {
                                seen.push_back(text(v));
                                if (seen.size() % 2 == 1) {
                                    kept.push_back(cast<RXTuple>(v)); // every other tuple is kept, the rest let go
                                }
                            });
    a->sendNext(box(1));
    b->sendNext(box(2));
    c->sendNext(box(3));
    for (int i = 4; i < 10; ++i) {
        (i % 3 == 0 ? a : i % 3 == 1 ? b : c)->sendNext(box(i));
    }
    // The kept tuples still read as they did when they were sent, and a kept backing array too.
    ASSERT_EQ(kept.size(), 4u);
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(text(kept[i]), seen[2 * i]);
    }
    Ref<NSArray> array = kept.back()->backingArray();
    std::string before = text(kept.back());
    kept.clear();
    c->sendNext(box(99));
    a->sendNext(box(98));
    EXPECT_EQ(array->count(), 3u);
    EXPECT_EQ(text(RXTuple::tupleWithObjectsFromArray(array)), before);
    EXPECT_EQ(seen.back(), "(98,7,99)");
    subscription->dispose();
}

TEST(RXOperatorDelivery, ASubscriberDisposingDuringDeliveryGetsNothingMore) {
    auto subject = RXSubject::subject();
    for (int depth = 0; depth < 3; ++depth) {
        Ref<RXSignal> chain = subject;
        for (int i = 0; i < depth; ++i) {
            chain = chain->map([](const id& v) { return v; })->filter([](const id&) { return true; });
        }
        std::vector<std::string> seen;
        Ref<RXDisposable> subscription;
        subscription = chain->take(10)->subscribeNextCompleted(
            [&](const id& v) {
                seen.push_back(text(v));
                subscription->dispose();
                subject->sendNext(box(7)); // sent back into the source while delivering
            },
            [&] { seen.push_back("completed"); });
        subject->sendNext(box(1));
        subject->sendNext(box(2));
        EXPECT_EQ(seen, (std::vector<std::string>{"1"})) << "depth " << depth;
        EXPECT_TRUE(subject->subscribers().empty());
    }
}

TEST(RXOperatorDelivery, EventsFromSeveralThreadsThroughEveryFastPathArriveOnceAndInOrderPerThread) {
    auto subject = RXSubject::subject();
    constexpr int kThreads = 4, kPerThread = 2000;
    std::mutex lock;
    std::vector<int> lastPerThread(kThreads, -1);
    std::atomic<int> outOfOrder{0}, received{0}, completions{0};
    auto chain = RXSignal::merge(std::vector<Ref<RXSignal>>{subject->map([](const id& v) { return v; })
                                                                ->filter([](const id&) { return true; })
                                                                ->distinctUntilChanged()
                                                                ->take(kThreads * kPerThread)})
                     ->scanWithStartReduce(box(0), [](const id&, const id& next) { return next; });
    auto subscription = chain->subscribeNextCompleted(
        [&](const id& v) {
            int n = unbox<int>(v);
            std::lock_guard<std::mutex> guard(lock);
            int& last = lastPerThread[static_cast<size_t>(n / kPerThread)];
            if (n <= last) {
                outOfOrder.fetch_add(1);
            }
            last = n;
            received.fetch_add(1);
        },
        [&] { completions.fetch_add(1); });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                subject->sendNext(box(t * kPerThread + i));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    subject->sendNext(box(-1)); // beyond take:'s count
    EXPECT_EQ(received.load(), kThreads * kPerThread);
    EXPECT_EQ(outOfOrder.load(), 0);
    EXPECT_EQ(completions.load(), 1);
    EXPECT_TRUE(subject->subscribers().empty());
    subscription->dispose();
}
