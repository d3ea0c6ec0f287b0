// The white balance screen: its panel follows the camera in the automatic mode and drives it when
// locked; the locked gains really change the picture's grey patch; a camera that cannot lock its
// white balance, a missing segment and gains out of range are handled.
#include "CameraScreenTestCase.h"

#include <Diagnostics/CameraDisplay/WhiteBalanceViewController.h>

#include <cmath>
#include <regex>

namespace {

class WhiteBalanceScreenTest : public CameraScreenTestCase {
protected:
    Ref<WhiteBalanceViewController> open(const char* direction = nullptr) {
        auto screen =
            cast<WhiteBalanceViewController>(run(cameraRecord("WB", "WhiteBalanceViewController", direction)));
        EXPECT_TRUE(screen);
        return screen;
    }
    // The picture taken, its grey patch's mean colour.
    static std::array<double, 3> greyOf(const Ref<UIImage>& picture) {
        const auto& p = SimCamera::patchNamed("grey");
        auto image = picture->CGImage();
        std::array<double, 3> sum{};
        double n = 0;
        for (double y = p.y + p.h * 0.3; y < p.y + p.h * 0.7; y += 0.01) {
            for (double x = p.x + p.w * 0.3; x < p.x + p.w * 0.7; x += 0.01) {
                uint8_t rgba[4];
                CGImageGetPixel(image, static_cast<size_t>(x * image->width()),
                                static_cast<size_t>(y * image->height()), rgba);
                sum[0] += rgba[0];
                sum[1] += rgba[1];
                sum[2] += rgba[2];
                n += 1;
            }
        }
        for (auto& v : sum) {
            v /= n;
        }
        return sum;
    }
    Ref<UIImage> capture(const Ref<WhiteBalanceViewController>& screen) {
        tap(screen->captureButton());
        runUntil([&] { return screen->previewImageView()->image() != nullptr && !screen->answerView()->isHidden(); });
        return screen->previewImageView()->image();
    }
    static std::string text(const Ref<UILabel>& l) { return l && l->text() ? l->text()->str() : ""; }
};

TEST_F(WhiteBalanceScreenTest, AutomaticModeFollowsTheCameraAndThePictureIsNeutral) {
    auto screen = open();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->manualHUDWhiteBalanceView()->isHidden());
    EXPECT_TRUE(screen->captureButton()->isEnabled());
    EXPECT_EQ(screen->whiteBalanceModeControl()->selectedSegmentIndex(), 0);
    EXPECT_FALSE(screen->temperatureSlider()->isEnabled());
    advance(1.0); // the camera's automatic white balance moves; the panel follows it
    double shown = std::stod(text(screen->temperatureValueLabel()));
    EXPECT_NEAR(shown, 5000, 400);
    EXPECT_NEAR(screen->temperatureSlider()->value(), shown, 1.0);
    auto picture = capture(screen);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(screen->manualHUDWhiteBalanceView()->isHidden());
    auto grey = greyOf(picture);
    EXPECT_NEAR(grey[0], grey[2], 16);
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(model(0)->subTestItemsResult()->count(), 0u);
}

TEST_F(WhiteBalanceScreenTest, LockedGainsFromTheSlidersTintThePicture) {
    auto screen = open();
    ASSERT_TRUE(screen);
    auto control = screen->whiteBalanceModeControl();
    control->setSelectedSegmentIndex(1);
    control->sendActionsForControlEvents(UIControlEventValueChanged);
    settle();
    EXPECT_TRUE(screen->temperatureSlider()->isEnabled());
    EXPECT_EQ(screen->device()->whiteBalanceMode(), AVCaptureWhiteBalanceModeLocked);
    screen->temperatureSlider()->setValue(3000);
    screen->temperatureSlider()->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(text(screen->temperatureValueLabel()), "3000");
    auto grey = greyOf(capture(screen));
    EXPECT_GT(grey[2] - grey[0], 40); // gains for a warmer light than the room's: a blue picture
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(WhiteBalanceScreenTest, ValueLabelsTruncateAndGainsAreKeptInRange) {
    auto screen = open();
    ASSERT_TRUE(screen);
    auto g = screen->normalizedGains({0.5f, 2.0f, 9.0f});
    EXPECT_EQ(g.redGain, 1.0f);
    EXPECT_EQ(g.greenGain, 2.0f);
    EXPECT_EQ(g.blueGain, 4.0f);
    // At the camera's maximum a gain stays; just above it, it comes down to the maximum.
    auto edge = screen->normalizedGains({1.0f, 4.0f, std::nextafter(4.0f, 5.0f)});
    EXPECT_EQ(edge.redGain, 1.0f);
    EXPECT_EQ(edge.greenGain, 4.0f);
    EXPECT_EQ(edge.blueGain, 4.0f);
    screen->whiteBalanceModeControl()->setSelectedSegmentIndex(1);
    screen->whiteBalanceModeControl()->sendActionsForControlEvents(UIControlEventValueChanged);
    screen->temperatureSlider()->setValue(5500.9f);
    screen->temperatureSlider()->sendActionsForControlEvents(UIControlEventValueChanged);
    screen->tintSlider()->setValue(-20.7f);
    screen->tintSlider()->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(text(screen->temperatureValueLabel()), "5500");
    EXPECT_EQ(text(screen->tintValueLabel()), "-20");
    // Slider extremes that ask for gains past the maximum are clamped, never refused by the camera.
    screen->temperatureSlider()->setValue(3000);
    screen->tintSlider()->setValue(150);
    screen->tintSlider()->sendActionsForControlEvents(UIControlEventValueChanged);
    auto gains = screen->device()->deviceWhiteBalanceGains();
    EXPECT_LE(gains.blueGain, screen->device()->maxWhiteBalanceGain());
}

TEST_F(WhiteBalanceScreenTest, CameraThatCannotLockKeepsItsAutomaticMode) {
    camera.setLockedWhiteBalanceSupported(SimCamera::Position::Back, false);
    auto screen = open();
    ASSERT_TRUE(screen);
    auto control = screen->whiteBalanceModeControl();
    EXPECT_TRUE(control->isEnabledForSegmentAtIndex(0));
    EXPECT_FALSE(control->isEnabledForSegmentAtIndex(1));
    control->setSelectedSegmentIndex(1);
    control->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(control->selectedSegmentIndex(), 0);
    EXPECT_EQ(screen->device()->whiteBalanceMode(), AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance);
    // No segment at all: nothing is looked up.
    control->setSelectedSegmentIndex(UISegmentedControlNoSegment);
    screen->changeWhiteBalanceMode(control);
    EXPECT_EQ(screen->device()->whiteBalanceMode(), AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance);
    // A refused configuration lock leaves the mode as it was.
    camera.setRefusesConfigurationLock(true);
    camera.setLockedWhiteBalanceSupported(SimCamera::Position::Back, true);
    control->setSelectedSegmentIndex(1);
    control->sendActionsForControlEvents(UIControlEventValueChanged);
    EXPECT_EQ(screen->device()->whiteBalanceMode(), AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance);
}

TEST_F(WhiteBalanceScreenTest, RetakeBringsThePanelBackAndANewPicture) {
    auto screen = open("front");
    ASSERT_TRUE(screen);
    auto first = capture(screen);
    ASSERT_TRUE(first);
    writePNG(UIScreenshotImage(), "white-balance-picture.png");
    tap(screen->retakeButton());
    EXPECT_FALSE(screen->manualHUDWhiteBalanceView()->isHidden());
    EXPECT_EQ(text(screen->testTitle()), "White balance");
    auto second = capture(screen);
    EXPECT_NE(first, second);
    answer(true);
    EXPECT_EQ(result(), 1);
}

TEST_F(WhiteBalanceScreenTest, NotSupportedBeforeSystemEight) {
    EXPECT_TRUE(unbox<bool>(WhiteBalanceViewController::isSupport()));
    std::string json = SimDevice::current().profileJSON();
    json = std::regex_replace(json, std::regex("\"systemVersion\"\\s*:\\s*\"[^\"]*\""), "\"systemVersion\": \"7.1.2\"");
    ASSERT_TRUE(SimDevice::current().loadProfileJSON(json));
    EXPECT_FALSE(unbox<bool>(WhiteBalanceViewController::isSupport()));
}

TEST_F(WhiteBalanceScreenTest, RetakeIsWithinReachOnTheSmallestScreen) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPod7,1"));
    auto screen = open();
    ASSERT_TRUE(screen);
    capture(screen);
    auto retake = screen->retakeButton();
    ASSERT_FALSE(retake->isHidden());
    CGRect button = windowRect(retake, retake->bounds());
    CGRect bar = windowRect(screen->answerView(), screen->answerView()->bounds());
    EXPECT_LE(CGRectGetMaxY(button), CGRectGetMinY(bar)) << "Retake lies under the answer bar";
    EXPECT_GT(button.size.height, 0);
    tap(retake);
    EXPECT_FALSE(ended());
    EXPECT_FALSE(screen->manualHUDWhiteBalanceView()->isHidden());
    EXPECT_FALSE(screen->captureButton()->isHidden());
}

} // namespace
