#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>

#include <algorithm>
#include <functional>

NS_IMPLEMENT_CLASS(UIColor, NSObject) {
    b.classMethod("blackColor", [] { return UIColor::blackColor(); });
    b.classMethod("whiteColor", [] { return UIColor::whiteColor(); });
    b.classMethod("clearColor", [] { return UIColor::clearColor(); });
    b.classMethod("colorWithRed:green:blue:alpha:", [](double r, double g, double bl, double a) {
        return UIColor::colorWithRedGreenBlueAlpha(r, g, bl, a);
    });
    b.classMethod("colorWithWhite:alpha:", [](double w, double a) { return UIColor::colorWithWhiteAlpha(w, a); });
}

UIColor::UIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
    : r_(red), g_(green), b_(blue), a_(std::clamp(alpha, 0.0, 1.0)) {}

Ref<UIColor> UIColor::colorWithRedGreenBlueAlpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    return make<UIColor>(red, green, blue, alpha);
}

Ref<UIColor> UIColor::colorWithWhiteAlpha(CGFloat white, CGFloat alpha) {
    auto c = make<UIColor>(white, white, white, alpha);
    c->grey_ = true;
    return c;
}

Ref<UIColor> UIColor::colorWithCGColor(const CGColorRef& color) {
    if (!color) {
        return nullptr;
    }
    return make<UIColor>(color->red(), color->green(), color->blue(), color->alpha());
}

Ref<UIColor> UIColor::blackColor() {
    return colorWithWhiteAlpha(0, 1);
}
Ref<UIColor> UIColor::darkGrayColor() {
    return colorWithWhiteAlpha(1.0 / 3.0, 1);
}
Ref<UIColor> UIColor::lightGrayColor() {
    return colorWithWhiteAlpha(2.0 / 3.0, 1);
}
Ref<UIColor> UIColor::whiteColor() {
    return colorWithWhiteAlpha(1, 1);
}
Ref<UIColor> UIColor::grayColor() {
    return colorWithWhiteAlpha(0.5, 1);
}
Ref<UIColor> UIColor::redColor() {
    return colorWithRedGreenBlueAlpha(1, 0, 0, 1);
}
Ref<UIColor> UIColor::greenColor() {
    return colorWithRedGreenBlueAlpha(0, 1, 0, 1);
}
Ref<UIColor> UIColor::blueColor() {
    return colorWithRedGreenBlueAlpha(0, 0, 1, 1);
}
Ref<UIColor> UIColor::cyanColor() {
    return colorWithRedGreenBlueAlpha(0, 1, 1, 1);
}
Ref<UIColor> UIColor::yellowColor() {
    return colorWithRedGreenBlueAlpha(1, 1, 0, 1);
}
Ref<UIColor> UIColor::magentaColor() {
    return colorWithRedGreenBlueAlpha(1, 0, 1, 1);
}
Ref<UIColor> UIColor::orangeColor() {
    return colorWithRedGreenBlueAlpha(1, 0.5, 0, 1);
}
Ref<UIColor> UIColor::purpleColor() {
    return colorWithRedGreenBlueAlpha(0.5, 0, 0.5, 1);
}
Ref<UIColor> UIColor::brownColor() {
    return colorWithRedGreenBlueAlpha(0.6, 0.4, 0.2, 1);
}
Ref<UIColor> UIColor::clearColor() {
    return colorWithWhiteAlpha(0, 0);
}
Ref<UIColor> UIColor::groupTableViewBackgroundColor() {
    return colorWithRedGreenBlueAlpha(239.0 / 255.0, 239.0 / 255.0, 244.0 / 255.0, 1);
}

Ref<UIColor> UIColor::systemBlueColor() {
    return colorWithRedGreenBlueAlpha(0, 122.0 / 255.0, 1, 1);
}

Ref<UIColor> UIColor::colorWithAlphaComponent(CGFloat alpha) const {
    auto c = make<UIColor>(r_, g_, b_, alpha);
    c->grey_ = grey_;
    return c;
}

bool UIColor::getRedGreenBlueAlpha(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const {
    if (red) {
        *red = r_;
    }
    if (green) {
        *green = g_;
    }
    if (blue) {
        *blue = b_;
    }
    if (alpha) {
        *alpha = a_;
    }
    return true;
}

bool UIColor::getWhiteAlpha(CGFloat* white, CGFloat* alpha) const {
    if (!grey_) {
        return false;
    }
    if (white) {
        *white = r_;
    }
    if (alpha) {
        *alpha = a_;
    }
    return true;
}

CGColorRef UIColor::CGColor() const {
    return CGColorCreateGenericRGB(r_, g_, b_, a_);
}

bool UIColor::isEqual(const id& other) const {
    auto o = cast<UIColor>(other);
    return o && o->r_ == r_ && o->g_ == g_ && o->b_ == b_ && o->a_ == a_;
}

NSUInteger UIColor::hash() const {
    std::hash<double> h;
    return h(r_) ^ (h(g_) << 1) ^ (h(b_) << 2) ^ (h(a_) << 3);
}

Ref<NSString> UIColor::description() const {
    if (grey_) {
        return NSString::stringWithFormat("UIExtendedGrayColorSpace %g %g", r_, a_);
    }
    return NSString::stringWithFormat("UIExtendedSRGBColorSpace %g %g %g %g", r_, g_, b_, a_);
}

id UIColor::copy() const {
    return id(const_cast<UIColor*>(this));
}

void UIColor::set() const {
    setFill();
    setStroke();
}

void UIColor::setFill() const {
    CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), CGColor());
}

void UIColor::setStroke() const {
    CGContextSetStrokeColorWithColor(UIGraphicsGetCurrentContext(), CGColor());
}
