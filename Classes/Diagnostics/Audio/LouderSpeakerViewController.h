// LouderSpeakerViewController: plays the bundle's music clip ("audiotest.mp3") once on the
// loudspeaker each time the screen comes into view and asks whether it was heard (YES 1, NO 2).
// An operator-audit copy of the record (`fakeTest`) plays nothing and inverts the answer, so an
// honest NO passes. Leaving the screen stops the clip and puts back the audio category it found.
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class LouderSpeakerViewController : public DXBaseViewController {
    NS_OBJECT(LouderSpeakerViewController, DXBaseViewController)
public:
    LouderSpeakerViewController() = default;
    NS_WEAK_PROPERTY(UILabel, labelTips, setLabelTips)
    NS_PROPERTY(Ref<AVAudioPlayer>, avAudioPlayer, setAvAudioPlayer)
    NS_PROPERTY(Ref<NSString>, category, setCategory)
    NS_PROPERTY(float, launchVolume, setLaunchVolume)

    void viewDidLoad() override;
    void actionWhenTestFailed();
};
