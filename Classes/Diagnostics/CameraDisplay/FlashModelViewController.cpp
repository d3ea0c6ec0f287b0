#include <Diagnostics/CameraDisplay/FlashModelViewController.h>

#include "CameraLayout.h"

#include <AVFoundation/AVCaptureDevice.h>
#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(FlashModelViewController, DXBaseViewController) {
    b.property("tipLabel", &FlashModelViewController::tipLabel, &FlashModelViewController::setTipLabel, "weak");
    b.method("toggleTorch:", &FlashModelViewController::toggleTorch);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("FlashModelViewController", {{"labelTitle", Kind::Label}, {"tipLabel", Kind::Label}});
    return true;
}();

} // namespace

void FlashModelViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_camera::subItems({"Flash"}));
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("ROOTLIST_TITLE_FLASH_TEST"));
    }
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("FLASH_ANSWER"));
    }
    Weak<FlashModelViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& v) {
        if (auto self = weak.lock()) {
            self->shown_ = unbox<bool>(v);
            self->toggleTorch(self->shown_ && !self->isCompleted());
        }
    });
    // The application's moves, a second late; a switch-on only while the screen is still shown.
    enterToForeground()->delay(1.0)->takeUntil(disappear())->subscribeNext([weak](const id&) {
        if (auto self = weak.lock(); self && self->shown_ && !self->isCompleted()) {
            self->toggleTorch(true);
        }
    });
    enterToBackgound()->delay(1.0)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->toggleTorch(false);
        }
    });
    choose()->subscribeNext([weak](const id& v) {
        auto self = weak.lock();
        if (!self || self->isCompleted()) {
            return;
        }
        self->toggleTorch(false);
        if (self->info()) {
            self->info()->setResult(unbox<bool>(v) ? DXTestResultPass : DXTestResultFail);
        }
        self->gotoResultView();
    });
}

void FlashModelViewController::toggleTorch(bool on) {
    NSLog("toggleTorch %@", on ? "on"_ns : "off"_ns);
    auto device = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo());
    if (!device || !device->hasTorch()) {
        return;
    }
    Ref<NSError> error;
    if (device->lockForConfiguration(&error)) {
        device->setTorchMode(on ? AVCaptureTorchModeOn : AVCaptureTorchModeOff);
        device->unlockForConfiguration();
    }
}

void FlashModelViewController::willDealloc() {
    // Whatever way the screen ended, the light does not stay on behind it.
    if (shown_) {
        toggleTorch(false);
    }
    DXBaseViewController::willDealloc();
}
