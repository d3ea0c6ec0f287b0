// FunctionHelper: hardware-capability probes by hardware identifier (the `machine` field of uname,
// such as "iPhone10,3") and by the platform's own answers (telephony, cameras, motion).
#pragma once

#include <AVFoundation/AVCaptureDevice.h>
#include <Runtime/NSObject.h>

class FunctionHelper : public NSObject {
    NS_OBJECT(FunctionHelper, NSObject)
public:
    FunctionHelper() = default;
    // iPhone10,x and later ("iPhone(\d+),(\d+)", first number above 9).
    static bool greaterthaniPhone8();
    static bool has3DTouch();
    static bool hasMute();
    static bool hasProximity();
    static bool hasSim();
    // A video capture device at `position` is there.
    static bool hasCameraWithPosition(AVCaptureDevicePosition position);
    // The default video capture device has a flash.
    static bool hasFlash();
    static bool hasGyroscope();
    static bool hasMotion();
    static bool hasAccelerometer();
    // The two numbers of `pattern`'s first match in `identifier`, or nothing.
    static bool numbersIn(const std::string& identifier, const char* pattern, int& first, int& second);
};
