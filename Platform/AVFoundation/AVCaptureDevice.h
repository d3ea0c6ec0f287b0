// AVCaptureDevice: the cameras (and the microphone) of the simulated device, as the capture
// framework shows them: camera access and its prompt, the ordered device list with positions,
// the default device, the configuration lock, torch and flash, focus and zoom, and white balance
// (modes, gains, the conversions to and from temperature and tint, the locked-with-gains setter).
//
// One device object per camera for the whole process, so that key-value observers of one see
// every change. "whiteBalanceMode" and "deviceWhiteBalanceGains" (an NSValue of
// AVCaptureWhiteBalanceGains) are observable; while a session runs the camera, its continuous
// automatic white balance follows the light (and drifts a little about it) and the changes are
// announced from the camera's own thread, as on the platform.
//
// Setters that need the configuration lock raise NSGenericException without it; values out of
// range raise NSInvalidArgumentException. Thread-safe.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSError.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>

#include <functional>
#include <mutex>
#include <vector>

// Media types.
const Ref<NSString>& AVMediaTypeVideo(); // "vide"
const Ref<NSString>& AVMediaTypeAudio(); // "soun"
const Ref<NSString>& AVMediaTypeMetadata();
// The framework's error domain and the codes it uses here.
const Ref<NSString>& AVFoundationErrorDomain();
enum AVError : NSInteger {
    AVErrorUnknown = -11800,
    AVErrorDeviceNotConnected = -11814,
    AVErrorSessionNotRunning = -11803,
    AVErrorDiskFull = -11807,
    AVErrorMaximumDurationReached = -11810,
    AVErrorMaximumFileSizeReached = -11811,
    AVErrorDeviceWasDisconnected = -11808,
    AVErrorApplicationIsNotAuthorized = -11852,
    AVErrorDeviceLockedForConfigurationByAnotherProcess = -11817,
};

enum AVAuthorizationStatus : NSInteger {
    AVAuthorizationStatusNotDetermined = 0,
    AVAuthorizationStatusRestricted = 1,
    AVAuthorizationStatusDenied = 2,
    AVAuthorizationStatusAuthorized = 3,
};
enum AVCaptureDevicePosition : NSInteger {
    AVCaptureDevicePositionUnspecified = 0,
    AVCaptureDevicePositionBack = 1,
    AVCaptureDevicePositionFront = 2,
};
enum AVCaptureTorchMode : NSInteger { AVCaptureTorchModeOff = 0, AVCaptureTorchModeOn = 1, AVCaptureTorchModeAuto = 2 };
enum AVCaptureFlashMode : NSInteger { AVCaptureFlashModeOff = 0, AVCaptureFlashModeOn = 1, AVCaptureFlashModeAuto = 2 };
enum AVCaptureFocusMode : NSInteger {
    AVCaptureFocusModeLocked = 0,
    AVCaptureFocusModeAutoFocus = 1,
    AVCaptureFocusModeContinuousAutoFocus = 2,
};
enum AVCaptureWhiteBalanceMode : NSInteger {
    AVCaptureWhiteBalanceModeLocked = 0,
    AVCaptureWhiteBalanceModeAutoWhiteBalance = 1,
    AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance = 2,
};

struct AVCaptureWhiteBalanceGains {
    float redGain = 1;
    float greenGain = 1;
    float blueGain = 1;
};
struct AVCaptureWhiteBalanceTemperatureAndTintValues {
    float temperature = 0;
    float tint = 0;
};
template <>
struct NSObjCType<AVCaptureWhiteBalanceGains> {
    static std::string encoding() { return "{AVCaptureWhiteBalanceGains=fff}"; }
};

class AVCaptureSession;

class AVCaptureDevice : public NSObject {
    NS_OBJECT(AVCaptureDevice, NSObject)
public:
    AVCaptureDevice() = default;

    // Camera access. The answer of the prompt arrives off the main thread.
    static AVAuthorizationStatus authorizationStatusForMediaType(const Ref<NSString>& mediaType);
    static void requestAccessForMediaTypeCompletionHandler(const Ref<NSString>& mediaType,
                                                           std::function<void(bool granted)> handler);

    // The cameras that are there now, back then front; the microphone for audio.
    static Ref<NSArray> devicesWithMediaType(const Ref<NSString>& mediaType);
    static Ref<NSArray> devices();
    // The back camera (else the front one) for video; the microphone for audio; nil when none.
    static Ref<AVCaptureDevice> defaultDeviceWithMediaType(const Ref<NSString>& mediaType);
    static Ref<AVCaptureDevice> deviceWithUniqueID(const Ref<NSString>& uniqueID);

    Ref<NSString> uniqueID() const;
    Ref<NSString> localizedName() const;
    Ref<NSString> modelID() const;
    AVCaptureDevicePosition position() const noexcept { return position_; }
    bool hasMediaType(const Ref<NSString>& mediaType) const;
    // The device is still attached (a camera that vanished is not).
    bool isConnected() const;
    bool isAudio() const noexcept { return audio_; }

    // The configuration lock: false with an error when the camera is gone or refuses it.
    [[nodiscard]] bool lockForConfiguration(Ref<NSError>* error);
    void unlockForConfiguration();
    bool isLockedForConfiguration() const;

    // Torch and flash (the back camera's LED).
    bool hasTorch() const;
    bool isTorchAvailable() const;
    bool isTorchActive() const;
    bool isTorchModeSupported(AVCaptureTorchMode mode) const;
    AVCaptureTorchMode torchMode() const;
    void setTorchMode(AVCaptureTorchMode mode);
    float torchLevel() const;
    bool hasFlash() const;
    bool isFlashAvailable() const;
    bool isFlashModeSupported(AVCaptureFlashMode mode) const;
    AVCaptureFlashMode flashMode() const;
    void setFlashMode(AVCaptureFlashMode mode);

    // Focus and zoom.
    bool isFocusModeSupported(AVCaptureFocusMode mode) const;
    AVCaptureFocusMode focusMode() const;
    void setFocusMode(AVCaptureFocusMode mode);
    bool isFocusPointOfInterestSupported() const;
    double videoZoomFactor() const;
    void setVideoZoomFactor(double factor);
    double maxVideoZoomFactor() const;

    // White balance.
    bool isWhiteBalanceModeSupported(AVCaptureWhiteBalanceMode mode) const;
    AVCaptureWhiteBalanceMode whiteBalanceMode() const;
    void setWhiteBalanceMode(AVCaptureWhiteBalanceMode mode);
    AVCaptureWhiteBalanceGains deviceWhiteBalanceGains() const;
    float maxWhiteBalanceGain() const;
    // Locks the white balance at `gains`; each must lie in 1...maxWhiteBalanceGain. The handler
    // runs on the camera's thread once the gains are applied.
    void
    setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(AVCaptureWhiteBalanceGains gains,
                                                                          std::function<void(double syncTime)> handler);
    AVCaptureWhiteBalanceTemperatureAndTintValues
    temperatureAndTintValuesForDeviceWhiteBalanceGains(AVCaptureWhiteBalanceGains gains) const;
    AVCaptureWhiteBalanceGains
    deviceWhiteBalanceGainsForTemperatureAndTintValues(AVCaptureWhiteBalanceTemperatureAndTintValues values) const;

    id valueForKey(const Ref<NSString>& key) override;

    // For the capture pipeline: one step of the continuous white balance (called from the camera's
    // thread while a session runs it).
    void whiteBalanceTick(double time);
    // For the sessions: a session starts, or stops, taking its frames from this camera. When the
    // last one stops and the configuration lock is not held, the application has let go of the
    // camera, and it goes back to continuous white balance and focus at no zoom: the next screen
    // does not meet the gains, focus or zoom an earlier one locked. (The torch stays as it is: it
    // lights without a session.)
    void sessionDidStartRunning(const AVCaptureSession* session);
    void sessionDidStopRunning(const AVCaptureSession* session);

private:
    static Ref<AVCaptureDevice> deviceFor(AVCaptureDevicePosition position, bool audio);
    void requireLock(const char* what) const;
    void setGains(AVCaptureWhiteBalanceGains gains);
    void takeWhiteBalanceMode(AVCaptureWhiteBalanceMode mode);
    // Everything as a process that starts finds it, silently (no observer outlives a test).
    void startAfresh();

    AVCaptureDevicePosition position_ = AVCaptureDevicePositionUnspecified;
    bool audio_ = false;
    mutable std::mutex mutex_;
    bool locked_ = false;
    AVCaptureTorchMode torchMode_ = AVCaptureTorchModeOff;
    AVCaptureFlashMode flashMode_ = AVCaptureFlashModeOff;
    AVCaptureFocusMode focusMode_ = AVCaptureFocusModeContinuousAutoFocus;
    double zoom_ = 1;
    AVCaptureWhiteBalanceMode wbMode_ = AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance;
    AVCaptureWhiteBalanceGains gains_;
    bool gainsSet_ = false;
    std::vector<const AVCaptureSession*> runningSessions_;
};
