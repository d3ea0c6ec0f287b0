// The display screens: the ghost-image and crack questions, the backlight sweep (and its decoy),
// the colour fills; the display's faults seen on the screen.
#include "CameraScreenTestCase.h"

#include <Diagnostics/CameraDisplay/BrightnessViewController.h>
#include <Diagnostics/CameraDisplay/FillColorViewController.h>
#include <Diagnostics/CameraDisplay/GhostScreenViewController.h>
#include <Diagnostics/CameraDisplay/LCDCrackViewController.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIScreen.h>

namespace {

class DisplayScreenTest : public CameraScreenTestCase {
protected:
    static std::string text(const Ref<UILabel>& label) { return label && label->text() ? label->text()->str() : ""; }
    static NSInteger subItemResult(const Ref<DXBaseViewController>& screen, NSUInteger i) {
        auto item = cast<NSDictionary>(screen->subItemlist()->objectAtIndex(i));
        auto value = item ? item->objectForKey("result"_ns) : nullptr;
        return value ? unbox<NSInteger>(value) : 0;
    }
};

TEST_F(DisplayScreenTest, GhostAndCrackQuestionsPassOnYesFailOnNo) {
    auto ghost = cameraRecord("GHOST", "GhostScreenViewController");
    auto crack = cameraRecord("CRACK", "LCDCrackViewController");
    auto ghost2 = cameraRecord("GHOST2", "GhostScreenViewController");
    auto crack2 = cameraRecord("CRACK2", "LCDCrackViewController");
    startRun({ghost, crack, ghost2, crack2}, DXRunTypeProfile);
    auto g = cast<GhostScreenViewController>(testScreen());
    ASSERT_TRUE(g);
    EXPECT_EQ(text(g->label()), "Ghost image");
    EXPECT_EQ(text(g->question()), "Is the display free of after-images?");
    answer(true);
    auto c = cast<LCDCrackViewController>(testScreen());
    ASSERT_TRUE(c);
    EXPECT_EQ(text(c->labelTitle()), "Display cracks");
    EXPECT_EQ(text(c->question()), "Is the display free of cracks?");
    answer(false);
    answer(false);
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2, 2, 1}));
    expectStoredMatchesMemory();
}

TEST_F(DisplayScreenTest, BacklightSweepsTurnsAndRestoresTheBrightness) {
    UIScreen::mainScreen()->setBrightness(0.37);
    auto screen = cast<BrightnessViewController>(run(cameraRecord("BACKLIGHT", "BrightnessViewController")));
    ASSERT_TRUE(screen);
    EXPECT_NEAR(screen->orgin_value(), 0.37, 1e-6);
    // The screen loaded as the run pushed it, half a second (the settling) ago.
    double loaded = elapsed() - 0.5;
    auto at = [&](double t) {
        advance(loaded + t + 1e-6 - elapsed());
        return UIScreen::mainScreen()->brightness();
    };
    EXPECT_NEAR(at(0.5), 0.5, 1e-6);
    EXPECT_EQ(text(screen->progressLabel()), "Brightness: 50%");
    EXPECT_NEAR(at(1.0), 1.0, 1e-6);
    EXPECT_NEAR(at(1.1), 1.0, 1e-6); // the turn
    EXPECT_NEAR(at(1.2), 0.9, 1e-6);
    EXPECT_NEAR(camera.displayLuminance(), 0.9, 1e-6);
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(subItemResult(screen, 0), 1);
    EXPECT_NEAR(UIScreen::mainScreen()->brightness(), 0.37, 1e-6);
    double after = UIScreen::mainScreen()->brightness();
    advance(1);
    EXPECT_EQ(UIScreen::mainScreen()->brightness(), after); // the sweep ended with the screen
}

TEST_F(DisplayScreenTest, BacklightDecoySweepsNothingAndItsSubItemKeepsTheAnswer) {
    UIScreen::mainScreen()->setBrightness(0.5);
    auto r = cameraRecord("BACKLIGHT", "BrightnessViewController");
    r->setFakeTest(true);
    auto screen = cast<BrightnessViewController>(run(r));
    ASSERT_TRUE(screen);
    std::string before = text(screen->progressLabel());
    advance(1.5);
    EXPECT_NEAR(UIScreen::mainScreen()->brightness(), 0.5, 1e-6);
    EXPECT_EQ(text(screen->progressLabel()), before);
    answer(false); // the honest answer to a decoy
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(subItemResult(screen, 0), 2); // the answer as given: NO
    advance(1);
    EXPECT_NEAR(UIScreen::mainScreen()->brightness(), 0.5, 1e-6); // nothing to restore either
}

TEST_F(DisplayScreenTest, BacklightDecoyAnsweredYesFails) {
    // An operator who answers YES without looking: nothing was swept, so the decoy must not pass.
    auto r = cameraRecord("BACKLIGHT", "BrightnessViewController");
    r->setFakeTest(true);
    auto screen = cast<BrightnessViewController>(run(r));
    ASSERT_TRUE(screen);
    advance(1.0);
    answer(true);
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), 2);
    EXPECT_EQ(subItemResult(screen, 0), 1); // the answer as given: YES
}

TEST_F(DisplayScreenTest, FiveColoursAreTappedThroughThenAskedOnce) {
    auto screen = cast<FillColorViewController>(run(cameraRecord("FILL", "FillColorViewController")));
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->headerView()->isHidden());
    EXPECT_TRUE(screen->answerView()->isHidden());
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::whiteColor()));
    for (int i = 0; i < 4; ++i) {
        tap(screen->view());
    }
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::blackColor()));
    EXPECT_TRUE(screen->label()->isHidden());
    tap(screen->view());
    EXPECT_FALSE(screen->label()->isHidden());
    // One question for every colour shown, without a placeholder left in it.
    EXPECT_EQ(text(screen->label()), "Was the white, red, green, blue, black screen even, without spots or lines?");
    EXPECT_FALSE(screen->answerView()->isHidden());
    EXPECT_FALSE(screen->hideButtons()->isHidden());
    tap(screen->view()); // taps do nothing now
    EXPECT_EQ(screen->count(), 4);
    tap(screen->hideButtons()); // Retry
    EXPECT_EQ(screen->count(), 0);
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::whiteColor()));
    EXPECT_TRUE(screen->answerView()->isHidden());
    tap(screen->view());
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::redColor()));
    for (int i = 0; i < 4; ++i) {
        tap(screen->view());
    }
    answer(false);
    EXPECT_EQ(result(), 2);
    EXPECT_FALSE(screen->headerView()->isHidden());
}

TEST_F(DisplayScreenTest, RetryButtonIsTallerOnTallPhones) {
    auto screen = cast<FillColorViewController>(run(cameraRecord("FILL", "FillColorViewController")));
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->retryButtonHeightConstaint()->constant(), 72); // the default screen is 375 x 812
    EXPECT_EQ(screen->hideButtons()->titleEdgeInsets().top, 30);
}

TEST_F(DisplayScreenTest, StepFillAsksPerColourAfterAPause) {
    auto screen = cast<FillColor4ItouchuViewController>(run(cameraRecord("FILL", "FillColor4ItouchuViewController")));
    ASSERT_TRUE(screen);
    EXPECT_TRUE(UIApplication::sharedApplication()->isStatusBarHidden());
    EXPECT_TRUE(screen->answerView()->isHidden());
    advance(1.5);
    EXPECT_FALSE(screen->answerView()->isHidden());
    EXPECT_EQ(text(screen->label()), "Was the white screen even, without spots or lines?");
    answer(true);
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::blackColor()));
    EXPECT_TRUE(screen->answerView()->isHidden());
    advance(1.5);
    // Retry shows black alone again for 1.5 s.
    tap(screen->hideButtons());
    EXPECT_TRUE(screen->answerView()->isHidden());
    EXPECT_TRUE(screen->view()->backgroundColor()->isEqual(UIColor::blackColor()));
    advance(1.5);
    answer(true);
    EXPECT_EQ(result(), 1);
    EXPECT_EQ(subItemResult(screen, 0), 1);
    EXPECT_EQ(subItemResult(screen, 1), 1);
    EXPECT_FALSE(UIApplication::sharedApplication()->isStatusBarHidden());
}

TEST_F(DisplayScreenTest, TheStepFillsQuestionIsBlackOnWhiteAndWhiteOnBlack) {
    auto step = cast<FillColor4ItouchuViewController>(run(cameraRecord("FILL", "FillColor4ItouchuViewController")));
    ASSERT_TRUE(step);
    advance(1.5);
    EXPECT_TRUE(step->view()->backgroundColor()->isEqual(UIColor::whiteColor()));
    EXPECT_TRUE(step->label()->textColor()->isEqual(UIColor::blackColor()));
    answer(true);
    EXPECT_TRUE(step->view()->backgroundColor()->isEqual(UIColor::blackColor()));
    EXPECT_TRUE(step->label()->textColor()->isEqual(UIColor::whiteColor()));
    advance(1.5);
    EXPECT_FALSE(step->label()->isHidden());
    tap(step->hideButtons()); // Retry keeps the colour, and the label's with it
    EXPECT_TRUE(step->label()->textColor()->isEqual(UIColor::whiteColor()));
    advance(1.5);
    answer(true);
    EXPECT_EQ(result(), 1);
}

TEST_F(DisplayScreenTest, EachFillKeepsItsLabelColourAndTheOneQuestionIsWhite) {
    auto five = cast<FillColorViewController>(run(cameraRecord("FILL", "FillColorViewController")));
    ASSERT_TRUE(five);
    const Ref<UIColor> expected[][2] = {{UIColor::whiteColor(), UIColor::blackColor()},
                                        {UIColor::redColor(), UIColor::whiteColor()},
                                        {UIColor::greenColor(), UIColor::blackColor()},
                                        {UIColor::blueColor(), UIColor::whiteColor()},
                                        {UIColor::blackColor(), UIColor::whiteColor()}};
    ASSERT_EQ(five->colors()->count(), 5u);
    for (NSUInteger i = 0; i < 5; ++i) {
        auto entry = cast<NSDictionary>(five->colors()->objectAtIndex(i));
        EXPECT_TRUE(cast<UIColor>(entry->objectForKey("color"_ns))->isEqual(expected[i][0])) << i;
        EXPECT_TRUE(cast<UIColor>(entry->objectForKey("labelColor"_ns))->isEqual(expected[i][1])) << i;
    }
    for (int i = 0; i < 5; ++i) {
        tap(five->view());
    }
    ASSERT_FALSE(five->label()->isHidden());
    EXPECT_TRUE(five->label()->textColor()->isEqual(UIColor::whiteColor()));
}

TEST_F(DisplayScreenTest, StepFillNoOnWhiteKeepsOnlyWhitesSubItem) {
    auto screen = cast<FillColor4ItouchuViewController>(run(cameraRecord("FILL", "FillColor4ItouchuViewController")));
    ASSERT_TRUE(screen);
    advance(1.5);
    answer(false);
    EXPECT_EQ(result(), 2);
    ASSERT_EQ(screen->subItemlist()->count(), 1u);
    EXPECT_EQ(subItemResult(screen, 0), 2);
}

TEST_F(DisplayScreenTest, ADeadAreaShowsOnTheWhiteFill) {
    auto screen = cast<FillColorViewController>(run(cameraRecord("FILL", "FillColorViewController")));
    ASSERT_TRUE(screen);
    CGSize size = UIScreen::mainScreen()->bounds().size;
    CGRect middle = CGRectMake(size.width * 0.6, size.height * 0.32, size.width * 0.15, size.height * 0.08);
    auto whole = screenColour(UIScreenshotImage(), middle);
    EXPECT_GT(whole[0], 250);
    camera.setDisplayFault(SimCamera::DisplayFault::DeadArea);
    auto shot = UIScreenshotImage();
    writePNG(shot, "fill-white-dead-area.png");
    auto dead = screenColour(shot, middle);
    EXPECT_LT(dead[0], 5);
}

} // namespace
