#include <Diagnostics/CameraDisplay/DXCameraScreen.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIDevice.h>

NS_IMPLEMENT_CLASS(DXCameraScreen, DXBaseViewController) {
    using C = DXCameraScreen;
    b.property("session", &C::session, &C::setSession);
    b.property("previewLayer", &C::previewLayer, &C::setPreviewLayer);
    b.property("stillImageOutput", &C::stillImageOutput, &C::setStillImageOutput);
    b.property("device", &C::device, &C::setDevice);
    b.property("previewImageView", &C::previewImageView, &C::setPreviewImageView, "weak");
    b.method("captureImage", &C::captureImage);
    b.method("addStillImageOutput", &C::addStillImageOutput);
    b.method("findVideoConnection", &C::findVideoConnection);
}

bool DXCameraScreen::isFrontCamera() const {
    auto params = info() ? info()->params() : nullptr;
    auto direction = params ? cast<NSString>(params->objectForKey("direction"_ns)) : nullptr;
    return direction && direction->str() == "front";
}

void DXCameraScreen::failTest() {
    if (isCompleted()) {
        return;
    }
    if (info()) {
        info()->setResult(DXTestResultFail);
    }
    gotoResultView();
}

void DXCameraScreen::stopSession() {
    if (auto s = session()) {
        s->stopRunning();
    }
}

void DXCameraScreen::requestAccessForMediaAccessAndCaptureVideo(std::function<void()> start) {
    DX_ASSERT_MAIN_THREAD();
    Weak<DXCameraScreen> weak(this);
    switch (AVCaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo())) {
    case AVAuthorizationStatusNotDetermined:
        AVCaptureDevice::requestAccessForMediaTypeCompletionHandler(AVMediaTypeVideo(), [weak, start](bool granted) {
            dispatch_async(dispatch_get_main_queue(), [weak, start, granted] {
                auto self = weak.lock();
                if (!self || self->isCompleted()) {
                    return;
                }
                if (granted) {
                    start();
                } else {
                    self->failTest();
                }
            });
        });
        return;
    case AVAuthorizationStatusRestricted:
        // The screen waits: the operator leaves it through the header menu (or answers NO where
        // the answer bar shows).
        NSLog("Restricted");
        return;
    case AVAuthorizationStatusDenied: {
        NSLog("Denied");
        auto message = DXLocalizedStringWithArguments("CAMERA_CONTROLLER_AUTHORIZATION_ALERT"_ns, {"Celvix"_ns});
        // "Settings" opens the application's settings page; any button closes the alert, and the
        // screen waits as with a restricted camera.
        accessAlert_ = showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
            "Celvix"_ns, message, DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL"),
            NSArray::arrayWithObjects({"Settings"_ns}), [](const Ref<UIAlertView>&, NSInteger index) {
                if (index == 1 && UIDevice::currentDevice()->systemVersion()->doubleValue() >= 8.0) {
                    UIApplication::sharedApplication()->openURL(
                        NSURL::URLWithString(UIApplicationOpenSettingsURLString()));
                }
            });
        return;
    }
    case AVAuthorizationStatusAuthorized:
        NSLog("Authorized");
        start();
        return;
    }
    NSLog("Unknown authorization status");
}

Ref<AVCaptureDevice> DXCameraScreen::getCameraDevice(NSInteger position) {
    auto devices = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo());
    for (const id& item : *devices) {
        auto device = cast<AVCaptureDevice>(item);
        if (device && device->position() == position) {
            return device;
        }
    }
    return nullptr;
}

void DXCameraScreen::captureImage() {
    DX_ASSERT_MAIN_THREAD();
    auto newSession = make<AVCaptureSession>();
    if (newSession->canSetSessionPreset(sessionPresetName())) {
        newSession->setSessionPreset(sessionPresetName());
    }
    auto camera = getCameraDevice(isFrontCamera() ? AVCaptureDevicePositionFront : AVCaptureDevicePositionBack);
    willMakeInputForDevice(camera);
    Ref<NSError> error;
    auto input = AVCaptureDeviceInput::deviceInputWithDeviceError(camera, &error);
    if (!input || !newSession->canAddInput(input)) {
        NSLog("no input.....");
        Weak<DXCameraScreen> weak(this);
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC)), dispatch_get_main_queue(),
                       [weak] {
                           if (auto self = weak.lock()) {
                               self->failTest();
                           }
                       });
        return;
    }
    newSession->addInput(input);
    setSession(newSession);
    auto layer = AVCaptureVideoPreviewLayer::layerWithSession(newSession);
    setPreviewLayer(layer);
    if (auto host = previewImageView()) {
        layer->setFrame(host->bounds());
        layer->setVideoGravity(AVLayerVideoGravityResizeAspectFill());
        host->layer()->addSublayer(layer);
    }
}

void DXCameraScreen::addStillImageOutput() {
    auto s = session();
    if (!s) {
        return;
    }
    auto output = make<AVCaptureStillImageOutput>();
    auto settings = NSMutableDictionary::dictionary();
    settings->setObjectForKey(AVVideoCodecJPEG(), AVVideoCodecKey());
    output->setOutputSettings(settings);
    if (s->canAddOutput(output)) {
        s->addOutput(output);
    }
    setStillImageOutput(output);
}

Ref<AVCaptureConnection> DXCameraScreen::findVideoConnection() {
    auto output = stillImageOutput();
    if (!output) {
        return nullptr;
    }
    auto connections = output->connections();
    for (const id& item : *connections) {
        auto connection = cast<AVCaptureConnection>(item);
        auto ports = connection ? connection->inputPorts() : nullptr;
        if (!ports) {
            continue;
        }
        for (const id& p : *ports) {
            auto port = cast<AVCaptureInputPort>(p);
            if (port && port->mediaType()->isEqual(AVMediaTypeVideo())) {
                return connection;
            }
        }
    }
    return nullptr;
}

void DXCameraScreen::takePicture(std::function<void(const Ref<UIImage>& image)> completion) {
    DX_ASSERT_MAIN_THREAD();
    auto connection = findVideoConnection();
    auto output = stillImageOutput();
    // No camera, no running session, or a camera that went away: no picture, a failed test.
    if (!connection || !output || !connection->isActive()) {
        NSLog("no video connection");
        failTest();
        return;
    }
    if (isFrontCamera()) {
        connection->setVideoMirrored(true);
    }
    connection->setVideoScaleAndCropFactor(1.0);
    Weak<DXCameraScreen> weak(this);
    auto deliver = [weak, completion](const CMSampleBufferRef& buffer, const Ref<NSError>& error) {
        dispatch_async(dispatch_get_main_queue(), [weak, completion, buffer, error] {
            auto self = weak.lock();
            if (!self || self->isCompleted()) {
                return;
            }
            Ref<UIImage> image;
            if (buffer && !error) {
                if (auto exif = CMGetAttachment(buffer, kCGImagePropertyExifDictionary())) {
                    NSLog("attachements: %@", exif);
                } else {
                    NSLog("no attachments");
                }
                image = UIImage::imageWithData(AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(buffer));
            }
            if (!image) {
                self->failTest();
                return;
            }
            completion(image);
        });
    };
    try {
        output->captureStillImageAsynchronouslyFromConnectionCompletionHandler(connection, deliver);
    } catch (const NSException& e) {
        NSLog("capture failed: %s", e.reason().c_str());
        failTest();
    }
}
