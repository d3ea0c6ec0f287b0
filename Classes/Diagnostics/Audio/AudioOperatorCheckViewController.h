// AudioOperatorCheckViewController: the operator-audit question of the audio tests. It shows the
// loudspeaker screen's title and question but plays nothing, so an honest operator answers NO,
// which passes (result 1); YES, a claim to have heard a sound that never played, fails (2).
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
