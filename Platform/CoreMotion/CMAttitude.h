// CMAttitude: the device's attitude relative to a reference frame, as a quaternion, a rotation
// matrix and the Euler angles roll (about y), pitch (about x) and yaw (about z), in radians.
// The reference frames (the platform's numbering): x arbitrary or towards north, z vertical.
#pragma once

#include <Runtime/NSObject.h>

using CMAttitudeReferenceFrame = NSUInteger;
inline constexpr CMAttitudeReferenceFrame CMAttitudeReferenceFrameXArbitraryZVertical = 1 << 0;
inline constexpr CMAttitudeReferenceFrame CMAttitudeReferenceFrameXArbitraryCorrectedZVertical = 1 << 1;
inline constexpr CMAttitudeReferenceFrame CMAttitudeReferenceFrameXMagneticNorthZVertical = 1 << 2;
inline constexpr CMAttitudeReferenceFrame CMAttitudeReferenceFrameXTrueNorthZVertical = 1 << 3;

struct CMQuaternion {
    double x = 0, y = 0, z = 0, w = 1;
};
// Turns reference-frame vectors into device vectors (rows m1x, m2x, m3x).
struct CMRotationMatrix {
    double m11 = 1, m12 = 0, m13 = 0;
    double m21 = 0, m22 = 1, m23 = 0;
    double m31 = 0, m32 = 0, m33 = 1;
};

class CMAttitude : public NSObject {
    NS_OBJECT(CMAttitude, NSObject)
public:
    // The attitude as the turn from the device frame to the reference frame.
    explicit CMAttitude(CMQuaternion deviceToReference = {});

    CMQuaternion quaternion() const noexcept { return quaternion_; }
    CMRotationMatrix rotationMatrix() const;
    double roll() const;
    double pitch() const;
    double yaw() const;
    // Makes this attitude relative to another one (the change since `attitude`).
    void multiplyByInverseOfAttitude(const Ref<CMAttitude>& attitude);
    id copy() const override;

private:
    CMQuaternion quaternion_;
};
