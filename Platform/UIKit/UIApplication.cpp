#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIHardware.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UILocalNotification.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIStatusBar.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>

#include <algorithm>
#include <limits>

using uikit_detail::post;
using uikit_detail::sendIfResponds;

UIKIT_STRING_CONSTANT(UIApplicationDidFinishLaunchingNotification)
UIKIT_STRING_CONSTANT(UIApplicationDidBecomeActiveNotification)
UIKIT_STRING_CONSTANT(UIApplicationWillResignActiveNotification)
UIKIT_STRING_CONSTANT(UIApplicationDidEnterBackgroundNotification)
UIKIT_STRING_CONSTANT(UIApplicationWillEnterForegroundNotification)
UIKIT_STRING_CONSTANT(UIApplicationWillTerminateNotification)
UIKIT_STRING_CONSTANT(UIApplicationDidReceiveMemoryWarningNotification)
UIKIT_STRING_CONSTANT(UIApplicationUserDidTakeScreenshotNotification)
UIKIT_STRING_CONSTANT(UIApplicationWillChangeStatusBarOrientationNotification)
UIKIT_STRING_CONSTANT(UIApplicationDidChangeStatusBarOrientationNotification)
UIKIT_STRING_CONSTANT(UIApplicationStatusBarOrientationUserInfoKey)
UIKIT_STRING_CONSTANT(UIApplicationLaunchOptionsURLKey)
UIKIT_STRING_CONSTANT(UIApplicationLaunchOptionsSourceApplicationKey)
UIKIT_STRING_CONSTANT(UIApplicationOpenURLOptionsSourceApplicationKey)

const Ref<NSString>& UIApplicationOpenSettingsURLString() {
    static const Ref<NSString> value = NSString::from("app-settings:");
    return value;
}

namespace {
Ref<UIApplication>& sharedSlot() {
    static Ref<UIApplication>* slot = [] {
        auto* made = new Ref<UIApplication>;
        // The tests of a binary may share one process: the application of a test that ends goes
        // (its scheduled notifications and background time with it), and the next test's first use
        // makes the application a fresh process would. It goes after the other test-end handlers
        // (the screens they take away may still ask for it), from the main queue.
        DispatchClock::addTestEndHandler(
            [made] { dispatch_async(dispatch_get_main_queue(), [made] { *made = nullptr; }); });
        return made;
    }();
    return *slot;
}
} // namespace

NS_IMPLEMENT_CLASS(UIApplication, UIResponder) {
    b.property("idleTimerDisabled", &UIApplication::isIdleTimerDisabled, &UIApplication::setIdleTimerDisabled);
    b.property("statusBarHidden", &UIApplication::isStatusBarHidden, &UIApplication::setStatusBarHidden);
    b.property("statusBarStyle", &UIApplication::statusBarStyle, &UIApplication::setStatusBarStyle);
    b.property("networkActivityIndicatorVisible", &UIApplication::isNetworkActivityIndicatorVisible,
               &UIApplication::setNetworkActivityIndicatorVisible);
    b.property("applicationIconBadgeNumber", &UIApplication::applicationIconBadgeNumber,
               &UIApplication::setApplicationIconBadgeNumber);
    b.readonlyProperty("applicationState", &UIApplication::applicationState);
    b.readonlyProperty("statusBarOrientation", &UIApplication::statusBarOrientation);
    b.readonlyProperty("keyWindow", &UIApplication::keyWindow);
    b.readonlyProperty("windows", &UIApplication::windows);
    b.readonlyProperty("_statusBarWindow", &UIApplication::statusBarWindow);
    b.method("canOpenURL:", &UIApplication::canOpenURL);
    b.method("openURL:", &UIApplication::openURL);
    b.method("beginReceivingRemoteControlEvents", &UIApplication::beginReceivingRemoteControlEvents);
    b.method("endReceivingRemoteControlEvents", &UIApplication::endReceivingRemoteControlEvents);
    b.method("sendEvent:", &UIApplication::sendEvent);
    b.classMethod("sharedApplication", [] { return UIApplication::sharedApplication(); });
}

UIApplication::UIApplication()
    : schemes_{"http", "https", "tel", "telprompt", "sms", "mailto", "app-settings", "App-Prefs", "prefs"} {
    hardwareListener_ = uikit_detail::listenToHardware(Weak<UIApplication>(this));
}

UIApplication::~UIApplication() {
    uikit_detail::stopListeningToHardware(hardwareListener_);
    for (auto& [n, cancel] : scheduled_) {
        *cancel = false;
    }
    if (backgroundTimer_) {
        *backgroundTimer_ = false;
    }
}

Ref<UIApplication> UIApplication::sharedApplication() {
    auto& slot = sharedSlot();
    if (!slot) {
        slot = make<UIApplication>();
    }
    return slot;
}

Ref<NSArray> UIApplication::windows() const {
    auto windows = UIWindow::windowsFromBackToFront();
    std::erase(windows, statusBarWindow_);
    return NSArray::arrayWithRefs(windows);
}

Ref<UIWindow> UIApplication::keyWindow() const {
    return UIWindow::keyWindow();
}

// MARK: - URLs

bool UIApplication::canOpenURL(const Ref<NSURL>& url) const {
    if (!url || !url->scheme()) {
        return false;
    }
    return schemes_.count(url->scheme()->str()) > 0;
}

bool UIApplication::openURL(const Ref<NSURL>& url) {
    if (!url) {
        return false;
    }
    bool can = canOpenURL(url);
    if (can) {
        opened_.push_back(url);
        uikit_detail::systemOpenedURL(this, url);
    }
    return can;
}

void UIApplication::openURLOptionsCompletionHandler(const Ref<NSURL>& url, const Ref<NSDictionary>&,
                                                    std::function<void(bool)> completion) {
    bool ok = openURL(url);
    if (completion) {
        uikit_detail::after(0, [completion, ok] { completion(ok); });
    }
}

Ref<NSArray> UIApplication::openedURLs() const {
    return NSArray::arrayWithVector(opened_);
}

void UIApplication::addOpenableScheme(const std::string& scheme) {
    schemes_.insert(scheme);
}

void UIApplication::removeOpenableScheme(const std::string& scheme) {
    schemes_.erase(scheme);
}

// MARK: - Flags and the status bar

void UIApplication::setIdleTimerDisabled(bool disabled) {
    changeValueForKey("idleTimerDisabled", [&] { idleTimerDisabled_ = disabled; });
}

void UIApplication::setNetworkActivityIndicatorVisible(bool visible) {
    changeValueForKey("networkActivityIndicatorVisible", [&] { networkActivityIndicatorVisible_ = visible; });
}

void UIApplication::setStatusBarHidden(bool hidden) {
    changeValueForKey("statusBarHidden", [&] { statusBarHidden_ = hidden; });
    // The bar comes or goes at the next layout pass.
    UIWindow::scheduleLayoutPass();
}

void UIApplication::setStatusBarHiddenWithAnimation(bool hidden, UIStatusBarAnimation) {
    setStatusBarHidden(hidden);
}

void UIApplication::setStatusBarStyle(UIStatusBarStyle style) {
    changeValueForKey("statusBarStyle", [&] { statusBarStyle_ = style; });
}

void UIApplication::setStatusBarStyleAnimated(UIStatusBarStyle style, bool) {
    setStatusBarStyle(style);
}

void UIApplication::setStatusBarOrientation(UIInterfaceOrientation orientation) {
    if (orientation == statusBarOrientation_) {
        return;
    }
    Ref<UIApplication> self(this);
    auto old = box(static_cast<long>(statusBarOrientation_));
    post(UIApplicationWillChangeStatusBarOrientationNotification(), self,
         NSDictionary::dictionaryWithEntries(
             {{UIApplicationStatusBarOrientationUserInfoKey(), box(static_cast<long>(orientation))}}));
    changeValueForKey("statusBarOrientation", [&] { statusBarOrientation_ = orientation; });
    post(UIApplicationDidChangeStatusBarOrientationNotification(), self,
         NSDictionary::dictionaryWithEntries({{UIApplicationStatusBarOrientationUserInfoKey(), old}}));
}

CGRect UIApplication::statusBarFrame() const {
    if (statusBarHidden_) {
        return CGRectZero;
    }
    CGRect b = UIScreen::mainScreen()->bounds();
    return CGRectMake(0, 0, b.size.width, UIStatusBar::heightForScreen(b));
}

Ref<UIWindow> UIApplication::statusBarWindow() const {
    if (!statusBarWindow_) {
        CGRect b = UIScreen::mainScreen()->bounds();
        statusBarWindow_ = make<UIWindow>(CGRectMake(0, 0, b.size.width, UIStatusBar::heightForScreen(b)));
        statusBarWindow_->setWindowLevel(UIWindowLevelStatusBar);
        statusBarWindow_->setUserInteractionEnabled(false);
    }
    return statusBarWindow_;
}

void uikit_detail::showStatusBarAsAsked() {
    auto& app = sharedSlot();
    if (!app) {
        return; // no application, no status bar
    }
    const auto& window = app->statusBarWindow_;
    bool appShows = false;
    for (const auto& shown : UIWindow::allWindows()) {
        appShows = appShows || (shown != window && !shown->isHidden() && shown->windowLevel() < UIWindowLevelStatusBar);
    }
    if (!appShows || app->statusBarHidden_ || UIStatusBar::hiddenByScreenInFront()) {
        if (window && !window->isHidden()) {
            window->setHidden(true);
        }
        return;
    }
    auto bar = UIStatusBar::shared();
    auto barWindow = app->statusBarWindow();
    CGRect b = UIScreen::mainScreen()->bounds();
    CGRect frame = CGRectMake(0, 0, b.size.width, UIStatusBar::heightForScreen(b));
    if (!CGRectEqualToRect(barWindow->frame(), frame)) {
        barWindow->setFrame(frame);
    }
    if (bar->superview() != Ref<UIView>(barWindow)) {
        barWindow->addSubview(bar);
    }
    if (!CGRectEqualToRect(bar->frame(), barWindow->bounds())) {
        bar->setFrame(barWindow->bounds());
    }
    bar->refresh();
    if (barWindow->isHidden()) {
        barWindow->setHidden(false);
    }
}

// MARK: - State

void UIApplication::setState(UIApplicationState state) {
    changeValueForKey("applicationState", [&] { state_ = state; });
}

void UIApplication::launchWithOptions(const Ref<NSDictionary>& options) {
    uikit_detail::assertMainThread("launch");
    Ref<UIApplication> self(this);
    UIScreen::mainScreen();
    UIDevice::currentDevice();
    auto d = delegate();
    setState(UIApplicationStateInactive);
    sendIfResponds(d, "application:willFinishLaunchingWithOptions:", {self, options});
    sendIfResponds(d, "application:didFinishLaunchingWithOptions:", {self, options});
    post(UIApplicationDidFinishLaunchingNotification(), self, options);
    if (options) {
        if (auto url = cast<NSURL>(options->objectForKey(UIApplicationLaunchOptionsURLKey()))) {
            openURLFromSystem(url,
                              cast<NSString>(options->objectForKey(UIApplicationLaunchOptionsSourceApplicationKey())));
        }
    }
    setState(UIApplicationStateActive);
    sendIfResponds(delegate(), "applicationDidBecomeActive:", {self});
    post(UIApplicationDidBecomeActiveNotification(), self);
    UIWindow::scheduleLayoutPass();
}

void UIApplication::enterBackground() {
    if (state_ == UIApplicationStateBackground) {
        return;
    }
    Ref<UIApplication> self(this);
    if (state_ == UIApplicationStateActive) {
        setState(UIApplicationStateInactive);
        sendIfResponds(delegate(), "applicationWillResignActive:", {self});
        post(UIApplicationWillResignActiveNotification(), self);
    }
    setState(UIApplicationStateBackground);
    startBackgroundClock();
    sendIfResponds(delegate(), "applicationDidEnterBackground:", {self});
    post(UIApplicationDidEnterBackgroundNotification(), self);
}

void UIApplication::enterForeground() {
    if (state_ == UIApplicationStateActive) {
        return;
    }
    Ref<UIApplication> self(this);
    if (state_ == UIApplicationStateBackground) {
        if (backgroundTimer_) {
            *backgroundTimer_ = false;
            backgroundTimer_ = nullptr;
        }
        sendIfResponds(delegate(), "applicationWillEnterForeground:", {self});
        post(UIApplicationWillEnterForegroundNotification(), self);
        setState(UIApplicationStateInactive);
    }
    setState(UIApplicationStateActive);
    sendIfResponds(delegate(), "applicationDidBecomeActive:", {self});
    post(UIApplicationDidBecomeActiveNotification(), self);
}

void UIApplication::receiveMemoryWarning() {
    Ref<UIApplication> self(this);
    sendIfResponds(delegate(), "applicationDidReceiveMemoryWarning:", {self});
    post(UIApplicationDidReceiveMemoryWarningNotification(), self);
    std::function<void(const Ref<UIViewController>&)> warn = [&](const Ref<UIViewController>& vc) {
        if (!vc) {
            return;
        }
        uikit_detail::send(vc, "didReceiveMemoryWarning");
        for (const auto& child : std::vector<Ref<UIViewController>>(vc->childViewControllerList())) {
            warn(child);
        }
        warn(vc->presentedViewController());
    };
    for (const auto& window : UIWindow::allWindows()) {
        warn(window->rootViewController());
    }
}

void UIApplication::userDidTakeScreenshot() {
    post(UIApplicationUserDidTakeScreenshotNotification(), Ref<UIApplication>(this));
}

void UIApplication::receiveRemoteControlEvent(UIEventSubtype subtype) {
    auto event = make<UIEvent>(UIEventTypeRemoteControl, subtype, DispatchClock::now());
    sendEvent(event);
}

bool UIApplication::openURLFromSystem(const Ref<NSURL>& url, const Ref<NSString>& sourceApplication) {
    Ref<UIApplication> self(this);
    auto d = delegate();
    id result;
    auto options = NSMutableDictionary::dictionary();
    if (sourceApplication) {
        options->setObjectForKey(sourceApplication, UIApplicationOpenURLOptionsSourceApplicationKey());
    }
    if (sendIfResponds(d, "application:openURL:options:", {self, url, options}, &result)) {
        return unbox<bool>(result);
    }
    if (sendIfResponds(d, "application:openURL:sourceApplication:annotation:", {self, url, sourceApplication, nullptr},
                       &result)) {
        return unbox<bool>(result);
    }
    if (sendIfResponds(d, "application:handleOpenURL:", {self, url}, &result)) {
        return unbox<bool>(result);
    }
    return false;
}

void UIApplication::terminate() {
    Ref<UIApplication> self(this);
    sendIfResponds(delegate(), "applicationWillTerminate:", {self});
    post(UIApplicationWillTerminateNotification(), self);
}

// MARK: - Background tasks

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    UIBackgroundTaskIdentifier identifier = nextTask_++;
    backgroundTasks_[identifier] = std::move(handler);
    return identifier;
}

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithNameExpirationHandler(const Ref<NSString>&,
                                                                                       std::function<void()> handler) {
    return beginBackgroundTaskWithExpirationHandler(std::move(handler));
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier) {
    backgroundTasks_.erase(identifier);
}

double UIApplication::backgroundTimeRemaining() const {
    if (state_ != UIApplicationStateBackground) {
        return std::numeric_limits<double>::max();
    }
    return std::max(0.0, backgroundDeadline_ - DispatchClock::now());
}

void UIApplication::startBackgroundClock() {
    backgroundDeadline_ = DispatchClock::now() + UIApplicationBackgroundTaskTime;
    Weak<UIApplication> weak(this);
    backgroundTimer_ = uikit_detail::after(UIApplicationBackgroundTaskTime, [weak] {
        auto app = weak.lock();
        if (!app) {
            return;
        }
        auto tasks = app->backgroundTasks_;
        for (auto& [identifier, handler] : tasks) {
            if (handler && app->backgroundTasks_.count(identifier)) {
                handler();
            }
        }
    });
}

// MARK: - Local notifications

void UIApplication::scheduleLocalNotification(const Ref<UILocalNotification>& notification) {
    if (!notification) {
        return;
    }
    auto fire = notification->fireDate();
    double delay = fire ? fire->timeIntervalSinceNow() : 0;
    Weak<UIApplication> weak(this);
    auto cancel = uikit_detail::after(std::max(0.0, delay), [weak, notification] {
        if (auto app = weak.lock()) {
            app->deliverLocalNotification(notification);
        }
    });
    scheduled_.emplace_back(notification, cancel);
}

void UIApplication::presentLocalNotificationNow(const Ref<UILocalNotification>& notification) {
    if (notification) {
        deliverLocalNotification(notification);
    }
}

void UIApplication::deliverLocalNotification(const Ref<UILocalNotification>& notification) {
    std::erase_if(scheduled_, [&](const auto& s) { return s.first == notification; });
    if (state_ == UIApplicationStateActive) {
        sendIfResponds(delegate(),
                       "application:didReceiveLocalNotification:", {Ref<UIApplication>(this), notification});
    } else {
        delivered_.push_back(notification);
    }
}

void UIApplication::cancelLocalNotification(const Ref<UILocalNotification>& notification) {
    for (auto& [n, cancel] : scheduled_) {
        if (n == notification) {
            *cancel = false;
        }
    }
    std::erase_if(scheduled_, [&](const auto& s) { return s.first == notification; });
}

void UIApplication::cancelAllLocalNotifications() {
    for (auto& [n, cancel] : scheduled_) {
        *cancel = false;
    }
    scheduled_.clear();
}

Ref<NSArray> UIApplication::scheduledLocalNotifications() const {
    std::vector<id> out;
    for (const auto& s : scheduled_) {
        out.push_back(s.first);
    }
    return NSArray::arrayWithVector(std::move(out));
}

Ref<NSArray> UIApplication::deliveredLocalNotifications() const {
    return NSArray::arrayWithRefs(delivered_);
}

// MARK: - Actions and events

bool UIApplication::sendActionToFromForEvent(SEL action, const id& target, const id& sender,
                                             const Ref<UIEvent>& event) {
    uikit_detail::assertMainThread("sendAction");
    auto argsFor = [&](SEL a) -> std::vector<id> {
        switch (a.argumentCount()) {
        case 0:
            return {};
        case 1:
            return {sender};
        default:
            return {sender, event};
        }
    };
    if (target) {
        uikit_detail::send(target, action, argsFor(action));
        return true;
    }
    Ref<UIResponder> responder = UIResponder::currentFirstResponder();
    if (!responder) {
        responder = cast<UIResponder>(sender);
    }
    for (; responder; responder = responder->nextResponder()) {
        if (responder->respondsToSelector(action)) {
            uikit_detail::send(responder, action, argsFor(action));
            return true;
        }
    }
    return false;
}

void UIApplication::sendEvent(const Ref<UIEvent>& event) {
    if (!event) {
        return;
    }
    switch (event->type()) {
    case UIEventTypeTouches: {
        std::vector<Ref<UIWindow>> windows;
        for (const auto& t : event->touchList()) {
            if (auto w = t->window(); w && std::find(windows.begin(), windows.end(), w) == windows.end()) {
                windows.push_back(w);
            }
        }
        for (const auto& w : windows) {
            w->sendEvent(event);
        }
        break;
    }
    case UIEventTypeRemoteControl: {
        if (!receivingRemoteControl_) {
            return;
        }
        Ref<UIResponder> target = UIResponder::currentFirstResponder();
        if (!target) {
            if (auto key = UIWindow::keyWindow()) {
                target = key->rootViewController();
            }
        }
        if (!target) {
            target = Ref<UIResponder>(this);
        }
        uikit_detail::send(target, "remoteControlReceivedWithEvent:", {event});
        break;
    }
    case UIEventTypeMotion: {
        Ref<UIResponder> target = UIResponder::currentFirstResponder();
        if (!target) {
            if (auto key = UIWindow::keyWindow()) {
                target = key->rootViewController();
            }
        }
        if (target) {
            uikit_detail::send(target, "motionEnded:withEvent:", {box(static_cast<long>(event->subtype())), event});
        }
        break;
    }
    default:
        break;
    }
}

Ref<UIResponder> UIApplication::nextResponder() const {
    return cast<UIResponder>(delegate());
}

// MARK: - Start

Ref<UIApplication> UIApplicationLaunch(const Ref<NSString>& principalClassName, const Ref<NSString>& delegateClassName,
                                       const Ref<NSDictionary>& launchOptions) {
    auto& slot = sharedSlot();
    // Check the delegate's class first, so that a bad name leaves no half-started application.
    Class delegateClass = delegateClassName ? NSClassFromString(delegateClassName) : nullptr;
    if (delegateClassName && (!delegateClass || !delegateClass->canCreateInstances())) {
        NSException::raise(NSInvalidArgumentException,
                           "Unable to instantiate the application delegate " + delegateClassName->str());
    }
    if (principalClassName && !slot) {
        Class cls = NSClassFromString(principalClassName);
        if (!cls || !cls->isSubclassOfClass(UIApplication::class_())) {
            NSException::raise(NSInvalidArgumentException,
                               "Unable to instantiate the UIApplication subclass " + principalClassName->str());
        }
        slot = cast<UIApplication>(cls->createInstance());
    }
    auto app = UIApplication::sharedApplication();
    if (delegateClass) {
        id delegate = delegateClass->createInstance();
        if (!delegate) {
            NSException::raise(NSInvalidArgumentException,
                               "Unable to instantiate the application delegate " + delegateClassName->str());
        }
        app->setDelegate(delegate);
        app->retainDelegate(delegate);
    }
    app->launchWithOptions(launchOptions);
    return app;
}
