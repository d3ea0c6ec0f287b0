// Text layout, measurement and drawing on pango (through pangocairo and fontconfig), shared by
// UIFont, the string drawing additions, labels, buttons, fields and text views.
//
// Fonts: the system font is DejaVu Sans (bold and oblique faces for the bold and italic system
// fonts). A named font uses its family when fontconfig has it and otherwise falls back to DejaVu
// Sans (DejaVu Sans Mono for monospaced names, DejaVu Serif for serif ones), keeping the weight and
// slant written in the name ("Arial-BoldMT" is a bold sans-serif). Sizes are in points; one point
// is one unit of user space, and metrics are unhinted, so a text measures the same at every scale.
//
// Measurements are cached by font, text and layout, so asking again for the same string is cheap.
// One lock serialises the use of pango, which is not thread-safe.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <UIKit/NSText.h>

class UIFont;
class NSString;

namespace uikit_text {

struct Paragraph {
    NSTextAlignment alignment = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping;
    // Wraps at the width when above 0 (word or character wrapping modes only; the truncating and
    // clipping modes keep one line per paragraph).
    CGFloat width = 0;
    // At most this many lines when above 0; the last one is truncated in the truncating modes.
    NSInteger maximumLines = 0;
    // Whole lines that fit in this height when above 0 (at least one line).
    CGFloat height = 0;
    CGFloat lineSpacing = 0;
};

// A run of text in one font and colour (a part of an attributed string); offsets in UTF-16 units.
// A background colour fills the run's line boxes; kern adds space after each character.
struct Run {
    NSUInteger location = 0;
    NSUInteger length = 0;
    Ref<UIFont> font;
    CGColorRef colour;
    CGColorRef background;
    CGFloat kern = 0;
    // A text attachment: the run's character takes the picture's box (y up from the baseline, empty
    // without a picture) and shows the picture.
    bool attachment = false;
    CGImageRef picture;
    CGRect pictureBounds{};
};

struct Measure {
    CGSize size{};
    NSInteger lines = 0;
};

struct FontMetrics {
    CGFloat lineHeight = 0;
    CGFloat ascender = 0;
    CGFloat descender = 0; // negative: below the baseline
    CGFloat capHeight = 0;
    CGFloat xHeight = 0;
};

// The metrics of a font (name, size and weight resolved as described above).
FontMetrics metricsOf(const UIFont& font);
// The family that draws the font, after fallback ("DejaVu Sans" for the system font).
std::string familyOf(const UIFont& font);

// The size of the text, its width rounded up to whole points. An empty text measures zero.
Measure measure(const Ref<NSString>& text, const Ref<UIFont>& font, const Paragraph& paragraph,
                const std::vector<Run>& runs = {});
// Draws the text with its top-left corner at `rect.origin`, aligned within `rect.size.width`, in
// `colour` (runs may override font and colour), through the context's graphics state. The context
// is expected to be a UIKit one (y down).
void draw(const CGContextRef& context, const Ref<NSString>& text, const Ref<UIFont>& font, const CGColorRef& colour,
          CGRect rect, const Paragraph& paragraph, const std::vector<Run>& runs = {});

// Cache statistics, for tests and benchmarks.
size_t cacheHits();
void clearCache();

} // namespace uikit_text
