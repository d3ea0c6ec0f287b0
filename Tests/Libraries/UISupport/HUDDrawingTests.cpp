// What the overlays draw: the progress views' arcs and bar, the status overlay's rings, images and
// dimming, and the spinner's animations on virtual time. Each screenshot is also written as a PNG to
// the test output folder (UISUPPORT_TEST_OUTPUT_DIR) for a person to look at.
#include <QuartzCore/CAAnimation.h>
#include <QuartzCore/CABase.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScreenshot.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIViewController.h>
#include <UISupport/PGProgressHUD.h>
#include <UISupport/STProgressHUD.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using RGBA = std::array<uint8_t, 4>;

std::filesystem::path outputFolder() {
    std::filesystem::path dir = UISUPPORT_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

void save(const Ref<UIImage>& image, const std::string& name) {
    ASSERT_TRUE(image);
    auto png = UIImagePNGRepresentation(image);
    ASSERT_TRUE(png);
    auto path = outputFolder() / (name + ".png");
    EXPECT_TRUE(png->writeToFileAtomically(NSString::from(path.string()), true)) << path;
}

// The pixel under a point (in points) of an image.
RGBA at(const Ref<UIImage>& image, CGPoint p) {
    RGBA px{};
    auto x = static_cast<size_t>(std::floor(p.x * image->scale()));
    auto y = static_cast<size_t>(std::floor(p.y * image->scale()));
    EXPECT_TRUE(CGImageGetPixel(image->CGImage(), x, y, px.data())) << p.x << ", " << p.y;
    return px;
}

bool isRed(RGBA p) {
    return p[0] > 200 && p[1] < 80 && p[2] < 80 && p[3] > 200;
}
bool isDark(RGBA p) {
    return p[0] < 100 && p[1] < 100 && p[2] < 100;
}
int brightness(RGBA p) {
    return (p[0] + p[1] + p[2]) / 3;
}

// The point at `radius` from `centre`, `fraction` of a turn clockwise from the top (y down).
CGPoint onCircle(CGPoint centre, CGFloat radius, double fraction) {
    double angle = 2 * M_PI * fraction;
    return CGPointMake(centre.x + radius * std::sin(angle), centre.y - radius * std::cos(angle));
}

// The fraction of a circle whose pixels pass `test`, sampled at 720 points.
double coveredFraction(const Ref<UIImage>& image, CGPoint centre, CGFloat radius,
                       const std::function<bool(RGBA)>& test) {
    const int samples = 720;
    int hits = 0;
    for (int i = 0; i < samples; ++i) {
        hits += test(at(image, onCircle(centre, radius, (i + 0.5) / samples))) ? 1 : 0;
    }
    return static_cast<double>(hits) / samples;
}

// A view drawn on white at scale 2.
Ref<UIImage> render(const Ref<UIView>& view) {
    CGRect bounds = view->bounds();
    UIGraphicsBeginImageContextWithOptions(bounds.size, true, 2);
    auto c = UIGraphicsGetCurrentContext();
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillRect(c, bounds);
    view->layer()->renderInContext(c);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

class HUDDrawingTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        controller = make<UIViewController>();
        window = UITestDriver::showRootViewController(controller);
        controller->view()->setBackgroundColor(UIColor::whiteColor());
        UITestDriver::layout();
    }
    void TearDown() override {
        if (STProgressHUD::isVisible()) {
            STProgressHUD::dismiss();
            advance(0.2);
        }
        PlatformTestCase::TearDown();
    }
    Ref<UIImage> screenshot(const std::string& name) {
        UITestDriver::layout();
        auto image = UIScreenshotImage();
        save(image, name);
        return image;
    }
    // The status overlay's box in screen points.
    CGRect statusBox() { return STProgressHUD::sharedView()->currentHudView()->frame(); }

    Ref<UIViewController> controller;
    Ref<UIWindow> window;
};

} // namespace

// MARK: Progress views

TEST_F(HUDDrawingTests, TheRoundViewsArcCoversTheProgress) {
    auto view = make<PGRoundProgressView>(CGRectMake(0, 0, 100, 100));
    view->setProgressTintColor(UIColor::redColor());
    view->setBackgroundTintColor(UIColor::blueColor());
    CGPoint centre = CGPointMake(50, 50);
    auto red = [](RGBA p) { return isRed(p); };
    for (float progress : {0.0f, 0.25f, 0.6f, 1.0f}) {
        // Ring: the background ring all round, the progress arc over it from the top, clockwise.
        view->setAnnular(true);
        view->setProgress(progress);
        view->setNeedsDisplay();
        auto ring = render(view);
        EXPECT_NEAR(coveredFraction(ring, centre, 49, red), progress, 0.015) << "annular " << progress;
        EXPECT_NEAR(coveredFraction(ring, centre, 49, [](RGBA p) { return isRed(p) || (p[2] > 200 && p[0] < 80); }), 1,
                    0.01)
            << "the background ring closes the circle";
        // Pie: the outline circle, and a wide arc inside its rim.
        view->setAnnular(false);
        view->setNeedsDisplay();
        auto pie = render(view);
        EXPECT_NEAR(coveredFraction(pie, centre, 47, red), progress, 0.015) << "pie " << progress;
        EXPECT_NEAR(coveredFraction(pie, centre, 49.5, red), 1, 0.01) << "the outline";
        if (progress == 0.25f) {
            save(ring, "PGRoundProgressView-annular-25");
            save(pie, "PGRoundProgressView-pie-25");
            EXPECT_TRUE(isRed(at(ring, onCircle(centre, 49, 0.125))));
            EXPECT_FALSE(isRed(at(ring, onCircle(centre, 49, 0.375))));
        }
    }
}

TEST_F(HUDDrawingTests, TheBarFillsFromTheLeft) {
    auto bar = make<PGBarProgressView>(CGRectMake(0, 0, 200, 20));
    bar->setProgressColor(UIColor::redColor());
    bar->setLineColor(UIColor::blueColor());
    bar->setProgressRemainingColor(UIColor::greenColor());
    auto green = [](RGBA p) { return p[1] > 200 && p[0] < 80; };

    bar->setProgress(0.5f);
    auto half = render(bar);
    save(half, "PGBarProgressView-50");
    EXPECT_TRUE(isRed(at(half, CGPointMake(8, 10))));
    EXPECT_TRUE(isRed(at(half, CGPointMake(95, 10))));
    EXPECT_TRUE(green(at(half, CGPointMake(105, 10))));
    EXPECT_TRUE(green(at(half, CGPointMake(190, 10))));
    EXPECT_TRUE(at(half, CGPointMake(100, 1.5))[2] > 200) << "the outline";

    bar->setProgress(0.02f); // less than a cap: the left cap alone
    auto start = render(bar);
    EXPECT_TRUE(isRed(at(start, CGPointMake(7, 10))));
    EXPECT_TRUE(green(at(start, CGPointMake(14, 10))));

    bar->setProgress(0.98f); // the rounded right end
    auto nearlyFull = render(bar);
    EXPECT_TRUE(isRed(at(nearlyFull, CGPointMake(150, 10))));
    EXPECT_TRUE(isRed(at(nearlyFull, CGPointMake(191, 10))));

    bar->setProgress(0);
    auto empty = render(bar);
    int reds = 0;
    for (int x = 0; x < 200; ++x) {
        reds += isRed(at(empty, CGPointMake(x + 0.5, 10))) ? 1 : 0;
    }
    EXPECT_EQ(reds, 0) << "no progress, only the outline and the remaining colour";
}

// MARK: Progress HUD

TEST_F(HUDDrawingTests, ProgressHUDScreenshotsInEveryMode) {
    const char* names[] = {"indeterminate", "determinate", "bar", "annular", "custom", "text"};
    for (NSInteger mode = 0; mode <= 5; ++mode) {
        auto hud = PGProgressHUD::showHUDAddedToAnimated(controller->view(), false);
        hud->setMode(static_cast<PGProgressHUDMode>(mode));
        hud->setLabelText("Loading"_ns);
        hud->setDetailsLabelText("Please wait"_ns);
        hud->setProgress(0.4f);
        if (mode == PGProgressHUDModeCustomView) {
            auto image = STProgressHUD::successImage();
            hud->setCustomView(make<UIImageView>(image));
        }
        advance(0.5);
        auto shot = screenshot("PGProgressHUD-" + std::to_string(mode) + "-" + names[mode]);
        CGRect bezel = hud->bezelView()->frame();
        EXPECT_LT(brightness(at(shot, CGPointMake(CGRectGetMinX(bezel) + 3, CGRectGetMidY(bezel)))), 250)
            << "the bezel shows on the white screen";
        auto indicator = hud->indicator();
        EXPECT_EQ(indicator == nullptr, mode == PGProgressHUDModeText);
        if (mode == PGProgressHUDModeDeterminate || mode == PGProgressHUDModeAnnularDeterminate) {
            CGRect f = indicator->convertRectToView(indicator->bounds(), nullptr);
            CGPoint centre = CGPointMake(CGRectGetMidX(f), CGRectGetMidY(f));
            CGFloat radius = mode == PGProgressHUDModeDeterminate ? f.size.width / 2 - 3 : f.size.width / 2 - 1;
            EXPECT_NEAR(coveredFraction(shot, centre, radius, isDark), 0.4, 0.03) << names[mode];
        }
        if (mode == PGProgressHUDModeDeterminateHorizontalBar) {
            CGRect f = indicator->convertRectToView(indicator->bounds(), nullptr);
            EXPECT_TRUE(isDark(at(shot, CGPointMake(f.origin.x + 10, CGRectGetMidY(f)))));
            EXPECT_FALSE(isDark(at(shot, CGPointMake(f.origin.x + f.size.width * 0.6, CGRectGetMidY(f)))));
        }
        hud->hideAnimated(false);
        ASSERT_EQ(hud->superview(), nullptr);
    }
}

TEST_F(HUDDrawingTests, ProgressHUDBackgroundStyles) {
    auto hud = PGProgressHUD::showHUDAddedToAnimated(controller->view(), false);
    hud->setMode(PGProgressHUDModeText);
    hud->setLabelText("Dimmed"_ns);
    hud->backgroundView()->setStyle(PGProgressHUDBackgroundStyleSolidColor);
    hud->backgroundView()->setColor(UIColor::colorWithWhiteAlpha(0, 0.5));
    hud->bezelView()->setStyle(PGProgressHUDBackgroundStyleSolidColor);
    hud->bezelView()->setColor(UIColor::colorWithWhiteAlpha(0.2, 1));
    hud->setContentColor(UIColor::whiteColor());
    advance(0.5);
    auto shot = screenshot("PGProgressHUD-solid-dimmed");
    EXPECT_NEAR(brightness(at(shot, CGPointMake(5, 5))), 128, 3) << "the background dims the screen";
    CGRect bezel = hud->bezelView()->frame();
    EXPECT_NEAR(brightness(at(shot, CGPointMake(CGRectGetMinX(bezel) + 3, CGRectGetMidY(bezel)))), 51, 3)
        << "the solid bezel is its colour";
    hud->hideAnimated(false);
}

// MARK: Status HUD

TEST_F(HUDDrawingTests, StatusHUDShowsItsSpinnerRingAndImages) {
    controller->view()->setBackgroundColor(UIColor::colorWithWhiteAlpha(0.85, 1)); // so that the box shows
    STProgressHUD::showWithStatus("Working"_ns);
    advance(0.5);
    auto shot = screenshot("STProgressHUD-spinner");
    CGRect box = statusBox();
    EXPECT_EQ(brightness(at(shot, CGPointMake(CGRectGetMinX(box) + 3, CGRectGetMidY(box)))), 255) << "a white box";
    EXPECT_NEAR(brightness(at(shot, CGPointMake(CGRectGetMinX(box) - 3, CGRectGetMidY(box)))), 217, 2);
    // The spinner: a ring of radius 18 at (box width / 2, 36) in the box, fading in clockwise from
    // the top through its mask, so only part of it is dark.
    CGPoint spot = CGPointMake(CGRectGetMidX(box), box.origin.y + 36);
    double dark = coveredFraction(shot, spot, 18, isDark);
    EXPECT_GT(dark, 0.15);
    EXPECT_LT(dark, 0.9);

    STProgressHUD::showProgress(0.4f);
    advance(0.5);
    shot = screenshot("STProgressHUD-progress-40");
    box = statusBox();
    CGPoint centre = CGPointMake(CGRectGetMidX(box), CGRectGetMidY(box));
    EXPECT_NEAR(coveredFraction(shot, centre, 18, isDark), 0.4, 0.03) << "the ring shows 40 %";
    EXPECT_NEAR(coveredFraction(shot, centre, 18, [](RGBA p) { return brightness(p) < 245; }), 1, 0.01)
        << "the faint background ring closes the circle";

    struct Shown {
        const char* name;
        void (*show)(const Ref<NSString>&);
    } images[] = {{"info", STProgressHUD::showInfoWithStatus},
                  {"success", STProgressHUD::showSuccessWithStatus},
                  {"error", STProgressHUD::showErrorWithStatus}};
    for (const auto& image : images) {
        image.show(NSString::from(std::string("Status ") + image.name));
        advance(0.2);
        shot = screenshot(std::string("STProgressHUD-") + image.name);
        box = statusBox();
        auto view = STProgressHUD::sharedView()->imageView();
        ASSERT_TRUE(view->image()) << image.name;
        CGRect f = view->convertRectToView(view->bounds(), nullptr);
        int darkPixels = 0;
        for (int y = 0; y < 28; ++y) {
            for (int x = 0; x < 28; ++x) {
                darkPixels += isDark(at(shot, CGPointMake(f.origin.x + x + 0.5, f.origin.y + y + 0.5))) ? 1 : 0;
            }
        }
        EXPECT_GT(darkPixels, 40) << image.name << ": the symbol in the foreground colour";
        EXPECT_LT(darkPixels, 28 * 28 / 2) << image.name;
    }
}

TEST_F(HUDDrawingTests, StatusHUDMasksDimTheScreen) {
    CGRect screen = UIScreen::mainScreen()->bounds();
    STProgressHUD::showWithStatusMaskType("Dimmed"_ns, STProgressHUDMaskTypeBlack);
    advance(0.5);
    auto shot = screenshot("STProgressHUD-mask-black");
    EXPECT_NEAR(brightness(at(shot, CGPointMake(5, 5))), 128, 3) << "black at alpha 0.5 over white";
    EXPECT_NEAR(brightness(at(shot, CGPointMake(screen.size.width - 5, screen.size.height - 5))), 128, 3);

    STProgressHUD::showWithStatusMaskType("Gradient"_ns, STProgressHUDMaskTypeGradient);
    advance(0.5);
    shot = screenshot("STProgressHUD-mask-gradient");
    CGPoint centre = CGPointMake(screen.size.width / 2, screen.size.height / 2);
    CGRect box = statusBox();
    CGPoint nearCentre = CGPointMake(CGRectGetMaxX(box) + 10, centre.y);
    int inner = brightness(at(shot, nearCentre));
    int side = brightness(at(shot, CGPointMake(3, centre.y)));
    int corner = brightness(at(shot, CGPointMake(3, 3)));
    EXPECT_GT(inner, side) << "darker towards the edges";
    EXPECT_GT(side, corner);
    EXPECT_NEAR(corner, 64, 3) << "black at alpha 0.75 past the end of the gradient";
    CGFloat radius = std::min(screen.size.width, screen.size.height);
    double expected = 255 * (1 - 0.75 * (nearCentre.x - centre.x) / radius);
    EXPECT_NEAR(inner, expected, 4);

    STProgressHUD::showWithStatusMaskType("Clear"_ns, STProgressHUDMaskTypeClear);
    advance(0.5);
    shot = screenshot("STProgressHUD-mask-clear");
    EXPECT_EQ(brightness(at(shot, CGPointMake(5, 5))), 255) << "no dimming";
}

TEST_F(HUDDrawingTests, ImageTintKeepsTheShapeInTheColour) {
    auto image = STProgressHUD::successImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->renderingMode(), UIImageRenderingModeAlwaysTemplate);
    auto tinted = STProgressHUD::imageWithTintColor(image, UIColor::redColor());
    ASSERT_TRUE(tinted);
    EXPECT_TRUE(CGSizeEqualToSize(tinted->size(), image->size()));
    EXPECT_EQ(tinted->scale(), image->scale());
    int opaque = 0, red = 0;
    for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 28; ++x) {
            CGPoint p = CGPointMake(x + 0.5, y + 0.5);
            RGBA source = at(image, p), result = at(tinted, p);
            EXPECT_NEAR(result[3], source[3], 1) << x << ", " << y;
            if (source[3] == 255) {
                ++opaque;
                red += isRed(result) ? 1 : 0;
            }
        }
    }
    EXPECT_GT(opaque, 30);
    EXPECT_EQ(red, opaque);
}

TEST_F(HUDDrawingTests, TheGradientLayerDarkensAwayFromItsCentre) {
    auto layer = make<STRadialGradientLayer>();
    layer->setFrame(CGRectMake(0, 0, 200, 100));
    layer->setGradientCenter(CGPointMake(100, 50));
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(200, 100), false, 1);
    layer->renderInContext(UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_LE(at(image, CGPointMake(100, 50))[3], 2);
    EXPECT_NEAR(at(image, CGPointMake(150, 50))[3], 0.75 * 255 * 0.5, 3);
    EXPECT_NEAR(at(image, CGPointMake(1, 1))[3], 191, 2) << "beyond the radius the end colour continues";
}

// MARK: Animations

TEST_F(HUDDrawingTests, TheSpinnerTurnsOncePerSecondOnVirtualTime) {
    STProgressHUD::show();
    auto spinner = STProgressHUD::sharedView()->currentIndefiniteAnimatedView();
    ASSERT_TRUE(spinner);
    auto ring = spinner->currentLayer();
    ASSERT_TRUE(ring);
    auto mask = ring->mask();
    ASSERT_TRUE(mask);
    ASSERT_TRUE(mask->animationForKey("rotate"_ns));
    ASSERT_TRUE(ring->animationForKey("progress"_ns));
    double begin = mask->animationForKey("rotate"_ns)->beginTime();
    EXPECT_NEAR(begin, CACurrentMediaTime(), 1e-9);
    auto rotation = [&] { return unbox<double>(mask->presentationValueForKeyPath("transform.rotation"_ns)); };
    auto value = [&](const char* key) { return unbox<double>(ring->presentationValueForKeyPath(NSString::from(key))); };

    advance(0.25);
    EXPECT_NEAR(rotation(), M_PI / 2, 1e-3);
    EXPECT_NEAR(value("strokeStart"), 0.015 + 0.5 * 0.25, 1e-3);
    EXPECT_NEAR(value("strokeEnd"), 0.485 + 0.5 * 0.25, 1e-3);
    advance(0.25);
    EXPECT_NEAR(std::abs(rotation()), M_PI, 1e-3);
    advance(0.85); // 1.35 s: the second turn, endlessly
    EXPECT_NEAR(rotation(), 2 * M_PI * 0.35, 1e-3);
    EXPECT_NEAR(value("strokeEnd"), 0.485 + 0.5 * 0.35, 1e-3);
    EXPECT_EQ(mask->affineTransform().a, 1) << "the model keeps no rotation";
    EXPECT_EQ(ring->strokeEnd(), 1);

    // A new layer (and new animations) each time the spinner joins a superview.
    spinner->removeFromSuperview();
    EXPECT_EQ(spinner->currentLayer(), nullptr);
    STProgressHUD::sharedView()->currentHudView()->addSubview(spinner);
    auto again = spinner->currentLayer();
    ASSERT_TRUE(again);
    EXPECT_NE(again, ring);
    EXPECT_NEAR(again->mask()->animationForKey("rotate"_ns)->beginTime(), CACurrentMediaTime(), 1e-9);
}

TEST_F(HUDDrawingTests, TheProgressRingMovesToANewValue) {
    STProgressHUD::showProgress(0.2f);
    advance(0.5);
    auto hud = STProgressHUD::sharedView();
    auto ring = hud->currentRingLayer();
    ASSERT_TRUE(ring);
    EXPECT_FALSE(ring->animationForKey("strokeEnd"_ns)) << "a new ring starts at its value";
    auto shown = [&] { return unbox<double>(ring->presentationValueForKeyPath("strokeEnd"_ns)); };
    EXPECT_NEAR(shown(), 0.2, 1e-6);
    EXPECT_TRUE(CGRectEqualToRect(ring->bounds(), CGRectMake(0, 0, 36, 36)));
    EXPECT_TRUE(ring->superlayer() == hud->currentHudView()->layer());

    STProgressHUD::showProgress(0.6f);
    EXPECT_EQ(hud->currentRingLayer(), ring);
    EXPECT_NEAR(ring->strokeEnd(), 0.6, 1e-6);
    advance(0.125);
    EXPECT_GT(shown(), 0.25);
    EXPECT_LT(shown(), 0.55);
    advance(0.2);
    EXPECT_NEAR(shown(), 0.6, 1e-6);

    // The spinner takes the rings away without animating them.
    STProgressHUD::show();
    EXPECT_EQ(hud->currentRingLayer(), nullptr);
    EXPECT_EQ(ring->superlayer(), nullptr);
    EXPECT_FALSE(ring->animationKeys());
}
