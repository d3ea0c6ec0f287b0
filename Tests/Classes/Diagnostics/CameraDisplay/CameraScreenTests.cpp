// The camera screens on the simulated cameras: the torch, the live preview, the still picture;
// access refused, denied and restricted; a dead, missing or vanishing camera.
#include "CameraScreenTestCase.h"

#include <Diagnostics/CameraDisplay/CameraModelViewController.h>
#include <Diagnostics/CameraDisplay/CameraPictureViewController.h>
#include <Diagnostics/CameraDisplay/FlashModelViewController.h>
#include <UIKit/UIApplication.h>

namespace {

class CameraScreenTest : public CameraScreenTestCase {
protected:
    // The torch was lit at some time in [from, to).
    bool torchLitBetween(double from, double to) {
        bool lit = false;
        for (const auto& change : camera.torchLog()) {
            if (change.at < to) {
                lit = change.lit;
            }
        }
        (void)from;
        return lit;
    }
    // The mean colour of the middle of a chart patch as it shows in the screen's picture area.
    std::array<double, 3> patchOnScreen(const Ref<UIView>& area, const char* name) {
        const auto& p = SimCamera::patchNamed(name);
        CGRect b = area->bounds();
        // The picture fills the area's width (3:4 pictures over a wider area), centred vertically.
        double h = b.size.width * 4 / 3;
        double top = (b.size.height - h) / 2;
        CGRect r = CGRectMake(b.size.width * (p.x + p.w * 0.3), top + h * (p.y + p.h * 0.3), b.size.width * p.w * 0.4,
                              h * p.h * 0.4);
        return screenColour(UIScreenshotImage(), windowRect(area, r));
    }
};

TEST_F(CameraScreenTest, TorchIsLitWhileShownAndOffBeforeTheEnd) {
    auto screen = cast<FlashModelViewController>(run(cameraRecord("FLASH", "FlashModelViewController")));
    ASSERT_TRUE(screen);
    EXPECT_TRUE(camera.torchLit());
    // The application goes to the background: off a second later; back: on a second later.
    UIApplication::sharedApplication()->enterBackground();
    advance(0.9);
    EXPECT_TRUE(camera.torchLit());
    advance(0.2);
    EXPECT_FALSE(camera.torchLit());
    UIApplication::sharedApplication()->enterForeground();
    advance(1.1);
    EXPECT_TRUE(camera.torchLit());
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_FALSE(camera.torchLit());
}

TEST_F(CameraScreenTest, TorchSwitchedOnLateNeverOutlivesTheScreen) {
    auto screen = cast<FlashModelViewController>(run(cameraRecord("FLASH", "FlashModelViewController")));
    ASSERT_TRUE(screen);
    UIApplication::sharedApplication()->enterBackground();
    advance(1.1);
    UIApplication::sharedApplication()->enterForeground();
    answer(false); // within the second before the delayed switch-on
    advance(2);
    EXPECT_EQ(result(), 2);
    EXPECT_FALSE(camera.torchLit());
}

TEST_F(CameraScreenTest, DeadOrMissingTorchStaysDarkAndTheAnswerStillEnds) {
    camera.setTorchState(SimCamera::LightState::Dead);
    run(cameraRecord("FLASH", "FlashModelViewController"));
    EXPECT_FALSE(camera.torchLit());
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, PreviewShowsTheChartAndTheAnswerStopsTheSession) {
    auto screen =
        cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", "back", "specific")));
    ASSERT_TRUE(screen);
    ASSERT_TRUE(screen->session());
    EXPECT_TRUE(screen->session()->isRunning());
    EXPECT_FALSE(screen->answerView()->isHidden());
    EXPECT_EQ(screen->colorLabel()->text()->str(), "Does the preview of the test pattern surface look right?");
    auto item = cast<NSDictionary>(screen->subItemlist()->objectAtIndex(0));
    EXPECT_TRUE(item->objectForKey("title"_ns));
    auto red = patchOnScreen(screen->previewImageView(), "red");
    EXPECT_GT(red[0], 150);
    EXPECT_LT(red[1], 70);
    writePNG(UIScreenshotImage(), "camera-preview.png");
    auto session = screen->session();
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_FALSE(session->isRunning());
}

TEST_F(CameraScreenTest, DeadFrontCameraShowsBlack) {
    camera.setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Dead);
    auto screen =
        cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", "front", "white")));
    ASSERT_TRUE(screen);
    auto red = patchOnScreen(screen->previewImageView(), "white");
    EXPECT_LT(red[0], 5);
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, MissingCameraFailsASecondLater) {
    camera.setCameraState(SimCamera::Position::Front, SimCamera::CameraState::Absent);
    auto screen = run(cameraRecord("CAM", "CameraModelViewController", "front", "black"));
    ASSERT_TRUE(screen);
    EXPECT_FALSE(ended());
    advance(1.0);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, AccessRefusedAtThePromptFails) {
    camera.setAuthorization(SimCamera::Authorization::NotDetermined);
    camera.setPromptAnswer(SimCamera::PromptAnswer::Deny, 1.0);
    auto screen = cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController")));
    ASSERT_TRUE(screen);
    advance(1.0);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    EXPECT_FALSE(screen->session());
}

TEST_F(CameraScreenTest, AccessGrantedAtThePromptStartsThePreview) {
    camera.setAuthorization(SimCamera::Authorization::NotDetermined);
    camera.setPromptAnswer(SimCamera::PromptAnswer::Allow, 1.0);
    auto screen = cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController")));
    ASSERT_TRUE(screen);
    advance(1.0);
    ASSERT_TRUE(screen->session());
    EXPECT_TRUE(screen->session()->isRunning());
}

TEST_F(CameraScreenTest, AccessDeniedShowsTheAlertAndClosingItEndsTheTest) {
    camera.setAuthorization(SimCamera::Authorization::Denied);
    auto screen = cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController")));
    ASSERT_TRUE(screen);
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title()->str(), "Celvix");
    EXPECT_EQ(alert->message()->str(), "Celvix needs access to the camera. Allow it in Settings.");
    EXPECT_FALSE(ended());
    tapAlert("Settings");
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, AccessRestrictedEndsTheTest) {
    camera.setAuthorization(SimCamera::Authorization::Restricted);
    run(cameraRecord("PIC", "CameraPictureViewController"));
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, PictureIsTakenShownAndRetaken) {
    auto screen =
        cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController", nullptr, "white")));
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->testTitle()->text()->str(), "Take a picture of a white surface.");
    EXPECT_TRUE(screen->answerView()->isHidden());
    tap(screen->captureButton());
    runUntil([&] { return screen->previewImageView()->image() != nullptr; });
    auto first = screen->previewImageView()->image();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), CGSizeMake(768, 1024));
    EXPECT_FALSE(screen->session()->isRunning());
    EXPECT_FALSE(screen->answerView()->isHidden());
    EXPECT_FALSE(screen->retakeButton()->isHidden());
    EXPECT_EQ(screen->testTitle()->text()->str(), "Does the picture of the white surface look right?");
    auto red = patchOnScreen(screen->previewImageView(), "red");
    EXPECT_GT(red[0], 150);
    writePNG(UIScreenshotImage(), "camera-picture.png");

    tap(screen->retakeButton());
    EXPECT_TRUE(screen->answerView()->isHidden());
    EXPECT_TRUE(screen->session()->isRunning());
    tap(screen->captureButton());
    runUntil([&] { return screen->previewImageView()->image() != first; });
    EXPECT_NE(screen->previewImageView()->image(), first);
    answer(true);
    EXPECT_EQ(result(), 1);
}

TEST_F(CameraScreenTest, CameraVanishingBeforeTheCaptureFailsWithoutACrash) {
    auto screen = cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController")));
    ASSERT_TRUE(screen);
    camera.setCameraState(SimCamera::Position::Back, SimCamera::CameraState::Absent);
    advance(0.3); // the session notices and stops
    tap(screen->captureButton());
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, SessionThatCannotStartFailsTheCapture) {
    camera.setSessionStartFails(true);
    auto screen = cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController", "front")));
    ASSERT_TRUE(screen);
    tap(screen->captureButton());
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, RetakeTakesTheCaptureButtonsPlace) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPod7,1"));
    auto screen = cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController")));
    ASSERT_TRUE(screen);
    tap(screen->captureButton());
    runUntil([&] { return screen->previewImageView()->image() != nullptr; });
    auto retake = screen->retakeButton();
    ASSERT_FALSE(retake->isHidden());
    CGRect button = windowRect(retake, retake->bounds());
    CGRect capture = windowRect(screen->captureButton(), screen->captureButton()->bounds());
    EXPECT_DOUBLE_EQ(button.origin.y, capture.origin.y);
    CGRect bar = windowRect(screen->answerView(), screen->answerView()->bounds());
    EXPECT_LE(CGRectGetMaxY(button), CGRectGetMinY(bar));
}

} // namespace
