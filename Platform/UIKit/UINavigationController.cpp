#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreen.h>

#include <algorithm>

using uikit_detail::send;
using uikit_detail::sendIfResponds;

NS_IMPLEMENT_CLASS(UINavigationController, UIViewController) {
    b.readonlyProperty("viewControllers", &UINavigationController::viewControllers);
    b.readonlyProperty("topViewController", &UINavigationController::topViewController);
    b.readonlyProperty("visibleViewController", &UINavigationController::visibleViewController);
    b.property("navigationBarHidden", &UINavigationController::isNavigationBarHidden,
               &UINavigationController::setNavigationBarHidden);
    b.method("pushViewController:animated:", &UINavigationController::pushViewControllerAnimated);
    b.method("popViewControllerAnimated:", &UINavigationController::popViewControllerAnimated);
    b.method("popToRootViewControllerAnimated:", &UINavigationController::popToRootViewControllerAnimated);
}

UINavigationController::UINavigationController(const Ref<UIViewController>& root) {
    if (root) {
        addChildViewController(root);
        stack_.push_back(root);
        send(root, "didMoveToParentViewController:", {Ref<UIViewController>(this)});
    }
}

Ref<NSArray> UINavigationController::viewControllers() const {
    return NSArray::arrayWithRefs(stack_);
}

Ref<UIViewController> UINavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

Ref<UIViewController> UINavigationController::visibleViewController() const {
    auto top = topViewController();
    if (auto presented = presentedViewController()) {
        while (presented->presentedViewController()) {
            presented = presented->presentedViewController();
        }
        return presented;
    }
    return top;
}

Ref<UINavigationBar> UINavigationController::navigationBar() {
    if (!bar_) {
        bar_ = make<UINavigationBar>();
    }
    return bar_;
}

CGRect UINavigationController::contentFrame() const {
    auto v = viewIfLoaded();
    CGRect b = v ? v->bounds() : UIScreen::mainScreen()->bounds();
    if (barHidden_) {
        return b;
    }
    CGFloat top = UIApplication::sharedApplication()->statusBarFrame().size.height + UINavigationBar::height;
    return CGRectMake(b.origin.x, b.origin.y + top, b.size.width, std::max(0.0, b.size.height - top));
}

void UINavigationController::loadView() {
    auto v = make<UIView>(UIScreen::mainScreen()->bounds());
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(v);
    auto bar = navigationBar();
    CGFloat status = UIApplication::sharedApplication()->statusBarFrame().size.height;
    bar->setFrame(CGRectMake(0, status, v->bounds().size.width, UINavigationBar::height));
    bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    bar->setHidden(barHidden_);
    v->addSubview(bar);
    if (auto top = topViewController()) {
        auto topView = top->view();
        topView->setFrame(contentFrame());
        topView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        v->insertSubviewBelowSubview(topView, bar);
        bar->setTitle(top->title());
    }
}

void UINavigationController::viewDidLayoutSubviews() {
    if (auto top = topViewController(); top && top->isViewLoaded() && top->viewIfLoaded()->superview() == view()) {
        top->viewIfLoaded()->setFrame(contentFrame());
    }
}

void UINavigationController::setNavigationBarHidden(bool hidden) {
    setNavigationBarHiddenAnimated(hidden, false);
}

void UINavigationController::setNavigationBarHiddenAnimated(bool hidden, bool) {
    changeValueForKey("navigationBarHidden", [&] { barHidden_ = hidden; });
    if (bar_) {
        bar_->setHidden(hidden);
    }
    if (auto top = topViewController();
        top && top->isViewLoaded() && isViewLoaded() && top->viewIfLoaded()->superview() == viewIfLoaded()) {
        top->viewIfLoaded()->setFrame(contentFrame());
    }
}

bool UINavigationController::prefersStatusBarHidden() {
    auto top = topViewController();
    return top ? unbox<bool>(send(top, "prefersStatusBarHidden")) : false;
}

NSInteger UINavigationController::preferredStatusBarStyle() {
    auto top = topViewController();
    return top ? unbox<long>(send(top, "preferredStatusBarStyle")) : 0;
}

void UINavigationController::showTop(const Ref<UIViewController>& from, const Ref<UIViewController>& to, bool animated,
                                     bool forward, std::vector<Ref<UIViewController>> removed) {
    Ref<UINavigationController> self(this);
    if (!isViewLoaded()) {
        for (const auto& r : removed) {
            r->removeFromParentViewController();
        }
        if (forward && to) {
            send(to, "didMoveToParentViewController:", {Ref<UIViewController>(self)});
        }
        return;
    }
    auto container = viewIfLoaded();
    auto toView = to->view();
    bool visible = isVisible();
    if (visible) {
        sendIfResponds(delegate(), "navigationController:willShowViewController:animated:", {self, to, box(animated)});
        if (from) {
            from->beginAppearanceTransition(false, animated);
        }
        to->beginAppearanceTransition(true, animated);
    }
    CGRect content = contentFrame();
    toView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto fromView = from ? from->viewIfLoaded() : nullptr;
    CGFloat width = content.size.width;
    if (animated) {
        toView->setFrame(forward ? CGRectOffset(content, width, 0) : CGRectOffset(content, -width / 3, 0));
    } else {
        toView->setFrame(content);
    }
    if (fromView && fromView->superview() == container) {
        if (forward) {
            container->insertSubviewAboveSubview(toView, fromView);
        } else {
            container->insertSubviewBelowSubview(toView, fromView);
        }
    } else if (bar_ && bar_->superview() == container) {
        container->insertSubviewBelowSubview(toView, bar_);
    } else {
        container->addSubview(toView);
    }
    if (bar_) {
        bar_->setTitle(to->title());
    }
    Weak<UINavigationController> weak(self);
    runTransition(
        animated, UINavigationTransitionDuration,
        [toView, fromView, content, forward, width] {
            toView->setFrame(content);
            if (fromView) {
                fromView->setFrame(forward ? CGRectOffset(content, -width / 3, 0) : CGRectOffset(content, width, 0));
            }
        },
        [weak, from, to, fromView, visible, forward, animated, removed] {
            auto nav = weak.lock();
            if (fromView && nav && fromView->superview() == nav->viewIfLoaded() &&
                !(nav->topViewController() == from)) {
                fromView->removeFromSuperview();
            }
            if (visible) {
                if (from) {
                    from->endAppearanceTransition();
                }
                to->endAppearanceTransition();
            }
            for (const auto& r : removed) {
                if (r->isViewLoaded() && nav && r->viewIfLoaded()->superview() == nav->viewIfLoaded()) {
                    r->viewIfLoaded()->removeFromSuperview();
                }
                r->removeFromParentViewController();
            }
            if (forward && nav) {
                send(to, "didMoveToParentViewController:", {Ref<UIViewController>(nav)});
            }
            if (visible && nav) {
                sendIfResponds(nav->delegate(),
                               "navigationController:didShowViewController:animated:", {nav, to, box(animated)});
            }
        });
}

void UINavigationController::pushViewControllerAnimated(const Ref<UIViewController>& controller, bool animated) {
    uikit_detail::assertMainThread("pushViewController");
    if (!controller) {
        NSException::raise(NSInvalidArgumentException, "Application tried to push a nil view controller");
    }
    if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) {
        NSException::raise(NSInvalidArgumentException, "Pushing the same view controller instance more than once is "
                                                       "not supported");
    }
    if (controller->parentViewController() || controller->presentingViewController()) {
        NSException::raise(NSInvalidArgumentException, "Cannot push a view controller that is already a child or "
                                                       "presented elsewhere");
    }
    completeRunningTransition();
    auto from = topViewController();
    addChildViewController(controller);
    stack_.push_back(controller);
    showTop(from, controller, animated, true, {});
}

Ref<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
    uikit_detail::assertMainThread("popViewController");
    completeRunningTransition();
    if (stack_.size() <= 1) {
        return nullptr;
    }
    auto from = stack_.back();
    stack_.pop_back();
    auto to = stack_.back();
    send(from, "willMoveToParentViewController:", {nullptr});
    showTop(from, to, animated, false, {from});
    return from;
}

Ref<NSArray> UINavigationController::popToViewControllerAnimated(const Ref<UIViewController>& controller,
                                                                 bool animated) {
    uikit_detail::assertMainThread("popToViewController");
    completeRunningTransition();
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (it == stack_.end()) {
        NSException::raise(NSInvalidArgumentException, "Tried to pop to a view controller that is not on the stack");
    }
    std::vector<Ref<UIViewController>> removed(it + 1, stack_.end());
    if (removed.empty()) {
        return NSArray::array();
    }
    stack_.erase(it + 1, stack_.end());
    for (const auto& r : removed) {
        send(r, "willMoveToParentViewController:", {nullptr});
    }
    showTop(removed.back(), controller, animated, false, removed);
    return NSArray::arrayWithRefs(removed);
}

Ref<NSArray> UINavigationController::popToRootViewControllerAnimated(bool animated) {
    if (stack_.empty()) {
        return nullptr;
    }
    return popToViewControllerAnimated(stack_.front(), animated);
}

void UINavigationController::setViewControllers(const Ref<NSArray>& controllers) {
    setViewControllersAnimated(controllers, false);
}

void UINavigationController::setViewControllersAnimated(const Ref<NSArray>& controllers, bool animated) {
    completeRunningTransition();
    std::vector<Ref<UIViewController>> next;
    if (controllers) {
        for (const auto& c : *controllers) {
            if (auto vc = cast<UIViewController>(c)) {
                next.push_back(vc);
            }
        }
    }
    auto from = topViewController();
    std::vector<Ref<UIViewController>> removed;
    for (const auto& old : stack_) {
        if (std::find(next.begin(), next.end(), old) == next.end()) {
            removed.push_back(old);
            send(old, "willMoveToParentViewController:", {nullptr});
        }
    }
    for (const auto& vc : next) {
        if (vc->parentViewController().get() != this) {
            addChildViewController(vc);
        }
    }
    stack_ = next;
    auto to = topViewController();
    if (to && to != from) {
        bool forward = std::find(removed.begin(), removed.end(), from) == removed.end() || !from;
        showTop(from, to, animated, true, removed);
        (void)forward;
    } else {
        for (const auto& r : removed) {
            if (r->isViewLoaded() && r->viewIfLoaded()->superview() == viewIfLoaded()) {
                r->viewIfLoaded()->removeFromSuperview();
            }
            r->removeFromParentViewController();
        }
    }
}
