#include <QuartzCore/CASpringAnimation.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(CASpringAnimation, CABasicAnimation) {
    b.property("mass", &CASpringAnimation::mass, &CASpringAnimation::setMass);
    b.property("stiffness", &CASpringAnimation::stiffness, &CASpringAnimation::setStiffness);
    b.property("damping", &CASpringAnimation::damping, &CASpringAnimation::setDamping);
    b.property("initialVelocity", &CASpringAnimation::initialVelocity, &CASpringAnimation::setInitialVelocity);
    b.readonlyProperty("settlingDuration", &CASpringAnimation::settlingDuration);
}

Ref<CASpringAnimation> CASpringAnimation::animationWithKeyPath(const Ref<NSString>& keyPath) {
    auto a = make<CASpringAnimation>();
    a->setKeyPath(keyPath);
    return a;
}

void CASpringAnimation::setMass(double mass) {
    if (mass > 0) {
        mass_ = mass;
    }
}

void CASpringAnimation::setStiffness(double stiffness) {
    if (stiffness > 0) {
        stiffness_ = stiffness;
    }
}

void CASpringAnimation::setDamping(double damping) {
    if (damping >= 0) {
        damping_ = damping;
    }
}

void CASpringAnimation::copySettingsInto(CAAnimation& into) const {
    CABasicAnimation::copySettingsInto(into);
    if (auto* s = dynamic_cast<CASpringAnimation*>(&into)) {
        s->mass_ = mass_;
        s->stiffness_ = stiffness_;
        s->damping_ = damping_;
        s->initialVelocity_ = initialVelocity_;
    }
}

double CASpringAnimation::springPosition(double t) const {
    if (!(t > 0)) {
        return 0;
    }
    // The offset y from rest obeys m y'' + c y' + k y = 0 with y(0) = -1 and y'(0) = v0.
    double w0 = std::sqrt(stiffness_ / mass_);
    double zeta = damping_ / (2 * std::sqrt(stiffness_ * mass_));
    double v0 = initialVelocity_;
    double y;
    if (zeta < 1 - 1e-9) {
        double wd = w0 * std::sqrt(1 - zeta * zeta);
        double b = (v0 - zeta * w0) / wd;
        y = std::exp(-zeta * w0 * t) * (-std::cos(wd * t) + b * std::sin(wd * t));
    } else if (zeta <= 1 + 1e-9) {
        y = std::exp(-w0 * t) * (-1 + (v0 - w0) * t);
    } else {
        double root = std::sqrt(zeta * zeta - 1);
        double r1 = -w0 * (zeta - root);
        double r2 = -w0 * (zeta + root);
        double c2 = (v0 + r1) / (r2 - r1);
        double c1 = -1 - c2;
        y = c1 * std::exp(r1 * t) + c2 * std::exp(r2 * t);
    }
    return 1 + y;
}

double CASpringAnimation::settlingDuration() const {
    // The last moment the spring is more than a thousandth away from rest, on a 1/240 s grid.
    constexpr double step = 1.0 / 240;
    double last = 0;
    for (double t = 0; t < 60; t += step) {
        if (std::fabs(springPosition(t) - 1) >= 1e-3) {
            last = t + step;
        } else if (t - last > 2) {
            break;
        }
    }
    return last;
}

double CASpringAnimation::pacedFraction(double fraction, double passDuration) const {
    return springPosition(fraction * passDuration);
}
