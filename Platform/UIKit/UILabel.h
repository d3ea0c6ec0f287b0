// UILabel: a view that shows text, measured and drawn through pango (UIKitText.h). Its size follows
// the text: one line (truncated by the line break mode when it does not fit), or, with
// numberOfLines 0 or above 1, wrapped to the preferred maximum width or else to the width its
// layout gives it; a change of that width asks Auto Layout to measure it again. The text is drawn
// centred vertically in the bounds.
#pragma once

#include <Foundation/NSAttributedString.h>
#include <UIKit/NSText.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIView.h>

enum UIBaselineAdjustment : NSInteger {
    UIBaselineAdjustmentAlignBaselines = 0,
    UIBaselineAdjustmentAlignCenters = 1,
    UIBaselineAdjustmentNone = 2,
};

class UILabel : public UIView {
    NS_OBJECT(UILabel, UIView)
public:
    UILabel();
    explicit UILabel(CGRect frame);

    Ref<NSString> text() const { return text_; }
    void setText(const Ref<NSString>& text);
    // Attributed text: setting it sets `text` to its string, and the label measures and draws its
    // runs (attributes a run lacks take the label's font and colour; a paragraph style at the start
    // sets the alignment and line spacing). Setting `text` drops it.
    Ref<NSAttributedString> attributedText() const;
    void setAttributedText(const Ref<NSAttributedString>& text);
    Ref<UIFont> font() const { return font_; }
    void setFont(const Ref<UIFont>& font);
    Ref<UIColor> textColor() const { return textColor_; }
    void setTextColor(const Ref<UIColor>& color);
    Ref<UIColor> highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(const Ref<UIColor>& color) { highlightedTextColor_ = color; }
    NSTextAlignment textAlignment() const noexcept { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    NSInteger numberOfLines() const noexcept { return numberOfLines_; }
    void setNumberOfLines(NSInteger lines);
    NSLineBreakMode lineBreakMode() const noexcept { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode mode) { lineBreakMode_ = mode; }
    bool adjustsFontSizeToFitWidth() const noexcept { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSize_ = adjusts; }
    UIBaselineAdjustment baselineAdjustment() const noexcept { return baselineAdjustment_; }
    void setBaselineAdjustment(UIBaselineAdjustment adjustment) { baselineAdjustment_ = adjustment; }
    CGFloat minimumScaleFactor() const noexcept { return minimumScaleFactor_; }
    void setMinimumScaleFactor(CGFloat factor) { minimumScaleFactor_ = factor; }
    bool isEnabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isHighlighted() const noexcept { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    CGFloat preferredMaxLayoutWidth() const noexcept { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(CGFloat width) { preferredMaxLayoutWidth_ = width; }

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    // The rectangle the text occupies within `bounds`, for at most `lines` lines (0: any number).
    virtual CGRect textRectForBoundsLimitedToNumberOfLines(CGRect bounds, NSInteger lines) const;
    virtual void drawTextInRect(CGRect rect);
    Ref<NSString> description() const override;

protected:
    void boundsSizeDidChange(CGSize oldSize) override;

private:
    void textDidChange();
    Ref<NSString> text_;
    Ref<NSAttributedString> attributedText_;
    Ref<UIFont> font_;
    Ref<UIColor> textColor_;
    Ref<UIColor> highlightedTextColor_;
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    NSInteger numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakByTruncatingTail;
    bool adjustsFontSize_ = false;
    CGFloat minimumScaleFactor_ = 0;
    UIBaselineAdjustment baselineAdjustment_ = UIBaselineAdjustmentAlignBaselines;
    bool enabled_ = true;
    bool highlighted_ = false;
    CGFloat preferredMaxLayoutWidth_ = 0;
};
