// AVAudioSession on the simulated device (see AVAudioSession.h).
#include <AVFoundation/AVAudioSession.h>

#include <AVFoundation/AVSystemVolume.h>
#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSThread.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(AVAudioSessionDataSourceDescription, NSObject) {
    b.readonlyProperty("dataSourceID", &AVAudioSessionDataSourceDescription::dataSourceID);
    b.readonlyProperty("dataSourceName", &AVAudioSessionDataSourceDescription::dataSourceName);
}

NS_IMPLEMENT_CLASS(AVAudioSessionPortDescription, NSObject) {
    b.readonlyProperty("portType", &AVAudioSessionPortDescription::portType);
    b.readonlyProperty("portName", &AVAudioSessionPortDescription::portName);
    b.readonlyProperty("dataSources", &AVAudioSessionPortDescription::dataSources);
}

NS_IMPLEMENT_CLASS(AVAudioSessionRouteDescription, NSObject) {
    b.readonlyProperty("inputs", &AVAudioSessionRouteDescription::inputs);
    b.readonlyProperty("outputs", &AVAudioSessionRouteDescription::outputs);
}

NS_IMPLEMENT_CLASS(AVAudioSession, NSObject) {
    b.readonlyProperty("currentRoute", &AVAudioSession::currentRoute);
    b.readonlyProperty("outputVolume", &AVAudioSession::outputVolume);
    b.manualNotification("outputVolume");
    b.readonlyProperty("category", &AVAudioSession::category);
    b.readonlyProperty("mode", &AVAudioSession::mode);
}

#define DX_AUDIO_STRING(name, text)                                                                                    \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& value = *new Ref<NSString>(NSString::from(text));                                  \
        return value;                                                                                                  \
    }
DX_AUDIO_STRING(AVAudioSessionPortBuiltInReceiver, "Receiver")
DX_AUDIO_STRING(AVAudioSessionPortBuiltInSpeaker, "Speaker")
DX_AUDIO_STRING(AVAudioSessionPortHeadphones, "Headphones")
DX_AUDIO_STRING(AVAudioSessionPortBuiltInMic, "MicrophoneBuiltIn")
DX_AUDIO_STRING(AVAudioSessionPortHeadsetMic, "MicrophoneWired")
DX_AUDIO_STRING(AVAudioSessionCategoryAmbient, "AVAudioSessionCategoryAmbient")
DX_AUDIO_STRING(AVAudioSessionCategorySoloAmbient, "AVAudioSessionCategorySoloAmbient")
DX_AUDIO_STRING(AVAudioSessionCategoryPlayback, "AVAudioSessionCategoryPlayback")
DX_AUDIO_STRING(AVAudioSessionCategoryRecord, "AVAudioSessionCategoryRecord")
DX_AUDIO_STRING(AVAudioSessionCategoryPlayAndRecord, "AVAudioSessionCategoryPlayAndRecord")
DX_AUDIO_STRING(AVAudioSessionModeDefault, "AVAudioSessionModeDefault")
DX_AUDIO_STRING(AVAudioSessionModeVoiceChat, "AVAudioSessionModeVoiceChat")
DX_AUDIO_STRING(AVAudioSessionModeMeasurement, "AVAudioSessionModeMeasurement")
DX_AUDIO_STRING(AVAudioSessionModeVideoRecording, "AVAudioSessionModeVideoRecording")
DX_AUDIO_STRING(AVAudioSessionOrientationBottom, "Bottom")
DX_AUDIO_STRING(AVAudioSessionOrientationFront, "Front")
DX_AUDIO_STRING(AVAudioSessionRouteChangeNotification, "AVAudioSessionRouteChangeNotification")
DX_AUDIO_STRING(AVAudioSessionRouteChangeReasonKey, "AVAudioSessionRouteChangeReasonKey")
DX_AUDIO_STRING(AVAudioSessionRouteChangePreviousRouteKey, "AVAudioSessionRouteChangePreviousRouteKey")
DX_AUDIO_STRING(AVSystemController_SystemVolumeDidChangeNotification,
                "AVSystemController_SystemVolumeDidChangeNotification")
DX_AUDIO_STRING(AVSystemController_AudioCategoryNotificationParameter,
                "AVSystemController_AudioCategoryNotificationParameter")
DX_AUDIO_STRING(AVSystemController_AudioVolumeChangeReasonNotificationParameter,
                "AVSystemController_AudioVolumeChangeReasonNotificationParameter")
DX_AUDIO_STRING(AVSystemController_AudioVolumeNotificationParameter,
                "AVSystemController_AudioVolumeNotificationParameter")
#undef DX_AUDIO_STRING

namespace {

constexpr const char* kAudioErrorDomain = "NSOSStatusErrorDomain";

Ref<NSError> sessionError(NSInteger code) {
    return NSError::errorWithDomainCodeUserInfo(NSString::from(kAudioErrorDomain), code, nullptr);
}

bool failWith(Ref<NSError>* error, NSInteger code) {
    if (error) {
        *error = sessionError(code);
    }
    return false;
}

dispatch_queue_t notificationQueue() {
    static dispatch_queue_t* queue =
        new dispatch_queue_t(dispatch_queue_create("AVAudioSession.notifications", nullptr));
    return *queue;
}

Ref<AVAudioSessionDataSourceDescription> dataSource(audio_route::DataSource source) {
    bool front = source == audio_route::DataSource::Front;
    return make<AVAudioSessionDataSourceDescription>(box(front ? 1 : 0), front ? AVAudioSessionOrientationFront()
                                                                               : AVAudioSessionOrientationBottom());
}

Ref<AVAudioSessionPortDescription> builtInMic() {
    auto port =
        make<AVAudioSessionPortDescription>(AVAudioSessionPortBuiltInMic(), NSString::from("iPhone Microphone"));
    std::vector<id> sources;
    auto& audio = SimAudio::current();
    if (audio.isPresent(SimAudio::Part::BottomMicrophone)) {
        sources.push_back(dataSource(audio_route::DataSource::Bottom));
    }
    if (audio.isPresent(SimAudio::Part::FrontMicrophone)) {
        sources.push_back(dataSource(audio_route::DataSource::Front));
    }
    port->setDataSources(NSArray::arrayWithVector(std::move(sources)));
    return port;
}

Ref<AVAudioSessionPortDescription> headsetMic() {
    return make<AVAudioSessionPortDescription>(AVAudioSessionPortHeadsetMic(), NSString::from("Headset Microphone"));
}

// The route as it is, or as it was with the headset in (`headset`) or out.
Ref<AVAudioSessionRouteDescription> routeWith(bool headset) {
    std::vector<id> outputs;
    if (headset) {
        outputs.push_back(
            make<AVAudioSessionPortDescription>(AVAudioSessionPortHeadphones(), NSString::from("Headphones")));
    } else {
        for (SimAudio::Part part : audio_route::outputs()) {
            if (part == SimAudio::Part::Speaker) {
                outputs.push_back(
                    make<AVAudioSessionPortDescription>(AVAudioSessionPortBuiltInSpeaker(), NSString::from("Speaker")));
            } else if (part == SimAudio::Part::Receiver) {
                outputs.push_back(make<AVAudioSessionPortDescription>(AVAudioSessionPortBuiltInReceiver(),
                                                                      NSString::from("Receiver")));
            }
        }
        if (outputs.empty()) {
            outputs.push_back(
                make<AVAudioSessionPortDescription>(AVAudioSessionPortBuiltInSpeaker(), NSString::from("Speaker")));
        }
    }
    std::vector<id> inputs;
    inputs.push_back(headset ? headsetMic() : builtInMic());
    return make<AVAudioSessionRouteDescription>(NSArray::arrayWithVector(std::move(inputs)),
                                                NSArray::arrayWithVector(std::move(outputs)));
}

} // namespace

AVAudioSessionDataSourceDescription::AVAudioSessionDataSourceDescription(Ref<NSNumber> dataSourceID,
                                                                         Ref<NSString> dataSourceName)
    : dataSourceID_(std::move(dataSourceID)), dataSourceName_(std::move(dataSourceName)) {}

bool AVAudioSessionDataSourceDescription::isEqual(const id& other) const {
    auto o = cast<AVAudioSessionDataSourceDescription>(other);
    return o && NSObjectsEqual(o->dataSourceID_, dataSourceID_) && NSObjectsEqual(o->dataSourceName_, dataSourceName_);
}

AVAudioSessionPortDescription::AVAudioSessionPortDescription(Ref<NSString> portType, Ref<NSString> portName)
    : portType_(std::move(portType)), portName_(std::move(portName)) {}

bool AVAudioSessionPortDescription::isEqual(const id& other) const {
    auto o = cast<AVAudioSessionPortDescription>(other);
    return o && NSObjectsEqual(o->portType_, portType_);
}

Ref<AVAudioSessionDataSourceDescription> AVAudioSessionPortDescription::selectedDataSource() const {
    if (!dataSources_ || !portType_->isEqualToString(AVAudioSessionPortBuiltInMic())) {
        return nullptr;
    }
    auto selected = dataSource(audio_route::dataSource());
    for (NSUInteger i = 0; i < dataSources_->count(); ++i) {
        if (dataSources_->objectAtIndex(i)->isEqual(selected)) {
            return selected;
        }
    }
    return nullptr;
}

Ref<AVAudioSessionDataSourceDescription> AVAudioSessionPortDescription::preferredDataSource() const {
    return selectedDataSource();
}

bool AVAudioSessionPortDescription::setPreferredDataSourceError(const Ref<AVAudioSessionDataSourceDescription>& source,
                                                                Ref<NSError>* error) {
    if (!source || !dataSources_) {
        return failWith(error, AVAudioSessionErrorCodeBadParam);
    }
    bool ours = false;
    for (NSUInteger i = 0; i < dataSources_->count(); ++i) {
        ours = ours || dataSources_->objectAtIndex(i)->isEqual(source);
    }
    if (!ours || SimAudio::current().dataSourceSelectionFails()) {
        return failWith(error, AVAudioSessionErrorCodeBadParam);
    }
    audio_route::setDataSource(source->dataSourceName()->isEqualToString(AVAudioSessionOrientationFront())
                                   ? audio_route::DataSource::Front
                                   : audio_route::DataSource::Bottom);
    return true;
}

AVAudioSessionRouteDescription::AVAudioSessionRouteDescription(Ref<NSArray> inputs, Ref<NSArray> outputs)
    : inputs_(std::move(inputs)), outputs_(std::move(outputs)) {}

Ref<AVAudioSession> AVAudioSession::sharedInstance() {
    static const Ref<AVAudioSession>& shared = []() -> const Ref<AVAudioSession>& {
        auto* made = new Ref<AVAudioSession>(make<AVAudioSession>());
        // Registered after the device's own handler (the session's constructor reached the device
        // first), so the session reads the fresh device's volume and headset.
        DispatchClock::addTestEndHandler([session = made->get()] { session->readDevice(); });
        return *made;
    }();
    return shared;
}

AVAudioSession::AVAudioSession() {
    readDevice();
    avsystem_detail::startSystemVolumeNotifications();
    Weak<AVAudioSession> weak(this);
    listener_ = SimAudio::current().addListener([weak](SimAudio::Event event) {
        if (auto session = weak.lock()) {
            session->deviceChanged(static_cast<int>(event.change), event.plugged, event.volume, 0);
        }
    });
}

void AVAudioSession::readDevice() {
    auto& audio = SimAudio::current();
    outputVolume_ = audio.outputVolume();
    headsetIn_ = audio.headsetPlugged();
}

AVAudioSession::~AVAudioSession() {
    SimAudio::current().removeListener(listener_);
}

void AVAudioSession::deviceChanged(int change, bool plugged, float volume, int) {
    switch (static_cast<SimAudio::Change>(change)) {
    case SimAudio::Change::Headset: {
        Ref<AVAudioSessionRouteDescription> previous = routeWith(!plugged);
        postRouteChange(plugged ? AVAudioSessionRouteChangeReasonNewDeviceAvailable
                                : AVAudioSessionRouteChangeReasonOldDeviceUnavailable,
                        previous);
        break;
    }
    default:
        break;
    }
}

void AVAudioSession::postRouteChange(AVAudioSessionRouteChangeReason reason,
                                     const Ref<AVAudioSessionRouteDescription>& previous) {
    Ref<AVAudioSession> self(this);
    dispatch_async(notificationQueue(), [self, reason, previous] {
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(box(static_cast<NSUInteger>(reason)), AVAudioSessionRouteChangeReasonKey());
        if (previous) {
            info->setObjectForKey(previous, AVAudioSessionRouteChangePreviousRouteKey());
        }
        NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
            AVAudioSessionRouteChangeNotification(), self, info);
    });
}

Ref<NSString> AVAudioSession::category() const {
    return NSString::from(audio_route::category());
}

AVAudioSessionCategoryOptions AVAudioSession::categoryOptions() const {
    return static_cast<AVAudioSessionCategoryOptions>(audio_route::categoryOptions());
}

bool AVAudioSession::setCategoryError(const Ref<NSString>& category, Ref<NSError>* error) {
    return setCategoryWithOptionsError(category, 0, error);
}

bool AVAudioSession::setCategoryWithOptionsError(const Ref<NSString>& category, AVAudioSessionCategoryOptions options,
                                                 Ref<NSError>* error) {
    static const Ref<NSString>* known[] = {&AVAudioSessionCategoryAmbient(), &AVAudioSessionCategorySoloAmbient(),
                                           &AVAudioSessionCategoryPlayback(), &AVAudioSessionCategoryRecord(),
                                           &AVAudioSessionCategoryPlayAndRecord()};
    bool valid = false;
    for (const auto* k : known) {
        valid = valid || (category && category->isEqualToString(*k));
    }
    if (!valid) {
        return failWith(error, AVAudioSessionErrorCodeBadParam);
    }
    bool changed = audio_route::category() != category->str();
    auto previous = currentRoute();
    audio_route::setCategory(category->str(), options);
    if (changed) {
        postRouteChange(AVAudioSessionRouteChangeReasonCategoryChange, previous);
    }
    return true;
}

Ref<NSString> AVAudioSession::mode() const {
    return NSString::from(audio_route::mode());
}

bool AVAudioSession::setModeError(const Ref<NSString>& mode, Ref<NSError>* error) {
    if (!mode || mode->length() == 0) {
        return failWith(error, AVAudioSessionErrorCodeBadParam);
    }
    audio_route::setMode(mode->str());
    return true;
}

bool AVAudioSession::setActiveError(bool active, Ref<NSError>* error) {
    if (active) {
        if (int code = SimAudio::current().activationError(); code != 0) {
            return failWith(error, code);
        }
    }
    audio_route::setActive(active);
    return true;
}

bool AVAudioSession::isActive() const {
    return audio_route::active();
}

bool AVAudioSession::overrideOutputAudioPortError(AVAudioSessionPortOverride portOverride, Ref<NSError>* error) {
    if (portOverride != AVAudioSessionPortOverrideNone && portOverride != AVAudioSessionPortOverrideSpeaker) {
        return failWith(error, AVAudioSessionErrorCodeBadParam);
    }
    auto previous = currentRoute();
    auto before = audio_route::outputs();
    audio_route::setOverride(portOverride == AVAudioSessionPortOverrideSpeaker ? audio_route::Override::Speaker
                                                                               : audio_route::Override::None);
    if (audio_route::outputs() != before) {
        postRouteChange(AVAudioSessionRouteChangeReasonOverride, previous);
    }
    return true;
}

AVAudioSessionRecordPermission AVAudioSession::recordPermission() const {
    switch (SimAudio::current().recordPermission()) {
    case SimAudio::Permission::Granted:
        return AVAudioSessionRecordPermissionGranted;
    case SimAudio::Permission::Denied:
        return AVAudioSessionRecordPermissionDenied;
    case SimAudio::Permission::Undetermined:
        break;
    }
    return AVAudioSessionRecordPermissionUndetermined;
}

void AVAudioSession::requestRecordPermission(std::function<void(bool granted)> response) {
    auto& audio = SimAudio::current();
    auto queue = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    auto permission = audio.recordPermission();
    if (permission != SimAudio::Permission::Undetermined) {
        bool granted = permission == SimAudio::Permission::Granted;
        if (response) {
            dispatch_async(queue, [response, granted] { response(granted); });
        }
        return;
    }
    double delay = 0;
    auto answer = audio.permissionPromptAnswer(&delay);
    audio.setPermissionPromptShowing(true);
    if (answer == SimAudio::PromptAnswer::Wait) {
        // The operator answers later; the device then decides and this request hears it.
        auto token = std::make_shared<uint64_t>(0);
        *token = audio.addListener([token, response, queue](SimAudio::Event event) {
            if (event.change != SimAudio::Change::Permission) {
                return;
            }
            auto now = SimAudio::current().recordPermission();
            if (now == SimAudio::Permission::Undetermined) {
                return;
            }
            SimAudio::current().removeListener(*token);
            SimAudio::current().setPermissionPromptShowing(false);
            bool granted = now == SimAudio::Permission::Granted;
            if (response) {
                dispatch_async(queue, [response, granted] { response(granted); });
            }
        });
        return;
    }
    bool granted = answer == SimAudio::PromptAnswer::Allow;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * 1e9)), queue, [response, granted] {
        auto& device = SimAudio::current();
        device.setPermissionPromptShowing(false);
        if (device.recordPermission() == SimAudio::Permission::Undetermined) {
            device.setRecordPermission(granted ? SimAudio::Permission::Granted : SimAudio::Permission::Denied);
        }
        if (response) {
            response(device.recordPermission() == SimAudio::Permission::Granted);
        }
    });
}

Ref<AVAudioSessionRouteDescription> AVAudioSession::currentRoute() const {
    if (SimAudio::current().headsetPlugged()) {
        return routeWith(true);
    }
    // Outputs a profile or a script set on the device beyond the built-in ones (a Bluetooth
    // route, an accessory) are reported as the device lists them.
    auto ports = SimDevice::current().audioOutputs();
    bool builtIn = !ports.empty() && (ports.size() == 1 && (ports[0].type == "Receiver" || ports[0].type == "Speaker"));
    if (!builtIn && !ports.empty()) {
        std::vector<id> outputs;
        for (const auto& port : ports) {
            outputs.push_back(
                make<AVAudioSessionPortDescription>(NSString::from(port.type), NSString::from(port.name)));
        }
        return make<AVAudioSessionRouteDescription>(NSArray::arrayWithObjects({builtInMic()}),
                                                    NSArray::arrayWithVector(std::move(outputs)));
    }
    return routeWith(false);
}

Ref<NSArray> AVAudioSession::availableInputs() const {
    std::vector<id> inputs{builtInMic()};
    if (SimAudio::current().headsetPlugged()) {
        inputs.push_back(headsetMic());
    }
    return NSArray::arrayWithVector(std::move(inputs));
}

bool AVAudioSession::isInputAvailable() const {
    auto& audio = SimAudio::current();
    return audio.isPresent(SimAudio::Part::BottomMicrophone) || audio.isPresent(SimAudio::Part::FrontMicrophone) ||
           audio.headsetPlugged();
}

void AVAudioSession::applyOutputVolume(float volume) {
    DX_ASSERT_MAIN_THREAD();
    if (outputVolume_.load() == volume) {
        return;
    }
    willChangeValueForKey("outputVolume"_ns);
    outputVolume_ = volume;
    didChangeValueForKey("outputVolume"_ns);
}

float AVAudioSession::outputVolume() const {
    return outputVolume_.load();
}
