// Lifting methods and blocks over signals.
#include "ReactiveTestSupport.h"

#include <Runtime/ClassBuilder.h>

using namespace rxtest;

namespace {
class RXLiftTarget : public NSObject {
    NS_OBJECT(RXLiftTarget, NSObject)
public:
    std::vector<std::string> calls;
    void setSize(long width, long height) { calls.push_back(std::to_string(width) + "x" + std::to_string(height)); }
    long twice(long value) { return value * 2; }
    Ref<NSString> describe(const Ref<NSString>& name) { return NSString::stringWithFormat("<%@>", name); }
};
} // namespace

NS_IMPLEMENT_CLASS(RXLiftTarget, NSObject) {
    b.method("setWidth:height:", &RXLiftTarget::setSize);
    b.method("twice:", &RXLiftTarget::twice);
    b.method("describe:", &RXLiftTarget::describe);
}

TEST(RXLifting, AMethodRunsOnceEverySignalHasSentThenOnEachValue) {
    Recorder results;
    auto target = make<RXLiftTarget>();
    auto width = RXSubject::subject(), height = RXSubject::subject();
    results.subscribe(rx_liftSelectorWithSignals(target, "setWidth:height:", {width, height}));
    width->sendNext(box(1));
    EXPECT_TRUE(target->calls.empty());
    height->sendNext(box(2));
    width->sendNext(box(3));
    height->sendNext(box(4));
    EXPECT_EQ(target->calls, (std::vector<std::string>{"1x2", "3x2", "3x4"}));
    // A void method gives the unit value each time.
    EXPECT_EQ(results.size(), 3u);
    EXPECT_EQ(results.events()[0], RXUnit::defaultUnit()->description()->str());
}

TEST(RXLifting, ReturnValuesAreBoxedAndReplayedToLaterSubscribers) {
    Recorder late;
    Recorder objects;
    auto target = make<RXLiftTarget>();
    auto input = RXSubject::subject();
    Ref<RXSignal> lifted = rx_liftSelectorWithSignals(target, "twice:", {input});
    input->sendNext(box(21));
    late.subscribe(lifted);
    EXPECT_EQ(late.events(), (Events{"42"}));
    objects.subscribe(rx_liftSelectorWithObjects(target, "describe:", {"plain"_ns}));
    EXPECT_EQ(objects.events(), (Events{"<plain>", "completed"})); // constant arguments end at once
}

TEST(RXLifting, ArgumentsOfTheWrongTypeAreRefused) {
    auto target = make<RXLiftTarget>();
    auto input = RXSubject::subject();
    rx_liftSelectorWithSignals(target, "twice:", {input});
    EXPECT_THROW(input->sendNext("not a number"_ns), NSException);
    EXPECT_THROW(rx_liftSelectorWithObjects(target, "twice:", {box(1), box(2)}), NSException);
    EXPECT_THROW(rx_liftSelectorWithSignals(target, "missing:", {input}), NSException);
}

TEST(RXLifting, ErrorsPassThroughAndTheReceiversDeallocationEndsTheLift) {
    Recorder failed, ended;
    auto input = RXSubject::subject();
    {
        auto target = make<RXLiftTarget>();
        failed.subscribe(rx_liftSelectorWithSignals(target, "twice:", {RXSignal::error(makeError(4))}));
        ended.subscribe(rx_liftSelectorWithSignals(target, "twice:", {input}));
        input->sendNext(box(1));
    }
    EXPECT_EQ(failed.events(), (Events{"error:4"}));
    EXPECT_EQ(ended.events(), (Events{"2", "completed"}));
    EXPECT_TRUE(input->subscribers().empty());
}

TEST(RXLifting, BlocksAreLiftedOverSignalsAndPlainValues) {
    Recorder r;
    auto owner = make<RXLiftTarget>();
    auto a = RXSubject::subject();
    r.subscribe(rx_liftBlockWithArguments(owner, RXReduceBlock([](int x, const Ref<NSString>& s, const id& none) {
                                              return NSString::stringWithFormat("%d %@ %@", x, s, none);
                                          }),
                                          {a, "fixed"_ns, nullptr}));
    a->sendNext(box(1));
    a->sendNext(box(2));
    EXPECT_EQ(r.events(), (Events{"1 fixed (null)", "2 fixed (null)"}));
}
