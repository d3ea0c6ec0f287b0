// MPMusicPlayerController: the application's music player. Its `volume` is the device's output
// volume; setting it is a change the application makes (announced by the system volume
// notification with a reason other than a key press, and to audio-session property listeners).
#pragma once

#include <Runtime/NSObject.h>

class MPMusicPlayerController : public NSObject {
    NS_OBJECT(MPMusicPlayerController, NSObject)
public:
    MPMusicPlayerController();
    static Ref<MPMusicPlayerController> applicationMusicPlayer();
    static Ref<MPMusicPlayerController> systemMusicPlayer() { return applicationMusicPlayer(); }

    float volume() const;
    // Clamped to 0..1; NaN is ignored.
    void setVolume(float volume);
};
