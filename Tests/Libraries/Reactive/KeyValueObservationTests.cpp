// Key-value observation: trampolines, the key-path wrapper and property subscribing (RXObserve).
#include "ReactiveTestSupport.h"

#include <Runtime/ClassBuilder.h>

#include <thread>

using namespace rxtest;

namespace {
class RXKVONode : public NSObject {
    NS_OBJECT(RXKVONode, NSObject)
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(long, count, setCount)
    NS_PROPERTY(Ref<RXKVONode>, child, setChild)
    NS_WEAK_PROPERTY(RXKVONode, buddy, setBuddy)
public:
    RXKVONode() = default;
    explicit RXKVONode(const char* name) { name_ = NSString::from(name); }

    // Observes on its own behalf, as a screen does with RXObserve.
    Ref<RXSignal> observe(const id& target, const char* keyPath) { return RXObserve(target, keyPath); }
};
} // namespace

NS_IMPLEMENT_CLASS(RXKVONode, NSObject) {
    b.property("name", &RXKVONode::name, &RXKVONode::setName);
    b.property("count", &RXKVONode::count, &RXKVONode::setCount);
    b.property("child", &RXKVONode::child, &RXKVONode::setChild);
    b.property("buddy", &RXKVONode::buddy, &RXKVONode::setBuddy, "weak");
}

TEST(RXKeyPathUtilities, SplitsAndTrimsKeyPaths) {
    EXPECT_TRUE(rx_keyPathComponents("a.b.c"_ns)->isEqual(NSArray::arrayWithObjects({"a"_ns, "b"_ns, "c"_ns})));
    EXPECT_FALSE(rx_keyPathComponents(""_ns));
    EXPECT_TRUE(rx_keyPathByDeletingLastKeyPathComponent("a.b.c"_ns)->isEqualToString("a.b"_ns));
    EXPECT_TRUE(rx_keyPathByDeletingFirstKeyPathComponent("a.b.c"_ns)->isEqualToString("b.c"_ns));
    EXPECT_FALSE(rx_keyPathByDeletingLastKeyPathComponent("a"_ns));
    EXPECT_FALSE(rx_keyPathByDeletingFirstKeyPathComponent("a"_ns));
}

TEST(RXKVOTrampoline, DeliversChangesUntilDisposedAndEndsWithTheTargetOrObserver) {
    auto target = make<RXKVONode>("t");
    auto observer = make<RXKVONode>("o");
    std::vector<long> seen;
    Ref<RXKVOTrampoline> trampoline = rx_addObserverForKeyPathOptionsBlock(
        target, observer, "count"_ns, NSKeyValueObservingOptionNew | NSKeyValueObservingOptionInitial,
        [&](const id& t, const id& o, const Ref<NSDictionary>& change) {
            EXPECT_EQ(t.get(), target.get());
            EXPECT_EQ(o.get(), observer.get());
            seen.push_back(unbox<long>(change->objectForKey(NSKeyValueChangeNewKey())));
        });
    ASSERT_TRUE(trampoline);
    target->setCount(1);
    trampoline->dispose();
    trampoline->dispose(); // harmless
    target->setCount(2);
    EXPECT_EQ(seen, (std::vector<long>{0, 1}));

    // The observer's deallocation ends a registration; so does the target's.
    int calls = 0;
    auto second = rx_addObserverForKeyPathOptionsBlock(
        target, observer, "count"_ns, 0, [&](const id&, const id&, const Ref<NSDictionary>&) { ++calls; });
    observer = nullptr;
    EXPECT_TRUE(second->isDisposed());
    target->setCount(3);
    EXPECT_EQ(calls, 0);
    auto third = rx_addObserverForKeyPathOptionsBlock(target, nullptr, "count"_ns, 0,
                                                      [&](const id&, const id&, const Ref<NSDictionary>&) { ++calls; });
    target = nullptr;
    EXPECT_TRUE(third->isDisposed());
    EXPECT_FALSE(rx_addObserverForKeyPathOptionsBlock(nullptr, nullptr, "count"_ns, 0, nullptr));
}

TEST(RXObserve, SendsTheCurrentValueThenEachChange) {
    Recorder r;
    auto owner = make<RXKVONode>("owner");
    auto target = make<RXKVONode>("a");
    r.subscribe(owner->observe(target, "name"));
    target->setName("b"_ns);
    target->setName(nullptr);
    EXPECT_EQ(r.events(), (Events{"a", "b", "nil"}));
}

TEST(RXObserve, FollowsAKeyPathAcrossAChangeOfTheIntermediateValue) {
    Recorder r;
    auto owner = make<RXKVONode>("owner");
    auto root = make<RXKVONode>("root");
    auto x = make<RXKVONode>("x1");
    auto y = make<RXKVONode>("y1");
    root->setChild(x);
    r.subscribe(owner->observe(root, "child.name"));
    root->setChild(y);
    x->setName("x2"_ns); // no longer on the path
    y->setName("y2"_ns);
    root->setChild(nullptr);
    y->setName("y3"_ns);
    root->setChild(x);
    EXPECT_EQ(r.events(), (Events{"x1", "y1", "y2", "nil", "x2"}));
}

TEST(RXObserve, CompletesWhenTheObserverOrTheTargetBeginsToDeallocate) {
    Recorder byObserver, byTarget;
    auto target = make<RXKVONode>("a");
    auto owner = make<RXKVONode>("owner");
    byObserver.subscribe(owner->observe(target, "name"));
    byTarget.subscribe(rx_valuesForKeyPathObserver(target, "name"_ns, nullptr));
    owner = nullptr;
    EXPECT_EQ(byObserver.events(), (Events{"a", "completed"}));
    target->setName("b"_ns); // still observable by others
    target = nullptr;
    EXPECT_EQ(byTarget.events(), (Events{"a", "b", "completed"}));
}

TEST(RXObserve, DisposingTheSubscriptionStopsDeliveryWithoutCompletion) {
    Recorder r;
    auto target = make<RXKVONode>("a");
    NSUInteger registered = RXKVOProxy::sharedProxy()->trampolineCount();
    Ref<RXDisposable> subscription = r.subscribe(rx_valuesForKeyPathObserver(target, "count"_ns, nullptr));
    EXPECT_GT(RXKVOProxy::sharedProxy()->trampolineCount(), registered);
    target->setCount(1);
    subscription->dispose();
    target->setCount(2);
    EXPECT_EQ(r.events(), (Events{"0", "1"}));
    EXPECT_EQ(RXKVOProxy::sharedProxy()->trampolineCount(), registered);
}

TEST(RXKVOWrapper, AWeakValueThatDeallocatesIsReportedOnlyForWeakProperties) {
    auto root = make<RXKVONode>("root");
    std::vector<std::string> events;
    auto block = [&](const id& value, const Ref<NSDictionary>& change, bool dealloc, bool last) {
        events.push_back(std::string(dealloc ? "dealloc:" : "change:") + text(value) + (last ? ":last" : ""));
    };
    Ref<RXDisposable> weakObservation = rx_observeKeyPathOptionsObserverBlock(root, "buddy"_ns, 0, nullptr, block);
    Ref<RXDisposable> strongObservation = rx_observeKeyPathOptionsObserverBlock(root, "child"_ns, 0, nullptr, block);
    {
        auto buddy = make<RXKVONode>("buddy");
        auto child = make<RXKVONode>("child");
        root->setBuddy(buddy);
        root->setChild(child);
        events.clear();
        root->setChild(nullptr); // a strong property: a change, never a deallocation report
        events.clear();
    } // buddy deallocates while still the weak property's value
    EXPECT_EQ(events, (std::vector<std::string>{"dealloc:nil:last"}));
    weakObservation->dispose();
    strongObservation->dispose();
}

TEST(RXKVOWrapper, TheObserverAsTheValueIsNotWatchedForDeallocation) {
    auto root = make<RXKVONode>("root");
    int reports = 0;
    {
        auto observer = make<RXKVONode>("observer");
        root->setBuddy(observer);
        rx_observeKeyPathOptionsObserverBlock(
            root, "buddy"_ns, 0, observer,
            [&](const id&, const Ref<NSDictionary>&, bool dealloc, bool) { reports += dealloc ? 1 : 0; });
    }
    EXPECT_EQ(reports, 0);
}

TEST(RXKVOWrapper, PriorOptionReportsTheValueBeforeEachChangeAndNestedCallsCarryTheLastComponentFlag) {
    auto root = make<RXKVONode>("root");
    root->setChild(make<RXKVONode>("c1"));
    std::vector<std::string> events;
    Ref<RXDisposable> observation = rx_observeKeyPathOptionsObserverBlock(
        root, "child.name"_ns, NSKeyValueObservingOptionPrior | NSKeyValueObservingOptionInitial, nullptr,
        [&](const id& value, const Ref<NSDictionary>& change, bool, bool last) {
            auto prior = cast<NSNumber>(change->objectForKey(NSKeyValueChangeNotificationIsPriorKey()));
            events.push_back((prior && prior->boolValue() ? "prior:" : "") + text(value) + (last ? ":last" : ""));
        });
    root->child()->setName("c2"_ns);
    root->setChild(make<RXKVONode>("c3"));
    observation->dispose();
    observation->dispose();
    root->child()->setName("c4"_ns);
    EXPECT_EQ(events, (std::vector<std::string>{"c1", "prior:c1:last", "c2:last", "prior:c2", "c3"}));
}

TEST(RXKVOWrapper, ATargetAlreadyGoneGivesADisposableThatStillWorks) {
    auto trampoline = make<RXKVOTrampoline>(nullptr, nullptr, "name"_ns, 0, nullptr);
    EXPECT_TRUE(trampoline->isDisposed());
    trampoline->dispose();
}

TEST(RXPropertySubscribing, TrampolineSignalsSendChangesAndValuesAndCompleteWithTheObject) {
    Recorder values, starting, changes;
    auto target = make<RXKVONode>("a");
    values.subscribe(rx_signalForKeyPathObserver(target, "name"_ns, nullptr));
    starting.subscribe(rx_signalWithStartingValueForKeyPathObserver(target, "name"_ns, nullptr));
    size_t changeCount = 0;
    rx_signalWithChangesForKeyPathOptionsObserver(target, "name"_ns, NSKeyValueObservingOptionNew, nullptr)
        ->subscribeNext([&](const id& change) { changeCount += cast<NSDictionary>(change) ? 1 : 0; });
    target->setName("b"_ns);
    target = nullptr;
    EXPECT_EQ(values.events(), (Events{"b", "completed"}));
    EXPECT_EQ(starting.events(), (Events{"a", "b", "completed"}));
    EXPECT_EQ(changeCount, 1u);
}

TEST(RXPropertySubscribing, ChangesMadeOnAnotherThreadArriveThere) {
    auto target = make<RXKVONode>("a");
    std::atomic<int> received{0};
    std::thread::id seenOn;
    rx_valuesForKeyPathObserver(target, "count"_ns, nullptr)->skip(1)->subscribeNext([&](const id&) {
        seenOn = std::this_thread::get_id();
        ++received;
    });
    std::thread writer([&] { target->setCount(5); });
    std::thread::id writerId = writer.get_id();
    writer.join();
    EXPECT_EQ(received.load(), 1);
    EXPECT_EQ(seenOn, writerId);
}
