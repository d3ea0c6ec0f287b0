#include "ReactiveTestSupport.h"

#include <Support/LogCapture.h>

using namespace rxtest;

TEST(RXSignalBuffer, SendsFullBatchesOnlyAndForwardsCompletion) {
    Recorder r;
    r.subscribe(values(numbers({1, 2, 3}))->buffer(2));
    EXPECT_EQ(r.events(), (Events{"(1,2)", "completed"}));
}

TEST(RXSignalBuffer, BatchesAHotSignal) {
    auto subject = RXSubject::subject();
    Recorder r;
    auto subscription = r.subscribe(subject->buffer(2));
    for (int i = 1; i <= 5; ++i) {
        subject->sendNext(box(i));
    }
    subject->sendCompleted();
    EXPECT_EQ(r.events(), (Events{"(1,2)", "(3,4)", "completed"}));
}

TEST(RXSignalBuffer, ACountOfZeroIsRefused) {
    EXPECT_THROW(RXSignal::never()->buffer(0), NSException);
}

TEST(RXSignalWindow, OpensOneWindowAtATimeAndClosesItOnTheCloseSignal) {
    auto source = RXSubject::subject(), open = RXSubject::subject(), close = RXSubject::subject();
    std::vector<Ref<RXSubject>> windows;
    std::vector<Recorder> recorders(3);
    auto subscription = source->windowWithStartClose(open, [&](const Ref<RXSubject>&) { return Ref<RXSignal>(close); })
                            ->subscribeNext([&](const id& window) {
                                recorders[windows.size()].subscribe(cast<RXSignal>(window));
                                windows.push_back(cast<RXSubject>(window));
                            });
    source->sendNext(box(0)); // no window yet
    open->sendNext(RXUnit::defaultUnit());
    open->sendNext(RXUnit::defaultUnit()); // already open: ignored
    source->sendNext(box(1));
    close->sendNext(RXUnit::defaultUnit());
    source->sendNext(box(2)); // closed
    open->sendNext(RXUnit::defaultUnit());
    source->sendNext(box(3));
    subscription->dispose();
    EXPECT_EQ(windows.size(), 2u);
    EXPECT_EQ(recorders[0].events(), (Events{"1", "completed"}));
    EXPECT_EQ(recorders[1].events(), (Events{"3"}));
}

TEST(RXSignalLet, SharesOneSubscriptionWithTheBlocksSignal) {
    int subscriptions = 0;
    auto source = RXSignal::defer([&] {
        ++subscriptions;
        return values(numbers({1, 2}));
    });
    Recorder r;
    r.subscribe(source->let([](const Ref<RXSignal>& shared) { return shared->merge(shared); }));
    EXPECT_EQ(subscriptions, 1);
    EXPECT_EQ(r.events(), (Events{"1", "1", "2", "2", "completed"}));
}

TEST(RXSignalDeprecated, ForwardsToTheCurrentOperators) {
    Recorder r;
    r.subscribe(values(numbers({1, 2}))->ignoreElements());
    r.subscribe(values(numbers({1}))->sequenceNext([] { return RXSignal::return_(box(5)); }));
    r.subscribe(values(numbers({1, 2, 3}))->aggregateWithStartCombine(box(0), [](const id& a, const id& b) {
        return id(box(unbox<int>(a) + unbox<int>(b)));
    }));
    r.subscribe(RXSignal::empty()->aggregateWithStartFactoryCombine([] { return id(box(7)); },
                                                                    [](const id& a, const id&) { return a; }));
    EXPECT_EQ(r.events(), (Events{"completed", "5", "completed", "6", "completed", "7", "completed"}));
}

TEST(RXSignalDeprecated, IntervalRunsOnAHighPriorityBackgroundScheduler) {
    VirtualTime time;
    std::atomic<int> ticks{0};
    std::atomic<bool> offMain{true};
    auto subscription = RXSignal::interval(1.0)->subscribeNext([&](const id&) {
        offMain = offMain && !NSThread::isMainThread();
        ticks.fetch_add(1);
    });
    DispatchClock::advance(3.5);
    subscription->dispose();
    EXPECT_EQ(ticks.load(), 3);
    EXPECT_TRUE(offMain.load());
}

TEST(RXSignalLogic, NotAndOr) {
    Recorder r;
    r.subscribe(values({box(false), box(true)})->not_());
    r.subscribe(values({RXTuple::tupleWithObjects({box(true), box(false)}), RXTuple::tupleWithObjects({box(true)}),
                        make<RXTuple>()})
                    ->and_());
    r.subscribe(values({RXTuple::tupleWithObjects({box(false), box(false)}), make<RXTuple>()})->or_());
    EXPECT_EQ(r.events(), (Events{"1", "0", "completed", "0", "1", "1", "completed", "0", "0", "completed"}));
    id notValue = values({box(false)})->not_()->first();
    EXPECT_EQ(cast<NSNumber>(notValue)->kind(), NSNumber::Kind::Int);
}

TEST(RXSignalAggregate, EmptySourceSendsTheStartValue) {
    Recorder r;
    r.subscribe(RXSignal::empty()->aggregateWithStartReduce(box(3), [](const id& a, const id&) { return a; }));
    r.subscribe(
        RXSignal::error(makeError(1))->aggregateWithStartReduce(box(3), [](const id& a, const id&) { return a; }));
    EXPECT_EQ(r.events(), (Events{"3", "completed", "error:1"}));
}

namespace {
class BindingTarget : public NSObject {
    NS_OBJECT(BindingTarget, NSObject)
    NS_PROPERTY(Ref<NSString>, title, setTitle)
};
} // namespace

NS_IMPLEMENT_CLASS(BindingTarget, NSObject) {
    b.property("title", &BindingTarget::title, &BindingTarget::setTitle);
}

TEST(RXSignalBinding, SetsEachValueUntilDisposedAndUsesTheNilValue) {
    auto subject = RXSubject::subject();
    auto target = make<BindingTarget>();
    auto binding = subject->setKeyPathOnObjectNilValue("title"_ns, target, "none"_ns);
    subject->sendNext("a"_ns);
    EXPECT_EQ(text(target->title()), "a");
    subject->sendNext(nullptr);
    EXPECT_EQ(text(target->title()), "none");
    binding->dispose();
    subject->sendNext("b"_ns);
    EXPECT_EQ(text(target->title()), "none");
}

TEST(RXSignalBinding, AnErrorIsLoggedAndEndsTheBindingAndTheObjectsDeallocationEndsIt) {
    LogCapture capture;
    auto subject = RXSubject::subject();
    auto target = make<BindingTarget>();
    subject->toPropertyOnObject("title"_ns, target);
    subject->sendError(makeError(1));
    auto lines = capture.finish();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("in binding for key path \"title\" on <BindingTarget"), std::string::npos);

    auto other = RXSubject::subject();
    auto owner = make<BindingTarget>();
    other->setKeyPathOnObject("title"_ns, owner);
    owner = nullptr;
    EXPECT_TRUE(other->subscribers().empty());
}
