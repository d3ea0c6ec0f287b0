#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGImageCoding.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSURL.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

class PickerTestDelegate : public NSObject {
    NS_OBJECT(PickerTestDelegate, NSObject)
public:
    void didFinish(const Ref<UIImagePickerController>& picker, const Ref<NSDictionary>& info) {
        calls.push_back("didFinishPickingMediaWithInfo");
        lastInfo = info;
        if (dismisses) {
            picker->dismissViewControllerAnimatedCompletion(true);
        }
    }
    void didCancel(const Ref<UIImagePickerController>& picker) {
        calls.push_back("didCancel");
        picker->dismissViewControllerAnimatedCompletion(false);
    }
    std::vector<std::string> calls;
    Ref<NSDictionary> lastInfo;
    bool dismisses = true;
};

// A PNG header of the given size: enough for the image reader.
// A whole PNG image of the size (the camera's scripted picture).
std::string pngPicture(size_t width, size_t height) {
    auto context = CGBitmapContextCreate(nullptr, width, height, 8, 0, CGColorSpaceCreateDeviceRGB(),
                                         kCGImageAlphaPremultipliedLast);
    CGContextSetRGBFillColor(context, 0.2, 0.4, 0.6, 1);
    CGContextFillRect(context, CGRectMake(0, 0, static_cast<double>(width), static_cast<double>(height)));
    auto data = CGImageCreatePNGData(CGBitmapContextCreateImage(context));
    return std::string(reinterpret_cast<const char*>(data->bytes()), data->length());
}

} // namespace

NS_IMPLEMENT_CLASS(PickerTestDelegate, NSObject) {
    b.method("imagePickerController:didFinishPickingMediaWithInfo:", &PickerTestDelegate::didFinish);
    b.method("imagePickerControllerDidCancel:", &PickerTestDelegate::didCancel);
}

class ImagePickerTests : public PlatformTestCase {
protected:
    void TearDown() override {
        SimDevice::current().loadProfile(SimDevice::defaultProfile);
        for (const auto& window : UIWindow::allWindows()) {
            window->setHidden(true); // when the tests share a process
        }
        PlatformTestCase::TearDown();
    }
    // A screen on which a camera picker is presented (not animated).
    Ref<UIImagePickerController> presentPicker(UIImagePickerControllerSourceType source, const id& delegate) {
        screen_ = make<UIViewController>();
        UITestDriver::showRootViewController(screen_);
        auto picker = make<UIImagePickerController>();
        picker->setSourceType(source);
        picker->setDelegate(delegate);
        screen_->presentViewControllerAnimatedCompletion(picker, false);
        UITestDriver::settle();
        return picker;
    }
    Ref<UIViewController> screen_;
};

TEST_F(ImagePickerTests, AvailabilityFollowsTheDevicesCameras) {
    auto& device = SimDevice::current();
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypePhotoLibrary));
    EXPECT_TRUE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceFront));
    EXPECT_TRUE(UIImagePickerController::isFlashAvailableForCameraDevice(UIImagePickerControllerCameraDeviceRear));
    EXPECT_FALSE(UIImagePickerController::isFlashAvailableForCameraDevice(UIImagePickerControllerCameraDeviceFront));
    EXPECT_EQ(
        UIImagePickerController::availableCaptureModesForCameraDevice(UIImagePickerControllerCameraDeviceRear)->count(),
        2u);

    device.setCameraWorking(SimDevice::CameraPosition::Back, false);
    EXPECT_TRUE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear))
        << "a broken camera is still seen by the system";
    device.setCameraPresent(SimDevice::CameraPosition::Back, false);
    EXPECT_FALSE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear));
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    auto picker = make<UIImagePickerController>();
    picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
    EXPECT_EQ(picker->cameraDevice(), UIImagePickerControllerCameraDeviceFront) << "the camera that is there";
    device.setCameraPresent(SimDevice::CameraPosition::Front, false);
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_FALSE(UIImagePickerController::availableMediaTypesForSourceType(UIImagePickerControllerSourceTypeCamera));
    auto another = make<UIImagePickerController>();
    EXPECT_THROW(another->setSourceType(UIImagePickerControllerSourceTypeCamera), NSException);
    EXPECT_EQ(another->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);

    std::string error;
    ASSERT_FALSE(device.loadProfileJSON(
        R"({"identifier": "x", "screen": {"width": 1, "height": 1}, "cameras": [{"position": "side"}]})", &error));
    EXPECT_NE(error.find("camera position"), std::string::npos);
    ASSERT_TRUE(device.loadProfileJSON(
        R"({"identifier": "x", "screen": {"width": 320, "height": 480}, "cameras": [{"position": "front", "present": false}]})"));
    EXPECT_TRUE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceRear));
    EXPECT_FALSE(UIImagePickerController::isCameraDeviceAvailable(UIImagePickerControllerCameraDeviceFront));
}

TEST_F(ImagePickerTests, CameraSettingsNeedTheCameraSource) {
    auto picker = make<UIImagePickerController>();
    EXPECT_THROW(picker->setCameraDevice(UIImagePickerControllerCameraDeviceFront), NSException);
    EXPECT_THROW(picker->setShowsCameraControls(false), NSException);
    EXPECT_THROW(picker->setMediaTypes(NSArray::array()), NSException);
    EXPECT_THROW(picker->setMediaTypes(NSArray::arrayWithObjects({"public.text"_ns})), NSException);
    picker->setMediaTypes(NSArray::arrayWithObjects({UIImagePickerMediaTypeMovie()}));
    EXPECT_EQ(picker->mediaTypes()->count(), 1u);
    picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
    picker->setCameraDevice(UIImagePickerControllerCameraDeviceFront);
    EXPECT_EQ(picker->cameraDevice(), UIImagePickerControllerCameraDeviceFront);
}

TEST_F(ImagePickerTests, TakingAPictureTellsTheDelegateWithTheInfo) {
    auto delegate = make<PickerTestDelegate>();
    auto picker = presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
    picker->setAllowsEditing(true);
    EXPECT_EQ(UITestDriver::topImagePicker(), picker);
    ASSERT_TRUE(UITestDriver::takePicture());
    ASSERT_EQ(delegate->calls, (std::vector<std::string>{"didFinishPickingMediaWithInfo"}));
    auto info = delegate->lastInfo;
    EXPECT_EQ(cast<NSString>(info->objectForKey(UIImagePickerControllerMediaType()))->str(), "public.image");
    auto original = cast<UIImage>(info->objectForKey(UIImagePickerControllerOriginalImage()));
    ASSERT_TRUE(original);
    EXPECT_EQ(original->size(), CGSizeMake(3024, 4032)) << "the back camera's picture";
    auto edited = cast<UIImage>(info->objectForKey(UIImagePickerControllerEditedImage()));
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->size(), CGSizeMake(3024, 3024));
    // The picture is rendered at a quarter of the camera's resolution (scale 0.25): the crop rect
    // is in its pixels.
    EXPECT_EQ(cast<NSValue>(info->objectForKey(UIImagePickerControllerCropRect()))->value<CGRect>(),
              CGRectMake(0, 126, 756, 756));
    EXPECT_TRUE(info->objectForKey(UIImagePickerControllerMediaMetadata()));
    EXPECT_FALSE(info->objectForKey(UIImagePickerControllerReferenceURL()));

    advance(UIModalTransitionDuration);
    EXPECT_FALSE(screen_->presentedViewController()) << "the delegate dismissed it";
    EXPECT_FALSE(UITestDriver::topImagePicker());
    EXPECT_FALSE(UITestDriver::takePicture());
}

TEST_F(ImagePickerTests, TheFrontCameraGivesTheScriptedPicture) {
    SimDevice::current().setCameraPicture(SimDevice::CameraPosition::Front, pngPicture(640, 480));
    auto delegate = make<PickerTestDelegate>();
    auto picker = presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
    picker->setCameraDevice(UIImagePickerControllerCameraDeviceFront);
    // The shutter button of the picker's own screen.
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Take Photo"));
    ASSERT_EQ(delegate->calls.size(), 1u);
    auto image = cast<UIImage>(delegate->lastInfo->objectForKey(UIImagePickerControllerOriginalImage()));
    EXPECT_EQ(image->size(), CGSizeMake(640, 480));
    EXPECT_FALSE(delegate->lastInfo->objectForKey(UIImagePickerControllerEditedImage())) << "no editing asked for";
}

TEST_F(ImagePickerTests, ABrokenCameraTakesABlackPictureWhateverWasScripted) {
    SimDevice::current().setCameraPicture(SimDevice::CameraPosition::Back, pngPicture(640, 480));
    SimDevice::current().setCameraWorking(SimDevice::CameraPosition::Back, false);
    auto delegate = make<PickerTestDelegate>();
    presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
    ASSERT_TRUE(UITestDriver::takePicture());
    ASSERT_EQ(delegate->calls, (std::vector<std::string>{"didFinishPickingMediaWithInfo"}));
    auto picture = cast<UIImage>(delegate->lastInfo->objectForKey(UIImagePickerControllerOriginalImage()));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), CGSizeMake(3024, 4032)) << "the camera's own picture, not the scripted one";
    uint8_t rgba[4];
    for (CGFloat y : {0.2, 0.5, 0.8}) {
        ASSERT_TRUE(
            CGImageGetPixel(picture->CGImage(), static_cast<size_t>(756 * 0.5), static_cast<size_t>(1008 * y), rgba));
        EXPECT_LT(rgba[0] + rgba[1] + rgba[2], 10);
    }
    // Cancel still works from the screen.
    auto again = presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
    EXPECT_TRUE(UITestDriver::cancelImagePicker());
    EXPECT_EQ(delegate->calls.back(), "didCancel");
}

namespace {

// The mean brightness (0..255) of the middle of a picture.
double middleBrightness(const Ref<UIImage>& picture) {
    auto image = picture->CGImage();
    size_t width = CGImageGetWidth(image);
    size_t height = CGImageGetHeight(image);
    double sum = 0;
    int count = 0;
    for (size_t y = height / 4; y < height * 3 / 4; y += 16) {
        for (size_t x = width / 4; x < width * 3 / 4; x += 16) {
            uint8_t rgba[4];
            if (CGImageGetPixel(image, x, y, rgba)) {
                sum += (rgba[0] + rgba[1] + rgba[2]) / 3.0;
                ++count;
            }
        }
    }
    return count ? sum / count : -1;
}

} // namespace

TEST_F(ImagePickerTests, AFlashSwitchedOnLightsThePictureOnlyWhenItWorks) {
    SimCamera::current().reset();
    auto delegate = make<PickerTestDelegate>();
    auto take = [&](UIImagePickerControllerCameraFlashMode mode) {
        auto picker = presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
        picker->setCameraFlashMode(mode);
        EXPECT_TRUE(UITestDriver::takePicture());
        advance(UIModalTransitionDuration);
        auto picture = cast<UIImage>(delegate->lastInfo->objectForKey(UIImagePickerControllerOriginalImage()));
        return picture ? middleBrightness(picture) : -1.0;
    };
    double automatic = take(UIImagePickerControllerCameraFlashModeAuto);
    double lit = take(UIImagePickerControllerCameraFlashModeOn);
    EXPECT_GT(lit - automatic, 60) << "a lit scene needs no flash in automatic mode; switched on, it lights";
    SimCamera::current().setFlashState(SimCamera::LightState::Dead);
    double dead = take(UIImagePickerControllerCameraFlashModeOn);
    EXPECT_NEAR(dead, automatic, 10) << "a dead flash lights nothing";
}

TEST_F(ImagePickerTests, LibraryPicksCarryAReferenceURLAndCancelWorksFromTheScreen) {
    auto delegate = make<PickerTestDelegate>();
    delegate->dismisses = false;
    auto picker = presentPicker(UIImagePickerControllerSourceTypePhotoLibrary, delegate);
    auto photo = make<UIImage>(CGSizeMake(100, 50), 2.0);
    ASSERT_TRUE(UITestDriver::takePicture(photo));
    auto info = delegate->lastInfo;
    EXPECT_EQ(info->objectForKey(UIImagePickerControllerOriginalImage()), photo);
    auto url = cast<NSURL>(info->objectForKey(UIImagePickerControllerReferenceURL()));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme()->str(), "assets-library");
    EXPECT_FALSE(info->objectForKey(UIImagePickerControllerMediaMetadata()));
    EXPECT_EQ(screen_->presentedViewController(), picker) << "only the delegate dismisses";

    ASSERT_TRUE(UITestDriver::tapButtonTitled("Cancel"));
    EXPECT_EQ(delegate->calls.back(), "didCancel");
    EXPECT_FALSE(screen_->presentedViewController());
}

TEST_F(ImagePickerTests, WithoutDelegateMethodsThePickerDismissesItself) {
    auto nobody = make<NSObject>();
    auto picker = presentPicker(UIImagePickerControllerSourceTypeCamera, nobody);
    ASSERT_TRUE(UITestDriver::takePicture());
    advance(UIModalTransitionDuration);
    EXPECT_FALSE(screen_->presentedViewController());

    screen_->presentViewControllerAnimatedCompletion(picker, false);
    UITestDriver::settle();
    EXPECT_TRUE(UITestDriver::cancelImagePicker());
    advance(UIModalTransitionDuration);
    EXPECT_FALSE(screen_->presentedViewController());
}

namespace {

// The mean colour (0..255) of a few pixels around a point of an image given in points.
std::array<double, 3> colourAt(const Ref<UIImage>& image, CGPoint point) {
    std::array<double, 3> sum{};
    double n = 0;
    CGFloat scale = image->scale();
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            uint8_t rgba[4];
            if (CGImageGetPixel(image->CGImage(), static_cast<size_t>(point.x * scale) + dx,
                                static_cast<size_t>(point.y * scale) + dy, rgba)) {
                for (int c = 0; c < 3; ++c) {
                    sum[c] += rgba[c];
                }
                n += 1;
            }
        }
    }
    for (auto& v : sum) {
        v = n > 0 ? v / n : 0;
    }
    return sum;
}

// Where the centre of the chart's red patch shows on the camera screen: the live picture fills the
// screen above the 96-point bar of the controls (aspect fill), the front camera mirrored.
CGPoint redPatchOnScreen(CGSize picture, bool mirrored) {
    CGSize screen = UIScreen::mainScreen()->bounds().size;
    CGSize area = CGSizeMake(screen.width, screen.height - 96);
    double scale = std::max(area.width / picture.width, area.height / picture.height);
    double w = picture.width * scale, h = picture.height * scale;
    const auto& red = SimCamera::patchNamed("red");
    double fx = red.x + red.w / 2;
    return CGPointMake((area.width - w) / 2 + (mirrored ? 1 - fx : fx) * w,
                       (area.height - h) / 2 + (red.y + red.h / 2) * h);
}

bool isRed(const std::array<double, 3>& c) {
    return c[0] > 140 && c[1] < 90 && c[2] < 90;
}

} // namespace

TEST_F(ImagePickerTests, TheCameraScreenShowsWhatTheCameraSeesAndThePictureIsIt) {
    SimCamera::current().reset();
    auto delegate = make<PickerTestDelegate>();
    auto picker = presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
    picker->setAllowsEditing(true);
    auto live = colourAt(UIScreenshotImage(), redPatchOnScreen(CGSizeMake(3024, 4032), false));
    EXPECT_TRUE(isRed(live)) << live[0] << " " << live[1] << " " << live[2];

    ASSERT_TRUE(UITestDriver::takePicture());
    auto original = cast<UIImage>(delegate->lastInfo->objectForKey(UIImagePickerControllerOriginalImage()));
    ASSERT_TRUE(original);
    EXPECT_EQ(original->size(), CGSizeMake(3024, 4032));
    const auto& red = SimCamera::patchNamed("red");
    CGPoint centre = CGPointMake((red.x + red.w / 2) * 3024, (red.y + red.h / 2) * 4032);
    EXPECT_TRUE(isRed(colourAt(original, centre)));
    // The edited picture is the centred square: 504 points cut from the top.
    auto edited = cast<UIImage>(delegate->lastInfo->objectForKey(UIImagePickerControllerEditedImage()));
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->size(), CGSizeMake(3024, 3024));
    EXPECT_TRUE(isRed(colourAt(edited, CGPointMake(centre.x, centre.y - 504))));
}

TEST_F(ImagePickerTests, TheFrontCameraScreenIsMirroredAndADeadCameraShowsBlack) {
    SimCamera::current().reset();
    auto delegate = make<PickerTestDelegate>();
    auto picker = presentPicker(UIImagePickerControllerSourceTypeCamera, delegate);
    picker->setCameraDevice(UIImagePickerControllerCameraDeviceFront);
    auto front = colourAt(UIScreenshotImage(), redPatchOnScreen(CGSizeMake(2320, 3088), true));
    EXPECT_TRUE(isRed(front)) << front[0] << " " << front[1] << " " << front[2];

    SimCamera::current().setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Dead);
    auto dead = colourAt(UIScreenshotImage(), redPatchOnScreen(CGSizeMake(2320, 3088), true));
    EXPECT_LT(dead[0] + dead[1] + dead[2], 10);
}

TEST_F(ImagePickerTests, TheShutterAndCancelSitInTheMiddleOfTheBarOnEveryScreen) {
    for (const char* profile : {"iPhone10,3", "iPod7,1", "iPad7,5"}) {
        ASSERT_TRUE(SimDevice::current().loadProfile(profile)) << profile;
        presentPicker(UIImagePickerControllerSourceTypeCamera, make<PickerTestDelegate>());
        CGSize screen = UIScreen::mainScreen()->bounds().size;
        auto shutter = UITestDriver::findButton("Take Photo");
        auto cancel = UITestDriver::findButton("Cancel");
        ASSERT_TRUE(shutter && cancel) << profile;
        CGRect s = shutter->convertRectToView(shutter->bounds(), nullptr);
        CGRect c = cancel->convertRectToView(cancel->bounds(), nullptr);
        // The black bar is the bottom 96 points, below the live picture.
        double barMiddle = screen.height - 48;
        EXPECT_DOUBLE_EQ(CGRectGetMidX(s), screen.width / 2) << profile;
        EXPECT_DOUBLE_EQ(CGRectGetMidY(s), barMiddle) << profile;
        EXPECT_DOUBLE_EQ(CGRectGetMidY(c), barMiddle) << profile;
        EXPECT_LT(CGRectGetMaxX(c), CGRectGetMinX(s)) << profile << ": Cancel stays left of the shutter";
        EXPECT_TRUE(UITestDriver::cancelImagePicker()) << profile;
        for (const auto& window : UIWindow::allWindows()) {
            window->setHidden(true);
        }
    }
}
