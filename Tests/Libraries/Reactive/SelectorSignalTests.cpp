// Selector signals, the delegate proxy and the invocation's argument boxing.
#include "ReactiveTestSupport.h"

#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>

using namespace rxtest;

namespace {
struct RXTestPoint {
    double x, y;
};
} // namespace

template <>
struct NSObjCType<RXTestPoint> {
    static std::string encoding() { return "{RXTestPoint=dd}"; }
};

NS_DECLARE_PROTOCOL(RXTestPickerDelegate);
NS_IMPLEMENT_PROTOCOL(RXTestPickerDelegate) {
    p.optional<void(Ref<NSObject>, long)>("picker:didPick:");
    p.optional<void(Ref<NSObject>)>("pickerDidCancel:");
    p.required<long(Ref<NSObject>)>("numberOfRowsInPicker:");
}

namespace {
class RXSelectorTarget : public NSObject {
    NS_OBJECT(RXSelectorTarget, NSObject)
public:
    std::vector<std::string> calls;
    void viewWillAppear(bool animated) { calls.push_back(animated ? "appear:YES" : "appear:NO"); }
    long addTo(long a, long b) {
        calls.push_back("add");
        return a + b;
    }
    void show(const Ref<NSString>& title, const Ref<NSObject>& sender) {
        calls.push_back("show:" + (title ? title->str() : std::string("nil")));
    }
    void moveTo(RXTestPoint point) { calls.push_back("move"); }
};

// The real delegate behind a proxy.
class RXPickerDelegate : public NSObject {
    NS_OBJECT(RXPickerDelegate, NSObject)
public:
    std::vector<std::string> calls;
    void pickerDidPick(const Ref<NSObject>&, long row) { calls.push_back("pick:" + std::to_string(row)); }
    long numberOfRowsInPicker(const Ref<NSObject>&) {
        calls.push_back("rows");
        return 7;
    }
};
} // namespace

NS_IMPLEMENT_CLASS(RXSelectorTarget, NSObject) {
    b.method("viewWillAppear:", &RXSelectorTarget::viewWillAppear);
    b.method("add:to:", &RXSelectorTarget::addTo);
    b.method("show:sender:", &RXSelectorTarget::show);
    b.method("moveTo:", &RXSelectorTarget::moveTo);
}

NS_IMPLEMENT_CLASS(RXPickerDelegate, NSObject) {
    b.method("picker:didPick:", &RXPickerDelegate::pickerDidPick);
    b.method("numberOfRowsInPicker:", &RXPickerDelegate::numberOfRowsInPicker);
    b.conformsTo(NS_PROTOCOL(RXTestPickerDelegate));
}

TEST(RXSelectorSignal, TheMethodRunsFirstThenTheSignalSendsItsArguments) {
    auto target = make<RXSelectorTarget>();
    Ref<RXSignal> signal = rx_signalForSelector(target, "viewWillAppear:");
    EXPECT_EQ(signal.get(), rx_signalForSelector(target, "viewWillAppear:").get());
    std::vector<std::string> order;
    signal->subscribeNext([&](const id& value) {
        auto tuple = cast<RXTuple>(value);
        ASSERT_TRUE(tuple);
        ASSERT_EQ(tuple->count(), 1u);
        auto animated = cast<NSNumber>(tuple->first());
        ASSERT_TRUE(animated);
        order.push_back(target->calls.back() + " then signal:" + (animated->boolValue() ? "YES" : "NO"));
    });
    target->performSelectorWithObject("viewWillAppear:", box(true));
    target->performSelectorWithObject("viewWillAppear:", box(false));
    EXPECT_EQ(order, (std::vector<std::string>{"appear:YES then signal:YES", "appear:NO then signal:NO"}));
}

TEST(RXSelectorSignal, SeveralArgumentsNilArgumentsStructsAndTheReturnValueAreKept) {
    Recorder r;
    auto target = make<RXSelectorTarget>();
    r.subscribe(rx_signalForSelector(target, "add:to:"));
    r.subscribe(rx_signalForSelector(target, "show:sender:"));
    Ref<RXTuple> moved;
    rx_signalForSelector(target, "moveTo:")->subscribeNext([&](const id& value) { moved = cast<RXTuple>(value); });

    id sum = target->performSelectorWithArguments("add:to:", {box(2L), box(3L)});
    EXPECT_EQ(unbox<long>(sum), 5);
    target->performSelectorWithArguments("show:sender:", {"hello"_ns, nullptr});
    target->performSelectorWithObject("moveTo:", NSValue::valueWithValue(RXTestPoint{1.5, -2}));

    EXPECT_EQ(r.events(), (Events{"(2,3)", "(hello,nil)"}));
    ASSERT_TRUE(moved);
    auto value = cast<NSValue>(moved->first());
    ASSERT_TRUE(value);
    RXTestPoint point{};
    ASSERT_TRUE(value->getValue(point));
    EXPECT_EQ(point.x, 1.5);
    EXPECT_EQ(point.y, -2);
}

TEST(RXSelectorSignal, AMissingSelectorIsAnsweredByTheSignalAlone) {
    Recorder r;
    auto target = make<RXSelectorTarget>();
    EXPECT_FALSE(target->respondsToSelector("didTap:"));
    r.subscribe(rx_signalForSelector(target, "didTap:"));
    EXPECT_TRUE(target->respondsToSelector("didTap:"));
    EXPECT_FALSE(make<RXSelectorTarget>()->respondsToSelector("didTap:")); // only this object
    target->performSelectorWithObject("didTap:", "button"_ns);
    EXPECT_EQ(r.events(), (Events{"(button)"}));
    EXPECT_TRUE(target->calls.empty());
}

TEST(RXSelectorSignal, CompletesWhenTheObjectDeallocatesAndAPlainCallIsNotSeen) {
    Recorder r;
    auto target = make<RXSelectorTarget>();
    r.subscribe(rx_signalForSelector(target, "viewWillAppear:"));
    target->viewWillAppear(true); // a C++ call, not a message
    EXPECT_TRUE(r.events().empty());
    target = nullptr;
    EXPECT_EQ(r.events(), (Events{"completed"}));
}

TEST(RXSelectorSignal, AnOptionalProtocolMethodTheObjectLacks) {
    Recorder r;
    auto target = make<RXSelectorTarget>();
    r.subscribe(rx_signalForSelectorFromProtocol(target, "pickerDidCancel:", NS_PROTOCOL(RXTestPickerDelegate)));
    EXPECT_TRUE(target->respondsToSelector("pickerDidCancel:"));
    target->performSelectorWithObject("pickerDidCancel:", target);
    ASSERT_EQ(r.size(), 1u);
}

TEST(RXSelectorSignal, AnEmptySelectorOrADeallocatingObjectGivesTheErrorSignal) {
    auto target = make<RXSelectorTarget>();
    Ref<NSError> error;
    rx_signalForSelector(target, SEL())->subscribeError([&](const Ref<NSError>& e) { error = e; });
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString(RXSelectorSignalErrorDomain()));
    EXPECT_EQ(error->code(), 1);

    Ref<NSError> dying;
    rx_addDeallocDisposable(
        target, RXDisposable::disposableWithBlock([&dying, raw = target.get()] {
            rx_signalForSelector(id(raw), "viewWillAppear:")->subscribeError([&dying](const Ref<NSError>& e) {
                dying = e;
            });
        }));
    target = nullptr;
    ASSERT_TRUE(dying);
    EXPECT_EQ(dying->code(), RXSelectorSignalErrorMethodSwizzlingRace);
    EXPECT_FALSE(rx_signalForSelector(nullptr, "viewWillAppear:"));
}

TEST(RXDelegateProxy, ForwardsWhatItDoesNotObserveToTheRealDelegateHeldWeakly) {
    Recorder picks, cancels;
    auto delegate = make<RXPickerDelegate>();
    auto proxy = make<RXDelegateProxy>(NS_PROTOCOL(RXTestPickerDelegate));
    proxy->setRx_proxiedDelegate(delegate);
    EXPECT_TRUE(proxy->isProxy());
    EXPECT_TRUE(proxy->conformsToProtocol(NS_PROTOCOL(RXTestPickerDelegate)));

    // Forwarded: the delegate answers, and its result comes back.
    EXPECT_TRUE(proxy->respondsToSelector("numberOfRowsInPicker:"));
    EXPECT_EQ(unbox<long>(proxy->performSelectorWithObject("numberOfRowsInPicker:", proxy)), 7);
    proxy->performSelectorWithArguments("picker:didPick:", {proxy, box(2L)});
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"rows", "pick:2"}));

    // Observed: the signal receives the call and the delegate does not.
    EXPECT_FALSE(proxy->respondsToSelector("pickerDidCancel:"));
    picks.subscribe(proxy->signalForSelector("picker:didPick:"));
    cancels.subscribe(proxy->signalForSelector("pickerDidCancel:"));
    EXPECT_TRUE(proxy->respondsToSelector("pickerDidCancel:"));
    proxy->performSelectorWithArguments("picker:didPick:", {nullptr, box(4L)});
    proxy->performSelectorWithObject("pickerDidCancel:", nullptr);
    EXPECT_EQ(picks.events(), (Events{"(nil,4)"}));
    EXPECT_EQ(cancels.events(), (Events{"(nil)"}));
    EXPECT_EQ(delegate->calls.size(), 2u);

    // The delegate is not kept alive by the proxy.
    Weak<RXPickerDelegate> weakDelegate(delegate);
    delegate = nullptr;
    EXPECT_FALSE(weakDelegate.lock());
    EXPECT_FALSE(proxy->rx_proxiedDelegate());
    EXPECT_FALSE(proxy->respondsToSelector("numberOfRowsInPicker:"));
}

TEST(RXInvocation, ArgumentsAreCheckedAgainstTheParameterTypes) {
    auto target = make<RXSelectorTarget>();
    auto invocation = RXInvocation::invocationWithTargetSelector(target, "add:to:");
    EXPECT_EQ(invocation->numberOfArguments(), 4u);
    invocation->rx_setArgumentAtIndex(box(2.9), 2); // converted to the parameter's kind
    invocation->rx_setArgumentAtIndex(box(40), 3);
    invocation->invoke();
    EXPECT_EQ(unbox<long>(invocation->rx_returnValue()), 42);
    EXPECT_TRUE(
        cast<RXTuple>(invocation->rx_argumentsTuple())->isEqual(RXTuple::tupleWithObjects({box(2L), box(40L)})));

    EXPECT_THROW(invocation->rx_setArgumentAtIndex("two"_ns, 2), NSException);
    EXPECT_THROW(invocation->rx_setArgumentAtIndex(box(1), 4), NSException);
    EXPECT_THROW(invocation->rx_setArgumentAtIndex(box(1), 1), NSException);
    EXPECT_THROW(invocation->setRx_argumentsTuple(RXTuple::tupleWithObjects({box(1)})), NSException);

    auto move = RXInvocation::invocationWithTargetSelector(target, "moveTo:");
    EXPECT_THROW(move->rx_setArgumentAtIndex(NSValue::valueWithRange(NSMakeRange(1, 2)), 2), NSException);
    EXPECT_THROW(move->rx_setArgumentAtIndex(box(1), 2), NSException);
    move->rx_setArgumentAtIndex(NSValue::valueWithValue(RXTestPoint{1, 2}), 2);
    move->invoke();
    EXPECT_TRUE(move->rx_returnValue()->isEqual(RXUnit::defaultUnit()));

    // An unset scalar reads as zero of its kind.
    auto fresh = RXInvocation::invocationWithTargetSelector(target, "add:to:");
    EXPECT_EQ(unbox<long>(fresh->rx_argumentAtIndex(3)), 0);
}

TEST(RXInvocation, ParsesMethodTypes) {
    EXPECT_EQ(RXInvocation::parseMethodTypes("v@:@q{RXTestPoint=dd}r*@?^{x=i}"),
              (std::vector<std::string>{"v", "@", ":", "@", "q", "{RXTestPoint=dd}", "r*", "@?", "^{x=i}"}));
    EXPECT_EQ(RXInvocation::parseMethodTypes("v24@0:8@16"), (std::vector<std::string>{"v", "@", ":", "@"}));
    EXPECT_THROW(make<RXInvocation>(SEL("a:b:"), "v@:@"), NSException);
}
