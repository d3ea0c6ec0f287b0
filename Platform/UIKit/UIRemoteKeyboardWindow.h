// UIRemoteKeyboardWindow: the system's window that holds the on-screen keyboard, above every
// application window. It is made when the keyboard first shows and is visible while the keyboard
// is up. Inside: a UIInputSetContainerView filling the window, holding a UIInputSetHostView with
// the keyboard's frame while the keyboard is up (so code that measures the keyboard by walking
// the application's windows finds it, as on the platform).
#pragma once

#include <UIKit/UIWindow.h>

inline constexpr UIWindowLevel UIWindowLevelRemoteKeyboard = 10000000;

class UIRemoteKeyboardWindow : public UIWindow {
    NS_OBJECT(UIRemoteKeyboardWindow, UIWindow)
public:
    UIRemoteKeyboardWindow();

    // The window of this process, made on first use (and again after a test has ended).
    static Ref<UIRemoteKeyboardWindow> sharedWindow();
    // Shows the keyboard's views at `keyboardFrame` (window coordinates) or takes them away.
    void setKeyboardShown(bool shown, CGRect keyboardFrame);

private:
    Ref<UIView> container_;
    Ref<UIView> host_;
};
