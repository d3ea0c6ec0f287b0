#include <CoreGraphics/CGColorSpace.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CGColorSpace, NSObject) {}

bool CGColorSpace::isEqual(const id& other) const {
    auto o = cast<CGColorSpace>(other);
    return o && o->model_ == model_;
}

Ref<NSString> CGColorSpace::description() const {
    return NSString::stringWithFormat("<CGColorSpace %p> (%s)", static_cast<const void*>(this),
                                      model_ == kCGColorSpaceModelMonochrome ? "kCGColorSpaceDeviceGray"
                                                                             : "kCGColorSpaceDeviceRGB");
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() {
    static const CGColorSpaceRef rgb = make<CGColorSpace>(kCGColorSpaceModelRGB);
    return rgb;
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray() {
    static const CGColorSpaceRef grey = make<CGColorSpace>(kCGColorSpaceModelMonochrome);
    return grey;
}

CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space) {
    return space ? space->model() : kCGColorSpaceModelUnknown;
}

size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space) {
    return space ? space->numberOfComponents() : 0;
}
