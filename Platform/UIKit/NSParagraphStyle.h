// NSParagraphStyle: the paragraph settings of drawn text (NSParagraphStyleAttributeName).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/NSText.h>

class NSParagraphStyle : public NSObject {
    NS_OBJECT(NSParagraphStyle, NSObject)
public:
    NSParagraphStyle() = default;
    static Ref<NSParagraphStyle> defaultParagraphStyle();

    NSTextAlignment alignment() const noexcept { return alignment_; }
    NSLineBreakMode lineBreakMode() const noexcept { return lineBreakMode_; }
    CGFloat lineSpacing() const noexcept { return lineSpacing_; }
    id copy() const override;
    id mutableCopy() const override;

protected:
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode_ = NSLineBreakByWordWrapping;
    CGFloat lineSpacing_ = 0;
};

class NSMutableParagraphStyle : public NSParagraphStyle {
    NS_OBJECT(NSMutableParagraphStyle, NSParagraphStyle)
public:
    NSMutableParagraphStyle() = default;
    void setAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    void setLineBreakMode(NSLineBreakMode mode) { lineBreakMode_ = mode; }
    void setLineSpacing(CGFloat spacing) { lineSpacing_ = spacing; }
};
