// CGGradient: colours at locations from 0 to 1, drawn by CGContextDrawLinearGradient and
// CGContextDrawRadialGradient. Without locations the colours are spread evenly from 0 to 1.
#pragma once

#include <CoreGraphics/CGColor.h>
#include <Foundation/NSArray.h>

#include <vector>

using CGGradientDrawingOptions = uint32_t;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsBeforeStartLocation = 1 << 0;
inline constexpr CGGradientDrawingOptions kCGGradientDrawsAfterEndLocation = 1 << 1;

class CGGradient : public NSObject {
    NS_OBJECT(CGGradient, NSObject)
public:
    struct Stop {
        CGFloat location;
        CGFloat r, g, b, a;
    };
    CGGradient() = default;
    explicit CGGradient(std::vector<Stop> stops) : stops_(std::move(stops)) {}
    // In increasing order of location.
    const std::vector<Stop>& stops() const noexcept { return stops_; }

private:
    std::vector<Stop> stops_;
};

using CGGradientRef = Ref<CGGradient>;

// `components` holds `count` colours of the space's components plus alpha; `locations` may be null.
CGGradientRef CGGradientCreateWithColorComponents(const CGColorSpaceRef& space, const CGFloat* components,
                                                  const CGFloat* locations, size_t count);
// `colors` is an array of CGColor objects; `locations` may be null.
CGGradientRef CGGradientCreateWithColors(const CGColorSpaceRef& space, const Ref<NSArray>& colors,
                                         const CGFloat* locations);
inline void CGGradientRelease(const CGGradientRef&) {}
