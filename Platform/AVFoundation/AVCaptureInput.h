// AVCaptureInput and AVCaptureDeviceInput: the source side of a capture session. A device input
// wraps one capture device and offers one port of its media type.
#pragma once

#include <AVFoundation/AVCaptureDevice.h>

class AVCaptureInput;

class AVCaptureInputPort : public NSObject {
    NS_OBJECT(AVCaptureInputPort, NSObject)
public:
    AVCaptureInputPort() = default;
    AVCaptureInputPort(const Ref<AVCaptureInput>& input, Ref<NSString> mediaType)
        : input_(input), mediaType_(std::move(mediaType)) {}
    Ref<AVCaptureInput> input() const { return input_.lock(); }
    Ref<NSString> mediaType() const { return mediaType_; }
    bool isEnabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

private:
    Weak<AVCaptureInput> input_;
    Ref<NSString> mediaType_;
    bool enabled_ = true;
};

class AVCaptureInput : public NSObject {
    NS_OBJECT(AVCaptureInput, NSObject)
public:
    AVCaptureInput() = default;
    // Array of AVCaptureInputPort.
    Ref<NSArray> ports() const { return ports_; }

protected:
    Ref<NSArray> ports_ = NSArray::array();
};

class AVCaptureDeviceInput : public AVCaptureInput {
    NS_OBJECT(AVCaptureDeviceInput, AVCaptureInput)
public:
    AVCaptureDeviceInput() = default;
    // nil with an error when the device is nil or gone, or the app may not use the camera.
    static Ref<AVCaptureDeviceInput> deviceInputWithDeviceError(const Ref<AVCaptureDevice>& device,
                                                                Ref<NSError>* error);
    Ref<AVCaptureDevice> device() const { return device_; }

private:
    Ref<AVCaptureDevice> device_;
};
