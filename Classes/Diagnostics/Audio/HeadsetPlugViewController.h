// HeadsetPlugViewController: the wired-headset test. After the microphone permission it waits for
// the headset to be plugged in (the record's time limit, 0 meaning 21600 s: result 3), then leads
// the operator through its steps: the headset microphone looped back live to the earpieces (a NO
// is followed by a sample in both ears), the left and the right earpiece alone, the volume-up,
// volume-down and play/pause keys (each with a fail button that toggles FAIL and NA), and finally
// the unplug, which ends the test (2 when a sub-result is FAIL, else 1). Unplugging before the
// steps are done fails the test.
//
// Mended here: each key step measures from the volume it read before it started listening, so a
// press made while the step starts is not lost; a notification without a volume reading is no
// press; the play/pause step's time limit marks the key FAIL and moves on to the unplug instead of
// leaving the test waiting; leaving the screen is never taken for an unplug; the now-playing
// silence loops while the play/pause step waits; players, the loop-back and observers stop when
// the screen goes and hold it only weakly. Leaving the screen at any step stops the loop-back, the
// players and the watches, removes the volume view and deactivates the audio session.
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Categorys/AudioProcessor.h>
#include <Core/DXBaseViewController.h>
#include <MediaPlayer/MPVolumeView.h>
#include <Reactive/RXSubject.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class HeadsetPlugViewController : public DXBaseViewController {
    NS_OBJECT(HeadsetPlugViewController, DXBaseViewController)
public:
    HeadsetPlugViewController() = default;
    ~HeadsetPlugViewController() override;
    NS_WEAK_PROPERTY(UIImageView, step1, setStep1)
    NS_WEAK_PROPERTY(UIImageView, step2, setStep2)
    NS_WEAK_PROPERTY(UIImageView, step3, setStep3)
    NS_WEAK_PROPERTY(UIImageView, step4, setStep4)
    NS_WEAK_PROPERTY(UIImageView, step5, setStep5)
    NS_WEAK_PROPERTY(UIImageView, step6, setStep6)
    NS_WEAK_PROPERTY(UIImageView, step7, setStep7)
    NS_WEAK_PROPERTY(UIImageView, step8, setStep8)
    NS_WEAK_PROPERTY(UIImageView, step9, setStep9)
    NS_WEAK_PROPERTY(UIButton, button1, setButton1)
    NS_WEAK_PROPERTY(UIButton, button6, setButton6)
    NS_WEAK_PROPERTY(UIButton, button7, setButton7)
    NS_WEAK_PROPERTY(UIButton, button8, setButton8)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    // The captions of the steps.
    NS_WEAK_PROPERTY(UILabel, stepInsertHeadset, setStepInsertHeadset)
    NS_WEAK_PROPERTY(UILabel, stepSpeakIntoHeadsetMic, setStepSpeakIntoHeadsetMic)
    NS_WEAK_PROPERTY(UILabel, stepPlayingBack, setStepPlayingBack)
    NS_WEAK_PROPERTY(UILabel, stepPlayingMusic, setStepPlayingMusic)
    NS_WEAK_PROPERTY(UILabel, stepLeftChannel, setStepLeftChannel)
    NS_WEAK_PROPERTY(UILabel, stepRightChannel, setStepRightChannel)
    NS_WEAK_PROPERTY(UILabel, stepVolumeUpChannel, setStepVolumeUpChannel)
    NS_WEAK_PROPERTY(UILabel, stepVolumeDownChannel, setStepVolumeDownChannel)
    NS_WEAK_PROPERTY(UILabel, stepMediaButtonChannel, setStepMediaButtonChannel)
    NS_WEAK_PROPERTY(UILabel, stepUnplugHeadset, setStepUnplugHeadset)
    NS_PROPERTY(Ref<AudioProcessor>, audioProcessor, setAudioProcessor)
    NS_PROPERTY(Ref<AVAudioPlayer>, player1, setPlayer1)
    NS_PROPERTY(Ref<AVAudioPlayer>, player2, setPlayer2)
    NS_PROPERTY(Ref<AVAudioPlayer>, player4, setPlayer4)
    NS_PROPERTY(Ref<RXSubject>, subjectOfPlayPause, setSubjectOfPlayPause)
    NS_PROPERTY(double, launchVolume, setLaunchVolume)
    // The volume view, placed out of sight in the application's first window while the screen
    // lives (a volume view in a window keeps the system's volume overlay away during the key steps).
    NS_PROPERTY(Ref<MPVolumeView>, volumeView, setVolumeView)

    void viewDidLoad() override;
    bool canBecomeFirstResponder() const override { return true; }
    void remoteControlReceivedWithEvent(const Ref<UIEvent>& event) override;
    void stepButton(const id& sender);
    static bool isHeadsetPluggedIn();

    Ref<RXSignal> plugSignalWithInOutNeedContinuous(bool inOut, bool needContinuous);
    Ref<RXSignal> pluginWithTimeout(NSInteger seconds);
    Ref<RXSignal> loopbackSignal();
    Ref<RXSignal> playAudioSignal();
    Ref<RXSignal> makeStereoPlayerSignalWithChannel(NSInteger channel);
    Ref<RXSignal> detectMediaButtonEventWithType(NSInteger type);
    Ref<RXSignal> detectTapWithButton(const Ref<UIButton>& button);
    // Announces the looping silence as now playing (title, album, artist, artwork and duration
    // from the sound's own metadata), so the headset's play/pause key comes to this screen.
    void showMusicInfo();

private:
    void permissionAnswered(bool granted);
    void pluggedIn();
    void finishSteps();
    void setSub(const char* key, const char* value);
    void mark(const Ref<UIImageView>& view, bool success);
    void tip(const char* key);
    Ref<RXSignal> loopedPlayer(const char* name, bool stereo);
    void updateSubState(const Ref<UIButton>& button, const char* key, const Ref<UIImageView>& mark);
    void stopEverything();

    Ref<RXDisposable> steps_;
    Ref<RXDisposable> earlyUnplug_;
    Ref<RXDisposable> volumeWatch_;
    bool mediaRemoved_ = false;
};
