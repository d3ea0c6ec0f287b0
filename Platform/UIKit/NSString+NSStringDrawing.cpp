#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIKitInternal.h>

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

// Wrapped to `width` (0: no wrapping), keeping the whole lines that fit in `height` (0: all).
CGSize measure(const Ref<NSString>& string, const Ref<UIFont>& font, CGFloat width, CGFloat height) {
    CGSize s = font->sizeOfText(string, width > 0 ? width : 0);
    if (height > 0 && s.height > height) {
        double lines = std::max(1.0, std::floor(height / font->lineHeight()));
        s.height = std::ceil(lines * font->lineHeight());
    }
    if (width > 0) {
        s.width = std::min(s.width, width);
    }
    return s;
}

} // namespace

CGSize sizeWithAttributes(const Ref<NSString>& string, const Ref<NSDictionary>& attributes) {
    return fontOf(attributes)->sizeOfText(string);
}

CGRect boundingRectWithSizeOptionsAttributesContext(const Ref<NSString>& string, CGSize size,
                                                    NSStringDrawingOptions options, const Ref<NSDictionary>& attributes,
                                                    const id&) {
    auto font = fontOf(attributes);
    if (!(options & NSStringDrawingUsesLineFragmentOrigin)) {
        CGSize s = font->sizeOfText(string);
        return CGRectMake(0, 0, s.width, font->lineHeight());
    }
    CGSize s = measure(string, font, size.width, size.height);
    return CGRectMake(0, 0, s.width, s.height);
}

CGSize sizeWithFont(const Ref<NSString>& string, const Ref<UIFont>& font) {
    return (font ? font : UIFont::systemFontOfSize(12))->sizeOfText(string);
}

CGSize sizeWithFontConstrainedToSize(const Ref<NSString>& string, const Ref<UIFont>& font, CGSize size) {
    return measure(string, font ? font : UIFont::systemFontOfSize(12), size.width, size.height);
}
