// The audio session's C interface (see AudioSession.h).
#include <AudioToolbox/AudioSession.h>

#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Dispatch/DispatchQueue.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Registration {
    AudioSessionPropertyID property = 0;
    AudioSessionPropertyListener listener = nullptr;
    void* clientData = nullptr;
    uint64_t serial = 0;
};

struct Listeners {
    std::mutex mutex;
    std::vector<Registration> registrations;
    uint64_t nextSerial = 1;
    uint64_t deviceToken = 0;
};

Listeners& listeners() {
    static Listeners* l = new Listeners;
    return *l;
}

dispatch_queue_t listenerQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("AudioSession.listeners", nullptr));
    return *queue;
}

bool registered(uint64_t serial) {
    std::lock_guard lock(listeners().mutex);
    return std::any_of(listeners().registrations.begin(), listeners().registrations.end(),
                       [&](const Registration& r) { return r.serial == serial; });
}

void volumeChanged(float volume) {
    std::vector<Registration> targets;
    {
        std::lock_guard lock(listeners().mutex);
        for (const auto& r : listeners().registrations) {
            if (r.property == kAudioSessionProperty_CurrentHardwareOutputVolume) {
                targets.push_back(r);
            }
        }
    }
    for (const auto& r : targets) {
        dispatch_async(listenerQueue(), [r, volume] {
            // A listener removed since the change is not called.
            if (registered(r.serial)) {
                r.listener(r.clientData, r.property, sizeof(float), &volume);
            }
        });
    }
}

void watchDevice() {
    std::lock_guard lock(listeners().mutex);
    if (listeners().deviceToken) {
        return;
    }
    listeners().deviceToken = SimAudio::current().addListener([](SimAudio::Event event) {
        if (event.change == SimAudio::Change::Volume) {
            volumeChanged(event.volume);
        }
    });
}

} // namespace

OSStatus AudioSessionAddPropertyListener(AudioSessionPropertyID propertyID, AudioSessionPropertyListener listener,
                                         void* clientData) {
    if (!listener) {
        return kAudioSessionBadPropertySizeError;
    }
    if (propertyID != kAudioSessionProperty_CurrentHardwareOutputVolume) {
        return kAudioSessionUnsupportedPropertyError;
    }
    watchDevice();
    std::lock_guard lock(listeners().mutex);
    listeners().registrations.push_back({propertyID, listener, clientData, listeners().nextSerial++});
    return kAudioSessionNoError;
}

OSStatus AudioSessionRemovePropertyListenerWithUserData(AudioSessionPropertyID propertyID,
                                                        AudioSessionPropertyListener listener, void* clientData) {
    std::lock_guard lock(listeners().mutex);
    std::erase_if(listeners().registrations, [&](const Registration& r) {
        return r.property == propertyID && r.listener == listener && r.clientData == clientData;
    });
    return kAudioSessionNoError;
}

OSStatus AudioSessionSetProperty(AudioSessionPropertyID propertyID, uint32_t dataSize, const void* data) {
    if (propertyID != kAudioSessionProperty_OverrideAudioRoute) {
        return kAudioSessionUnsupportedPropertyError;
    }
    if (dataSize != sizeof(uint32_t) || !data) {
        return kAudioSessionBadPropertySizeError;
    }
    uint32_t value = *static_cast<const uint32_t*>(data);
    audio_route::setOverride(value == kAudioSessionOverrideAudioRoute_None ? audio_route::Override::None
                                                                           : audio_route::Override::Speaker);
    return kAudioSessionNoError;
}

OSStatus AudioSessionGetProperty(AudioSessionPropertyID propertyID, uint32_t* ioDataSize, void* outData) {
    if (!ioDataSize || !outData) {
        return kAudioSessionBadPropertySizeError;
    }
    if (propertyID == kAudioSessionProperty_CurrentHardwareOutputVolume) {
        if (*ioDataSize < sizeof(float)) {
            return kAudioSessionBadPropertySizeError;
        }
        *static_cast<float*>(outData) = SimAudio::current().outputVolume();
        *ioDataSize = sizeof(float);
        return kAudioSessionNoError;
    }
    if (propertyID == kAudioSessionProperty_OverrideAudioRoute) {
        if (*ioDataSize < sizeof(uint32_t)) {
            return kAudioSessionBadPropertySizeError;
        }
        *static_cast<uint32_t*>(outData) = audio_route::override_() == audio_route::Override::Speaker
                                               ? kAudioSessionOverrideAudioRoute_Speaker
                                               : kAudioSessionOverrideAudioRoute_None;
        *ioDataSize = sizeof(uint32_t);
        return kAudioSessionNoError;
    }
    return kAudioSessionUnsupportedPropertyError;
}
