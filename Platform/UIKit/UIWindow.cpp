#include <Dispatch/Clock.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIControl.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIRemoteKeyboardWindow.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <map>

UIKIT_STRING_CONSTANT(UIWindowDidBecomeVisibleNotification)
UIKIT_STRING_CONSTANT(UIWindowDidBecomeHiddenNotification)
UIKIT_STRING_CONSTANT(UIWindowDidBecomeKeyNotification)
UIKIT_STRING_CONSTANT(UIWindowDidResignKeyNotification)
UIKIT_STRING_CONSTANT(UIKeyboardWillShowNotification)
UIKIT_STRING_CONSTANT(UIKeyboardDidShowNotification)
UIKIT_STRING_CONSTANT(UIKeyboardWillHideNotification)
UIKIT_STRING_CONSTANT(UIKeyboardDidHideNotification)
UIKIT_STRING_CONSTANT(UIKeyboardWillChangeFrameNotification)
UIKIT_STRING_CONSTANT(UIKeyboardDidChangeFrameNotification)
UIKIT_STRING_CONSTANT(UIKeyboardFrameBeginUserInfoKey)
UIKIT_STRING_CONSTANT(UIKeyboardFrameEndUserInfoKey)
UIKIT_STRING_CONSTANT(UIKeyboardAnimationDurationUserInfoKey)
UIKIT_STRING_CONSTANT(UIKeyboardAnimationCurveUserInfoKey)

namespace {

struct Registry {
    std::vector<Weak<UIWindow>> windows;
    Weak<UIWindow> key;
    bool layoutScheduled = false;
    // Set whenever a view in a window asks for layout, constraints or display (every such request
    // schedules a pass), cleared by a full pass: a pass with nothing asked has nothing to do, and the
    // test driver asks for one before every look at the screen.
    bool layoutRequested = true;
    bool keyboardVisible = false;
};

void putKeyboardAway();

Registry& registry() {
    static Registry* r = [] {
        // A test may end with a text input still first responder and the keyboard up; the next test
        // starts as a fresh process does, with neither.
        DispatchClock::addTestEndHandler([] { putKeyboardAway(); });
        return new Registry;
    }();
    return *r;
}

} // namespace

NS_IMPLEMENT_CLASS(UIWindow, UIView) {
    b.property("rootViewController", &UIWindow::rootViewController, &UIWindow::setRootViewController);
    b.property("windowLevel", &UIWindow::windowLevel, &UIWindow::setWindowLevel);
    b.method("makeKeyAndVisible", &UIWindow::makeKeyAndVisible);
    b.method("makeKeyWindow", &UIWindow::makeKeyWindow);
    b.method("sendEvent:", &UIWindow::sendEvent);
    b.readonlyProperty("keyWindow", &UIWindow::isKeyWindow);
}

UIWindow::UIWindow() : UIWindow(UIScreen::mainScreen()->bounds()) {}

UIWindow::UIWindow(CGRect frame) : UIView(frame) {
    uikit_detail::assertMainThread("UIWindow");
    UIView::setHidden(true);
    auto& r = registry();
    std::erase_if(r.windows, [](const Weak<UIWindow>& w) { return w.expired(); });
    r.windows.emplace_back(this);
}

UIWindow::~UIWindow() = default;

Ref<UIViewController> UIWindow::rootViewController() const {
    return rootViewController_;
}

void uikit_detail::retireWindow(UIWindow* window) {
    window->setHidden(true);
    std::erase_if(registry().windows,
                  [window](const Weak<UIWindow>& w) { return w.expired() || w.unsafePointer() == window; });
}

std::vector<Ref<UIWindow>> UIWindow::allWindows() {
    std::vector<Ref<UIWindow>> out;
    for (const auto& w : registry().windows) {
        if (auto window = w.lock()) {
            out.push_back(window);
        }
    }
    return out;
}

std::vector<Ref<UIWindow>> UIWindow::windowsFromBackToFront() {
    auto windows = allWindows();
    std::stable_sort(windows.begin(), windows.end(), [](const Ref<UIWindow>& a, const Ref<UIWindow>& b) {
        return a->windowLevel() < b->windowLevel();
    });
    return windows;
}

void UIWindow::setRootViewController(const Ref<UIViewController>& controller) {
    uikit_detail::assertMainThread("setRootViewController");
    if (controller == rootViewController_) {
        return;
    }
    auto old = rootViewController_;
    rootViewController_ = controller;
    if (old && old->isViewLoaded() && old->view()->superview().get() == this) {
        old->view()->removeFromSuperview();
    }
    if (controller) {
        auto view = controller->view();
        view->setFrame(bounds());
        view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        insertSubviewAtIndex(view, 0);
    }
}

void UIWindow::makeKeyWindow() {
    auto& r = registry();
    auto old = r.key.lock();
    if (old.get() == this) {
        return;
    }
    r.key = Ref<UIWindow>(this);
    if (old) {
        uikit_detail::post(UIWindowDidResignKeyNotification(), old);
    }
    uikit_detail::post(UIWindowDidBecomeKeyNotification(), Ref<UIWindow>(this));
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    makeKeyWindow();
}

bool UIWindow::isKeyWindow() const {
    return registry().key.lock().get() == this;
}

Ref<UIWindow> UIWindow::keyWindow() {
    return registry().key.lock();
}

Ref<UIScreen> UIWindow::screen() const {
    return UIScreen::mainScreen();
}

void UIWindow::setHidden(bool hidden) {
    if (hidden == isHidden()) {
        return;
    }
    UIView::setHidden(hidden);
    if (hidden && isKeyWindow()) {
        registry().key = nullptr;
    }
    notifyControllers();
    uikit_detail::post(hidden ? UIWindowDidBecomeHiddenNotification() : UIWindowDidBecomeVisibleNotification(),
                       Ref<UIWindow>(this));
    if (!hidden) {
        scheduleLayoutPass();
    }
}

void UIWindow::notifyControllers() {
    std::function<void(const Ref<UIView>&)> walk = [&](const Ref<UIView>& view) {
        if (auto vc = view->viewController()) {
            vc->viewDidChangeWindow();
        }
        for (const auto& sub : std::vector<Ref<UIView>>(view->subviewList())) {
            walk(sub);
        }
    };
    walk(Ref<UIView>(this));
}

Ref<UIWindow> UIWindow::window() const {
    return Ref<UIWindow>(const_cast<UIWindow*>(this));
}

Ref<UIResponder> UIWindow::nextResponder() const {
    return UIApplication::sharedApplication();
}

void UIWindow::scheduleLayoutPass() {
    auto& r = registry();
    r.layoutRequested = true;
    if (r.layoutScheduled) {
        return;
    }
    r.layoutScheduled = true;
    uikit_detail::after(0, [] {
        registry().layoutScheduled = false;
        layoutAllWindows();
    });
}

void UIWindow::layoutAllWindows() {
    // The status bar comes and goes with the application's windows, and shows the device as it is
    // now: looked at before every pass, asked for or not.
    uikit_detail::showStatusBarAsAsked();
    auto& r = registry();
    if (!r.layoutRequested) {
        return;
    }
    // Cleared first: what this pass's own layout code asks for sets it again, for the next pass.
    r.layoutRequested = false;
    std::function<void(const Ref<UIView>&)> display = [&](const Ref<UIView>& view) {
        view->displayIfNeeded();
        for (const auto& sub : std::vector<Ref<UIView>>(view->subviewList())) {
            display(sub);
        }
    };
    for (const auto& window : allWindows()) {
        window->layoutIfNeeded();
        display(window);
    }
}

// MARK: - Keyboard

bool UIWindow::isKeyboardVisible() {
    return registry().keyboardVisible;
}

CGRect UIWindow::keyboardFrame() {
    CGRect screen = UIScreen::mainScreen()->bounds();
    bool pad = UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
    CGFloat height = (pad ? 264 : 216) + UIScreen::mainScreen()->safeAreaInsets().bottom;
    return CGRectMake(0, screen.size.height - height, screen.size.width, height);
}

namespace {
void announceKeyboard(bool show) {
    CGRect shown = UIWindow::keyboardFrame();
    CGRect hidden = CGRectOffset(shown, 0, shown.size.height);
    auto info = NSDictionary::dictionaryWithEntries({
        {UIKeyboardFrameBeginUserInfoKey(), NSValue::valueWithValue(show ? hidden : shown)},
        {UIKeyboardFrameEndUserInfoKey(), NSValue::valueWithValue(show ? shown : hidden)},
        {UIKeyboardAnimationDurationUserInfoKey(), box(0.25)},
        {UIKeyboardAnimationCurveUserInfoKey(), box(7L)},
    });
    registry().keyboardVisible = show;
    uikit_detail::post(UIKeyboardWillChangeFrameNotification(), nullptr, info);
    uikit_detail::post(show ? UIKeyboardWillShowNotification() : UIKeyboardWillHideNotification(), nullptr, info);
    UIRemoteKeyboardWindow::sharedWindow()->setKeyboardShown(show, shown);
    uikit_detail::post(UIKeyboardDidChangeFrameNotification(), nullptr, info);
    uikit_detail::post(show ? UIKeyboardDidShowNotification() : UIKeyboardDidHideNotification(), nullptr, info);
}

// Quietly, without notifications: nobody of the ended test is to hear of it.
void putKeyboardAway() {
    if (auto responder = UIResponder::currentFirstResponder()) {
        (void)responder->resignFirstResponder();
    }
    if (registry().keyboardVisible) {
        registry().keyboardVisible = false;
        UIRemoteKeyboardWindow::sharedWindow()->setKeyboardShown(false, CGRect{});
    }
}

bool textInputIsFirstResponder() {
    auto responder = UIResponder::currentFirstResponder();
    return responder && (responder->respondsToSelector("insertText:"));
}
} // namespace

void UIWindow::textInputDidBecomeFirstResponder() {
    if (!registry().keyboardVisible) {
        announceKeyboard(true);
    }
}

void UIWindow::textInputDidResignFirstResponder() {
    uikit_detail::after(0, [] {
        if (registry().keyboardVisible && !textInputIsFirstResponder()) {
            announceKeyboard(false);
        }
    });
}

// MARK: - Events

void UIWindow::sendEvent(const Ref<UIEvent>& event) {
    uikit_detail::assertMainThread("sendEvent");
    if (!event || event->type() != UIEventTypeTouches) {
        return;
    }
    Ref<UIWindow> self(this);
    deliver(event);
}

namespace {

// Whether a tap recognizer should leave a touch to a control: the touch landed on a control that
// lies below the recognizer's view.
bool controlTakesPrecedence(const Ref<UIGestureRecognizer>& recognizer, const Ref<UIView>& hit) {
    if (!cast<UITapGestureRecognizer>(recognizer)) {
        return false;
    }
    for (Ref<UIView> v = hit; v && v != recognizer->view(); v = v->superview()) {
        if (cast<UIControl>(v)) {
            return true;
        }
    }
    return false;
}

SEL selectorForPhase(UITouchPhase phase) {
    switch (phase) {
    case UITouchPhaseBegan:
        return "touchesBegan:withEvent:";
    case UITouchPhaseMoved:
    case UITouchPhaseStationary:
        return "touchesMoved:withEvent:";
    case UITouchPhaseEnded:
        return "touchesEnded:withEvent:";
    case UITouchPhaseCancelled:
        break;
    }
    return "touchesCancelled:withEvent:";
}

} // namespace

void UIWindow::deliver(const Ref<UIEvent>& event) {
    Ref<UIWindow> self(this);
    // Hit-test new touches and attach the recognizers that watch them.
    for (const auto& touch : event->touchList()) {
        touch->setWindow(self);
        if (touch->phase() != UITouchPhaseBegan || touch->view()) {
            continue;
        }
        CGPoint p = touch->windowLocation();
        auto hit = hitTestWithEvent(p, event);
        touch->setView(hit);
        for (Ref<UIView> v = hit; v; v = v->superview()) {
            for (const auto& r : std::vector<Ref<UIGestureRecognizer>>(v->gestureRecognizerList())) {
                if (!controlTakesPrecedence(r, hit) && r->shouldReceiveTouch(touch)) {
                    touch->addGestureRecognizer(r);
                }
            }
        }
    }
    // The recognizers see the touches first, grouped by phase.
    std::vector<Ref<UIGestureRecognizer>> recognizers;
    for (const auto& touch : event->touchList()) {
        for (const auto& r : touch->recognizerList()) {
            if (std::find(recognizers.begin(), recognizers.end(), r) == recognizers.end()) {
                recognizers.push_back(r);
            }
        }
    }
    for (UITouchPhase phase : {UITouchPhaseBegan, UITouchPhaseMoved, UITouchPhaseEnded, UITouchPhaseCancelled}) {
        for (const auto& r : recognizers) {
            auto state = r->state();
            if (state == UIGestureRecognizerStateFailed || state == UIGestureRecognizerStateEnded ||
                state == UIGestureRecognizerStateCancelled) {
                continue;
            }
            std::vector<id> set;
            for (const auto& touch : event->touchList()) {
                const auto& list = touch->recognizerList();
                if (touch->phase() == phase && std::find(list.begin(), list.end(), r) != list.end()) {
                    set.push_back(touch);
                }
            }
            if (set.empty()) {
                continue;
            }
            auto touches = NSSet::setWithArray(NSArray::arrayWithVector(std::move(set)));
            switch (phase) {
            case UITouchPhaseBegan:
                r->touchesBeganWithEvent(touches, event);
                break;
            case UITouchPhaseMoved:
                r->touchesMovedWithEvent(touches, event);
                break;
            case UITouchPhaseEnded:
                r->touchesEndedWithEvent(touches, event);
                break;
            default:
                r->touchesCancelledWithEvent(touches, event);
                break;
            }
        }
    }
    // Then the views, by view and phase; a touch taken by a recognizer is cancelled in its view.
    std::vector<std::pair<Ref<UIView>, std::pair<SEL, std::vector<id>>>> groups;
    auto addTo = [&](const Ref<UIView>& view, SEL selector, const Ref<UITouch>& touch) {
        for (auto& g : groups) {
            if (g.first == view && g.second.first == selector) {
                g.second.second.push_back(touch);
                return;
            }
        }
        groups.push_back({view, {selector, {touch}}});
    };
    for (const auto& touch : event->touchList()) {
        auto view = touch->view();
        if (!view || touch->phase() == UITouchPhaseStationary || cancelledForView_.count(touch.get())) {
            continue;
        }
        bool taken = false;
        for (const auto& r : touch->recognizerList()) {
            auto s = r->state();
            if (r->cancelsTouchesInView() &&
                (s == UIGestureRecognizerStateBegan || s == UIGestureRecognizerStateChanged ||
                 s == UIGestureRecognizerStateEnded)) {
                taken = true;
            }
        }
        if (taken) {
            cancelledForView_.insert(touch.get());
            if (touch->phase() != UITouchPhaseBegan) {
                addTo(view, "touchesCancelled:withEvent:", touch);
            }
            continue;
        }
        addTo(view, selectorForPhase(touch->phase()), touch);
    }
    for (auto& [view, call] : groups) {
        auto touches = NSSet::setWithArray(NSArray::arrayWithVector(call.second));
        uikit_detail::send(view, call.first, {touches, event});
    }
    // Forget finished touches; reset recognizers whose touches have all gone.
    for (const auto& touch : event->touchList()) {
        if (touch->phase() == UITouchPhaseEnded || touch->phase() == UITouchPhaseCancelled) {
            cancelledForView_.erase(touch.get());
        }
    }
    for (const auto& r : recognizers) {
        bool anyDown = false;
        for (const auto& touch : event->touchList()) {
            const auto& list = touch->recognizerList();
            if (std::find(list.begin(), list.end(), r) != list.end() && touch->phase() != UITouchPhaseEnded &&
                touch->phase() != UITouchPhaseCancelled) {
                anyDown = true;
            }
        }
        auto s = r->state();
        if (!anyDown && (s == UIGestureRecognizerStateEnded || s == UIGestureRecognizerStateFailed ||
                         s == UIGestureRecognizerStateCancelled || s == UIGestureRecognizerStatePossible)) {
            r->reset();
        }
    }
}
