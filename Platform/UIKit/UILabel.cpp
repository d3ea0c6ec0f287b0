#include <Runtime/ClassBuilder.h>
#include <UIKit/UILabel.h>

NS_IMPLEMENT_CLASS(UILabel, UIView) {
    b.property("text", &UILabel::text, &UILabel::setText);
    b.property("font", &UILabel::font, &UILabel::setFont);
    b.property("textColor", &UILabel::textColor, &UILabel::setTextColor);
    b.property("textAlignment", &UILabel::textAlignment, &UILabel::setTextAlignment);
    b.property("numberOfLines", &UILabel::numberOfLines, &UILabel::setNumberOfLines);
    b.property("enabled", &UILabel::isEnabled, &UILabel::setEnabled);
}

UILabel::UILabel() : UILabel(CGRectZero) {}

UILabel::UILabel(CGRect frame) : UIView(frame), font_(UIFont::systemFontOfSize(17)), textColor_(UIColor::blackColor()) {
    setUserInteractionEnabled(false);
}

void UILabel::textDidChange() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void UILabel::setText(const Ref<NSString>& text) {
    changeValueForKey("text", [&] { text_ = text ? cast<NSString>(text->copy()) : nullptr; });
    textDidChange();
}

void UILabel::setFont(const Ref<UIFont>& font) {
    changeValueForKey("font", [&] { font_ = font ? font : UIFont::systemFontOfSize(17); });
    textDidChange();
}

void UILabel::setTextColor(const Ref<UIColor>& color) {
    changeValueForKey("textColor", [&] { textColor_ = color ? color : UIColor::blackColor(); });
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    changeValueForKey("textAlignment", [&] { alignment_ = alignment; });
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(NSInteger lines) {
    changeValueForKey("numberOfLines", [&] { numberOfLines_ = lines; });
    textDidChange();
}

CGSize UILabel::sizeThatFits(CGSize size) const {
    CGFloat width = numberOfLines_ == 1 ? 0 : (preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_ : size.width);
    CGSize s = font_->sizeOfText(text_, width);
    if (numberOfLines_ > 0) {
        s.height = std::min(s.height, std::ceil(font_->lineHeight() * static_cast<double>(numberOfLines_)));
    }
    return s;
}

CGSize UILabel::intrinsicContentSize() const {
    return sizeThatFits(CGSizeMake(preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_ : bounds().size.width, 0));
}

Ref<NSString> UILabel::description() const {
    CGRect f = frame();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g); text = '%@'>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, text_ ? text_ : NSString::string());
}
