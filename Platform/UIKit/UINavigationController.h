// UINavigationController: a stack of screens, of which the top one is shown. Pushing and popping
// are the platform's transitions: animated ones take UINavigationTransitionDuration on the clock,
// others happen at once; while the navigation controller is on screen the leaving and arriving
// screens get their appearance callbacks in the platform's order. A push or pop that starts while
// another is animating finishes the first one at once.
//
// The delegate (held weakly) is told navigationController:willShowViewController:animated: and
// navigationController:didShowViewController:animated: by selector.
#pragma once

#include <UIKit/UINavigationBar.h>
#include <UIKit/UIViewController.h>

class UINavigationController : public UIViewController {
    NS_OBJECT(UINavigationController, UIViewController)
public:
    UINavigationController() = default;
    // `initWithRootViewController:`.
    explicit UINavigationController(const Ref<UIViewController>& root);

    Ref<NSArray> viewControllers() const;
    const std::vector<Ref<UIViewController>>& viewControllerList() const noexcept { return stack_; }
    void setViewControllers(const Ref<NSArray>& controllers);
    void setViewControllersAnimated(const Ref<NSArray>& controllers, bool animated);
    Ref<UIViewController> topViewController() const;
    // The top controller, or what it presents.
    Ref<UIViewController> visibleViewController() const;

    // Raises NSInvalidArgumentException for a controller already on a stack or a child elsewhere.
    void pushViewControllerAnimated(const Ref<UIViewController>& controller, bool animated);
    // nil when only the root is left.
    Ref<UIViewController> popViewControllerAnimated(bool animated);
    Ref<NSArray> popToRootViewControllerAnimated(bool animated);
    Ref<NSArray> popToViewControllerAnimated(const Ref<UIViewController>& controller, bool animated);

    Ref<UINavigationBar> navigationBar();
    bool isNavigationBarHidden() const noexcept { return barHidden_; }
    void setNavigationBarHidden(bool hidden);
    void setNavigationBarHiddenAnimated(bool hidden, bool animated);
    bool isToolbarHidden() const noexcept { return toolbarHidden_; }
    void setToolbarHidden(bool hidden) { toolbarHidden_ = hidden; }

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    void loadView() override;
    void viewDidLayoutSubviews() override;
    bool prefersStatusBarHidden() override;
    NSInteger preferredStatusBarStyle() override;

private:
    CGRect contentFrame() const;
    void showTop(const Ref<UIViewController>& from, const Ref<UIViewController>& to, bool animated, bool forward,
                 std::vector<Ref<UIViewController>> removed);
    std::vector<Ref<UIViewController>> stack_;
    Ref<UINavigationBar> bar_;
    bool barHidden_ = false;
    bool toolbarHidden_ = true;
    Weak<NSObject> delegate_;
};
