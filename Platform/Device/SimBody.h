// SimBody: the rigid body of the simulated device, the one physical truth behind every motion
// sensor. It knows the device's attitude, rotation rate, acceleration and height at any instant
// of the platform clock, from a script of motions that tests, scenarios and the operator append
// (lie flat, pick up, rotate about an axis, shake, turn to a heading, walk), and from the
// vibration motor, which shakes it while it runs.
//
// Frames. The world frame has x towards magnetic north, y towards the west and z up. The device
// frame has x to the right of the screen, y towards its top and z out of the screen. The attitude
// turns device vectors into world vectors. Accelerations are in g (9.81 m/s²), rotation rates in
// radians per second, heights in metres.
//
// Not thread-safe by itself: SimSensors owns the body and guards it.
#pragma once

#include <cmath>
#include <deque>
#include <vector>

struct SimVector {
    double x = 0, y = 0, z = 0;

    SimVector operator+(const SimVector& o) const { return {x + o.x, y + o.y, z + o.z}; }
    SimVector operator-(const SimVector& o) const { return {x - o.x, y - o.y, z - o.z}; }
    SimVector operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(const SimVector& o) const { return x * o.x + y * o.y + z * o.z; }
    SimVector cross(const SimVector& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double length() const { return std::sqrt(dot(*this)); }
    SimVector normalized() const {
        double l = length();
        return l > 0 ? *this * (1.0 / l) : SimVector{};
    }
};

struct SimQuaternion {
    double w = 1, x = 0, y = 0, z = 0;

    // A turn of `radians` about `axis` (right-handed; the axis need not be of unit length).
    static SimQuaternion fromAxisAngle(const SimVector& axis, double radians);
    SimQuaternion operator*(const SimQuaternion& o) const;
    SimQuaternion conjugate() const { return {w, -x, -y, -z}; }
    SimQuaternion normalized() const;
    SimVector rotate(const SimVector& v) const;
    // The turn that takes this attitude to `to`, in this attitude's own frame: axis and angle.
    void relativeTurn(const SimQuaternion& to, SimVector* axis, double* radians) const;
};

// The state of the body at one instant.
struct SimBodyState {
    double time = 0;            // platform clock uptime, seconds
    SimQuaternion attitude;     // device to world
    SimVector rotationRate;     // device frame, rad/s
    SimVector userAcceleration; // device frame, g (gravity excluded)
    double height = 0;          // metres above where the body started
    bool vibrating = false;     // the motor shakes the body now
};

class SimBody {
public:
    SimBody();

    // Attitudes the scripts use. `heading` is in degrees clockwise from magnetic north: the
    // direction of the device's top when flat, of its back when upright.
    static SimQuaternion flatAttitude(double heading, bool screenUp = true);
    static SimQuaternion uprightAttitude(double heading);

    // Sets the attitude at once and forgets the script (a test's starting position).
    void place(const SimQuaternion& attitude, double now);
    // Scripted motions, each starting when the one before ends (or now, when the body is at rest).
    void hold(double duration, double now);
    void lieFlat(double duration, double now, bool screenUp = true);
    void pickUp(double duration, double now);
    // Turns about an axis of the device frame by `degrees` at a steady rate.
    void rotate(const SimVector& deviceAxis, double degrees, double duration, double now);
    // Turns the body so that it faces `heading`, keeping it flat or upright as it is.
    void turnToHeading(double heading, double duration, double now);
    // Shakes along an axis of the device frame: a sine of `amplitude` g at `frequency` Hz.
    void shake(const SimVector& deviceAxis, double amplitude, double frequency, double duration, double now);
    // Walks for `duration`: a step bounce of 0.2 g at two steps a second.
    void walk(double duration, double now);
    // Climbs (or descends, for a negative height) at a steady speed.
    void climb(double metres, double duration, double now);
    // The vibration motor runs from now for `duration` (a working motor only; the caller decides).
    void vibrate(double duration, double now);

    // When the script in force ends (uptime seconds); `now` when idle.
    double scriptEnd(double now) const;

    // The state at `time`. Times should not go back; an earlier time is read as the latest one seen.
    SimBodyState stateAt(double time);

private:
    enum class Kind { Hold, TurnTo, Rotate, Shake, Walk, Climb };
    struct Segment {
        Kind kind = Kind::Hold;
        double start = 0;
        double duration = 0;
        SimQuaternion target; // TurnTo: the end attitude (resolved when the segment starts)
        bool resolved = false;
        SimVector axis;       // Rotate, Shake: device axis (unit)
        double amount = 0;    // Rotate: radians; Shake: amplitude; Climb: metres; TurnTo: heading
        double frequency = 0; // Shake
        int turnKind = 0;     // TurnTo: 0 attitude given, 1 heading kept flat/upright
        // Resolved at the start of the segment.
        SimQuaternion from;
        SimVector turnAxis;
        double turnAngle = 0;
    };
    static Segment segment(Kind kind, double duration);
    void append(Segment segment, double now);
    void finish(Segment& segment);
    void resolve(Segment& segment);

    SimQuaternion attitude_;
    double height_ = 0;
    double latest_ = 0;
    std::deque<Segment> script_;
    std::vector<std::pair<double, double>> motorRuns_; // start, end
};
