#include <CoreMotion/CMAttitude.h>

#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(CMAttitude, NSObject) {
    b.readonlyProperty("roll", &CMAttitude::roll);
    b.readonlyProperty("pitch", &CMAttitude::pitch);
    b.readonlyProperty("yaw", &CMAttitude::yaw);
}

namespace {

struct Vec {
    double x, y, z;
};

// The device axis `v` in the reference frame.
Vec turn(const CMQuaternion& q, Vec v) {
    Vec t{2 * (q.y * v.z - q.z * v.y), 2 * (q.z * v.x - q.x * v.z), 2 * (q.x * v.y - q.y * v.x)};
    return {v.x + q.w * t.x + (q.y * t.z - q.z * t.y), v.y + q.w * t.y + (q.z * t.x - q.x * t.z),
            v.z + q.w * t.z + (q.x * t.y - q.y * t.x)};
}

} // namespace

CMAttitude::CMAttitude(CMQuaternion deviceToReference) : quaternion_(deviceToReference) {}

CMRotationMatrix CMAttitude::rotationMatrix() const {
    Vec x = turn(quaternion_, {1, 0, 0});
    Vec y = turn(quaternion_, {0, 1, 0});
    Vec z = turn(quaternion_, {0, 0, 1});
    // Rows: the device axes in the reference frame, so that a reference vector times the matrix
    // gives its device coordinates.
    return {x.x, x.y, x.z, y.x, y.y, y.z, z.x, z.y, z.z};
}

double CMAttitude::pitch() const {
    return std::asin(std::clamp(turn(quaternion_, {0, 1, 0}).z, -1.0, 1.0));
}

double CMAttitude::roll() const {
    return std::atan2(-turn(quaternion_, {1, 0, 0}).z, turn(quaternion_, {0, 0, 1}).z);
}

double CMAttitude::yaw() const {
    Vec y = turn(quaternion_, {0, 1, 0});
    return std::atan2(-y.x, y.y);
}

void CMAttitude::multiplyByInverseOfAttitude(const Ref<CMAttitude>& attitude) {
    if (!attitude) {
        return;
    }
    const CMQuaternion& a = attitude->quaternion_;
    CMQuaternion i{-a.x, -a.y, -a.z, a.w};
    const CMQuaternion& q = quaternion_;
    quaternion_ = {i.w * q.x + i.x * q.w + i.y * q.z - i.z * q.y, i.w * q.y - i.x * q.z + i.y * q.w + i.z * q.x,
                   i.w * q.z + i.x * q.y - i.y * q.x + i.z * q.w, i.w * q.w - i.x * q.x - i.y * q.y - i.z * q.z};
}

id CMAttitude::copy() const {
    return make<CMAttitude>(quaternion_);
}
