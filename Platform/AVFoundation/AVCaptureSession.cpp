// AVCaptureSession, AVCaptureConnection and AVCaptureOutput: wiring, presets, running on the
// camera thread.
#include <AVFoundation/AVCaptureSession.h>
#include <AVFoundation/AVFoundationInternal.h>
#include <Device/SimCamera.h>

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <set>

NS_IMPLEMENT_CLASS(AVCaptureConnection, NSObject) {}
NS_IMPLEMENT_CLASS(AVCaptureOutput, NSObject) {}
NS_IMPLEMENT_CLASS(AVCaptureSession, NSObject) {}

#define DX_STRING_CONSTANT(name, text)                                                                                 \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString> s = NSString::from(text);                                                           \
        return s;                                                                                                      \
    }

DX_STRING_CONSTANT(AVCaptureSessionPresetPhoto, "AVCaptureSessionPresetPhoto")
DX_STRING_CONSTANT(AVCaptureSessionPresetHigh, "AVCaptureSessionPresetHigh")
DX_STRING_CONSTANT(AVCaptureSessionPresetMedium, "AVCaptureSessionPresetMedium")
DX_STRING_CONSTANT(AVCaptureSessionPresetLow, "AVCaptureSessionPresetLow")
DX_STRING_CONSTANT(AVCaptureSessionPreset640x480, "AVCaptureSessionPreset640x480")
DX_STRING_CONSTANT(AVCaptureSessionPreset1280x720, "AVCaptureSessionPreset1280x720")
DX_STRING_CONSTANT(AVCaptureSessionDidStartRunningNotification, "AVCaptureSessionDidStartRunningNotification")
DX_STRING_CONSTANT(AVCaptureSessionDidStopRunningNotification, "AVCaptureSessionDidStopRunningNotification")
DX_STRING_CONSTANT(AVCaptureSessionRuntimeErrorNotification, "AVCaptureSessionRuntimeErrorNotification")
DX_STRING_CONSTANT(AVCaptureSessionErrorKey, "AVCaptureSessionErrorKey")

namespace {

constexpr double kTickInterval = 0.1;

struct PresetSize {
    const Ref<NSString>& (*name)();
    int width, height;
};
const PresetSize kPresets[] = {
    {AVCaptureSessionPresetPhoto, 768, 1024},  {AVCaptureSessionPresetHigh, 720, 1280},
    {AVCaptureSessionPresetMedium, 360, 480},  {AVCaptureSessionPresetLow, 144, 192},
    {AVCaptureSessionPreset640x480, 480, 640}, {AVCaptureSessionPreset1280x720, 720, 1280},
};

const PresetSize* presetNamed(const Ref<NSString>& name) {
    for (const auto& p : kPresets) {
        if (name && name->isEqual(p.name())) {
            return &p;
        }
    }
    return nullptr;
}

std::mutex& sessionMembershipMutex() {
    static std::mutex m;
    return m;
}
std::set<const AVCaptureInput*>& inputsInSessions() {
    static std::set<const AVCaptureInput*> s;
    return s;
}

Ref<NSError> runtimeError(NSInteger code, const char* text) {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(NSString::from(text), NSString::from("NSLocalizedDescription"));
    return NSError::errorWithDomainCodeUserInfo(AVFoundationErrorDomain(), code, info);
}

} // namespace

bool AVCaptureInputIsInSession(const AVCaptureInput* input) {
    std::lock_guard lock(sessionMembershipMutex());
    return inputsInSessions().count(input) != 0;
}

// MARK: - AVCaptureConnection

AVCaptureConnection::AVCaptureConnection(Ref<NSArray> inputPorts, const Ref<AVCaptureOutput>& output,
                                         const Ref<AVCaptureSession>& session)
    : inputPorts_(std::move(inputPorts)), output_(output), session_(session) {}

Ref<AVCaptureDevice> AVCaptureConnection::device() const {
    if (!inputPorts_ || inputPorts_->count() == 0) {
        return nullptr;
    }
    auto port = cast<AVCaptureInputPort>(inputPorts_->objectAtIndex(0));
    auto input = port ? cast<AVCaptureDeviceInput>(port->input()) : nullptr;
    return input ? input->device() : nullptr;
}

bool AVCaptureConnection::isVideo() const {
    if (!inputPorts_ || inputPorts_->count() == 0) {
        return false;
    }
    auto port = cast<AVCaptureInputPort>(inputPorts_->objectAtIndex(0));
    return port && port->mediaType()->isEqual(AVMediaTypeVideo());
}

bool AVCaptureConnection::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void AVCaptureConnection::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool AVCaptureConnection::isActive() const {
    auto session = session_.lock();
    auto dev = device();
    return session && session->isRunning() && dev && dev->isConnected() && isEnabled();
}

bool AVCaptureConnection::isVideoMirrored() const {
    std::lock_guard lock(mutex_);
    return mirrored_;
}

void AVCaptureConnection::setVideoMirrored(bool mirrored) {
    if (!isVideoMirroringSupported()) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureConnection setVideoMirrored:] Not supported");
    }
    std::lock_guard lock(mutex_);
    mirrored_ = mirrored;
}

AVCaptureVideoOrientation AVCaptureConnection::videoOrientation() const {
    std::lock_guard lock(mutex_);
    return orientation_;
}

void AVCaptureConnection::setVideoOrientation(AVCaptureVideoOrientation orientation) {
    if (orientation < AVCaptureVideoOrientationPortrait || orientation > AVCaptureVideoOrientationLandscapeLeft) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureConnection setVideoOrientation:] Bad value");
    }
    std::lock_guard lock(mutex_);
    orientation_ = orientation;
}

double AVCaptureConnection::videoScaleAndCropFactor() const {
    std::lock_guard lock(mutex_);
    return scaleAndCrop_;
}

void AVCaptureConnection::setVideoScaleAndCropFactor(double factor) {
    if (!std::isfinite(factor) || factor < 1.0 || factor > videoMaxScaleAndCropFactor()) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureConnection setVideoScaleAndCropFactor:] Factor out of range");
    }
    std::lock_guard lock(mutex_);
    scaleAndCrop_ = factor;
}

double AVCaptureConnection::videoMinFrameDuration() const {
    std::lock_guard lock(mutex_);
    return minFrameDuration_;
}

void AVCaptureConnection::setVideoMinFrameDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureConnection setVideoMinFrameDuration:] Bad value");
    }
    std::lock_guard lock(mutex_);
    minFrameDuration_ = seconds;
}

double AVCaptureConnection::videoMaxFrameDuration() const {
    std::lock_guard lock(mutex_);
    return maxFrameDuration_;
}

void AVCaptureConnection::setVideoMaxFrameDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureConnection setVideoMaxFrameDuration:] Bad value");
    }
    std::lock_guard lock(mutex_);
    maxFrameDuration_ = seconds;
}

// MARK: - AVCaptureOutput

Ref<NSArray> AVCaptureOutput::connections() const {
    std::lock_guard lock(connectionsMutex_);
    return connections_;
}

Ref<AVCaptureConnection> AVCaptureOutput::connectionWithMediaType(const Ref<NSString>& mediaType) const {
    auto all = connections();
    for (const id& item : *all) {
        auto connection = cast<AVCaptureConnection>(item);
        auto ports = connection ? connection->inputPorts() : nullptr;
        if (!ports) {
            continue;
        }
        for (const id& p : *ports) {
            auto port = cast<AVCaptureInputPort>(p);
            if (port && mediaType && port->mediaType()->isEqual(mediaType)) {
                return connection;
            }
        }
    }
    return nullptr;
}

void AVCaptureOutput::attach(const Ref<AVCaptureSession>& session) {
    session_ = session;
    rebuildConnections();
}

void AVCaptureOutput::detach() {
    session_ = nullptr;
    std::lock_guard lock(connectionsMutex_);
    connections_ = NSArray::array();
}

void AVCaptureOutput::rebuildConnections() {
    auto session = session_.lock();
    auto list = NSMutableArray::array();
    if (session) {
        auto old = connections();
        for (const auto& type : acceptedMediaTypes()) {
            auto inputs = session->inputs();
            for (const id& item : *inputs) {
                auto input = cast<AVCaptureInput>(item);
                auto ports = input->ports();
                for (const id& p : *ports) {
                    auto port = cast<AVCaptureInputPort>(p);
                    if (!port || !port->mediaType()->isEqual(type)) {
                        continue;
                    }
                    // Keep a connection that already serves this port (its settings stay).
                    Ref<AVCaptureConnection> kept;
                    for (const id& c : *old) {
                        auto connection = cast<AVCaptureConnection>(c);
                        if (connection && connection->inputPorts()->count() &&
                            connection->inputPorts()->objectAtIndex(0).get() == port.get()) {
                            kept = connection;
                        }
                    }
                    list->addObject(kept ? kept
                                         : make<AVCaptureConnection>(NSArray::arrayWithObjects({port}),
                                                                     Ref<AVCaptureOutput>(this), session));
                }
            }
        }
    }
    std::lock_guard lock(connectionsMutex_);
    connections_ = list;
}

// MARK: - AVCaptureSession

AVCaptureSession::~AVCaptureSession() {
    releaseCamera(); // a session let go of while running no longer holds its camera
    std::lock_guard lock(sessionMembershipMutex());
    for (const auto& input : inputs_) {
        inputsInSessions().erase(input.get());
    }
}

Ref<NSString> AVCaptureSession::sessionPreset() const {
    std::lock_guard lock(mutex_);
    return preset_ ? preset_ : AVCaptureSessionPresetHigh();
}

bool AVCaptureSession::canSetSessionPreset(const Ref<NSString>& preset) const {
    const PresetSize* p = presetNamed(preset);
    if (!p) {
        return false;
    }
    // The front camera takes pictures of its own size: no 1280 x 720 video at a fixed preset.
    auto device = videoDevice();
    if (device && device->position() == AVCaptureDevicePositionFront && p->name == AVCaptureSessionPreset1280x720) {
        return false;
    }
    return true;
}

void AVCaptureSession::setSessionPreset(const Ref<NSString>& preset) {
    if (!canSetSessionPreset(preset)) {
        NSException::raise(NSInvalidArgumentException,
                           "*** -[AVCaptureSession setSessionPreset:] Cannot set session preset " +
                               (preset ? preset->str() : std::string("(null)")));
    }
    std::lock_guard lock(mutex_);
    preset_ = preset;
}

Ref<NSArray> AVCaptureSession::inputs() const {
    std::lock_guard lock(mutex_);
    auto list = NSMutableArray::array();
    for (const auto& i : inputs_) {
        list->addObject(i);
    }
    return list;
}

Ref<NSArray> AVCaptureSession::outputs() const {
    std::lock_guard lock(mutex_);
    auto list = NSMutableArray::array();
    for (const auto& o : outputs_) {
        list->addObject(o);
    }
    return list;
}

bool AVCaptureSession::canAddInput(const Ref<AVCaptureInput>& input) const {
    if (!input || AVCaptureInputIsInSession(input.get())) {
        return false;
    }
    std::lock_guard lock(mutex_);
    auto ports = input->ports();
    for (const id& p : *ports) {
        auto port = cast<AVCaptureInputPort>(p);
        for (const auto& other : inputs_) {
            auto otherPorts = other->ports();
            for (const id& q : *otherPorts) {
                if (port && port->mediaType()->isEqual(cast<AVCaptureInputPort>(q)->mediaType())) {
                    return false;
                }
            }
        }
    }
    return true;
}

void AVCaptureSession::addInput(const Ref<AVCaptureInput>& input) {
    if (!canAddInput(input)) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureSession addInput:] Cannot add input");
    }
    {
        std::lock_guard lock(mutex_);
        inputs_.push_back(input);
    }
    {
        std::lock_guard lock(sessionMembershipMutex());
        inputsInSessions().insert(input.get());
    }
    rebuildAllConnections();
}

void AVCaptureSession::removeInput(const Ref<AVCaptureInput>& input) {
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(inputs_.begin(), inputs_.end(), [&](const auto& i) { return i.get() == input.get(); });
        if (!input || it == inputs_.end()) {
            NSException::raise(NSInvalidArgumentException,
                               "*** -[AVCaptureSession removeInput:] The input is not in this session");
        }
        inputs_.erase(it);
    }
    {
        std::lock_guard lock(sessionMembershipMutex());
        inputsInSessions().erase(input.get());
    }
    rebuildAllConnections();
}

bool AVCaptureSession::canAddOutput(const Ref<AVCaptureOutput>& output) const {
    if (!output || output->session()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    for (const auto& o : outputs_) {
        if (o->getClass() == output->getClass()) {
            return false; // one output of each kind
        }
    }
    return true;
}

void AVCaptureSession::addOutput(const Ref<AVCaptureOutput>& output) {
    if (!canAddOutput(output)) {
        NSException::raise(NSInvalidArgumentException, "*** -[AVCaptureSession addOutput:] Cannot add output");
    }
    {
        std::lock_guard lock(mutex_);
        outputs_.push_back(output);
    }
    output->attach(Ref<AVCaptureSession>(this));
}

void AVCaptureSession::removeOutput(const Ref<AVCaptureOutput>& output) {
    {
        std::lock_guard lock(mutex_);
        auto it =
            std::find_if(outputs_.begin(), outputs_.end(), [&](const auto& o) { return o.get() == output.get(); });
        if (!output || it == outputs_.end()) {
            NSException::raise(NSInvalidArgumentException,
                               "*** -[AVCaptureSession removeOutput:] The output is not in this session");
        }
        outputs_.erase(it);
    }
    output->detach();
}

void AVCaptureSession::beginConfiguration() {}

void AVCaptureSession::commitConfiguration() {
    rebuildAllConnections();
}

void AVCaptureSession::rebuildAllConnections() {
    std::vector<Ref<AVCaptureOutput>> outputs;
    {
        std::lock_guard lock(mutex_);
        outputs = outputs_;
    }
    for (const auto& o : outputs) {
        o->rebuildConnections();
    }
}

Ref<AVCaptureDevice> AVCaptureSession::videoDevice() const {
    std::lock_guard lock(mutex_);
    for (const auto& i : inputs_) {
        auto input = cast<AVCaptureDeviceInput>(i);
        if (input && input->device() && !input->device()->isAudio()) {
            return input->device();
        }
    }
    return nullptr;
}

void AVCaptureSession::frameSize(int* width, int* height) const {
    const PresetSize* p = presetNamed(sessionPreset());
    *width = p ? p->width : 720;
    *height = p ? p->height : 1280;
}

std::optional<SimFrame> AVCaptureSession::currentFrame(int width, int height, bool mirrored) const {
    auto device = videoDevice();
    if (!device || !isRunning()) {
        return std::nullopt;
    }
    auto g = device->deviceWhiteBalanceGains();
    return SimCamera::current().frame(simPosition(*device), width, height, {g.redGain, g.greenGain, g.blueGain},
                                      DispatchClock::uptime(), mirrored);
}

bool AVCaptureSession::isRunning() const {
    return running_.load();
}

void AVCaptureSession::startRunning() {
    if (running_.load()) {
        return;
    }
    auto device = videoDevice();
    auto center = NSNotificationCenter::defaultCenter();
    if ((device && !device->isConnected()) || SimCamera::current().sessionStartFails()) {
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(runtimeError(AVErrorDeviceNotConnected, "Cannot Record"), AVCaptureSessionErrorKey());
        center->postNotificationNameObjectUserInfo(AVCaptureSessionRuntimeErrorNotification(), Ref<NSObject>(this),
                                                   info);
        return;
    }
    running_ = true;
    uint64_t generation = ++generation_;
    if (device) {
        device->sessionDidStartRunning(this);
    }
    {
        std::lock_guard lock(mutex_);
        runningCamera_ = device;
        if (!queue_) {
            queue_ = dispatch_queue_create("com.apple.avfoundation.capture.camera", DISPATCH_QUEUE_SERIAL);
        }
    }
    center->postNotificationNameObject(AVCaptureSessionDidStartRunningNotification(), Ref<NSObject>(this));
    scheduleTick(generation);
}

void AVCaptureSession::stopRunning() {
    if (!running_.exchange(false)) {
        return;
    }
    ++generation_;
    std::vector<Ref<AVCaptureOutput>> outputs;
    {
        std::lock_guard lock(mutex_);
        outputs = outputs_;
    }
    for (const auto& o : outputs) {
        o->sessionDidStop(nullptr);
    }
    releaseCamera();
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(AVCaptureSessionDidStopRunningNotification(),
                                                                      Ref<NSObject>(this));
}

void AVCaptureSession::releaseCamera() {
    Ref<AVCaptureDevice> camera;
    {
        std::lock_guard lock(mutex_);
        camera = std::move(runningCamera_);
        runningCamera_ = nullptr;
    }
    if (camera) {
        camera->sessionDidStopRunning(this);
    }
}

void AVCaptureSession::scheduleTick(uint64_t generation) {
    dispatch_queue_t queue;
    {
        std::lock_guard lock(mutex_);
        queue = queue_;
    }
    Weak<AVCaptureSession> weak(this);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kTickInterval * NSEC_PER_SEC)), queue,
                   [weak, generation] {
                       if (auto self = weak.lock()) {
                           self->tick(generation);
                       }
                   });
}

void AVCaptureSession::tick(uint64_t generation) {
    if (!running_.load() || generation != generation_.load()) {
        return;
    }
    auto device = videoDevice();
    if (device && !device->isConnected()) {
        stopWithError(runtimeError(AVErrorDeviceWasDisconnected, "Recording Stopped"), true);
        return;
    }
    double now = DispatchClock::uptime();
    if (device) {
        device->whiteBalanceTick(now);
    }
    std::vector<Ref<AVCaptureOutput>> outputs;
    {
        std::lock_guard lock(mutex_);
        outputs = outputs_;
    }
    for (const auto& o : outputs) {
        o->sessionTick(now);
    }
    scheduleTick(generation);
}

void AVCaptureSession::stopWithError(const Ref<NSError>& error, bool onMainQueue) {
    if (!running_.exchange(false)) {
        return;
    }
    ++generation_;
    std::vector<Ref<AVCaptureOutput>> outputs;
    {
        std::lock_guard lock(mutex_);
        outputs = outputs_;
    }
    for (const auto& o : outputs) {
        o->sessionDidStop(error);
    }
    releaseCamera();
    Ref<AVCaptureSession> self(this);
    auto post = [self, error] {
        auto center = NSNotificationCenter::defaultCenter();
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(error, AVCaptureSessionErrorKey());
        center->postNotificationNameObjectUserInfo(AVCaptureSessionRuntimeErrorNotification(), self, info);
        center->postNotificationNameObject(AVCaptureSessionDidStopRunningNotification(), self);
    };
    if (onMainQueue) {
        dispatch_async(dispatch_get_main_queue(), post);
    } else {
        post();
    }
}
