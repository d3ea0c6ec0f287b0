// The camera attribute screen through the system camera screen: one question per feature, the
// sub-results they give, the items without a flash, Cancel and denied access.
#include "CameraScreenTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/CameraDisplay/CameraAttributeViewController.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIScreen.h>

namespace {

class CameraAttributeScreenTest : public CameraScreenTestCase {
protected:
    Ref<CameraAttributeViewController> open(const char* direction) {
        auto r = cameraRecord("ADV", "CameraAttributeViewController", direction);
        auto results = NSMutableDictionary::dictionary();
        for (const char* key : {"BACK_CAMERA_ADV_TEST_ZOOMINOUT", "BACK_CAMERA_ADV_TEST_FOCUS",
                                "BACK_CAMERA_ADV_TEST_FLASH", "FRONT_CAMERA_ADV_TEST_FOCUS"}) {
            results->setObjectForKey("NOT_TEST"_ns, NSString::from(key));
        }
        r->setSubTestItemsResult(results);
        auto screen = cast<CameraAttributeViewController>(run(r));
        EXPECT_TRUE(screen);
        return screen;
    }
    std::string sub(const char* key) const {
        auto v = model(0)->subTestItemsResult()->objectForKey(NSString::from(key));
        return v ? NSDescription(v)->str() : "<none>";
    }
    // The icon laid over the system camera screen, if any.
    static Ref<UIImageView> pickerIcon(const Ref<CameraAttributeViewController>& screen) {
        Ref<UIImageView> icon;
        auto picker = screen->picker();
        auto subviews = picker ? picker->view()->subviews() : nullptr;
        if (subviews) {
            for (const id& v : *subviews) {
                if (auto image = cast<UIImageView>(v)) {
                    icon = image;
                }
            }
        }
        return icon;
    }
    void takeThePicture() {
        ASSERT_TRUE(UITestDriver::topImagePicker()) << UITestDriver::describeScreen();
        ASSERT_TRUE(UITestDriver::takePicture());
        settle();
        advance(1.2);
    }
};

TEST_F(CameraAttributeScreenTest, FrontCameraHasOneQuestion) {
    auto screen = open("front");
    ASSERT_TRUE(screen);
    auto picker = UITestDriver::topImagePicker();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->cameraDevice(), UIImagePickerControllerCameraDeviceFront);
    EXPECT_TRUE(picker->allowsEditing());
    EXPECT_EQ(sub("BACK_CAMERA_ADV_TEST_ZOOMINOUT"), "<none>");
    takeThePicture();
    EXPECT_TRUE(screen->previewImageView()->image());
    EXPECT_FALSE(screen->answerView()->isHidden());
    EXPECT_TRUE(
        screen->tipLabel()->text()->isEqual(DXLocalizedString("CAMERA_ATTRIBUTE_CONTROLLER_ANSWER_TOUCH_FOUCS")));
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(sub("FRONT_CAMERA_ADV_TEST_FOCUS"), "SUCCESS");
}

TEST_F(CameraAttributeScreenTest, BackCameraWithFlashAsksThreeQuestions) {
    auto screen = open("back");
    ASSERT_TRUE(screen);
    takeThePicture();
    answer(true);
    answer(false);
    EXPECT_FALSE(ended());
    answer(true);
    EXPECT_EQ(sub("BACK_CAMERA_ADV_TEST_ZOOMINOUT"), "SUCCESS");
    EXPECT_EQ(sub("BACK_CAMERA_ADV_TEST_FOCUS"), "FAIL");
    EXPECT_EQ(sub("BACK_CAMERA_ADV_TEST_FLASH"), "SUCCESS");
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraAttributeScreenTest, BackCameraWithoutFlashDropsItsKey) {
    camera.setFlashState(SimCamera::LightState::Absent);
    auto screen = open(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->subItemlist()->count(), 2u);
    EXPECT_EQ(sub("BACK_CAMERA_ADV_TEST_FLASH"), "<none>");
    takeThePicture();
    answer(true);
    answer(true);
    EXPECT_EQ(result(), 1);
}

TEST_F(CameraAttributeScreenTest, CancelInTheCameraScreenFailsTheTest) {
    auto screen = open("back");
    ASSERT_TRUE(screen);
    ASSERT_TRUE(UITestDriver::cancelImagePicker());
    settle();
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraAttributeScreenTest, DeniedAccessShowsTheAlertAndWaits) {
    camera.setAuthorization(SimCamera::Authorization::Denied);
    auto screen = open("back");
    ASSERT_TRUE(screen);
    EXPECT_FALSE(UITestDriver::topImagePicker());
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message()->str(), "Celvix needs access to the camera. Allow it in Settings.");
    EXPECT_FALSE(ended());
}

TEST_F(CameraAttributeScreenTest, PickerIconSitsInTheCorner) {
    auto screen = open("back");
    ASSERT_TRUE(screen);
    auto icon = pickerIcon(screen);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->frame(), CGRectMake(320, 5, 50, 40));
}

TEST_F(CameraAttributeScreenTest, PickerIconOnTheSmallestScreenSitsAtTheTopEdge) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPod7,1"));
    ASSERT_EQ(UIScreen::mainScreen()->bounds().size, CGSizeMake(320, 568));
    auto screen = open("front");
    ASSERT_TRUE(screen);
    auto icon = pickerIcon(screen);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->frame(), CGRectMake(270, 0, 50, 40));
}

TEST_F(CameraAttributeScreenTest, NoPickerIconOnATablet) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    auto screen = open("back");
    ASSERT_TRUE(screen);
    ASSERT_TRUE(screen->picker());
    EXPECT_FALSE(pickerIcon(screen));
}

TEST_F(CameraAttributeScreenTest, AMissingCameraIsNotStoodInForByTheOtherOne) {
    // Without its own camera a record fails a second later: the camera screen never opens on the
    // other camera, whose picture would pass under this camera's name.
    struct Case {
        const char* direction;
        SimDevice::CameraPosition missing;
    };
    for (const auto& c :
         {Case{"front", SimDevice::CameraPosition::Front}, Case{"back", SimDevice::CameraPosition::Back}}) {
        SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Front, true);
        SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Back, true);
        SimDevice::current().setCameraPresent(c.missing, false);
        auto screen = open(c.direction);
        ASSERT_TRUE(screen);
        EXPECT_FALSE(UITestDriver::topImagePicker()) << c.direction;
        EXPECT_FALSE(ended());
        advance(1.0);
        settle();
        EXPECT_TRUE(ended()) << c.direction;
        EXPECT_EQ(result(), 2) << c.direction;
        EXPECT_EQ(storedResults(), std::vector<NSInteger>{2});
    }
}

TEST_F(CameraAttributeScreenTest, TheOtherCameraMissingChangesNothing) {
    SimDevice::current().setCameraPresent(SimDevice::CameraPosition::Back, false);
    auto screen = open("front");
    ASSERT_TRUE(screen);
    auto picker = UITestDriver::topImagePicker();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->cameraDevice(), UIImagePickerControllerCameraDeviceFront);
    takeThePicture();
    answer(true);
    EXPECT_EQ(result(), 1);
}

} // namespace
