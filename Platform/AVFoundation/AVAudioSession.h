// AVAudioSession: the app's audio session on the simulated device: category, mode and options,
// activation (which the device can refuse), the output override, the microphone permission, the
// current route with its input and output ports and the built-in microphone's data sources
// ("Bottom", "Front"), and the output volume (observable by key-value observation on the main
// thread).
//
// Notifications:
// - AVAudioSessionRouteChangeNotification (object: the session) when a headset is plugged in
//   (reason 1) or out (reason 2), when the category changes (3) and when the override moves the
//   output (4); user info: the reason as a number under AVAudioSessionRouteChangeReasonKey and the
//   route before under AVAudioSessionRouteChangePreviousRouteKey. Posted on the session's own
//   notification queue, not the main thread, as the platform does.
// - "AVSystemController_SystemVolumeDidChangeNotification" (no object) on the main thread for
//   every change of the output volume, with the category ("Audio/Video" while the app's session
//   is active, else "Ringtone"), the reason ("ExplicitVolumeChange" for a hardware key,
//   "ApplicationVolumeChange" for a change an application or the system made) and the new volume.
//   Posting starts when the platform's audio system is first used (the shared session, the music
//   player, a volume view or the audio session's C interface).
// - A headset's play/pause key reaches the application as a remote-control event
//   (UIEventSubtypeRemoteControlTogglePlayPause) while it receives them.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSError.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>

#include <atomic>
#include <cstdint>
#include <functional>

// Port types, with the platform's texts.
const Ref<NSString>& AVAudioSessionPortBuiltInReceiver(); // "Receiver"
const Ref<NSString>& AVAudioSessionPortBuiltInSpeaker();  // "Speaker"
const Ref<NSString>& AVAudioSessionPortHeadphones();      // "Headphones"
const Ref<NSString>& AVAudioSessionPortBuiltInMic();      // "MicrophoneBuiltIn"
const Ref<NSString>& AVAudioSessionPortHeadsetMic();      // "MicrophoneWired"

// Categories and modes.
const Ref<NSString>& AVAudioSessionCategoryAmbient();
const Ref<NSString>& AVAudioSessionCategorySoloAmbient();
const Ref<NSString>& AVAudioSessionCategoryPlayback();
const Ref<NSString>& AVAudioSessionCategoryRecord();
const Ref<NSString>& AVAudioSessionCategoryPlayAndRecord();
const Ref<NSString>& AVAudioSessionModeDefault();
const Ref<NSString>& AVAudioSessionModeVoiceChat();
const Ref<NSString>& AVAudioSessionModeMeasurement();
const Ref<NSString>& AVAudioSessionModeVideoRecording();

// Data-source names of the built-in microphone.
const Ref<NSString>& AVAudioSessionOrientationBottom(); // "Bottom"
const Ref<NSString>& AVAudioSessionOrientationFront();  // "Front"

// Notifications and their keys.
const Ref<NSString>& AVAudioSessionRouteChangeNotification();
const Ref<NSString>& AVAudioSessionRouteChangeReasonKey();
const Ref<NSString>& AVAudioSessionRouteChangePreviousRouteKey();
const Ref<NSString>& AVSystemController_SystemVolumeDidChangeNotification();
const Ref<NSString>& AVSystemController_AudioCategoryNotificationParameter();
const Ref<NSString>& AVSystemController_AudioVolumeChangeReasonNotificationParameter();
const Ref<NSString>& AVSystemController_AudioVolumeNotificationParameter();

using AVAudioSessionCategoryOptions = NSUInteger;
inline constexpr AVAudioSessionCategoryOptions AVAudioSessionCategoryOptionMixWithOthers = 0x1;
inline constexpr AVAudioSessionCategoryOptions AVAudioSessionCategoryOptionDuckOthers = 0x2;
inline constexpr AVAudioSessionCategoryOptions AVAudioSessionCategoryOptionAllowBluetooth = 0x4;
inline constexpr AVAudioSessionCategoryOptions AVAudioSessionCategoryOptionDefaultToSpeaker = 0x8;

enum AVAudioSessionPortOverride : NSUInteger {
    AVAudioSessionPortOverrideNone = 0,
    AVAudioSessionPortOverrideSpeaker = 0x73706b72, // 'spkr'
};

enum AVAudioSessionRouteChangeReason : NSUInteger {
    AVAudioSessionRouteChangeReasonUnknown = 0,
    AVAudioSessionRouteChangeReasonNewDeviceAvailable = 1,
    AVAudioSessionRouteChangeReasonOldDeviceUnavailable = 2,
    AVAudioSessionRouteChangeReasonCategoryChange = 3,
    AVAudioSessionRouteChangeReasonOverride = 4,
};

enum AVAudioSessionRecordPermission : NSUInteger {
    AVAudioSessionRecordPermissionUndetermined = 0x756e6474, // 'undt'
    AVAudioSessionRecordPermissionDenied = 0x64656e79,       // 'deny'
    AVAudioSessionRecordPermissionGranted = 0x67726e74,      // 'grnt'
};

// Error codes of the session's failures (domain NSOSStatusErrorDomain).
inline constexpr NSInteger AVAudioSessionErrorCodeCannotStartPlaying = 0x21706c61; // '!pla'
inline constexpr NSInteger AVAudioSessionErrorCodeBadParam = -50;

class AVAudioSessionDataSourceDescription : public NSObject {
    NS_OBJECT(AVAudioSessionDataSourceDescription, NSObject)
public:
    AVAudioSessionDataSourceDescription(Ref<NSNumber> dataSourceID, Ref<NSString> dataSourceName);
    const Ref<NSNumber>& dataSourceID() const noexcept { return dataSourceID_; }
    const Ref<NSString>& dataSourceName() const noexcept { return dataSourceName_; }
    // The microphone's place on the device: "Bottom" or "Front".
    const Ref<NSString>& location() const noexcept { return dataSourceName_; }
    const Ref<NSString>& orientation() const noexcept { return dataSourceName_; }
    bool isEqual(const id& other) const override;

private:
    Ref<NSNumber> dataSourceID_;
    Ref<NSString> dataSourceName_;
};

class AVAudioSessionPortDescription : public NSObject {
    NS_OBJECT(AVAudioSessionPortDescription, NSObject)
public:
    AVAudioSessionPortDescription(Ref<NSString> portType, Ref<NSString> portName);
    const Ref<NSString>& portType() const noexcept { return portType_; }
    const Ref<NSString>& portName() const noexcept { return portName_; }
    Ref<NSString> UID() const { return portType_; }
    // The built-in microphone's data sources ("Bottom", "Front"); nil for other ports.
    const Ref<NSArray>& dataSources() const noexcept { return dataSources_; }
    Ref<AVAudioSessionDataSourceDescription> selectedDataSource() const;
    Ref<AVAudioSessionDataSourceDescription> preferredDataSource() const;
    // Selects a data source of this port for recording. Fails (NO, with an error) for a source that
    // is not this port's, and when the device refuses; the selection then stays as it was.
    bool setPreferredDataSourceError(const Ref<AVAudioSessionDataSourceDescription>& dataSource, Ref<NSError>* error);
    bool isEqual(const id& other) const override;

    // The platform's: the port description with its data sources.
    void setDataSources(Ref<NSArray> sources) { dataSources_ = std::move(sources); }

private:
    Ref<NSString> portType_;
    Ref<NSString> portName_;
    Ref<NSArray> dataSources_;
};

class AVAudioSessionRouteDescription : public NSObject {
    NS_OBJECT(AVAudioSessionRouteDescription, NSObject)
public:
    AVAudioSessionRouteDescription(Ref<NSArray> inputs, Ref<NSArray> outputs);
    // Arrays of AVAudioSessionPortDescription.
    const Ref<NSArray>& inputs() const noexcept { return inputs_; }
    const Ref<NSArray>& outputs() const noexcept { return outputs_; }

private:
    Ref<NSArray> inputs_;
    Ref<NSArray> outputs_;
};

class AVAudioSession : public NSObject {
    NS_OBJECT(AVAudioSession, NSObject)
public:
    AVAudioSession();
    ~AVAudioSession() override;
    static Ref<AVAudioSession> sharedInstance();

    Ref<NSString> category() const;
    AVAudioSessionCategoryOptions categoryOptions() const;
    bool setCategoryError(const Ref<NSString>& category, Ref<NSError>* error);
    bool setCategoryWithOptionsError(const Ref<NSString>& category, AVAudioSessionCategoryOptions options,
                                     Ref<NSError>* error);
    Ref<NSString> mode() const;
    bool setModeError(const Ref<NSString>& mode, Ref<NSError>* error);
    // Activation; the device may refuse it (the error then carries its code). Deactivation always
    // succeeds.
    bool setActiveError(bool active, Ref<NSError>* error);
    bool isActive() const;
    bool overrideOutputAudioPortError(AVAudioSessionPortOverride portOverride, Ref<NSError>* error);

    // The microphone permission. The request shows the prompt when undetermined; the answer comes
    // off the main thread, at once when already decided.
    AVAudioSessionRecordPermission recordPermission() const;
    void requestRecordPermission(std::function<void(bool granted)> response);

    Ref<AVAudioSessionRouteDescription> currentRoute() const;
    // The inputs that can record now: the built-in microphone, and the headset's when plugged in.
    Ref<NSArray> availableInputs() const;
    bool isInputAvailable() const;

    // The output volume, 0..1 (key-value observable as "outputVolume", on the main thread).
    float outputVolume() const;
    double sampleRate() const { return 44100.0; }

    // The platform's: the system announces a new output volume (main thread), before it posts the
    // system volume notification, so that its observers read the new volume from the session.
    void applyOutputVolume(float volume);

private:
    // Takes the device's output volume and headset as they are now (when made, and when a test
    // ends and the device starts afresh).
    void readDevice();
    void deviceChanged(int change, bool plugged, float volume, int reason);
    void postRouteChange(AVAudioSessionRouteChangeReason reason, const Ref<AVAudioSessionRouteDescription>& previous);
    uint64_t listener_ = 0;
    std::atomic<float> outputVolume_{0};
    bool headsetIn_ = false;
};
