// UIViewControllerPreviewing: a registration of a controller for 3D Touch peeks on a source view.
// A firm press on the source view (a touch whose force reaches UIPreviewingPeekForceFraction of its
// maximum possible force) asks the delegate (UIViewControllerPreviewingDelegate) for a preview
// controller (previewingContext:viewControllerForLocation:); pressing on to
// UIPreviewingPopForceFraction commits it (previewingContext:commitViewController:). Lifting the
// finger between the two drops the preview. A display without force sensing reports no force, so
// nothing is ever previewed there. The registration's recognizer watches the source view's touches.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSString.h>

class UIView;
class UIGestureRecognizer;

inline constexpr double UIPreviewingPeekForceFraction = 0.4;
inline constexpr double UIPreviewingPopForceFraction = 0.75;

class UIViewControllerPreviewing : public NSObject {
    NS_OBJECT(UIViewControllerPreviewing, NSObject)
public:
    UIViewControllerPreviewing();
    ~UIViewControllerPreviewing() override;
    UIViewControllerPreviewing(const id& delegate, const Ref<UIView>& sourceView);

    id delegate() const { return delegate_.lock(); }
    Ref<UIView> sourceView() const;
    CGRect sourceRect() const noexcept { return sourceRect_; }
    void setSourceRect(CGRect rect) { sourceRect_ = rect; }
    Ref<UIGestureRecognizer> previewingGestureRecognizerForFailureRelationship() const;
    // Starts watching the source view's touches (done by the registration) and stops (the
    // registration was withdrawn).
    void attach();
    void invalidate();

private:
    Weak<NSObject> delegate_;
    Weak<UIView> sourceView_;
    CGRect sourceRect_{};
    Ref<UIGestureRecognizer> recognizer_;
};
