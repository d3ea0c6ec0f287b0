// A colour as the drawing layer keeps it: red, green, blue and alpha components from 0 to 1, in the
// device RGB colour space, or a white level and alpha in the device grey space (its red, green and
// blue then all read the white level).
#pragma once

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGeometry.h>
#include <Runtime/NSObject.h>

class CGColor : public NSObject {
    NS_OBJECT(CGColor, NSObject)
public:
    CGColor() = default;
    CGColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
    // A grey level.
    CGColor(CGFloat white, CGFloat alpha);

    CGFloat red() const noexcept { return r_; }
    CGFloat green() const noexcept { return g_; }
    CGFloat blue() const noexcept { return b_; }
    CGFloat alpha() const noexcept { return a_; }
    bool isGrey() const noexcept { return grey_; }
    // The components in the colour's space, alpha last (2 for grey, 4 for RGB).
    const CGFloat* components() const noexcept { return grey_ ? greyComponents_ : rgbComponents_; }
    size_t numberOfComponents() const noexcept { return grey_ ? 2 : 4; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;

private:
    CGFloat r_ = 0, g_ = 0, b_ = 0, a_ = 0;
    bool grey_ = false;
    CGFloat rgbComponents_[4]{};
    CGFloat greyComponents_[2]{};
};

using CGColorRef = Ref<CGColor>;

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha);
// A colour from `space`'s components followed by alpha; nil for a nil space or components.
CGColorRef CGColorCreate(const CGColorSpaceRef& space, const CGFloat* components);
CGColorRef CGColorCreateCopyWithAlpha(const CGColorRef& color, CGFloat alpha);
CGFloat CGColorGetAlpha(const CGColorRef& color);
size_t CGColorGetNumberOfComponents(const CGColorRef& color);
// The components (alpha last); valid as long as the colour lives. nullptr for nil.
const CGFloat* CGColorGetComponents(const CGColorRef& color);
CGColorSpaceRef CGColorGetColorSpace(const CGColorRef& color);
inline void CGColorRelease(const CGColorRef&) {}
bool CGColorEqualToColor(const CGColorRef& a, const CGColorRef& b);
