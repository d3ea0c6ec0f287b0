#include <Diagnostics/CameraDisplay/CameraModelViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CameraModelViewController, DXCameraScreen) {
    using C = CameraModelViewController;
    b.property("colorLabel", &C::colorLabel, &C::setColorLabel, "weak");
    b.method("viewDidLayoutSubviews", &C::viewDidLayoutSubviews);
    b.classMethod("extraMessage", []() -> id { return nullptr; });
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("CameraModelViewController", {{"colorLabel", Kind::Label}, {"previewImageView", Kind::Picture}});
    return true;
}();

const char* subItemTitle(const std::string& color, bool front) {
    if (color == "white") {
        return front ? "CAMERA_CONTROLLER_FRONT_WHITE" : "CAMERA_CONTROLLER_BACK_WHITE";
    }
    if (color == "specific") {
        return front ? "CAMERA_CONTROLLER_FRONT_PATTERN" : "CAMERA_CONTROLLER_BACK_PATTERN";
    }
    if (color == "black") {
        return front ? "CAMERA_CONTROLLER_FRONT_BLACK" : "CAMERA_CONTROLLER_BACK_BLACK";
    }
    return nullptr;
}

} // namespace

void CameraModelViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    hidenButtons(false);
    if (auto host = previewImageView()) {
        host->setClipsToBounds(true);
    }
    Weak<CameraModelViewController> weak(this);
    rx_signalForSelector(Ref<NSObject>(this), "viewDidLayoutSubviews")->take(1)->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        self->requestAccessForMediaAccessAndCaptureVideo([weak] {
            if (auto again = weak.lock()) {
                again->captureImage();
                if (auto s = again->session()) {
                    s->startRunning();
                }
            }
        });
    });
    choose()->subscribeNext([weak](const id& v) {
        auto self = weak.lock();
        if (!self || self->isCompleted()) {
            return;
        }
        self->stopSession();
        if (self->info()) {
            self->info()->setResult(unbox<bool>(v) ? DXTestResultPass : DXTestResultFail);
        }
        self->gotoResultView();
    });
    auto params = info() ? info()->params() : nullptr;
    auto color = params ? cast<NSString>(params->objectForKey("color"_ns)) : nullptr;
    if (auto label = colorLabel()) {
        label->setText(DXLocalizedStringWithArguments("CAMERA_CONTROLLER_DISPLAY_ANSWER"_ns,
                                                      {color ? DXLocalizedString(color) : ""_ns}));
    }
    const char* title = subItemTitle(color ? color->str() : "", isFrontCamera());
    auto item = NSMutableDictionary::dictionary();
    if (title) {
        item->setObjectForKey(DXLocalizedString(title), "title"_ns);
    }
    setSubItemlist(NSArray::arrayWithObjects({item}));
    NSLog("end time");
}

void CameraModelViewController::viewDidLayoutSubviews() {
    DXBaseViewController::viewDidLayoutSubviews();
}

void CameraModelViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    stopSession();
}
