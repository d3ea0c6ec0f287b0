// UIViewControllerPreviewing and the force recognizer that plays peek and pop on its source view.
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIViewControllerPreviewing.h>

// Follows the first touch on the source view: peeks at the peek force, pops at the pop force.
class UIPreviewingForceRecognizer : public UIGestureRecognizer {
    NS_OBJECT(UIPreviewingForceRecognizer, UIGestureRecognizer)
public:
    UIPreviewingForceRecognizer() = default;
    void setContext(const Ref<UIViewControllerPreviewing>& context) { context_ = context; }

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override {
        UIGestureRecognizer::touchesBeganWithEvent(touches, event);
        if (!tracked_) {
            auto all = touches->allObjects();
            for (const id& t : *all) {
                tracked_ = cast<UITouch>(t);
                break;
            }
        }
        follow();
    }
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override {
        UIGestureRecognizer::touchesMovedWithEvent(touches, event);
        follow();
    }
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override {
        UIGestureRecognizer::touchesEndedWithEvent(touches, event);
        lift(touches);
    }
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override {
        UIGestureRecognizer::touchesCancelledWithEvent(touches, event);
        lift(touches);
    }
    void reset() override {
        UIGestureRecognizer::reset();
        tracked_ = nullptr;
        preview_ = nullptr;
    }

private:
    void follow() {
        auto context = context_.lock();
        if (!context || !tracked_) {
            return;
        }
        double maximum = tracked_->maximumPossibleForce();
        double force = tracked_->force();
        if (!(maximum > 0) || !(force > 0)) {
            return;
        }
        auto s = state();
        if (s == UIGestureRecognizerStatePossible && force >= UIPreviewingPeekForceFraction * maximum) {
            CGPoint at = tracked_->locationInView(context->sourceView());
            id answer;
            uikit_detail::sendIfResponds(context->delegate(), "previewingContext:viewControllerForLocation:",
                                         {context, NSValue::valueWithValue(at)}, &answer);
            preview_ = cast<UIViewController>(answer);
            if (preview_) {
                preview_->view(); // the system shows the preview
            }
            setState(preview_ ? UIGestureRecognizerStateBegan : UIGestureRecognizerStateFailed);
            s = state();
        }
        if ((s == UIGestureRecognizerStateBegan || s == UIGestureRecognizerStateChanged) && preview_ &&
            force >= UIPreviewingPopForceFraction * maximum) {
            auto preview = preview_;
            preview_ = nullptr;
            setState(UIGestureRecognizerStateEnded);
            uikit_detail::sendIfResponds(context->delegate(),
                                         "previewingContext:commitViewController:", {context, preview});
        }
    }
    void lift(const Ref<NSSet>& touches) {
        if (!tracked_ || !touches->containsObject(tracked_)) {
            return;
        }
        auto s = state();
        if (s == UIGestureRecognizerStateBegan || s == UIGestureRecognizerStateChanged) {
            setState(UIGestureRecognizerStateCancelled); // the peek is dropped
        } else if (s == UIGestureRecognizerStatePossible) {
            setState(UIGestureRecognizerStateFailed);
        }
        preview_ = nullptr;
    }

    Weak<UIViewControllerPreviewing> context_;
    Ref<UITouch> tracked_;
    Ref<UIViewController> preview_;
};

NS_IMPLEMENT_CLASS(UIPreviewingForceRecognizer, UIGestureRecognizer) {}

NS_IMPLEMENT_CLASS(UIViewControllerPreviewing, NSObject) {
    b.readonlyProperty("sourceView", &UIViewControllerPreviewing::sourceView);
    b.property("sourceRect", &UIViewControllerPreviewing::sourceRect, &UIViewControllerPreviewing::setSourceRect);
}

UIViewControllerPreviewing::UIViewControllerPreviewing(const id& delegate, const Ref<UIView>& sourceView)
    : delegate_(delegate), sourceView_(sourceView), recognizer_(make<UIPreviewingForceRecognizer>()) {
    if (sourceView) {
        sourceRect_ = sourceView->bounds();
    }
}

void UIViewControllerPreviewing::attach() {
    auto recognizer = cast<UIPreviewingForceRecognizer>(recognizer_);
    auto view = sourceView();
    if (!recognizer || !view) {
        return;
    }
    recognizer->setContext(Ref<UIViewControllerPreviewing>(this));
    view->addGestureRecognizer(recognizer);
}

UIViewControllerPreviewing::UIViewControllerPreviewing() = default;
UIViewControllerPreviewing::~UIViewControllerPreviewing() = default;

Ref<UIGestureRecognizer> UIViewControllerPreviewing::previewingGestureRecognizerForFailureRelationship() const {
    return recognizer_;
}

Ref<UIView> UIViewControllerPreviewing::sourceView() const {
    return sourceView_.lock();
}

void UIViewControllerPreviewing::invalidate() {
    if (auto view = sourceView(); view && recognizer_) {
        view->removeGestureRecognizer(recognizer_);
    }
}
