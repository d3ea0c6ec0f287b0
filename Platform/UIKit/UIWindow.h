// UIWindow: the root of a view tree on the screen. It owns its root view controller's view, becomes
// the key window, and delivers touch events: each touch goes to the view hit when it began, after
// the gesture recognizers of that view and its ancestors have seen it.
//
// A window is hidden until shown (makeKeyAndVisible). Views in a visible window are "on screen":
// their controllers get their appearance callbacks when they enter or leave it.
#pragma once

#include <UIKit/UIView.h>

#include <map>
#include <set>

class UIViewController;
class UIScreen;

using UIWindowLevel = CGFloat;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;

const Ref<NSString>& UIWindowDidBecomeVisibleNotification();
const Ref<NSString>& UIWindowDidBecomeHiddenNotification();
const Ref<NSString>& UIWindowDidBecomeKeyNotification();
const Ref<NSString>& UIWindowDidResignKeyNotification();

// The keyboard comes when a text field or text view becomes first responder and goes when the last
// one resigns; these are posted around it (object nil), with the frames, the animation duration
// (0.25 s) and curve in the user information. While it is up, the keyboard window
// (UIRemoteKeyboardWindow) shows it above the application's windows.
const Ref<NSString>& UIKeyboardWillShowNotification();
const Ref<NSString>& UIKeyboardDidShowNotification();
const Ref<NSString>& UIKeyboardWillHideNotification();
const Ref<NSString>& UIKeyboardDidHideNotification();
const Ref<NSString>& UIKeyboardWillChangeFrameNotification();
const Ref<NSString>& UIKeyboardDidChangeFrameNotification();
const Ref<NSString>& UIKeyboardFrameBeginUserInfoKey();
const Ref<NSString>& UIKeyboardFrameEndUserInfoKey();
const Ref<NSString>& UIKeyboardAnimationDurationUserInfoKey();
const Ref<NSString>& UIKeyboardAnimationCurveUserInfoKey();

class UIWindow : public UIView {
    NS_OBJECT(UIWindow, UIView)
public:
    // `init`: the main screen's bounds.
    UIWindow();
    explicit UIWindow(CGRect frame);
    ~UIWindow() override;

    Ref<UIViewController> rootViewController() const;
    // Replaces the root controller; its view fills the window and resizes with it.
    void setRootViewController(const Ref<UIViewController>& controller);

    void makeKeyWindow();
    void makeKeyAndVisible();
    bool isKeyWindow() const;
    static Ref<UIWindow> keyWindow();
    UIWindowLevel windowLevel() const noexcept { return windowLevel_; }
    void setWindowLevel(UIWindowLevel level) { windowLevel_ = level; }
    Ref<UIScreen> screen() const;

    void setHidden(bool hidden) override;
    Ref<UIWindow> window() const override;
    Ref<UIResponder> nextResponder() const override;

    // Delivers an event (touches) to the views and gesture recognizers.
    virtual void sendEvent(const Ref<UIEvent>& event);

    // Every window made and not yet freed, in the order they were made.
    static std::vector<Ref<UIWindow>> allWindows();
    // The same, back to front: by window level, and in the order they were made within a level
    // (UIApplication's windows).
    static std::vector<Ref<UIWindow>> windowsFromBackToFront();
    // Runs pending layout and display in every window; scheduled at the next turn of the main
    // queue whenever a view in a window asks for layout or display.
    static void layoutAllWindows();
    static void scheduleLayoutPass();

    // The keyboard: shown when a text input became first responder; hidden (at the next turn of the
    // main queue) when no text input is first responder any more.
    static bool isKeyboardVisible();
    static CGRect keyboardFrame();
    static void textInputDidBecomeFirstResponder();
    static void textInputDidResignFirstResponder();

private:
    void deliver(const Ref<UIEvent>& event);
    void notifyControllers();
    Ref<UIViewController> rootViewController_;
    UIWindowLevel windowLevel_ = UIWindowLevelNormal;
    std::set<const UITouch*> cancelledForView_;
};
