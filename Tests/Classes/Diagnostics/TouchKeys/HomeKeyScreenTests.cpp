// The Home key screen run in the run container with the device's keys: a Home press passes on the
// return to the foreground, ten seconds without one fail, the power key (its lock notification on
// time or late) is never a Home press, and a screen that is left ends cleanly.
#include "TouchKeysTestCase.h"

#include <Categorys/DXLocalizedString.h>

#include <CoreFoundation/CFNotificationCenter.h>
#include <Diagnostics/TouchKeys/HomeKeyViewController.h>
#include <Foundation/NSUserDefaults.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UILabel.h>

class HomeKeyScreenTests : public TouchKeysTestCase {
protected:
    void SetUp() override {
        TouchKeysTestCase::SetUp();
        ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2")); // a phone with a Home button
        app = UIApplication::sharedApplication();
        app->launchWithOptions(nullptr);
    }
    Ref<HomeKeyViewController> start() { return cast<HomeKeyViewController>(run("HomeKeyViewController")); }
    static std::string label(const Ref<HomeKeyViewController>& s) { return s->countDownLabel()->text()->str(); }
    static std::string countText(long n) {
        return DXLocalizedStringWithArguments("HOMEKEY_CONTROLLER_COUNTDOWN"_ns, {n})->str();
    }
    // Advances to `seconds` (within a tenth) after the count-down began, told from its label.
    static void advanceTo(const Ref<HomeKeyViewController>& s, double seconds) {
        long whole = static_cast<long>(seconds);
        for (int i = 0; i < 200 && label(s) != countText(10 - whole); ++i) {
            advance(0.05);
        }
        ASSERT_EQ(label(s), countText(10 - whole));
        advance(seconds - static_cast<double>(whole) - 0.025);
    }
    Ref<UIApplication> app;
};

TEST_F(HomeKeyScreenTests, AHomePressPassesOnTheReturn) {
    auto screen = start();
    ASSERT_TRUE(screen);
    EXPECT_EQ(label(screen), countText(10));
    advance(2.6);
    EXPECT_EQ(label(screen), countText(7));
    ASSERT_TRUE(keys.pressKey(Key::Home));
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    advance(1.0); // no lock notification came
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_EQ(screen->flagImageName(), "icon_right_n");
    ASSERT_EQ(app->scheduledLocalNotifications()->count(), 1u);
    EXPECT_FALSE(ended());
    advance(20); // the test waits for the operator, not the count-down
    EXPECT_FALSE(ended());
    EXPECT_FALSE(keys.pressKey(Key::Home) && app->applicationState() != UIApplicationStateBackground);
    app->enterForeground();
    settle();
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(HomeKeyScreenTests, TenSecondsWithoutHomeFail) {
    auto screen = start();
    ASSERT_TRUE(screen);
    advance(9.0);
    EXPECT_FALSE(ended());
    advance(1.0);
    EXPECT_EQ(label(screen), countText(0));
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_EQ(screen->flagImageName(), "icon_fail_n");
    EXPECT_TRUE(ended());
}

TEST_F(HomeKeyScreenTests, ADeadHomeKeyOrNoHomeButtonFails) {
    keys.setKeyState(Key::Home, KeyState::Dead);
    start();
    EXPECT_FALSE(keys.pressKey(Key::Home));
    advance(10.5);
    EXPECT_EQ(result(), DXTestResultFail);

    TearDown();
    SetUp();
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone10,3"));
    start();
    EXPECT_FALSE(keys.pressKey(Key::Home));
    advance(10.5);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(HomeKeyScreenTests, AHomePressInTheLastSecondCountsWhenTheTimeRunsOutDuringTheWait) {
    auto screen = start();
    ASSERT_TRUE(screen);
    advanceTo(screen, 9.5);
    ASSERT_TRUE(keys.pressKey(Key::Home));
    advance(0.6); // the ten seconds run out while the press waits for a late lock notification
    EXPECT_EQ(label(screen), countText(0));
    EXPECT_FALSE(ended());
    EXPECT_NE(result(), DXTestResultFail);
    advance(0.5);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_EQ(screen->flagImageName(), "icon_right_n");
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 1u);
    app->enterForeground();
    settle();
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(HomeKeyScreenTests, ALateLockInTheLastSecondStillFailsWhenTheTimeRunsOut) {
    keys.setLockOrder(SimTouchKeys::LockOrder::NotificationLate, 0.5);
    auto screen = start();
    ASSERT_TRUE(screen);
    advanceTo(screen, 9.5);
    ASSERT_TRUE(keys.pressKey(Key::Power));
    advance(0.6);
    EXPECT_FALSE(ended());
    advance(0.5); // the lock notification came: not Home, and the time is up
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_EQ(screen->flagImageName(), "icon_fail_n");
    EXPECT_TRUE(ended());
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 0u);
}

TEST_F(HomeKeyScreenTests, ThePowerKeyIsNotHomeAndTheCountGoesOnAfterUnlocking) {
    auto screen = start();
    ASSERT_TRUE(screen);
    advance(1.5);
    ASSERT_TRUE(keys.pressKey(Key::Power));
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    advance(2.0);
    EXPECT_EQ(result(), DXTestResultNotRun);
    ASSERT_TRUE(keys.pressKey(Key::Power));
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    EXPECT_FALSE(KeyEventSources::displayStatusLocked());
    EXPECT_TRUE(screen->sources().isObservingLock());
    ASSERT_TRUE(keys.pressKey(Key::Home));
    advance(1.0);
    EXPECT_EQ(result(), DXTestResultPass);
    app->enterForeground();
    settle();
    EXPECT_TRUE(ended());
}

TEST_F(HomeKeyScreenTests, ALateLockNotificationIsNotAHomePress) {
    keys.setLockOrder(SimTouchKeys::LockOrder::NotificationLate, 0.5);
    start();
    advance(1.0);
    ASSERT_TRUE(keys.pressKey(Key::Power));
    advance(3.0);
    EXPECT_EQ(result(), DXTestResultNotRun);
    ASSERT_TRUE(keys.pressKey(Key::Power));
    advance(7.0);
    EXPECT_EQ(result(), DXTestResultFail); // never pressed Home
}

TEST_F(HomeKeyScreenTests, AStaleLockFlagIsClearedWhenTheScreenShows) {
    KeyEventSources::setDisplayStatusLocked(true);
    start();
    EXPECT_FALSE(KeyEventSources::displayStatusLocked());
    ASSERT_TRUE(keys.pressKey(Key::Home));
    advance(1.0);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(HomeKeyScreenTests, LeavingTheScreenEndsItCleanly) {
    auto screen = start();
    ASSERT_TRUE(screen);
    advance(2);
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    settle();
    EXPECT_FALSE(screen->sources().isObservingLock());
    EXPECT_EQ(CFNotificationCenterObserverCount(CFNotificationCenterGetDarwinNotifyCenter(),
                                                "com.apple.springboard.lockcomplete"_ns.get()),
              0u);
    EXPECT_EQ(result(), DXTestResultFail); // stopped early: failed, without an end request
    EXPECT_FALSE(ended());
    keys.pressKey(Key::Home);
    advance(15);
    app->enterForeground();
    settle();
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 0u);
    EXPECT_FALSE(ended());
}

TEST_F(HomeKeyScreenTests, KeysInTheBackgroundDoNothingMore) {
    start();
    ASSERT_TRUE(keys.pressKey(Key::Home));
    keys.pressKey(Key::Home);
    keys.pressScreenshotChord();
    keys.pressKey(Key::VolumeUp);
    advance(1.0);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_EQ(app->scheduledLocalNotifications()->count(), 1u);
}
