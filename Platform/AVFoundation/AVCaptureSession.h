// AVCaptureSession, AVCaptureConnection and the AVCaptureOutput base: a capture session joins
// device inputs to outputs. Each output gets one connection per media type it takes (video for
// still, movie and metadata outputs; audio for the movie output) once the session has a matching
// input; a connection is active only while the session runs and its camera is attached.
//
// Presets give the frame size (upright, portrait): Photo 768 x 1024, High 720 x 1280, Medium
// 360 x 480, Low 144 x 192, 640x480 480 x 640, 1280x720 720 x 1280. A session runs its cameras
// on a camera thread of its own: ten times a second it lets the continuous white balance follow
// the light, feeds its outputs, and notices a camera that vanished (it then stops, posting
// AVCaptureSessionRuntimeErrorNotification and AVCaptureSessionDidStopRunningNotification on the
// main queue). `startRunning` and `stopRunning` are synchronous and post their notifications on
// the calling thread; a session whose camera is gone or cannot start posts the runtime error
// instead and does not run.
#pragma once

#include <AVFoundation/AVCaptureInput.h>
#include <Dispatch/DispatchQueue.h>

#include <atomic>
#include <mutex>
#include <optional>

class AVCaptureSession;
struct SimFrame; // the camera's picture, for the framework's own outputs
class AVCaptureOutput;

// Preset names.
const Ref<NSString>& AVCaptureSessionPresetPhoto();
const Ref<NSString>& AVCaptureSessionPresetHigh();
const Ref<NSString>& AVCaptureSessionPresetMedium();
const Ref<NSString>& AVCaptureSessionPresetLow();
const Ref<NSString>& AVCaptureSessionPreset640x480();
const Ref<NSString>& AVCaptureSessionPreset1280x720();
// Notifications (object: the session) and the runtime error's user-info key.
const Ref<NSString>& AVCaptureSessionDidStartRunningNotification();
const Ref<NSString>& AVCaptureSessionDidStopRunningNotification();
const Ref<NSString>& AVCaptureSessionRuntimeErrorNotification();
const Ref<NSString>& AVCaptureSessionErrorKey();

enum AVCaptureVideoOrientation : NSInteger {
    AVCaptureVideoOrientationPortrait = 1,
    AVCaptureVideoOrientationPortraitUpsideDown = 2,
    AVCaptureVideoOrientationLandscapeRight = 3,
    AVCaptureVideoOrientationLandscapeLeft = 4,
};

class AVCaptureConnection : public NSObject {
    NS_OBJECT(AVCaptureConnection, NSObject)
public:
    AVCaptureConnection() = default;
    AVCaptureConnection(Ref<NSArray> inputPorts, const Ref<AVCaptureOutput>& output,
                        const Ref<AVCaptureSession>& session);

    Ref<NSArray> inputPorts() const { return inputPorts_; }
    Ref<AVCaptureOutput> output() const { return output_.lock(); }
    // The device behind the first port.
    Ref<AVCaptureDevice> device() const;
    bool isVideo() const;
    bool isEnabled() const;
    void setEnabled(bool enabled);
    bool isActive() const;

    bool isVideoMirroringSupported() const { return isVideo(); }
    bool isVideoMirrored() const;
    void setVideoMirrored(bool mirrored);
    bool isVideoOrientationSupported() const { return isVideo(); }
    AVCaptureVideoOrientation videoOrientation() const;
    void setVideoOrientation(AVCaptureVideoOrientation orientation);
    // 1.0 up to videoMaxScaleAndCropFactor; raises NSInvalidArgumentException outside.
    double videoScaleAndCropFactor() const;
    void setVideoScaleAndCropFactor(double factor);
    double videoMaxScaleAndCropFactor() const { return isVideo() ? 4.0 : 1.0; }
    // Frame durations in seconds (the platform's CMTime as value / timescale).
    bool isVideoMinFrameDurationSupported() const { return isVideo(); }
    bool isVideoMaxFrameDurationSupported() const { return isVideo(); }
    double videoMinFrameDuration() const;
    void setVideoMinFrameDuration(double seconds);
    double videoMaxFrameDuration() const;
    void setVideoMaxFrameDuration(double seconds);

private:
    Ref<NSArray> inputPorts_;
    Weak<AVCaptureOutput> output_;
    Weak<AVCaptureSession> session_;
    mutable std::mutex mutex_;
    bool enabled_ = true;
    bool mirrored_ = false;
    AVCaptureVideoOrientation orientation_ = AVCaptureVideoOrientationPortrait;
    double scaleAndCrop_ = 1.0;
    double minFrameDuration_ = 1.0 / 30;
    double maxFrameDuration_ = 1.0 / 30;
};

class AVCaptureOutput : public NSObject {
    NS_OBJECT(AVCaptureOutput, NSObject)
public:
    AVCaptureOutput() = default;
    // The output's connections (AVCaptureConnection), made when it joins a session with inputs.
    Ref<NSArray> connections() const;
    Ref<AVCaptureConnection> connectionWithMediaType(const Ref<NSString>& mediaType) const;
    Ref<AVCaptureSession> session() const { return session_.lock(); }

    // For the session: the media types the output takes; joining and leaving; one step of the
    // camera thread while the session runs; the session stopped (any reason: stop, runtime error).
    virtual std::vector<Ref<NSString>> acceptedMediaTypes() const { return {AVMediaTypeVideo()}; }
    void attach(const Ref<AVCaptureSession>& session);
    void detach();
    void rebuildConnections();
    virtual void sessionTick(double /*time*/) {}
    virtual void sessionDidStop(const Ref<NSError>& /*error*/) {}

protected:
    mutable std::mutex connectionsMutex_;
    Ref<NSArray> connections_ = NSArray::array();
    Weak<AVCaptureSession> session_;
};

class AVCaptureSession : public NSObject {
    NS_OBJECT(AVCaptureSession, NSObject)
public:
    AVCaptureSession() = default;
    ~AVCaptureSession() override;

    Ref<NSString> sessionPreset() const;
    bool canSetSessionPreset(const Ref<NSString>& preset) const;
    // Raises NSInvalidArgumentException for a preset the session cannot take.
    void setSessionPreset(const Ref<NSString>& preset);
    bool automaticallyConfiguresApplicationAudioSession() const noexcept { return configuresAudio_; }
    void setAutomaticallyConfiguresApplicationAudioSession(bool on) { configuresAudio_ = on; }

    Ref<NSArray> inputs() const;
    Ref<NSArray> outputs() const;
    // An input that is nil, already in a session, or a second input of the same media type cannot
    // be added; addInput raises NSInvalidArgumentException for it. removeInput of an input that is
    // not in the session raises too.
    bool canAddInput(const Ref<AVCaptureInput>& input) const;
    void addInput(const Ref<AVCaptureInput>& input);
    void removeInput(const Ref<AVCaptureInput>& input);
    bool canAddOutput(const Ref<AVCaptureOutput>& output) const;
    void addOutput(const Ref<AVCaptureOutput>& output);
    void removeOutput(const Ref<AVCaptureOutput>& output);
    void beginConfiguration();
    void commitConfiguration();

    void startRunning();
    void stopRunning();
    bool isRunning() const;
    bool isInterrupted() const { return false; }

    // For the outputs: the video device in use and the frame size of the preset (upright).
    Ref<AVCaptureDevice> videoDevice() const;
    void frameSize(int* width, int* height) const;
    // Frames of the video device now, through its white balance; mirrored when asked.
    std::optional<SimFrame> currentFrame(int width, int height, bool mirrored) const;

private:
    void scheduleTick(uint64_t generation);
    void tick(uint64_t generation);
    void stopWithError(const Ref<NSError>& error, bool onMainQueue);
    void releaseCamera();
    void rebuildAllConnections();

    mutable std::recursive_mutex mutex_;
    Ref<NSString> preset_;
    std::vector<Ref<AVCaptureInput>> inputs_;
    std::vector<Ref<AVCaptureOutput>> outputs_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> generation_{0};
    bool configuresAudio_ = true;
    dispatch_queue_t queue_;
    Ref<AVCaptureDevice> runningCamera_; // the camera it started running, until it stops
};

// Whether an input is in some session now (an input joins one session at a time).
bool AVCaptureInputIsInSession(const AVCaptureInput* input);
