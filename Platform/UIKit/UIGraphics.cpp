#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <Foundation/NSLog.h>

#include <cmath>
#include <vector>

namespace {

struct Entry {
    CGContextRef context;
    bool image = false;
    CGFloat scale = 1;
    // A lazy entry: made on first use.
    bool lazy = false;
    CGSize size{};
    bool opaque = false;
};

std::vector<Entry>& stack() {
    thread_local std::vector<Entry> entries;
    return entries;
}

CGFloat resolvedScale(CGFloat scale) {
    if (!(scale > 0) || !std::isfinite(scale)) {
        return UIScreen::mainScreen()->scale();
    }
    return scale;
}

} // namespace

namespace uikit_detail {

CGContextRef makeImageContext(CGSize size, bool opaque, CGFloat scale) {
    scale = resolvedScale(scale);
    double w = std::ceil(size.width * scale - 1e-6), h = std::ceil(size.height * scale - 1e-6);
    if (!(size.width > 0) || !(size.height > 0) || !std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 ||
        w > static_cast<double>(kCGImageMaximumSide) || h > static_cast<double>(kCGImageMaximumSide)) {
        NSLog("UIGraphicsBeginImageContext() failed to allocate CGBitmapContext: size={%g, %g}, scale=%g: each side "
              "must be above 0 and at most %zu pixels",
              size.width, size.height, scale, kCGImageMaximumSide);
        return nullptr;
    }
    auto c = CGBitmapContextCreate(nullptr, static_cast<size_t>(w), static_cast<size_t>(h), 8, 0,
                                   CGColorSpaceCreateDeviceRGB(),
                                   opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst);
    if (!c) {
        return nullptr;
    }
    CGContextTranslateCTM(c, 0, h);
    CGContextScaleCTM(c, scale, -scale);
    return c;
}

CGContextRef drawWithLazyContext(CGSize size, bool opaque, CGFloat scale, const std::function<void()>& draw) {
    Entry e;
    e.lazy = true;
    e.size = size;
    e.opaque = opaque;
    e.scale = resolvedScale(scale);
    stack().push_back(e);
    size_t depth = stack().size();
    try {
        draw();
    } catch (...) {
        stack().resize(depth - 1);
        throw;
    }
    // Pushes left unbalanced by the drawing code end here.
    stack().resize(depth);
    CGContextRef made = stack().back().context;
    stack().pop_back();
    return made;
}

} // namespace uikit_detail

void UIGraphicsBeginImageContext(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale) {
    Entry e;
    e.scale = resolvedScale(scale);
    e.image = true;
    e.context = uikit_detail::makeImageContext(size, opaque, e.scale);
    stack().push_back(e);
}

CGContextRef UIGraphicsGetCurrentContext() {
    auto& s = stack();
    if (s.empty()) {
        return nullptr;
    }
    Entry& top = s.back();
    if (top.lazy && !top.context) {
        top.lazy = false;
        top.context = uikit_detail::makeImageContext(top.size, top.opaque, top.scale);
    }
    return top.context;
}

Ref<UIImage> UIGraphicsGetImageFromCurrentImageContext() {
    auto& s = stack();
    if (s.empty() || !s.back().image || !s.back().context) {
        return nullptr;
    }
    return UIImage::imageWithCGImageScaleOrientation(CGBitmapContextCreateImage(s.back().context), s.back().scale,
                                                     UIImageOrientationUp);
}

void UIGraphicsEndImageContext() {
    auto& s = stack();
    if (!s.empty() && s.back().image) {
        s.pop_back();
    }
}

void UIGraphicsPushContext(const CGContextRef& context) {
    Entry e;
    e.context = context;
    stack().push_back(e);
}

void UIGraphicsPopContext() {
    auto& s = stack();
    if (!s.empty() && !s.back().image && !s.back().lazy) {
        s.pop_back();
    }
}

void UIRectFill(CGRect rect) {
    UIRectFillUsingBlendMode(rect, kCGBlendModeNormal);
}

void UIRectFillUsingBlendMode(CGRect rect, CGBlendMode blendMode) {
    auto c = UIGraphicsGetCurrentContext();
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, blendMode);
    CGContextFillRect(c, rect);
    CGContextRestoreGState(c);
}

void UIRectFrame(CGRect rect) {
    UIRectFrameUsingBlendMode(rect, kCGBlendModeNormal);
}

void UIRectFrameUsingBlendMode(CGRect rect, CGBlendMode blendMode) {
    auto c = UIGraphicsGetCurrentContext();
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, blendMode);
    // A one-point frame inside the rectangle.
    CGContextStrokeRectWithWidth(c, CGRectInset(rect, 0.5, 0.5), 1);
    CGContextRestoreGState(c);
}

void UIRectClip(CGRect rect) {
    CGContextClipToRect(UIGraphicsGetCurrentContext(), rect);
}
