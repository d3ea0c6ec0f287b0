// UIImagePickerController: the system's camera and photo-library screen, presented modally by the
// application. It reads the cameras of the simulated device (docs/device.md).
//
// The operator's side (a test, the simulator, through UITestDriver or the screen's own buttons)
// takes a picture, chooses one from the library or cancels. The delegate (the inherited navigation
// delegate, held weakly) is then sent imagePickerController:didFinishPickingMediaWithInfo: or
// imagePickerControllerDidCancel: by selector; a delegate that does not answer the one it is due
// leaves the picker to dismiss itself (animated), as the platform does.
//
// The info dictionary holds UIImagePickerControllerMediaType ("public.image"),
// UIImagePickerControllerOriginalImage, and with allowsEditing UIImagePickerControllerEditedImage
// and UIImagePickerControllerCropRect (the centred square that the editor starts with; headless,
// the operator accepts it as it is); a camera picture adds UIImagePickerControllerMediaMetadata,
// a library picture UIImagePickerControllerReferenceURL.
//
// A camera that is present but broken takes no picture (the delegate is not told, a line is
// logged). Video recording is not simulated (startVideoCapture answers NO).
#pragma once

#include <UIKit/UIImage.h>
#include <UIKit/UINavigationController.h>

enum UIImagePickerControllerSourceType : NSInteger {
    UIImagePickerControllerSourceTypePhotoLibrary = 0,
    UIImagePickerControllerSourceTypeCamera = 1,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

enum UIImagePickerControllerCameraDevice : NSInteger {
    UIImagePickerControllerCameraDeviceRear = 0,
    UIImagePickerControllerCameraDeviceFront = 1,
};

enum UIImagePickerControllerCameraCaptureMode : NSInteger {
    UIImagePickerControllerCameraCaptureModePhoto = 0,
    UIImagePickerControllerCameraCaptureModeVideo = 1,
};

enum UIImagePickerControllerCameraFlashMode : NSInteger {
    UIImagePickerControllerCameraFlashModeOff = -1,
    UIImagePickerControllerCameraFlashModeAuto = 0,
    UIImagePickerControllerCameraFlashModeOn = 1,
};

enum UIImagePickerControllerQualityType : NSInteger {
    UIImagePickerControllerQualityTypeHigh = 0,
    UIImagePickerControllerQualityTypeMedium = 1,
    UIImagePickerControllerQualityTypeLow = 2,
    UIImagePickerControllerQualityType640x480 = 3,
};

// The keys of the info dictionary.
const Ref<NSString>& UIImagePickerControllerMediaType();
const Ref<NSString>& UIImagePickerControllerOriginalImage();
const Ref<NSString>& UIImagePickerControllerEditedImage();
const Ref<NSString>& UIImagePickerControllerCropRect();
const Ref<NSString>& UIImagePickerControllerMediaURL();
const Ref<NSString>& UIImagePickerControllerReferenceURL();
const Ref<NSString>& UIImagePickerControllerMediaMetadata();
// The media types ("public.image", "public.movie").
const Ref<NSString>& UIImagePickerMediaTypeImage();
const Ref<NSString>& UIImagePickerMediaTypeMovie();

class UIImagePickerController : public UINavigationController {
    NS_OBJECT(UIImagePickerController, UINavigationController)
public:
    // A picker of the photo library.
    UIImagePickerController();

    // The photo library and the saved photos are always there; the camera when the device has a
    // camera (working or not).
    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType sourceType);
    // nil when the source is not available.
    static Ref<NSArray> availableMediaTypesForSourceType(UIImagePickerControllerSourceType sourceType);
    static bool isCameraDeviceAvailable(UIImagePickerControllerCameraDevice cameraDevice);
    static bool isFlashAvailableForCameraDevice(UIImagePickerControllerCameraDevice cameraDevice);
    // Boxed UIImagePickerControllerCameraCaptureMode values; nil for a camera that is not there.
    static Ref<NSArray> availableCaptureModesForCameraDevice(UIImagePickerControllerCameraDevice cameraDevice);

    // The camera's screen covers the whole screen, the status bar too.
    bool prefersStatusBarHidden() override;

    UIImagePickerControllerSourceType sourceType() const noexcept { return sourceType_; }
    // Raises NSInvalidArgumentException for a source that is not available.
    void setSourceType(UIImagePickerControllerSourceType sourceType);
    Ref<NSArray> mediaTypes() const { return mediaTypes_; }
    // Raises NSInvalidArgumentException for an empty list or one with no type the source offers.
    void setMediaTypes(const Ref<NSArray>& mediaTypes);
    bool allowsEditing() const noexcept { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }

    // Camera settings. Their setters raise NSInvalidArgumentException unless the source is the
    // camera, as on the platform.
    UIImagePickerControllerCameraDevice cameraDevice() const noexcept { return cameraDevice_; }
    // A camera the device lacks is not taken (logged); the current one stays.
    void setCameraDevice(UIImagePickerControllerCameraDevice cameraDevice);
    bool showsCameraControls() const noexcept { return showsCameraControls_; }
    void setShowsCameraControls(bool shows);
    Ref<UIView> cameraOverlayView() const { return overlayView_; }
    void setCameraOverlayView(const Ref<UIView>& view);
    CGAffineTransform cameraViewTransform() const noexcept { return cameraViewTransform_; }
    void setCameraViewTransform(CGAffineTransform transform);
    UIImagePickerControllerCameraCaptureMode cameraCaptureMode() const noexcept { return captureMode_; }
    void setCameraCaptureMode(UIImagePickerControllerCameraCaptureMode mode);
    UIImagePickerControllerCameraFlashMode cameraFlashMode() const noexcept { return flashMode_; }
    void setCameraFlashMode(UIImagePickerControllerCameraFlashMode mode);
    UIImagePickerControllerQualityType videoQuality() const noexcept { return videoQuality_; }
    void setVideoQuality(UIImagePickerControllerQualityType quality) { videoQuality_ = quality; }
    double videoMaximumDuration() const noexcept { return videoMaximumDuration_; }
    void setVideoMaximumDuration(double seconds) { videoMaximumDuration_ = seconds; }

    // `takePicture`: the camera takes a picture, as the shutter button does. Logs and does nothing
    // unless the source is the camera.
    void takePicture();
    bool startVideoCapture() { return false; }
    void stopVideoCapture() {}

    // The operator's side. Each answers whether the delegate was told (or, without a delegate
    // method, the picker dismissed itself).
    // The camera takes a picture: false when the source is not the camera, the camera is not
    // there or is broken.
    bool captureFromCamera();
    // A picture chosen from the library (a made-up photo when `image` is nil): false when the
    // source is the camera.
    bool choosePicture(const Ref<UIImage>& image = nullptr);
    // The Cancel button.
    bool cancelPicking();

    void loadView() override;

private:
    bool finishPicking(const Ref<UIImage>& image, bool fromCamera);
    void rebuildScreen();

    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    Ref<NSArray> mediaTypes_;
    bool allowsEditing_ = false;
    UIImagePickerControllerCameraDevice cameraDevice_ = UIImagePickerControllerCameraDeviceRear;
    bool showsCameraControls_ = true;
    Ref<UIView> overlayView_;
    CGAffineTransform cameraViewTransform_{};
    UIImagePickerControllerCameraCaptureMode captureMode_ = UIImagePickerControllerCameraCaptureModePhoto;
    UIImagePickerControllerCameraFlashMode flashMode_ = UIImagePickerControllerCameraFlashModeAuto;
    UIImagePickerControllerQualityType videoQuality_ = UIImagePickerControllerQualityTypeMedium;
    double videoMaximumDuration_ = 600;
    std::vector<Ref<UIView>> screenViews_;
};
