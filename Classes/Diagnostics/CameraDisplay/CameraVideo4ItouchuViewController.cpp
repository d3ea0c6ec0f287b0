#include <Diagnostics/CameraDisplay/CameraVideo4ItouchuViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/RXCommand.h>
#include <Reactive/UIButton+RXCommandSupport.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CameraVideo4ItouchuViewController, DXCameraVideoScreen) {
    using C = CameraVideo4ItouchuViewController;
    b.property("retryButton", &C::retryButton, &C::setRetryButton, "weak");
    b.property("waitingTime", &C::waitingTime, &C::setWaitingTime);
    b.method("reCaptureVideo", &C::reCaptureVideo);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("CameraVideo4ItouchuViewController", {{"testLabel", Kind::Label},
                                                         {"previewImageView", Kind::Picture},
                                                         {"colorLabel", Kind::Label},
                                                         {"retryButton", Kind::Button}});
    return true;
}();

} // namespace

NSInteger CameraVideo4ItouchuViewController::stepOneCount() const {
    return waitingTime() == 0 ? 1 : waitingTime();
}

void CameraVideo4ItouchuViewController::didLoadVideoScreen() {
    (void)layoutRegistered;
    if (auto button = retryButton()) {
        button->setTitleForState(DXLocalizedString("LCD_FILL_CONTROLLER_RETRY"), UIControlStateNormal);
    }
    setWaitingTime(3);
    if (info() && info()->waitingTime() >= 0) {
        setWaitingTime(info()->waitingTime());
    }
    setStep1(stepOne());
    setStep2(stepTwo());
    setStep3(stepThree());
    Weak<CameraVideo4ItouchuViewController> weak(this);
    if (auto button = retryButton()) {
        setRx_command(button, make<RXCommand>([weak](const id&) -> Ref<RXSignal> {
                          auto self = weak.lock();
                          if (!self) {
                              return RXSignal::empty();
                          }
                          for (const auto& d :
                               {self->countDownDisposable(), self->recordDisposable(), self->repeatPlayDisposable()}) {
                              if (d) {
                                  d->dispose();
                              }
                          }
                          self->stopSession();
                          if (auto output = self->movieFileOutput()) {
                              output->stopRecording();
                          }
                          self->setRecording(false);
                          if (auto p = self->player()) {
                              p->pause();
                          }
                          self->setPlaying(false);
                          if (auto label = self->colorLabel()) {
                              label->setText(""_ns);
                          }
                          self->hidenButtons(true);
                          self->reCaptureVideo();
                          return RXSignal::empty();
                      }));
    }
}

void CameraVideo4ItouchuViewController::reCaptureVideo() {
    NSLog("================reCaptureVideo==============");
    Weak<CameraVideo4ItouchuViewController> weak(this);
    requestAccessForMediaAccessAndCaptureVideo([weak] {
        if (auto self = weak.lock()) {
            self->startPass(self->passSteps());
        }
    });
}

void CameraVideo4ItouchuViewController::showStepText(const Ref<NSString>& text) {
    NSLog("%@", text);
    auto label = colorLabel();
    if (!label) {
        return;
    }
    if (waitingTime() == 0 && text && text->isEqual(NSString::stringWithFormat("%@ \n %d", ""_ns, 1))) {
        label->setText(NSString::stringWithFormat("%@ \n %d", DXLocalizedString("CAMERA_VIDEO_CONTROLLER_STEP2"), 4));
        return;
    }
    label->setText(text);
}
