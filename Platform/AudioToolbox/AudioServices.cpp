#include <AudioToolbox/AudioServices.h>

#include <Device/SimSensors.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

namespace {

void play(SystemSoundID soundID, std::function<void()> completion) {
    double duration = 0;
    if (soundID == kSystemSoundID_Vibrate) {
        duration = kSystemSoundVibrationDuration;
        SimSensors::current().vibrate(duration);
    }
    if (completion) {
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(duration * 1e9)),
                       dispatch_get_main_queue(), std::move(completion));
    }
}

} // namespace

void AudioServicesPlaySystemSound(SystemSoundID soundID) {
    play(soundID, nullptr);
}

void AudioServicesPlayAlertSound(SystemSoundID soundID) {
    play(soundID, nullptr);
}

void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion) {
    play(soundID, std::move(completion));
}

void AudioServicesPlayAlertSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion) {
    play(soundID, std::move(completion));
}
