// The system volume notification and the headset's remote-control key (see AVSystemVolume.h).
#include <AVFoundation/AVSystemVolume.h>

#include <AVFoundation/AVAudioSession.h>
#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSThread.h>
#include <UIKit/UIApplication.h>

#include <atomic>

namespace {

void onMain(std::function<void()> work) {
    if (NSThread::isMainThread()) {
        work();
    } else {
        dispatch_async(dispatch_get_main_queue(), std::move(work));
    }
}

void postVolume(float volume, SimAudio::VolumeReason reason) {
    AVAudioSession::sharedInstance()->applyOutputVolume(volume);
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(NSString::from(audio_route::active() ? "Audio/Video" : "Ringtone"),
                          AVSystemController_AudioCategoryNotificationParameter());
    info->setObjectForKey(
        NSString::from(reason == SimAudio::VolumeReason::Key ? "ExplicitVolumeChange" : "ApplicationVolumeChange"),
        AVSystemController_AudioVolumeChangeReasonNotificationParameter());
    info->setObjectForKey(box(volume), AVSystemController_AudioVolumeNotificationParameter());
    NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(
        AVSystemController_SystemVolumeDidChangeNotification(), nullptr, info);
}

} // namespace

namespace avsystem_detail {

void startSystemVolumeNotifications() {
    static std::atomic<bool> started{false};
    if (started.exchange(true)) {
        return;
    }
    SimAudio::current().addListener([](SimAudio::Event event) {
        if (event.change == SimAudio::Change::Volume) {
            float volume = event.volume;
            SimAudio::VolumeReason reason = event.reason;
            onMain([volume, reason] { postVolume(volume, reason); });
        } else if (event.change == SimAudio::Change::HeadsetKey && event.key == SimAudio::HeadsetKey::PlayPause) {
            onMain([] {
                if (auto app = UIApplication::sharedApplication()) {
                    app->receiveRemoteControlEvent(UIEventSubtypeRemoteControlTogglePlayPause);
                }
            });
        }
    });
}

} // namespace avsystem_detail
