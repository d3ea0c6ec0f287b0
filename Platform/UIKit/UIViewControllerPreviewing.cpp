#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewControllerPreviewing.h>

NS_IMPLEMENT_CLASS(UIViewControllerPreviewing, NSObject) {
    b.readonlyProperty("sourceView", &UIViewControllerPreviewing::sourceView);
    b.property("sourceRect", &UIViewControllerPreviewing::sourceRect, &UIViewControllerPreviewing::setSourceRect);
}

UIViewControllerPreviewing::UIViewControllerPreviewing(const id& delegate, const Ref<UIView>& sourceView)
    : delegate_(delegate), sourceView_(sourceView), recognizer_(make<UIGestureRecognizer>()) {
    if (sourceView) {
        sourceRect_ = sourceView->bounds();
    }
}

UIViewControllerPreviewing::UIViewControllerPreviewing() = default;
UIViewControllerPreviewing::~UIViewControllerPreviewing() = default;

Ref<UIGestureRecognizer> UIViewControllerPreviewing::previewingGestureRecognizerForFailureRelationship() const {
    return recognizer_;
}

Ref<UIView> UIViewControllerPreviewing::sourceView() const {
    return sourceView_.lock();
}
