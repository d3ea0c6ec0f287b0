#include <QuartzCore/CAMediaTimingFunction.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>
#include <functional>

NS_IMPLEMENT_CLASS(CAMediaTimingFunction, NSObject) {}

#define CA_STRING_CONSTANT(Name, Value)                                                                                \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Value);                                                      \
        return value;                                                                                                  \
    }

CA_STRING_CONSTANT(kCAMediaTimingFunctionLinear, "linear")
CA_STRING_CONSTANT(kCAMediaTimingFunctionEaseIn, "easeIn")
CA_STRING_CONSTANT(kCAMediaTimingFunctionEaseOut, "easeOut")
CA_STRING_CONSTANT(kCAMediaTimingFunctionEaseInEaseOut, "easeInEaseOut")
CA_STRING_CONSTANT(kCAMediaTimingFunctionDefault, "default")

namespace {
float sane(float v) {
    return std::isnan(v) ? 0.0f : v;
}
float saneX(float v) {
    return std::clamp(sane(v), 0.0f, 1.0f);
}
} // namespace

CAMediaTimingFunction::CAMediaTimingFunction(float c1x, float c1y, float c2x, float c2y)
    : c1x_(saneX(c1x)), c1y_(sane(c1y)), c2x_(saneX(c2x)), c2y_(sane(c2y)) {}

Ref<CAMediaTimingFunction> CAMediaTimingFunction::functionWithName(const Ref<NSString>& name) {
    if (!name) {
        return nullptr;
    }
    const std::string& n = name->str();
    if (n == kCAMediaTimingFunctionLinear()->str()) {
        return make<CAMediaTimingFunction>(0.0f, 0.0f, 1.0f, 1.0f);
    }
    if (n == kCAMediaTimingFunctionEaseIn()->str()) {
        return make<CAMediaTimingFunction>(0.42f, 0.0f, 1.0f, 1.0f);
    }
    if (n == kCAMediaTimingFunctionEaseOut()->str()) {
        return make<CAMediaTimingFunction>(0.0f, 0.0f, 0.58f, 1.0f);
    }
    if (n == kCAMediaTimingFunctionEaseInEaseOut()->str()) {
        return make<CAMediaTimingFunction>(0.42f, 0.0f, 0.58f, 1.0f);
    }
    if (n == kCAMediaTimingFunctionDefault()->str()) {
        return make<CAMediaTimingFunction>(0.25f, 0.1f, 0.25f, 1.0f);
    }
    return nullptr;
}

Ref<CAMediaTimingFunction> CAMediaTimingFunction::functionWithControlPoints(float c1x, float c1y, float c2x,
                                                                            float c2y) {
    return make<CAMediaTimingFunction>(c1x, c1y, c2x, c2y);
}

void CAMediaTimingFunction::getControlPointAtIndexValues(size_t index, float values[2]) const {
    switch (index) {
    case 0:
        values[0] = 0;
        values[1] = 0;
        break;
    case 1:
        values[0] = c1x_;
        values[1] = c1y_;
        break;
    case 2:
        values[0] = c2x_;
        values[1] = c2y_;
        break;
    case 3:
        values[0] = 1;
        values[1] = 1;
        break;
    default:
        break;
    }
}

namespace {
// One coordinate of the cubic Bezier from 0 to 1 with inner control values p1 and p2.
double bezier(double t, double p1, double p2) {
    double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}
double bezierSlope(double t, double p1, double p2) {
    double u = 1 - t;
    return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}
} // namespace

double CAMediaTimingFunction::solveForInput(double x) const {
    if (std::isnan(x)) {
        return 0;
    }
    x = std::clamp(x, 0.0, 1.0);
    if (x == 0 || x == 1) {
        return x;
    }
    // x(t) rises monotonically, since both inner x values lie in 0...1. Newton's method from t = x
    // usually lands in a few steps; bisection takes over when the slope is too flat.
    double t = x;
    for (int i = 0; i < 8; ++i) {
        double error = bezier(t, c1x_, c2x_) - x;
        if (std::fabs(error) < 1e-9) {
            return bezier(t, c1y_, c2y_);
        }
        double slope = bezierSlope(t, c1x_, c2x_);
        if (std::fabs(slope) < 1e-6) {
            break;
        }
        t -= error / slope;
        if (t < 0 || t > 1) {
            break;
        }
    }
    double lo = 0, hi = 1;
    t = x;
    for (int i = 0; i < 60; ++i) {
        double value = bezier(t, c1x_, c2x_);
        if (std::fabs(value - x) < 1e-12) {
            break;
        }
        if (value < x) {
            lo = t;
        } else {
            hi = t;
        }
        t = (lo + hi) / 2;
    }
    return bezier(t, c1y_, c2y_);
}

bool CAMediaTimingFunction::isEqual(const id& other) const {
    auto f = cast<CAMediaTimingFunction>(other);
    return f && f->c1x_ == c1x_ && f->c1y_ == c1y_ && f->c2x_ == c2x_ && f->c2y_ == c2y_;
}

NSUInteger CAMediaTimingFunction::hash() const {
    std::hash<float> h;
    return h(c1x_) ^ (h(c1y_) << 1) ^ (h(c2x_) << 2) ^ (h(c2y_) << 3);
}

Ref<NSString> CAMediaTimingFunction::description() const {
    return NSString::stringWithFormat("<CAMediaTimingFunction: %p; (%g %g) (%g %g)>", static_cast<const void*>(this),
                                      c1x_, c1y_, c2x_, c2y_);
}
