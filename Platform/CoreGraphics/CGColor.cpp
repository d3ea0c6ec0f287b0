#include <CoreGraphics/CGColor.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <functional>

namespace {
CGFloat clamp01(CGFloat v) {
    return std::clamp(v, 0.0, 1.0);
}
} // namespace

NS_IMPLEMENT_CLASS(CGColor, NSObject) {}

CGColor::CGColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
    : r_(clamp01(red)), g_(clamp01(green)), b_(clamp01(blue)), a_(clamp01(alpha)), rgbComponents_{r_, g_, b_, a_} {}

CGColor::CGColor(CGFloat white, CGFloat alpha)
    : r_(clamp01(white)), g_(r_), b_(r_), a_(clamp01(alpha)),
      grey_(true), rgbComponents_{r_, r_, r_, a_}, greyComponents_{r_, a_} {}

bool CGColor::isEqual(const id& other) const {
    auto o = cast<CGColor>(other);
    return o && o->r_ == r_ && o->g_ == g_ && o->b_ == b_ && o->a_ == a_;
}

NSUInteger CGColor::hash() const {
    std::hash<double> h;
    return h(r_) ^ (h(g_) << 1) ^ (h(b_) << 2) ^ (h(a_) << 3);
}

Ref<NSString> CGColor::description() const {
    return NSString::stringWithFormat("<CGColor %p> [ (kCGColorSpaceDeviceRGB) ] ( %g %g %g %g )",
                                      static_cast<const void*>(this), r_, g_, b_, a_);
}

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    return make<CGColor>(red, green, blue, alpha);
}

CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha) {
    return make<CGColor>(gray, alpha);
}

CGColorRef CGColorCreate(const CGColorSpaceRef& space, const CGFloat* components) {
    if (!space || !components) {
        return nullptr;
    }
    if (space->model() == kCGColorSpaceModelMonochrome) {
        return make<CGColor>(components[0], components[1]);
    }
    return make<CGColor>(components[0], components[1], components[2], components[3]);
}

CGColorRef CGColorCreateCopyWithAlpha(const CGColorRef& color, CGFloat alpha) {
    if (!color) {
        return nullptr;
    }
    if (color->isGrey()) {
        return make<CGColor>(color->red(), alpha);
    }
    return make<CGColor>(color->red(), color->green(), color->blue(), alpha);
}

size_t CGColorGetNumberOfComponents(const CGColorRef& color) {
    return color ? color->numberOfComponents() : 0;
}

const CGFloat* CGColorGetComponents(const CGColorRef& color) {
    return color ? color->components() : nullptr;
}

CGColorSpaceRef CGColorGetColorSpace(const CGColorRef& color) {
    if (!color) {
        return nullptr;
    }
    return color->isGrey() ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
}

CGFloat CGColorGetAlpha(const CGColorRef& color) {
    return color ? color->alpha() : 0;
}

bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b) {
    return NSObjectsEqual(a, b);
}
