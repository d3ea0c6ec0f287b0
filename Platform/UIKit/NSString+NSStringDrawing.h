// Measuring and drawing text in the fonts of the user-interface framework: the platform's NSString
// drawing additions, as free functions with the string first. Text is laid out by pango (see
// UIKitText.h); drawing goes to the current UIKit context (UIGraphics.h).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSDictionary.h>
#include <UIKit/NSParagraphStyle.h>
#include <UIKit/UIFont.h>

// Attribute names of attributed text.
const Ref<NSString>& NSFontAttributeName();
const Ref<NSString>& NSForegroundColorAttributeName();
const Ref<NSString>& NSParagraphStyleAttributeName();

using NSStringDrawingOptions = NSInteger;
inline constexpr NSStringDrawingOptions NSStringDrawingUsesLineFragmentOrigin = 1 << 0;
inline constexpr NSStringDrawingOptions NSStringDrawingUsesFontLeading = 1 << 1;
inline constexpr NSStringDrawingOptions NSStringDrawingUsesDeviceMetrics = 1 << 3;
inline constexpr NSStringDrawingOptions NSStringDrawingTruncatesLastVisibleLine = 1 << 5;

// `sizeWithAttributes:`: the text on its own lines (breaking only at line breaks), in the font of
// NSFontAttributeName (the 12-point system font when there is none).
CGSize sizeWithAttributes(const Ref<NSString>& string, const Ref<NSDictionary>& attributes);
// `boundingRectWithSize:options:attributes:context:`. With UsesLineFragmentOrigin the text wraps
// to size.width (when above 0) by the paragraph style's line break mode and keeps the whole lines
// that fit in size.height (when above 0; at least one); without it the text is one line. The
// origin is (0, 0).
CGRect boundingRectWithSizeOptionsAttributesContext(const Ref<NSString>& string, CGSize size,
                                                    NSStringDrawingOptions options, const Ref<NSDictionary>& attributes,
                                                    const id& context);
// The older `sizeWithFont:` and `sizeWithFont:constrainedToSize:` (wrapping to the width, whole
// lines within the height).
CGSize sizeWithFont(const Ref<NSString>& string, const Ref<UIFont>& font);
CGSize sizeWithFontConstrainedToSize(const Ref<NSString>& string, const Ref<UIFont>& font, CGSize size);
CGSize sizeWithFontConstrainedToSizeLineBreakMode(const Ref<NSString>& string, const Ref<UIFont>& font, CGSize size,
                                                  NSLineBreakMode lineBreakMode);

// Drawing into the current context, in the attributes' colour (black when none).
void drawAtPointWithAttributes(const Ref<NSString>& string, CGPoint point, const Ref<NSDictionary>& attributes);
// Wraps within the rectangle's width and draws the lines that fit its height.
void drawInRectWithAttributes(const Ref<NSString>& string, CGRect rect, const Ref<NSDictionary>& attributes);
void drawWithRectOptionsAttributesContext(const Ref<NSString>& string, CGRect rect, NSStringDrawingOptions options,
                                          const Ref<NSDictionary>& attributes, const id& context);
