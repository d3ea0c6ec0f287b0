// System sound services on the simulated device (see AudioServices.h).
#include <AudioToolbox/AudioServices.h>

#include <AudioToolbox/AudioFileCodec.h>
#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <map>
#include <memory>
#include <mutex>

namespace {

struct Sound {
    std::shared_ptr<const AudioFileData> audio;
    bool isUISound = false;
    AudioServicesSystemSoundCompletionProc completion = nullptr;
    void* clientData = nullptr;
};

struct Registry {
    std::mutex mutex;
    std::map<SystemSoundID, Sound> sounds;
    SystemSoundID next = 4097;
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

void afterOnMain(double seconds, std::function<void()> work) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * 1e9)), dispatch_get_main_queue(),
                   std::move(work));
}

void play(SystemSoundID soundID, std::function<void()> completion, bool alert) {
    if (soundID == kSystemSoundID_Vibrate) {
        SimSensors::current().vibrate(kSystemSoundVibrationDuration);
        if (completion) {
            afterOnMain(kSystemSoundVibrationDuration, std::move(completion));
        }
        return;
    }
    Sound sound;
    bool known;
    {
        std::lock_guard lock(registry().mutex);
        auto it = registry().sounds.find(soundID);
        known = it != registry().sounds.end();
        if (known) {
            sound = it->second;
        }
    }
    if (!known) {
        // Nothing to play: done at once.
        if (completion) {
            afterOnMain(0, std::move(completion));
        }
        return;
    }
    double duration = 0;
    bool silent = SimAudio::current().ringerSilent();
    if (alert && silent) {
        SimSensors::current().vibrate(kSystemSoundVibrationDuration);
        duration = kSystemSoundVibrationDuration;
    } else if (!(silent && sound.isUISound)) {
        audio_route::play(*sound.audio, DispatchClock::uptime(), 0, 1.0f);
        duration = sound.audio->duration();
    }
    afterOnMain(duration, [soundID, completion = std::move(completion)] {
        AudioServicesSystemSoundCompletionProc proc = nullptr;
        void* clientData = nullptr;
        {
            std::lock_guard lock(registry().mutex);
            auto it = registry().sounds.find(soundID);
            if (it == registry().sounds.end()) {
                return; // disposed of meanwhile
            }
            proc = it->second.completion;
            clientData = it->second.clientData;
        }
        if (proc) {
            proc(soundID, clientData);
        }
        if (completion) {
            completion();
        }
    });
}

} // namespace

OSStatus AudioServicesCreateSystemSoundID(const Ref<NSURL>& fileURL, SystemSoundID* outSystemSoundID) {
    if (!fileURL || !outSystemSoundID || !fileURL->path()) {
        return kAudioServicesSystemSoundUnspecifiedError;
    }
    auto audio = AudioFileDecode(fileURL->path()->str());
    if (!audio || audio->frames() == 0) {
        return kAudioServicesSystemSoundUnspecifiedError;
    }
    if (audio->duration() > kSystemSoundMaximumDuration) {
        return kAudioServicesSystemSoundExceededMaximumDurationError;
    }
    std::lock_guard lock(registry().mutex);
    SystemSoundID id = registry().next++;
    registry().sounds[id].audio = std::make_shared<const AudioFileData>(std::move(*audio));
    *outSystemSoundID = id;
    return noErr;
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID soundID) {
    std::lock_guard lock(registry().mutex);
    return registry().sounds.erase(soundID) ? noErr : kAudioServicesSystemSoundUnspecifiedError;
}

OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID soundID, const Ref<NSObject>&, const Ref<NSString>&,
                                               AudioServicesSystemSoundCompletionProc completion, void* clientData) {
    std::lock_guard lock(registry().mutex);
    auto it = registry().sounds.find(soundID);
    if (it == registry().sounds.end()) {
        return kAudioServicesSystemSoundUnspecifiedError;
    }
    it->second.completion = completion;
    it->second.clientData = clientData;
    return noErr;
}

void AudioServicesRemoveSystemSoundCompletion(SystemSoundID soundID) {
    std::lock_guard lock(registry().mutex);
    if (auto it = registry().sounds.find(soundID); it != registry().sounds.end()) {
        it->second.completion = nullptr;
        it->second.clientData = nullptr;
    }
}

OSStatus AudioServicesSetProperty(AudioServicesPropertyID propertyID, uint32_t specifierSize, const void* specifier,
                                  uint32_t dataSize, const void* data) {
    if (propertyID != kAudioServicesPropertyIsUISound &&
        propertyID != kAudioServicesPropertyCompletePlaybackIfAppDies) {
        return kAudioServicesUnsupportedPropertyError;
    }
    if (specifierSize != sizeof(SystemSoundID) || !specifier) {
        return kAudioServicesBadSpecifierSizeError;
    }
    if (dataSize != sizeof(uint32_t) || !data) {
        return kAudioServicesBadPropertySizeError;
    }
    SystemSoundID id = *static_cast<const SystemSoundID*>(specifier);
    uint32_t value = *static_cast<const uint32_t*>(data);
    std::lock_guard lock(registry().mutex);
    auto it = registry().sounds.find(id);
    if (it == registry().sounds.end()) {
        return kAudioServicesSystemSoundUnspecifiedError;
    }
    if (propertyID == kAudioServicesPropertyIsUISound) {
        it->second.isUISound = value != 0;
    }
    return noErr;
}

OSStatus AudioServicesGetProperty(AudioServicesPropertyID propertyID, uint32_t specifierSize, const void* specifier,
                                  uint32_t* ioDataSize, void* outData) {
    if (propertyID != kAudioServicesPropertyIsUISound) {
        return kAudioServicesUnsupportedPropertyError;
    }
    if (specifierSize != sizeof(SystemSoundID) || !specifier) {
        return kAudioServicesBadSpecifierSizeError;
    }
    if (!ioDataSize || *ioDataSize < sizeof(uint32_t) || !outData) {
        return kAudioServicesBadPropertySizeError;
    }
    SystemSoundID id = *static_cast<const SystemSoundID*>(specifier);
    std::lock_guard lock(registry().mutex);
    auto it = registry().sounds.find(id);
    if (it == registry().sounds.end()) {
        return kAudioServicesSystemSoundUnspecifiedError;
    }
    *static_cast<uint32_t*>(outData) = it->second.isUISound ? 1 : 0;
    *ioDataSize = sizeof(uint32_t);
    return noErr;
}

void AudioServicesPlaySystemSound(SystemSoundID soundID) {
    play(soundID, nullptr, false);
}

void AudioServicesPlayAlertSound(SystemSoundID soundID) {
    play(soundID, nullptr, true);
}

void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion) {
    play(soundID, std::move(completion), false);
}

void AudioServicesPlayAlertSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion) {
    play(soundID, std::move(completion), true);
}
