// DXCameraVideoScreen: the camera video test, shared by its two screens (CameraVideoViewController
// and the step variant CameraVideo4ItouchuViewController). It records a clip of two seconds with
// the record's camera and the microphone to the temporary file "output.mov" after a count-down,
// plays it back in a loop and asks whether picture and sound were right: YES passes, NO fails.
//
// The flow is driven by two observable flags: `recording` turns YES when the first count-down ends
// (recording starts a second later), `playing` when the second one ends (the answer bar shows and
// the clip loops until the operator answers).
//
// Mended faults: leaving the screen cuts the whole chain, so nothing records on a stopped session
// and no play-back starts afterwards; a device without the camera records nothing (the test fails a
// second later); a session that cannot record (it failed to start, its camera is gone), a recording
// cut short by the camera going or by a full disk, and a clip that cannot be played end the test
// with result 2 instead of leaving a broken clip to judge. Main thread only.
#pragma once

#include <AVFoundation/AVCaptureMovieFileOutput.h>
#include <AVFoundation/AVPlayerLayer.h>
#include <Diagnostics/CameraDisplay/DXCameraScreen.h>
#include <Reactive/RXSignal.h>
#include <UIKit/UILabel.h>

class DXCameraVideoScreen : public DXCameraScreen {
    NS_OBJECT(DXCameraVideoScreen, DXCameraScreen)
public:
    DXCameraVideoScreen() = default;
    NS_PROPERTY(Ref<AVCaptureMovieFileOutput>, movieFileOutput, setMovieFileOutput)
    NS_PROPERTY(Ref<AVPlayer>, player, setPlayer)
    NS_PROPERTY(Ref<AVPlayerLayer>, playLayer, setPlayLayer)
    NS_PROPERTY(bool, recording, setRecording)
    NS_PROPERTY(bool, playing, setPlaying)
    NS_WEAK_PROPERTY(UILabel, colorLabel, setColorLabel)
    NS_WEAK_PROPERTY(UILabel, testLabel, setTestLabel)
    bool isRecording() const { return recording(); }
    bool isPlaying() const { return playing(); }

    // The movie's path: the temporary folder and "output.mov".
    static Ref<NSString> movieFile();

    void captureImage() override;
    void addMovieOutput();
    void cameraSetOutputProperties();
    Ref<RXSignal> countDownSignalWithTitleCountAdditional(const Ref<NSString>& title, NSInteger count, bool additional);
    Ref<RXSignal> recordSignal();
    Ref<RXSignal> playSignal();
    Ref<RXSignal> repeatPlayAndWaitConfimSignal();
    void setupPlayerAndLayer();
    void recordToggleButtonPress();
    void actionWhenTestFailed();

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewWillDisappear(bool animated) override;

protected:
    // Where the two screens part.
    virtual NSInteger stepOneCount() const = 0;
    virtual void showStepText(const Ref<NSString>& text) = 0;
    virtual bool stopsSessionOnEveryPass() const = 0;
    virtual void didSubscribeCountDown(const Ref<RXDisposable>&) {}
    virtual void didSubscribeRecording(const Ref<RXDisposable>&) {}
    virtual void didSubscribePlayLoop(const Ref<RXDisposable>&) {}
    virtual void didLoadVideoScreen() {}
    // The joined steps of a pass: first count-down, second count-down, play-back.
    virtual Ref<RXSignal> passSteps() { return stepOne()->concat(stepTwo())->concat(stepThree()); }

    // The three steps of one pass, and the start of one (session, recorder, steps).
    Ref<RXSignal> stepOne();
    Ref<RXSignal> stepTwo();
    Ref<RXSignal> stepThree();
    void startPass(const Ref<RXSignal>& steps);
    // Whether the screen has gone (viewWillDisappear:): nothing of the flow starts after that.
    bool hasLeft() const noexcept { return left_; }

private:
    void recordingFinished(const Ref<NSError>& error);
    // Makes the answer bar's NO and YES buttons `failButton` and `successButton`.
    void connectAnswerButtons();

    bool left_ = false;
    Ref<RXSignal> disappearSignal_;
};
