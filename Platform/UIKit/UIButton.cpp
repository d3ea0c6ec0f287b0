#include <Runtime/ClassBuilder.h>
#include <UIKit/UIButton.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(UIButton, UIControl) {
    b.readonlyProperty("buttonType", &UIButton::buttonType);
    b.readonlyProperty("currentTitle", &UIButton::currentTitle);
    b.method("titleLabel", &UIButton::titleLabel);
    b.method("imageView", &UIButton::imageView);
    b.method("setTitle:forState:", &UIButton::setTitleForState);
    b.method("titleForState:", &UIButton::titleForState);
    b.method("setTitleColor:forState:", &UIButton::setTitleColorForState);
    b.method("setImage:forState:", &UIButton::setImageForState);
    b.classMethod("buttonWithType:",
                  [](long type) { return UIButton::buttonWithType(static_cast<UIButtonType>(type)); });
}

UIButton::UIButton() : UIButton(UIButtonTypeCustom, CGRectZero) {}

UIButton::UIButton(CGRect frame) : UIButton(UIButtonTypeCustom, frame) {}

UIButton::UIButton(UIButtonType type, CGRect frame) : UIControl(frame), type_(type) {
    if (type == UIButtonTypeSystem) {
        titleColors_[UIControlStateNormal] = UIColor::colorWithRedGreenBlueAlpha(0, 122.0 / 255.0, 1, 1);
        titleColors_[UIControlStateDisabled] = UIColor::colorWithWhiteAlpha(0.5, 1);
    } else {
        titleColors_[UIControlStateNormal] = UIColor::whiteColor();
    }
}

Ref<UIButton> UIButton::buttonWithType(UIButtonType type) {
    return make<UIButton>(type, CGRectZero);
}

template <class T>
Ref<T> UIButton::lookup(const std::map<UIControlState, Ref<T>>& map, UIControlState state) {
    if (auto it = map.find(state); it != map.end() && it->second) {
        return it->second;
    }
    for (UIControlState s : {UIControlStateDisabled, UIControlStateSelected, UIControlStateHighlighted}) {
        if (state & s) {
            if (auto it = map.find(s); it != map.end() && it->second) {
                return it->second;
            }
        }
    }
    if (auto it = map.find(UIControlStateNormal); it != map.end()) {
        return it->second;
    }
    return nullptr;
}

void UIButton::setTitleForState(const Ref<NSString>& title, UIControlState state) {
    titles_[state] = title ? cast<NSString>(title->copy()) : nullptr;
    refresh();
}

Ref<NSString> UIButton::titleForState(UIControlState state) const {
    return lookup(titles_, state);
}

void UIButton::setTitleColorForState(const Ref<UIColor>& color, UIControlState state) {
    titleColors_[state] = color;
    refresh();
}

Ref<UIColor> UIButton::titleColorForState(UIControlState state) const {
    return lookup(titleColors_, state);
}

void UIButton::setImageForState(const Ref<UIImage>& image, UIControlState state) {
    images_[state] = image;
    refresh();
}

Ref<UIImage> UIButton::imageForState(UIControlState state) const {
    return lookup(images_, state);
}

void UIButton::setBackgroundImageForState(const Ref<UIImage>& image, UIControlState state) {
    backgrounds_[state] = image;
    refresh();
}

Ref<UIImage> UIButton::backgroundImageForState(UIControlState state) const {
    return lookup(backgrounds_, state);
}

Ref<UILabel> UIButton::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = make<UILabel>();
        titleLabel_->setFont(UIFont::systemFontOfSize(type_ == UIButtonTypeSystem ? 15 : 18));
        titleLabel_->setTextAlignment(NSTextAlignmentCenter);
        titleLabel_->setTextColor(currentTitleColor());
        titleLabel_->setText(currentTitle());
        addSubview(titleLabel_);
        setNeedsLayout();
    }
    return titleLabel_;
}

Ref<UIImageView> UIButton::imageView() {
    if (!imageView_) {
        imageView_ = make<UIImageView>();
        imageView_->setImage(currentImage());
        insertSubviewAtIndex(imageView_, 0);
        setNeedsLayout();
    }
    return imageView_;
}

void UIButton::setContentEdgeInsets(UIEdgeInsets insets) {
    contentEdgeInsets_ = insets;
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

void UIButton::setTitleEdgeInsets(UIEdgeInsets insets) {
    titleEdgeInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setImageEdgeInsets(UIEdgeInsets insets) {
    imageEdgeInsets_ = insets;
    setNeedsLayout();
}

void UIButton::stateDidChange() {
    refresh();
}

void UIButton::refresh() {
    auto title = currentTitle();
    if (title || titleLabel_) {
        auto label = titleLabel();
        label->setText(title);
        label->setTextColor(currentTitleColor());
    }
    auto image = currentImage();
    if (image || imageView_) {
        imageView()->setImage(image);
    }
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

CGSize UIButton::sizeThatFits(CGSize) const {
    auto title = currentTitle();
    auto image = currentImage();
    CGSize t = title && titleLabel_ ? titleLabel_->sizeThatFits(CGSizeZero) : CGSizeZero;
    CGSize i = image ? image->size() : CGSizeZero;
    auto bg = currentBackgroundImage();
    CGFloat w = t.width + i.width + contentEdgeInsets_.left + contentEdgeInsets_.right;
    CGFloat h = std::max(t.height, i.height) + contentEdgeInsets_.top + contentEdgeInsets_.bottom;
    if (bg) {
        w = std::max(w, bg->size().width);
        h = std::max(h, bg->size().height);
    }
    if (type_ == UIButtonTypeSystem) {
        h = std::max(h, 30.0);
    }
    return CGSizeMake(std::ceil(w), std::ceil(h));
}

CGSize UIButton::intrinsicContentSize() const {
    return sizeThatFits(CGSizeZero);
}

namespace {

// Edge insets take their room from the slot of the image or the title: it is centred in what is
// left and keeps its own size (cut only to a smaller height), so an inset moves it by half its
// size rather than squeezing it.
CGRect placeInSlot(CGRect slot, CGSize size, UIEdgeInsets insets) {
    CGRect room = UIEdgeInsetsInsetRect(slot, insets);
    CGFloat height = std::min(size.height, std::max(0.0, room.size.height));
    return CGRectMake(room.origin.x + (room.size.width - size.width) / 2,
                      room.origin.y + (room.size.height - height) / 2, size.width, height);
}

} // namespace

void UIButton::layoutSubviews() {
    CGRect content = UIEdgeInsetsInsetRect(bounds(), contentEdgeInsets_);
    CGSize i = imageView_ && imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    CGSize t = titleLabel_ ? titleLabel_->sizeThatFits(CGSizeZero) : CGSizeZero;
    t.width = std::min(t.width, std::max(0.0, content.size.width - i.width));
    CGFloat total = i.width + t.width;
    CGFloat x = content.origin.x + (content.size.width - total) / 2;
    if (imageView_) {
        imageView_->setFrame(
            placeInSlot(CGRectMake(x, content.origin.y, i.width, content.size.height), i, imageEdgeInsets_));
    }
    if (titleLabel_) {
        titleLabel_->setFrame(
            placeInSlot(CGRectMake(x + i.width, content.origin.y, t.width, content.size.height), t, titleEdgeInsets_));
    }
}

Ref<NSString> UIButton::description() const {
    CGRect f = frame();
    auto title = currentTitle();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g); title = '%@'>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, title ? title : NSString::string());
}
