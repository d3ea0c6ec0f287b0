#include "ReactiveTestSupport.h"

using namespace rxtest;

TEST(RXSubject, ValuesBeforeSubscriptionAreLostLaterOnesReachEverySubscriberInOrder) {
    auto subject = RXSubject::subject();
    std::vector<std::string> seen;
    subject->sendNext(box(0));
    subject->subscribeNext([&](const id& v) { seen.push_back("a" + text(v)); });
    subject->subscribeNext([&](const id& v) { seen.push_back("b" + text(v)); });
    subject->sendNext(box(1));
    EXPECT_EQ(seen, (std::vector<std::string>{"a1", "b1"}));
}

TEST(RXSubject, DisposingOneSubscriptionRemovesExactlyThatOne) {
    auto subject = RXSubject::subject();
    Recorder recorder;
    auto subscriber = RXBlockSubscriber::subscriberWithNextErrorCompleted(recorder.next(), nullptr, nullptr);
    auto first = subject->subscribe(subscriber);
    auto second = subject->subscribe(subscriber);
    EXPECT_EQ(subject->subscribers().size(), 2u);
    first->dispose();
    EXPECT_EQ(subject->subscribers().size(), 1u);
    subject->sendNext(box(1));
    EXPECT_EQ(recorder.events(), (Events{"1"}));
}

TEST(RXSubject, ATerminatedSubjectDeliversNothingMore) {
    auto subject = RXSubject::subject();
    Recorder early, late;
    early.subscribe(subject);
    subject->sendCompleted();
    late.subscribe(subject);
    subject->sendNext(box(1));
    subject->sendError(makeError(1));
    subject->sendCompleted();
    EXPECT_EQ(early.events(), (Events{"completed"}));
    EXPECT_EQ(late.events(), (Events{"completed"}));
    EXPECT_TRUE(subject->hasTerminated());
    EXPECT_TRUE(subject->subscribers().empty());
}

namespace {
// The subjects of every kind, each with what a late subscriber receives before the termination.
struct SubjectKind {
    const char* name;
    std::function<Ref<RXSubject>()> make;
    Events kept; // replayed to a subscriber arriving after "1" was sent and the subject terminated
};

// A subscriber without a lock of its own: what its completion block does to the subject then
// takes no lock nested in a subscriber's (the thread sanitizer would see the subject's replay and
// such a block take the two locks in both orders).
class CompletionSubscriber : public NSObject, public RXSubscriber {
    NS_OBJECT(CompletionSubscriber, NSObject)
public:
    explicit CompletionSubscriber(std::function<void()> completed)
        : RXSubscriber(this), completed_(std::move(completed)) {}
    void sendNext(const id&) override {}
    void sendError(const Ref<NSError>&) override {}
    void sendCompleted() override { completed_(); }
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>&) override {}

private:
    std::function<void()> completed_;
};
NS_IMPLEMENT_CLASS(CompletionSubscriber, NSObject) {
    b.conformsTo(RXSubscriber::protocol());
}

std::vector<SubjectKind> subjectKinds() {
    return {
        {"subject", [] { return RXSubject::subject(); }, {}},
        {"replay", [] { return Ref<RXSubject>(RXReplaySubject::subject()); }, {"1"}},
        {"replay-last", [] { return Ref<RXSubject>(RXReplaySubject::replaySubjectWithCapacity(1)); }, {"1"}},
        {"behavior", [] { return Ref<RXSubject>(RXBehaviorSubject::behaviorSubjectWithDefaultValue(box(0))); }, {"1"}},
    };
}
} // namespace

TEST(RXSubjectTermination, ALateSubscriberGetsWhatIsKeptThenTheTerminationAtOnce) {
    for (const auto& kind : subjectKinds()) {
        SCOPED_TRACE(kind.name);
        for (bool failed : {false, true}) {
            auto subject = kind.make();
            subject->sendNext(box(1));
            if (failed) {
                subject->sendError(makeError(7));
            } else {
                subject->sendCompleted();
            }
            Recorder late;
            late.subscribe(subject);
            Events expected = kind.kept;
            expected.push_back(failed ? "error:7" : "completed");
            EXPECT_EQ(late.events(), expected);
        }
    }
}

TEST(RXSubjectTermination, AValueSentFromACompletionBlockReachesNobody) {
    for (const auto& kind : subjectKinds()) {
        SCOPED_TRACE(kind.name);
        auto subject = kind.make();
        Recorder early, late;
        subject->sendNext(box(1));
        subject->subscribe(make<CompletionSubscriber>([&] {
            early.add("completed");
            subject->sendNext(box(2));
            subject->sendError(makeError(3));
        }));
        subject->sendCompleted();
        late.subscribe(subject);
        Events expected = kind.kept;
        expected.push_back("completed");
        EXPECT_EQ(late.events(), expected);
        EXPECT_EQ(early.events().back(), "completed");
        // Behaviour subjects keep their value: it is not replaced after the termination.
        if (auto behavior = cast<RXBehaviorSubject>(id(subject))) {
            EXPECT_EQ(text(behavior->currentValue()), "1");
        }
    }
}

TEST(RXSubjectTermination, ASubscriberArrivingFromAnotherSubscribersCompletionIsTerminatedToo) {
    for (const auto& kind : subjectKinds()) {
        SCOPED_TRACE(kind.name);
        auto subject = kind.make();
        Recorder late;
        subject->sendNext(box(1));
        subject->subscribe(make<CompletionSubscriber>([&] { late.subscribe(subject); }));
        subject->sendCompleted();
        Events expected = kind.kept;
        expected.push_back("completed");
        EXPECT_EQ(late.events(), expected);
    }
}

TEST(RXSubject, ASubscriptionThatEndsLeavesTheList) {
    auto subject = RXSubject::subject();
    subject->take(1)->subscribeNext(nullptr);
    EXPECT_EQ(subject->subscribers().size(), 1u);
    subject->sendNext(box(1));
    EXPECT_EQ(subject->subscribers().size(), 0u);
}

TEST(RXSubject, ASubscriberMaySubscribeOrDisposeFromInsideAnEvent) {
    auto subject = RXSubject::subject();
    Recorder inner;
    Ref<RXDisposable> self;
    self = subject->subscribeNext([&](const id&) {
        self->dispose();
        inner.subscribe(subject);
    });
    subject->sendNext(box(1)); // the new subscriber does not see the value being sent
    subject->sendNext(box(2));
    EXPECT_EQ(inner.events(), (Events{"2"}));
}

TEST(RXSubject, AsSubscriberItForwardsAnotherSignalAndKeepsTheSubscriptionUntilItEnds) {
    auto subject = RXSubject::subject();
    Recorder recorder;
    recorder.subscribe(subject);
    values(numbers({1, 2}))->subscribe(subject);
    EXPECT_EQ(recorder.events(), (Events{"1", "2", "completed"}));
}

TEST(RXSubject, ReleasingASubjectEndsTheSubscriptionsItIsSubscribedWith) {
    bool cleanedUp = false;
    auto source = RXSignal::createSignal(
        [&](const Ref<RXSubscriber>&) { return RXDisposable::disposableWithBlock([&] { cleanedUp = true; }); });
    {
        auto subject = RXSubject::subject();
        source->subscribe(subject);
        EXPECT_FALSE(cleanedUp);
    }
    EXPECT_TRUE(cleanedUp);
}

TEST(RXReplaySubject, ReplaysValuesAndTerminationToLateSubscribers) {
    auto subject = RXReplaySubject::subject();
    subject->sendNext(box(1));
    subject->sendNext(nullptr);
    subject->sendNext(box(3));
    subject->sendCompleted();
    Recorder recorder;
    recorder.subscribe(subject);
    EXPECT_EQ(recorder.events(), (Events{"1", "nil", "3", "completed"}));
}

TEST(RXReplaySubject, WithCapacityOneReplaysTheLatestValueOnly) {
    auto subject = RXReplaySubject::replaySubjectWithCapacity(1);
    subject->sendNext(box(1));
    subject->sendNext(box(2));
    subject->sendNext(box(3));
    subject->sendCompleted();
    Recorder recorder;
    recorder.subscribe(subject);
    EXPECT_EQ(recorder.events(), (Events{"3", "completed"}));
    EXPECT_EQ(subject->valuesReceived().size(), 1u);
}

TEST(RXReplaySubject, ReplaysAnErrorAndThenLiveValuesForAnOpenSubject) {
    auto failed = RXReplaySubject::subject();
    failed->sendNext(box(1));
    failed->sendError(makeError(6));
    Recorder recorder;
    recorder.subscribe(failed);
    EXPECT_EQ(recorder.events(), (Events{"1", "error:6"}));
    EXPECT_TRUE(failed->hasError());

    auto open = RXReplaySubject::subject();
    open->sendNext(box(1));
    Recorder live;
    live.subscribe(open);
    open->sendNext(box(2));
    EXPECT_EQ(live.events(), (Events{"1", "2"}));
}

TEST(RXReplaySubject, ASubscriberDisposingDuringReplayStopsIt) {
    auto subject = RXReplaySubject::subject();
    for (int i = 0; i < 5; ++i) {
        subject->sendNext(box(i));
    }
    Recorder recorder;
    subject->take(2)->subscribeNext(recorder.next());
    EXPECT_EQ(recorder.events(), (Events{"0", "1"}));
}

TEST(RXBehaviorSubject, SendsTheCurrentValueToEachNewSubscriber) {
    auto subject = RXBehaviorSubject::behaviorSubjectWithDefaultValue(box(0));
    Recorder first;
    first.subscribe(subject);
    subject->sendNext(box(1));
    Recorder second;
    second.subscribe(subject);
    subject->sendNext(box(2));
    EXPECT_EQ(first.events(), (Events{"0", "1", "2"}));
    EXPECT_EQ(second.events(), (Events{"1", "2"}));
    EXPECT_EQ(unbox<int>(subject->currentValue()), 2);
}

TEST(RXGroupedSignal, KeepsACopyOfItsKey) {
    auto key = NSMutableString::stringWithString("a"_ns);
    auto group = RXGroupedSignal::signalWithKey(key);
    key->appendString("b"_ns);
    EXPECT_EQ(text(group->key()), "a");
}

TEST(RXMulticastConnection, ConnectSubscribesOnceAndReturnsTheSameDisposable) {
    int subscriptions = 0;
    auto source = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        ++subscriptions;
        subscriber->sendNext(box(1));
        return nullptr;
    });
    Ref<RXMulticastConnection> connection = source->publish();
    Recorder a, b;
    a.subscribe(connection->signal());
    b.subscribe(connection->signal());
    EXPECT_EQ(subscriptions, 0);
    Ref<RXDisposable> first = connection->connect();
    Ref<RXDisposable> second = connection->connect();
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(subscriptions, 1);
    EXPECT_EQ(a.events(), (Events{"1"}));
    EXPECT_EQ(b.events(), (Events{"1"}));
}

TEST(RXMulticastConnection, AutoconnectSharesOneSubscriptionUntilTheLastSubscriberLeaves) {
    int subscriptions = 0;
    int cleanUps = 0;
    auto subject = RXSubject::subject();
    auto source = RXSignal::createSignal([&](const Ref<RXSubscriber>& subscriber) {
        ++subscriptions;
        auto inner = subject->subscribe(subscriber);
        return RXDisposable::disposableWithBlock([&, inner] {
            ++cleanUps;
            inner->dispose();
        });
    });
    Ref<RXSignal> shared = source->publish()->autoconnect();
    Recorder a, b;
    auto first = a.subscribe(shared);
    auto second = b.subscribe(shared);
    subject->sendNext(box(1));
    EXPECT_EQ(subscriptions, 1);
    first->dispose();
    EXPECT_EQ(cleanUps, 0);
    subject->sendNext(box(2));
    second->dispose();
    EXPECT_EQ(cleanUps, 1);
    EXPECT_EQ(a.events(), (Events{"1"}));
    EXPECT_EQ(b.events(), (Events{"1", "2"}));
}
