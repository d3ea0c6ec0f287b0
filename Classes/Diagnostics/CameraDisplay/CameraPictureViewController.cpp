#include <Diagnostics/CameraDisplay/CameraPictureViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXCommand.h>
#include <Reactive/UIButton+RXCommandSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGeometry.h>

NS_IMPLEMENT_CLASS(CameraPictureViewController, DXCameraScreen) {
    using C = CameraPictureViewController;
    b.property("captureButton", &C::captureButton, &C::setCaptureButton, "weak");
    b.property("retakeButton", &C::retakeButton, &C::setRetakeButton, "weak");
    b.property("waitProgress", &C::waitProgress, &C::setWaitProgress, "weak");
    b.property("testTitle", &C::testTitle, &C::setTestTitle, "weak");
    b.property("orignalFont", &C::orignalFont, &C::setOrignalFont);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("CameraPictureViewController", {{"testTitle", Kind::Label},
                                                   {"previewImageView", Kind::Picture},
                                                   {"waitProgress", Kind::Activity, true},
                                                   {"captureButton", Kind::Button},
                                                   {"retakeButton", Kind::Button, true, {}, Slot::InPlaceOfPrevious}});
    return true;
}();

Ref<NSString> targetName(const Ref<DXTestModel>& info) {
    auto params = info ? info->params() : nullptr;
    auto color = params ? cast<NSString>(params->objectForKey("color"_ns)) : nullptr;
    return color ? DXLocalizedString(color) : ""_ns;
}

} // namespace

Ref<NSString> CameraPictureViewController::instruction() const {
    return DXLocalizedStringWithArguments("CAMERA_PICTURE_CONTROLLER_TITLE"_ns, {targetName(info())});
}

Ref<NSString> CameraPictureViewController::question() const {
    return DXLocalizedStringWithArguments("CAMERA_PICTURE_CONTROLLER_ANSWER"_ns, {targetName(info())});
}

void CameraPictureViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto retake = retakeButton()) {
        retake->setTitleForState(DXLocalizedString("CAMERA_PICTURE_CONTROLLER_RETAKE"), UIControlStateNormal);
        retake->setExclusiveTouch(true);
    }
    if (auto title = testTitle()) {
        title->setText(instruction());
        setOrignalFont(title->font());
    }
    if (auto capture = captureButton()) {
        capture->setExclusiveTouch(true);
    }
    if (auto host = previewImageView()) {
        host->setClipsToBounds(true);
    }
    Weak<CameraPictureViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& v) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(v)) {
            self->hidenButtons(true);
            if (auto spinner = self->waitProgress()) {
                spinner->setHidden(false);
                spinner->startAnimating();
            }
        } else {
            self->stopSession();
        }
    });
    rx_signalForSelector(Ref<NSObject>(this), "viewDidLayoutSubviews")->take(1)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->requestAccessForMediaAccessAndCaptureVideo([weak] {
                if (auto again = weak.lock()) {
                    again->startPreview();
                }
            });
        }
    });
    if (auto capture = captureButton()) {
        capture->setTitleForState(DXLocalizedString("CAMERA_ATTRIBUTE_CONTROLLER_CAPTURE_PICTURE"),
                                  UIControlStateNormal);
        setRx_command(capture, make<RXCommand>([weak](const id&) {
                          if (auto self = weak.lock()) {
                              self->capture();
                          }
                          return RXSignal::empty();
                      }));
    }
    if (auto retake = retakeButton()) {
        setRx_command(retake, make<RXCommand>([weak](const id&) {
                          if (auto self = weak.lock()) {
                              self->retake();
                          }
                          return RXSignal::empty();
                      }));
    }
    choose()->subscribeNext([weak](const id& v) {
        auto self = weak.lock();
        if (!self || self->isCompleted()) {
            return;
        }
        if (self->info()) {
            self->info()->setResult(unbox<bool>(v) ? DXTestResultPass : DXTestResultFail);
        }
        self->gotoResultView();
    });
}

void CameraPictureViewController::viewDidLayoutSubviews() {
    DXBaseViewController::viewDidLayoutSubviews();
}

void CameraPictureViewController::startPreview() {
    captureImage();
    addStillImageOutput();
    if (auto s = session()) {
        s->startRunning();
    }
}

void CameraPictureViewController::capture() {
    if (auto title = testTitle()) {
        title->setText(question());
        title->setFont(UIFont::systemFontOfSize(14));
    }
    if (auto button = captureButton()) {
        button->setHidden(true);
    }
    if (auto host = previewImageView()) {
        host->setHidden(true);
    }
    if (auto spinner = waitProgress()) {
        spinner->setHidden(false);
    }
    willTakePicture();
    Weak<CameraPictureViewController> weak(this);
    takePicture([weak](const Ref<UIImage>& image) {
        if (auto self = weak.lock()) {
            NSLog("originImage:%@", NSStringFromCGSize(image->size()));
            self->showPicture(image);
        }
    });
}

void CameraPictureViewController::showPicture(const Ref<UIImage>& image) {
    stopSession();
    if (auto layer = previewLayer()) {
        layer->removeFromSuperlayer();
    }
    if (auto spinner = waitProgress()) {
        spinner->setHidden(true);
    }
    if (auto host = previewImageView()) {
        host->setImage(image);
        host->setContentMode(UIViewContentModeScaleAspectFill);
        host->setHidden(false);
    }
    if (auto retake = retakeButton()) {
        retake->setHidden(false);
    }
    hidenButtons(false);
    didShowPicture();
}

void CameraPictureViewController::retake() {
    hidenButtons(true);
    if (auto title = testTitle()) {
        title->setText(instruction());
        title->setFont(orignalFont());
    }
    if (auto button = captureButton()) {
        button->setHidden(false);
    }
    if (auto retake = retakeButton()) {
        retake->setHidden(true);
    }
    startPreview();
}
