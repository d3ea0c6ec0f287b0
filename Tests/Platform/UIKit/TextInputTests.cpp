// Text input as the entry screens use it: the delegate's veto over beginning, changing and ending an
// edit, the ranges it is asked about, deleting whole characters, the return key and the clear button,
// and one first responder at a time.
#include <Dispatch/Clock.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UITextField.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class FieldDelegate : public NSObject {
    NS_OBJECT(FieldDelegate, NSObject)
public:
    Log log;
    bool mayBegin = true;
    bool mayEnd = true;
    bool mayClear = true;
    NSUInteger maxLength = 100;
    std::vector<NSRange> ranges;
    bool shouldBegin(const Ref<UITextField>&) {
        log.push_back("shouldBegin");
        return mayBegin;
    }
    void didBegin(const Ref<UITextField>&) { log.push_back("didBegin"); }
    bool shouldEnd(const Ref<UITextField>&) {
        log.push_back("shouldEnd");
        return mayEnd;
    }
    void didEnd(const Ref<UITextField>&) { log.push_back("didEnd"); }
    bool shouldChange(const Ref<UITextField>& field, NSRange range, const Ref<NSString>& replacement) {
        ranges.push_back(range);
        return field->text()->length() - range.length + replacement->length() <= maxLength;
    }
    bool shouldReturn(const Ref<UITextField>&) {
        log.push_back("shouldReturn");
        return true;
    }
    bool shouldClear(const Ref<UITextField>&) { return mayClear; }
};

class FieldTarget : public NSObject {
    NS_OBJECT(FieldTarget, NSObject)
public:
    int changed = 0;
    int exits = 0;
    void onChange() { ++changed; }
    void onExit() { ++exits; }
};

} // namespace

NS_IMPLEMENT_CLASS(FieldDelegate, NSObject) {
    b.method("textFieldShouldBeginEditing:", &FieldDelegate::shouldBegin);
    b.method("textFieldDidBeginEditing:", &FieldDelegate::didBegin);
    b.method("textFieldShouldEndEditing:", &FieldDelegate::shouldEnd);
    b.method("textFieldDidEndEditing:", &FieldDelegate::didEnd);
    b.method("textField:shouldChangeCharactersInRange:replacementString:", &FieldDelegate::shouldChange);
    b.method("textFieldShouldReturn:", &FieldDelegate::shouldReturn);
    b.method("textFieldShouldClear:", &FieldDelegate::shouldClear);
}
NS_IMPLEMENT_CLASS(FieldTarget, NSObject) {
    b.method("onChange", &FieldTarget::onChange);
    b.method("onExit", &FieldTarget::onExit);
}

class TextInputTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        screen = make<UIViewController>();
        UITestDriver::showRootViewController(screen);
        field = make<UITextField>(CGRectMake(10, 100, 200, 30));
        other = make<UITextField>(CGRectMake(10, 150, 200, 30));
        screen->view()->addSubview(field);
        screen->view()->addSubview(other);
        delegate = make<FieldDelegate>();
        field->setDelegate(delegate);
        target = make<FieldTarget>();
        field->addTargetActionForControlEvents(target, "onChange", UIControlEventEditingChanged);
    }
    void TearDown() override {
        field = other = nullptr;
        screen = nullptr;
        PlatformTestCase::TearDown();
    }
    Ref<UIViewController> screen;
    Ref<UITextField> field;
    Ref<UITextField> other;
    Ref<FieldDelegate> delegate;
    Ref<FieldTarget> target;
};

TEST_F(TextInputTests, TheDelegateMayRefuseToBeginOrToEnd) {
    delegate->mayBegin = false;
    EXPECT_FALSE(UITestDriver::typeIntoField(field, "x"));
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(field->text()->str(), "") << "a field that did not begin editing takes no typing";

    delegate->mayBegin = true;
    delegate->log.clear();
    EXPECT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(delegate->log, (Log{"shouldBegin", "didBegin"}));
    delegate->mayEnd = false;
    EXPECT_FALSE(field->resignFirstResponder());
    EXPECT_TRUE(field->isEditing());
    EXPECT_FALSE(other->becomeFirstResponder()) << "another field cannot take over while this one refuses to end";
    EXPECT_TRUE(field->isEditing());
    delegate->mayEnd = true;
    delegate->log.clear();
    EXPECT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(delegate->log, (Log{"shouldEnd", "didEnd"}));
}

TEST_F(TextInputTests, OneFirstResponderAtATime) {
    EXPECT_TRUE(UITestDriver::typeIntoField(field, "12"));
    EXPECT_TRUE(field->isEditing());
    EXPECT_TRUE(UITestDriver::typeIntoField(other, "34"));
    EXPECT_TRUE(other->isEditing());
    EXPECT_FALSE(field->isEditing()) << "the first field ended its edit";
    EXPECT_EQ(delegate->log, (Log{"shouldBegin", "didBegin", "shouldEnd", "didEnd"}));
    EXPECT_EQ(field->text()->str(), "12");
    EXPECT_EQ(other->text()->str(), "34");
}

TEST_F(TextInputTests, TheDelegateSeesEachChangeAsARangeAndMayCapTheLength) {
    delegate->maxLength = 4;
    UITestDriver::typeIntoField(field, "123456");
    EXPECT_EQ(field->text()->str(), "1234");
    ASSERT_EQ(delegate->ranges.size(), 6u);
    EXPECT_EQ(delegate->ranges[0], NSMakeRange(0, 0));
    EXPECT_EQ(delegate->ranges[3], NSMakeRange(3, 0));
    EXPECT_EQ(delegate->ranges[5], NSMakeRange(4, 0)) << "asked at the end of what stands";
    EXPECT_EQ(target->changed, 4) << "only accepted changes send editing-changed";
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_EQ(delegate->ranges.back(), NSMakeRange(3, 1));
    EXPECT_EQ(field->text()->str(), "123");
}

TEST_F(TextInputTests, DeletingRemovesAWholeCharacter) {
    field->becomeFirstResponder();
    field->insertText("a\xF0\x9F\x98\x80"_ns); // "a" and an emoji of two UTF-16 units
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_EQ(field->text()->str(), "a");
    EXPECT_EQ(delegate->ranges.back(), NSMakeRange(1, 2));
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_FALSE(field->deleteBackward()) << "nothing left to delete";
    EXPECT_EQ(target->changed, 3);
}

TEST_F(TextInputTests, TheReturnKeyEndsTheEditOnlyWhenSomethingHandlesIt) {
    UITestDriver::typeIntoField(field, "ok");
    field->pressReturnKey();
    EXPECT_TRUE(field->isEditing()) << "no one handles editing-did-end-on-exit";
    field->addTargetActionForControlEvents(target, "onExit", UIControlEventEditingDidEndOnExit);
    field->pressReturnKey();
    EXPECT_EQ(target->exits, 1);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(std::count(delegate->log.begin(), delegate->log.end(), "shouldReturn"), 2);
}

TEST_F(TextInputTests, TheClearButtonAsksTheDelegateAndPostsTheChange) {
    UITestDriver::typeIntoField(field, "abc");
    int posted = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UITextFieldTextDidChangeNotification(), field, nullptr, [&](const Ref<NSNotification>&) { ++posted; });
    delegate->mayClear = false;
    field->clearText();
    EXPECT_EQ(field->text()->str(), "abc");
    delegate->mayClear = true;
    field->clearText();
    EXPECT_EQ(field->text()->str(), "");
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(target->changed, 4);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(TextInputTests, ClearsOnBeginEditingAndDisabledFieldsTakeNoText) {
    field->setText("old"_ns);
    field->setClearsOnBeginEditing(true);
    UITestDriver::typeIntoField(field, "new");
    EXPECT_EQ(field->text()->str(), "new");
    field->resignFirstResponder();
    other->setEnabled(false);
    EXPECT_FALSE(other->insertText("x"_ns));
    EXPECT_EQ(other->text()->str(), "");
}

TEST_F(TextInputTests, ATestEndingWhileEditingLeavesNoKeyboardForTheNext) {
    ASSERT_TRUE(field->becomeFirstResponder());
    ASSERT_TRUE(UIWindow::isKeyboardVisible());
    DispatchClock::endTest();
    EXPECT_FALSE(UIWindow::isKeyboardVisible());
    EXPECT_FALSE(UIResponder::currentFirstResponder());
    // The next test's first edit brings the keyboard up, and says so.
    int shown = 0;
    auto observer = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UIKeyboardWillShowNotification(), nullptr, nullptr, [&](const Ref<NSNotification>&) { ++shown; });
    UITestDriver::showRootViewController(screen);
    ASSERT_TRUE(other->becomeFirstResponder());
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(UIWindow::isKeyboardVisible());
    NSNotificationCenter::defaultCenter()->removeObserver(observer);
}
