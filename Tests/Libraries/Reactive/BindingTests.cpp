// Collecting, events, boolean tests, grouping and binding a signal to a key path.
#include "ReactiveTestSupport.h"

#include <Runtime/ClassBuilder.h>
#include <Support/LogCapture.h>

using namespace rxtest;

namespace {
class RXBindingTarget : public NSObject {
    NS_OBJECT(RXBindingTarget, NSObject)
    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(long, level, setLevel)
    NS_PROPERTY(Ref<RXBindingTarget>, child, setChild)
};
} // namespace

NS_IMPLEMENT_CLASS(RXBindingTarget, NSObject) {
    b.property("title", &RXBindingTarget::title, &RXBindingTarget::setTitle);
    b.property("level", &RXBindingTarget::level, &RXBindingTarget::setLevel);
    b.property("child", &RXBindingTarget::child, &RXBindingTarget::setChild);
}

TEST(RXSignalCollect, CollectsEveryValueWithNilAsNullAndANewArrayPerSubscription) {
    Ref<RXSignal> signal = values({nullptr, box(1)})->collect();
    std::vector<Ref<NSMutableArray>> arrays;
    signal->subscribeNext([&](const id& value) { arrays.push_back(cast<NSMutableArray>(value)); });
    signal->subscribeNext([&](const id& value) { arrays.push_back(cast<NSMutableArray>(value)); });
    ASSERT_EQ(arrays.size(), 2u);
    ASSERT_TRUE(arrays[0] && arrays[1]);
    EXPECT_NE(arrays[0].get(), arrays[1].get());
    EXPECT_TRUE(arrays[0]->isEqual(NSArray::arrayWithObjects({NSNull::null(), box(1)})));
    Ref<NSArray> array = values(numbers({1, 2}))->toArray();
    EXPECT_TRUE(array->isEqual(NSArray::arrayWithObjects({box(1), box(2)})));
    EXPECT_FALSE(cast<NSMutableArray>(id(array)));
    EXPECT_FALSE(RXSignal::error(makeError(1))->toArray());
}

TEST(RXSignalMaterialize, EventsBecomeValuesAndBack) {
    Recorder materialized, roundTrip;
    auto failing = values(numbers({1}))->concat(RXSignal::error(makeError(3)));
    failing->materialize()->subscribeNextErrorCompleted(
        [&](const id& value) { materialized.add("event:" + std::to_string(cast<RXEvent>(value)->eventType())); },
        materialized.error(), materialized.completed());
    roundTrip.subscribe(failing->materialize()->dematerialize());
    roundTrip.subscribe(values(numbers({4}))->materialize()->dematerialize());
    EXPECT_EQ(materialized.events(), (Events{"event:2", "event:1", "completed"}));
    EXPECT_EQ(roundTrip.events(), (Events{"1", "error:3", "4", "completed"}));
}

TEST(RXSignalAnyAll, SendOneBooleanThenComplete) {
    Recorder r;
    auto isEven = [](const id& value) { return unbox<int>(value) % 2 == 0; };
    r.subscribe(values(numbers({1, 3, 4, 5}))->any(isEven));
    r.subscribe(RXSignal::error(makeError(1))->any(isEven));
    r.subscribe(RXSignal::empty()->any());
    r.subscribe(values(numbers({2, 4}))->all(isEven));
    r.subscribe(RXSignal::empty()->all(isEven));
    r.subscribe(values(numbers({2, 3}))->concat(RXSignal::error(makeError(1)))->all(isEven));
    EXPECT_EQ(r.events(), (Events{"1", "completed", "0", "completed", "0", "completed", "1", "completed", "1",
                                  "completed", "0", "completed"}));
}

TEST(RXSignalReduceApply, CallsTheFirstElementsBlockWithTheRest) {
    Recorder r;
    auto add = make<RXBlockTrampoline>(RXReduceBlock([](int a, int b) { return a + b; }));
    r.subscribe(values({RXTuple::tupleWithObjects({add, box(2), box(3)})})->reduceApply());
    EXPECT_EQ(r.events(), (Events{"5", "completed"}));
}

TEST(RXSignalGroupBy, GroupsValuesByKeyAndCompletesGroupsAfterTheOuterSignal) {
    auto source = RXSubject::subject();
    std::vector<std::string> log;
    std::vector<Ref<RXGroupedSignal>> groups;
    source
        ->groupByTransform([](const id& value) -> id { return cast<RXTuple>(value)->first(); },
                           [](const id& value) -> id { return cast<RXTuple>(value)->second(); })
        ->subscribeNextCompleted(
            [&](const id& value) {
                auto group = cast<RXGroupedSignal>(value);
                groups.push_back(group);
                std::string key = text(group->key());
                group->subscribeNextCompleted([&log, key](const id& v) { log.push_back(key + ":" + text(v)); },
                                              [&log, key] { log.push_back(key + " done"); });
            },
            [&] { log.push_back("outer done"); });
    source->sendNext(RXTuple::tupleWithObjects({"a"_ns, box(1)}));
    source->sendNext(RXTuple::tupleWithObjects({"b"_ns, box(2)}));
    source->sendNext(RXTuple::tupleWithObjects({"a"_ns, box(3)}));
    source->sendCompleted();
    EXPECT_EQ(groups.size(), 2u);
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:2", "a:3", "outer done", "a done", "b done"}));
}

TEST(RXSignalSetKeyPath, BindsValuesUntilDisposedAndUsesTheNilValue) {
    auto target = make<RXBindingTarget>();
    auto source = RXSubject::subject();
    Ref<RXDisposable> binding = source->setKeyPathOnObjectNilValue("title"_ns, target, "none"_ns);
    source->sendNext("one"_ns);
    EXPECT_TRUE(target->title()->isEqualToString("one"_ns));
    source->sendNext(nullptr);
    EXPECT_TRUE(target->title()->isEqualToString("none"_ns));
    binding->dispose();
    source->sendNext("two"_ns);
    EXPECT_TRUE(target->title()->isEqualToString("none"_ns));
}

TEST(RXSignalSetKeyPath, AnErrorIsLoggedAndEndsTheBinding) {
    LogCapture capture;
    auto target = make<RXBindingTarget>();
    auto source = RXSubject::subject();
    source->setKeyPathOnObject("level"_ns, target);
    source->sendNext(box(3));
    source->sendError(makeError(9));
    source->sendNext(box(4));
    auto logged = capture.finish();
    EXPECT_EQ(target->level(), 3);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("in binding for key path \"level\""), std::string::npos);
}

TEST(RXSignalSetKeyPath, TheBindingEndsWhenTheObjectGoesAndDoesNotKeepIt) {
    auto source = RXSubject::subject();
    Weak<RXBindingTarget> weak;
    {
        auto target = make<RXBindingTarget>();
        weak = target;
        RX(target, "child.title") = source; // nothing to set while the child is nil
        source->sendNext("lost"_ns);
        target->setChild(make<RXBindingTarget>());
        source->sendNext("kept"_ns);
        EXPECT_TRUE(target->child()->title()->isEqualToString("kept"_ns));
    }
    EXPECT_FALSE(weak.lock());
    EXPECT_TRUE(source->subscribers().empty());
}

TEST(RXSubscriptingAssignment, TheRXFormBindsWithItsNilValue) {
    auto target = make<RXBindingTarget>();
    auto source = RXSubject::subject();
    RX(target, "level", box(-1)) = source;
    source->sendNext(box(5));
    EXPECT_EQ(target->level(), 5);
    source->sendNext(nullptr);
    EXPECT_EQ(target->level(), -1);
    EXPECT_FALSE(
        make<RXSubscriptingAssignmentTrampoline>(nullptr, nullptr)->setObjectForKeyedSubscript(source, "level"_ns));
}
