// Sliders, steppers, segmented controls, text views, date pickers, progress and activity views,
// refresh controls and bar button items, driven the way an operator drives them.
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIDatePicker.h>
#include <UIKit/UIProgressView.h>
#include <UIKit/UIRefreshControl.h>
#include <UIKit/UISegmentedControl.h>
#include <UIKit/UISlider.h>
#include <UIKit/UIStepper.h>
#include <UIKit/UITestDriver.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

class ValueTarget : public NSObject {
    NS_OBJECT(ValueTarget, NSObject)
public:
    void changed(const id& sender) {
        ++changes;
        lastSender = sender;
    }
    int changes = 0;
    id lastSender;
};

class ValueTextDelegate : public NSObject {
    NS_OBJECT(ValueTextDelegate, NSObject)
public:
    bool shouldChange(const Ref<UITextView>&, NSRange, const Ref<NSString>& text) { return text->str() != "x"; }
    void didChange(const Ref<UITextView>& view) { texts.push_back(view->text()->str()); }
    std::vector<std::string> texts;
};

class ValueScreen : public UIViewController {
    NS_OBJECT(ValueScreen, UIViewController)
public:
    ValueScreen() = default;
    void barAction(const id& sender) { senders.push_back(sender); }
    std::vector<id> senders;
};

} // namespace

NS_IMPLEMENT_CLASS(ValueTarget, NSObject) {
    b.method("changed:", &ValueTarget::changed);
}
NS_IMPLEMENT_CLASS(ValueTextDelegate, NSObject) {
    b.method("textView:shouldChangeTextInRange:replacementText:", &ValueTextDelegate::shouldChange);
    b.method("textViewDidChange:", &ValueTextDelegate::didChange);
}
NS_IMPLEMENT_CLASS(ValueScreen, UIViewController) {
    b.method("barAction:", &ValueScreen::barAction);
}

class ValueControlTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        screen_ = make<ValueScreen>();
        UITestDriver::showRootViewController(screen_);
        target_ = make<ValueTarget>();
    }
    void TearDown() override {
        for (const auto& window : UIWindow::allWindows()) {
            window->setHidden(true); // when the tests share a process
        }
        PlatformTestCase::TearDown();
    }
    template <class T>
    Ref<T> add(Ref<T> control) {
        screen_->view()->addSubview(control);
        control->addTargetActionForControlEvents(target_, "changed:", UIControlEventValueChanged);
        return control;
    }
    // A point of a view, in window coordinates.
    CGPoint at(const Ref<UIView>& view, CGFloat x, CGFloat y) {
        return view->convertPointToView(CGPointMake(x, y), nullptr);
    }

    Ref<ValueScreen> screen_;
    Ref<ValueTarget> target_;
};

TEST_F(ValueControlTests, SliderFollowsTheFingerContinuouslyOrAtTheEnd) {
    auto slider = add(make<UISlider>(CGRectMake(20, 200, 200, 31)));
    slider->setMaximumValue(10);
    UITestDriver::drag(at(slider, 0, 15), at(slider, 150, 15), 3);
    EXPECT_FLOAT_EQ(slider->value(), 7.5f);
    EXPECT_EQ(target_->changes, 3) << "one value-changed per move that changed the value";
    EXPECT_EQ(target_->lastSender, slider);

    slider->setContinuous(false);
    target_->changes = 0;
    UITestDriver::drag(at(slider, 150, 15), at(slider, 400, 15), 4);
    EXPECT_FLOAT_EQ(slider->value(), 10.0f) << "past the end reads the maximum";
    EXPECT_EQ(target_->changes, 1) << "not continuous: once, when the finger lifts";

    slider->setValue(-3);
    EXPECT_FLOAT_EQ(slider->value(), 0.0f);
    slider->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(slider->value(), 0.0f) << "NaN is ignored";
    slider->setMaximumValue(-5);
    EXPECT_FLOAT_EQ(slider->minimumValue(), -5.0f) << "the range stays ordered";
    EXPECT_FLOAT_EQ(slider->value(), -5.0f);
}

TEST_F(ValueControlTests, StepperStepsWithinItsRange) {
    auto stepper = add(make<UIStepper>(CGRectMake(20, 300, 0, 0)));
    stepper->setMaximumValue(2);
    EXPECT_EQ(stepper->frame().size, CGSizeMake(94, 29));
    EXPECT_TRUE(UITestDriver::tapAtPoint(at(stepper, 80, 15)));
    EXPECT_TRUE(UITestDriver::tapAtPoint(at(stepper, 80, 15)));
    EXPECT_TRUE(UITestDriver::tapAtPoint(at(stepper, 80, 15)));
    EXPECT_DOUBLE_EQ(stepper->value(), 2);
    EXPECT_EQ(target_->changes, 2) << "no value-changed at the limit";
    UITestDriver::tapAtPoint(at(stepper, 10, 15));
    EXPECT_DOUBLE_EQ(stepper->value(), 1);
    EXPECT_EQ(target_->changes, 3);

    stepper->setWraps(true);
    stepper->setValue(2);
    EXPECT_TRUE(stepper->increment());
    EXPECT_DOUBLE_EQ(stepper->value(), 0) << "wraps to the minimum";
    EXPECT_TRUE(stepper->decrement());
    EXPECT_DOUBLE_EQ(stepper->value(), 2);

    EXPECT_THROW(stepper->setStepValue(0), NSException);
    EXPECT_THROW(stepper->setStepValue(std::nan("")), NSException);
    EXPECT_THROW(stepper->setMinimumValue(2), NSException);
    EXPECT_THROW(stepper->setMaximumValue(std::nan("")), NSException);
    stepper->setValue(std::nan(""));
    EXPECT_DOUBLE_EQ(stepper->value(), 2);
}

TEST_F(ValueControlTests, SegmentedControlSelectsTheTappedSegment) {
    auto control = add(make<UISegmentedControl>(NSArray::arrayWithObjects({"One"_ns, "Two"_ns, "Three"_ns})));
    control->setFrame(CGRectMake(0, 400, 300, 29));
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControlNoSegment);
    UITestDriver::tapAtPoint(at(control, 150, 10));
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    EXPECT_EQ(target_->changes, 1);

    control->setEnabledForSegmentAtIndex(false, 2);
    UITestDriver::tapAtPoint(at(control, 250, 10));
    EXPECT_EQ(control->selectedSegmentIndex(), 1) << "a disabled segment takes no tap";
    EXPECT_EQ(target_->changes, 1);

    control->insertSegmentWithTitleAtIndexAnimated("Zero"_ns, 0, false);
    EXPECT_EQ(control->selectedSegmentIndex(), 2) << "the selection follows its segment";
    EXPECT_EQ(control->titleForSegmentAtIndex(2)->str(), "Two");
    control->removeSegmentAtIndexAnimated(2, false);
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControlNoSegment);
    EXPECT_THROW(control->setSelectedSegmentIndex(3), NSException);

    control->setMomentary(true);
    UITestDriver::tapAtPoint(at(control, 10, 10));
    EXPECT_EQ(target_->changes, 2);
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControlNoSegment) << "momentary: back at once";
}

TEST_F(ValueControlTests, TextViewEditsThroughItsDelegateAndBringsTheKeyboard) {
    auto view = make<UITextView>(CGRectMake(10, 100, 300, 100));
    screen_->view()->addSubview(view);
    auto delegate = make<ValueTextDelegate>();
    view->setDelegate(delegate);
    int shown = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UIKeyboardDidShowNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++shown; });
    ASSERT_TRUE(UITestDriver::typeIntoTextView(view, "axb\xF0\x9F\x91\x8D"));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(view->text()->str(), "ab\xF0\x9F\x91\x8D") << "the delegate refused the x";
    EXPECT_EQ(delegate->texts, (std::vector<std::string>{"a", "ab", "ab\xF0\x9F\x91\x8D"}));
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_EQ(view->text()->str(), "ab") << "the whole composed character goes";
    view->setSelectedRange(NSMakeRange(0, 1));
    view->insertText("Z"_ns);
    EXPECT_EQ(view->text()->str(), "Zb");
    view->setEditable(false);
    EXPECT_FALSE(view->isFirstResponder()) << "read-only ends editing";
    EXPECT_FALSE(view->insertText("q"_ns));
}

TEST_F(ValueControlTests, DatePickerClampsAndReportsTheOperatorsChoice) {
    auto picker = add(make<UIDatePicker>());
    EXPECT_EQ(picker->frame().size, CGSizeMake(320, 216));
    auto now = NSDate::date();
    picker->setMinimumDate(now->dateByAddingTimeInterval(-60));
    picker->setMaximumDate(now->dateByAddingTimeInterval(3600));
    picker->setDate(now->dateByAddingTimeInterval(-3600));
    EXPECT_TRUE(picker->date()->isEqual(picker->minimumDate()));
    EXPECT_EQ(target_->changes, 0) << "setting in code sends nothing";
    picker->selectDate(now->dateByAddingTimeInterval(7200));
    EXPECT_TRUE(picker->date()->isEqual(picker->maximumDate()));
    EXPECT_EQ(target_->changes, 1);

    picker->setDatePickerMode(UIDatePickerModeCountDownTimer);
    picker->setCountDownDuration(150);
    EXPECT_DOUBLE_EQ(picker->countDownDuration(), 120) << "whole minutes";
    picker->setCountDownDuration(10);
    EXPECT_DOUBLE_EQ(picker->countDownDuration(), 60);
    picker->setCountDownDuration(std::nan(""));
    EXPECT_DOUBLE_EQ(picker->countDownDuration(), 60);
}

TEST_F(ValueControlTests, ProgressAndActivityViews) {
    auto progress = make<UIProgressView>(UIProgressViewStyleDefault);
    progress->setProgress(1.5f);
    EXPECT_FLOAT_EQ(progress->progress(), 1.0f);
    progress->setProgressAnimated(-1, true);
    EXPECT_FLOAT_EQ(progress->progress(), 0.0f);
    progress->setProgress(0.25f);
    progress->setProgress(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(progress->progress(), 0.0f);
    EXPECT_EQ(progress->intrinsicContentSize().height, 2);

    auto large = make<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
    auto small = make<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    EXPECT_EQ(large->intrinsicContentSize(), CGSizeMake(37, 37));
    EXPECT_EQ(small->frame().size, CGSizeMake(20, 20));
    EXPECT_TRUE(large->isHidden()) << "hidden while stopped";
    large->startAnimating();
    EXPECT_TRUE(large->isAnimating());
    EXPECT_FALSE(large->isHidden());
    large->stopAnimating();
    EXPECT_TRUE(large->isHidden());
    large->setHidesWhenStopped(false);
    large->setHidden(false);
    large->stopAnimating();
    EXPECT_FALSE(large->isHidden());
}

TEST_F(ValueControlTests, RefreshControlBeginsOnAPull) {
    auto scroll = make<UIScrollView>(CGRectMake(0, 0, 320, 400));
    screen_->view()->addSubview(scroll);
    auto refresh = add(make<UIRefreshControl>());
    scroll->setRefreshControl(refresh);
    EXPECT_TRUE(UITestDriver::pullToRefresh(scroll));
    EXPECT_TRUE(refresh->isRefreshing());
    EXPECT_EQ(target_->changes, 1);
    EXPECT_FALSE(UITestDriver::pullToRefresh(scroll)) << "already refreshing";
    refresh->endRefreshing();
    EXPECT_FALSE(refresh->isRefreshing());
    refresh->setEnabled(false);
    EXPECT_FALSE(UITestDriver::pullToRefresh(scroll));
    EXPECT_EQ(target_->changes, 1);
    EXPECT_FALSE(UITestDriver::pullToRefresh(make<UIScrollView>()));
}

TEST_F(ValueControlTests, BarButtonItemsSendTheirActions) {
    auto item = make<UIBarButtonItem>("Save"_ns, UIBarButtonItemStyleDone, target_, "changed:");
    EXPECT_TRUE(UITestDriver::tapBarButtonItem(item));
    EXPECT_EQ(target_->changes, 1);
    EXPECT_EQ(target_->lastSender, item) << "the item is the sender";
    item->setEnabled(false);
    EXPECT_FALSE(UITestDriver::tapBarButtonItem(item));
    EXPECT_EQ(target_->changes, 1);

    // A nil target: up the responder chain from the first responder to the screen.
    auto field = make<UITextField>(CGRectMake(10, 100, 200, 30));
    screen_->view()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    auto chained = make<UIBarButtonItem>(UIBarButtonSystemItemDone, nullptr, "barAction:");
    EXPECT_TRUE(UITestDriver::tapBarButtonItem(chained));
    ASSERT_EQ(screen_->senders.size(), 1u);
    EXPECT_EQ(screen_->senders.front(), chained);
    auto nowhere = make<UIBarButtonItem>(UIBarButtonSystemItemDone, nullptr, "noOneAnswers:");
    EXPECT_FALSE(UITestDriver::tapBarButtonItem(nowhere));
}
