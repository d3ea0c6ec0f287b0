#include <CoreGraphics/CGGradient.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(CGGradient, NSObject) {}

namespace {
CGFloat evenLocation(size_t i, size_t count) {
    return count > 1 ? static_cast<CGFloat>(i) / static_cast<CGFloat>(count - 1) : 0;
}

CGFloat unit(CGFloat v) {
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0;
}

CGGradientRef finish(std::vector<CGGradient::Stop> stops) {
    if (stops.empty()) {
        return nullptr;
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const CGGradient::Stop& a, const CGGradient::Stop& b) { return a.location < b.location; });
    return make<CGGradient>(std::move(stops));
}
} // namespace

CGGradientRef CGGradientCreateWithColorComponents(const CGColorSpaceRef& space, const CGFloat* components,
                                                  const CGFloat* locations, size_t count) {
    if (!components || count == 0) {
        return nullptr;
    }
    bool grey = space && space->model() == kCGColorSpaceModelMonochrome;
    size_t n = grey ? 2 : 4;
    std::vector<CGGradient::Stop> stops;
    for (size_t i = 0; i < count; ++i) {
        const CGFloat* c = components + i * n;
        CGFloat loc = unit(locations ? locations[i] : evenLocation(i, count));
        if (grey) {
            stops.push_back({loc, unit(c[0]), unit(c[0]), unit(c[0]), unit(c[1])});
        } else {
            stops.push_back({loc, unit(c[0]), unit(c[1]), unit(c[2]), unit(c[3])});
        }
    }
    return finish(std::move(stops));
}

CGGradientRef CGGradientCreateWithColors(const CGColorSpaceRef&, const Ref<NSArray>& colors, const CGFloat* locations) {
    if (!colors || colors->count() == 0) {
        return nullptr;
    }
    std::vector<CGGradient::Stop> stops;
    size_t count = colors->count();
    for (size_t i = 0; i < count; ++i) {
        auto c = cast<CGColor>(colors->objectAtIndex(i));
        if (!c) {
            return nullptr;
        }
        CGFloat loc = unit(locations ? locations[i] : evenLocation(i, count));
        stops.push_back({loc, c->red(), c->green(), c->blue(), c->alpha()});
    }
    return finish(std::move(stops));
}
