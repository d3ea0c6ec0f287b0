// UIViewControllerPreviewing: a registration of a controller for 3D Touch peeks on a source view.
// A firm press on the source view asks the delegate (UIViewControllerPreviewingDelegate) for a
// preview controller (previewingContext:viewControllerForLocation:); a firmer one commits it
// (previewingContext:commitViewController:). The test driver plays the presses.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSString.h>

class UIView;
class UIGestureRecognizer;

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

private:
    Weak<NSObject> delegate_;
    Weak<UIView> sourceView_;
    CGRect sourceRect_{};
    Ref<UIGestureRecognizer> recognizer_;
};
