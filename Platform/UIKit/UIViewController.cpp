#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UILayoutGuide.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITraitCollection.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIViewControllerPreviewing.h>
#include <UIKit/UIWindow.h>

#include <algorithm>

using uikit_detail::send;

// What the class's registration reaches of the controller's private state.
struct UIViewControllerRegistration {
    static void finishMovingBetweenParents(UIViewController* controller) { controller->finishMovingBetweenParents(); }
};

NS_IMPLEMENT_CLASS(UIViewController, UIResponder) {
    b.method("loadView", &UIViewController::loadView);
    b.method("viewDidLoad", &UIViewController::viewDidLoad);
    b.method("viewWillAppear:", &UIViewController::viewWillAppear);
    b.method("viewDidAppear:", &UIViewController::viewDidAppear);
    b.method("viewWillDisappear:", &UIViewController::viewWillDisappear);
    b.method("viewDidDisappear:", &UIViewController::viewDidDisappear);
    b.method("viewWillLayoutSubviews", &UIViewController::viewWillLayoutSubviews);
    b.method("viewDidLayoutSubviews", &UIViewController::viewDidLayoutSubviews);
    b.method("updateViewConstraints", &UIViewController::updateViewConstraints);
    b.method("didReceiveMemoryWarning", &UIViewController::didReceiveMemoryWarning);
    b.method("awakeFromNib", &UIViewController::awakeFromNib);
    b.methodBlock("willMoveToParentViewController:", [](UIViewController* self, const Ref<UIViewController>& parent) {
        self->willMoveToParentViewController(parent);
    });
    b.methodBlock("didMoveToParentViewController:", [](UIViewController* self, const Ref<UIViewController>& parent) {
        self->didMoveToParentViewController(parent);
        UIViewControllerRegistration::finishMovingBetweenParents(self);
    });
    b.method("prefersStatusBarHidden", &UIViewController::prefersStatusBarHidden);
    b.method("preferredStatusBarStyle", &UIViewController::preferredStatusBarStyle);
    b.method("prefersHomeIndicatorAutoHidden", &UIViewController::prefersHomeIndicatorAutoHidden);
    b.method("shouldAutorotate", &UIViewController::shouldAutorotate);
    b.method("supportedInterfaceOrientations", &UIViewController::supportedInterfaceOrientations);
    b.method("setNeedsStatusBarAppearanceUpdate", &UIViewController::setNeedsStatusBarAppearanceUpdate);
    b.property("title", &UIViewController::title, &UIViewController::setTitle);
    b.readonlyProperty("view", &UIViewController::viewIfLoaded);
    b.readonlyProperty("parentViewController", &UIViewController::parentViewController);
    b.readonlyProperty("presentedViewController", &UIViewController::presentedViewController);
    b.readonlyProperty("presentingViewController", &UIViewController::presentingViewController);
    b.readonlyProperty("navigationController", &UIViewController::navigationController);
    b.readonlyProperty("childViewControllers", &UIViewController::childViewControllers);
}

UIViewController::UIViewController() = default;

UIViewController::UIViewController(const Ref<NSString>& nibName, const id&) : nibName_(nibName) {}

UIViewController::~UIViewController() {
    if (view_) {
        view_->setViewController(nullptr);
    }
    for (auto& child : children_) {
        child->parent_ = nullptr;
    }
}

// MARK: - The view

Ref<UIView> UIViewController::view() {
    loadViewIfNeeded();
    return view_;
}

void UIViewController::loadViewIfNeeded() {
    if (view_ || loadingView_) {
        return;
    }
    uikit_detail::assertMainThread("loadView");
    Ref<UIViewController> self(this);
    loadingView_ = true;
    try {
        send(self, "loadView");
    } catch (...) {
        loadingView_ = false;
        throw;
    }
    loadingView_ = false;
    if (!view_) {
        NSException::raise(NSInternalInconsistencyException,
                           "-[" + getClass()->name() + " loadView] did not set the controller's view");
    }
    send(self, "viewDidLoad");
}

void UIViewController::setView(const Ref<UIView>& view) {
    if (view_ == view) {
        return;
    }
    if (view_) {
        view_->setViewController(nullptr);
    }
    view_ = view;
    if (view_) {
        view_->setViewController(Ref<UIViewController>(this));
    }
}

void UIViewController::loadView() {
    Ref<UIViewController> self(this);
    std::string name = nibName_ ? nibName_->str() : getClass()->name();
    if (UINib::hasNibNamed(name)) {
        auto objects =
            UINib::nibWithNibNameBundle(NSString::from(name), nullptr)->instantiateWithOwnerOptions(self, nullptr);
        if (!view_ && objects) {
            for (const auto& o : *objects) {
                if (auto v = cast<UIView>(o)) {
                    setView(v);
                    break;
                }
            }
        }
        if (view_) {
            return;
        }
    } else if (nibName_) {
        NSException::raise(NSInternalInconsistencyException,
                           "Could not load the nib named \"" + nibName_->str() + "\"");
    }
    auto v = make<UIView>(UIScreen::mainScreen()->bounds());
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    setView(v);
}

void UIViewController::updateViewConstraints() {
    if (view_) {
        view_->updateConstraintsIfNeeded();
    }
}

// MARK: - Appearance

bool UIViewController::isOnScreen() const {
    if (!view_) {
        return false;
    }
    auto window = view_->window();
    return window && !window->isHidden();
}

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    if (isAppearing) {
        if (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing) {
            return;
        }
        appearance_ = Appearance::Appearing;
    } else {
        if (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing) {
            return;
        }
        uikit_detail::screenshotControllerWillDisappear(this);
        appearance_ = Appearance::Disappearing;
    }
    appearanceAnimated_ = animated;
    Ref<UIViewController> self(this);
    send(self, isAppearing ? "viewWillAppear:" : "viewWillDisappear:", {box(animated)});
    forwardAppearance(true, isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
    Ref<UIViewController> self(this);
    if (appearance_ == Appearance::Appearing) {
        appearance_ = Appearance::Appeared;
        send(self, "viewDidAppear:", {box(appearanceAnimated_)});
        forwardAppearance(false, true, appearanceAnimated_);
        uikit_detail::screenshotControllerDidAppear(this);
    } else if (appearance_ == Appearance::Disappearing) {
        appearance_ = Appearance::Disappeared;
        send(self, "viewDidDisappear:", {box(appearanceAnimated_)});
        forwardAppearance(false, false, appearanceAnimated_);
    }
}

void UIViewController::forwardAppearance(bool begin, bool isAppearing, bool animated) {
    if (!shouldAutomaticallyForwardAppearanceMethods() || !view_) {
        return;
    }
    for (const auto& child : std::vector<Ref<UIViewController>>(children_)) {
        if (!child->view_ || !child->view_->isDescendantOfView(view_)) {
            continue;
        }
        if (begin) {
            child->beginAppearanceTransition(isAppearing, animated);
        } else {
            child->endAppearanceTransition();
        }
    }
}

void UIViewController::viewDidChangeWindow() {
    if (!view_) {
        return;
    }
    Ref<UIViewController> self(this);
    bool on = isOnScreen();
    if (on && appearance_ == Appearance::Disappeared) {
        auto parent = parentViewController();
        if (parent && parent->appearance_ == Appearance::Appearing) {
            beginAppearanceTransition(true, parent->appearanceAnimated_);
            return;
        }
        if (parent && parent->appearance_ != Appearance::Appeared) {
            return;
        }
        beginAppearanceTransition(true, false);
        endAppearanceTransition();
    } else if (!on && appearance_ == Appearance::Appeared) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
}

// MARK: - Transitions

void UIViewController::runTransition(bool animated, double duration, std::function<void()> animations,
                                     std::function<void()> finish) {
    completeRunningTransition();
    if (animated && duration > 0 && UIView::areAnimationsEnabled()) {
        uint64_t mine = ++transitionSerial_;
        pendingFinish_ = std::move(finish);
        Weak<UIViewController> weak(this);
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(duration, 0, 0, animations, [weak, mine](bool) {
            auto self = weak.lock();
            if (self && self->transitionSerial_ == mine) {
                self->completeRunningTransition();
            }
        });
    } else {
        UIView::performWithoutAnimation(animations);
        finish();
    }
}

void UIViewController::completeRunningTransition() {
    if (!pendingFinish_) {
        return;
    }
    ++transitionSerial_;
    auto finish = std::move(pendingFinish_);
    pendingFinish_ = nullptr;
    Ref<UIViewController> self(this);
    finish();
}

// MARK: - Containment

Ref<NSArray> UIViewController::childViewControllers() const {
    return NSArray::arrayWithRefs(children_);
}

void UIViewController::addChildViewController(const Ref<UIViewController>& child) {
    uikit_detail::assertMainThread("addChildViewController");
    if (!child || child.get() == this || child->parentViewController().get() == this) {
        return;
    }
    if (child->parentViewController()) {
        child->removeFromParentViewController();
    }
    Ref<UIViewController> self(this);
    child->movingTo_ = true;
    send(child, "willMoveToParentViewController:", {self});
    children_.push_back(child);
    child->parent_ = self;
}

void UIViewController::removeFromParentViewController() {
    auto parent = parentViewController();
    if (!parent) {
        return;
    }
    Ref<UIViewController> self(this);
    movingFrom_ = true;
    std::erase(parent->children_, self);
    parent_ = nullptr;
    send(self, "didMoveToParentViewController:", {nullptr});
}

void UIViewController::transitionFromViewControllerToViewControllerDurationOptionsAnimationsCompletion(
    const Ref<UIViewController>& from, const Ref<UIViewController>& to, double duration, UIViewAnimationOptions options,
    UIView::Animations animations, UIView::Completion completion) {
    uikit_detail::assertMainThread("transitionFromViewController");
    if (!from || !to || from->parentViewController().get() != this || to->parentViewController().get() != this) {
        NSException::raise(NSInvalidArgumentException,
                           "Children view controllers must have a common parent view controller when calling "
                           "transitionFromViewController:toViewController:duration:options:animations:completion:");
    }
    Ref<UIView> toView = to->view();
    Ref<UIView> fromView = from->view();
    bool visible = isOnScreen();
    bool animated = duration > 0;
    if (visible) {
        from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    if (auto container = fromView->superview()) {
        container->insertSubviewAboveSubview(toView, fromView);
    }
    Ref<UIViewController> keepFrom = from;
    Ref<UIViewController> keepTo = to;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        duration, 0, options, animations, [keepFrom, keepTo, fromView, visible, completion](bool finished) {
            fromView->removeFromSuperview();
            if (visible) {
                keepFrom->endAppearanceTransition();
                keepTo->endAppearanceTransition();
            }
            if (completion) {
                completion(finished);
            }
        });
}

// MARK: - Presentation

Ref<UIViewController> UIViewController::presentationRoot() const {
    Ref<UIViewController> root(const_cast<UIViewController*>(this));
    while (auto parent = root->parentViewController()) {
        root = parent;
    }
    return root;
}

Ref<UIViewController> UIViewController::presentingViewController() const {
    for (Ref<UIViewController> c(const_cast<UIViewController*>(this)); c; c = c->parentViewController()) {
        if (auto p = c->presenting_.lock()) {
            return p;
        }
    }
    return nullptr;
}

namespace {
bool coversScreen(UIModalPresentationStyle style) {
    return style != UIModalPresentationOverFullScreen && style != UIModalPresentationOverCurrentContext &&
           style != UIModalPresentationCustom && style != UIModalPresentationPopover;
}
} // namespace

void UIViewController::presentViewControllerAnimatedCompletion(const Ref<UIViewController>& controller, bool animated,
                                                               std::function<void()> completion) {
    uikit_detail::assertMainThread("presentViewController");
    if (!controller) {
        NSException::raise(NSInvalidArgumentException, "Application tried to present a nil modal view controller");
    }
    if (controller->presenting_.lock() || controller->parentViewController()) {
        NSException::raise(NSInvalidArgumentException, "Application tried to present modally an active controller " +
                                                           controller->description()->str());
    }
    auto presenter = presentationRoot();
    if (presenter->presented_) {
        NSLog("Warning: Attempt to present %@ on %@ which is already presenting %@", controller, presenter,
              presenter->presented_);
        return;
    }
    auto window = presenter->view_ ? presenter->view_->window() : nullptr;
    if (!window) {
        NSLog("Warning: Attempt to present %@ on %@ whose view is not in the window hierarchy!", controller, presenter);
        return;
    }
    presenter->completeRunningTransition();
    presenter->presented_ = controller;
    controller->presenting_ = presenter;
    controller->beingPresented_ = true;
    bool fullScreen = coversScreen(controller->presentationStyle_);
    auto view = controller->view();
    CGRect bounds = window->bounds();
    view->setFrame(animated ? CGRectOffset(bounds, 0, bounds.size.height) : bounds);
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    bool visible = presenter->isOnScreen() && !window->isHidden();
    if (fullScreen && visible) {
        presenter->beginAppearanceTransition(false, animated);
    }
    if (visible) {
        controller->beginAppearanceTransition(true, animated);
    }
    window->addSubview(view);
    Weak<UIViewController> weakPresenter(presenter);
    presenter->runTransition(
        animated, UIModalTransitionDuration, [view, bounds] { view->setFrame(bounds); },
        [weakPresenter, controller, fullScreen, visible, completion] {
            auto presenter = weakPresenter.lock();
            if (presenter && fullScreen && presenter->view_) {
                auto superview = presenter->view_->superview();
                if (superview) {
                    const auto& list = superview->subviewList();
                    presenter->presenterSuperview_ = superview;
                    presenter->presenterIndex_ =
                        static_cast<size_t>(std::find(list.begin(), list.end(), presenter->view_) - list.begin());
                    presenter->view_->removeFromSuperview();
                }
            }
            if (visible) {
                if (presenter && fullScreen) {
                    presenter->endAppearanceTransition();
                }
                controller->endAppearanceTransition();
            }
            controller->beingPresented_ = false;
            if (completion) {
                completion();
            }
        });
}

void UIViewController::dismissViewControllerAnimatedCompletion(bool animated, std::function<void()> completion) {
    uikit_detail::assertMainThread("dismissViewController");
    Ref<UIViewController> presenter;
    for (Ref<UIViewController> c(this); c; c = c->parentViewController()) {
        if (c->presented_) {
            presenter = c;
            break;
        }
        if (auto p = c->presenting_.lock()) {
            presenter = p;
            break;
        }
    }
    if (!presenter) {
        return;
    }
    presenter->completeRunningTransition();
    auto target = presenter->presented_;
    if (!target) {
        return;
    }
    std::vector<Ref<UIViewController>> chain;
    for (auto c = target; c; c = c->presented_) {
        c->completeRunningTransition();
        chain.push_back(c);
        c->beingDismissed_ = true;
    }
    bool fullScreen = coversScreen(target->presentationStyle_);
    auto window = target->view_ ? target->view_->window() : nullptr;
    bool visible = window && !window->isHidden();
    if (visible) {
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            (*it)->beginAppearanceTransition(false, animated);
        }
    }
    if (fullScreen && presenter->view_ && !presenter->view_->superview()) {
        if (visible) {
            presenter->beginAppearanceTransition(true, animated);
        }
        auto superview = presenter->presenterSuperview_.lock();
        if (!superview) {
            superview = window;
        }
        if (superview) {
            superview->insertSubviewAtIndex(presenter->view_, static_cast<NSInteger>(presenter->presenterIndex_));
        }
    }
    Ref<UIView> targetView = target->view_;
    Weak<UIViewController> weakPresenter(presenter);
    presenter->runTransition(
        animated, UIModalTransitionDuration,
        [targetView] {
            if (targetView) {
                CGRect f = targetView->frame();
                targetView->setFrame(CGRectOffset(f, 0, f.size.height));
            }
        },
        [weakPresenter, chain, visible, completion] {
            for (const auto& c : chain) {
                if (c->view_) {
                    c->view_->removeFromSuperview();
                }
            }
            if (visible) {
                for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                    (*it)->endAppearanceTransition();
                }
            }
            auto presenter = weakPresenter.lock();
            if (presenter) {
                if (visible) {
                    presenter->endAppearanceTransition();
                }
                presenter->presented_ = nullptr;
            }
            for (const auto& c : chain) {
                c->presenting_ = nullptr;
                c->presented_ = nullptr;
                c->beingDismissed_ = false;
            }
            if (completion) {
                completion();
            }
        });
}

// MARK: - Navigation, status bar, guides, traits

Ref<UINavigationController> UIViewController::navigationController() const {
    for (auto c = parentViewController(); c; c = c->parentViewController()) {
        if (auto nav = cast<UINavigationController>(c)) {
            return nav;
        }
    }
    return nullptr;
}

NSUInteger UIViewController::supportedInterfaceOrientations() {
    return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad
               ? UIInterfaceOrientationMaskAll
               : UIInterfaceOrientationMaskAllButUpsideDown;
}

void UIViewController::setNeedsStatusBarAppearanceUpdate() {
    auto app = UIApplication::sharedApplication();
    if (!app->viewControllerBasedStatusBarAppearance()) {
        return;
    }
    Ref<UIViewController> self(this);
    app->setStatusBarHidden(unbox<bool>(send(self, "prefersStatusBarHidden")));
    app->setStatusBarStyle(static_cast<UIStatusBarStyle>(unbox<long>(send(self, "preferredStatusBarStyle"))));
}

Ref<UILayoutGuide> UIViewController::topLayoutGuide() const {
    if (!topGuide_) {
        topGuide_ = make<UILayoutGuide>(UILayoutGuide::Kind::TopLayoutSupport);
        topGuide_->setIdentifier("_UIViewControllerTopLayoutGuide"_ns);
    }
    topGuide_->setOwningView(view_);
    CGFloat length = UIApplication::sharedApplication()->statusBarFrame().size.height;
    if (auto nav = navigationController(); nav && !nav->isNavigationBarHidden()) {
        length += 44;
    }
    topGuide_->setLength(length);
    return topGuide_;
}

Ref<UILayoutGuide> UIViewController::bottomLayoutGuide() const {
    if (!bottomGuide_) {
        bottomGuide_ = make<UILayoutGuide>(UILayoutGuide::Kind::BottomLayoutSupport);
        bottomGuide_->setIdentifier("_UIViewControllerBottomLayoutGuide"_ns);
    }
    bottomGuide_->setOwningView(view_);
    return bottomGuide_;
}

Ref<UITraitCollection> UIViewController::traitCollection() const {
    return UITraitCollection::currentDeviceTraits();
}

Ref<UIViewControllerPreviewing>
UIViewController::registerForPreviewingWithDelegateSourceView(const id& delegate, const Ref<UIView>& sourceView) {
    if (!delegate || !sourceView) {
        NSException::raise(NSInvalidArgumentException, "previewing needs a delegate and a source view");
    }
    auto context = make<UIViewControllerPreviewing>(delegate, sourceView);
    context->attach();
    previewing_.push_back(context);
    return context;
}

void UIViewController::unregisterForPreviewingWithContext(const Ref<UIViewControllerPreviewing>& context) {
    if (context) {
        context->invalidate();
    }
    std::erase(previewing_, context);
}

Ref<UIResponder> UIViewController::nextResponder() const {
    if (view_) {
        if (auto superview = view_->superview()) {
            return superview;
        }
    }
    if (auto parent = parentViewController()) {
        return parent;
    }
    return presentingViewController();
}

Ref<NSString> UIViewController::description() const {
    return NSString::stringWithFormat("<%s: %p>", getClass()->name(), static_cast<const void*>(this));
}
