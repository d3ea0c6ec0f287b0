// The system's reactions to the simulated device's keys and ghost touches.
#include <CoreFoundation/CFNotificationCenter.h>
#include <Device/SimTouchKeys.h>
#include <Dispatch/Clock.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIHardware.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIWindow.h>

const Ref<NSString>& UIHardwareLockCompleteNotificationName() {
    static const Ref<NSString> name = NSString::from("com.apple.springboard.lockcomplete");
    return name;
}

namespace {

void postLockComplete() {
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         UIHardwareLockCompleteNotificationName().get(), nullptr, nullptr, true);
}

void deliverGhostTouches(const Ref<UIApplication>& app) {
    auto window = UIWindow::keyWindow();
    auto ghosts = SimTouchKeys::current().takeGhostTouches();
    if (!window || app->applicationState() == UIApplicationStateBackground) {
        return;
    }
    for (const auto& p : ghosts) {
        auto touch = make<UITouch>();
        touch->setWindow(window);
        touch->setWindowLocation(CGPointMake(p.x, p.y));
        touch->setTimestamp(DispatchClock::uptime());
        for (UITouchPhase phase : {UITouchPhaseBegan, UITouchPhaseEnded}) {
            touch->setPhase(phase);
            auto event = make<UIEvent>(UIEventTypeTouches, UIEventSubtypeNone, DispatchClock::uptime());
            event->setTouches({touch});
            window->sendEvent(event);
        }
    }
}

void react(const Ref<UIApplication>& app, SimTouchKeys::Event event) {
    auto& keys = SimTouchKeys::current();
    switch (event) {
    case SimTouchKeys::Event::Lock:
        if (keys.lockOrder() == SimTouchKeys::LockOrder::NotificationFirst) {
            postLockComplete();
            app->enterBackground();
        } else {
            app->enterBackground();
            uikit_detail::after(keys.lockNotificationDelay(), postLockComplete);
        }
        break;
    case SimTouchKeys::Event::Unlock:
        app->enterForeground();
        break;
    case SimTouchKeys::Event::Home:
        app->enterBackground();
        break;
    case SimTouchKeys::Event::Screenshot:
        if (app->applicationState() == UIApplicationStateActive) {
            app->userDidTakeScreenshot();
        }
        break;
    case SimTouchKeys::Event::GhostTouch:
        deliverGhostTouches(app);
        break;
    default:
        break;
    }
}

} // namespace

namespace uikit_detail {

uint64_t listenToHardware(const Weak<UIApplication>& app) {
    return SimTouchKeys::current().addListener([app](SimTouchKeys::Event event) {
        onMain([app, event] {
            if (auto alive = app.lock()) {
                react(alive, event);
            }
        });
    });
}

void stopListeningToHardware(uint64_t token) {
    SimTouchKeys::current().removeListener(token);
}

} // namespace uikit_detail
