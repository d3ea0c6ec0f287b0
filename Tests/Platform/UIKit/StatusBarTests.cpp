// The status bar across the top of the screen: when it shows, how high it is on each screen, where
// it stands among the windows, the battery and signal marks it draws, and the style it draws in.
#include <CoreGraphics/CGImage.h>
#include <Device/SimDevice.h>
#include <Device/SimPower.h>
#include <Device/SimRadios.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UIStatusBar.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <array>
#include <regex>
#include <string>

namespace {

// A screen with a blue header colour all over that asks for light content, or the default.
class BlueScreen : public UIViewController {
    NS_OBJECT(BlueScreen, UIViewController)
public:
    BlueScreen() = default;
    NSInteger preferredStatusBarStyle() override {
        return light ? UIStatusBarStyleLightContent : UIStatusBarStyleDefault;
    }
    void viewDidLoad() override {
        UIViewController::viewDidLoad();
        view()->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.13, 0.45, 0.75, 1));
    }
    bool light = true;
};

class StatusBarTapTarget : public NSObject {
    NS_OBJECT(StatusBarTapTarget, NSObject)
public:
    StatusBarTapTarget() = default;
    void tapped(const id&) { ++taps; }
    int taps = 0;
};

} // namespace

NS_IMPLEMENT_CLASS(BlueScreen, UIViewController) {}
NS_IMPLEMENT_CLASS(StatusBarTapTarget, NSObject) {
    b.method("tapped:", &StatusBarTapTarget::tapped);
}

namespace {

using RGBA = std::array<uint8_t, 4>;

class StatusBarTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2")); // a 20-point bar
        SimDevice::current().setBatteryState(SimDevice::BatteryState::Unplugged);
        app = UIApplication::sharedApplication();
        screen = make<BlueScreen>();
        window = UITestDriver::showRootViewController(screen);
        UITestDriver::layout();
    }

    Ref<UIStatusBarBatteryItemView> battery() { return UIStatusBar::shared()->batteryItem(); }

    // The device in force with a main screen of `width` x `height` points.
    static void useScreen(double width, double height) {
        std::string screen = "\"screen\": {\"width\": " + std::to_string(width) +
                             ", \"height\": " + std::to_string(height) + ", \"scale\": 2.0, \"nativeScale\": 2.0}";
        std::string json = std::regex_replace(SimDevice::current().profileJSON(),
                                              std::regex("\"screen\"\\s*:\\s*\\{[^}]*\\}"), screen);
        std::string error;
        ASSERT_TRUE(SimDevice::current().loadProfileJSON(json, &error)) << error;
    }

    // The pixels of a rectangle of the screen (points) of a kind: white (light content), black,
    // plainly green, plainly red.
    template <class Kind>
    static int pixels(CGRect r, Kind kind) {
        auto image = UIScreenshotImageInRect(r);
        int n = 0;
        for (size_t y = 0; image && y < CGImageGetHeight(image->CGImage()); ++y) {
            for (size_t x = 0; x < CGImageGetWidth(image->CGImage()); ++x) {
                RGBA p{};
                CGImageGetPixel(image->CGImage(), x, y, p.data());
                n += kind(p);
            }
        }
        return n;
    }
    static int whitePixels(CGRect r) {
        return pixels(r, [](const RGBA& p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; });
    }
    static int darkPixels(CGRect r) {
        return pixels(r, [](const RGBA& p) { return p[0] < 40 && p[1] < 40 && p[2] < 40; });
    }
    static int greenPixels(CGRect r) {
        return pixels(r, [](const RGBA& p) { return p[1] > p[0] + 80 && p[1] > p[2] + 60; });
    }
    static int redPixels(CGRect r) {
        return pixels(r, [](const RGBA& p) { return p[0] > p[1] + 100 && p[0] > p[2] + 80; });
    }
    // The battery's outline on the screen.
    CGRect batteryBody() {
        auto item = battery();
        return item->convertRectToView(UIStatusBarBatteryItemView::bodyRect(item->bounds()), nullptr);
    }

    Ref<UIApplication> app;
    Ref<BlueScreen> screen;
    Ref<UIWindow> window;
};

} // namespace

TEST_F(StatusBarTests, TheBarShowsAcrossTheTopWhileTheApplicationShowsAWindowAndDoesNotHideIt) {
    auto bar = app->statusBarWindow();
    ASSERT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->frame(), CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 20));
    EXPECT_EQ(app->statusBarFrame(), bar->frame());
    CGRect top = CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 20);
    EXPECT_GT(whitePixels(top), 50) << "the time and the battery, in white on the blue";

    app->setStatusBarHidden(true);
    UITestDriver::layout();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(whitePixels(top), 0) << "only the screen's blue";
    app->setStatusBarHidden(false);
    UITestDriver::layout();
    EXPECT_FALSE(bar->isHidden());

    // The system's camera screen covers the whole screen, the bar too.
    auto picker = make<UIImagePickerController>();
    picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
    screen->presentViewControllerAnimatedCompletion(picker, false, nullptr);
    UITestDriver::settle();
    EXPECT_TRUE(bar->isHidden());
    picker->dismissViewControllerAnimatedCompletion(false, nullptr);
    UITestDriver::settle();
    EXPECT_FALSE(bar->isHidden());

    // Without a window of the application's own on show, there is no bar either.
    window->setHidden(true);
    UITestDriver::layout();
    EXPECT_TRUE(bar->isHidden());
}

TEST_F(StatusBarTests, TheBarIsAsHighAsTheTopOfTheSafeAreaOnEveryScreen) {
    // Beside a sensor housing the bar is 44 points high, else 20: it covers exactly the strip that
    // screens keep their content out of, neither leaving a gap nor drawing over what lies below it.
    struct Screen {
        double width, height, bar;
    };
    for (auto [width, height, bar] : {Screen{320, 568, 20}, Screen{375, 667, 20}, Screen{414, 736, 20},
                                      Screen{768, 1024, 20}, Screen{375, 812, 44}, Screen{414, 896, 44}}) {
        useScreen(width, height);
        UITestDriver::layout();
        auto where = std::to_string(static_cast<int>(width)) + " x " + std::to_string(static_cast<int>(height));
        EXPECT_EQ(app->statusBarWindow()->frame(), CGRectMake(0, 0, width, bar)) << where;
        EXPECT_EQ(app->statusBarFrame(), app->statusBarWindow()->frame()) << where;
        EXPECT_EQ(UIScreen::mainScreen()->safeAreaInsets().top, bar) << where;
    }
}

TEST_F(StatusBarTests, TheBarIsNoneOfTheApplicationsWindowsAndTakesNoTouches) {
    auto bar = app->statusBarWindow();
    EXPECT_EQ(UIWindow::keyWindow(), window);
    ASSERT_EQ(app->windows()->count(), 1u);
    EXPECT_EQ(app->windows()->objectAtIndex(0), window);

    // A button under the bar still takes the finger.
    auto target = make<StatusBarTapTarget>();
    auto button = make<UIButton>(CGRectMake(0, 0, 120, 20));
    button->addTargetActionForControlEvents(target, "tapped:", UIControlEventTouchUpInside);
    screen->view()->addSubview(button);
    EXPECT_TRUE(UITestDriver::tapAtPoint(CGPointMake(60, 10)));
    EXPECT_EQ(target->taps, 1);

    // A window of the application's at the alerts' level stands above the bar, and the bar never
    // becomes the key window.
    auto above = make<UIWindow>();
    above->setWindowLevel(UIWindowLevelAlert);
    above->makeKeyAndVisible();
    UITestDriver::layout();
    auto windows = UIWindow::windowsFromBackToFront();
    auto at = [&](const Ref<UIWindow>& w) { return std::find(windows.begin(), windows.end(), w) - windows.begin(); };
    EXPECT_LT(at(window), at(bar));
    EXPECT_LT(at(bar), at(above));
    EXPECT_EQ(UIWindow::keyWindow(), above);
    EXPECT_EQ(app->windows()->count(), 2u);
    EXPECT_FALSE(bar->isKeyWindow());
}

TEST_F(StatusBarTests, TheBatteryMarkShowsTheLevelAndABoltWhileTheBatteryCharges) {
    auto& device = SimDevice::current();
    device.setBatteryLevel(0.9f);
    device.setBatteryState(SimDevice::BatteryState::Unplugged);
    UITestDriver::layout();
    EXPECT_FLOAT_EQ(battery()->batteryLevel(), 0.9f);
    EXPECT_TRUE(battery()->boltView()->isHidden());
    EXPECT_EQ(battery()->accessibilityLabel()->str(), "Battery 90%");
    int full = whitePixels(batteryBody());

    device.setBatteryLevel(0.3f);
    UITestDriver::layout();
    EXPECT_EQ(battery()->accessibilityLabel()->str(), "Battery 30%");
    int lower = whitePixels(batteryBody());
    EXPECT_GT(full, lower + 20) << "the charge drawn shrinks with the level";
    EXPECT_EQ(greenPixels(batteryBody()) + redPixels(batteryBody()), 0) << "in the bar's colour";

    // Low: the charge turns red.
    device.setBatteryLevel(0.15f);
    UITestDriver::layout();
    EXPECT_GT(redPixels(batteryBody()), 10);

    // On the charger: the bolt shows, over a green charge.
    SimPower::current().plug(SimPower::Source::Charger);
    UITestDriver::layout();
    EXPECT_EQ(device.batteryState(), SimDevice::BatteryState::Charging);
    EXPECT_FALSE(battery()->boltView()->isHidden());
    EXPECT_EQ(battery()->accessibilityLabel()->str().rfind(", charging"),
              battery()->accessibilityLabel()->length() - 10);
    EXPECT_NE(UITestDriver::describeScreen().find("Status bar: "), std::string::npos);
    EXPECT_NE(UITestDriver::describeScreen().find(", charging"), std::string::npos);
    EXPECT_GT(whitePixels(batteryBody()), 0) << "the bolt";
    EXPECT_GT(greenPixels(batteryBody()), 10) << "the charge, low as it is";
    EXPECT_EQ(redPixels(batteryBody()), 0);

    // Full on the charger still shows the bolt; taken off, it goes.
    device.setBatteryState(SimDevice::BatteryState::Full);
    UITestDriver::layout();
    EXPECT_FALSE(battery()->boltView()->isHidden());
    SimPower::current().unplug(SimPower::Source::Charger);
    UITestDriver::layout();
    EXPECT_TRUE(battery()->boltView()->isHidden());
}

TEST_F(StatusBarTests, TheBarDrawsInTheStyleTheScreenInFrontAsksFor) {
    CGRect top = CGRectMake(0, 0, UIScreen::mainScreen()->bounds().size.width, 20);
    EXPECT_EQ(UIStatusBar::currentStyle(), UIStatusBarStyleLightContent);
    EXPECT_GT(whitePixels(top), 50);
    EXPECT_EQ(darkPixels(top), 0);

    // A screen presented over it asks for the default: black on its blue.
    auto front = make<BlueScreen>();
    front->light = false;
    screen->presentViewControllerAnimatedCompletion(front, false, nullptr);
    UITestDriver::settle();
    EXPECT_EQ(UIStatusBar::currentStyle(), UIStatusBarStyleDefault);
    EXPECT_GT(darkPixels(top), 50);
    EXPECT_EQ(whitePixels(top), 0);

    // As it slides away the screen under it is the one in front again: a picture of the screen as it
    // settles draws the bar in that screen's style.
    front->dismissViewControllerAnimatedCompletion(true, nullptr);
    UITestDriver::settle();
    ASSERT_TRUE(front->isBeingDismissed());
    EXPECT_EQ(UIStatusBar::currentStyle(), UIStatusBarStyleLightContent);
    advance(1);
    EXPECT_EQ(UIStatusBar::currentStyle(), UIStatusBarStyleLightContent);
}

TEST_F(StatusBarTests, TheSignalMarkFillsAsManyBarsAsTheRadioGives) {
    auto signal = UIStatusBar::shared()->signalItem();
    ASSERT_TRUE(signal);
    CGRect mark = signal->convertRectToView(signal->bounds(), nullptr);
    EXPECT_EQ(signal->signalStrengthBars(), 4);
    EXPECT_GT(whitePixels(mark), 20);

    // A dead carrier gives no signal: the four bars still show, every one of them faint.
    SimRadios::current().setState(SimRadios::Part::Carrier, SimRadios::State::Dead);
    UITestDriver::layout();
    ASSERT_EQ(UIStatusBar::shared()->signalItem(), signal);
    EXPECT_EQ(signal->signalStrengthBars(), 0);
    EXPECT_EQ(whitePixels(mark), 0);
    EXPECT_GT(pixels(mark, [](const RGBA& p) { return p[0] > 70; }), 20) << "the empty bars, lighter than the blue";
}

TEST_F(StatusBarTests, TheTimeFollowsThePlatformClock) {
    auto before = UIStatusBar::shared()->timeItem()->accessibilityLabel()->str();
    EXPECT_EQ(before, UIStatusBarTimeItemView::timeText()->str());
    advance(61 * 60);
    UITestDriver::layout();
    auto after = UIStatusBar::shared()->timeItem()->accessibilityLabel()->str();
    EXPECT_NE(after, before);
    EXPECT_EQ(after, UIStatusBarTimeItemView::timeText()->str());
}
