// AudioOperatorCheckViewController: the operator's own word on the loudspeaker. It shows the
// loudspeaker screen's title and question ("did you hear the music from the loudspeaker?") but
// plays nothing itself: the operator answers from what the loudspeaker played before (the
// loudspeaker test's music), and the answer counts as given: YES passes (1), NO fails (2).
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class AudioOperatorCheckViewController : public DXBaseViewController {
    NS_OBJECT(AudioOperatorCheckViewController, DXBaseViewController)
public:
    AudioOperatorCheckViewController() = default;
    NS_WEAK_PROPERTY(UILabel, labelTips, setLabelTips)
    NS_PROPERTY(Ref<AVAudioPlayer>, avAudioPlayer, setAvAudioPlayer)
    NS_PROPERTY(Ref<NSString>, category, setCategory)
    NS_PROPERTY(float, launchVolume, setLaunchVolume)

    void viewDidLoad() override;
    void actionWhenTestFailed() {}
};
