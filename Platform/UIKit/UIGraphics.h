// The UIKit drawing context stack: image contexts and the current context that drawing code
// (UIRectFill, UIBezierPath, UIImage, string drawing) draws into.
//
// An image context is a bitmap context of the size in points times the scale (0 means the main
// screen's), with its CTM flipped and scaled so that user space runs in points with y growing
// downwards, as views draw. A size of zero or less, NaN, or above kCGImageMaximumSide pixels a side
// is refused with a logged error: the context stack then holds an empty entry, so that the matching
// End still balances, and the current context is nil.
//
// A view's drawRect: runs with the view's backing store as the current context (see UIView.h).
#pragma once

#include <CoreGraphics/CGContext.h>

#include <functional>

class UIImage;

void UIGraphicsBeginImageContext(CGSize size);
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale);
CGContextRef UIGraphicsGetCurrentContext();
// The image of the current image context (scale of the context, orientation up); nil when the
// current context is not an image context.
Ref<UIImage> UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();
void UIGraphicsPushContext(const CGContextRef& context);
void UIGraphicsPopContext();

void UIRectFill(CGRect rect);
void UIRectFillUsingBlendMode(CGRect rect, CGBlendMode blendMode);
void UIRectFrame(CGRect rect);
void UIRectFrameUsingBlendMode(CGRect rect, CGBlendMode blendMode);
void UIRectClip(CGRect rect);

namespace uikit_detail {
// A UIKit bitmap context (y down, in points) of the size and scale; nil (logged) for a bad size.
CGContextRef makeImageContext(CGSize size, bool opaque, CGFloat scale);
// Runs `draw` with a context that is made only when drawing code first asks for the current
// context, and answers that context (nil when nothing asked). Views draw their backing stores so.
CGContextRef drawWithLazyContext(CGSize size, bool opaque, CGFloat scale, const std::function<void()>& draw);
} // namespace uikit_detail
