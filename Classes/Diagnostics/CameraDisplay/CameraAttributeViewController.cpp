#include <Diagnostics/CameraDisplay/CameraAttributeViewController.h>

#include "CameraLayout.h"

#include <AVFoundation/AVCaptureDevice.h>
#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXCommand.h>
#include <Reactive/UIButton+RXCommandSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIGeometry.h>
#include <UIKit/UIScreen.h>

#include <cmath>

NS_IMPLEMENT_CLASS(CameraAttributeViewController, DXBaseViewController) {
    using C = CameraAttributeViewController;
    b.property("tipLabel", &C::tipLabel, &C::setTipLabel, "weak");
    b.property("previewImageView", &C::previewImageView, &C::setPreviewImageView, "weak");
    b.property("captureButton", &C::captureButton, &C::setCaptureButton, "weak");
    b.property("hasFlash", &C::hasFlash, &C::setHasFlash);
    b.property("isFrontCamera", &C::isFrontCamera, &C::setIsFrontCamera);
    b.property("count", &C::count, &C::setCount);
    b.property("testItems", &C::testItems, &C::setTestItems);
    b.property("alertView", &C::alertView, &C::setAlertView);
    b.property("picker", &C::picker, &C::setPicker);
    b.method("takePicture", &C::takePicture);
    b.method("checkResult", &C::checkResult);
    b.method("resetIdeleTimerDisabled", &C::resetIdeleTimerDisabled);
    b.method("imagePickerController:didFinishPickingMediaWithInfo:",
             &C::imagePickerControllerDidFinishPickingMediaWithInfo);
    b.method("imagePickerControllerDidCancel:", &C::imagePickerControllerDidCancel);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout(
        "CameraAttributeViewController",
        {{"tipLabel", Kind::Label, true}, {"previewImageView", Kind::Picture}, {"captureButton", Kind::Button, true}});
    return true;
}();

struct Item {
    const char* title;
    const char* tips;
    const char* key;
};

void later(double seconds, std::function<void()> block) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(seconds * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), std::move(block));
}

} // namespace

void CameraAttributeViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    auto camera = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo());
    setHasFlash(camera && camera->hasFlash());
    auto params = info() ? info()->params() : nullptr;
    auto direction = params ? cast<NSString>(params->objectForKey("direction"_ns)) : nullptr;
    setIsFrontCamera(direction && direction->str() == "front");

    std::vector<Item> items;
    std::vector<const char*> removed;
    if (isFrontCamera()) {
        items = {{"FRONT_CAMERA_TOUCH_TEST", "CAMERA_ATTRIBUTE_CONTROLLER_ANSWER_TOUCH_FOUCS",
                  "FRONT_CAMERA_ADV_TEST_FOCUS"}};
        removed = {"BACK_CAMERA_ADV_TEST_ZOOMINOUT", "BACK_CAMERA_ADV_TEST_FOCUS"};
    } else {
        items = {
            {"BACK_CAMERA_ZOOM_TEST", "CAMERA_ATTRIBUTE_CONTROLLER_ANSWER_ZOOM", "BACK_CAMERA_ADV_TEST_ZOOMINOUT"},
            {"BACK_CAMERA_TOUCH_TEST", "CAMERA_ATTRIBUTE_CONTROLLER_ANSWER_TOUCH_FOUCS", "BACK_CAMERA_ADV_TEST_FOCUS"}};
        if (hasFlash()) {
            items.push_back(
                {"BACK_CAMERA_FLASH_TEST", "CAMERA_ATTRIBUTE_CONTROLLER_ANSWER_FLASH", "BACK_CAMERA_ADV_TEST_FLASH"});
        } else {
            removed = {"BACK_CAMERA_ADV_TEST_FLASH"};
        }
    }
    auto list = NSMutableArray::array();
    auto tests = NSMutableArray::array();
    for (const auto& item : items) {
        auto sub = NSMutableDictionary::dictionary();
        sub->setObjectForKey(NSString::from(item.title), "title"_ns);
        list->addObject(sub);
        auto test = NSMutableDictionary::dictionary();
        test->setObjectForKey(DXLocalizedString(item.tips), "tips"_ns);
        test->setObjectForKey(NSString::from(item.key), "subtestkey"_ns);
        tests->addObject(test);
    }
    setSubItemlist(list);
    setTestItems(tests);
    if (auto results = info() ? info()->subTestItemsResult() : nullptr) {
        for (const char* key : removed) {
            results->removeObjectForKey(NSString::from(key));
        }
    }

    if (auto host = previewImageView()) {
        host->setClipsToBounds(true);
    }
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("CAMERA_ATTRIBUTE_CONTROLLER_TIPS_TAKE_PHOTO"));
        tip->setHidden(true);
    }
    Weak<CameraAttributeViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& v) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(v)) {
            self->hidenButtons(true);
            UIApplication::sharedApplication()->setIdleTimerDisabled(true);
        } else {
            if (auto alert = self->alertView()) {
                alert->dismissWithClickedButtonIndexAnimated(0, true);
            }
            self->checkResult();
        }
    });
    if (auto button = captureButton()) {
        button->setTitleForState(DXLocalizedString("CAMERA_ATTRIBUTE_CONTROLLER_CAPTURE_PICTURE"),
                                 UIControlStateNormal);
        button->setHidden(true);
        setRx_command(button, make<RXCommand>([weak](const id&) {
                          if (auto self = weak.lock()) {
                              self->takePicture();
                          }
                          return RXSignal::empty();
                      }));
    }
    choose()->repeat()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& v) {
        if (auto self = weak.lock()) {
            self->answer(unbox<bool>(v));
        }
    });

    auto p = make<UIImagePickerController>();
    bool cameraSource = UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera);
    p->setSourceType(cameraSource ? UIImagePickerControllerSourceTypeCamera
                                  : UIImagePickerControllerSourceTypePhotoLibrary);
    p->setDelegate(Ref<NSObject>(this));
    p->setAllowsEditing(true);
    if (cameraSource && isFrontCamera()) {
        p->setCameraDevice(UIImagePickerControllerCameraDeviceFront);
    }
    auto model = UIDevice::currentDevice()->model();
    if (!model || model->str().rfind("iPad", 0) != 0) {
        CGSize s = UIScreen::mainScreen()->bounds().size;
        bool tall = (s.width == 375 && s.height == 812) || (s.width == 414 && s.height == 896);
        CGRect frame =
            tall ? CGRectMake(std::floor(s.width - 55), 5, 50, 40) : CGRectMake(std::floor(s.width - 50), 0, 50, 40);
        auto icon = make<UIImageView>(frame);
        icon->setImage(UIImage::imageNamed(isFrontCamera() ? "icon_picture_app_front_advanced"_ns
                                                           : "icon_picture_app_back_advanced"_ns));
        icon->setContentMode(UIViewContentModeScaleToFill);
        icon->setUserInteractionEnabled(true);
        p->view()->addSubview(icon);
    }
    setPicker(p);
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto self = weak.lock();
        if (self && !self->isCompleted()) {
            if (auto button = self->captureButton()) {
                button->sendActionsForControlEvents(UIControlEventTouchUpInside);
            }
        }
    });
}

void CameraAttributeViewController::takePicture() {
    if (AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo()) == AVAuthorizationStatusDenied) {
        NSLog("Denied");
        if (!alertView()) {
            auto message = DXLocalizedStringWithArguments("CAMERA_CONTROLLER_AUTHORIZATION_ALERT"_ns, {"Celvix"_ns});
            setAlertView(make<UIAlertView>(""_ns, message, nullptr, DXLocalizedString("BASETEST_CONTROLLER_YES"),
                                           std::vector<Ref<NSString>>{}));
        }
        alertView()->show();
        return;
    }
    auto p = picker();
    if (!p) {
        return;
    }
    auto wanted = isFrontCamera() ? UIImagePickerControllerCameraDeviceFront : UIImagePickerControllerCameraDeviceRear;
    if (p->sourceType() == UIImagePickerControllerSourceTypeCamera &&
        !UIImagePickerController::isCameraDeviceAvailable(wanted)) {
        // The camera screen would open on the other camera: that one's picture must not pass for
        // this one's. Without the camera there is nothing to try, so the test fails, as a camera
        // screen without its camera input does.
        NSLog("no input..... (the %@ camera is not available)", isFrontCamera() ? "front"_ns : "back"_ns);
        Weak<CameraAttributeViewController> weak(this);
        later(1.0, [weak] {
            if (auto self = weak.lock(); self && !self->isCompleted()) {
                self->checkResult();
                self->gotoResultView();
            }
        });
        return;
    }
    presentViewControllerAnimatedCompletion(p, false, nullptr);
}

void CameraAttributeViewController::resetIdeleTimerDisabled() {
    UIApplication::sharedApplication()->setIdleTimerDisabled(true);
}

void CameraAttributeViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    const id& pickerObject, const Ref<NSDictionary>& mediaInfo) {
    auto p = cast<UIViewController>(pickerObject);
    Weak<CameraAttributeViewController> weak(this);
    if (p) {
        p->dismissViewControllerAnimatedCompletion(true, [weak] {
            later(1.0, [weak] {
                if (auto self = weak.lock()) {
                    self->resetIdeleTimerDisabled();
                }
            });
        });
    }
    auto edited = mediaInfo ? cast<UIImage>(mediaInfo->objectForKey(UIImagePickerControllerEditedImage())) : nullptr;
    if (edited) {
        later(0.0, [weak, edited] {
            if (auto self = weak.lock()) {
                self->previewImage(edited);
            }
        });
    }
}

void CameraAttributeViewController::imagePickerControllerDidCancel(const id& pickerObject) {
    auto p = cast<UIViewController>(pickerObject);
    Weak<CameraAttributeViewController> weak(this);
    auto finish = [weak] {
        later(1.0, [weak] {
            if (auto self = weak.lock()) {
                self->resetIdeleTimerDisabled();
            }
        });
        if (auto self = weak.lock(); self && !self->isCompleted()) {
            // Nothing was answered: the test fails rather than ending without a result.
            self->checkResult();
            self->gotoResultView();
        }
    };
    if (p) {
        p->dismissViewControllerAnimatedCompletion(false, finish);
    } else {
        finish();
    }
}

void CameraAttributeViewController::previewImage(const Ref<UIImage>& image) {
    if (!image) {
        return;
    }
    NSLog("originImage:%@", NSStringFromCGSize(image->size()));
    if (auto host = previewImageView()) {
        host->setImage(image);
        host->setContentMode(UIViewContentModeScaleAspectFill);
    }
    if (auto button = captureButton()) {
        button->setHidden(true);
    }
    hidenButtons(false);
    if (auto tip = tipLabel()) {
        auto first = testItems()->count() ? cast<NSDictionary>(testItems()->objectAtIndex(0)) : nullptr;
        tip->setText(first ? cast<NSString>(first->objectForKey("tips"_ns)) : nullptr);
        tip->setHidden(false);
    }
}

void CameraAttributeViewController::answer(bool yes) {
    if (isCompleted() || !info()) {
        return;
    }
    NSInteger i = count();
    auto items = testItems();
    if (i < 0 || static_cast<NSUInteger>(i) >= items->count()) {
        return;
    }
    auto item = cast<NSDictionary>(items->objectAtIndex(static_cast<NSUInteger>(i)));
    if (auto results = info()->subTestItemsResult()) {
        results->setObjectForKey(yes ? "SUCCESS"_ns : "FAIL"_ns, item->objectForKey("subtestkey"_ns));
    }
    NSInteger mark = yes ? 1 : 2;
    dx_camera::markSubItem(subItemlist(), static_cast<NSUInteger>(i), mark);
    if (static_cast<NSUInteger>(i) + 1 < subItemlist()->count()) {
        setCount(i + 1);
        auto next = cast<NSDictionary>(items->objectAtIndex(static_cast<NSUInteger>(i + 1)));
        if (auto tip = tipLabel()) {
            tip->setText(cast<NSString>(next->objectForKey("tips"_ns)));
        }
        return;
    }
    info()->setResult(mark);
    checkResult();
    gotoResultView();
}

void CameraAttributeViewController::checkResult() {
    if (!info()) {
        return;
    }
    auto list = subItemlist();
    for (NSUInteger i = 0; list && i < list->count(); ++i) {
        auto item = cast<NSDictionary>(list->objectAtIndex(i));
        auto result = item ? item->objectForKey("result"_ns) : nullptr;
        if (!result || unbox<NSInteger>(result) == 2) {
            info()->setResult(DXTestResultFail);
            return;
        }
    }
    info()->setResult(DXTestResultPass);
}
