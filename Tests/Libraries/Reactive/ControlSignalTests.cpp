// Control-event, gesture and text-field signals, and the control channels.
#include "ReactiveTestSupport.h"

#include <Reactive/UIControl+RXSignalSupport.h>
#include <Reactive/UIControl+RXSignalSupportPrivate.h>
#include <Reactive/UIDatePicker+RXSignalSupport.h>
#include <Reactive/UIGestureRecognizer+RXSignalSupport.h>
#include <Reactive/UISegmentedControl+RXSignalSupport.h>
#include <Reactive/UISlider+RXSignalSupport.h>
#include <Reactive/UIStepper+RXSignalSupport.h>
#include <Reactive/UISwitch+RXSignalSupport.h>
#include <Reactive/UITextField+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIDatePicker.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UISlider.h>
#include <UIKit/UIStepper.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UIKit/UITestDriver.h>

#include <algorithm>
#include <thread>

using namespace rxtest;

namespace {

// A subscriber of its own, to see whether a subscription still keeps it after disposal.
class RXCountingSubscriber : public NSObject, public RXSubscriber {
    NS_OBJECT(RXCountingSubscriber, NSObject)
public:
    RXCountingSubscriber() : RXSubscriber(this) {}
    void sendNext(const id&) override { ++values; }
    void sendError(const Ref<NSError>&) override {}
    void sendCompleted() override { ++completions; }
    void didSubscribeWithDisposable(const Ref<RXCompoundDisposable>&) override {}
    int values = 0;
    int completions = 0;
};

// Remembers the largest member count that any compound disposable reported.
class RXCompoundSizeTracer : public RXTracer {
public:
    void compoundAdded(const std::string&, const std::string&, NSUInteger count) override {
        largest = std::max<NSUInteger>(largest, count);
    }
    std::atomic<NSUInteger> largest{0};
};

} // namespace

NS_IMPLEMENT_CLASS(RXCountingSubscriber, NSObject) {
    b.conformsTo(RXSubscriber::protocol());
}

class UIBridgeTest : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        screen_ = make<UIViewController>();
        UITestDriver::showRootViewController(screen_);
    }
    void TearDown() override {
        for (const auto& window : UIWindow::allWindows()) {
            window->setHidden(true); // when the tests share a process
        }
        screen_ = nullptr;
        PlatformTestCase::TearDown();
    }
    template <class T>
    Ref<T> add(Ref<T> view) {
        screen_->view()->addSubview(view);
        return view;
    }
    Ref<UIButton> addButton(const char* title) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setFrame(CGRectMake(20, 100, 120, 44));
        button->setTitleForState(NSString::from(title), UIControlStateNormal);
        return add(button);
    }
    // A point of a view, in window coordinates.
    static CGPoint at(const Ref<UIView>& view, CGFloat x, CGFloat y) {
        return view->convertPointToView(CGPointMake(x, y), nullptr);
    }

    Ref<UIViewController> screen_;
};

using RXControlSignalTests = UIBridgeTest;

TEST_F(RXControlSignalTests, SendsTheControlAtEveryEventOfTheMask) {
    auto button = addButton("Start");
    std::vector<id> senders;
    Ref<RXDisposable> subscription =
        rx_signalForControlEvents(button, UIControlEventTouchUpInside)->subscribeNext([&](const id& sender) {
            senders.push_back(sender);
        });
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    ASSERT_EQ(senders.size(), 1u) << "touch-down and the other events of the tap are not in the mask";
    EXPECT_EQ(senders[0], button);
    button->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(senders.size(), 1u);

    auto toggle = add(make<UISwitch>(CGRectMake(20, 200, 51, 31)));
    std::vector<bool> states;
    rx_signalForControlEvents(toggle, UIControlEventValueChanged)->subscribeNext([&](const id& sender) {
        states.push_back(cast<UISwitch>(sender)->isOn());
    });
    ASSERT_TRUE(UITestDriver::tapView(toggle));
    ASSERT_TRUE(UITestDriver::tapView(toggle));
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
    subscription->dispose();
}

TEST_F(RXControlSignalTests, EachSubscriptionHasItsOwnTarget) {
    auto button = addButton("Go");
    Ref<RXSignal> taps = rx_signalForControlEvents(button, UIControlEventTouchUpInside);
    int first = 0;
    int second = 0;
    Ref<RXDisposable> a = taps->subscribeNext([&](const id&) { ++first; });
    Ref<RXDisposable> b = taps->subscribeNext([&](const id&) { ++second; });
    EXPECT_EQ(button->allTargets()->count(), 2u);
    UITestDriver::tapButtonTitled("Go");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);

    a->dispose();
    EXPECT_EQ(button->allTargets()->count(), 1u) << "disposing removes that subscription's target";
    UITestDriver::tapButtonTitled("Go");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2) << "the other subscription still works";
    b->dispose();
    EXPECT_EQ(button->allTargets()->count(), 0u);
    EXPECT_EQ(button->allControlEvents(), 0u);
}

TEST_F(RXControlSignalTests, CompletesWhenTheControlDeallocates) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    Ref<RXSignal> taps = rx_signalForControlEvents(button, UIControlEventTouchUpInside);
    Recorder recorder;
    recorder.subscribe(taps);
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    Weak<UIButton> weak(button);
    button = nullptr;
    EXPECT_FALSE(weak.lock()) << "a subscription does not keep its control";
    ASSERT_EQ(recorder.size(), 2u);
    EXPECT_EQ(recorder.events()[1], "completed");

    Recorder late;
    late.subscribe(taps);
    EXPECT_EQ(late.events(), Events{"completed"}) << "a control that is gone has ended";
}

TEST_F(RXControlSignalTests, SubscribingAndDisposingAgainAndAgainLeavesNothingBehind) {
    auto button = addButton("Repeat");
    Ref<RXSignal> taps = rx_signalForControlEvents(button, UIControlEventTouchUpInside);
    RXCompoundSizeTracer tracer;
    RXTracer* previous = RXTracer::setTracer(&tracer);
    Weak<RXCountingSubscriber> lastSubscriber;
    for (int i = 0; i < 1000; ++i) {
        auto subscriber = make<RXCountingSubscriber>();
        lastSubscriber = subscriber;
        taps->subscribe(subscriber)->dispose();
    }
    RXTracer::setTracer(previous);
    EXPECT_LE(tracer.largest.load(), 4u) << "the control's deallocation disposable must not grow per subscription";
    EXPECT_FALSE(lastSubscriber.lock()) << "a disposed subscription's subscriber is released";
    EXPECT_EQ(button->allTargets()->count(), 0u);

    // The control still ends the subscriptions that are live when it goes.
    auto subscriber = make<RXCountingSubscriber>();
    taps->subscribe(subscriber);
    UITestDriver::tapButtonTitled("Repeat");
    EXPECT_EQ(subscriber->values, 1);
    button->removeFromSuperview();
    button = nullptr;
    EXPECT_EQ(subscriber->completions, 1);
}

TEST_F(RXControlSignalTests, DisposingOffTheMainThreadRemovesTheTargetOnTheMainThread) {
    auto button = addButton("Later");
    auto subscriber = make<RXCountingSubscriber>();
    Ref<RXDisposable> subscription =
        rx_signalForControlEvents(button, UIControlEventTouchUpInside)->subscribe(subscriber);
    std::thread([subscription] { subscription->dispose(); }).join();
    UITestDriver::tapButtonTitled("Later");
    EXPECT_EQ(subscriber->values, 0) << "nothing reaches a disposed subscription";
    runUntilIdle();
    EXPECT_EQ(button->allTargets()->count(), 0u) << "the target goes once the main queue runs";
}

TEST_F(RXControlSignalTests, GestureSignalSendsTheRecognizerAtEveryAction) {
    auto view = add(make<UIView>(CGRectMake(0, 100, 200, 200)));
    auto tap = make<UITapGestureRecognizer>();
    view->addGestureRecognizer(tap);
    std::vector<id> recognizers;
    Ref<RXDisposable> subscription =
        rx_gestureSignal(tap)->subscribeNext([&](const id& sender) { recognizers.push_back(sender); });
    ASSERT_TRUE(UITestDriver::tapView(view));
    ASSERT_TRUE(UITestDriver::tapView(view));
    ASSERT_EQ(recognizers.size(), 2u);
    EXPECT_EQ(recognizers[0], tap);

    subscription->dispose();
    UITestDriver::tapView(view);
    EXPECT_EQ(recognizers.size(), 2u) << "disposal removes the target";

    recognizers.clear(); // the senders are the recognizer
    Recorder recorder;
    recorder.subscribe(rx_gestureSignal(tap));
    view->removeGestureRecognizer(tap);
    tap = nullptr;
    EXPECT_EQ(recorder.events(), Events{"completed"}) << "the recognizer's end is the signal's end";
}

TEST_F(RXControlSignalTests, TextSignalSendsTheTextAtOnceThenAfterEveryEdit) {
    auto field = add(make<UITextField>(CGRectMake(20, 100, 200, 30)));
    field->setText("ab"_ns);
    Recorder recorder;
    recorder.subscribe(rx_textSignal(field));
    EXPECT_EQ(recorder.events(), Events{"ab"}) << "the current text, before any editing";

    ASSERT_TRUE(UITestDriver::typeIntoField(field, "cd"));
    EXPECT_EQ(recorder.events(), (Events{"ab", "ab", "abc", "abcd"})) << "editing began, then each character";
    field->setText("set in code"_ns);
    EXPECT_EQ(recorder.size(), 4u) << "a change in code sends no event";
    field->deleteBackward();
    EXPECT_EQ(recorder.events().back(), "set in cod");
    field->resignFirstResponder();
    EXPECT_EQ(recorder.size(), 5u) << "editing-did-end is not part of the mask";

    field->removeFromSuperview();
    field = nullptr;
    EXPECT_EQ(recorder.events().back(), "completed");
    EXPECT_EQ(recorder.size(), 6u) << "one completion";
}

TEST_F(RXControlSignalTests, SignalNamesCarryTheMaskAndTheReceiver) {
    RXStream::setDebugSignalNamesEnabled(true);
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    auto field = make<UITextField>();
    auto tap = make<UITapGestureRecognizer>();
    std::string prefix = rx_description(button)->str();
    EXPECT_EQ(
        rx_signalForControlEvents(button, UIControlEventEditingDidBegin | UIControlEventEditingChanged)->name()->str(),
        prefix + " -rx_signalForControlEvents: 30000");
    EXPECT_EQ(rx_textSignal(field)->name()->str(), rx_description(field)->str() + " -rx_textSignal");
    EXPECT_EQ(rx_gestureSignal(tap)->name()->str(), rx_description(tap)->str() + " -rx_gestureSignal");
    RXStream::setDebugSignalNamesEnabled(false);
}

using RXControlChannelTests = UIBridgeTest;

TEST_F(RXControlChannelTests, ASliderChannelCarriesTheOperatorsChangesOutAndValuesIn) {
    auto slider = add(make<UISlider>(CGRectMake(20, 200, 200, 31)));
    Ref<RXChannelTerminal> terminal = rx_newValueChannelWithNilValue(slider, box(0.25f));
    Recorder recorder;
    recorder.subscribe(terminal);
    EXPECT_EQ(recorder.size(), 0u) << "nothing until the operator changes the value";

    UITestDriver::drag(at(slider, 0, 15), at(slider, 200, 15), 2);
    ASSERT_FALSE(recorder.events().empty());
    EXPECT_EQ(recorder.events().back(), "1");

    recorder.clear();
    terminal->sendNext(box(0.5f));
    EXPECT_FLOAT_EQ(slider->value(), 0.5f);
    terminal->sendNext(nullptr);
    EXPECT_FLOAT_EQ(slider->value(), 0.25f) << "nil writes the nil value";
    EXPECT_EQ(recorder.size(), 0u) << "a written value is not echoed";

    slider->removeFromSuperview();
    Weak<UISlider> weak(slider);
    slider = nullptr;
    EXPECT_FALSE(weak.lock()) << "the channel does not keep its control";
    EXPECT_EQ(recorder.events(), Events{"completed"});
}

TEST_F(RXControlChannelTests, SwitchSegmentStepperDateAndTextChannels) {
    auto toggle = add(make<UISwitch>(CGRectMake(20, 100, 51, 31)));
    Recorder toggles;
    Ref<RXChannelTerminal> on = rx_newOnChannel(toggle);
    toggles.subscribe(on);
    ASSERT_TRUE(UITestDriver::tapView(toggle));
    EXPECT_EQ(toggles.events(), Events{"1"});
    on->sendNext(nullptr);
    EXPECT_FALSE(toggle->isOn()) << "nil switches off";
    on->sendNext(box(true));
    EXPECT_TRUE(toggle->isOn());

    auto segments = add(make<UISegmentedControl>(NSArray::arrayWithVector({"A"_ns, "B"_ns, "C"_ns})));
    segments->setFrame(CGRectMake(0, 150, 300, 30));
    Recorder selections;
    Ref<RXChannelTerminal> selected = rx_newSelectedSegmentIndexChannelWithNilValue(segments, box(0));
    selections.subscribe(selected);
    UITestDriver::tapAtPoint(at(segments, 250, 15));
    EXPECT_EQ(selections.events(), Events{"2"});
    selected->sendNext(box(1));
    EXPECT_EQ(segments->selectedSegmentIndex(), 1);

    auto stepper = add(make<UIStepper>(CGRectMake(20, 200, 94, 29)));
    Recorder steps;
    Ref<RXChannelTerminal> value = rx_newValueChannelWithNilValue(stepper, box(0.0));
    steps.subscribe(value);
    UITestDriver::tapAtPoint(at(stepper, 80, 15));
    EXPECT_EQ(steps.events(), Events{"1"});
    value->sendNext(box(5.0));
    EXPECT_DOUBLE_EQ(stepper->value(), 5.0);

    auto picker = add(make<UIDatePicker>());
    Ref<NSDate> fallback = NSDate::dateWithTimeIntervalSince1970(0);
    Ref<RXChannelTerminal> date = rx_newDateChannelWithNilValue(picker, fallback);
    std::vector<id> dates;
    date->subscribeNext([&](const id& d) { dates.push_back(d); });
    Ref<NSDate> chosen = NSDate::date()->dateByAddingTimeInterval(3600);
    picker->selectDate(chosen);
    ASSERT_EQ(dates.size(), 1u);
    EXPECT_TRUE(dates[0]->isEqual(chosen));
    date->sendNext(nullptr);
    EXPECT_TRUE(picker->date()->isEqual(fallback));

    auto field = add(make<UITextField>(CGRectMake(20, 300, 200, 30)));
    Recorder texts;
    Ref<RXChannelTerminal> text = rx_newTextChannel(field);
    texts.subscribe(text);
    ASSERT_TRUE(UITestDriver::typeIntoField(field, "hi"));
    EXPECT_EQ(texts.events(), (Events{"", "h", "hi"}));
    text->sendNext(nullptr);
    EXPECT_EQ(field->text()->str(), "") << "nil writes the empty text";
    text->sendNext("typed elsewhere"_ns);
    EXPECT_EQ(field->text()->str(), "typed elsewhere");
    EXPECT_EQ(texts.size(), 3u);
}

TEST_F(RXControlChannelTests, CompletingTheChannelStopsBothDirections) {
    auto slider = add(make<UISlider>(CGRectMake(20, 200, 200, 31)));
    Ref<RXChannelTerminal> terminal =
        rx_channelForControlEventsKeyNilValue(slider, UIControlEventValueChanged, "value"_ns, box(0.0f));
    Recorder recorder;
    recorder.subscribe(terminal);
    EXPECT_EQ(slider->allTargets()->count(), 1u);
    terminal->sendCompleted();
    EXPECT_EQ(recorder.events(), Events{"completed"});
    EXPECT_EQ(slider->allTargets()->count(), 0u) << "the control's events are no longer watched";
    terminal->sendNext(box(0.75f));
    EXPECT_FLOAT_EQ(slider->value(), 0.0f) << "nothing is written after the end";
}

TEST_F(RXControlChannelTests, ManyChannelsOnOneControlLeaveNothingBehindOnceEnded) {
    auto slider = add(make<UISlider>(CGRectMake(20, 200, 200, 31)));
    RXCompoundSizeTracer tracer;
    RXTracer* previous = RXTracer::setTracer(&tracer);
    for (int i = 0; i < 200; ++i) {
        rx_newValueChannelWithNilValue(slider, box(0.0f))->sendCompleted();
    }
    RXTracer::setTracer(previous);
    EXPECT_LE(tracer.largest.load(), 4u);
    EXPECT_EQ(slider->allTargets()->count(), 0u);
}
