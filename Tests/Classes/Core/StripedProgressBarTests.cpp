#include <Core/StripedProgressBar.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIViewController.h>

#include <array>

namespace {

using RGBA = std::array<uint8_t, 4>;

// The bar as the screen would show it, at scale 1.
Ref<UIImage> render(const Ref<UIView>& view) {
    UIGraphicsBeginImageContextWithOptions(view->bounds().size, false, 1);
    view->layer()->renderInContext(UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

RGBA pixel(const Ref<UIImage>& image, size_t x, size_t y) {
    RGBA p{};
    EXPECT_TRUE(CGImageGetPixel(image->CGImage(), x, y, p.data()));
    return p;
}

} // namespace

class StripedProgressBarTests : public PlatformTestCase {
protected:
    // A bar on the screen of a shown controller.
    Ref<StripedProgressBar> shownBar(CGRect frame) {
        screen_ = make<UIViewController>();
        UITestDriver::showRootViewController(screen_);
        auto bar = make<StripedProgressBar>(frame);
        screen_->view()->addSubview(bar);
        return bar;
    }
    Ref<UIViewController> screen_;
};

TEST_F(StripedProgressBarTests, ANewBarHasTheDefaultLook) {
    auto bar = make<StripedProgressBar>(CGRectMake(0, 0, 200, 20));
    EXPECT_EQ(bar->progress(), static_cast<double>(0.3f));
    EXPECT_EQ(bar->type(), 0u);
    EXPECT_FALSE(bar->hideGloss());
    EXPECT_TRUE(bar->progressStretch());
    EXPECT_TRUE(bar->isStripesAnimated());
    EXPECT_EQ(bar->stripesWidth(), 7);
    EXPECT_EQ(bar->stripesDelta(), 8);
    EXPECT_TRUE(bar->trackTintColor()->isEqual(UIColor::blackColor()));
    EXPECT_TRUE(bar->stripesColor()->isEqual(UIColor::colorWithWhiteAlpha(1, 0.28)));
    ASSERT_EQ(bar->progressTintColors()->count(), 2u);
    auto left = cast<UIColor>(bar->progressTintColors()->objectAtIndex(0));
    EXPECT_DOUBLE_EQ(left->blue(), 0.5);
    EXPECT_EQ(bar->colors()->count(), 2u);
    EXPECT_TRUE(bar->backgroundColor()->isEqual(UIColor::clearColor()));
    EXPECT_TRUE(bar->stripesTimer() && bar->stripesTimer()->isValid());
    EXPECT_FALSE(bar->indicatorTextLabel()->superview()) << "the label is never shown as a view";
    bar->setType(1);
    EXPECT_TRUE(bar->hideGloss());
    bar->setType(0);
    EXPECT_FALSE(bar->hideGloss());
}

TEST_F(StripedProgressBarTests, ProgressIsClampedAndAnimatedChangesStepToTheTarget) {
    auto bar = make<StripedProgressBar>(CGRectMake(0, 0, 200, 20));
    bar->setProgress(1.5);
    EXPECT_EQ(bar->progress(), 1.0);
    bar->setProgress(-0.2);
    EXPECT_EQ(bar->progress(), 0.0);
    bar->setProgress(0.3);
    bar->setProgressAnimated(0.9, true);
    ASSERT_TRUE(bar->progressTargetTimer());
    std::vector<double> seen;
    for (int frame = 0; frame < 8; ++frame) {
        advance(StripedProgressBar::timerInterval());
        seen.push_back(bar->progress());
    }
    EXPECT_NEAR(seen[0], 0.38, 1e-6);
    EXPECT_NEAR(seen[1], 0.46, 1e-6);
    EXPECT_LT(seen[6], 0.9);
    EXPECT_EQ(seen[7], 0.9) << "the eighth frame lands exactly on the target";
    EXPECT_FALSE(bar->progressTargetTimer());
}

TEST_F(StripedProgressBarTests, AnAnimatedChangeToTheShownValueLeavesNoTimer) {
    auto bar = make<StripedProgressBar>(CGRectMake(0, 0, 200, 20));
    bar->setProgressAnimated(bar->progress(), true);
    EXPECT_FALSE(bar->progressTargetTimer());
    bar->setProgress(0.5);
    bar->setProgressAnimated(0.8, true);
    bar->setProgressAnimated(0.5, false);
    EXPECT_FALSE(bar->progressTargetTimer()) << "a new change ends the running one";
    EXPECT_EQ(bar->progress(), 0.5);
}

TEST_F(StripedProgressBarTests, StripesMoveOnePointPerFrameWhileShown) {
    auto bar = shownBar(CGRectMake(0, 0, 200, 20));
    UIWindow::layoutAllWindows();
    EXPECT_EQ(bar->stripesOffset(), 1) << "the first pass";
    std::vector<double> offsets;
    for (int frame = 0; frame < 15; ++frame) {
        advance(StripedProgressBar::timerInterval());
        runUntilIdle();
        offsets.push_back(bar->stripesOffset());
    }
    EXPECT_EQ(offsets[0], 2);
    EXPECT_EQ(offsets[12], 14);
    EXPECT_EQ(offsets[13], 0) << "after 14 the stripes start again";
    EXPECT_EQ(offsets[14], 1);
    EXPECT_EQ(bar->internalCornerRadius(), 10) << "half the height";
    bar->setCornerRadius(4);
    bar->setNeedsDisplay();
    UIWindow::layoutAllWindows();
    EXPECT_EQ(bar->internalCornerRadius(), 4);
}

TEST_F(StripedProgressBarTests, TheFillIsAGradientUpToTheProgressOverTheTrack) {
    auto bar = make<StripedProgressBar>(CGRectMake(0, 0, 200, 20));
    bar->setHideStripes(true);
    bar->setHideGloss(true);
    bar->setProgress(0.5);
    auto image = render(bar);
    RGBA left = pixel(image, 10, 10), right = pixel(image, 95, 10), track = pixel(image, 150, 10);
    EXPECT_LT(left[2], right[2]) << "darker blue on the left";
    EXPECT_GT(right[2], 200);
    EXPECT_EQ(track, (RGBA{0, 0, 0, 255})) << "black track beyond the fill";
    EXPECT_EQ(pixel(image, 0, 0)[3], 0) << "rounded corners";

    bar->setType(1);
    bar->setProgressTintColors(NSArray::arrayWithObjects({UIColor::redColor(), UIColor::blueColor()}));
    bar->setProgressStretch(false);
    bar->setNeedsDisplay();
    image = render(bar);
    EXPECT_EQ(pixel(image, 0, 0)[3], 255) << "square corners";
    RGBA start = pixel(image, 20, 10), middle = pixel(image, 98, 10);
    EXPECT_EQ(start[0], 255) << "the red end of a bar-wide gradient";
    EXPECT_GT(middle[0], 80);
    EXPECT_GT(middle[2], 80);
    EXPECT_EQ(pixel(image, 150, 10), (RGBA{0, 0, 0, 255}));
}

TEST_F(StripedProgressBarTests, StripesFollowTheBehavior) {
    auto bar = make<StripedProgressBar>(CGRectMake(0, 0, 200, 20));
    bar->setType(1);
    bar->setStripesAnimated(false);
    bar->setTrackTintColor(UIColor::blackColor());
    bar->setBehavior(1);
    bar->setProgress(0);
    auto image = render(bar);
    int light = 0;
    for (size_t x = 0; x < 200; ++x) {
        light += pixel(image, x, 10)[0] > 40;
    }
    EXPECT_GT(light, 60) << "stripes over the whole empty track";
    EXPECT_LT(light, 140);

    bar->setBehavior(2);
    bar->setProgressTintColor(UIColor::blackColor());
    bar->setProgress(0.99);
    image = render(bar);
    light = 0;
    for (size_t x = 0; x < 190; ++x) {
        light += pixel(image, x, 10)[0] > 40;
    }
    EXPECT_EQ(light, 0) << "no stripes before the bar is full";
    bar->setProgress(1.0);
    image = render(bar);
    for (size_t x = 0; x < 190; ++x) {
        light += pixel(image, x, 10)[0] > 40;
    }
    EXPECT_GT(light, 60);

    bar->setStripesWidth(0);
    bar->setNeedsDisplay();
    image = render(bar);
    light = 0;
    for (size_t x = 0; x < 190; ++x) {
        light += pixel(image, x, 10)[0] > 40;
    }
    EXPECT_EQ(light, 0) << "a width of 0 draws no stripes";
}

TEST_F(StripedProgressBarTests, TheDefaultTextShowsThePercentageInAContrastingColour) {
    auto bar = make<StripedProgressBar>(CGRectMake(0, 0, 200, 30));
    bar->setType(1);
    bar->setHideStripes(true);
    bar->setIndicatorTextDisplayMode(2);
    bar->setProgressTintColor(UIColor::whiteColor());
    bar->setProgress(0.3);
    bar->layoutIfNeeded();
    bar->layoutSubviews();
    EXPECT_EQ(bar->indicatorTextLabel()->font()->pointSize(), 20);
    auto image = render(bar);
    EXPECT_FALSE(bar->indicatorTextLabel()->text()) << "the percentage follows the progress on every pass";
    int dark = 0;
    for (size_t x = 0; x < 60; ++x) {
        for (size_t y = 5; y < 25; ++y) {
            dark += pixel(image, x, y)[0] < 100;
        }
    }
    EXPECT_GT(dark, 20) << "black text on the light fill";

    bar->indicatorTextLabel()->setText(NSString::from(std::string(80, 'W')));
    bar->setNeedsDisplay();
    image = render(bar);
    EXPECT_EQ(bar->indicatorTextLabel()->text()->length(), 80u) << "a text too wide is not drawn and is kept";
}

TEST_F(StripedProgressBarTests, TimersStopOffScreenAndDoNotKeepTheBar) {
    auto bar = shownBar(CGRectMake(0, 0, 200, 20));
    ASSERT_TRUE(bar->stripesTimer());
    Ref<NSTimer> timer = bar->stripesTimer();
    bar->setHideStripes(true);
    EXPECT_FALSE(bar->stripesTimer());
    EXPECT_FALSE(timer->isValid());
    bar->setHideStripes(false);
    ASSERT_TRUE(bar->stripesTimer());
    timer = bar->stripesTimer();
    bar->setProgressAnimated(0.9, true);
    Ref<NSTimer> progressTimer = bar->progressTargetTimer();

    Weak<StripedProgressBar> weak(bar);
    bar->removeFromSuperview();
    EXPECT_FALSE(timer->isValid()) << "no stripe timer off the screen";
    bar = nullptr;
    EXPECT_FALSE(weak.lock()) << "a running progress timer does not keep the bar";
    advance(1);
    EXPECT_FALSE(progressTimer->isValid());
}
