#include <Foundation/NSNumber.h>
#include <UIKit/NSAttributedString+NSStringDrawing.h>
#include <UIKit/NSTextAttachment.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKitInternal.h>

#include <algorithm>
#include <cmath>

UIKIT_STRING_CONSTANT(NSBackgroundColorAttributeName)
UIKIT_STRING_CONSTANT(NSKernAttributeName)

namespace uikit_text {

std::vector<Run> runsOf(const NSAttributedString& string, const Ref<UIFont>& font, const Ref<UIColor>& colour) {
    std::vector<Run> out;
    for (const auto& r : string.runs()) {
        Run run;
        run.location = r.range.location;
        run.length = r.range.length;
        auto f = cast<UIFont>(r.attributes->objectForKey(NSFontAttributeName()));
        run.font = f ? f : font;
        auto c = cast<UIColor>(r.attributes->objectForKey(NSForegroundColorAttributeName()));
        c = c ? c : colour;
        if (c) {
            run.colour = c->CGColor();
        }
        if (auto b = cast<UIColor>(r.attributes->objectForKey(NSBackgroundColorAttributeName()))) {
            run.background = b->CGColor();
        }
        if (auto k = cast<NSNumber>(r.attributes->objectForKey(NSKernAttributeName()))) {
            run.kern = k->doubleValue();
        }
        if (auto a = cast<NSTextAttachment>(r.attributes->objectForKey(NSAttachmentAttributeName()))) {
            run.attachment = true;
            if (auto image = a->image()) {
                run.picture = image->CGImage();
                run.pictureBounds = a->layoutBounds();
            }
        }
        out.push_back(std::move(run));
    }
    return out;
}

Paragraph paragraphOf(const NSAttributedString& string, Paragraph base) {
    if (string.length() == 0) {
        return base;
    }
    auto style =
        cast<NSParagraphStyle>(string.attributeAtIndexEffectiveRange(NSParagraphStyleAttributeName(), 0, nullptr));
    if (style) {
        base.alignment = style->alignment();
        base.lineBreakMode = style->lineBreakMode();
        base.lineSpacing = style->lineSpacing();
    }
    return base;
}

} // namespace uikit_text

namespace {

struct Layout {
    Ref<NSString> text;
    Ref<UIFont> font;
    std::vector<uikit_text::Run> runs;
    uikit_text::Paragraph paragraph;
};

Layout layoutOf(const Ref<NSAttributedString>& string) {
    Layout l;
    if (!string || string->length() == 0) {
        return l;
    }
    auto black = UIColor::blackColor();
    l.text = string->string();
    auto first = cast<UIFont>(string->attributeAtIndexEffectiveRange(NSFontAttributeName(), 0, nullptr));
    l.font = first ? first : UIFont::systemFontOfSize(12);
    l.runs = uikit_text::runsOf(*string, UIFont::systemFontOfSize(12), black);
    l.paragraph = uikit_text::paragraphOf(*string);
    return l;
}

} // namespace

CGSize size(const Ref<NSAttributedString>& string) {
    auto l = layoutOf(string);
    l.paragraph.lineBreakMode = NSLineBreakByWordWrapping;
    return uikit_text::measure(l.text, l.font, l.paragraph, l.runs).size;
}

CGRect boundingRectWithSizeOptionsContext(const Ref<NSAttributedString>& string, CGSize size,
                                          NSStringDrawingOptions options, const id&) {
    auto l = layoutOf(string);
    if (!l.text) {
        return CGRectZero;
    }
    auto& p = l.paragraph;
    if (!(options & NSStringDrawingUsesLineFragmentOrigin)) {
        // One line: line breaks count as spaces (the same length, so the runs still fit).
        l.text = l.text->stringByReplacingOccurrencesOfStringWithString("\n"_ns, " "_ns);
        p.lineBreakMode = NSLineBreakByClipping;
        CGSize s = uikit_text::measure(l.text, l.font, p, l.runs).size;
        return CGRectMake(0, 0, size.width > 0 ? std::min(s.width, size.width) : s.width, s.height);
    }
    if (options & NSStringDrawingTruncatesLastVisibleLine && size.height > 0) {
        p.lineBreakMode = NSLineBreakByWordWrapping;
    }
    p.width = size.width > 0 ? size.width : 0;
    p.height = size.height > 0 ? size.height : 0;
    CGSize s = uikit_text::measure(l.text, l.font, p, l.runs).size;
    return CGRectMake(0, 0, s.width, s.height);
}

void drawAtPoint(const Ref<NSAttributedString>& string, CGPoint point) {
    auto l = layoutOf(string);
    l.paragraph.lineBreakMode = NSLineBreakByWordWrapping;
    l.paragraph.alignment = NSTextAlignmentLeft;
    uikit_text::draw(UIGraphicsGetCurrentContext(), l.text, l.font, CGColorCreateGenericRGB(0, 0, 0, 1),
                     CGRectMake(point.x, point.y, 0, 0), l.paragraph, l.runs);
}

void drawInRect(const Ref<NSAttributedString>& string, CGRect rect) {
    drawWithRectOptionsContext(string, rect, NSStringDrawingUsesLineFragmentOrigin, nullptr);
}

void drawWithRectOptionsContext(const Ref<NSAttributedString>& string, CGRect rect, NSStringDrawingOptions options,
                                const id&) {
    auto l = layoutOf(string);
    rect = CGRectStandardize(rect);
    if (options & NSStringDrawingUsesLineFragmentOrigin) {
        l.paragraph.width = rect.size.width > 0 ? rect.size.width : 0;
        l.paragraph.height = rect.size.height > 0 ? rect.size.height : 0;
    } else {
        l.paragraph.lineBreakMode = NSLineBreakByClipping;
    }
    uikit_text::draw(UIGraphicsGetCurrentContext(), l.text, l.font, CGColorCreateGenericRGB(0, 0, 0, 1), rect,
                     l.paragraph, l.runs);
}
