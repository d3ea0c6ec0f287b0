// Measuring and drawing attributed text: the platform's NSAttributedString drawing additions, as
// free functions with the string first. Each run is laid out in its own font (NSFontAttributeName,
// else the 12-point system font), foreground colour (black when none), background colour and kern;
// alignment, line break mode and line spacing come from the paragraph style at the start of the
// string (one paragraph style for the whole text).
#pragma once

#include <Foundation/NSAttributedString.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIKitText.h>

class UIColor;

const Ref<NSString>& NSBackgroundColorAttributeName();
const Ref<NSString>& NSKernAttributeName();

// `size`: the text on its own lines (breaking only at line breaks).
CGSize size(const Ref<NSAttributedString>& string);
// `boundingRectWithSize:options:context:`, wrapping as NSString's (see NSString+NSStringDrawing.h).
CGRect boundingRectWithSizeOptionsContext(const Ref<NSAttributedString>& string, CGSize size,
                                          NSStringDrawingOptions options, const id& context);
// Drawing into the current context.
void drawAtPoint(const Ref<NSAttributedString>& string, CGPoint point);
// Wraps within the rectangle's width and draws the lines that fit its height.
void drawInRect(const Ref<NSAttributedString>& string, CGRect rect);
void drawWithRectOptionsContext(const Ref<NSAttributedString>& string, CGRect rect, NSStringDrawingOptions options,
                                const id& context);

namespace uikit_text {
// The layout runs of an attributed string; attributes a run lacks take the given font and colour.
std::vector<Run> runsOf(const NSAttributedString& string, const Ref<UIFont>& font, const Ref<UIColor>& colour);
// The paragraph style at the start of the string, over `base`.
Paragraph paragraphOf(const NSAttributedString& string, Paragraph base = {});
} // namespace uikit_text
