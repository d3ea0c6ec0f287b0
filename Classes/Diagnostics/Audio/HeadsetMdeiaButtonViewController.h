// HeadsetMdeiaButtonViewController (the class name is spelled so): while it is shown it plays the
// bundle's silence ("30-seconds-of-silence.mp3") and watches the system volume; each explicit
// volume change made with the keys is classified as up or down against the last volume seen.
// The reference starts at the session's output volume, read before the watch is armed, and follows
// changes the system or an application makes, so every press is reported by its real direction.
// The test passes (result 1) once the keys have moved the volume both up and down.
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Core/DXBaseViewController.h>

class HeadsetMdeiaButtonViewController : public DXBaseViewController {
    NS_OBJECT(HeadsetMdeiaButtonViewController, DXBaseViewController)
public:
    HeadsetMdeiaButtonViewController() = default;
    NS_PROPERTY(Ref<AVAudioPlayer>, player, setPlayer)
    NS_PROPERTY(double, launchVolume, setLaunchVolume)

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void monitorVolumeKeyEvent();
    void volumeUp();
    void volumeDown();

private:
    void pressed(bool up);
    bool sawUp_ = false;
    bool sawDown_ = false;
};
