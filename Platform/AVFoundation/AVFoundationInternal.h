// What the framework's own sources share about the simulated device behind the capture devices. It
// includes the device, which an app does not see: only Platform/AVFoundation includes this header.
#pragma once

#include <AVFoundation/AVCaptureDevice.h>
#include <Device/SimDevice.h>

// The simulated camera behind `device` (the two enumerations give a position the same value).
inline SimDevice::CameraPosition simPosition(const AVCaptureDevice& device) {
    return static_cast<SimDevice::CameraPosition>(device.position());
}
