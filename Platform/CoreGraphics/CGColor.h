// A colour as the drawing layer keeps it: red, green, blue and alpha components from 0 to 1.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Runtime/NSObject.h>

class CGColor : public NSObject {
    NS_OBJECT(CGColor, NSObject)
public:
    CGColor() = default;
    CGColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);

    CGFloat red() const noexcept { return r_; }
    CGFloat green() const noexcept { return g_; }
    CGFloat blue() const noexcept { return b_; }
    CGFloat alpha() const noexcept { return a_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;

private:
    CGFloat r_ = 0, g_ = 0, b_ = 0, a_ = 0;
};

using CGColorRef = Ref<CGColor>;

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
CGFloat CGColorGetAlpha(const CGColorRef& color);
bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b);
