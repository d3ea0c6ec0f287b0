#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIButton.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UITextField.h>

namespace {

class Target : public NSObject {
    NS_OBJECT(Target, NSObject)
public:
    void tapped(const id& sender) {
        ++taps;
        lastSender = sender;
    }
    void changed() { ++changes; }
    bool textFieldShouldChange(const Ref<UITextField>&, NSRange, const Ref<NSString>& s) { return s->str() != "x"; }
    int taps = 0;
    int changes = 0;
    id lastSender;
};

} // namespace

NS_IMPLEMENT_CLASS(Target, NSObject) {
    b.method("tapped:", &Target::tapped);
    b.method("changed", &Target::changed);
    b.method("textField:shouldChangeCharactersInRange:replacementString:", &Target::textFieldShouldChange);
}

class ControlTests : public PlatformTestCase {};

TEST_F(ControlTests, EventsReachTargetsHeldWeakly) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    auto target = make<Target>();
    button->addTargetActionForControlEvents(target, "tapped:", UIControlEventTouchUpInside);
    button->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_EQ(target->taps, 0) << "only the registered events";
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(target->taps, 1);
    EXPECT_EQ(target->lastSender, button);
    EXPECT_EQ(button->allControlEvents(), UIControlEventTouchUpInside);
    EXPECT_EQ(
        cast<NSString>(button->actionsForTargetForControlEvent(target, UIControlEventTouchUpInside)->objectAtIndex(0))
            ->str(),
        "tapped:");

    Weak<Target> weak(target);
    target = nullptr;
    EXPECT_FALSE(weak.lock()) << "the control does not keep its target";
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(button->allControlEvents(), 0u);
}

TEST_F(ControlTests, TapThroughTheWindowSendsTouchUpInside) {
    auto vc = make<UIViewController>();
    UITestDriver::showRootViewController(vc);
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(CGRectMake(20, 100, 120, 44));
    button->setTitleForState("Start"_ns, UIControlStateNormal);
    vc->view()->addSubview(button);
    auto target = make<Target>();
    button->addTargetActionForControlEvents(target, "tapped:", UIControlEventTouchUpInside);
    EXPECT_TRUE(UITestDriver::tapButtonTitled("Start"));
    EXPECT_EQ(target->taps, 1);
    EXPECT_FALSE(button->isHighlighted());

    button->setEnabled(false);
    EXPECT_FALSE(UITestDriver::tapButtonTitled("Start"));
    EXPECT_EQ(target->taps, 1);
    button->setEnabled(true);

    auto cover = make<UIView>(CGRectMake(0, 0, 400, 400));
    vc->view()->addSubview(cover);
    UITestDriver::tapButtonTitled("Start");
    EXPECT_EQ(target->taps, 1) << "a covered button is not reached";
}

TEST_F(ControlTests, ButtonTitlesFallBackToTheNormalState) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitleForState("Normal"_ns, UIControlStateNormal);
    button->setTitleForState("Selected"_ns, UIControlStateSelected);
    EXPECT_EQ(button->currentTitle()->str(), "Normal");
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle()->str(), "Selected");
    EXPECT_EQ(button->titleLabel()->text()->str(), "Selected");
    EXPECT_EQ(button->titleForState(UIControlStateHighlighted)->str(), "Normal");
    // A title inset moves the title by half of it, keeping the title whole.
    button->setFrame(CGRectMake(0, 0, 160, 50));
    button->layoutIfNeeded();
    CGRect centred = button->titleLabel()->frame();
    button->setTitleEdgeInsets(UIEdgeInsetsMake(20, 0, 0, 0));
    button->layoutIfNeeded();
    EXPECT_EQ(button->titleLabel()->frame(), CGRectOffset(centred, 0, 10));
}

TEST_F(ControlTests, SwitchFlipsOnTap) {
    auto vc = make<UIViewController>();
    UITestDriver::showRootViewController(vc);
    auto sw = make<UISwitch>(CGRectMake(10, 200, 0, 0));
    vc->view()->addSubview(sw);
    auto target = make<Target>();
    sw->addTargetActionForControlEvents(target, "changed", UIControlEventValueChanged);
    UITestDriver::tapView(sw);
    EXPECT_TRUE(sw->isOn());
    EXPECT_EQ(target->changes, 1);
}

TEST_F(ControlTests, TypingAsksTheDelegateAndSendsEditingChanged) {
    auto vc = make<UIViewController>();
    UITestDriver::showRootViewController(vc);
    auto field = make<UITextField>(CGRectMake(10, 300, 200, 30));
    vc->view()->addSubview(field);
    auto target = make<Target>();
    field->setDelegate(target);
    field->addTargetActionForControlEvents(target, "changed", UIControlEventEditingChanged);
    int keyboard = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UIKeyboardWillShowNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++keyboard; });
    EXPECT_TRUE(UITestDriver::typeIntoField(field, "axb"));
    EXPECT_EQ(field->text()->str(), "ab") << "the delegate refused the x";
    EXPECT_EQ(target->changes, 2);
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(keyboard, 1);
    field->setText("set in code"_ns);
    EXPECT_EQ(target->changes, 2) << "setting the text sends no event";
    field->resignFirstResponder();
    EXPECT_FALSE(field->isEditing());
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}
