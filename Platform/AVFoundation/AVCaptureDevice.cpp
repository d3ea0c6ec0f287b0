// AVCaptureDevice over the simulated cameras (SimCamera, SimDevice).
#include <AVFoundation/AVCaptureDevice.h>
#include <AVFoundation/AVFoundationInternal.h>

#include <Device/SimCamera.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(AVCaptureDevice, NSObject) {}

const Ref<NSString>& AVMediaTypeVideo() {
    static const Ref<NSString> s = NSString::from("vide");
    return s;
}
const Ref<NSString>& AVMediaTypeAudio() {
    static const Ref<NSString> s = NSString::from("soun");
    return s;
}
const Ref<NSString>& AVMediaTypeMetadata() {
    static const Ref<NSString> s = NSString::from("meta");
    return s;
}
const Ref<NSString>& AVFoundationErrorDomain() {
    static const Ref<NSString> s = NSString::from("AVFoundationErrorDomain");
    return s;
}

namespace {

SimCamera& sim() {
    return SimCamera::current();
}

Ref<NSError> avError(NSInteger code, const char* description) {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(NSString::from(description), NSString::from("NSLocalizedDescription"));
    return NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), code, info);
}

} // namespace

AVAuthorizationStatus AVCaptureDevice::authorizationStatusForMediaType(const Ref<NSString>& mediaType) {
    if (!mediaType || (!mediaType->isEqual(AVMediaTypeVideo()) && !mediaType->isEqual(AVMediaTypeAudio()))) {
        NSException::raise(NSInvalidArgumentException, "authorizationStatusForMediaType: unknown media type");
    }
    if (mediaType->isEqual(AVMediaTypeAudio())) {
        return AVAuthorizationStatusAuthorized;
    }
    return static_cast<AVAuthorizationStatus>(sim().authorization());
}

void AVCaptureDevice::requestAccessForMediaTypeCompletionHandler(const Ref<NSString>& mediaType,
                                                                 std::function<void(bool granted)> handler) {
    if (!mediaType || !handler) {
        NSException::raise(NSInvalidArgumentException, "requestAccessForMediaType: needs a media type and a handler");
    }
    if (mediaType->isEqual(AVMediaTypeAudio())) {
        // Microphone access is always granted here.
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                       [handler = std::move(handler)] { handler(true); });
        return;
    }
    sim().askAuthorization(std::move(handler));
}

Ref<AVCaptureDevice> AVCaptureDevice::deviceFor(AVCaptureDevicePosition position, bool audio) {
    struct Devices {
        std::mutex mutex;
        Ref<AVCaptureDevice> each[3];
    };
    static Devices* devices = [] {
        auto* made = new Devices;
        // The device objects live as long as the process; a test that ends leaves them as a process
        // that starts has them, as it leaves the simulated cameras behind them.
        DispatchClock::addTestEndHandler([made] {
            std::lock_guard lock(made->mutex);
            for (auto& device : made->each) {
                if (device) {
                    device->startAfresh();
                }
            }
        });
        return made;
    }();
    std::lock_guard lock(devices->mutex);
    size_t i = audio ? 2 : (position == AVCaptureDevicePositionFront ? 1 : 0);
    auto& device = devices->each[i];
    if (!device) {
        device = make<AVCaptureDevice>();
        device->position_ = audio ? AVCaptureDevicePositionUnspecified : position;
        device->audio_ = audio;
    }
    return device;
}

void AVCaptureDevice::startAfresh() {
    std::lock_guard lock(mutex_);
    locked_ = false;
    torchMode_ = AVCaptureTorchModeOff;
    flashMode_ = AVCaptureFlashModeOff;
    focusMode_ = AVCaptureFocusModeContinuousAutoFocus;
    zoom_ = 1;
    wbMode_ = AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance;
    gainsSet_ = false;
    runningSessions_.clear();
}

void AVCaptureDevice::sessionDidStartRunning(const AVCaptureSession* session) {
    std::lock_guard lock(mutex_);
    runningSessions_.push_back(session);
}

void AVCaptureDevice::sessionDidStopRunning(const AVCaptureSession* session) {
    {
        std::lock_guard lock(mutex_);
        // A session that ran across a test's end is no longer counted: the camera started afresh.
        auto it = std::find(runningSessions_.begin(), runningSessions_.end(), session);
        if (it == runningSessions_.end()) {
            return;
        }
        runningSessions_.erase(it);
        if (audio_ || !runningSessions_.empty() || locked_) {
            return;
        }
        focusMode_ = AVCaptureFocusModeContinuousAutoFocus;
        zoom_ = 1;
    }
    if (whiteBalanceMode() != AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance) {
        takeWhiteBalanceMode(AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance);
    }
}

Ref<NSArray> AVCaptureDevice::devicesWithMediaType(const Ref<NSString>& mediaType) {
    auto list = NSMutableArray::array();
    if (mediaType && mediaType->isEqual(AVMediaTypeVideo())) {
        for (const auto& camera : SimDevice::current().cameras()) {
            if (camera.present) {
                list->addObject(deviceFor(static_cast<AVCaptureDevicePosition>(camera.position), false));
            }
        }
    } else if (mediaType && mediaType->isEqual(AVMediaTypeAudio())) {
        list->addObject(deviceFor(AVCaptureDevicePositionUnspecified, true));
    }
    return list;
}

Ref<NSArray> AVCaptureDevice::devices() {
    auto list = NSMutableArray::arrayWithArray(devicesWithMediaType(AVMediaTypeVideo()));
    list->addObjectsFromArray(devicesWithMediaType(AVMediaTypeAudio()));
    return list;
}

Ref<AVCaptureDevice> AVCaptureDevice::defaultDeviceWithMediaType(const Ref<NSString>& mediaType) {
    auto list = devicesWithMediaType(mediaType);
    return list->count() ? cast<AVCaptureDevice>(list->objectAtIndex(0)) : nullptr;
}

Ref<AVCaptureDevice> AVCaptureDevice::deviceWithUniqueID(const Ref<NSString>& uniqueID) {
    auto all = devices();
    for (const id& item : *all) {
        auto device = cast<AVCaptureDevice>(item);
        if (device && uniqueID && device->uniqueID()->isEqual(uniqueID)) {
            return device;
        }
    }
    return nullptr;
}

Ref<NSString> AVCaptureDevice::uniqueID() const {
    if (audio_) {
        return NSString::from("com.apple.avfoundation.avcapturedevice.built-in_audio:0");
    }
    return NSString::from(position_ == AVCaptureDevicePositionFront
                              ? "com.apple.avfoundation.avcapturedevice.built-in_video:1"
                              : "com.apple.avfoundation.avcapturedevice.built-in_video:0");
}

Ref<NSString> AVCaptureDevice::localizedName() const {
    if (audio_) {
        return NSString::from("iPhone Microphone");
    }
    return NSString::from(position_ == AVCaptureDevicePositionFront ? "Front Camera" : "Back Camera");
}

Ref<NSString> AVCaptureDevice::modelID() const {
    return NSString::from(audio_ ? "Built-In Microphone" : "Built-In Camera");
}

bool AVCaptureDevice::hasMediaType(const Ref<NSString>& mediaType) const {
    return mediaType && mediaType->isEqual(audio_ ? AVMediaTypeAudio() : AVMediaTypeVideo());
}

bool AVCaptureDevice::isConnected() const {
    if (audio_) {
        return true;
    }
    auto camera = SimDevice::current().camera(simPosition(*this));
    return camera && camera->present;
}

bool AVCaptureDevice::lockForConfiguration(Ref<NSError>* error) {
    if (!isConnected()) {
        if (error) {
            *error = avError(AVErrorDeviceNotConnected, "Cannot Complete Action");
        }
        return false;
    }
    if (sim().refusesConfigurationLock()) {
        if (error) {
            *error = avError(AVErrorDeviceLockedForConfigurationByAnotherProcess, "Device Not Available");
        }
        return false;
    }
    std::lock_guard lock(mutex_);
    locked_ = true;
    return true;
}

void AVCaptureDevice::unlockForConfiguration() {
    std::lock_guard lock(mutex_);
    locked_ = false;
}

bool AVCaptureDevice::isLockedForConfiguration() const {
    std::lock_guard lock(mutex_);
    return locked_;
}

void AVCaptureDevice::requireLock(const char* what) const {
    if (!isLockedForConfiguration()) {
        NSException::raise(NSGenericException,
                           std::string("*** -[AVCaptureDevice ") + what + "] Must call lockForConfiguration: first");
    }
}

// Torch and flash.

bool AVCaptureDevice::hasTorch() const {
    return !audio_ && position_ == AVCaptureDevicePositionBack && isConnected() && sim().hasTorch();
}

bool AVCaptureDevice::isTorchAvailable() const {
    return hasTorch();
}

bool AVCaptureDevice::isTorchActive() const {
    return hasTorch() && torchMode() == AVCaptureTorchModeOn;
}

bool AVCaptureDevice::isTorchModeSupported(AVCaptureTorchMode mode) const {
    return hasTorch() ? (mode >= AVCaptureTorchModeOff && mode <= AVCaptureTorchModeAuto)
                      : mode == AVCaptureTorchModeOff;
}

AVCaptureTorchMode AVCaptureDevice::torchMode() const {
    std::lock_guard lock(mutex_);
    return torchMode_;
}

void AVCaptureDevice::setTorchMode(AVCaptureTorchMode mode) {
    if (!isTorchModeSupported(mode)) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureDevice setTorchMode:] Unsupported torch mode");
    }
    requireLock("setTorchMode:");
    {
        std::lock_guard lock(mutex_);
        torchMode_ = mode;
    }
    sim().setTorchOn(mode == AVCaptureTorchModeOn);
}

float AVCaptureDevice::torchLevel() const {
    return sim().torchLit() ? 1.0f : 0.0f;
}

bool AVCaptureDevice::hasFlash() const {
    return !audio_ && position_ == AVCaptureDevicePositionBack && isConnected() && sim().hasFlash();
}

bool AVCaptureDevice::isFlashAvailable() const {
    return hasFlash();
}

bool AVCaptureDevice::isFlashModeSupported(AVCaptureFlashMode mode) const {
    return hasFlash() ? (mode >= AVCaptureFlashModeOff && mode <= AVCaptureFlashModeAuto)
                      : mode == AVCaptureFlashModeOff;
}

AVCaptureFlashMode AVCaptureDevice::flashMode() const {
    std::lock_guard lock(mutex_);
    return flashMode_;
}

void AVCaptureDevice::setFlashMode(AVCaptureFlashMode mode) {
    if (!isFlashModeSupported(mode)) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureDevice setFlashMode:] Unsupported flash mode");
    }
    requireLock("setFlashMode:");
    std::lock_guard lock(mutex_);
    flashMode_ = mode;
}

// Focus and zoom.

bool AVCaptureDevice::isFocusModeSupported(AVCaptureFocusMode mode) const {
    if (audio_) {
        return false;
    }
    // The front camera has a fixed focus on many models; here it can focus once or continuously.
    return mode >= AVCaptureFocusModeLocked && mode <= AVCaptureFocusModeContinuousAutoFocus;
}

AVCaptureFocusMode AVCaptureDevice::focusMode() const {
    std::lock_guard lock(mutex_);
    return focusMode_;
}

void AVCaptureDevice::setFocusMode(AVCaptureFocusMode mode) {
    if (!isFocusModeSupported(mode)) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureDevice setFocusMode:] Unsupported focus mode");
    }
    requireLock("setFocusMode:");
    std::lock_guard lock(mutex_);
    focusMode_ = mode;
}

bool AVCaptureDevice::isFocusPointOfInterestSupported() const {
    return !audio_;
}

double AVCaptureDevice::videoZoomFactor() const {
    std::lock_guard lock(mutex_);
    return zoom_;
}

double AVCaptureDevice::maxVideoZoomFactor() const {
    return audio_ ? 1.0 : (position_ == AVCaptureDevicePositionBack ? 16.0 : 4.0);
}

void AVCaptureDevice::setVideoZoomFactor(double factor) {
    if (!std::isfinite(factor) || factor < 1.0 || factor > maxVideoZoomFactor()) {
        NSException::raise(NSRangeException, "*** -[AVCaptureDevice setVideoZoomFactor:] Factor out of range");
    }
    requireLock("setVideoZoomFactor:");
    std::lock_guard lock(mutex_);
    zoom_ = factor;
}

// White balance.

bool AVCaptureDevice::isWhiteBalanceModeSupported(AVCaptureWhiteBalanceMode mode) const {
    if (audio_) {
        return false;
    }
    if (mode == AVCaptureWhiteBalanceModeLocked) {
        return sim().lockedWhiteBalanceSupported(simPosition(*this));
    }
    return mode == AVCaptureWhiteBalanceModeAutoWhiteBalance ||
           mode == AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance;
}

AVCaptureWhiteBalanceMode AVCaptureDevice::whiteBalanceMode() const {
    std::lock_guard lock(mutex_);
    return wbMode_;
}

void AVCaptureDevice::setWhiteBalanceMode(AVCaptureWhiteBalanceMode mode) {
    if (!isWhiteBalanceModeSupported(mode)) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureDevice setWhiteBalanceMode:] Unsupported white balance mode");
    }
    requireLock("setWhiteBalanceMode:");
    takeWhiteBalanceMode(mode);
}

void AVCaptureDevice::takeWhiteBalanceMode(AVCaptureWhiteBalanceMode mode) {
    willChangeValueForKey("whiteBalanceMode"_ns);
    {
        std::lock_guard lock(mutex_);
        wbMode_ = mode;
    }
    didChangeValueForKey("whiteBalanceMode"_ns);
    if (mode != AVCaptureWhiteBalanceModeLocked) {
        // The automatic modes settle on the light at once.
        auto neutral = sim().neutralGains();
        setGains({neutral.red, neutral.green, neutral.blue});
    }
    if (mode == AVCaptureWhiteBalanceModeAutoWhiteBalance) {
        willChangeValueForKey("whiteBalanceMode"_ns);
        {
            std::lock_guard lock(mutex_);
            wbMode_ = AVCaptureWhiteBalanceModeLocked;
        }
        didChangeValueForKey("whiteBalanceMode"_ns);
    }
}

AVCaptureWhiteBalanceGains AVCaptureDevice::deviceWhiteBalanceGains() const {
    {
        std::lock_guard lock(mutex_);
        if (gainsSet_) {
            return gains_;
        }
    }
    auto neutral = sim().neutralGains();
    return {neutral.red, neutral.green, neutral.blue};
}

float AVCaptureDevice::maxWhiteBalanceGain() const {
    return SimCamera::kMaxWhiteBalanceGain;
}

void AVCaptureDevice::setGains(AVCaptureWhiteBalanceGains gains) {
    willChangeValueForKey("deviceWhiteBalanceGains"_ns);
    {
        std::lock_guard lock(mutex_);
        gains_ = gains;
        gainsSet_ = true;
    }
    didChangeValueForKey("deviceWhiteBalanceGains"_ns);
}

void AVCaptureDevice::setWhiteBalanceModeLockedWithDeviceWhiteBalanceGainsCompletionHandler(
    AVCaptureWhiteBalanceGains gains, std::function<void(double syncTime)> handler) {
    float max = maxWhiteBalanceGain();
    for (float g : {gains.redGain, gains.greenGain, gains.blueGain}) {
        if (!std::isfinite(g) || g < 1.0f || g > max) {
            NSException::raise(NSInvalidArgumentException,
                               "*** -[AVCaptureDevice setWhiteBalanceModeLockedWithDeviceWhiteBalanceGains:"
                               "completionHandler:] Gains must be between 1.0 and maxWhiteBalanceGain");
        }
    }
    if (!isWhiteBalanceModeSupported(AVCaptureWhiteBalanceModeLocked)) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureDevice setWhiteBalanceModeLocked...] "
                                                       "Unsupported white balance mode");
    }
    requireLock("setWhiteBalanceModeLockedWithDeviceWhiteBalanceGains:completionHandler:");
    if (whiteBalanceMode() != AVCaptureWhiteBalanceModeLocked) {
        willChangeValueForKey("whiteBalanceMode"_ns);
        {
            std::lock_guard lock(mutex_);
            wbMode_ = AVCaptureWhiteBalanceModeLocked;
        }
        didChangeValueForKey("whiteBalanceMode"_ns);
    }
    setGains(gains);
    if (handler) {
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                       [handler = std::move(handler)] { handler(DispatchClock::uptime()); });
    }
}

AVCaptureWhiteBalanceTemperatureAndTintValues
AVCaptureDevice::temperatureAndTintValuesForDeviceWhiteBalanceGains(AVCaptureWhiteBalanceGains gains) const {
    double kelvin = 0, tint = 0;
    SimCamera::temperatureAndTintForGains({gains.redGain, gains.greenGain, gains.blueGain}, &kelvin, &tint);
    return {static_cast<float>(kelvin), static_cast<float>(tint)};
}

AVCaptureWhiteBalanceGains AVCaptureDevice::deviceWhiteBalanceGainsForTemperatureAndTintValues(
    AVCaptureWhiteBalanceTemperatureAndTintValues values) const {
    auto g = SimCamera::gainsForTemperatureAndTint(values.temperature, values.tint);
    return {g.red, g.green, g.blue};
}

void AVCaptureDevice::whiteBalanceTick(double time) {
    if (audio_ || whiteBalanceMode() != AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance) {
        return;
    }
    // The automatic white balance hunts a little about the light's own gains.
    auto neutral = sim().neutralGains();
    double drift = 1.0 + 0.03 * std::sin(time * 1.3);
    AVCaptureWhiteBalanceGains next{static_cast<float>(neutral.red * drift), neutral.green,
                                    static_cast<float>(neutral.blue / drift)};
    float least = std::min({next.redGain, next.greenGain, next.blueGain});
    next.redGain /= least;
    next.greenGain /= least;
    next.blueGain /= least;
    auto now = deviceWhiteBalanceGains();
    if (std::fabs(now.redGain - next.redGain) < 1e-4f && std::fabs(now.blueGain - next.blueGain) < 1e-4f) {
        return;
    }
    setGains(next);
}

id AVCaptureDevice::valueForKey(const Ref<NSString>& key) {
    if (key && key->str() == "whiteBalanceMode") {
        return NSNumber::numberWithInteger(whiteBalanceMode());
    }
    if (key && key->str() == "deviceWhiteBalanceGains") {
        return NSValue::valueWithValue(deviceWhiteBalanceGains());
    }
    if (key && key->str() == "torchMode") {
        return NSNumber::numberWithInteger(torchMode());
    }
    if (key && key->str() == "position") {
        return NSNumber::numberWithInteger(position());
    }
    return NSObject::valueForKey(key);
}
