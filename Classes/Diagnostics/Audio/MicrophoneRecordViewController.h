// The microphone record and play-back tests. Both screens record 2 seconds of the operator's voice
// into "sound1.m4a" in the documents folder (AAC, 44100 Hz, 2 channels) after a count-down, then
// play it back until the operator says whether the recording was heard:
//   - MicrophoneLoopBackViewController plays it on the receiver and honours the operator-audit
//     copy of its record (`fakeTest`: nothing recorded or played, the answer inverted);
//   - MicrophoneRecordViewController plays it on the loudspeaker.
// A refused microphone permission fails the test after an alert. The old recording is deleted
// before each new one, so a dead microphone never passes on an earlier file; a recording the
// device cuts short ends the test as failed instead of leaving it waiting; the sub-items are
// marked before the test ends. Both put the default route back when they go.
#pragma once

#include <AVFoundation/AVAudioPlayer.h>
#include <AVFoundation/AVAudioRecorder.h>
#include <Core/DXBaseViewController.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

// What the two screens share; each screen says how it differs.
class DXMicrophoneRecordScreen : public DXBaseViewController {
    NS_OBJECT(DXMicrophoneRecordScreen, DXBaseViewController)
public:
    DXMicrophoneRecordScreen() = default;
    NS_WEAK_PROPERTY(UIImageView, step1, setStep1)
    NS_WEAK_PROPERTY(UIImageView, step2, setStep2)
    NS_WEAK_PROPERTY(UILabel, number, setNumber)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_PROPERTY(Ref<AVAudioRecorder>, recorder, setRecorder)
    NS_PROPERTY(Ref<AVAudioPlayer>, player1, setPlayer1)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    // The recorder's settings: MPEG-4 AAC, 44100 Hz, 2 channels.
    static Ref<NSDictionary> recordSettings();
    // Whether the current route plays on headphones.
    static bool isHeadsetPluggedIn();
    // The recording's file.
    static Ref<NSURL> recordingURL();

protected:
    struct Variant {
        bool loopBack = true; // MicrophoneLoopBackViewController
    };
    virtual Variant variant() const { return {}; }

private:
    void permissionAnswered(bool granted);
    Ref<RXSignal> waitSignal();
    Ref<RXSignal> recordSignal();
    Ref<RXSignal> answerSignal();
    void finishWith(bool yes);
    void failRecording();
    Ref<RXSignal> willDisappear();

    Ref<RXSignal> willDisappear_;
    Ref<RXDisposable> procedure_;
    bool recordingFailed_ = false;
    bool recordTicksDone_ = false;
};

class MicrophoneLoopBackViewController : public DXMicrophoneRecordScreen {
    NS_OBJECT(MicrophoneLoopBackViewController, DXMicrophoneRecordScreen)
public:
    MicrophoneLoopBackViewController() = default;
    NS_WEAK_PROPERTY(UILabel, steplabel, setSteplabel)
    NS_WEAK_PROPERTY(UILabel, steplable2, setSteplable2)

protected:
    Variant variant() const override { return {true}; }
};

class MicrophoneRecordViewController : public DXMicrophoneRecordScreen {
    NS_OBJECT(MicrophoneRecordViewController, DXMicrophoneRecordScreen)
public:
    MicrophoneRecordViewController() = default;
    NS_WEAK_PROPERTY(UILabel, stepSpeakIntoMicrophone, setStepSpeakIntoMicrophone)
    NS_WEAK_PROPERTY(UILabel, stepPlayingBackAudio, setStepPlayingBackAudio)

protected:
    Variant variant() const override { return {false}; }
};
