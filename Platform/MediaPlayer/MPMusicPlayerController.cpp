// MPMusicPlayerController over the device's output volume (see MPMusicPlayerController.h).
#include <MediaPlayer/MPMusicPlayerController.h>

#include <AVFoundation/AVSystemVolume.h>
#include <Device/SimAudio.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(MPMusicPlayerController, NSObject) {
    b.property("volume", &MPMusicPlayerController::volume, &MPMusicPlayerController::setVolume);
    b.classMethod("applicationMusicPlayer", [] { return MPMusicPlayerController::applicationMusicPlayer(); });
}

MPMusicPlayerController::MPMusicPlayerController() {
    avsystem_detail::startSystemVolumeNotifications();
}

Ref<MPMusicPlayerController> MPMusicPlayerController::applicationMusicPlayer() {
    static const Ref<MPMusicPlayerController>& player =
        *new Ref<MPMusicPlayerController>(make<MPMusicPlayerController>());
    return player;
}

float MPMusicPlayerController::volume() const {
    return SimAudio::current().outputVolume();
}

void MPMusicPlayerController::setVolume(float volume) {
    SimAudio::current().setOutputVolume(volume, SimAudio::VolumeReason::App);
}
