// UIImageView: a view that shows an image (or cycles through animation images). Like the
// platform's, it does not take touches unless user interaction is switched on.
#pragma once

#include <UIKit/UIImage.h>
#include <UIKit/UIView.h>

class UIImageView : public UIView {
    NS_OBJECT(UIImageView, UIView)
public:
    UIImageView();
    explicit UIImageView(CGRect frame);
    // `initWithImage:`: the frame takes the image's size.
    explicit UIImageView(const Ref<UIImage>& image);

    Ref<UIImage> image() const { return image_; }
    void setImage(const Ref<UIImage>& image);
    Ref<UIImage> highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(const Ref<UIImage>& image) { highlightedImage_ = image; }
    bool isHighlighted() const noexcept { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    Ref<NSArray> animationImages() const { return animationImages_; }
    void setAnimationImages(const Ref<NSArray>& images) { animationImages_ = images; }
    double animationDuration() const noexcept { return animationDuration_; }
    void setAnimationDuration(double duration) { animationDuration_ = duration; }
    NSInteger animationRepeatCount() const noexcept { return animationRepeatCount_; }
    void setAnimationRepeatCount(NSInteger count) { animationRepeatCount_ = count; }
    void startAnimating() { animating_ = animationImages_ && animationImages_->count() > 0; }
    void stopAnimating() { animating_ = false; }
    bool isAnimating() const noexcept { return animating_; }

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;

private:
    Ref<UIImage> image_;
    Ref<UIImage> highlightedImage_;
    Ref<NSArray> animationImages_;
    double animationDuration_ = 0;
    NSInteger animationRepeatCount_ = 0;
    bool highlighted_ = false;
    bool animating_ = false;
};
