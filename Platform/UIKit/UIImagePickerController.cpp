#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSUUID.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIKitProtocols.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>

UIKIT_STRING_CONSTANT(UIImagePickerControllerMediaType)
UIKIT_STRING_CONSTANT(UIImagePickerControllerOriginalImage)
UIKIT_STRING_CONSTANT(UIImagePickerControllerEditedImage)
UIKIT_STRING_CONSTANT(UIImagePickerControllerCropRect)
UIKIT_STRING_CONSTANT(UIImagePickerControllerMediaURL)
UIKIT_STRING_CONSTANT(UIImagePickerControllerReferenceURL)
UIKIT_STRING_CONSTANT(UIImagePickerControllerMediaMetadata)

const Ref<NSString>& UIImagePickerMediaTypeImage() {
    static const Ref<NSString> value = NSString::from("public.image");
    return value;
}

const Ref<NSString>& UIImagePickerMediaTypeMovie() {
    static const Ref<NSString> value = NSString::from("public.movie");
    return value;
}

namespace {

SimDevice::CameraPosition positionOf(UIImagePickerControllerCameraDevice device) {
    return device == UIImagePickerControllerCameraDeviceFront ? SimDevice::CameraPosition::Front
                                                              : SimDevice::CameraPosition::Back;
}

std::optional<SimDevice::Camera> presentCamera(UIImagePickerControllerCameraDevice device) {
    auto camera = SimDevice::current().camera(positionOf(device));
    if (camera && camera->present) {
        return camera;
    }
    return std::nullopt;
}

// The camera screen's live picture: what the picker's camera sees now (SimCamera), under the
// light's own gains (the camera balances white by itself), filling the area (aspect fill), the
// front camera mirrored as a selfie view is. Black without a camera; a dead camera's frames are
// black, a frozen one's never change.
class PickerViewfinderLayer : public CALayer {
    NS_OBJECT(PickerViewfinderLayer, CALayer)
public:
    PickerViewfinderLayer() = default;
    void setPicker(const Ref<UIImagePickerController>& picker) { picker_ = picker; }
    void drawInContext(const CGContextRef& context) override {
        CGRect b = bounds();
        if (!context || b.size.width < 1 || b.size.height < 1) {
            return;
        }
        cairo_t* cr = context->cairo();
        cairo_save(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_rectangle(cr, b.origin.x, b.origin.y, b.size.width, b.size.height);
        cairo_fill(cr);
        cairo_restore(cr);
        // A presentation copy draws with its model's picker.
        auto model = cast<PickerViewfinderLayer>(modelLayer());
        auto picker = model ? model->picker_.lock() : picker_.lock();
        if (!picker || picker->sourceType() != UIImagePickerControllerSourceTypeCamera) {
            return;
        }
        auto device = picker->cameraDevice();
        auto camera = SimDevice::current().camera(positionOf(device));
        if (!camera || !camera->present || camera->pictureWidth < 1 || camera->pictureHeight < 1) {
            return;
        }
        double scale = std::max(b.size.width / camera->pictureWidth, b.size.height / camera->pictureHeight);
        CGSize size = CGSizeMake(camera->pictureWidth * scale, camera->pictureHeight * scale);
        int width = std::clamp(static_cast<int>(std::ceil(size.width)), 1, 4096);
        int height = std::clamp(static_cast<int>(std::ceil(size.height)), 1, 4096);
        auto& sim = SimCamera::current();
        auto frame = sim.frame(positionOf(device), width, height, sim.neutralGains(), DispatchClock::uptime(),
                               device == UIImagePickerControllerCameraDeviceFront);
        if (frame) {
            frame->paintCentred(cr, b.origin.x, b.origin.y, b.size.width, b.size.height, size.width, size.height);
        }
    }

private:
    Weak<UIImagePickerController> picker_;
};

// The view that holds the live picture; its layer follows its bounds.
class PickerViewfinderView : public UIView {
    NS_OBJECT(PickerViewfinderView, UIView)
public:
    PickerViewfinderView() = default;
    explicit PickerViewfinderView(CGRect frame) : UIView(frame) {}
    void attach(const Ref<UIImagePickerController>& picker) {
        if (!picture_) {
            picture_ = make<PickerViewfinderLayer>();
            layer()->addSublayer(picture_);
        }
        picture_->setPicker(picker);
        picture_->setFrame(bounds());
    }
    void layoutSubviews() override {
        UIView::layoutSubviews();
        if (picture_) {
            picture_->setFrame(bounds());
        }
    }

private:
    Ref<PickerViewfinderLayer> picture_;
};

// The light of a flash that lit for the picture: every pixel goes towards white, most in the middle
// of the picture (where the flash points) and less towards the corners.
void lightByFlash(SimFrame& frame) {
    double cx = frame.width / 2.0;
    double cy = frame.height / 2.0;
    double reach = std::hypot(cx, cy);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            double share = 0.65 - 0.3 * std::hypot(x - cx, y - cy) / reach;
            uint32_t& p = frame.pixels[static_cast<size_t>(y) * frame.width + x];
            uint32_t out = p & 0xff000000u;
            for (int shift : {16, 8, 0}) {
                double c = (p >> shift) & 0xffu;
                out |= static_cast<uint32_t>(std::lround(c + (255 - c) * share)) << shift;
            }
            p = out;
        }
    }
}

// What the camera takes when no picture is scripted: the scene it sees, rendered at a quarter of
// the camera's resolution (a full 12-megapixel rendering costs a quarter of a second and 100 MB for
// a picture nobody looks at closely) and carried at scale 0.25, so the picture's size in points is
// the camera's own; lit by the flash when it fired and lit. A camera that is there but broken takes
// a black picture. Nil when the camera renders nothing.
Ref<UIImage> renderedPicture(SimDevice::CameraPosition position, const SimDevice::Camera& camera, bool flashLit) {
    constexpr int kReduction = 4;
    int width = std::max(1, static_cast<int>(camera.pictureWidth / kReduction));
    int height = std::max(1, static_cast<int>(camera.pictureHeight / kReduction));
    auto& sim = SimCamera::current();
    auto frame = sim.frame(position, width, height, sim.neutralGains(), DispatchClock::uptime());
    if (!frame) {
        return nullptr;
    }
    if (flashLit && camera.working) {
        lightByFlash(*frame);
    }
    cairo_surface_t* surface = frame->newSurface();
    if (!surface) {
        return nullptr;
    }
    auto image = make<CGImage>(surface, CGColorSpaceCreateDeviceRGB(),
                               static_cast<CGBitmapInfo>(kCGImageAlphaNoneSkipFirst) | kCGBitmapByteOrder32Little);
    return UIImage::imageWithCGImageScaleOrientation(image, 1.0 / kReduction, UIImageOrientationUp);
}

const char* sourceName(UIImagePickerControllerSourceType type) {
    switch (type) {
    case UIImagePickerControllerSourceTypeCamera:
        return "camera";
    case UIImagePickerControllerSourceTypeSavedPhotosAlbum:
        return "saved photos album";
    case UIImagePickerControllerSourceTypePhotoLibrary:
        break;
    }
    return "photo library";
}

} // namespace

NS_IMPLEMENT_CLASS(PickerViewfinderLayer, CALayer) {}
NS_IMPLEMENT_CLASS(PickerViewfinderView, UIView) {}

NS_IMPLEMENT_CLASS(UIImagePickerController, UINavigationController) {
    b.property("sourceType", &UIImagePickerController::sourceType, &UIImagePickerController::setSourceType);
    b.property("mediaTypes", &UIImagePickerController::mediaTypes, &UIImagePickerController::setMediaTypes);
    b.property("allowsEditing", &UIImagePickerController::allowsEditing, &UIImagePickerController::setAllowsEditing);
    b.property("cameraDevice", &UIImagePickerController::cameraDevice, &UIImagePickerController::setCameraDevice);
    b.property("showsCameraControls", &UIImagePickerController::showsCameraControls,
               &UIImagePickerController::setShowsCameraControls);
    b.property("cameraOverlayView", &UIImagePickerController::cameraOverlayView,
               &UIImagePickerController::setCameraOverlayView);
    b.property("cameraCaptureMode", &UIImagePickerController::cameraCaptureMode,
               &UIImagePickerController::setCameraCaptureMode);
    b.property("cameraFlashMode", &UIImagePickerController::cameraFlashMode,
               &UIImagePickerController::setCameraFlashMode);
    b.method("takePicture", &UIImagePickerController::takePicture);
    b.method("cancelPicking", &UIImagePickerController::cancelPicking);
    b.methodBlock("choosePicture", [](UIImagePickerController* self) { self->choosePicture(nullptr); });
    b.classMethod("isSourceTypeAvailable:", [](long type) {
        return UIImagePickerController::isSourceTypeAvailable(static_cast<UIImagePickerControllerSourceType>(type));
    });
    b.classMethod("isCameraDeviceAvailable:", [](long device) {
        return UIImagePickerController::isCameraDeviceAvailable(
            static_cast<UIImagePickerControllerCameraDevice>(device));
    });
    b.classMethod("availableMediaTypesForSourceType:", [](long type) {
        return UIImagePickerController::availableMediaTypesForSourceType(
            static_cast<UIImagePickerControllerSourceType>(type));
    });
}

bool UIImagePickerController::prefersStatusBarHidden() {
    return sourceType_ == UIImagePickerControllerSourceTypeCamera;
}

UIImagePickerController::UIImagePickerController() : UINavigationController(make<UIViewController>()) {
    mediaTypes_ = NSArray::arrayWithObjects({UIImagePickerMediaTypeImage()});
    if (!presentCamera(UIImagePickerControllerCameraDeviceRear) &&
        presentCamera(UIImagePickerControllerCameraDeviceFront)) {
        cameraDevice_ = UIImagePickerControllerCameraDeviceFront;
    }
}

// MARK: - Availability

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType sourceType) {
    switch (sourceType) {
    case UIImagePickerControllerSourceTypePhotoLibrary:
    case UIImagePickerControllerSourceTypeSavedPhotosAlbum:
        return true;
    case UIImagePickerControllerSourceTypeCamera:
        return isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear) ||
               isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceFront);
    }
    return false;
}

Ref<NSArray> UIImagePickerController::availableMediaTypesForSourceType(UIImagePickerControllerSourceType sourceType) {
    if (!isSourceTypeAvailable(sourceType)) {
        return nullptr;
    }
    return NSArray::arrayWithObjects({UIImagePickerMediaTypeImage(), UIImagePickerMediaTypeMovie()});
}

bool UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDevice cameraDevice) {
    return presentCamera(cameraDevice).has_value();
}

bool UIImagePickerController::isFlashAvailableForCameraDevice(UIImagePickerControllerCameraDevice cameraDevice) {
    auto camera = presentCamera(cameraDevice);
    return camera && camera->hasFlash;
}

Ref<NSArray>
UIImagePickerController::availableCaptureModesForCameraDevice(UIImagePickerControllerCameraDevice cameraDevice) {
    if (!isCameraDeviceAvailable(cameraDevice)) {
        return nullptr;
    }
    return NSArray::arrayWithObjects({box(static_cast<long>(UIImagePickerControllerCameraCaptureModePhoto)),
                                      box(static_cast<long>(UIImagePickerControllerCameraCaptureModeVideo))});
}

// MARK: - Settings

void UIImagePickerController::setSourceType(UIImagePickerControllerSourceType sourceType) {
    if (!isSourceTypeAvailable(sourceType)) {
        NSException::raise(NSInvalidArgumentException, std::string("Source type ") +
                                                           std::to_string(static_cast<long>(sourceType)) +
                                                           " not available");
    }
    changeValueForKey("sourceType", [&] { sourceType_ = sourceType; });
    rebuildScreen();
}

void UIImagePickerController::setMediaTypes(const Ref<NSArray>& mediaTypes) {
    if (!mediaTypes || mediaTypes->count() == 0) {
        NSException::raise(NSInvalidArgumentException, "No media types given");
    }
    auto available = availableMediaTypesForSourceType(sourceType_);
    bool any = false;
    for (const auto& type : *mediaTypes) {
        any = any || (available && available->containsObject(type));
    }
    if (!any) {
        NSException::raise(NSInvalidArgumentException, std::string("No available types for source ") +
                                                           std::to_string(static_cast<long>(sourceType_)));
    }
    changeValueForKey("mediaTypes", [&] { mediaTypes_ = cast<NSArray>(mediaTypes->copy()); });
}

namespace {
void requireCamera(UIImagePickerControllerSourceType source, const char* what) {
    if (source != UIImagePickerControllerSourceTypeCamera) {
        NSException::raise(NSInvalidArgumentException,
                           std::string(what) + " is only available for UIImagePickerControllerSourceTypeCamera");
    }
}
} // namespace

void UIImagePickerController::setCameraDevice(UIImagePickerControllerCameraDevice cameraDevice) {
    requireCamera(sourceType_, "cameraDevice");
    if (!isCameraDeviceAvailable(cameraDevice)) {
        NSLog("UIImagePickerController: camera device %ld is not available", static_cast<long>(cameraDevice));
        return;
    }
    changeValueForKey("cameraDevice", [&] { cameraDevice_ = cameraDevice; });
}

void UIImagePickerController::setShowsCameraControls(bool shows) {
    requireCamera(sourceType_, "showsCameraControls");
    showsCameraControls_ = shows;
    rebuildScreen();
}

void UIImagePickerController::setCameraOverlayView(const Ref<UIView>& view) {
    requireCamera(sourceType_, "cameraOverlayView");
    if (overlayView_ && overlayView_ != view) {
        overlayView_->removeFromSuperview();
    }
    overlayView_ = view;
    rebuildScreen();
}

void UIImagePickerController::setCameraViewTransform(CGAffineTransform transform) {
    requireCamera(sourceType_, "cameraViewTransform");
    cameraViewTransform_ = transform;
}

void UIImagePickerController::setCameraCaptureMode(UIImagePickerControllerCameraCaptureMode mode) {
    requireCamera(sourceType_, "cameraCaptureMode");
    captureMode_ = mode;
}

void UIImagePickerController::setCameraFlashMode(UIImagePickerControllerCameraFlashMode mode) {
    requireCamera(sourceType_, "cameraFlashMode");
    flashMode_ = mode;
}

// MARK: - The screen

void UIImagePickerController::loadView() {
    UINavigationController::loadView();
    rebuildScreen();
}

void UIImagePickerController::rebuildScreen() {
    auto root = viewControllerList().empty() ? nullptr : viewControllerList().front();
    if (!isViewLoaded() || !root) {
        return;
    }
    for (auto& v : screenViews_) {
        v->removeFromSuperview();
    }
    screenViews_.clear();
    bool camera = sourceType_ == UIImagePickerControllerSourceTypeCamera;
    setNavigationBarHidden(camera);
    root->setTitle(camera ? nullptr : NSString::from("Photos"));
    auto content = root->view();
    CGRect b = content->bounds();
    Ref<UIImagePickerController> self(this);
    auto addButton = [&](const char* title, SEL action, CGRect frame, UIViewAutoresizing mask) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitleForState(NSString::from(title), UIControlStateNormal);
        button->setFrame(frame);
        button->setAutoresizingMask(mask);
        button->addTargetActionForControlEvents(self, action, UIControlEventTouchUpInside);
        content->addSubview(button);
        screenViews_.push_back(button);
    };
    UIViewAutoresizing bottom = UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleLeftMargin |
                                UIViewAutoresizingFlexibleRightMargin;
    if (camera) {
        content->setBackgroundColor(UIColor::blackColor());
        // The live picture above the controls' bar (all of the screen without the controls).
        CGFloat bar = showsCameraControls_ ? 96 : 0;
        // The controls are 44 points high, in the middle of the bar; the shutter in the middle of
        // the screen's width.
        CGFloat controlsY = b.size.height - bar / 2 - 22;
        auto viewfinder =
            make<PickerViewfinderView>(CGRectMake(0, 0, b.size.width, std::max<CGFloat>(0, b.size.height - bar)));
        viewfinder->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        viewfinder->setUserInteractionEnabled(false);
        viewfinder->attach(self);
        content->insertSubviewAtIndex(viewfinder, 0);
        screenViews_.push_back(viewfinder);
        if (showsCameraControls_) {
            addButton("Cancel", "cancelPicking", CGRectMake(16, controlsY, 80, 44), bottom);
            addButton("Take Photo", "takePicture", CGRectMake(b.size.width / 2 - 50, controlsY, 100, 44), bottom);
        }
        if (overlayView_) {
            content->addSubview(overlayView_);
            screenViews_.push_back(overlayView_);
        }
    } else {
        content->setBackgroundColor(UIColor::whiteColor());
        addButton("Cancel", "cancelPicking", CGRectMake(16, 20, 80, 44), UIViewAutoresizingFlexibleRightMargin);
        addButton("Choose", "choosePicture", CGRectMake(b.size.width / 2 - 50, b.size.height - 80, 100, 44), bottom);
    }
}

// MARK: - Picking

void UIImagePickerController::takePicture() {
    if (sourceType_ != UIImagePickerControllerSourceTypeCamera) {
        NSLog("UIImagePickerController: takePicture needs the camera source, not the %s", sourceName(sourceType_));
        return;
    }
    captureFromCamera();
}

bool UIImagePickerController::captureFromCamera() {
    if (sourceType_ != UIImagePickerControllerSourceTypeCamera) {
        return false;
    }
    auto position = positionOf(cameraDevice_);
    auto camera = presentCamera(cameraDevice_);
    if (!camera) {
        NSLog("UIImagePickerController: the camera is not there");
        return false;
    }
    // The flash fires for a picture of the back camera when it is switched on (in automatic mode it
    // stays dark: the scene before the camera is lit well enough); whether it really lights is the
    // flash's own business.
    auto& sim = SimCamera::current();
    bool flashLit = position == SimDevice::CameraPosition::Back &&
                    flashMode_ == UIImagePickerControllerCameraFlashModeOn && sim.hasFlash() && sim.fireFlash();
    Ref<UIImage> image;
    // A broken camera takes a black picture, whatever was scripted for a working one.
    std::string bytes = camera->working ? SimDevice::current().cameraPicture(position) : std::string();
    if (!bytes.empty()) {
        image = UIImage::imageWithData(NSData::dataWithBytesLength(bytes.data(), bytes.size()));
    }
    if (!image) {
        image = renderedPicture(position, *camera, flashLit);
    }
    if (!image) {
        image = make<UIImage>(CGSizeMake(camera->pictureWidth, camera->pictureHeight), 1.0);
    }
    return finishPicking(image, true);
}

bool UIImagePickerController::choosePicture(const Ref<UIImage>& image) {
    if (sourceType_ == UIImagePickerControllerSourceTypeCamera) {
        return false;
    }
    return finishPicking(image ? image : make<UIImage>(CGSizeMake(3024, 4032), 1.0), false);
}

bool UIImagePickerController::finishPicking(const Ref<UIImage>& image, bool fromCamera) {
    Ref<UIImagePickerController> self(this);
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey(UIImagePickerMediaTypeImage(), UIImagePickerControllerMediaType());
    info->setObjectForKey(image, UIImagePickerControllerOriginalImage());
    if (allowsEditing_) {
        CGSize s = image->size();
        CGFloat scale = image->scale();
        CGFloat side = std::min(s.width, s.height);
        CGRect crop = CGRectMake(std::floor((s.width - side) / 2 * scale), std::floor((s.height - side) / 2 * scale),
                                 side * scale, side * scale);
        // The square the editor starts with, cut from the picture's pixels.
        Ref<UIImage> edited;
        if (auto pixels = image->CGImage()) {
            if (auto square = CGImageCreateWithImageInRect(pixels, crop)) {
                edited = UIImage::imageWithCGImageScaleOrientation(square, scale, image->imageOrientation());
            }
        }
        if (!edited) {
            edited = make<UIImage>(CGSizeMake(side, side), scale);
        }
        info->setObjectForKey(edited, UIImagePickerControllerEditedImage());
        info->setObjectForKey(NSValue::valueWithValue(crop), UIImagePickerControllerCropRect());
    }
    if (fromCamera) {
        info->setObjectForKey(NSDictionary::dictionaryWithEntries({{"Orientation"_ns, box(1L)},
                                                                   {"PixelWidth"_ns, box(image->size().width)},
                                                                   {"PixelHeight"_ns, box(image->size().height)}}),
                              UIImagePickerControllerMediaMetadata());
    } else {
        auto identifier = make<NSUUID>()->UUIDString();
        info->setObjectForKey(NSURL::URLWithString(NSString::stringWithFormat(
                                  "assets-library://asset/asset.JPG?id=%@&ext=JPG", identifier)),
                              UIImagePickerControllerReferenceURL());
    }
    Ref<NSDictionary> result = cast<NSDictionary>(info->copy());
    if (!uikit_detail::sendIfResponds(delegate(),
                                      "imagePickerController:didFinishPickingMediaWithInfo:", {self, result})) {
        dismissViewControllerAnimatedCompletion(true);
    }
    return true;
}

bool UIImagePickerController::cancelPicking() {
    Ref<UIImagePickerController> self(this);
    if (!uikit_detail::sendIfResponds(delegate(), "imagePickerControllerDidCancel:", {self})) {
        dismissViewControllerAnimatedCompletion(true);
    }
    return true;
}
