// The start page and the session-entry form, shown over a screen in a window, on virtual time.
#include "../Core/ScreenTestCase.h"

#include <Shell/EnterSessionIdViewController.h>
#include <Shell/StartViewController.h>

#include <CoreGraphics/CGImage.h>
#include <Foundation/NSNotificationCenter.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIStatusBar.h>
#include <UIKit/UIWindow.h>

namespace {

class ShellScreenTest : public ScreenTestCase {
protected:
    void SetUp() override {
        ScreenTestCase::SetUp();
        root_ = make<UIViewController>();
        showInNavigation(root_);
    }
    void TearDown() override {
        root_ = nullptr;
        ScreenTestCase::TearDown();
    }
    void settle() {
        advance(0.5);
        UITestDriver::layout();
    }
    Ref<UIViewController> root_;
};

} // namespace

TEST_F(ShellScreenTest, StartPageShowsItsTextsAndCallsTheBlockOncePerPress) {
    int presses = 0;
    auto start = StartViewController::showStartViewControllerOnStart(root_, [&] { ++presses; });
    settle();
    EXPECT_EQ(navigation_->presentedViewController(), start);
    EXPECT_EQ(start->titleLabel()->text()->str(), "Celvix");
    EXPECT_EQ(start->startButton()->titleForState(UIControlStateNormal)->str(), "Start");
    EXPECT_EQ(start->label()->text()->str(), "Press Start to check this device with Celvix.");
    EXPECT_EQ(start->startButton()->layer()->cornerRadius(), 5);
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    EXPECT_EQ(presses, 2);
    start->setOnstart(nullptr);
    EXPECT_TRUE(UITestDriver::tapButtonTitled("Start"));
    EXPECT_EQ(presses, 2);
}

TEST_F(ShellScreenTest, TheStatusBarShowsLightOverBothDarkPages) {
    // The time and the battery must stay readable over the pages' dark blue: drawn in white there,
    // and as the screen under them asks once the page has gone.
    auto app = UIApplication::sharedApplication();
    auto whiteInTheBar = [&] {
        UITestDriver::layout();
        auto image = UIScreenshotImageInRect(app->statusBarFrame());
        int white = 0;
        for (size_t y = 0; image && y < CGImageGetHeight(image->CGImage()); ++y) {
            for (size_t x = 0; x < CGImageGetWidth(image->CGImage()); ++x) {
                uint8_t p[4] = {};
                CGImageGetPixel(image->CGImage(), x, y, p);
                white += p[0] > 200 && p[1] > 200 && p[2] > 200;
            }
        }
        return white;
    };
    for (const char* page : {"start", "session"}) {
        Ref<UIViewController> shown;
        if (std::string(page) == "start") {
            shown = StartViewController::showStartViewControllerOnStart(root_, nullptr);
        } else {
            shown = EnterSessionIdViewController::showEnterSessionIdViewControllerOnEnter(root_, nullptr);
        }
        settle();
        EXPECT_EQ(UIStatusBar::currentStyle(), UIStatusBarStyleLightContent) << page;
        EXPECT_GT(whiteInTheBar(), 30) << page;
        shown->dismissViewControllerAnimatedCompletion(false, nullptr);
        settle();
        EXPECT_EQ(UIStatusBar::currentStyle(), UIStatusBarStyleDefault) << page;
    }
}

TEST_F(ShellScreenTest, SendFollowsTheLengthsOfBothFields) {
    std::vector<std::pair<std::string, std::string>> entered;
    auto form = EnterSessionIdViewController::showEnterSessionIdViewControllerOnEnter(
        root_, [&](const Ref<EnterSessionIdViewController>&, const Ref<NSString>& server, const Ref<NSString>& id) {
            entered.emplace_back(server->str(), id->str());
        });
    settle();
    auto send = form->sendBtn();
    ASSERT_TRUE(send);
    EXPECT_EQ(send->titleForState(UIControlStateNormal)->str(), "Send");
    EXPECT_FALSE(send->isEnabled());
    ASSERT_TRUE(UITestDriver::typeIntoField(form->serverTextField(), "a.b"));
    ASSERT_TRUE(UITestDriver::typeIntoField(form->sessionidTextField(), "7"));
    EXPECT_FALSE(send->isEnabled()); // 3 characters
    ASSERT_TRUE(UITestDriver::typeIntoField(form->serverTextField(), "c"));
    EXPECT_TRUE(send->isEnabled());
    form->sessionidTextField()->becomeFirstResponder();
    form->sessionidTextField()->deleteBackward();
    UITestDriver::settle(); // the command's enabled state arrives on the main queue
    EXPECT_FALSE(send->isEnabled());
    ASSERT_TRUE(UITestDriver::typeIntoField(form->sessionidTextField(), " 9"));
    ASSERT_TRUE(UITestDriver::tapView(send));
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_EQ(entered[0].first, "a.bc");
    EXPECT_EQ(entered[0].second, " 9");                           // handed over as typed; the session road trims
    EXPECT_FALSE(form->sessionidTextField()->isFirstResponder()); // the keyboard went down
}

TEST_F(ShellScreenTest, ReturnMovesFromServerToSessionAndThenPutsTheKeyboardAway) {
    auto form = EnterSessionIdViewController::showEnterSessionIdViewControllerOnEnter(root_, nullptr);
    settle();
    EXPECT_TRUE(form->serverTextField()->isFirstResponder());
    EXPECT_FALSE(form->textFieldShouldReturn(form->serverTextField()));
    EXPECT_TRUE(form->sessionidTextField()->isFirstResponder());
    EXPECT_FALSE(form->textFieldShouldReturn(form->sessionidTextField()));
    EXPECT_FALSE(form->sessionidTextField()->isFirstResponder());
}

TEST_F(ShellScreenTest, KeyboardObserversAndTheTapAreAddedOnceAndGoWithTheForm) {
    auto form = EnterSessionIdViewController::showEnterSessionIdViewControllerOnEnter(root_, nullptr);
    settle();
    ASSERT_TRUE(form->observesKeyboard());
    form->setKeyBoardAutoHidden(); // again: nothing more
    auto center = NSNotificationCenter::defaultCenter();
    for (int i = 0; i < 3; ++i) {
        center->postNotificationNameObject(UIKeyboardWillShowNotification(), nullptr);
        center->postNotificationNameObject(UIKeyboardWillHideNotification(), nullptr);
    }
    UITestDriver::settle();
    size_t taps = 0;
    auto recognizers = form->view()->gestureRecognizers();
    for (const id& recognizer : *recognizers) {
        taps += recognizer == form->backgroundTap();
    }
    EXPECT_EQ(taps, 1u);

    // A tap on the background ends editing.
    form->serverTextField()->becomeFirstResponder();
    form->backgroundTapDismissKeyboard(form->backgroundTap());
    EXPECT_FALSE(form->serverTextField()->isFirstResponder());

    bool dismissed = false;
    form->dismiss([&] { dismissed = true; });
    settle();
    EXPECT_TRUE(dismissed);
    EXPECT_FALSE(form->observesKeyboard());
    auto left = form->view()->gestureRecognizers();
    EXPECT_TRUE(!left || left->count() == 0u);

    // Once the form is gone, keyboard notifications reach nothing of it.
    Weak<EnterSessionIdViewController> weak(form);
    form = nullptr;
    settle();
    EXPECT_FALSE(weak.lock());
    center->postNotificationNameObject(UIKeyboardWillShowNotification(), nullptr);
    UITestDriver::settle();
}
