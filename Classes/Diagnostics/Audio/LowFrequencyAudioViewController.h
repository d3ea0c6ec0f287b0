// LowFrequencyAudioViewController: plays the bundle's low-frequency tone ("lowfreqaudio.wav") over
// and over on the receiver until the operator says whether it was heard (YES 1, NO 2); nobody
// answering within the record's time limit (0: 21600 s) ends the test with 3. Leaving the screen
// stops the tone and puts back the audio category it found.
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class LowFrequencyAudioViewController : public DXBaseViewController {
    NS_OBJECT(LowFrequencyAudioViewController, DXBaseViewController)
public:
    LowFrequencyAudioViewController() = default;
    NS_WEAK_PROPERTY(UILabel, labelTips, setLabelTips)
    NS_PROPERTY(Ref<AVAudioPlayer>, avAudioPlayer, setAvAudioPlayer)
    NS_PROPERTY(Ref<NSString>, category, setCategory)
    NS_PROPERTY(Ref<RXDisposable>, repeate, setRepeate)
    NS_PROPERTY(float, launchVolume, setLaunchVolume)

    void viewDidLoad() override;
    Ref<RXSignal> viewAppearSignal();
    void actionWhenTestFailed();

private:
    Ref<RXSignal> playaudioRepeatSignal();
    void presented(bool shown);
    Ref<RXSignal> viewAppearSignal_;
};
