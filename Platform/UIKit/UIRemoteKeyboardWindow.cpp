#include <Dispatch/Clock.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIInputSetContainerView.h>
#include <UIKit/UIInputSetHostView.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIRemoteKeyboardWindow.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(UIRemoteKeyboardWindow, UIWindow) {}

UIRemoteKeyboardWindow::UIRemoteKeyboardWindow() : UIWindow(UIScreen::mainScreen()->bounds()) {
    setWindowLevel(UIWindowLevelRemoteKeyboard);
    container_ = make<UIInputSetContainerView>(bounds());
    container_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(container_);
    host_ = make<UIInputSetHostView>(CGRectZero);
}

Ref<UIRemoteKeyboardWindow> UIRemoteKeyboardWindow::sharedWindow() {
    static auto* window = [] {
        auto* made = new Ref<UIRemoteKeyboardWindow>;
        // A process has no keyboard window until its first keyboard shows: a test that ends lets it
        // go, so that the next test's application lists only the windows it made.
        DispatchClock::addTestEndHandler([made] {
            if (*made) {
                uikit_detail::retireWindow(made->get());
                *made = nullptr;
            }
        });
        return made;
    }();
    if (!*window) {
        *window = make<UIRemoteKeyboardWindow>();
    }
    return *window;
}

void UIRemoteKeyboardWindow::setKeyboardShown(bool shown, CGRect keyboardFrame) {
    if (shown) {
        host_->setFrame(keyboardFrame);
        if (!host_->superview()) {
            container_->addSubview(host_);
        }
        setHidden(false);
    } else {
        host_->removeFromSuperview();
        setHidden(true);
    }
}
