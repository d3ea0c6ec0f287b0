// UIApplication: the running application. One per process (sharedApplication); it holds the
// delegate, the windows and the key window, the status bar, the idle timer, the application state
// and its notifications, URL opening, background tasks, local notifications and remote-control
// events.
//
// Headless, the host (the simulator, a test) plays the user and the system: it launches the
// application (UIApplicationLaunch / UIApplicationMain) and then sends it to the background, brings
// it back, warns it of low memory, takes a screenshot, presses a media key or opens a URL into it,
// through the "host" members below.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSURL.h>
#include <UIKit/UIResponder.h>

#include <functional>
#include <map>
#include <set>
#include <string>

class UIWindow;
class UIEvent;
class UILocalNotification;

namespace uikit_detail {
// Shows the status-bar window while the application shows a window of its own and its status bar is
// not hidden, with the bar read from the device; hides it otherwise. Run at every layout pass.
void showStatusBarAsAsked();
} // namespace uikit_detail

enum UIApplicationState : NSInteger {
    UIApplicationStateActive = 0,
    UIApplicationStateInactive = 1,
    UIApplicationStateBackground = 2,
};

enum UIStatusBarStyle : NSInteger {
    UIStatusBarStyleDefault = 0,
    UIStatusBarStyleLightContent = 1,
    UIStatusBarStyleDarkContent = 3,
};

enum UIStatusBarAnimation : NSInteger {
    UIStatusBarAnimationNone = 0,
    UIStatusBarAnimationFade = 1,
    UIStatusBarAnimationSlide = 2,
};

enum UIInterfaceOrientation : NSInteger {
    UIInterfaceOrientationUnknown = 0,
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeLeft = 4,
    UIInterfaceOrientationLandscapeRight = 3,
};

using UIInterfaceOrientationMask = NSUInteger;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskPortrait = 1 << UIInterfaceOrientationPortrait;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscapeLeft =
    1 << UIInterfaceOrientationLandscapeLeft;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscapeRight =
    1 << UIInterfaceOrientationLandscapeRight;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskPortraitUpsideDown =
    1 << UIInterfaceOrientationPortraitUpsideDown;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscape =
    UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskAll =
    UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape |
    UIInterfaceOrientationMaskPortraitUpsideDown;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskAllButUpsideDown =
    UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape;

using UIBackgroundTaskIdentifier = NSUInteger;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;
// The time the system grants background tasks after the application leaves the foreground.
inline constexpr double UIApplicationBackgroundTaskTime = 180.0;

const Ref<NSString>& UIApplicationDidFinishLaunchingNotification();
const Ref<NSString>& UIApplicationDidBecomeActiveNotification();
const Ref<NSString>& UIApplicationWillResignActiveNotification();
const Ref<NSString>& UIApplicationDidEnterBackgroundNotification();
const Ref<NSString>& UIApplicationWillEnterForegroundNotification();
const Ref<NSString>& UIApplicationWillTerminateNotification();
const Ref<NSString>& UIApplicationDidReceiveMemoryWarningNotification();
const Ref<NSString>& UIApplicationUserDidTakeScreenshotNotification();
const Ref<NSString>& UIApplicationWillChangeStatusBarOrientationNotification();
const Ref<NSString>& UIApplicationDidChangeStatusBarOrientationNotification();
const Ref<NSString>& UIApplicationStatusBarOrientationUserInfoKey();
const Ref<NSString>& UIApplicationLaunchOptionsURLKey();
const Ref<NSString>& UIApplicationLaunchOptionsSourceApplicationKey();
const Ref<NSString>& UIApplicationOpenURLOptionsSourceApplicationKey();
// "app-settings:", the address of the application's page in the Settings application.
const Ref<NSString>& UIApplicationOpenSettingsURLString();

class UIApplication : public UIResponder {
    NS_OBJECT(UIApplication, UIResponder)
public:
    UIApplication();
    ~UIApplication() override;

    // The application of this process, made on first use (or by UIApplicationLaunch with a
    // principal class).
    static Ref<UIApplication> sharedApplication();

    // The delegate is held weakly, as on the platform; the one that UIApplicationLaunch makes is
    // kept alive by the application.
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    // The windows, back to front (by window level, then in the order they were made); the status
    // bar's window is the system's, not one of them.
    Ref<NSArray> windows() const;
    Ref<UIWindow> keyWindow() const;

    // URLs. canOpenURL answers YES for the schemes the system handles (http, https, tel, sms,
    // mailto, the settings schemes) and those the host adds. Every URL that is opened is logged.
    bool canOpenURL(const Ref<NSURL>& url) const;
    bool openURL(const Ref<NSURL>& url);
    void openURLOptionsCompletionHandler(const Ref<NSURL>& url, const Ref<NSDictionary>& options,
                                         std::function<void(bool success)> completion);
    Ref<NSArray> openedURLs() const;
    void addOpenableScheme(const std::string& scheme);
    void removeOpenableScheme(const std::string& scheme);

    bool isIdleTimerDisabled() const noexcept { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled);
    bool isNetworkActivityIndicatorVisible() const noexcept { return networkActivityIndicatorVisible_; }
    void setNetworkActivityIndicatorVisible(bool visible);
    NSInteger applicationIconBadgeNumber() const noexcept { return badgeNumber_; }
    void setApplicationIconBadgeNumber(NSInteger number) { badgeNumber_ = number; }

    // The status bar.
    bool isStatusBarHidden() const noexcept { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden);
    void setStatusBarHiddenWithAnimation(bool hidden, UIStatusBarAnimation animation);
    UIStatusBarStyle statusBarStyle() const noexcept { return statusBarStyle_; }
    void setStatusBarStyle(UIStatusBarStyle style);
    void setStatusBarStyleAnimated(UIStatusBarStyle style, bool animated);
    UIInterfaceOrientation statusBarOrientation() const noexcept { return statusBarOrientation_; }
    // Posts the will-change and did-change orientation notifications around the change.
    void setStatusBarOrientation(UIInterfaceOrientation orientation);
    CGRect statusBarFrame() const;
    // The window that shows the status bar (the platform's private "_statusBarWindow"; see
    // UIStatusBar.h): made on first use, hidden until the application shows a window of its own.
    Ref<UIWindow> statusBarWindow() const;

    UIApplicationState applicationState() const noexcept { return state_; }

    // Background tasks. Their expiration handlers run when the background time runs out
    // (UIApplicationBackgroundTaskTime after entering the background), unless ended before.
    UIBackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    UIBackgroundTaskIdentifier beginBackgroundTaskWithNameExpirationHandler(const Ref<NSString>& name,
                                                                            std::function<void()> handler);
    void endBackgroundTask(UIBackgroundTaskIdentifier identifier);
    double backgroundTimeRemaining() const;
    size_t activeBackgroundTaskCount() const noexcept { return backgroundTasks_.size(); }

    // Remote-control events go to the first responder while the application receives them.
    void beginReceivingRemoteControlEvents() { receivingRemoteControl_ = true; }
    void endReceivingRemoteControlEvents() { receivingRemoteControl_ = false; }
    bool isReceivingRemoteControlEvents() const noexcept { return receivingRemoteControl_; }
    void registerForRemoteNotifications() { registeredForRemoteNotifications_ = true; }
    bool isRegisteredForRemoteNotifications() const noexcept { return registeredForRemoteNotifications_; }
    void registerUserNotificationSettings(const id& settings) { notificationSettings_ = settings; }
    id currentUserNotificationSettings() const { return notificationSettings_; }

    // Local notifications: delivered to the delegate (application:didReceiveLocalNotification:) at
    // their fire date while the application is active; otherwise kept as delivered.
    void scheduleLocalNotification(const Ref<UILocalNotification>& notification);
    void presentLocalNotificationNow(const Ref<UILocalNotification>& notification);
    void cancelLocalNotification(const Ref<UILocalNotification>& notification);
    void cancelAllLocalNotifications();
    Ref<NSArray> scheduledLocalNotifications() const;
    Ref<NSArray> deliveredLocalNotifications() const;

    // Sends an action message: to `target`, or with a nil target up the responder chain from the
    // first responder (or the sender). The action takes none, the sender, or the sender and the
    // event. Answers whether some object received it.
    bool sendActionToFromForEvent(SEL action, const id& target, const id& sender, const Ref<UIEvent>& event);
    // Delivers an event: touches to their window, remote-control events to the first responder.
    virtual void sendEvent(const Ref<UIEvent>& event);

    Ref<UIResponder> nextResponder() const override;

    // MARK: The host
    // Launch: the delegate's will/did-finish-launching, then active.
    void launchWithOptions(const Ref<NSDictionary>& options);
    void enterBackground();
    void enterForeground();
    void receiveMemoryWarning();
    void userDidTakeScreenshot();
    void receiveRemoteControlEvent(UIEventSubtype subtype);
    // Another application opens a URL into this one (application:openURL:options:, or the older
    // application:handleOpenURL:). Answers the delegate's answer.
    bool openURLFromSystem(const Ref<NSURL>& url, const Ref<NSString>& sourceApplication = nullptr);
    // Ends the application: the delegate's applicationWillTerminate: and the notification.
    void terminate();
    // Whether the status bar follows the view controllers (prefersStatusBarHidden,
    // preferredStatusBarStyle) instead of the application's own setters; NO by default.
    bool viewControllerBasedStatusBarAppearance() const noexcept { return controllerBasedStatusBar_; }
    void setViewControllerBasedStatusBarAppearance(bool based) { controllerBasedStatusBar_ = based; }
    // Keeps a strong reference to the delegate (UIApplicationLaunch does this).
    void retainDelegate(const id& delegate) { retainedDelegate_ = delegate; }

private:
    friend void uikit_detail::showStatusBarAsAsked();
    void setState(UIApplicationState state);
    void deliverLocalNotification(const Ref<UILocalNotification>& notification);
    void startBackgroundClock();

    Weak<NSObject> delegate_;
    id retainedDelegate_;
    UIApplicationState state_ = UIApplicationStateInactive;
    bool idleTimerDisabled_ = false;
    bool networkActivityIndicatorVisible_ = false;
    bool statusBarHidden_ = false;
    bool receivingRemoteControl_ = false;
    bool registeredForRemoteNotifications_ = false;
    bool controllerBasedStatusBar_ = false;
    NSInteger badgeNumber_ = 0;
    UIStatusBarStyle statusBarStyle_ = UIStatusBarStyleDefault;
    UIInterfaceOrientation statusBarOrientation_ = UIInterfaceOrientationPortrait;
    id notificationSettings_;
    std::set<std::string> schemes_;
    std::vector<id> opened_;
    UIBackgroundTaskIdentifier nextTask_ = 1;
    std::map<UIBackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
    double backgroundDeadline_ = 0;
    std::shared_ptr<std::atomic<bool>> backgroundTimer_;
    std::vector<std::pair<Ref<UILocalNotification>, std::shared_ptr<std::atomic<bool>>>> scheduled_;
    std::vector<Ref<UILocalNotification>> delivered_;
    mutable Ref<UIWindow> statusBarWindow_;
    uint64_t hardwareListener_ = 0; // the device's keys and ghost touches, while this application lives
};

// Starts the application: makes the shared application (of the principal class, when named), the
// delegate (of the named class) and launches. Answers the application.
Ref<UIApplication> UIApplicationLaunch(const Ref<NSString>& principalClassName, const Ref<NSString>& delegateClassName,
                                       const Ref<NSDictionary>& launchOptions = nullptr);
// The program's entry: launches, then runs the main run loop for the life of the process.
int UIApplicationMain(int argc, char* argv[], const Ref<NSString>& principalClassName,
                      const Ref<NSString>& delegateClassName);
