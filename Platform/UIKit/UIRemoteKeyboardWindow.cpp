#include <Runtime/ClassBuilder.h>
#include <UIKit/UIInputSetContainerView.h>
#include <UIKit/UIInputSetHostView.h>
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
    static auto* window = new Ref<UIRemoteKeyboardWindow>;
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
