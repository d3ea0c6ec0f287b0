// Operators that finish before their sources do: every subscription to a source is ended before
// the completion goes out, whatever the subscriber does with its own subscription.
#include "ReactiveTestSupport.h"

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
