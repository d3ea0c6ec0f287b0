// DXCameraScreen: what every camera test screen does with the camera, built once: make sure the app
// may use the camera, find the camera the record names (`params` "direction": "front" is the front
// camera, anything else the back one), open a live preview on it, and take one JPEG still. The
// screens keep these operations under their own names: requestAccessForMediaAccessAndCaptureVideo:,
// getCameraDevice:, captureImage, addStillImageOutput, findVideoConnection and takePicture:.
//
// Access refused at the system prompt ends the test with result 2. Access restricted is only
// logged, and access denied shows an alert that offers the application's settings page; in both
// cases the screen waits, sets no result and is left through the header menu (or answered NO where
// its answer bar shows). Other failures end the test with result 2 rather than leave it waiting: no
// camera at the position (one second later); a still that cannot be taken (no or inactive
// connection, the camera gone, a failed capture). Blocks hold the screen weakly. Main thread only,
// except the platform's callbacks, which are handed to the main queue first.
#pragma once

#include <AVFoundation/AVCaptureStillImageOutput.h>
#include <AVFoundation/AVCaptureVideoPreviewLayer.h>
#include <Core/DXBaseViewController.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>

#include <functional>

class DXCameraScreen : public DXBaseViewController {
    NS_OBJECT(DXCameraScreen, DXBaseViewController)
public:
    DXCameraScreen() = default;
    NS_PROPERTY(Ref<AVCaptureSession>, session, setSession)
    NS_PROPERTY(Ref<AVCaptureVideoPreviewLayer>, previewLayer, setPreviewLayer)
    NS_PROPERTY(Ref<AVCaptureStillImageOutput>, stillImageOutput, setStillImageOutput)
    NS_PROPERTY(Ref<AVCaptureDevice>, device, setDevice)
    NS_WEAK_PROPERTY(UIImageView, previewImageView, setPreviewImageView)

    // `requestAccessForMediaAccessAndCaptureVideo:`: runs `start` once the camera may be used.
    void requestAccessForMediaAccessAndCaptureVideo(std::function<void()> start);
    // `getCameraDevice:`: the first video device at `position` (1 back, 2 front), or nil.
    Ref<AVCaptureDevice> getCameraDevice(NSInteger position);
    // `captureImage`: a new session with a preview of the record's camera.
    virtual void captureImage();
    // `addStillImageOutput`, `findVideoConnection`, `takePicture:`.
    void addStillImageOutput();
    Ref<AVCaptureConnection> findVideoConnection();
    void takePicture(std::function<void(const Ref<UIImage>& image)> completion);

    bool isFrontCamera() const;
    // The alert of denied access, while shown (for tests).
    Ref<UIAlertView> accessAlert() const { return accessAlert_.lock(); }

protected:
    // The session preset of the screen, and a step between the camera look-up and its input.
    virtual Ref<NSString> sessionPresetName() const { return AVCaptureSessionPresetPhoto(); }
    virtual void willMakeInputForDevice(const Ref<AVCaptureDevice>& device) {}
    // Ends the test as failed (result 2), once.
    void failTest();
    void stopSession();

private:
    Weak<UIAlertView> accessAlert_;
};
