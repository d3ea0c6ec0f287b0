#include <Device/SimBody.h>

#include <algorithm>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// The motor's buzz: a frequency that no sampling rate of the platform divides evenly, so every
// sampling interval sees it.
constexpr double kMotorFrequency = 163.7;
constexpr double kMotorAmplitude = 0.2; // g
constexpr double kMotorWobble = 0.05;   // rad/s
constexpr double kStepBounce = 0.2;     // g
constexpr double kStepsPerSecond = 2.0;

// The heading of an attitude: where the top of the device points, or its back when it stands up.
double headingOf(const SimQuaternion& attitude) {
    SimVector f = attitude.rotate({0, 1, 0});
    if (std::hypot(f.x, f.y) < 0.5) {
        f = attitude.rotate({0, 0, -1});
    }
    double h = std::atan2(-f.y, f.x) / kDegree;
    return h < 0 ? h + 360 : h;
}

} // namespace

SimQuaternion SimQuaternion::fromAxisAngle(const SimVector& axis, double radians) {
    SimVector a = axis.normalized();
    double s = std::sin(radians / 2);
    return {std::cos(radians / 2), a.x * s, a.y * s, a.z * s};
}

SimQuaternion SimQuaternion::operator*(const SimQuaternion& o) const {
    return {w * o.w - x * o.x - y * o.y - z * o.z, w * o.x + x * o.w + y * o.z - z * o.y,
            w * o.y - x * o.z + y * o.w + z * o.x, w * o.z + x * o.y - y * o.x + z * o.w};
}

SimQuaternion SimQuaternion::normalized() const {
    double l = std::sqrt(w * w + x * x + y * y + z * z);
    if (!(l > 0) || !std::isfinite(l)) {
        return {};
    }
    return {w / l, x / l, y / l, z / l};
}

SimVector SimQuaternion::rotate(const SimVector& v) const {
    // v' = v + 2w(q × v) + 2 q × (q × v), with q the vector part.
    SimVector q{x, y, z};
    SimVector t = q.cross(v) * 2.0;
    return v + t * w + q.cross(t);
}

void SimQuaternion::relativeTurn(const SimQuaternion& to, SimVector* axis, double* radians) const {
    SimQuaternion r = (conjugate() * to).normalized();
    if (r.w < 0) {
        r = {-r.w, -r.x, -r.y, -r.z};
    }
    double angle = 2 * std::acos(std::clamp(r.w, -1.0, 1.0));
    double s = std::sqrt(std::max(0.0, 1 - r.w * r.w));
    *axis = s > 1e-9 ? SimVector{r.x / s, r.y / s, r.z / s} : SimVector{0, 0, 1};
    *radians = s > 1e-9 ? angle : 0;
}

SimBody::SimBody() : attitude_(flatAttitude(0)) {}

SimQuaternion SimBody::flatAttitude(double heading, bool screenUp) {
    SimQuaternion q = SimQuaternion::fromAxisAngle({0, 0, 1}, -(90 + heading) * kDegree);
    if (!screenUp) {
        q = q * SimQuaternion::fromAxisAngle({0, 1, 0}, std::numbers::pi);
    }
    return q;
}

SimQuaternion SimBody::uprightAttitude(double heading) {
    return SimQuaternion::fromAxisAngle({0, 0, 1}, -(90 + heading) * kDegree) *
           SimQuaternion::fromAxisAngle({1, 0, 0}, std::numbers::pi / 2);
}

void SimBody::place(const SimQuaternion& attitude, double now) {
    stateAt(now);
    script_.clear();
    attitude_ = attitude.normalized();
}

SimBody::Segment SimBody::segment(Kind kind, double duration) {
    Segment s;
    s.kind = kind;
    s.duration = duration;
    return s;
}

void SimBody::append(Segment segment, double now) {
    segment.duration = std::isfinite(segment.duration) ? std::max(0.0, segment.duration) : 0.0;
    segment.start = scriptEnd(std::max(now, latest_));
    script_.push_back(segment);
}

double SimBody::scriptEnd(double now) const {
    if (script_.empty()) {
        return now;
    }
    return std::max(now, script_.back().start + script_.back().duration);
}

void SimBody::hold(double duration, double now) {
    append(segment(Kind::Hold, duration), now);
}

void SimBody::lieFlat(double duration, double now, bool screenUp) {
    Segment s = segment(Kind::TurnTo, duration);
    s.turnKind = screenUp ? 3 : 4;
    append(s, now);
}

void SimBody::pickUp(double duration, double now) {
    Segment s = segment(Kind::TurnTo, duration);
    s.turnKind = 2;
    append(s, now);
}

void SimBody::rotate(const SimVector& deviceAxis, double degrees, double duration, double now) {
    if (!std::isfinite(degrees) || deviceAxis.length() == 0 || !std::isfinite(deviceAxis.length())) {
        return;
    }
    Segment s = segment(Kind::Rotate, duration);
    s.axis = deviceAxis.normalized();
    s.amount = degrees * kDegree;
    append(s, now);
}

void SimBody::turnToHeading(double heading, double duration, double now) {
    if (!std::isfinite(heading)) {
        return;
    }
    Segment s = segment(Kind::TurnTo, duration);
    s.amount = heading;
    s.turnKind = 1;
    append(s, now);
}

void SimBody::shake(const SimVector& deviceAxis, double amplitude, double frequency, double duration, double now) {
    if (!std::isfinite(amplitude) || !std::isfinite(frequency) || !std::isfinite(deviceAxis.length())) {
        return;
    }
    Segment s = segment(Kind::Shake, duration);
    s.axis = deviceAxis.normalized();
    s.amount = amplitude;
    s.frequency = frequency;
    append(s, now);
}

void SimBody::walk(double duration, double now) {
    append(segment(Kind::Walk, duration), now);
}

void SimBody::climb(double metres, double duration, double now) {
    if (!std::isfinite(metres)) {
        return;
    }
    Segment s = segment(Kind::Climb, duration);
    s.amount = metres;
    append(s, now);
}

void SimBody::vibrate(double duration, double now) {
    if (!(duration > 0) || !std::isfinite(duration)) {
        return;
    }
    motorRuns_.emplace_back(now, now + duration);
}

void SimBody::resolve(Segment& s) {
    s.resolved = true;
    s.from = attitude_;
    if (s.kind == Kind::Rotate) {
        s.turnAxis = s.axis;
        s.turnAngle = s.amount;
        return;
    }
    if (s.kind != Kind::TurnTo) {
        return;
    }
    SimQuaternion target = s.target;
    double heading = headingOf(attitude_);
    SimVector out = attitude_.rotate({0, 0, 1});
    switch (s.turnKind) {
    case 1:
        target = std::abs(out.z) > 0.7 ? flatAttitude(s.amount, out.z > 0) : uprightAttitude(s.amount);
        break;
    case 2:
        target = uprightAttitude(heading);
        break;
    case 3:
    case 4:
        target = flatAttitude(heading, s.turnKind == 3);
        break;
    default:
        break;
    }
    attitude_.relativeTurn(target, &s.turnAxis, &s.turnAngle);
}

void SimBody::finish(Segment& s) {
    if (s.kind == Kind::TurnTo || s.kind == Kind::Rotate) {
        attitude_ = (s.from * SimQuaternion::fromAxisAngle(s.turnAxis, s.turnAngle)).normalized();
    } else if (s.kind == Kind::Climb) {
        height_ += s.amount;
    }
}

SimBodyState SimBody::stateAt(double time) {
    if (!(time >= latest_)) { // also NaN
        time = latest_;
    }
    latest_ = time;
    while (!script_.empty()) {
        Segment& s = script_.front();
        if (!s.resolved) {
            resolve(s);
        }
        if (time < s.start + s.duration) {
            break;
        }
        finish(s);
        script_.pop_front();
    }

    SimBodyState state;
    state.time = time;
    state.attitude = attitude_;
    state.height = height_;
    if (!script_.empty() && time >= script_.front().start) {
        const Segment& s = script_.front();
        double tau = time - s.start;
        double f = s.duration > 0 ? tau / s.duration : 1.0;
        switch (s.kind) {
        case Kind::TurnTo:
        case Kind::Rotate:
            state.attitude = (s.from * SimQuaternion::fromAxisAngle(s.turnAxis, s.turnAngle * f)).normalized();
            if (s.duration > 0) {
                state.rotationRate = s.turnAxis * (s.turnAngle / s.duration);
            }
            break;
        case Kind::Shake:
            state.userAcceleration = s.axis * (s.amount * std::sin(2 * std::numbers::pi * s.frequency * tau));
            break;
        case Kind::Walk: {
            double up = kStepBounce * std::sin(2 * std::numbers::pi * kStepsPerSecond * tau);
            state.userAcceleration = attitude_.conjugate().rotate({0, 0, up});
            break;
        }
        case Kind::Climb:
            state.height = height_ + s.amount * f;
            break;
        case Kind::Hold:
            break;
        }
    }

    std::erase_if(motorRuns_, [&](const auto& run) { return run.second <= time; });
    for (const auto& run : motorRuns_) {
        if (time >= run.first) {
            double phase = 2 * std::numbers::pi * kMotorFrequency * (time - run.first);
            state.userAcceleration = state.userAcceleration + SimVector{kMotorAmplitude * std::sin(phase),
                                                                        kMotorAmplitude * std::sin(phase + 2.1),
                                                                        kMotorAmplitude * std::sin(phase + 4.2)};
            state.rotationRate = state.rotationRate + SimVector{kMotorWobble * std::sin(phase + 1.0),
                                                                kMotorWobble * std::sin(phase + 3.0), 0};
            state.vibrating = true;
            break;
        }
    }
    return state;
}
