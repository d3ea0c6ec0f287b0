#include <Diagnostics/PowerRadio/FunctionHelper.h>

#include <CoreMotion/CMMotionManager.h>
#include <CoreTelephony/CTTelephonyNetworkInfo.h>
#include <Darwin/Darwin.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

#include <regex>

NS_IMPLEMENT_CLASS(FunctionHelper, NSObject) {}

namespace {

std::string machine() {
    darwin::utsname name;
    return darwin::uname(&name) == 0 ? name.machine : std::string();
}

} // namespace

bool FunctionHelper::numbersIn(const std::string& identifier, const char* pattern, int& first, int& second) {
    std::smatch m;
    std::regex re(pattern);
    if (!std::regex_search(identifier, m, re)) {
        return false;
    }
    try {
        first = std::stoi(m[1]);
        second = std::stoi(m[2]);
    } catch (const std::exception&) {
        return false; // numbers too long to be a model's
    }
    return true;
}

bool FunctionHelper::greaterthaniPhone8() {
    int a = 0, b = 0;
    if (!numbersIn(machine(), "iPhone(\\d+),(\\d+)", a, b)) {
        return false;
    }
    NSLog("%d, %d", a, b);
    return a > 9;
}

bool FunctionHelper::has3DTouch() {
    int a = 0, b = 0;
    if (!numbersIn(machine(), "iPhone(\\d+),(\\d+)", a, b)) {
        return false;
    }
    NSLog("%d, %d", a, b);
    return a >= 8 && b > 0;
}

bool FunctionHelper::hasMute() {
    int a = 0, b = 0;
    if (!numbersIn(machine(), "iPad(\\d+),(\\d+)", a, b) || a < 5) {
        return true;
    }
    return b < 1;
}

bool FunctionHelper::hasProximity() {
    return machine().find("iPad") == std::string::npos;
}

bool FunctionHelper::hasSim() {
    auto provider = make<CTTelephonyNetworkInfo>()->subscriberCellularProvider();
    auto code = provider ? provider->mobileNetworkCode() : nullptr;
    return code && code->length() > 0;
}

bool FunctionHelper::hasCameraWithPosition(AVCaptureDevicePosition position) {
    auto devices = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo());
    for (const id& item : *devices) {
        auto device = cast<AVCaptureDevice>(item);
        if (device && device->position() == position) {
            return true;
        }
    }
    return false;
}

bool FunctionHelper::hasFlash() {
    auto device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo());
    return device && device->hasFlash();
}

bool FunctionHelper::hasGyroscope() {
    return make<CMMotionManager>()->isGyroAvailable();
}

bool FunctionHelper::hasMotion() {
    return make<CMMotionManager>()->isDeviceMotionAvailable();
}

bool FunctionHelper::hasAccelerometer() {
    return make<CMMotionManager>()->isAccelerometerAvailable();
}
