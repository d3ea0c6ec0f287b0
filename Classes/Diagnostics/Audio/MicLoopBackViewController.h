// MicLoopBackViewController: checks both built-in microphones and both output transducers. Phase 1
// routes the bottom microphone live to the receiver, phase 2 the front microphone to the
// loudspeaker; the operator says whether they hear their own voice. A NO is followed by a music
// check ("audiotest.mp3" looping on the same output) that tells a dead microphone from a dead
// output. Sub-results: "AUDIO_TEST_MAIN_MIC", "AUDIO_TEST_PRIMARY_SPEAKER", "AUDIO_TEST_2ND_MIC",
// "AUDIO_TEST_LOUD_SPEAKER".
//
// A microphone that cannot be selected is marked "FAIL" without a live phase (its output still gets
// the music check), so one microphone is never passed under the other's name; the default route
// (no override, the bottom microphone) is put back when the test ends or the screen goes.
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <Categorys/AudioProcessor.h>
#include <Core/DXBaseViewController.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class MicLoopBackViewController : public DXBaseViewController {
    NS_OBJECT(MicLoopBackViewController, DXBaseViewController)
public:
    MicLoopBackViewController() = default;
    NS_WEAK_PROPERTY(UILabel, speakerMicLabel, setSpeakerMicLabel)
    NS_WEAK_PROPERTY(UILabel, primarySpeakerLabel, setPrimarySpeakerLabel)
    NS_WEAK_PROPERTY(UILabel, secondMicLabel, setSecondMicLabel)
    NS_WEAK_PROPERTY(UILabel, loudSpeakerLabel, setLoudSpeakerLabel)
    NS_WEAK_PROPERTY(UILabel, questionLabel, setQuestionLabel)
    NS_WEAK_PROPERTY(UIImageView, step1, setStep1)
    NS_WEAK_PROPERTY(UIImageView, step2, setStep2)
    NS_WEAK_PROPERTY(UIImageView, step3, setStep3)
    NS_WEAK_PROPERTY(UIImageView, step4, setStep4)
    NS_PROPERTY(Ref<AudioProcessor>, audioProcessor1, setAudioProcessor1)
    NS_PROPERTY(Ref<AudioProcessor>, audioProcessor2, setAudioProcessor2)
    NS_PROPERTY(Ref<AVAudioPlayer>, audioPlayer, setAudioPlayer)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    // Selects the built-in microphone's data source of that orientation ("Bottom", "Front");
    // answers whether it could.
    bool useMicrophoneWithOrientation(const Ref<NSString>& orientation);
    // "audiotest.mp3" looping until the operator's answer, which is the signal's only value.
    Ref<RXSignal> playMusicSignalWithType(NSInteger type);

private:
    struct Phase {
        const char* orientation;
        const char* micKey;
        const char* outputKey;
        bool speaker;
        int micStep;    // 1 or 3
        int outputStep; // 2 or 4
    };
    void startPhase(const Phase& phase);
    void phaseAnswered(const Phase& phase, bool yes, bool selected);
    void musicAnswered(const Phase& phase, bool yes, bool micSelected);
    void next(const Phase& phase);
    void setSub(const char* key, const char* value);
    void setStep(int step, bool success);
    void stopProcessors();
    void restoreRoute();
};
