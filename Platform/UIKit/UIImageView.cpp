#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImageView.h>

NS_IMPLEMENT_CLASS(UIImageView, UIView) {
    b.property("image", &UIImageView::image, &UIImageView::setImage);
    b.property("highlightedImage", &UIImageView::highlightedImage, &UIImageView::setHighlightedImage);
    b.property("highlighted", &UIImageView::isHighlighted, &UIImageView::setHighlighted);
    b.method("startAnimating", &UIImageView::startAnimating);
    b.method("stopAnimating", &UIImageView::stopAnimating);
    b.method("isAnimating", &UIImageView::isAnimating);
}

UIImageView::UIImageView() : UIImageView(CGRectZero) {}

UIImageView::UIImageView(CGRect frame) : UIView(frame) {
    setUserInteractionEnabled(false);
}

UIImageView::UIImageView(const Ref<UIImage>& image)
    : UIImageView(image ? CGRectMake(0, 0, image->size().width, image->size().height) : CGRectZero) {
    image_ = image;
}

void UIImageView::setImage(const Ref<UIImage>& image) {
    changeValueForKey("image", [&] { image_ = image; });
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

CGSize UIImageView::intrinsicContentSize() const {
    if (!image_) {
        return CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric);
    }
    return image_->size();
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSizeZero;
}
