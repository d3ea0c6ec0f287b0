// The status bar: the strip across the top of the screen where the system shows the time, the
// cellular signal and the battery. While the application shows a window of its own, its status bar
// is not hidden (setStatusBarHidden) and the screen in front does not prefer it hidden
// (prefersStatusBarHidden, of it or a container it shows in), the application's status-bar window
// (UIApplication::statusBarWindow, at UIWindowLevelStatusBar: above the application's windows, below
// its alerts) shows the shared UIStatusBar, as high as the status bar (20 points, 44 on the screens
// with a sensor housing). The window takes no touches, never becomes the key window and is none of
// the application's windows (UIApplication::windows leaves it out).
//
// The items, left to right: the cellular signal (UIStatusBarSignalStrengthItemView: four bars, as
// many filled as the radio gives; there only while the device has a SIM), the time (hours and
// minutes of the platform clock; at the left on the taller bar) and the battery
// (UIStatusBarBatteryItemView: its level, and a bolt while it charges or is full on external power).
// They draw each time the screen renders, in the style the screen in front asks for
// (preferredStatusBarStyle): light content white, the default black. What they show is read from the
// device whenever the windows lay out (before every look of the test driver and every screenshot)
// and whenever the foreground view is asked for.
//
// The application's "statusBar" (key-value coding only) is the shared bar; its "foregroundView" holds
// the item views, and the signal item answers "signalStrengthBars" (0 to 4) and "signalStrengthRaw"
// (dBm), read from the radios at each call. The newer status bar's items ("statusBar.items") are not
// modelled: a key path into them raises NSUndefinedKeyException, as on a system without them.
#pragma once

#include <UIKit/UIApplication.h>
#include <UIKit/UIView.h>

// An item of the bar: draws itself live in the colour of the bar's style.
class UIStatusBarItemView : public UIView {
    NS_OBJECT(UIStatusBarItemView, UIView)
public:
    UIStatusBarItemView() = default;
    // Draws the item in its bounds with `content`, the bar's colour.
    virtual void drawItem(const CGContextRef& context, const CGColorRef& content);
};

class UIStatusBarTimeItemView : public UIStatusBarItemView {
    NS_OBJECT(UIStatusBarTimeItemView, UIStatusBarItemView)
public:
    UIStatusBarTimeItemView() = default;
    // The time as the bar shows it now ("9:41").
    static Ref<NSString> timeText();
    void drawItem(const CGContextRef& context, const CGColorRef& content) override;
};

class UIStatusBarSignalStrengthItemView : public UIStatusBarItemView {
    NS_OBJECT(UIStatusBarSignalStrengthItemView, UIStatusBarItemView)
public:
    UIStatusBarSignalStrengthItemView() = default;
    NSInteger signalStrengthBars() const;
    NSInteger signalStrengthRaw() const;
    void drawItem(const CGContextRef& context, const CGColorRef& content) override;
};

// The battery mark. Its accessibility label says what it shows ("Battery 85%", "Battery 85%,
// charging"); the bolt is a view of its own, hidden while the battery does not charge.
class UIStatusBarBatteryItemView : public UIStatusBarItemView {
    NS_OBJECT(UIStatusBarBatteryItemView, UIStatusBarItemView)
public:
    UIStatusBarBatteryItemView();
    // The level shown, 0 to 1 (-1: the device reports none).
    float batteryLevel() const noexcept { return level_; }
    bool isCharging() const noexcept { return charging_; }
    Ref<UIView> boltView() const { return bolt_; }
    // Shows a level and whether the battery charges.
    void showBattery(float level, bool charging);
    void layoutSubviews() override;
    void drawItem(const CGContextRef& context, const CGColorRef& content) override;
    // The battery's outline in the item's bounds (its cap to the right).
    static CGRect bodyRect(CGRect bounds);

private:
    float level_ = -1;
    bool charging_ = false;
    Ref<UIView> bolt_;
};

class UIStatusBar : public UIView {
    NS_OBJECT(UIStatusBar, UIView)
public:
    UIStatusBar();
    // The item views, read from the device now.
    Ref<UIView> foregroundView() const;
    Ref<UIStatusBarTimeItemView> timeItem() const { return time_; }
    // Nil while the device has no SIM.
    Ref<UIStatusBarSignalStrengthItemView> signalItem() const { return signal_; }
    Ref<UIStatusBarBatteryItemView> batteryItem() const { return battery_; }
    // Reads the device into the items: the SIM, the battery's level and state.
    void refresh();
    // The style the bar draws in now: what the screen in front asks for.
    static UIStatusBarStyle currentStyle();
    // Whether the screen in front, or a container it shows in, prefers the bar hidden (the system's
    // camera screen covers the whole screen).
    static bool hiddenByScreenInFront();
    // The bar's height on a screen of `bounds`.
    static CGFloat heightForScreen(CGRect bounds);
    void layoutSubviews() override;

    // The application's status bar.
    static Ref<UIStatusBar> shared();

private:
    Ref<UIView> foreground_;
    Ref<UIStatusBarTimeItemView> time_;
    Ref<UIStatusBarSignalStrengthItemView> signal_;
    Ref<UIStatusBarBatteryItemView> battery_;
};

namespace uikit_detail {
// Gives UIApplication its "statusBar" key (done once when the program starts).
bool installStatusBarKey();
} // namespace uikit_detail
