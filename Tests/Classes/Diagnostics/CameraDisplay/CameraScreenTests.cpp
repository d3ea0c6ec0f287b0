// The camera screens on the simulated cameras: the torch, the live preview, the still picture;
// access refused (a failed test), denied and restricted (the screen waits); a dead, missing or
// vanishing camera.
#include "CameraScreenTestCase.h"

#include <Categorys/DXLocalizedString.h>

#include <AVFoundation/AVCaptureInput.h>
#include <Diagnostics/CameraDisplay/CameraModelViewController.h>
#include <Diagnostics/CameraDisplay/CameraPictureViewController.h>
#include <Diagnostics/CameraDisplay/FlashModelViewController.h>
#include <Foundation/NSURL.h>
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
    // The mean colour of the middle of a chart patch in a picture, where the chart puts it or
    // mirrored left to right.
    static std::array<double, 3> patchInPicture(const Ref<UIImage>& picture, const char* name, bool mirrored) {
        const auto& p = SimCamera::patchNamed(name);
        CGSize size = picture->size();
        double x = mirrored ? 1 - p.x - p.w : p.x;
        std::array<double, 3> sum{};
        double n = 0;
        for (double fy = 0.3; fy < 0.7; fy += 0.05) {
            for (double fx = 0.3; fx < 0.7; fx += 0.05) {
                uint8_t rgba[4];
                if (CGImageGetPixel(picture->CGImage(), static_cast<size_t>(size.width * (x + p.w * fx)),
                                    static_cast<size_t>(size.height * (p.y + p.h * fy)), rgba)) {
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
    // Takes one still on the picture screen of the camera `direction` and hands it back.
    Ref<UIImage> takeStill(const char* direction) {
        auto screen =
            cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController", direction)));
        EXPECT_TRUE(screen);
        if (!screen) {
            return nullptr;
        }
        tap(screen->captureButton());
        runUntil([&] { return screen->previewImageView()->image() != nullptr; });
        return screen->previewImageView()->image();
    }
    // The title of the camera display test's one sub-item ("<none>" without one), and the position
    // of the camera it previews (0 without a session).
    static std::string displayTitle(const Ref<CameraModelViewController>& screen) {
        auto item = cast<NSDictionary>(screen->subItemlist()->objectAtIndex(0));
        auto title = item ? cast<NSString>(item->objectForKey("title"_ns)) : nullptr;
        return title ? title->str() : "<none>";
    }
    static NSInteger previewedPosition(const Ref<CameraModelViewController>& screen) {
        auto session = screen->session();
        auto inputs = session ? session->inputs() : nullptr;
        auto input = inputs && inputs->count() > 0 ? cast<AVCaptureDeviceInput>(inputs->objectAtIndex(0)) : nullptr;
        return input ? static_cast<NSInteger>(input->device()->position()) : 0;
    }
    // The camera display test without camera access: no preview, no result, the answer bar up.
    void expectDisplayTestWaitsForItsAnswer() {
        auto screen =
            cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", "back", "white")));
        ASSERT_TRUE(screen);
        if (UITestDriver::topAlert()) {
            tapAlert(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL")->str().c_str());
        }
        advance(3);
        EXPECT_FALSE(ended());
        EXPECT_EQ(result(), 0);
        EXPECT_FALSE(screen->session());
        EXPECT_FALSE(screen->answerView()->isHidden());
        answer(false);
        EXPECT_TRUE(ended());
        EXPECT_EQ(result(), 2);
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

TEST_F(CameraScreenTest, DisplayTestOfABlackSurfaceOnTheFrontCamera) {
    auto screen =
        cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", "front", "black")));
    ASSERT_TRUE(screen);
    EXPECT_EQ(displayTitle(screen), "Front camera, black surface");
    EXPECT_EQ(previewedPosition(screen), AVCaptureDevicePositionFront);
    answer(false);
    EXPECT_EQ(result(), 2);
}

TEST_F(CameraScreenTest, DisplayTestOfThePatternWithoutADirectionUsesTheBackCamera) {
    auto screen =
        cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", nullptr, "specific")));
    ASSERT_TRUE(screen);
    EXPECT_EQ(displayTitle(screen), "Back camera, test pattern");
    EXPECT_EQ(previewedPosition(screen), AVCaptureDevicePositionBack);
}

TEST_F(CameraScreenTest, DisplayTestOfAWhiteSurfaceOnTheBackCamera) {
    auto screen =
        cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", "back", "white")));
    ASSERT_TRUE(screen);
    EXPECT_EQ(displayTitle(screen), "Back camera, white surface");
}

TEST_F(CameraScreenTest, DisplayTestOfAnUnknownColourHasNoTitleAndRunsAsUsual) {
    auto screen =
        cast<CameraModelViewController>(run(cameraRecord("CAM", "CameraModelViewController", "front", "purple")));
    ASSERT_TRUE(screen);
    EXPECT_EQ(displayTitle(screen), "<none>");
    EXPECT_EQ(previewedPosition(screen), AVCaptureDevicePositionFront);
    ASSERT_TRUE(screen->session());
    EXPECT_TRUE(screen->session()->isRunning());
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

TEST_F(CameraScreenTest, AccessDeniedShowsTheAlertAndTheScreenWaitsUntilLeft) {
    camera.setAuthorization(SimCamera::Authorization::Denied);
    startRun({cameraRecord("PIC", "CameraPictureViewController"), record("NEXT")}, DXRunTypeProfile);
    auto screen = cast<CameraPictureViewController>(testScreen());
    ASSERT_TRUE(screen);
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title()->str(), "Celvix");
    EXPECT_EQ(alert->message()->str(), "Celvix needs access to the camera. Allow it in Settings.");
    auto opened = UIApplication::sharedApplication()->openedURLs()->count();
    tapAlert("Settings");
    ASSERT_EQ(UIApplication::sharedApplication()->openedURLs()->count(), opened + 1);
    auto url = cast<NSURL>(UIApplication::sharedApplication()->openedURLs()->lastObject());
    EXPECT_EQ(url->absoluteString()->str(), UIApplicationOpenSettingsURLString()->str());
    EXPECT_FALSE(UITestDriver::topAlert());
    advance(5);
    EXPECT_EQ(testScreen(), screen); // no result: the screen waits
    EXPECT_EQ(results(), (std::vector<NSInteger>{0, 0}));
    EXPECT_FALSE(screen->session());
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
}

TEST_F(CameraScreenTest, AccessDeniedAlertsCancelOnlyClosesIt) {
    camera.setAuthorization(SimCamera::Authorization::Denied);
    auto screen = cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController")));
    ASSERT_TRUE(screen);
    auto opened = UIApplication::sharedApplication()->openedURLs()->count();
    ASSERT_TRUE(UITestDriver::topAlert());
    tapAlert(DXLocalizedString("BASETEST_CONTROLLER_ACTIONSHEET_CANCEL")->str().c_str());
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs()->count(), opened);
    advance(5);
    EXPECT_FALSE(ended());
    EXPECT_EQ(result(), 0);
}

TEST_F(CameraScreenTest, AccessRestrictedOnlyLogsAndTheScreenWaits) {
    camera.setAuthorization(SimCamera::Authorization::Restricted);
    auto screen = cast<CameraPictureViewController>(run(cameraRecord("PIC", "CameraPictureViewController")));
    ASSERT_TRUE(screen);
    EXPECT_FALSE(UITestDriver::topAlert());
    advance(5);
    EXPECT_FALSE(ended());
    EXPECT_EQ(result(), 0);
    EXPECT_FALSE(screen->session());
}

TEST_F(CameraScreenTest, WithRestrictedAccessTheDisplayTestCanStillBeAnsweredNo) {
    camera.setAuthorization(SimCamera::Authorization::Restricted);
    expectDisplayTestWaitsForItsAnswer();
}

TEST_F(CameraScreenTest, WithDeniedAccessTheDisplayTestCanStillBeAnsweredNo) {
    camera.setAuthorization(SimCamera::Authorization::Denied);
    expectDisplayTestWaitsForItsAnswer();
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

TEST_F(CameraScreenTest, AFrontCameraStillIsMirrored) {
    auto picture = takeStill("front");
    ASSERT_TRUE(picture);
    auto atItsPlace = patchInPicture(picture, "red", false);
    auto mirrored = patchInPicture(picture, "red", true);
    EXPECT_GT(mirrored[0], 150);
    EXPECT_LT(mirrored[1], 70);
    EXPECT_GT(atItsPlace[1], 150) << "the white patch lies where red would be unmirrored";
}

TEST_F(CameraScreenTest, ABackCameraStillIsNotMirrored) {
    auto picture = takeStill("back");
    ASSERT_TRUE(picture);
    auto atItsPlace = patchInPicture(picture, "red", false);
    auto mirrored = patchInPicture(picture, "red", true);
    EXPECT_GT(atItsPlace[0], 150);
    EXPECT_LT(atItsPlace[1], 70);
    EXPECT_GT(mirrored[1], 150);
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
