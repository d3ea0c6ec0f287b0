// CameraVideo4ItouchuViewController: the step variant of the camera video test
// (DXCameraVideoScreen). Its first count-down is 3, or the record's `waitingTime` when that is 0 or
// more (0 runs as one tick, shown as the second step's text with 4); it stops the session at every
// play pass, and its Retry button throws the running pass away and runs a whole new one with a new
// session (`reCaptureVideo`). The three steps and the running disposables are kept for that.
#pragma once

#include <Diagnostics/CameraDisplay/DXCameraVideoScreen.h>
#include <Reactive/RXDisposable.h>
#include <UIKit/UIButton.h>

class CameraVideo4ItouchuViewController : public DXCameraVideoScreen {
    NS_OBJECT(CameraVideo4ItouchuViewController, DXCameraVideoScreen)
public:
    CameraVideo4ItouchuViewController() = default;
    NS_WEAK_PROPERTY(UIButton, retryButton, setRetryButton)
    NS_PROPERTY(NSInteger, waitingTime, setWaitingTime)
    NS_PROPERTY(Ref<RXSignal>, step1, setStep1)
    NS_PROPERTY(Ref<RXSignal>, step2, setStep2)
    NS_PROPERTY(Ref<RXSignal>, step3, setStep3)
    NS_PROPERTY(Ref<RXDisposable>, countDownDisposable, setCountDownDisposable)
    NS_PROPERTY(Ref<RXDisposable>, recordDisposable, setRecordDisposable)
    NS_PROPERTY(Ref<RXDisposable>, repeatPlayDisposable, setRepeatPlayDisposable)

    void reCaptureVideo();

protected:
    NSInteger stepOneCount() const override;
    void showStepText(const Ref<NSString>& text) override;
    bool stopsSessionOnEveryPass() const override { return true; }
    void didSubscribeCountDown(const Ref<RXDisposable>& d) override { setCountDownDisposable(d); }
    void didSubscribeRecording(const Ref<RXDisposable>& d) override { setRecordDisposable(d); }
    void didSubscribePlayLoop(const Ref<RXDisposable>& d) override { setRepeatPlayDisposable(d); }
    void didLoadVideoScreen() override;
    Ref<RXSignal> passSteps() override { return step1()->concat(step2())->concat(step3()); }
};
