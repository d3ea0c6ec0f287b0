#include <Runtime/ClassBuilder.h>
#include <UIKit/NSAttributedString+NSStringDrawing.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKitText.h>
#include <UIKit/UILabel.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(UILabel, UIView) {
    b.property("text", &UILabel::text, &UILabel::setText);
    b.property("attributedText", &UILabel::attributedText, &UILabel::setAttributedText);
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
    attributedText_ = nullptr;
    textDidChange();
}

Ref<NSAttributedString> UILabel::attributedText() const {
    if (attributedText_ || !text_) {
        return attributedText_;
    }
    return NSAttributedString::attributedStringWithStringAttributes(
        text_, NSDictionary::dictionaryWithEntries(
                   {{NSFontAttributeName(), font_}, {NSForegroundColorAttributeName(), textColor_}}));
}

void UILabel::setAttributedText(const Ref<NSAttributedString>& text) {
    changeValueForKey("text", [&] { text_ = text ? text->string() : nullptr; });
    attributedText_ = text ? cast<NSAttributedString>(text->copy()) : nullptr;
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

namespace {
// A paragraph style at the start of attributed text sets the alignment and the line spacing.
void applyStyle(uikit_text::Paragraph& p, const Ref<NSAttributedString>& text) {
    if (text) {
        auto style = uikit_text::paragraphOf(*text, p);
        p.alignment = style.alignment;
        p.lineSpacing = style.lineSpacing;
    }
}

std::vector<uikit_text::Run> runsFor(const Ref<NSAttributedString>& text, const Ref<UIFont>& font,
                                     const Ref<UIColor>& colour) {
    return text ? uikit_text::runsOf(*text, font, colour) : std::vector<uikit_text::Run>{};
}

uikit_text::Paragraph paragraphFor(NSTextAlignment alignment, NSLineBreakMode mode, NSInteger lines, CGFloat width) {
    uikit_text::Paragraph p;
    p.alignment = alignment;
    p.lineBreakMode = mode;
    p.maximumLines = lines;
    p.width = width > 0 && std::isfinite(width) ? width : 0;
    if (lines != 1 && (mode != NSLineBreakByWordWrapping && mode != NSLineBreakByCharWrapping)) {
        // Several lines wrap at words; the mode only truncates the last one.
        p.lineBreakMode = NSLineBreakByWordWrapping;
    }
    return p;
}
} // namespace

CGSize UILabel::sizeThatFits(CGSize size) const {
    CGFloat width = numberOfLines_ == 1 ? 0 : (preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_ : size.width);
    auto p = paragraphFor(alignment_, lineBreakMode_, numberOfLines_, width);
    if (numberOfLines_ == 1) {
        p.lineBreakMode = NSLineBreakByClipping;
    }
    applyStyle(p, attributedText_);
    return uikit_text::measure(text_, font_, p, runsFor(attributedText_, font_, textColor_)).size;
}

CGSize UILabel::intrinsicContentSize() const {
    return sizeThatFits(CGSizeMake(preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_ : bounds().size.width, 0));
}

void UILabel::boundsSizeDidChange(CGSize oldSize) {
    UIView::boundsSizeDidChange(oldSize);
    if (numberOfLines_ != 1 && preferredMaxLayoutWidth_ <= 0 && oldSize.width != bounds().size.width && text_ &&
        text_->length()) {
        invalidateIntrinsicContentSize();
    }
    setNeedsDisplay();
}

CGRect UILabel::textRectForBoundsLimitedToNumberOfLines(CGRect bounds, NSInteger lines) const {
    auto p = paragraphFor(alignment_, lineBreakMode_, lines, bounds.size.width);
    p.height = bounds.size.height;
    applyStyle(p, attributedText_);
    CGSize s = uikit_text::measure(text_, font_, p, runsFor(attributedText_, font_, textColor_)).size;
    return CGRectMake(bounds.origin.x, bounds.origin.y, std::min(s.width, bounds.size.width), s.height);
}

void UILabel::drawTextInRect(CGRect rect) {
    if (!text_ || text_->length() == 0) {
        return;
    }
    Ref<UIColor> colour = highlighted_ && highlightedTextColor_ ? highlightedTextColor_ : textColor_;
    if (!enabled_) {
        colour = colour->colorWithAlphaComponent(colour->alpha() * 0.45);
    }
    Ref<UIFont> font = font_;
    if (adjustsFontSize_ && numberOfLines_ == 1 && rect.size.width > 0) {
        // Shrinks the font (down to the minimum scale) until the line fits.
        CGFloat width = sizeThatFits(CGSizeZero).width;
        if (width > rect.size.width) {
            CGFloat factor = std::max(minimumScaleFactor_ > 0 ? minimumScaleFactor_ : 0.01, rect.size.width / width);
            font = font_->fontWithSize(std::floor(font_->pointSize() * std::min(1.0, factor) * 2) / 2);
        }
    }
    auto p = paragraphFor(alignment_, lineBreakMode_, numberOfLines_, rect.size.width);
    p.height = rect.size.height;
    applyStyle(p, attributedText_);
    auto runs = runsFor(attributedText_, font, colour);
    CGSize s = uikit_text::measure(text_, font, p, runs).size;
    CGFloat y = rect.origin.y + std::max(0.0, (rect.size.height - s.height) / 2);
    uikit_text::draw(UIGraphicsGetCurrentContext(), text_, font, colour->CGColor(),
                     CGRectMake(rect.origin.x, y, rect.size.width, s.height), p, runs);
}

void UILabel::drawRect(CGRect) {
    drawTextInRect(bounds());
}

Ref<NSString> UILabel::description() const {
    CGRect f = frame();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g); text = '%@'>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, text_ ? text_ : NSString::string());
}
