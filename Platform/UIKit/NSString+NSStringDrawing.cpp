#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIKitText.h>

#include <algorithm>
#include <cmath>

UIKIT_STRING_CONSTANT(NSFontAttributeName)
UIKIT_STRING_CONSTANT(NSForegroundColorAttributeName)
UIKIT_STRING_CONSTANT(NSParagraphStyleAttributeName)

namespace {

Ref<UIFont> fontOf(const Ref<NSDictionary>& attributes) {
    auto font = attributes ? cast<UIFont>(attributes->objectForKey(NSFontAttributeName())) : nullptr;
    return font ? font : UIFont::systemFontOfSize(12);
}

CGColorRef colourOf(const Ref<NSDictionary>& attributes) {
    auto colour = attributes ? cast<UIColor>(attributes->objectForKey(NSForegroundColorAttributeName())) : nullptr;
    return colour ? colour->CGColor() : CGColorCreateGenericRGB(0, 0, 0, 1);
}

uikit_text::Paragraph paragraphOf(const Ref<NSDictionary>& attributes) {
    uikit_text::Paragraph p;
    auto style =
        attributes ? cast<NSParagraphStyle>(attributes->objectForKey(NSParagraphStyleAttributeName())) : nullptr;
    if (style) {
        p.alignment = style->alignment();
        p.lineBreakMode = style->lineBreakMode();
        p.lineSpacing = style->lineSpacing();
    }
    return p;
}

CGSize measureIn(const Ref<NSString>& string, const Ref<UIFont>& font, uikit_text::Paragraph p, CGSize size) {
    p.width = size.width > 0 ? size.width : 0;
    p.height = size.height > 0 ? size.height : 0;
    return uikit_text::measure(string, font, p).size;
}

} // namespace

CGSize sizeWithAttributes(const Ref<NSString>& string, const Ref<NSDictionary>& attributes) {
    auto p = paragraphOf(attributes);
    p.lineBreakMode = NSLineBreakByWordWrapping;
    return uikit_text::measure(string, fontOf(attributes), p).size;
}

CGRect boundingRectWithSizeOptionsAttributesContext(const Ref<NSString>& string, CGSize size,
                                                    NSStringDrawingOptions options, const Ref<NSDictionary>& attributes,
                                                    const id&) {
    auto font = fontOf(attributes);
    auto p = paragraphOf(attributes);
    if (!(options & NSStringDrawingUsesLineFragmentOrigin)) {
        // One line: line breaks count as spaces.
        auto flat = string ? string->stringByReplacingOccurrencesOfStringWithString("\n"_ns, " "_ns) : string;
        p.lineBreakMode = NSLineBreakByClipping;
        CGSize s = uikit_text::measure(flat, font, p).size;
        return CGRectMake(0, 0, size.width > 0 ? std::min(s.width, size.width) : s.width, font->lineHeight());
    }
    if (options & NSStringDrawingTruncatesLastVisibleLine && size.height > 0) {
        p.lineBreakMode = NSLineBreakByWordWrapping;
    }
    CGSize s = measureIn(string, font, p, size);
    return CGRectMake(0, 0, s.width, s.height);
}

CGSize sizeWithFont(const Ref<NSString>& string, const Ref<UIFont>& font) {
    return uikit_text::measure(string, font ? font : UIFont::systemFontOfSize(12), {}).size;
}

CGSize sizeWithFontConstrainedToSize(const Ref<NSString>& string, const Ref<UIFont>& font, CGSize size) {
    return sizeWithFontConstrainedToSizeLineBreakMode(string, font, size, NSLineBreakByWordWrapping);
}

CGSize sizeWithFontConstrainedToSizeLineBreakMode(const Ref<NSString>& string, const Ref<UIFont>& font, CGSize size,
                                                  NSLineBreakMode lineBreakMode) {
    uikit_text::Paragraph p;
    p.lineBreakMode = lineBreakMode;
    return measureIn(string, font ? font : UIFont::systemFontOfSize(12), p, size);
}

void drawAtPointWithAttributes(const Ref<NSString>& string, CGPoint point, const Ref<NSDictionary>& attributes) {
    auto p = paragraphOf(attributes);
    p.lineBreakMode = NSLineBreakByWordWrapping;
    p.alignment = NSTextAlignmentLeft;
    uikit_text::draw(UIGraphicsGetCurrentContext(), string, fontOf(attributes), colourOf(attributes),
                     CGRectMake(point.x, point.y, 0, 0), p);
}

void drawInRectWithAttributes(const Ref<NSString>& string, CGRect rect, const Ref<NSDictionary>& attributes) {
    drawWithRectOptionsAttributesContext(string, rect, NSStringDrawingUsesLineFragmentOrigin, attributes, nullptr);
}

void drawWithRectOptionsAttributesContext(const Ref<NSString>& string, CGRect rect, NSStringDrawingOptions options,
                                          const Ref<NSDictionary>& attributes, const id&) {
    rect = CGRectStandardize(rect);
    auto p = paragraphOf(attributes);
    if (options & NSStringDrawingUsesLineFragmentOrigin) {
        p.width = rect.size.width > 0 ? rect.size.width : 0;
        p.height = rect.size.height > 0 ? rect.size.height : 0;
    } else {
        p.lineBreakMode = NSLineBreakByClipping;
    }
    uikit_text::draw(UIGraphicsGetCurrentContext(), string, fontOf(attributes), colourOf(attributes), rect, p);
}
