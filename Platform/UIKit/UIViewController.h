// UIViewController: manages one screen's view and its place among other controllers: child
// containment, modal presentation, and the appearance callbacks that tell a screen it is coming or
// going.
//
// Every callback the platform makes on a controller (loadView, viewDidLoad, the appearance and
// layout callbacks, willMoveToParentViewController:, didMoveToParentViewController:,
// didReceiveMemoryWarning) is sent by selector, so invocation observers see it; subclasses override
// the virtual members. Appearance follows one order everywhere: the leaving screen's will, the
// arriving screen's will, the leaving screen's did, the arriving screen's did. A controller appears
// when its view enters a visible window and disappears when it leaves it, unless a transition
// (navigation, presentation, child transition) tells it explicitly; the callbacks are forwarded to
// the children whose views lie in its view.
#pragma once

#include <UIKit/UIResponder.h>
#include <UIKit/UIView.h>

#include <functional>
#include <vector>

class UINavigationController;
class UILayoutGuide;
class UITraitCollection;
class UIViewControllerPreviewing;

enum UIModalPresentationStyle : NSInteger {
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet = 1,
    UIModalPresentationFormSheet = 2,
    UIModalPresentationCurrentContext = 3,
    UIModalPresentationCustom = 4,
    UIModalPresentationOverFullScreen = 5,
    UIModalPresentationOverCurrentContext = 6,
    UIModalPresentationPopover = 7,
    UIModalPresentationNone = -1,
};

enum UIModalTransitionStyle : NSInteger {
    UIModalTransitionStyleCoverVertical = 0,
    UIModalTransitionStyleFlipHorizontal = 1,
    UIModalTransitionStyleCrossDissolve = 2,
    UIModalTransitionStylePartialCurl = 3,
};

using UIRectEdge = NSUInteger;
inline constexpr UIRectEdge UIRectEdgeNone = 0;
inline constexpr UIRectEdge UIRectEdgeAll = 15;

// Durations of the platform's transitions.
inline constexpr double UINavigationTransitionDuration = 0.35;
inline constexpr double UIModalTransitionDuration = 0.4;

class UIViewController : public UIResponder {
    NS_OBJECT(UIViewController, UIResponder)
public:
    // `init`: the view comes from the nib named after the class when one is registered, else
    // loadView makes a plain view the size of the screen.
    UIViewController();
    // `initWithNibName:bundle:`.
    UIViewController(const Ref<NSString>& nibName, const id& bundle);
    ~UIViewController() override;

    // The view, loaded on first use (loadView, then viewDidLoad, both by selector).
    Ref<UIView> view();
    Ref<UIView> viewIfLoaded() const { return view_; }
    bool isViewLoaded() const noexcept { return static_cast<bool>(view_); }
    void setView(const Ref<UIView>& view);
    void loadViewIfNeeded();
    Ref<NSString> nibName() const { return nibName_; }

    NS_PROPERTY(Ref<NSString>, title, setTitle)

    // Callbacks (sent by selector; see the header comment).
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) {}
    virtual void viewDidAppear(bool animated) {}
    virtual void viewWillDisappear(bool animated) {}
    virtual void viewDidDisappear(bool animated) {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    virtual void updateViewConstraints();
    virtual void didReceiveMemoryWarning() {}
    virtual void awakeFromNib() {}
    virtual void willMoveToParentViewController(const Ref<UIViewController>& parent) {}
    virtual void didMoveToParentViewController(const Ref<UIViewController>& parent) {}

    // Containment.
    Ref<UIViewController> parentViewController() const { return parent_.lock(); }
    Ref<NSArray> childViewControllers() const;
    const std::vector<Ref<UIViewController>>& childViewControllerList() const noexcept { return children_; }
    // Sends willMoveToParentViewController: with this controller.
    void addChildViewController(const Ref<UIViewController>& child);
    // Sends didMoveToParentViewController: nil.
    void removeFromParentViewController();
    // Replaces one child's view by another's: the new view is added beside the old one, the
    // animations run on the clock for `duration`, then the old view is removed and `completion`
    // runs. Both must be children of this controller (NSInvalidArgumentException otherwise).
    void transitionFromViewControllerToViewControllerDurationOptionsAnimationsCompletion(
        const Ref<UIViewController>& from, const Ref<UIViewController>& to, double duration,
        UIViewAnimationOptions options, UIView::Animations animations, UIView::Completion completion);
    virtual bool shouldAutomaticallyForwardAppearanceMethods() const { return true; }
    // Explicit appearance transitions (used by containers).
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    bool isBeingPresented() const noexcept { return beingPresented_; }
    bool isBeingDismissed() const noexcept { return beingDismissed_; }
    bool isMovingToParentViewController() const noexcept { return movingTo_; }
    bool isMovingFromParentViewController() const noexcept { return movingFrom_; }
    // Whether the view is on screen now (viewDidAppear: has run and viewWillDisappear: has not).
    bool isVisible() const noexcept { return appearance_ == Appearance::Appeared; }

    // Modal presentation. Presenting from a controller that already presents, or whose view is in
    // no window, does nothing but log, as on the platform.
    void presentViewControllerAnimatedCompletion(const Ref<UIViewController>& controller, bool animated,
                                                 std::function<void()> completion = nullptr);
    // Dismisses the controller this one presents (with everything above it), or this one when it
    // was presented.
    void dismissViewControllerAnimatedCompletion(bool animated, std::function<void()> completion = nullptr);
    Ref<UIViewController> presentedViewController() const { return presented_; }
    Ref<UIViewController> presentingViewController() const;
    UIModalPresentationStyle modalPresentationStyle() const noexcept { return presentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { presentationStyle_ = style; }
    UIModalTransitionStyle modalTransitionStyle() const noexcept { return transitionStyle_; }
    void setModalTransitionStyle(UIModalTransitionStyle style) { transitionStyle_ = style; }
    bool definesPresentationContext() const noexcept { return definesPresentationContext_; }
    void setDefinesPresentationContext(bool defines) { definesPresentationContext_ = defines; }

    Ref<UINavigationController> navigationController() const;

    // Status bar and orientation preferences (asked by selector).
    virtual bool prefersStatusBarHidden() { return false; }
    virtual NSInteger preferredStatusBarStyle() { return 0; }
    virtual bool prefersHomeIndicatorAutoHidden() { return false; }
    virtual bool shouldAutorotate() { return true; }
    virtual NSUInteger supportedInterfaceOrientations();
    void setNeedsStatusBarAppearanceUpdate();

    Ref<UILayoutGuide> topLayoutGuide() const;
    Ref<UILayoutGuide> bottomLayoutGuide() const;
    UIRectEdge edgesForExtendedLayout() const noexcept { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(UIRectEdge edges) { edgesForExtendedLayout_ = edges; }
    bool automaticallyAdjustsScrollViewInsets() const noexcept { return adjustsScrollViewInsets_; }
    void setAutomaticallyAdjustsScrollViewInsets(bool adjusts) { adjustsScrollViewInsets_ = adjusts; }
    CGSize preferredContentSize() const noexcept { return preferredContentSize_; }
    void setPreferredContentSize(CGSize size) { preferredContentSize_ = size; }
    Ref<UITraitCollection> traitCollection() const;

    // 3D Touch previewing: registers `delegate` (held weakly) for peeks on `sourceView`.
    Ref<UIViewControllerPreviewing> registerForPreviewingWithDelegateSourceView(const id& delegate,
                                                                                const Ref<UIView>& sourceView);
    void unregisterForPreviewingWithContext(const Ref<UIViewControllerPreviewing>& context);
    const std::vector<Ref<UIViewControllerPreviewing>>& previewingContexts() const noexcept { return previewing_; }

    Ref<UIResponder> nextResponder() const override;
    Ref<NSString> description() const override;

protected:
    // Ends a transition that this container runs now, at once (for containers).
    void completeRunningTransition();
    // Runs a container transition: `animations` inside an animation of `duration` when animated,
    // then `finish`. A transition that another one interrupts is finished first.
    void runTransition(bool animated, double duration, std::function<void()> animations, std::function<void()> finish);

private:
    // The platform's own calls: views and windows tell the controller of window changes, and the
    // class's registration ends a move between parents.
    friend class UIView;
    friend class UIWindow;
    friend struct UIViewControllerRegistration;
    // The view entered or left a window, or its window was shown or hidden.
    void viewDidChangeWindow();
    // Clears the moving-to/from-parent flags once didMoveToParentViewController: ran.
    void finishMovingBetweenParents() { movingTo_ = movingFrom_ = false; }

    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    void forwardAppearance(bool begin, bool isAppearing, bool animated);
    bool isOnScreen() const;
    Ref<UIViewController> presentationRoot() const;
    void finishPresentation(bool fullScreen, const Ref<UIViewController>& presenter, std::function<void()> completion);

    Ref<NSString> nibName_;
    Ref<UIView> view_;
    bool loadingView_ = false;
    Weak<UIViewController> parent_;
    std::vector<Ref<UIViewController>> children_;
    Ref<UIViewController> presented_;
    Weak<UIViewController> presenting_;
    Weak<UIView> presenterSuperview_;
    size_t presenterIndex_ = 0;
    Appearance appearance_ = Appearance::Disappeared;
    bool appearanceAnimated_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool movingTo_ = false;
    bool movingFrom_ = false;
    bool definesPresentationContext_ = false;
    bool adjustsScrollViewInsets_ = true;
    UIModalPresentationStyle presentationStyle_ = UIModalPresentationFullScreen;
    UIModalTransitionStyle transitionStyle_ = UIModalTransitionStyleCoverVertical;
    UIRectEdge edgesForExtendedLayout_ = UIRectEdgeAll;
    CGSize preferredContentSize_{};
    mutable Ref<UILayoutGuide> topGuide_;
    mutable Ref<UILayoutGuide> bottomGuide_;
    std::vector<Ref<UIViewControllerPreviewing>> previewing_;
    std::function<void()> pendingFinish_;
    uint64_t transitionSerial_ = 0;
};
