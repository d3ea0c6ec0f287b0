// CGColorSpace: how the components of a colour are read. Two models are kept: device RGB (red,
// green, blue) and device grey (one white level); both have an alpha component after the colour
// components. Pixels are always stored as RGB, so a grey bitmap draws as neutral RGB.
#pragma once

#include <Runtime/NSObject.h>

enum CGColorSpaceModel : int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
};

class CGColorSpace : public NSObject {
    NS_OBJECT(CGColorSpace, NSObject)
public:
    CGColorSpace() = default;
    explicit CGColorSpace(CGColorSpaceModel model) : model_(model) {}
    CGColorSpaceModel model() const noexcept { return model_; }
    // The colour components, alpha not counted.
    size_t numberOfComponents() const noexcept { return model_ == kCGColorSpaceModelMonochrome ? 1 : 3; }
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override { return static_cast<NSUInteger>(model_ + 17); }
    Ref<NSString> description() const override;

private:
    CGColorSpaceModel model_ = kCGColorSpaceModelRGB;
};

using CGColorSpaceRef = Ref<CGColorSpace>;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space);
size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space);
// Reference counting is the object's own; these exist so that drawing code reads as on the platform.
inline void CGColorSpaceRelease(const CGColorSpaceRef&) {}
